#pragma once
// The headers of the bitmap tags, read into typed records: which bitmap, in which encoding,
// and where its payload lies in the tag. Decoding the pixels is image/'s work.

#include <cstddef>
#include <cstdint>

#include "swf/tags.h"

namespace swf {

// DefineBits, DefineBitsJPEG2, 3 and 4. `image` is the JPEG stream (or, from JPEG2 on, a PNG
// or GIF file); JPEG3 and 4 follow it with a zlib-compressed alpha plane.
struct DefineBits {
    uint16_t id = 0;
    bool usesJpegTables = false;  // DefineBits: the stream leaves its tables to JPEGTables
    const uint8_t* image = nullptr;
    size_t imageSize = 0;
    const uint8_t* alpha = nullptr;  // null when there is none
    size_t alphaSize = 0;
    uint16_t deblocking = 0;  // JPEG4: the deblocking filter's strength, 8.8
};

// DefineBitsLossless and DefineBitsLossless2.
struct DefineBitsLossless {
    uint16_t id = 0;
    uint8_t format = 0;  // 3 colour-mapped, 4 15-bit (Lossless only), 5 32-bit
    uint16_t width = 0, height = 0;
    uint16_t colorTableSize = 0;  // entries, for the colour-mapped format
    bool withAlpha = false;       // DefineBitsLossless2
    const uint8_t* data = nullptr;  // the zlib-compressed table and pixels
    size_t dataSize = 0;
};

// False when the header is cut short (or JPEG3's image size runs past the tag).
bool ReadDefineBits(const Tag& tag, DefineBits& out);
bool ReadDefineBitsLossless(const Tag& tag, DefineBitsLossless& out);

}  // namespace swf
