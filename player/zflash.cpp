#include "player/zflash.h"

#include <cstdio>
#include <cstring>

#include "app/paths.h"
#include "app/run_log.h"
#include "raster/alpha_compose.h"
#include "player/ax_host.h"
#include "player/dib.h"
#include "swf/swf_header.h"

PlayerHost g_playerHost;
CaptureBuffers g_captureBuffers;
bool g_compressionChosen = false;

namespace {

bool g_jobFailed = false;
// The index of the frame the last step captured; -1 before the job's first capture.
int32_t g_lastCapturedFrame = -1;

template <typename T>
void ReleaseReference(T*& reference) {
    if (reference != nullptr) {
        reference->Release();
        reference = nullptr;
    }
}

void NoteWriterFailure(const char* what, avi::AviResult code) {
    if (g_jobFailed) return;  // the first cause is the one that matters
    g_jobFailed = true;
    RunLog::write("AVI error %08lx: %s\n", static_cast<unsigned long>(code), what);
}

void DestroyHostRecord() {
    if (g_playerHost.host == nullptr) return;
    if (IsWindow(g_playerHost.host->hostWindow)) DestroyWindow(g_playerHost.host->hostWindow);
    delete g_playerHost.host;
    g_playerHost.host = nullptr;
}

HBITMAP CreateCaptureBitmap(const BITMAPINFO& info, uint32_t*& pixels) {
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    pixels = bitmap != nullptr ? static_cast<uint32_t*>(bits) : nullptr;
    return bitmap;
}

}  // namespace

namespace ZFLASH {

bool Init() {
    ReleasePlayer();
    g_playerHost.host = nullptr;
    g_playerHost.totalFrames = 0;
    g_captureBuffers = CaptureBuffers{};
    return player::RegisterFlashControlClass() && player::RegisterAxHostClass(GetModuleHandleA(nullptr));
}

void SetFrameRate(int32_t framesPerSecond) { g_playerHost.frameRate = framesPerSecond; }
int32_t GetTotalFrames() { return g_playerHost.totalFrames; }

void ReleasePlayer() {
    ReleaseReference(g_playerHost.controlUnknown);
    ReleaseReference(g_playerHost.flash);
    ReleaseReference(g_playerHost.viewObject);
}

bool LoadMovie(char* path) {
    ReleasePlayer();
    if (!player::RegisterAxHostClass(GetModuleHandleA(nullptr))) return false;
    DestroyHostRecord();
    g_playerHost.host = new HostRecord();
    g_lastCapturedFrame = -1;

    RECT area{0, 0, 400, 400};
    AdjustWindowRect(&area, 0, FALSE);
    g_playerHost.host->hostWindow =
        CreateWindowExA(0, player::kAxHostClassName, player::kFlashControlClsidText, 0, area.left, area.top,
                        area.right - area.left, area.bottom - area.top, nullptr, nullptr, GetModuleHandleA(nullptr),
                        nullptr);
    if (FAILED(player::AxHostControl(g_playerHost.host->hostWindow, IID_IUnknown,
                                     reinterpret_cast<void**>(&g_playerHost.controlUnknown)))) {
        return false;
    }
    if (FAILED(g_playerHost.controlUnknown->QueryInterface(player::kIidShockwaveFlash,
                                                           reinterpret_cast<void**>(&g_playerHost.flash))) ||
        g_playerHost.flash == nullptr) {
        return false;
    }
    wchar_t widePath[kProgramPathBytes];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, static_cast<int>(kProgramPathBytes)) == 0) return false;
    const BSTR url = SysAllocString(widePath);
    if (url == nullptr) return false;
    const HRESULT loaded = g_playerHost.flash->LoadMovie(0, url);
    SysFreeString(url);
    if (loaded != S_OK) return false;
    g_playerHost.flash->QueryInterface(IID_IViewObjectEx, reinterpret_cast<void**>(&g_playerHost.viewObject));
    long frames = 0;
    if (g_playerHost.flash->get_TotalFrames(&frames) != S_OK) return false;
    g_playerHost.totalFrames = static_cast<int32_t>(frames);

    RemoveFilePath(path);
    g_jobFailed = false;
    if (g_playerHost.aviWriter != nullptr) {
        avi::CloseAviWriter(g_playerHost.aviWriter);
        g_playerHost.aviWriter = nullptr;
    }
    char output[kProgramPathBytes];
    const int length = std::snprintf(output, sizeof output, "%s\\%s.avi", g_szProgramDir, path);
    if (length < 0 || static_cast<size_t>(length) >= sizeof output) {
        NoteWriterFailure("the output path is longer than 1023 characters; no AVI file is written", 0);
        return true;
    }
    DeleteFileA(output);
    // Whole rates give 1000 / rate; slower movies take their period from the full 8.8 rate.
    const int32_t period = g_playerHost.frameRate >= 1 ? 1000 / g_playerHost.frameRate
                                                        : swf::FramePeriodMs(swf::g_movieHeader);
    g_playerHost.aviWriter = avi::OpenAviWriter(output, period, nullptr);
    if (g_playerHost.aviWriter == nullptr) {
        g_jobFailed = true;
        RunLog::write("Cannot create the AVI file %s\n", output);
    }
    return true;
}

bool CheckCaptureSize(int32_t width, int32_t height) {
    if (width >= 1 && height >= 1 && width <= kMaxCaptureSide && height <= kMaxCaptureSide &&
        static_cast<int64_t>(width) * height <= kMaxCapturePixels) {
        return true;
    }
    RunLog::write("Frame size %dx%d refused: each side must be 1 to %d pixels, the frame at most %lld pixels\n",
                  width, height, kMaxCaptureSide, static_cast<long long>(kMaxCapturePixels));
    return false;
}

bool CreateBuffer(int32_t width, int32_t height) {
    RunLog::write("Flash Create buffer %d x %d\n", width, height);
    DeleteBuffers();
    if (!CheckCaptureSize(width, height)) return false;
    if (g_playerHost.host != nullptr && IsWindow(g_playerHost.host->hostWindow)) {
        const HWND window = g_playerHost.host->hostWindow;
        RECT area{0, 0, width, height};
        AdjustWindowRect(&area, static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), FALSE);
        SetWindowPos(window, nullptr, 0, 0, area.right - area.left, area.bottom - area.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_NOOWNERZORDER |
                         SWP_NOSENDCHANGING | SWP_DEFERERASE);
    }
    const BITMAPINFO info = player::DibInfo32(width, height);
    CaptureBuffers& b = g_captureBuffers;
    b.outputBitmap = CreateCaptureBitmap(info, b.outputPixels);
    b.blackBitmap = CreateCaptureBitmap(info, b.blackPixels);
    b.whiteBitmap = CreateCaptureBitmap(info, b.whitePixels);
    if (b.outputPixels == nullptr || b.blackPixels == nullptr || b.whitePixels == nullptr) {
        DeleteBuffers();
        RunLog::write("Flash Create buffer %d x %d failed: not enough memory for the bitmaps\n", width, height);
        return false;
    }
    b.bufferWidth = width;
    b.bufferHeight = height;
    return true;
}

void DeleteBuffers() {
    CaptureBuffers& b = g_captureBuffers;
    for (HBITMAP* bitmap : {&b.whiteBitmap, &b.blackBitmap, &b.outputBitmap}) {
        if (*bitmap != nullptr) {
            DeleteObject(*bitmap);
            *bitmap = nullptr;
        }
    }
    b.whitePixels = b.blackPixels = b.outputPixels = nullptr;
    b.bufferWidth = b.bufferHeight = 0;
}

int32_t Step() {
    if (g_playerHost.flash == nullptr) return -1;
    long current = 0;
    if (FAILED(g_playerHost.flash->CurrentFrame(&current))) return -1;
    CaptureFrame();
    g_lastCapturedFrame = static_cast<int32_t>(current);
    g_playerHost.flash->GotoFrame(current + 1);
    return static_cast<int32_t>(current + 1);
}

bool IsLastFrame() {
    if (g_playerHost.flash == nullptr) return false;
    long current = 0;
    if (FAILED(g_playerHost.flash->CurrentFrame(&current))) return false;
    // The last frame is done once it has been captured; a movie that reports no frames at
    // all gives the one frame it shows.
    return g_lastCapturedFrame >= 0 && g_lastCapturedFrame + 1 >= g_playerHost.totalFrames;
}

void CaptureFrame() {
    CaptureBuffers& b = g_captureBuffers;
    // Without bitmaps (or without a drawing interface) there is nothing to capture into.
    if (b.whitePixels == nullptr || b.blackPixels == nullptr || b.outputPixels == nullptr ||
        g_playerHost.viewObject == nullptr) {
        return;
    }
    const HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    // The frame is drawn at the bitmaps' size, whatever client area the host window took.
    const RECTL bounds{0, 0, b.bufferWidth, b.bufferHeight};
    const HGDIOBJ kept = SelectObject(memory, b.whiteBitmap);
    if (g_playerHost.flash != nullptr) g_playerHost.flash->put_BackgroundColor(0xFFFFFF);
    g_playerHost.viewObject->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &bounds, nullptr, nullptr, 0);
    SelectObject(memory, b.blackBitmap);
    if (g_playerHost.flash != nullptr) g_playerHost.flash->put_BackgroundColor(0);
    g_playerHost.viewObject->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &bounds, nullptr, nullptr, 0);
    GdiFlush();
    raster::ComposeAlpha(b.whitePixels, b.blackPixels, b.outputPixels,
                         static_cast<size_t>(b.bufferWidth) * static_cast<size_t>(b.bufferHeight));
    if (!g_compressionChosen) {
        g_compressionChosen = true;
        avi::AviCompressOptions options{};
        const avi::AviResult chosen =
            avi::SetAviWriterCompression(g_playerHost.aviWriter, b.outputBitmap, &options, true, nullptr);
        if (chosen != avi::avierr::kOk && g_playerHost.aviWriter != nullptr) {
            NoteWriterFailure("the compression was not set (the dialog was cancelled or the compressor failed); "
                              "no frames are written",
                              chosen);
        }
    }
    const avi::AviResult appended = avi::AppendAviFrame(g_playerHost.aviWriter, b.outputBitmap);
    if (appended != avi::avierr::kOk && g_playerHost.aviWriter != nullptr) {
        NoteWriterFailure("a frame could not be written to the AVI file (the disk is full, or the file reached the "
                          "2 GiB that a Video for Windows file holds); it keeps the frames before it",
                          appended);
    }
    SelectObject(memory, kept);
    DeleteDC(memory);
    DeleteDC(screen);
}

bool JobFailed() { return g_jobFailed; }

void CloseWriter() {
    if (g_playerHost.aviWriter == nullptr) return;
    const avi::AviResult closed = avi::CloseAviWriter(g_playerHost.aviWriter);
    g_playerHost.aviWriter = nullptr;
    if (closed != avi::avierr::kOk) NoteWriterFailure("the AVI file could not be completed", closed);
}

}  // namespace ZFLASH
