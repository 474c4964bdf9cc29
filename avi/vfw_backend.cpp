// The Video for Windows backend: each step is one AVIFIL32 call.
#include <windows.h>
#include <vfw.h>

#include <cstddef>
#include <memory>

#include "avi/avi_backend.h"
#include "avi/vfw_writer.h"

namespace avi {

static_assert(sizeof(AviCompressOptions) == sizeof(AVICOMPRESSOPTIONS) &&
                  offsetof(AviCompressOptions, lpFormat) == offsetof(AVICOMPRESSOPTIONS, lpFormat) &&
                  offsetof(AviCompressOptions, cbFormat) == offsetof(AVICOMPRESSOPTIONS, cbFormat) &&
                  offsetof(AviCompressOptions, lpParms) == offsetof(AVICOMPRESSOPTIONS, lpParms) &&
                  offsetof(AviCompressOptions, cbParms) == offsetof(AVICOMPRESSOPTIONS, cbParms) &&
                  offsetof(AviCompressOptions, dwInterleaveEvery) == offsetof(AVICOMPRESSOPTIONS, dwInterleaveEvery),
              "layout of AVICOMPRESSOPTIONS, whose pointers widen in a 64-bit process");
static_assert(sizeof(BitmapInfoHeader) == sizeof(BITMAPINFOHEADER), "layout of BITMAPINFOHEADER");
static_assert(avierr::kBadHandle == AVIERR_BADHANDLE && avierr::kBadParam == AVIERR_BADPARAM &&
                  avierr::kError == AVIERR_ERROR && avierr::kCompressor == AVIERR_COMPRESSOR &&
                  avierr::kUserAbort == AVIERR_USERABORT && avierr::kBadFormat == AVIERR_BADFORMAT &&
                  avierr::kFileWrite == AVIERR_FILEWRITE && avierr::kNoCompressor == AVIERR_NOCOMPRESSOR &&
                  avierr::kMemory == AVIERR_MEMORY && avierr::kBadSize == AVIERR_BADSIZE &&
                  avierr::kFileOpen == AVIERR_FILEOPEN,
              "AVIERR values");

namespace {

constexpr UINT kOpenForWriting = OF_WRITE | OF_CREATE;
constexpr int kDibSectionBytes = sizeof(DIBSECTION);
// The bitmap's bits pointer and section handle widen with the pointer size.
static_assert(kDibSectionBytes == (sizeof(void*) == 4 ? 84 : 104),
              "DIBSECTION is 84 bytes on 32-bit Windows and 104 on 64-bit Windows");

class VfwBackend final : public AviBackend {
public:
    VfwBackend(PAVIFILE file, uint64_t maxFileBytes) : file_(file), maxFileBytes_(maxFileBytes) {}
    ~VfwBackend() override { close(); }

    AviResult createVideoStream(const VideoStreamInfo& info) override {
        AVISTREAMINFOA header;
        ZeroMemory(&header, sizeof header);
        header.fccType = info.fccType;
        header.fccHandler = info.fccHandler;
        header.dwScale = info.dwScale;
        header.dwRate = info.dwRate;
        header.dwSuggestedBufferSize = info.dwSuggestedBufferSize;
        SetRect(&header.rcFrame, 0, 0, info.frameRight, info.frameBottom);
        return AVIFileCreateStreamA(file_, &video_, &header);
    }

    AviResult chooseCompression(AviCompressOptions& options, void* ownerWindow) override {
        auto* record = reinterpret_cast<AVICOMPRESSOPTIONS*>(&options);
        LPAVICOMPRESSOPTIONS list[1] = {record};
        PAVISTREAM streams[1] = {video_};
        const INT_PTR confirmed =
            AVISaveOptions(static_cast<HWND>(ownerWindow), 0, 1, streams, list);
        return confirmed ? avierr::kOk : avierr::kUserAbort;
    }

    AviResult makeCompressedStream(const AviCompressOptions& options) override {
        auto* record = const_cast<AVICOMPRESSOPTIONS*>(reinterpret_cast<const AVICOMPRESSOPTIONS*>(&options));
        return AVIMakeCompressedStream(&compressed_, video_, record, nullptr);
    }

    void freeCompressOptions(AviCompressOptions& options) override {
        LPAVICOMPRESSOPTIONS list[1] = {reinterpret_cast<AVICOMPRESSOPTIONS*>(&options)};
        AVISaveOptionsFree(1, list);
    }

    AviResult setFormat(const BitmapInfoHeader& format, uint32_t formatLength) override {
        return AVIStreamSetFormat(compressed_, 0, const_cast<BitmapInfoHeader*>(&format),
                                  static_cast<LONG>(formatLength));
    }

    AviResult writeSample(int32_t position, const void* data, uint32_t length) override {
        // A chunk: its 8-byte header and the data padded to an even length; an idx1 entry of
        // 16 bytes. The headers before the data take far less than kHeaderRoom.
        constexpr uint64_t kHeaderRoom = 64 * 1024;
        const uint64_t sample = 8 + ((uint64_t(length) + 1) & ~uint64_t(1)) + 16;
        if (kHeaderRoom + written_ + sample > maxFileBytes_) return avierr::kFileWrite;
        written_ += sample;
        return AVIStreamWrite(compressed_, position, 1, const_cast<void*>(data),
                              static_cast<LONG>(length), AVIIF_KEYFRAME, nullptr, nullptr);
    }

    // The compressing stream goes before the stream it is layered on, all streams before
    // the file; the file is complete on disk once it is released.
    AviResult close() override {
        if (compressed_) AVIStreamRelease(compressed_);
        compressed_ = nullptr;
        if (video_) AVIStreamRelease(video_);
        video_ = nullptr;
        if (file_) {
            AVIFileRelease(file_);
            file_ = nullptr;
            AVIFileExit();
        }
        return avierr::kOk;
    }

private:
    PAVIFILE file_;
    uint64_t maxFileBytes_;
    uint64_t written_ = 0;  // what the samples so far take in the file
    PAVISTREAM video_ = nullptr;
    PAVISTREAM compressed_ = nullptr;
};

}  // namespace

std::unique_ptr<AviBackend> OpenVfwBackend(const char* path, uint64_t maxFileBytes) {
    AVIFileInit();
    PAVIFILE file = nullptr;
    if (AVIFileOpenA(&file, path, kOpenForWriting, nullptr) != 0 || file == nullptr) {
        AVIFileExit();
        return nullptr;
    }
    return std::make_unique<VfwBackend>(file, maxFileBytes);
}

bool DibFrameFromBitmap(HBITMAP bitmap, DibFrame* frame) {
    if (bitmap == nullptr || frame == nullptr) return false;
    DIBSECTION section;
    if (GetObjectA(bitmap, kDibSectionBytes, &section) != kDibSectionBytes) return false;
    static_assert(sizeof section.dsBmih == sizeof frame->header);
    CopyMemory(&frame->header, &section.dsBmih, sizeof frame->header);
    frame->bits = section.dsBm.bmBits;
    return true;
}

AviResult SetAviWriterCompression(AviWriter* writer, HBITMAP bitmap,
                                  AviCompressOptions* compressOptions, bool showDialog,
                                  HWND ownerWindow) {
    DibFrame frame;
    const bool isDib = DibFrameFromBitmap(bitmap, &frame);
    return SetAviWriterCompression(writer, isDib ? &frame : nullptr, compressOptions, showDialog,
                                   ownerWindow);
}

AviResult AppendAviFrame(AviWriter* writer, HBITMAP bitmap) {
    DibFrame frame;
    const bool isDib = DibFrameFromBitmap(bitmap, &frame);
    return AppendAviFrame(writer, isDib ? &frame : nullptr);
}

}  // namespace avi
