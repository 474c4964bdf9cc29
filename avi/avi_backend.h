#pragma once
// The operations an AVI writer backend supplies. The writer (avi_writer.cpp) owns the
// order of calls, the argument checks and the sticky failure; a backend only carries out
// one step at a time: the Video for Windows services on Windows, our RIFF writer anywhere.

#include <memory>

#include "avi/avi_types.h"

namespace avi {

class AviBackend {
public:
    virtual ~AviBackend() = default;

    // Creates the one uncompressed video stream described by `info`.
    virtual AviResult createVideoStream(const VideoStreamInfo& info) = 0;
    // Lets the user choose a compressor for the video stream, filling `options`.
    // kOk when confirmed, kUserAbort when cancelled.
    virtual AviResult chooseCompression(AviCompressOptions& options, void* ownerWindow) = 0;
    // Layers the compressing stream that `options` names on the video stream.
    virtual AviResult makeCompressedStream(const AviCompressOptions& options) = 0;
    // Releases what a dialog or a compressor attached to `options`.
    virtual void freeCompressOptions(AviCompressOptions& options) = 0;
    // Sets the frame format of the compressing stream at position 0.
    virtual AviResult setFormat(const BitmapInfoHeader& format, uint32_t formatLength) = 0;
    // Writes one key-frame sample at `position` through the compressing stream.
    virtual AviResult writeSample(int32_t position, const void* data, uint32_t length) = 0;
    // Adds an audio stream of the format beside the video stream, before its format is
    // set; backends without one refuse.
    virtual AviResult createAudioStream(const WaveFormatEx&) { return avierr::kError; }
    // Audio that goes into the file with the next sample written.
    virtual AviResult queueAudio(const void*, uint32_t) { return avierr::kError; }
    // Blocks of silence that go into the file with the next sample, before its audio.
    virtual AviResult queueSilence(uint64_t) { return avierr::kError; }
    // Releases the streams and the file; the file is complete afterwards.
    virtual AviResult close() = 0;
};

// Our own RIFF writer. The file is created (or truncated) now; null when it can't be.
struct RiffWriterOptions;
class FileSink;
std::unique_ptr<AviBackend> OpenRiffBackend(const char* path, const RiffWriterOptions& options);
// The same over a sink of the caller's (tests put a failing disk under it).
std::unique_ptr<AviBackend> OpenRiffBackend(std::unique_ptr<FileSink> sink,
                                            const RiffWriterOptions& options);

#ifdef _WIN32
// The platform's AVIFIL32 services. Null when the file can't be created.
//
// They write AVI 1.0 files only, whose RIFF sizes stop at 2 GiB; past that the services lose
// frames without reporting it. A sample that would take the file beyond `maxFileBytes`
// (its chunks, their index entries and room for the headers) is refused with kFileWrite, so
// the file keeps every frame before it and the failure is known.
inline constexpr uint64_t kVfwMaxFileBytes = 0x7FFFFFFFull;
std::unique_ptr<AviBackend> OpenVfwBackend(const char* path, uint64_t maxFileBytes = kVfwMaxFileBytes);
#endif

}  // namespace avi
