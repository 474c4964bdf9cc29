#include "convert/avi_sink.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "avi/avi_writer.h"
#include "avi/riff_writer.h"
#include "movie/engine.h"
#include "raster/straight_alpha.h"

namespace convert {

namespace {

std::string AviError(avi::AviResult code) {
    if (code == avi::avierr::kIndexLost) {
        return "no room for the index at the end (the disk is full, or memory ran out): the file holds every frame "
               "written, without an index";
    }
    if (code == avi::avierr::kFileFull) {
        return "the AVI is full: it holds at most " + std::to_string(avi::kSuperIndexEntries) +
               " segments of 1 GiB (kSuperIndexEntries), about 2 TiB; it stays whole with the frames written";
    }
    if (code == avi::avierr::kFileWrite) return "the file could not be written";
    if (code == avi::avierr::kFileOpen) return "the file could not be opened";
    if (code == avi::avierr::kMemory) return "out of memory";
    char text[40];
    std::snprintf(text, sizeof text, "AVI error %08x", static_cast<unsigned>(code));
    return text;
}

// The system's reason for the last failure, when it gave one.
std::string Reason(int e) { return e != 0 ? std::string(": ") + std::strerror(e) : std::string(); }

class AviSink final : public FrameSink {
public:
    AviSink(avi::AviWriter* writer, const AviSinkSettings& s)
        : writer_(writer), settings_(s), frame_(avi::MakeDibFrame(s.width, s.height, nullptr)) {}
    ~AviSink() override {
        if (writer_ != nullptr) avi::CloseAviWriter(writer_);
    }

    bool bottomUp() const override { return true; }

    bool write(const SinkFrame& f) override {
        if (status_ != avi::avierr::kOk) return false;
        errno = 0;  // what the writer's calls set is their reason
        frame_.bits = f.pixels;
        if (settings_.alpha == Alpha::kStraight) {
            raster::UnpremultiplyPixels(f.pixels, f.pixels, static_cast<size_t>(settings_.width) * settings_.height);
        }
        if (settings_.audio) {
            if (f.heard && !sound_) {
                sound_ = true;
                if (!check(avi::AppendAviSilence(writer_, silence_))) return false;
            }
            if (sound_) {
                if (!check(avi::AppendAviAudio(writer_, f.samples, static_cast<uint32_t>(f.sampleFrames * 4)))) return false;
            } else {
                silence_ += f.sampleFrames;
            }
        }
        return check(avi::AppendAviFrame(writer_, &frame_));
    }

    bool close() override {
        avi::AviWriter* w = writer_;
        writer_ = nullptr;
        if (w == nullptr) return status_ == avi::avierr::kOk;
        errno = 0;
        const avi::AviResult closed = avi::CloseAviWriter(w);
        if (status_ == avi::avierr::kOk && closed != avi::avierr::kOk) {
            status_ = closed;
            error_ = AviError(closed) + Reason(errno);
        }
        return status_ == avi::avierr::kOk;
    }

    std::string error() const override { return error_; }
    bool hasSound() const override { return sound_; }

private:
    bool check(avi::AviResult r) {
        if (r == avi::avierr::kOk) return true;
        if (status_ == avi::avierr::kOk) {
            status_ = r;
            error_ = AviError(r) + Reason(errno);
        }
        return false;
    }

    avi::AviWriter* writer_;
    AviSinkSettings settings_;
    avi::DibFrame frame_;
    bool sound_ = false;
    uint64_t silence_ = 0;  // sample frames of silence before the movie's first sound
    avi::AviResult status_ = avi::avierr::kOk;
    std::string error_;
};

}  // namespace

std::unique_ptr<FrameSink> OpenAviSink(const AviSinkSettings& s, std::string& error) {
    errno = 0;
    avi::AviWriter* writer = avi::OpenAviWriter(s.path.c_str(), s.framePeriodMs, nullptr, avi::AviBackendKind::kRiff);
    if (writer == nullptr) {
        error = "cannot create " + s.path + Reason(errno);
        return nullptr;
    }
    if (s.rate != 0 && s.scale != 0) avi::SetAviWriterRate(writer, s.rate, s.scale);
    if (s.audio) {
        avi::WaveFormatEx pcm;
        pcm.wFormatTag = 1;
        pcm.nChannels = movie::kSoundChannels;
        pcm.nSamplesPerSec = movie::kSoundRate;
        pcm.wBitsPerSample = 16;
        pcm.nBlockAlign = static_cast<uint16_t>(pcm.nChannels * 2);
        pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;
        avi::EnableAviWriterAudio(writer, &pcm);
    }
    // The stream's format, from the frame's header alone: its pixels are not read here.
    static const uint32_t kNoPixels = 0;
    const avi::DibFrame format = avi::MakeDibFrame(s.width, s.height, &kNoPixels);
    avi::AviCompressOptions uncompressed;
    uncompressed.fccHandler = avi::kHandlerUncompressed;
    errno = 0;
    const avi::AviResult chosen = avi::SetAviWriterCompression(writer, &format, &uncompressed, false, nullptr);
    if (chosen != avi::avierr::kOk) {
        const int e = errno;
        avi::CloseAviWriter(writer);
        error = "cannot create " + s.path + ": " + AviError(chosen) + Reason(e);
        return nullptr;
    }
    return std::make_unique<AviSink>(writer, s);
}

}  // namespace convert
