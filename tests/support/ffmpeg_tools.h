#pragma once
// ffprobe and ffmpeg as independent readers of the AVI files we write.

#include <cstdint>
#include <string>
#include <vector>

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

// The same for any file ffmpeg reads, with options before its input (a decoder: "-c:v libvpx-vp9").
bool DecodeToBgra(const std::string& path, const std::string& inputOptions, std::string& frames,
                  std::string* errors = nullptr);
// The container's duration in seconds, or -1.
double ProbeFormatDuration(const std::string& path);

// Every stream of a file as ffprobe sees it.
struct ProbedStream {
    std::string codecType, codecName, pixFmt, rFrameRate;
    std::string alphaMode;  // WebM's tag for a VP9 stream with alpha
    int sampleRate = 0, channels = 0;
    double duration = -1;  // none for PCM audio in AVI: frames / sampleRate is its length
    int64_t frames = -1;   // as the header says: video frames, or audio sample frames
    int64_t packets = -1;
};
std::vector<ProbedStream> ProbeStreams(const std::string& path, std::string* output = nullptr);

// The first audio stream of a file (an AVI, an SWF's stream sound, an FLV), decoded by ffmpeg
// to 16-bit samples at its own rate and channels, interleaved.
bool DecodeAudio(const std::string& path, std::vector<int16_t>& samples, std::string* errors = nullptr);

// Runs ffmpeg with `arguments` (inputs, codec options) writing `output`; false with what ffmpeg
// said in `errors`.
bool RunFfmpeg(const std::string& arguments, const std::string& output, std::string* errors = nullptr);

// The audio or video packets of an FLV file, each without its one-byte format header.
bool ReadFlvAudioPackets(const std::string& path, std::vector<std::vector<uint8_t>>& packets);
bool ReadFlvVideoPackets(const std::string& path, std::vector<std::vector<uint8_t>>& packets);

}  // namespace testing_support
