#include "raster/blend.h"

#include <algorithm>
#include <cmath>

#include "raster/composite.h"

namespace raster {

namespace {

struct Px {
    float b, g, r, a;
};

Px Load(uint32_t p) {
    return {float(ChannelB(p)) / 255.0f, float(ChannelG(p)) / 255.0f, float(ChannelR(p)) / 255.0f,
            float(ChannelA(p)) / 255.0f};
}

uint32_t Store(Px p) {
    const uint32_t a = UnitToByte(p.a);
    return PackBgra(std::min(UnitToByte(p.b), a), std::min(UnitToByte(p.g), a), std::min(UnitToByte(p.r), a), a);
}

float HardLight(float s, float b) { return s <= 0.5f ? 2 * s * b : 1 - 2 * (1 - s) * (1 - b); }

// B(cs, cb) of a separable mode.
float Separable(BlendMode mode, float s, float b) {
    switch (mode) {
        case BlendMode::kMultiply: return s * b;
        case BlendMode::kScreen: return s + b - s * b;
        case BlendMode::kLighten: return std::max(s, b);
        case BlendMode::kDarken: return std::min(s, b);
        case BlendMode::kDifference: return std::fabs(s - b);
        case BlendMode::kOverlay: return HardLight(b, s);
        case BlendMode::kHardLight: return HardLight(s, b);
        default: return s;
    }
}

}  // namespace

uint32_t BlendPixel(uint32_t dst, uint32_t src, BlendMode mode) {
    switch (mode) {
        case BlendMode::kNormal:
        case BlendMode::kLayer:
            return Over(dst, src);
        case BlendMode::kAlpha:
            return ScaleChannels(dst, ChannelA(src));
        case BlendMode::kErase:
            return ScaleChannels(dst, 255 - ChannelA(src));
        default:
            break;
    }
    const Px s = Load(src), d = Load(dst);
    const float alpha = s.a + d.a - s.a * d.a;
    Px out{0, 0, 0, alpha};
    float* o = &out.b;
    const float* sc = &s.b;
    const float* dc = &d.b;
    for (int i = 0; i < 3; ++i) {
        switch (mode) {
            case BlendMode::kAdd:
                o[i] = std::min(sc[i] + dc[i], alpha);
                break;
            case BlendMode::kSubtract:
                o[i] = std::max(dc[i] - sc[i], 0.0f);
                break;
            case BlendMode::kInvert:
                o[i] = (1 - s.a) * dc[i] + s.a * (d.a - dc[i]);
                break;
            default: {
                const float cs = s.a > 0 ? sc[i] / s.a : 0, cb = d.a > 0 ? dc[i] / d.a : 0;
                o[i] = (1 - d.a) * sc[i] + (1 - s.a) * dc[i] + s.a * d.a * Separable(mode, cs, cb);
            }
        }
    }
    if (mode == BlendMode::kInvert) out.a = d.a;
    if (mode == BlendMode::kSubtract) out.a = d.a + s.a * (1 - d.a);
    return Store(out);
}

void CompositeLayer(const Target& dst, const Target& layer, const Target* mask, float opacity, BlendMode mode) {
    CompositeLayer(dst, layer, mask, opacity, mode, PixelBox::Whole(dst.width, dst.height));
}

void CompositeLayer(const Target& dst, const Target& layer, const Target* mask, float opacity, BlendMode mode,
                    const PixelBox& region) {
    const uint32_t k = UnitToByte(opacity);
    PixelBox box = region.intersect(PixelBox::Whole(std::min(dst.width, layer.width), std::min(dst.height, layer.height)));
    if (mask) box = box.intersect(PixelBox::Whole(mask->width, mask->height));
    for (int y = box.y0; y < box.y1; ++y) {
        uint32_t* d = dst.row(y);
        const uint32_t* s = layer.row(y);
        const uint32_t* m = mask ? mask->row(y) : nullptr;
        for (int x = box.x0; x < box.x1; ++x) {
            uint32_t src = s[x];
            if (k != 255) src = ScaleChannels(src, k);
            if (m) src = ScaleChannels(src, ChannelA(m[x]));
            if (src == 0 && mode != BlendMode::kAlpha) continue;  // nothing to blend in
            d[x] = BlendPixel(d[x], src, mode);
        }
    }
}

}  // namespace raster
