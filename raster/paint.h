#pragma once
// What fills a region: a solid colour or a gradient, under a colour transform.

#include <cstdint>

#include "raster/color_transform.h"
#include "raster/geometry.h"
#include "raster/gradient.h"
#include "raster/paint_color.h"

namespace raster {

struct Paint {
    enum class Kind : uint8_t { kSolid, kGradient };
    Kind kind = Kind::kSolid;
    Rgba color;                          // kSolid
    const Gradient* gradient = nullptr;  // kGradient: not owned, must outlive the draw
    Matrix matrix;                       // kGradient: the gradient's unit space to the device
    ColorTransform cx;

    static Paint Solid(Rgba c) {
        Paint p;
        p.color = c;
        return p;
    }
    static Paint WithGradient(const Gradient& g, const Matrix& m) {
        Paint p;
        p.kind = Kind::kGradient;
        p.gradient = &g;
        p.matrix = m;
        return p;
    }
};

}  // namespace raster
