#pragma once
// A colour transform: per channel, alpha included, multiply then add, clamped to 0..255.
// Applied to straight (not premultiplied) colours, as SWF's CXFORM is.

#include <algorithm>
#include <cmath>

#include "raster/paint_color.h"

namespace raster {

struct ColorTransform {
    float mulR = 1, mulG = 1, mulB = 1, mulA = 1;
    float addR = 0, addG = 0, addB = 0, addA = 0;  // in 0..255 units

    bool isIdentity() const {
        return mulR == 1 && mulG == 1 && mulB == 1 && mulA == 1 && addR == 0 && addG == 0 && addB == 0 &&
               addA == 0;
    }
    Rgba apply(Rgba c) const {
        auto ch = [](uint8_t v, float mul, float add) {
            return static_cast<uint8_t>(std::clamp(std::floor(v * mul + add), 0.0f, 255.0f));
        };
        return {ch(c.r, mulR, addR), ch(c.g, mulG, addG), ch(c.b, mulB, addB), ch(c.a, mulA, addA)};
    }
    // this applied after `inner`.
    ColorTransform after(const ColorTransform& inner) const {
        return {mulR * inner.mulR, mulG * inner.mulG, mulB * inner.mulB, mulA * inner.mulA,
                addR + mulR * inner.addR, addG + mulG * inner.addG, addB + mulB * inner.addB,
                addA + mulA * inner.addA};
    }
};

}  // namespace raster
