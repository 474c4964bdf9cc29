#include "app/job_loop.h"

#include <commctrl.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "app/drop_window.h"
#include "app/job_state.h"
#include "app/run_log.h"
#include "player/zflash.h"
#include "res/resource.h"
#include "swf/swf_header.h"

char g_szFileName[kShellPathBytes];
bool g_bJobPending = false;
char g_szJobFile[kProgramPathBytes];
bool g_bJobRunning = false;
bool g_bQuit = false;
HWND g_hActiveDlg = nullptr;

void CleanupJob() {
    ZFLASH::CloseWriter();
    if (g_playerHost.flash != nullptr) g_playerHost.flash->Stop();
    ZFLASH::ReleasePlayer();
    ZFLASH::DeleteBuffers();
    if (g_playerHost.host != nullptr) {
        if (IsWindow(g_playerHost.host->hostWindow)) DestroyWindow(g_playerHost.host->hostWindow);
        delete g_playerHost.host;
        g_playerHost.host = nullptr;
    }
}

bool TakeCommandLine(const char* commandLine) {
    char copy[kProgramPathBytes];
    const size_t length = std::strlen(commandLine);
    if (length >= sizeof copy) {
        RunLog::write("Command line refused: it is %u characters long, at most %u fit\n",
                      static_cast<unsigned>(length), static_cast<unsigned>(sizeof copy - 1));
        return false;
    }
    std::memcpy(copy, commandLine, length + 1);
    RunLog::write("Command line=%s\n", copy);
    RemoveFilePath(copy);
    RunLog::write("RemoveFilePath(g_szFileName) => %s\n", copy);
    const int joined = std::snprintf(g_szFileName, sizeof g_szFileName, "%s\\%s", g_szProgramDir, copy);
    if (joined < 0 || static_cast<size_t>(joined) >= sizeof g_szFileName) {
        RunLog::write("Movie path refused: %s\\%s is longer than %u characters\n", g_szProgramDir, copy,
                      static_cast<unsigned>(sizeof g_szFileName - 1));
        g_szFileName[0] = '\0';
        return false;
    }
    g_bJobPending = true;
    return true;
}

namespace {

// A job that can't start tells the user in the one message box; the start then fails.
bool RefuseStart(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
bool RefuseStart(const char* format, ...) {
    char message[kProgramPathBytes];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    ShowErrorMessage(message, 0);
    return false;
}

}  // namespace

bool StartPendingJob() {
    g_bJobPending = false;
    std::snprintf(g_szJobFile, sizeof g_szJobFile, "%s", g_szFileName);
    swf::SwfHeaderReader* reader = new (std::nothrow) swf::SwfHeaderReader();
    if (reader == nullptr) {
        RunLog::write("Parsing error\n");
        return false;
    }
    const bool read = reader->readFile(g_szJobFile);
    reader->releaseImage();
    delete reader;
    if (!read) {
        RunLog::write("Parsing error: not a SWF file\n");
        return false;
    }
    const swf::MovieHeader& header = swf::g_movieHeader;
    RunLog::write("flash size: %dx%d pixels.\n", header.frameWidth, header.frameHeight);
    // A size that can't be captured is refused before anything is loaded or created.
    if (!ZFLASH::CheckCaptureSize(header.frameWidth, header.frameHeight)) {
        return RefuseStart("Frame size %dx%d is not supported", header.frameWidth, header.frameHeight);
    }
    ZFLASH::SetFrameRate(header.frameRate);
    if (!ZFLASH::LoadMovie(g_szJobFile)) return RefuseStart("LoadMovie: '%s' error", g_szJobFile);
    if (!ZFLASH::CreateBuffer(header.frameWidth, header.frameHeight)) {
        return RefuseStart("Not enough memory for frames of %dx%d pixels", header.frameWidth, header.frameHeight);
    }
    g_bJobRunning = true;
    return true;
}

int ProgressPercent(int n, int total) {
    if (total <= 0) return 100;
    // n goes through a single-precision value, the division and product in double.
    const double percent = static_cast<double>(static_cast<float>(n)) / total * 100.0;
    if (percent <= 0) return 0;
    return percent >= 100 ? 100 : static_cast<int>(percent);
}

bool FrameStep(HWND dropWindow, bool oneShot) {
    const int32_t r = ZFLASH::Step();
    if (r == -1) return false;
    if (ZFLASH::IsLastFrame()) {
        // The writer is closed first, so that a file that could not be completed shows too.
        CleanupJob();
        SetStatusText(dropWindow, ZFLASH::JobFailed() ? kJobFailedStatus : "Done!");
        g_bJobRunning = false;
        return oneShot;
    }
    const int n = r + 1;
    SetProgress(dropWindow, ProgressPercent(n, ZFLASH::GetTotalFrames()));
    char status[64];
    std::snprintf(status, sizeof status, "Frame %d", n);
    SetStatusText(dropWindow, status);
    return false;
}

int RunProgram(HINSTANCE instance, const char* commandLine) {
    RunLog::open("log.txt");
    RunLog::write("Getting the current working path..\n");
    FindProgramDir();
    bool oneShot = false;
    bool refused = false;
    if (commandLine != nullptr && commandLine[0] != '\0') {
        oneShot = true;
        refused = !TakeCommandLine(commandLine);
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    InitCommonControls();
    if (!ZFLASH::Init()) {
        RunLog::write("ZFLASH::Init error");
        return 0;
    }
    const HWND dropWindow = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_DROPWINDOW), nullptr, DropWindowProc, 0);
    ShowWindow(dropWindow, SW_SHOWNORMAL);

    MSG msg{};
    WPARAM lastWParam = 0;  // of the last message taken from the queue: the exit code
    // A refused command line leaves nothing to do in one-shot mode: straight to shutdown.
    while (!refused && !g_bQuit) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            lastWParam = msg.wParam;
            if (msg.message == WM_QUIT) break;
            if (g_hActiveDlg != nullptr && IsDialogMessageA(g_hActiveDlg, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        if (g_bJobPending) {
            if (!StartPendingJob()) break;
        } else if (!g_bJobRunning) {
            continue;
        }
        if (FrameStep(dropWindow, oneShot)) break;
    }

    CleanupJob();
    CoUninitialize();
    RunLog::write("Job terminated.\n");
    RunLog::close();
    return static_cast<int>(lastWParam);
}
