#pragma once
// Compositing a layer onto what lies below it: an opacity, an optional alpha mask, and the
// blend modes that SWF movies use. All pixels are premultiplied BGRA.
//
// The separable modes follow the usual definition on straight colours cs (the layer) and
// cb (the backdrop):  result = (1 - ab) Cs + (1 - as) Cb + as ab B(cs, cb), with the
// result's alpha as + ab - as ab. The others:
//   add       colour Cs + Cb, clamped to the result's alpha
//   subtract  colour Cb - Cs, at least 0
//   invert    the backdrop inverted where the layer is opaque; the backdrop keeps its alpha
//   alpha     the backdrop's pixels times the layer's alpha
//   erase     the backdrop's pixels times one minus the layer's alpha

#include <cstdint>

#include "raster/target.h"

namespace raster {

enum class BlendMode : uint8_t {
    kNormal, kLayer, kMultiply, kScreen, kLighten, kDarken, kDifference, kAdd, kSubtract,
    kInvert, kAlpha, kErase, kOverlay, kHardLight
};

// One premultiplied pixel of the layer, `src`, blended onto `dst`.
uint32_t BlendPixel(uint32_t dst, uint32_t src, BlendMode mode);

// Composites `layer` onto `dst` (same size), each layer pixel first scaled by `opacity`
// (0 to 1) and, with a mask, by the mask pixel's alpha.
void CompositeLayer(const Target& dst, const Target& layer, const Target* mask, float opacity, BlendMode mode);
// The same over the pixels of `region` only.
void CompositeLayer(const Target& dst, const Target& layer, const Target* mask, float opacity, BlendMode mode,
                    const PixelBox& region);

}  // namespace raster
