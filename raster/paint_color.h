#pragma once
// Colours: straight 8-bit RGBA as SWF stores them, and the premultiplied forms drawing uses.

#include <cstdint>

namespace raster {

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
};

// A premultiplied colour with channels 0 to 1.
struct PremulColor {
    float b = 0, g = 0, r = 0, a = 0;
};

inline PremulColor Premultiply(Rgba c) {
    const float a = c.a / 255.0f;
    return {c.b / 255.0f * a, c.g / 255.0f * a, c.r / 255.0f * a, a};
}

// The premultiplied BGRA word of a straight colour, each channel rounded.
inline uint32_t PremultipliedWord(Rgba c) {
    auto mul = [&](uint32_t v) { return (v * c.a + 127) / 255; };
    return mul(c.b) | mul(c.g) << 8 | mul(c.r) << 16 | static_cast<uint32_t>(c.a) << 24;
}

}  // namespace raster
