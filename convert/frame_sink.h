#pragma once
// Where the conversion loop's frames go: a file of one format or another. The loop hands each
// frame over with its sound, in order, from one thread at a time (a thread of its own when
// the conversion runs on several).

#include <cstddef>
#include <cstdint>
#include <string>

namespace convert {

// How a file holds colour and alpha.
enum class Alpha {
    kStraight,       // colour as drawn, alpha beside it: what PNG, editors and ffmpeg take BGRA as
    kPremultiplied,  // colour already multiplied by alpha, as the engine draws
};

struct SinkFrame {
    // width x height premultiplied BGRA words in the rows order the sink asks for; the sink
    // may change them (to unpremultiply in place).
    uint32_t* pixels = nullptr;
    // This frame's sound: 44.1 kHz stereo 16-bit, interleaved, `sampleFrames` frames of it.
    const int16_t* samples = nullptr;
    size_t sampleFrames = 0;
    bool heard = false;  // whether the movie made any sound in it
};

class FrameSink {
public:
    virtual ~FrameSink() = default;
    // The rows order it takes: bottom row first (a DIB's) or top row first.
    virtual bool bottomUp() const = 0;
    // Writes the next frame and its sound; false once the file fails, with error() saying why.
    virtual bool write(const SinkFrame& frame) = 0;
    // Completes the file on the frames written; false when that fails.
    virtual bool close() = 0;
    virtual std::string error() const = 0;
    // Whether the file has a sound stream.
    virtual bool hasSound() const = 0;
    // Whether the movie made a sound the file had no stream for (its streams are set before
    // the first frame).
    virtual bool soundLeftOut() const { return false; }
};

}  // namespace convert
