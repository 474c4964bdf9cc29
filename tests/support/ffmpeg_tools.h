#pragma once
// ffprobe and ffmpeg as independent readers of the AVI files we write.

#include <cstdint>
#include <string>

namespace testing_support {

bool HaveFfmpegTools();

struct ProbedVideo {
    bool ok = false;
    std::string output;  // what ffprobe printed, for failure messages
    int streams = 0;
    std::string codecType, codecName, pixFmt, rFrameRate;
    double duration = -1;  // the stream's, in seconds
    int width = 0, height = 0;
    int64_t packets = -1;  // counted by demuxing the whole file
};

ProbedVideo ProbeAvi(const std::string& path);

// Decodes every frame to raw bgra, top row first, frames one after the other.
bool DecodeAviToBgra(const std::string& path, std::string& frames, std::string* errors = nullptr);

}  // namespace testing_support
