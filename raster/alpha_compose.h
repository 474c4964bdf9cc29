#pragma once
// The alpha composition of two renders: a frame drawn twice, over white and over black, gives
// each pixel's opacity from the difference of the two renders and its colour (already
// premultiplied by that opacity) from the render over black. The Windows capture calls it on
// its bitmap sections; the conversion loop's two-render pipeline on plain memory.

#include <cstddef>
#include <cstdint>

namespace raster {

// One pixel. Pixels are little-endian 32-bit words, blue in bits 0-7, green 8-15, red 16-23;
// the alpha bits of the inputs are ignored. alpha = 255 - (blue over white - blue over
// black); where the render over black is the brighter one (rounding in the drawing), the
// pixel stays opaque instead of wrapping round to transparent. The colour bits are those of
// the render over black, unchanged.
inline uint32_t ComposePixel(uint32_t overWhite, uint32_t overBlack) {
    const int white = static_cast<int>(overWhite & 0xFF), black = static_cast<int>(overBlack & 0xFF);
    const int difference = white > black ? white - black : 0;
    return static_cast<uint32_t>(255 - difference) << 24 | (overBlack & 0x00FFFFFFu);
}

// `count` pixels at the same indexes of the three arrays; `out` may be either input.
void ComposeAlpha(const uint32_t* overWhite, const uint32_t* overBlack, uint32_t* out, size_t count);

}  // namespace raster
