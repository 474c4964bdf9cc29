#include "app/drop_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/hyperlink.h"
#include "app/job_state.h"
#include "app/run_log.h"
#include "res/resource.h"

POINT CentredPosition(int screenWidth, int screenHeight, int windowWidth, int windowHeight) {
    return {(screenWidth - windowWidth) / 2, (screenHeight - windowHeight) / 2};
}

void SetProgress(HWND dialog, int percent) {
    SendMessageA(GetDlgItem(dialog, IDC_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void SetStatusText(HWND dialog, const char* text) { SetWindowTextA(GetDlgItem(dialog, IDC_STATUS), text); }

void OnDropFiles(HDROP drop) {
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, g_szFileName, kShellPathBytes);
    if (count > 0 && count != 0xFFFFFFFF) {
        // The length first: a cut path would name another file.
        const UINT length = DragQueryFileA(drop, 0, nullptr, 0);
        if (length == 0) {
            // An empty name is no file: nothing to convert.
        } else if (length >= kShellPathBytes) {
            RunLog::write("Dropped path refused: it is %u characters long, at most %u fit\n", length,
                          static_cast<unsigned>(kShellPathBytes - 1));
        } else {
            DragQueryFileA(drop, 0, g_szFileName, kShellPathBytes);
            g_bJobPending = true;
        }
    }
    DragFinish(drop);
}

INT_PTR CALLBACK DropWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    switch (message) {
        case WM_INITDIALOG: {
            InstallHyperlinkLabelById(dialog, IDC_WEBLINK);
            SetProgress(dialog, 0);
            SetStatusText(dialog, "");
            RECT area;
            GetWindowRect(dialog, &area);
            const int w = area.right - area.left, h = area.bottom - area.top;
            const POINT at = CentredPosition(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), w, h);
            MoveWindow(dialog, at.x, at.y, w, h, FALSE);
            return TRUE;
        }
        case WM_ACTIVATE:
            g_hActiveDlg = wParam != 0 ? dialog : nullptr;
            return FALSE;
        case WM_CLOSE:
            EndDialog(dialog, 0);
            g_bQuit = true;
            return FALSE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_WEBLINK) {
                ShellExecuteA(dialog, "open", TEVLIN_WEB_ADDRESS, nullptr, nullptr, SW_SHOWNORMAL);
            }
            return FALSE;
        case WM_DROPFILES:
            OnDropFiles(reinterpret_cast<HDROP>(wParam));
            return FALSE;
        default:
            return FALSE;
    }
}
