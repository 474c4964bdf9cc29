#include "image/lossless.h"

#include <algorithm>

#include "base/pixels.h"
#include "base/inflate.h"

namespace image {

bool PictureSizeAllowed(int64_t w, int64_t h, const char* what, std::string& error) {
    if (w > 0 && h > 0 && w <= kMaxPictureSide && h <= kMaxPictureSide && w * h <= kMaxPicturePixels) return true;
    error = std::string("a ") + what + " of " + std::to_string(w) + "x" + std::to_string(h) +
            " pixels is outside the limits: 1 to " + std::to_string(kMaxPictureSide) + " pixels a side (kMaxPictureSide), " +
            std::to_string(kMaxPicturePixels) + " pixels in all (kMaxPicturePixels)";
    return false;
}

bool DecodeLossless(const uint8_t* data, size_t size, LosslessFormat format, int width, int height, int tableSize,
                    bool withAlpha, Picture& out, std::string& error) {
    out = Picture{};
    if (!PictureSizeAllowed(width, height, "bitmap", error)) return false;
    size_t bytesPerPixel = 0, tableBytes = 0;
    switch (format) {
        case LosslessFormat::kColorMapped:
            bytesPerPixel = 1;
            tableBytes = static_cast<size_t>(tableSize + 1) * (withAlpha ? 4 : 3);
            break;
        case LosslessFormat::kRgb15:
            if (withAlpha) {
                error = "15-bit pixels come without alpha only";
                return false;
            }
            bytesPerPixel = 2;
            break;
        case LosslessFormat::kRgb32:
            bytesPerPixel = 4;
            break;
        default:
            error = "unknown lossless bitmap format " + std::to_string(static_cast<int>(format));
            return false;
    }
    const size_t rowBytes = (static_cast<size_t>(width) * bytesPerPixel + 3) & ~size_t(3);
    const size_t expected = tableBytes + rowBytes * static_cast<size_t>(height);
    std::vector<uint8_t> raw;
    if (!base::InflateZlib(data, size, expected, raw) || raw.size() < expected) {
        error = "the bitmap's pixel data is damaged or cut short";
        return false;
    }
    out.width = width;
    out.height = height;
    out.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    uint32_t table[256] = {};
    if (format == LosslessFormat::kColorMapped) {
        const int entries = std::min(tableSize + 1, 256);
        for (int i = 0; i < entries; ++i) {
            const uint8_t* c = raw.data() + static_cast<size_t>(i) * (withAlpha ? 4 : 3);
            table[i] = withAlpha ? base::PremultipliedPixel(c[0], c[1], c[2], c[3]) : base::PremultipliedPixel(c[0], c[1], c[2], 255);
        }
    }
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = raw.data() + tableBytes + rowBytes * static_cast<size_t>(y);
        uint32_t* to = out.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
        for (int x = 0; x < width; ++x) {
            switch (format) {
                case LosslessFormat::kColorMapped:
                    // Indexes past the table are transparent.
                    to[x] = row[x] <= tableSize ? table[row[x]] : 0;
                    break;
                case LosslessFormat::kRgb15: {
                    const uint32_t v = uint32_t(row[2 * x]) << 8 | row[2 * x + 1];
                    auto expand = [](uint32_t c) { return (c << 3) | (c >> 2); };
                    to[x] = base::PremultipliedPixel(expand((v >> 10) & 31), expand((v >> 5) & 31), expand(v & 31), 255);
                    break;
                }
                case LosslessFormat::kRgb32: {
                    const uint8_t* p = row + 4 * x;
                    if (withAlpha) {
                        // Stored premultiplied; a colour above its alpha (damaged data) is capped.
                        const uint32_t a = p[0];
                        to[x] = std::min<uint32_t>(p[3], a) | std::min<uint32_t>(p[2], a) << 8 |
                                std::min<uint32_t>(p[1], a) << 16 | a << 24;
                    } else {
                        to[x] = base::PremultipliedPixel(p[1], p[2], p[3], 255);
                    }
                    break;
                }
            }
        }
    }
    return true;
}

}  // namespace image
