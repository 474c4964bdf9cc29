#include "support/dialog_closer.h"

#ifdef _WIN32
namespace testing_support {

DialogCloser::DialogCloser(std::string title, int buttonId, DWORD timeoutMs) {
    thread_ = std::thread([this, title = std::move(title), buttonId, timeoutMs] {
        const DWORD start = GetTickCount();
        while (!stop_ && GetTickCount() - start < timeoutMs) {
            HWND dialog = FindWindowA("#32770", title.c_str());
            if (dialog != nullptr && IsWindowVisible(dialog)) {
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
