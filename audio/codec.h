#pragma once
// The compressed sound formats, through the platform's codec library (codec_ffmpeg.cpp), or
// none where the build has no such library (codec_none.cpp).

#include <memory>
#include <string>

#include "audio/decoder.h"

namespace audio {

std::unique_ptr<Decoder> OpenCodecDecoder(const swf::SoundFormat& format, std::string& error);

}  // namespace audio
