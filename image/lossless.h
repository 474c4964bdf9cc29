#pragma once
// The lossless bitmaps that movies embed (DefineBitsLossless and DefineBitsLossless2): a
// zlib stream of colour-mapped, 15-bit or 32-bit pixels, rows padded to four bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace image {

// A decoded picture: premultiplied BGRA words, top row first, `width` pixels a row.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// Pictures larger than this are refused before anything is allocated (Flash's own limit is
// 8191 pixels a side and 16 M pixels in all).
inline constexpr int kMaxPictureSide = 8191;
inline constexpr int64_t kMaxPicturePixels = 16LL * 1024 * 1024;

// True when a picture of w x h is within the limits; else false with the reason, naming them.
bool PictureSizeAllowed(int64_t w, int64_t h, const char* what, std::string& error);

enum class LosslessFormat : uint8_t { kColorMapped = 3, kRgb15 = 4, kRgb32 = 5 };

// Decodes the zlib data of a lossless bitmap. `withAlpha` for DefineBitsLossless2: its
// colour tables are RGBA and its 32-bit pixels premultiplied ARGB; without alpha the table
// is RGB and 32-bit pixels are XRGB. `tableSize` is the stored count less one (colour-mapped
// only). False with a reason for a size out of range, an unknown format or data that does not
// inflate to the whole picture.
bool DecodeLossless(const uint8_t* data, size_t size, LosslessFormat format, int width, int height, int tableSize,
                    bool withAlpha, Picture& out, std::string& error);

}  // namespace image
