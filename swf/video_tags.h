#pragma once
// The embedded video tags as typed records: DefineVideoStream (a video character) and
// VideoFrame (one frame of its pictures).

#include <cstdint>

#include "swf/control_tags.h"
#include "swf/tags.h"

namespace swf {

// VideoCodecID, as the tags number it.
namespace video_codec {
inline constexpr uint8_t kSorensonH263 = 2, kScreenVideo = 3, kVp6 = 4, kVp6Alpha = 5, kScreenVideo2 = 6;
}

struct DefineVideoStream {
    uint16_t id = 0;
    uint16_t frameCount = 0;
    uint16_t width = 0, height = 0;  // pixels: the size it shows at
    uint8_t deblocking = 0;          // 0: as the stream says, 1: off, 2 to 7: levels of filtering
    bool smoothing = false;
    uint8_t codec = 0;
};

struct VideoFrame {
    uint16_t streamId = 0;
    uint16_t frame = 0;
    Bytes data;
};

// Each false when the tag is cut short.
bool ReadDefineVideoStream(const Tag& tag, DefineVideoStream& out);
bool ReadVideoFrame(const Tag& tag, VideoFrame& out);

}  // namespace swf
