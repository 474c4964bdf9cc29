#pragma once
// The control-hosting window class. A window of the class "AtlAxWin71" creates, when it is
// created, the control whose class identifier is its window text (through COM, so the
// class must be registered, in-process or otherwise) and keeps it for its lifetime. The
// registered message "WM_ATLGETCONTROL" asks the window for the control: the reply is its
// IUnknown with a reference added for the asker, or null.

#include <windows.h>

namespace player {

inline constexpr char kAxHostClassName[] = "AtlAxWin71";

// Registers the window class and the messages "WM_ATLGETHOST" and "WM_ATLGETCONTROL" for
// this process. False when the class can't be registered. Later calls find it registered.
bool RegisterAxHostClass(HINSTANCE instance);

UINT AxGetControlMessage();  // "WM_ATLGETCONTROL"
UINT AxGetHostMessage();     // "WM_ATLGETHOST"

// The hosted control of `host`, asked for `iid`: E_FAIL when the window gives none,
// E_POINTER when `object` is null.
HRESULT AxHostControl(HWND host, REFIID iid, void** object);

}  // namespace player
