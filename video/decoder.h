#pragma once
// Decoding the pictures of embedded video (Sorenson H.263, Screen Video, VP6, VP6 with
// alpha, Screen Video 2) through the platform's codec library where the build has one
// (FFmpeg's libavcodec on Linux). A decoder keeps its state from frame to frame: frames
// that only change the last picture decode on top of it.

#include <cstdint>
#include <memory>
#include <string>

#include "image/lossless.h"

namespace video {

class Decoder {
public:
    virtual ~Decoder() = default;
    // Decodes the next frame of the stream into `out` (premultiplied BGRA); false with the
    // reason when it does not decode (`out` keeps the last picture).
    virtual bool decode(const uint8_t* data, size_t size, image::Picture& out, std::string& error) = 0;
};

// A decoder for the codec (swf::video_codec numbering), or null with the reason.
// `deblocking` is the stream's filter setting (0: as each picture asks, 1: off, 2 and more:
// on), which Sorenson H.263 pictures follow.
std::unique_ptr<Decoder> OpenDecoder(uint8_t codec, uint8_t deblocking, std::string& error);

// Whether this build decodes video at all.
bool HasCodecLibrary();

}  // namespace video
