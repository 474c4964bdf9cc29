#pragma once
// Turns a Paint into premultiplied BGRA words, pixel by pixel along a row.

#include <array>
#include <cstdint>

#include "raster/paint.h"

namespace raster {

class Shader {
public:
    // Prepares `paint` for drawing: the solid colour or the gradient table with the paint's
    // colour transform applied, and the device-to-gradient matrix. A gradient whose matrix
    // can't be inverted has no extent and shades nothing (transparent).
    void prepare(const Paint& paint);

    bool isSolid() const { return solid_; }
    uint32_t solidColor() const { return color_; }
    // Colours of pixels x0 .. x0 + count - 1 of row y, sampled at pixel centres.
    void shade(int y, int x0, int count, uint32_t* out) const;

private:
    void shadeBitmap(float u, float v, float du, float dv, int count, uint32_t* out) const;
    uint32_t texel(int x, int y) const;

    bool solid_ = true;
    const Bitmap* bitmap_ = nullptr;
    bool repeat_ = false, smooth_ = false;
    ColorTransform cx_;
    bool transformColors_ = false;
    uint32_t color_ = 0;
    const Gradient* gradient_ = nullptr;
    bool invertible_ = false;
    Matrix toGradient_;
    std::array<uint32_t, kGradientTableSize> table_{};
};

}  // namespace raster
