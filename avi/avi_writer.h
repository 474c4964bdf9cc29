#pragma once
// Writes a sequence of 32-bit frames as the one video stream of an AVI file.
//
// One AviWriter stands for one output file. Every operation returns an AVIERR status, but
// the writer also remembers its first failure of a stream or write call: from then on it
// refuses all further work with avierr::kError until it is closed, so callers that never
// look at the codes cannot write a damaged file.

#include <cstdint>
#include <memory>

#include "avi/avi_types.h"
#include "avi/riff_writer.h"

namespace avi {

struct AviWriter;

enum class AviBackendKind {
    kRiff,             // our own RIFF/OpenDML writer: portable, uncompressed frames
#ifdef _WIN32
    kVideoForWindows,  // the platform's AVIFIL32 services, with the compression dialog
#endif
};

#ifdef _WIN32
inline constexpr AviBackendKind kDefaultAviBackend = AviBackendKind::kVideoForWindows;
#else
inline constexpr AviBackendKind kDefaultAviBackend = AviBackendKind::kRiff;
#endif

// Creates or truncates the file at outputPath. framePeriodMs becomes the stream's scale
// over a rate of 1000. audioFormat is kept but never written (EnableAviWriterAudio adds a
// stream of audio). Null when the file can't be
// created or the period is not positive.
AviWriter* OpenAviWriter(const char* outputPath, int32_t framePeriodMs,
                         const WaveFormatEx* audioFormat,
                         AviBackendKind backend = kDefaultAviBackend,
                         const RiffWriterOptions& riffOptions = RiffWriterOptions());

class AviBackend;
// A writer over a backend of the caller's: tests put a failing disk or a scripted backend
// under it. Null when the backend is absent or the period is not positive.
AviWriter* OpenAviWriterWithBackend(std::unique_ptr<AviBackend> backend, int32_t framePeriodMs,
                                    const WaveFormatEx* audioFormat);

// Gives the stream an exact rate of rate / scale frames a second (a movie's 8.8 frame rate as
// a fraction) in place of the period in milliseconds. Before the first frame only: kError
// once the stream is made, kBadParam for a zero term.
AviResult SetAviWriterRate(AviWriter* writer, uint32_t rate, uint32_t scale);

// Gives the file an audio stream of `format` (16-bit PCM; our RIFF writer only), before the
// first frame. kError after it or on a backend without audio, kBadFormat for another format.
AviResult EnableAviWriterAudio(AviWriter* writer, const WaveFormatEx* format);

// Audio that goes into the file with the next frame, before it: whole blocks of the
// format, after the stream is made (SetAviWriterCompression or the first frame). A file
// whose audio stream gets no audio at all is written without it.
AviResult AppendAviAudio(AviWriter* writer, const void* data, uint32_t bytes);
// The same for `blocks` blocks of silence, held as a count until they are written.
AviResult AppendAviSilence(AviWriter* writer, uint64_t blocks);

// Chooses the compression of the stream, before the first frame. With showDialog the
// backend asks the user (the RIFF backend has no dialog and takes `compressOptions` as the
// choice; it writes uncompressed frames only: handler 0 or "DIB "). At most one success
// per writer: later calls return kCompressor.
AviResult SetAviWriterCompression(AviWriter* writer, const DibFrame* frame,
                                  AviCompressOptions* compressOptions, bool showDialog,
                                  void* ownerWindow);

// Writes the frame's pixels as the next key frame. Without a prior compression choice the
// stream is uncompressed ("DIB "). A frame whose size differs from the stream's format is
// refused with kBadFormat and the writer stays usable.
AviResult AppendAviFrame(AviWriter* writer, const DibFrame* frame);

// Completes the file and frees the writer, failed or not. kOk unless the file itself could
// not be completed (the RIFF writer reports a trailer that could not be written).
AviResult CloseAviWriter(AviWriter* writer);

// Introspection for callers that report progress, and for tests.
int32_t AviWriterFramesWritten(const AviWriter* writer);
bool AviWriterHasFailed(const AviWriter* writer);

}  // namespace avi
