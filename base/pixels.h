#pragma once
// Premultiplied pixels as every bitmap and frame holds them: little-endian 32-bit words with
// blue in bits 0-7, green 8-15, red 16-23 and alpha 24-31, each colour channel already
// multiplied by the alpha and rounded to the nearest.

#include <cstdint>

namespace base {

inline uint32_t PremultipliedPixel(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    auto scale = [a](uint32_t c) { return (c * a + 127) / 255; };
    return scale(b) | scale(g) << 8 | scale(r) << 16 | a << 24;
}

// A straight (not premultiplied) pixel word made premultiplied with the alpha given.
inline uint32_t PremultipliedWithAlpha(uint32_t straight, uint32_t a) {
    if (a == 255) return straight | 0xFF000000u;
    return PremultipliedPixel((straight >> 16) & 0xFF, (straight >> 8) & 0xFF, straight & 0xFF, a);
}

// A straight pixel word made premultiplied by its own alpha.
inline uint32_t Premultiplied(uint32_t straight) { return PremultipliedWithAlpha(straight, straight >> 24); }

}  // namespace base
