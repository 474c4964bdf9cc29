#include "avi/avi_writer.h"

#include <memory>
#include <new>

#include "avi/avi_backend.h"

namespace avi {

struct AviWriter {
    std::unique_ptr<AviBackend> backend;
    WaveFormatEx audioFormat;  // kept for the record; no stream of audio is written
    int32_t framePeriodMs = 0;
    // The stream's rate, frames a second as rate / scale: 1000 over the period unless given.
    uint32_t rate = 1000, scale = 0;
    bool wantsAudio = false;
    WaveFormatEx streamAudio;  // the audio stream's format, when wanted
    bool hasVideoStream = false;
    bool hasCompressedStream = false;
    BitmapInfoHeader format;   // the stream's frame format, once set
    bool hasFormat = false;
    int32_t nextFrame = 0;
    bool hasFailed = false;
};

DibFrame MakeDibFrame(int32_t width, int32_t height, const void* bits) {
    DibFrame frame;
    frame.header.biWidth = width;
    frame.header.biHeight = height;
    frame.header.biBitCount = 32;
    const int64_t rows = height < 0 ? -static_cast<int64_t>(height) : height;
    const int64_t bytes = static_cast<int64_t>(width) * 4 * rows;
    frame.header.biSizeImage = width > 0 && bytes <= UINT32_MAX ? static_cast<uint32_t>(bytes) : 0;
    frame.bits = bits;
    return frame;
}

namespace {

// What a DIB section with pixels looks like: anything else is not a frame at all.
bool IsUsableFrame(const DibFrame* frame) {
    if (frame == nullptr || frame->bits == nullptr) return false;
    const BitmapInfoHeader& h = frame->header;
    return h.biSize == sizeof(BitmapInfoHeader) && h.biWidth > 0 && h.biHeight != 0 &&
           h.biSizeImage > 0;
}

// The writer has no colour table to give a stream: palette bitmaps can't be its format.
bool NeedsColourTable(const BitmapInfoHeader& h) { return h.biClrUsed != 0 || h.biBitCount <= 8; }

uint32_t FormatLength(const BitmapInfoHeader& h) { return h.biSize + 4 * h.biClrUsed; }

bool SameFrameLayout(const BitmapInfoHeader& a, const BitmapInfoHeader& b) {
    return a.biWidth == b.biWidth && a.biHeight == b.biHeight && a.biBitCount == b.biBitCount &&
           a.biCompression == b.biCompression && a.biSizeImage == b.biSizeImage;
}

AviResult Fail(AviWriter* writer, AviResult code) {
    writer->hasFailed = true;
    return code;
}

// The checks every frame-taking operation starts with, in their fixed order.
AviResult CheckCall(const AviWriter* writer, const DibFrame* frame) {
    if (writer == nullptr) return avierr::kBadHandle;
    if (!IsUsableFrame(frame)) return avierr::kBadParam;
    if (NeedsColourTable(frame->header)) return avierr::kBadFormat;
    if (writer->hasFailed) return avierr::kError;
    return avierr::kOk;
}

AviResult EnsureVideoStream(AviWriter* writer, const DibFrame& frame) {
    if (writer->hasVideoStream) return avierr::kOk;
    VideoStreamInfo info;
    info.fccType = kStreamTypeVideo;
    info.fccHandler = 0;
    info.dwScale = writer->scale;
    info.dwRate = writer->rate;
    info.dwSuggestedBufferSize = frame.header.biSizeImage;
    info.frameRight = frame.header.biWidth;
    info.frameBottom = frame.header.biHeight;
    if (AviResult r = writer->backend->createVideoStream(info); r != avierr::kOk) {
        return Fail(writer, r);
    }
    if (writer->wantsAudio) {
        if (AviResult r = writer->backend->createAudioStream(writer->streamAudio); r != avierr::kOk) {
            return Fail(writer, r);
        }
    }
    writer->hasVideoStream = true;
    return avierr::kOk;
}

AviResult SetFormat(AviWriter* writer, const BitmapInfoHeader& format) {
    if (AviResult r = writer->backend->setFormat(format, FormatLength(format)); r != avierr::kOk) {
        return Fail(writer, r);
    }
    writer->format = format;
    writer->hasFormat = true;
    return avierr::kOk;
}

}  // namespace

AviWriter* OpenAviWriter(const char* outputPath, int32_t framePeriodMs,
                         const WaveFormatEx* audioFormat, AviBackendKind backend,
                         const RiffWriterOptions& riffOptions) {
    // A period that is not positive would give a stream without a rate: refuse it before
    // the file is created.
    if (outputPath == nullptr || framePeriodMs <= 0) return nullptr;
    std::unique_ptr<AviBackend> opened;
    switch (backend) {
        case AviBackendKind::kRiff:
            opened = OpenRiffBackend(outputPath, riffOptions);
            break;
#ifdef _WIN32
        case AviBackendKind::kVideoForWindows:
            opened = OpenVfwBackend(outputPath);
            break;
#endif
    }
    return OpenAviWriterWithBackend(std::move(opened), framePeriodMs, audioFormat);
}

AviWriter* OpenAviWriterWithBackend(std::unique_ptr<AviBackend> backend, int32_t framePeriodMs,
                                    const WaveFormatEx* audioFormat) {
    if (!backend) return nullptr;
    if (framePeriodMs <= 0) {
        backend->close();
        return nullptr;
    }
    auto* writer = new (std::nothrow) AviWriter();
    if (writer == nullptr) {
        backend->close();
        return nullptr;
    }
    writer->backend = std::move(backend);
    if (audioFormat != nullptr) writer->audioFormat = *audioFormat;
    writer->framePeriodMs = framePeriodMs;
    writer->scale = static_cast<uint32_t>(framePeriodMs);
    return writer;
}

AviResult SetAviWriterRate(AviWriter* writer, uint32_t rate, uint32_t scale) {
    if (writer == nullptr) return avierr::kBadHandle;
    if (rate == 0 || scale == 0) return avierr::kBadParam;
    if (writer->hasVideoStream || writer->hasFailed) return avierr::kError;
    writer->rate = rate;
    writer->scale = scale;
    return avierr::kOk;
}

AviResult EnableAviWriterAudio(AviWriter* writer, const WaveFormatEx* format) {
    if (writer == nullptr) return avierr::kBadHandle;
    if (format == nullptr) return avierr::kBadParam;
    if (writer->hasVideoStream || writer->hasFailed) return avierr::kError;
    if (format->wFormatTag != 1 || format->wBitsPerSample != 16 || format->nChannels == 0 ||
        format->nBlockAlign != format->nChannels * 2) {
        return avierr::kBadFormat;
    }
    writer->wantsAudio = true;
    writer->streamAudio = *format;
    return avierr::kOk;
}

AviResult AppendAviAudio(AviWriter* writer, const void* data, uint32_t bytes) {
    if (writer == nullptr) return avierr::kBadHandle;
    if (data == nullptr && bytes != 0) return avierr::kBadParam;
    if (!writer->wantsAudio || !writer->hasVideoStream || writer->hasFailed) return avierr::kError;
    if (bytes == 0) return avierr::kOk;
    if (bytes % writer->streamAudio.nBlockAlign != 0) return avierr::kBadParam;
    const AviResult r = writer->backend->queueAudio(data, bytes);
    return r == avierr::kOk || r == avierr::kBadParam ? r : Fail(writer, r);
}

AviResult AppendAviSilence(AviWriter* writer, uint64_t blocks) {
    if (writer == nullptr) return avierr::kBadHandle;
    if (!writer->wantsAudio || !writer->hasVideoStream || writer->hasFailed) return avierr::kError;
    if (blocks == 0) return avierr::kOk;
    const AviResult r = writer->backend->queueSilence(blocks);
    return r == avierr::kOk || r == avierr::kBadSize ? r : Fail(writer, r);
}

AviResult SetAviWriterCompression(AviWriter* writer, const DibFrame* frame,
                                  AviCompressOptions* compressOptions, bool showDialog,
                                  void* ownerWindow) {
    if (AviResult r = CheckCall(writer, frame); r != avierr::kOk) return r;
    if (writer->hasCompressedStream) return avierr::kCompressor;
    if (AviResult r = EnsureVideoStream(writer, *frame); r != avierr::kOk) return r;

    AviCompressOptions own;
    AviCompressOptions& options = compressOptions ? *compressOptions : own;
    if (showDialog && writer->backend->chooseCompression(options, ownerWindow) != avierr::kOk) {
        writer->backend->freeCompressOptions(options);
        return Fail(writer, avierr::kUserAbort);
    }
    const AviResult made = writer->backend->makeCompressedStream(options);
    writer->backend->freeCompressOptions(options);
    if (made != avierr::kOk) return Fail(writer, made);
    writer->hasCompressedStream = true;
    return SetFormat(writer, frame->header);
}

AviResult AppendAviFrame(AviWriter* writer, const DibFrame* frame) {
    if (AviResult r = CheckCall(writer, frame); r != avierr::kOk) return r;
    if (writer->hasFormat && !SameFrameLayout(writer->format, frame->header)) {
        return avierr::kBadFormat;  // a frame of another size would corrupt the stream
    }
    if (AviResult r = EnsureVideoStream(writer, *frame); r != avierr::kOk) return r;
    if (!writer->hasCompressedStream) {
        AviCompressOptions uncompressed;
        uncompressed.fccHandler = kHandlerUncompressed;
        if (AviResult r = writer->backend->makeCompressedStream(uncompressed); r != avierr::kOk) {
            return Fail(writer, r);
        }
        writer->hasCompressedStream = true;
        if (AviResult r = SetFormat(writer, frame->header); r != avierr::kOk) return r;
    }
    const AviResult written =
        writer->backend->writeSample(writer->nextFrame, frame->bits, frame->header.biSizeImage);
    if (written != avierr::kOk) return Fail(writer, written);
    ++writer->nextFrame;
    return avierr::kOk;
}

AviResult CloseAviWriter(AviWriter* writer) {
    if (writer == nullptr) return avierr::kBadHandle;
    const AviResult closed = writer->backend->close();
    delete writer;
    return closed;
}

int32_t AviWriterFramesWritten(const AviWriter* writer) { return writer ? writer->nextFrame : 0; }

bool AviWriterHasFailed(const AviWriter* writer) { return writer && writer->hasFailed; }

}  // namespace avi
