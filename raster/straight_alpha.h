#pragma once
// Premultiplied pixels to straight alpha and back over a colour: what files that keep colour
// and alpha apart (PNG, and the BGRA frames editors read) and codecs without alpha need.

#include <cstddef>
#include <cstdint>

namespace raster {

// Each colour channel c of a pixel with alpha a becomes min(255, round(c x 255 / a)); a fully
// transparent pixel becomes 0. `out` may be `in`.
void UnpremultiplyPixels(const uint32_t* in, uint32_t* out, size_t count);

// Premultiplied pixels laid over an opaque colour (0xAARRGGBB, alpha ignored): each channel
// c + round(back x (255 - a) / 255), alpha 255. `out` may be `in`.
void OverOpaqueColor(const uint32_t* in, uint32_t* out, size_t count, uint32_t color);

}  // namespace raster
