#pragma once
// Reading FLV files (what a NetStream plays): the audio and video packets with their times.

#include <cstdint>
#include <string>
#include <vector>

namespace video {

// At most this many packets are read from one file; the rest are left out.
inline constexpr size_t kMaxFlvPackets = size_t{1} << 20;

struct FlvPacket {
    bool video = false;
    uint32_t timeMs = 0;
    // Audio: the format byte as sound tags pack it. Video: the codec (swf::video_codec).
    uint8_t format = 0;
    bool keyFrame = false;
    std::vector<uint8_t> data;  // what the decoder takes (video: after the FLV's own bytes)
};

// The packets of the file, in file order; false with the reason when it is no FLV file.
bool ReadFlv(const std::string& bytes, std::vector<FlvPacket>& packets, std::string& error);

}  // namespace video
