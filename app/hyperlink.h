#pragma once
// Turns a static text control of a dialog into a link: blue text, underlined while the
// pointer is over it, a hand pointer, and clicks reported to the dialog as WM_COMMAND with
// the control's id. All its state lives in named window properties on the label and on
// its parent; two replacement window procedures pass everything else on.

#include <windows.h>

inline constexpr COLORREF kHyperlinkColor = 0x00C00000;  // red 0, green 0, blue 192
inline constexpr char kHyperlinkOriginalProc[] = "_Hyperlink_Original_Proc_";
inline constexpr char kHyperlinkOriginalFont[] = "_Hyperlink_Original_Font_";
inline constexpr char kHyperlinkUnderlineFont[] = "_Hyperlink_Underline_Font_";
inline constexpr char kHyperlinkFromStatic[] = "_Hyperlink_From_Static_";

bool InstallHyperlinkLabelById(HWND dialog, int controlId);
// Always true. A label without a font gets the system's default GUI font to derive the
// underlined one from.
bool InstallHyperlinkLabel(HWND label);

LRESULT CALLBACK HyperlinkParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK HyperlinkLabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
