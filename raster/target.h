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

}  // namespace raster
