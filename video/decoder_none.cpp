#include "video/decoder.h"

namespace video {

std::unique_ptr<Decoder> OpenDecoder(uint8_t, uint8_t, std::string& error) {
    error = "this build has no video decoder";
    return nullptr;
}

bool HasCodecLibrary() { return false; }

}  // namespace video
