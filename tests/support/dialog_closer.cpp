#include "support/dialog_closer.h"

#ifdef _WIN32
namespace testing_support {

namespace {

struct Search {
    const char* title;
    DWORD process;
    HWND found;
};

// Only the one process's dialogs: tests in other processes may show the same one at once.
BOOL CALLBACK MatchDialog(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[16] = {};
    char title[256] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    if ((search->process == DialogCloser::kAnyProcess || process == search->process) && IsWindowVisible(window) &&
        lstrcmpA(className, "#32770") == 0 && lstrcmpA(title, search->title) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

DialogCloser::DialogCloser(std::string title, int buttonId, DWORD timeoutMs, DWORD processId) {
    const DWORD process = processId != 0 ? processId : GetCurrentProcessId();
    thread_ = std::thread([this, title = std::move(title), buttonId, timeoutMs, process] {
        const DWORD start = GetTickCount();
        while (!stop_ && GetTickCount() - start < timeoutMs) {
            Search search{title.c_str(), process, nullptr};
            EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
            if (HWND dialog = search.found) {
                constexpr int kMessageBoxTextId = 0xFFFF;
                char text[1024] = {};
                GetDlgItemTextA(dialog, kMessageBoxTextId, text, sizeof text);
                message_ = text;
                HWND button = GetDlgItem(dialog, buttonId);
                PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                             reinterpret_cast<LPARAM>(button));
                answered_ = true;
                return;
            }
            Sleep(50);
        }
    });
}

DialogCloser::~DialogCloser() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

}  // namespace testing_support
#endif
