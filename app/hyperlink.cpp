#include "app/hyperlink.h"

namespace {

WNDPROC OriginalProc(HWND window) { return reinterpret_cast<WNDPROC>(GetPropA(window, kHyperlinkOriginalProc)); }

LRESULT PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const WNDPROC previous = OriginalProc(window);
    return previous != nullptr ? CallWindowProcA(previous, window, message, wParam, lParam)
                               : DefWindowProcA(window, message, wParam, lParam);
}

void SelectFont(HWND label, const char* property) {
    SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(GetPropA(label, property)), 0);
    InvalidateRect(label, nullptr, FALSE);
}

}  // namespace

bool InstallHyperlinkLabelById(HWND dialog, int controlId) {
    return InstallHyperlinkLabel(GetDlgItem(dialog, controlId));
}

bool InstallHyperlinkLabel(HWND label) {
    const HWND parent = GetParent(label);
    if (parent != nullptr) {
        const auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(parent, GWLP_WNDPROC));
        if (current != HyperlinkParentProc) {
            SetPropA(parent, kHyperlinkOriginalProc, reinterpret_cast<HANDLE>(current));
            SetWindowLongPtrA(parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HyperlinkParentProc));
        }
    }
    SetWindowLongPtrA(label, GWL_STYLE, GetWindowLongPtrA(label, GWL_STYLE) | SS_NOTIFY);
    SetPropA(label, kHyperlinkOriginalProc, reinterpret_cast<HANDLE>(GetWindowLongPtrA(label, GWLP_WNDPROC)));
    SetWindowLongPtrA(label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HyperlinkLabelProc));

    HFONT font = reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0));
    SetPropA(label, kHyperlinkOriginalFont, font);
    // A label without a font of its own shows the system font; derive the underline from the
    // default GUI font then, so that hovering still underlines something sensible.
    if (font == nullptr) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTA description{};
    HFONT underlined = nullptr;
    if (GetObjectA(font, sizeof description, &description) == static_cast<int>(sizeof description)) {
        description.lfUnderline = 1;
        underlined = CreateFontIndirectA(&description);
    }
    SetPropA(label, kHyperlinkUnderlineFont, underlined);
    SetPropA(label, kHyperlinkFromStatic, reinterpret_cast<HANDLE>(1));
    return true;
}

LRESULT CALLBACK HyperlinkParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const WNDPROC previous = OriginalProc(window);
    if (message == WM_CTLCOLORSTATIC && GetPropA(reinterpret_cast<HWND>(lParam), kHyperlinkFromStatic) != nullptr) {
        const LRESULT brush = PassOn(window, message, wParam, lParam);
        SetTextColor(reinterpret_cast<HDC>(wParam), kHyperlinkColor);
        return brush;
    }
    if (message == WM_DESTROY) {
        if (previous != nullptr) SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        RemovePropA(window, kHyperlinkOriginalProc);
        return previous != nullptr ? CallWindowProcA(previous, window, message, wParam, lParam)
                                   : DefWindowProcA(window, message, wParam, lParam);
    }
    return PassOn(window, message, wParam, lParam);
}

LRESULT CALLBACK HyperlinkLabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETCURSOR: {
            HCURSOR cursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));  // IDC_HAND
            if (cursor == nullptr) cursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
            SetCursor(cursor);
            return 1;
        }
        case WM_MOUSEMOVE:
            if (GetCapture() != window) {
                SelectFont(window, kHyperlinkUnderlineFont);
                SetCapture(window);
            } else {
                POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
                ClientToScreen(window, &at);
                RECT area;
                GetWindowRect(window, &area);
                if (!PtInRect(&area, at)) {
                    SelectFont(window, kHyperlinkOriginalFont);
                    ReleaseCapture();
                }
            }
            break;
        case WM_DESTROY: {
            const WNDPROC previous = OriginalProc(window);
            if (previous != nullptr) SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
            RemovePropA(window, kHyperlinkOriginalProc);
            SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(GetPropA(window, kHyperlinkOriginalFont)), 0);
            RemovePropA(window, kHyperlinkOriginalFont);
            if (HANDLE underlined = GetPropA(window, kHyperlinkUnderlineFont)) DeleteObject(underlined);
            RemovePropA(window, kHyperlinkUnderlineFont);
            RemovePropA(window, kHyperlinkFromStatic);
            return previous != nullptr ? CallWindowProcA(previous, window, message, wParam, lParam)
                                       : DefWindowProcA(window, message, wParam, lParam);
        }
        default:
            break;
    }
    return PassOn(window, message, wParam, lParam);
}
