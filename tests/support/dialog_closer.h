#pragma once
// Windows only: answers a modal dialog from another thread, as a user would, so tests can
// run code that shows one (the compression dialog of AVISaveOptions, for one).

#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

namespace testing_support {

class DialogCloser {
public:
    static constexpr DWORD kAnyProcess = 0xFFFFFFFF;

    // Waits up to timeoutMs for a dialog window (class #32770) with this title, of this
    // process, of the process `processId` or of any (kAnyProcess), then presses the button with the given control
    // id (IDOK, IDCANCEL).
    DialogCloser(std::string title, int buttonId, DWORD timeoutMs = 30000, DWORD processId = 0);
    ~DialogCloser();
    DialogCloser(const DialogCloser&) = delete;
    DialogCloser& operator=(const DialogCloser&) = delete;

    // True once the dialog was found and the button pressed.
    bool answered() const { return answered_; }
    // The text of the dialog's message (a message box's static text), read before answering.
    std::string message() const { return answered_ ? message_ : std::string(); }

private:
    std::atomic<bool> answered_{false};
    std::atomic<bool> stop_{false};
    std::string message_;
    std::thread thread_;
};

}  // namespace testing_support
#endif
