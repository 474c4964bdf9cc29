#pragma once
// One conversion loop for every caller (the converter, the benchmark, the tests): for each frame
// of a range, step the engine to it, draw it, compose it, hand it to the file, and time each
// part. On more than one thread the engine draws frame n + 1 while frame n is written, and the
// file is the same byte for byte. A conversion that stops halfway (a write that fails, memory
// that runs out, a stop asked for) closes the file on the frames written so far, so it is
// always a whole file.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "convert/frame_sink.h"
#include "movie/engine.h"
#include "raster/target.h"

namespace convert {

// How a frame is made from the engine's current state, into a frame of DIB rows (bottom row
// first, premultiplied BGRA).
class FrameMaker {
public:
    virtual ~FrameMaker() = default;
    virtual void draw(movie::Engine& engine, const raster::Target& frame) = 0;
    // Whatever follows the drawing before the frame is written; nothing by default.
    virtual void compose(const raster::Target& /*frame*/) {}
};

// The converter's frames: one transparent draw with the movie's alpha, straight into the frame.
class TransparentFrames final : public FrameMaker {
public:
    explicit TransparentFrames(bool antiAlias = true) : antiAlias_(antiAlias) {}
    void draw(movie::Engine& engine, const raster::Target& frame) override { engine.draw(frame, true, antiAlias_); }

private:
    bool antiAlias_;
};

struct Job {
    std::string output;      // the AVI file, for ConvertToAvi
    int width = 0, height = 0;
    int first = 0, last = 0;  // frames from 0, both included; last < first converts none
    int32_t framePeriodMs = 0;
    // The exact rate, frames a second as rate / scale; 0: 1000 / framePeriodMs.
    uint32_t rate = 0, scale = 0;
    FrameMaker* frames = nullptr;  // null: TransparentFrames with anti-aliasing
    // The movie's sound as a PCM stream beside the frames (44.1 kHz stereo 16-bit), when it
    // makes any: each frame holds the sound of its step (Engine::stepSamples), so the sound
    // lasts as long as the frames at the movie's own rate.
    bool audio = false;
    // The AVI file's colour: straight alpha unless asked otherwise (ConvertToAvi).
    Alpha alpha = Alpha::kStraight;
    // After each frame written: how many are written, of how many. Called on the thread that
    // writes, one call at a time.
    std::function<void(int written, int total)> progress;
    // 1: step, draw and write one after the other on the caller's thread. More: the frames
    // are written on a thread of their own while the next ones are drawn.
    int threads = 1;
    // Set (by a signal handler, say) to stop after the frame being made; the file is closed on
    // the frames written.
    const std::atomic<bool>* stop = nullptr;
};

// Milliseconds spent over the whole conversion in each part of the loop.
struct Timings {
    double step = 0, draw = 0, compose = 0, sound = 0, write = 0, total = 0;
};

struct Outcome {
    enum class Status {
        kDone,
        kCannotCreate,  // the file could not be made
        kWriteFailed,   // a frame or the close failed: `error` says how; the file holds `written` frames
        kOutOfMemory,   // the file is closed on the frames written
    };
    Status status = Status::kDone;
    int written = 0;
    bool sound = false;    // the file has an audio stream
    bool stopped = false;  // job.stop was set before the range was done
    std::string error;     // why the file could not be made or written
    Timings timings;
};

// Converts job.first .. job.last of the engine's movie into `sink`, and closes it. The sound
// of the frames before job.first plays on unheard, so a sound started there is heard from
// where it has got to; each frame's own sound is handed over with it when job.audio.
Outcome Convert(movie::Engine& engine, const Job& job, FrameSink& sink);

// The same into an AVI file (job.output) through the RIFF writer: uncompressed 32-bit frames,
// with the movie's sound when the job asks for it. The audio stream starts once the movie
// first makes a sound, with the silence before it; a movie that makes none gets no audio
// stream.
Outcome ConvertToAvi(movie::Engine& engine, const Job& job);
// The AVI file ConvertToAvi writes into, opened for the job; null with the reason in `error`.
std::unique_ptr<FrameSink> OpenAviSinkFor(const Job& job, std::string& error);

}  // namespace convert
