#pragma once
// Frames into an AVI file through our own RIFF writer: uncompressed 32-bit BGRA, OpenDML past
// 1 GiB, with the movie's sound as 16-bit PCM beside them.

#include <cstdint>
#include <memory>
#include <string>

#include "convert/frame_sink.h"

namespace convert {

struct AviSinkSettings {
    std::string path;
    int width = 0, height = 0;
    int32_t framePeriodMs = 0;
    // The exact rate, frames a second as rate / scale; 0: 1000 / framePeriodMs.
    uint32_t rate = 0, scale = 0;
    // A PCM stream that starts with the movie's first sound, the silence before it included;
    // a movie that makes none gets no audio stream.
    bool audio = false;
    Alpha alpha = Alpha::kStraight;
};

// Null with the reason in `error` when the file cannot be made.
std::unique_ptr<FrameSink> OpenAviSink(const AviSinkSettings& settings, std::string& error);

}  // namespace convert
