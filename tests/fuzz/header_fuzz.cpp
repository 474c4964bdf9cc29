// Fuzzes the SWF file reader: signature, version, zlib body, frame size, rate and count.
#include <cstddef>
#include <cstdint>
#include <string>

#include "swf/tags.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    swf::SwfFile file;
    std::string error;
    if (swf::ParseSwf(data, size, file, error)) {
        // Whatever was read must describe the image it came with.
        if (file.image.size() < 8) __builtin_trap();
    } else if (error.empty()) {
        __builtin_trap();  // every refusal says why
    }
    return 0;
}
