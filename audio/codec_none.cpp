#include "audio/codec.h"

namespace audio {

std::unique_ptr<Decoder> OpenCodecDecoder(const swf::SoundFormat&, std::string& error) {
    error = "this build has no decoder for compressed sound";
    return nullptr;
}

bool HasCodecLibrary() { return false; }

}  // namespace audio
