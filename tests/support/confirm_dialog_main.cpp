// Presses OK in the first visible dialog of any process with the given title, as a user
// would: confirm_dialog TITLE [TIMEOUT_MS]. Exits 0 once it pressed the button, 1 when no
// such dialog came within the time.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "support/dialog_closer.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: confirm_dialog TITLE [TIMEOUT_MS]\n");
        return 2;
    }
    const DWORD timeout = argc > 2 ? static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)) : 60000;
    bool answered = false;
    {
        testing_support::DialogCloser closer(argv[1], IDOK, timeout, testing_support::DialogCloser::kAnyProcess);
        const DWORD start = GetTickCount();
        while (!closer.answered() && GetTickCount() - start < timeout) Sleep(50);
        answered = closer.answered();
    }
    return answered ? 0 : 1;
}
