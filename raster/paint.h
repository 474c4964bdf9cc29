#pragma once
// What fills a region: for now a solid colour. Colours are straight (not premultiplied)
// 8-bit RGBA as SWF stores them; painting premultiplies them.

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

struct Paint {
    Rgba color;
    static Paint Solid(Rgba c) { return Paint{c}; }
};

}  // namespace raster
