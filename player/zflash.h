#pragma once
// ZFLASH, the program's player wrapper: registering the player control, hosting one
// instance per job in a hidden window, loading the movie and opening the job's AVI file;
// then sizing the capture bitmaps, capturing each frame over white and over black,
// composing its alpha and appending it to the AVI file.

#include <windows.h>

#include "avi/vfw_writer.h"
#include "player/flash_control.h"

// The hidden window of one load, in a record of its own allocated anew by every load.
struct HostRecord {
    HWND hostWindow = nullptr;
};

struct PlayerHost {
    HostRecord* host = nullptr;
    IUnknown* controlUnknown = nullptr;
    player::IShockwaveFlash* flash = nullptr;
    IViewObjectEx* viewObject = nullptr;
    int32_t totalFrames = 0;  // as the player reported it after loading
    int32_t frameRate = 0;    // whole frames per second, set before each load
    avi::AviWriter* aviWriter = nullptr;
};

// Three 32-bit bottom-up DIB sections of the frame size: the render over white, the render
// over black, and the composed frame that goes to the AVI writer.
struct CaptureBuffers {
    HBITMAP whiteBitmap = nullptr;
    uint32_t* whitePixels = nullptr;
    HBITMAP blackBitmap = nullptr;
    uint32_t* blackPixels = nullptr;
    HBITMAP outputBitmap = nullptr;
    uint32_t* outputPixels = nullptr;
    int32_t bufferWidth = 0, bufferHeight = 0;
};

extern PlayerHost g_playerHost;
extern CaptureBuffers g_captureBuffers;
// Set on the first frame ever captured and never cleared: only the first job of a run asks
// for the compression.
extern bool g_compressionChosen;

// Capture sizes beyond these are refused before any bitmap is made: three bitmaps of the
// frame size must fit a 32-bit process beside the engine's own buffers.
inline constexpr int32_t kMaxCaptureSide = 8192;
inline constexpr int64_t kMaxCapturePixels = 16LL * 1024 * 1024;

namespace ZFLASH {

// Registers the player control's class (in-process), the control-hosting window class and
// its messages. False only when a registration fails.
bool Init();

void SetFrameRate(int32_t framesPerSecond);
int32_t GetTotalFrames();

// Hosts a fresh control, loads the movie, reads its frame count and opens the output file
// "<program dir>\<movie file name>.avi". `path` is shortened in place to the file name.
bool LoadMovie(char* path);
void ReleasePlayer();

// Whether a frame size can be captured: both sides 1 to kMaxCaptureSide, at most
// kMaxCapturePixels in all. A refused size is logged with the limits.
bool CheckCaptureSize(int32_t width, int32_t height);

// Sizes the host window and makes the three bitmaps. False (with a log line, and no
// bitmaps) when the size is refused or the bitmaps can't be made.
bool CreateBuffer(int32_t width, int32_t height);
void DeleteBuffers();

// Captures the player's current frame and sends it on to the next: the index it was sent
// to, or -1 when nothing was captured.
int32_t Step();
// True once the movie's last frame has been captured (every frame is written, N for N).
bool IsLastFrame();
void CaptureFrame();

// Whether everything of the current job's AVI file went well so far: it was created, its
// compression was set, every frame was written and the file was completed. Each failure is
// logged once, with its cause; the flag is cleared by LoadMovie.
bool JobFailed();
// Closes the job's AVI writer, noting a file that could not be completed.
void CloseWriter();

}  // namespace ZFLASH
