#pragma once
// What fills a region: a solid colour, a gradient or a bitmap, under a colour transform.

#include <cstdint>

#include "raster/bitmap.h"
#include "raster/color_transform.h"
#include "raster/geometry.h"
#include "raster/gradient.h"
#include "raster/paint_color.h"

namespace raster {

struct Paint {
    enum class Kind : uint8_t { kSolid, kGradient, kBitmap };
    Kind kind = Kind::kSolid;
    Rgba color;                          // kSolid
    const Gradient* gradient = nullptr;  // kGradient: not owned, must outlive the draw
    const Bitmap* bitmap = nullptr;      // kBitmap: not owned, must outlive the draw
    Matrix matrix;                       // the gradient's unit space, or the bitmap's pixels, to the device
    bool repeat = false;                 // kBitmap: tile beyond its edges (else clamp to them)
    bool smooth = false;                 // kBitmap: bilinear sampling (else nearest)
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
    static Paint WithBitmap(const Bitmap& b, const Matrix& m, bool repeat, bool smooth) {
        Paint p;
        p.kind = Kind::kBitmap;
        p.bitmap = &b;
        p.matrix = m;
        p.repeat = repeat;
        p.smooth = smooth;
        return p;
    }
};

}  // namespace raster
