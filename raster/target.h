#pragma once
// A 32-bit premultiplied BGRA pixel buffer: little-endian words with blue in bits 0-7 and
// alpha in bits 24-31, as a DIB section holds them, in either row order.

#include <cstddef>
#include <cstdint>

namespace raster {

struct Target {
    uint8_t* origin = nullptr;  // the picture's top row
    int width = 0;
    int height = 0;
    ptrdiff_t stride = 0;       // bytes from one picture row to the next below it

    uint32_t* row(int y) const { return reinterpret_cast<uint32_t*>(origin + y * stride); }
    uint32_t pixel(int x, int y) const { return row(y)[x]; }

    // Rows stored top row first.
    static Target TopDown(void* bits, int width, int height, ptrdiff_t pitch) {
        return {static_cast<uint8_t*>(bits), width, height, pitch};
    }
    // Rows stored bottom row first, as a DIB with a positive height.
    static Target BottomUp(void* bits, int width, int height, ptrdiff_t pitch) {
        return {static_cast<uint8_t*>(bits) + (height - 1) * pitch, width, height, -pitch};
    }
};

// A rectangle of whole pixels, [x0, x1) x [y0, y1).
struct PixelBox {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;

    bool empty() const { return x1 <= x0 || y1 <= y0; }
    static PixelBox Whole(int width, int height) { return {0, 0, width, height}; }
    void unite(const PixelBox& o) {
        if (o.empty()) return;
        if (empty()) {
            *this = o;
            return;
        }
        x0 = x0 < o.x0 ? x0 : o.x0;
        y0 = y0 < o.y0 ? y0 : o.y0;
        x1 = x1 > o.x1 ? x1 : o.x1;
        y1 = y1 > o.y1 ? y1 : o.y1;
    }
    PixelBox intersect(const PixelBox& o) const {
        PixelBox r{x0 > o.x0 ? x0 : o.x0, y0 > o.y0 ? y0 : o.y0, x1 < o.x1 ? x1 : o.x1, y1 < o.y1 ? y1 : o.y1};
        return r.empty() ? PixelBox{} : r;
    }
};

inline uint32_t PackBgra(uint32_t b, uint32_t g, uint32_t r, uint32_t a) { return b | g << 8 | r << 16 | a << 24; }
inline uint32_t ChannelB(uint32_t p) { return p & 0xFF; }
inline uint32_t ChannelG(uint32_t p) { return (p >> 8) & 0xFF; }
inline uint32_t ChannelR(uint32_t p) { return (p >> 16) & 0xFF; }
inline uint32_t ChannelA(uint32_t p) { return p >> 24; }

// x / 255, rounded, for x up to 255 * 255 * 2.
inline uint32_t Div255(uint32_t x) {
    x += 128;
    return (x + (x >> 8)) >> 8;
}

// A unit value (clamped to 0..1) as a byte, rounded half up. NaN gives 0. Inline and free of
// library calls: it runs for every channel of every pixel that a float path composes.
inline uint32_t UnitToByte(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 1.0f) return 255;
    return static_cast<uint32_t>(v * 255.0f + 0.5f);
}

}  // namespace raster
