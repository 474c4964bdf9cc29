#pragma once
// One conversion loop for every caller (the converter, the benchmark, the tests): for each frame
// of a range, step the engine to it, draw it, compose it, append it to the AVI file, and time
// each part. A conversion that stops halfway (a write that fails, memory that runs out) closes
// the file on the frames written so far, so it is always a whole file.

#include <cstdint>
#include <functional>
#include <string>

#include "avi/avi_writer.h"
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
    std::string output;      // the AVI file
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
    // After each frame written: how many are written, of how many.
    std::function<void(int written, int total)> progress;
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
    bool sound = false;  // the file has an audio stream: the movie made a sound
    avi::AviResult error = avi::avierr::kOk;
    Timings timings;
};

// Converts job.first .. job.last of the engine's movie into the AVI file: uncompressed 32-bit
// frames through the RIFF writer, with the movie's sound when the job asks for it. The sound
// of the frames before job.first plays on unheard, so a sound started there is heard from
// where it has got to. The audio stream starts once the movie first makes a sound, with
// the silence before it; a movie that makes none gets no audio stream.
Outcome ConvertToAvi(movie::Engine& engine, const Job& job);

}  // namespace convert
