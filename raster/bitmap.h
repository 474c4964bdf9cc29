#pragma once
// A premultiplied BGRA image used as a paint: rows top row first, `stride` pixels apart.
// The raster module does not own it; decoding fills one (image/).

#include <cstddef>
#include <cstdint>

namespace raster {

struct Bitmap {
    const uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    ptrdiff_t stride = 0;  // in pixels

    uint32_t at(int x, int y) const { return pixels[y * stride + x]; }
    bool empty() const { return pixels == nullptr || width <= 0 || height <= 0; }
};

}  // namespace raster
