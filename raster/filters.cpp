#include "raster/filters.h"

#include <algorithm>
#include <cmath>

#include "raster/composite.h"

namespace raster {

namespace {

// The box of a blur `blur` pixels wide, as the reference players take it: exactly that
// wide and centred on each pixel, so that a pixel contributes as much as it overlaps the
// box. The m pixels each side of the centre lie wholly inside; the next on each side
// (m + 1 away) overlaps by `frac` 256ths. Weights are in 256ths, `denom` their sum.
struct BoxKernel {
    int m = 0, frac = 0, denom = 256;
    bool identity() const { return m == 0 && frac == 0; }
};
BoxKernel KernelFor(float blur) {
    BoxKernel k;
    const float width = std::clamp(blur, 0.0f, kMaxBlurRadius);
    if (width <= 1) return k;
    const float half = width / 2;
    k.m = static_cast<int>(std::floor(half - 0.5f));
    k.frac = static_cast<int>(std::lround((half - (static_cast<float>(k.m) + 0.5f)) * 256));
    if (k.frac >= 256) {
        ++k.m;
        k.frac = 0;
    }
    k.denom = (2 * k.m + 1) * 256 + 2 * k.frac;
    return k;
}
int Passes(int passes) { return std::clamp(passes, 0, kMaxFilterPasses); }

// One box pass over `count` values `stride` apart, zeros beyond the ends. `tmp` holds a
// copy. `mix(whole, edges, k)` makes a value from the sum of the whole taps and the sum of
// the two partial ones.
template <typename T, typename Acc, typename Load, typename Mix>
void BoxLine(T* data, int count, ptrdiff_t stride, const BoxKernel& k, std::vector<Acc>& tmp, Load load, Mix mix) {
    tmp.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) tmp[i] = load(data[i * stride]);
    const auto at = [&](int i) { return i >= 0 && i < count ? tmp[i] : Acc{}; };
    Acc whole{};
    for (int i = 0; i <= std::min(k.m, count - 1); ++i) whole += tmp[i];
    for (int i = 0; i < count; ++i) {
        Acc edges = at(i - k.m - 1);
        edges += at(i + k.m + 1);
        data[i * stride] = mix(whole, edges, k);
        if (i + k.m + 1 < count) whole += tmp[i + k.m + 1];
        if (i - k.m >= 0) whole -= tmp[i - k.m];
    }
}

float LoadF(float v) { return v; }
float MixF(float whole, float edges, const BoxKernel& k) {
    return (whole * 256 + edges * static_cast<float>(k.frac)) / static_cast<float>(k.denom);
}

}  // namespace

namespace {

using Sum4 = Filters::Sum4;

Sum4 LoadPx(uint32_t p) { return {{int32_t(p & 0xFF), int32_t((p >> 8) & 0xFF), int32_t((p >> 16) & 0xFF), int32_t(p >> 24)}}; }
uint32_t MixPx(const Sum4& whole, const Sum4& edges, const BoxKernel& k) {
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
        const int32_t v = (whole.c[i] * 256 + edges.c[i] * k.frac + k.denom / 2) / k.denom;
        out |= static_cast<uint32_t>(v) << (8 * i);
    }
    return out;
}

Rgba Straight(uint32_t p) {
    const uint32_t a = ChannelA(p);
    if (a == 0) return {0, 0, 0, 0};
    auto ch = [&](uint32_t v) { return static_cast<uint8_t>(std::min<uint32_t>(255, (v * 255 + a / 2) / a)); };
    return {ch(ChannelR(p)), ch(ChannelG(p)), ch(ChannelB(p)), static_cast<uint8_t>(a)};
}

// An effect's offset in whole pixels: `distance` along `angle`.
struct Offset {
    int dx, dy;
};
Offset EffectOffset(const EffectParams& p) {
    return {static_cast<int>(std::lround(std::cos(p.angle) * p.distance)),
            static_cast<int>(std::lround(std::sin(p.angle) * p.distance))};
}

}  // namespace

void TransformColors(const Target& layer, const PixelBox& box, const ColorTransform& cx) {
    const PixelBox b = box.intersect(PixelBox::Whole(layer.width, layer.height));
    for (int y = b.y0; y < b.y1; ++y) {
        uint32_t* row = layer.row(y);
        for (int x = b.x0; x < b.x1; ++x) {
            if (ChannelA(row[x]) == 0) continue;
            row[x] = PremultipliedWord(cx.apply(Straight(row[x])));
        }
    }
}

void Filters::blur(const Target& layer, const BlurParams& p) {
    const BoxKernel kx = KernelFor(p.blurX), ky = KernelFor(p.blurY);
    const int passes = Passes(p.passes);
    std::vector<Sum4>& tmp = pixelLine_;
    for (int pass = 0; pass < passes; ++pass) {
        if (!kx.identity()) {
            for (int y = 0; y < layer.height; ++y) BoxLine(layer.row(y), layer.width, 1, kx, tmp, LoadPx, MixPx);
        }
        if (!ky.identity() && layer.height > 0) {
            const ptrdiff_t stride = layer.stride / 4;
            for (int x = 0; x < layer.width; ++x) BoxLine(layer.row(0) + x, layer.height, stride, ky, tmp, LoadPx, MixPx);
        }
    }
}

void Filters::blurPlane(std::vector<float>& plane, int w, int h, const BlurParams& p) {
    const BoxKernel kx = KernelFor(p.blurX), ky = KernelFor(p.blurY);
    const int passes = Passes(p.passes);
    for (int pass = 0; pass < passes; ++pass) {
        if (!kx.identity()) {
            for (int y = 0; y < h; ++y) BoxLine(plane.data() + y * w, w, 1, kx, line_, LoadF, MixF);
        }
        if (!ky.identity()) {
            for (int x = 0; x < w; ++x) BoxLine(plane.data() + x, h, w, ky, line_, LoadF, MixF);
        }
    }
}

// The layer's alpha, 0 to 1, moved by (dx, dy) whole pixels; zero where nothing moved in.
void Filters::alphaPlane(const Target& layer, int dx, int dy, std::vector<float>& out) {
    const int w = layer.width, h = layer.height;
    out.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0.0f);
    for (int y = 0; y < h; ++y) {
        const int sy = y - dy;
        if (sy < 0 || sy >= h) continue;
        const uint32_t* src = layer.row(sy);
        float* dst = out.data() + static_cast<size_t>(y) * w;
        for (int x = std::max(0, dx); x < std::min(w, w + dx); ++x) dst[x] = float(ChannelA(src[x - dx])) / 255.0f;
    }
}

// Puts an effect plane together with the object. Values are 0..1, or -1..1 when signed
// (bevels: highlight above zero, shadow below). The effect's colour is `color` scaled by
// the value (`negativeColor` by its size below zero), or the table entry the value picks.
void Filters::composeEffect(const Target& layer, const std::vector<float>& effect, const uint32_t* table,
                            uint32_t color, uint32_t negativeColor, bool signedEffect, bool inner, bool outer,
                            bool knockout, bool onTop, bool hideObject) {
    const int w = layer.width;
    for (int y = 0; y < layer.height; ++y) {
        uint32_t* row = layer.row(y);
        const float* e = effect.data() + static_cast<size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            const float v = e[x];
            uint32_t fx;
            if (table != nullptr) {
                const float t = signedEffect ? (std::clamp(v, -1.0f, 1.0f) + 1) * 0.5f : std::clamp(v, 0.0f, 1.0f);
                fx = (v == 0 && signedEffect) ? 0 : table[std::clamp(static_cast<int>(t * 255 + 0.5f), 0, 255)];
                if (!signedEffect) fx = ScaleChannels(fx, UnitToByte(v));
            } else if (signedEffect && v < 0) {
                fx = ScaleChannels(negativeColor, UnitToByte(-v));
            } else {
                fx = ScaleChannels(color, UnitToByte(v));
            }
            const uint32_t a = ChannelA(row[x]);
            if (inner && !outer) fx = ScaleChannels(fx, a);
            // Outside only: under a knockout the object's place is cut from the effect;
            // otherwise the object itself covers it (and a hidden object does not).
            if (outer && !inner && (knockout || onTop)) fx = ScaleChannels(fx, 255 - a);
            if (knockout || hideObject) {
                row[x] = fx;
            } else if (inner || onTop) {
                row[x] = Over(row[x], fx);
            } else {
                row[x] = Over(fx, row[x]);
            }
        }
    }
}

// The strength plane of a shadow or glow: the object's alpha moved by the offset (inverted
// for an inner effect, whose shadow falls from the edges the light meets), blurred, scaled.
void Filters::shadowPlane(const Target& layer, const EffectParams& p) {
    const auto [dx, dy] = EffectOffset(p);
    alphaPlane(layer, dx, dy, plane_);
    if (p.inner) {
        for (float& v : plane_) v = 1 - v;
    }
    blurPlane(plane_, layer.width, layer.height, p.blur);
    for (float& v : plane_) v = std::min(v * p.strength, 1.0f);
}

void Filters::dropShadow(const Target& layer, Rgba color, const EffectParams& p) {
    shadowPlane(layer, p);
    composeEffect(layer, plane_, nullptr, PremultipliedWord(color), 0, false, p.inner, !p.inner, p.knockout, false,
                  p.hideObject);
}

void Filters::glow(const Target& layer, Rgba color, const EffectParams& p) {
    EffectParams q = p;
    q.distance = 0;
    dropShadow(layer, color, q);
}

// The angle points from the light to the shadow: a pixel is lit where the object lies on
// its shadow side, A(p + offset) in planeB_, more than on its light side, A(p - offset) in
// plane_; both blurred.
void Filters::bevelPlanes(const Target& layer, const EffectParams& p) {
    const auto [dx, dy] = EffectOffset(p);
    alphaPlane(layer, dx, dy, plane_);
    alphaPlane(layer, -dx, -dy, planeB_);
    blurPlane(plane_, layer.width, layer.height, p.blur);
    blurPlane(planeB_, layer.width, layer.height, p.blur);
}

void Filters::bevel(const Target& layer, Rgba highlight, Rgba shadow, BevelType type, const EffectParams& p) {
    bevelPlanes(layer, p);
    const uint32_t hi = PremultipliedWord(highlight), lo = PremultipliedWord(shadow);
    const bool inner = type != BevelType::kOuter, outer = type != BevelType::kInner;
    // Lit above zero, in shadow below: one plane, so that the inside and the knockout are
    // both measured against the object itself.
    for (size_t i = 0; i < plane_.size(); ++i) plane_[i] = std::clamp((planeB_[i] - plane_[i]) * p.strength, -1.0f, 1.0f);
    composeEffect(layer, plane_, nullptr, hi, lo, true, inner, outer, p.knockout, true, false);
}

void Filters::gradientGlow(const Target& layer, const std::array<uint32_t, 256>& table, const EffectParams& p) {
    shadowPlane(layer, p);
    composeEffect(layer, plane_, table.data(), 0, 0, false, p.inner, !p.inner, p.knockout, false, false);
}

void Filters::gradientBevel(const Target& layer, const std::array<uint32_t, 256>& table, BevelType type,
                            const EffectParams& p) {
    bevelPlanes(layer, p);
    for (size_t i = 0; i < plane_.size(); ++i) plane_[i] = (planeB_[i] - plane_[i]) * p.strength;  // lit: above 0
    composeEffect(layer, plane_, table.data(), 0, 0, true, type != BevelType::kOuter, type != BevelType::kInner,
                  p.knockout, true, false);
}

void Filters::colorMatrix(const Target& layer, const std::array<float, 20>& m) {
    for (int y = 0; y < layer.height; ++y) {
        uint32_t* row = layer.row(y);
        for (int x = 0; x < layer.width; ++x) {
            const Rgba c = Straight(row[x]);
            const float in[4] = {float(c.r), float(c.g), float(c.b), float(c.a)};
            uint8_t out[4];
            for (int k = 0; k < 4; ++k) {
                const float* r = &m[static_cast<size_t>(k) * 5];
                const float v = r[0] * in[0] + r[1] * in[1] + r[2] * in[2] + r[3] * in[3] + r[4];
                out[k] = static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
            }
            row[x] = PremultipliedWord({out[0], out[1], out[2], out[3]});
        }
    }
}

void Filters::convolution(const Target& layer, int cols, int rows, const std::vector<float>& kernel, float divisor,
                          float bias, bool preserveAlpha, bool clamp, Rgba outside) {
    if (cols <= 0 || rows <= 0 || kernel.size() < static_cast<size_t>(cols) * static_cast<size_t>(rows)) return;
    const int w = layer.width, h = layer.height;
    copy_.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y) std::copy_n(layer.row(y), w, copy_.begin() + static_cast<ptrdiff_t>(y) * w);
    const uint32_t outsideWord = PremultipliedWord(outside);
    const float scale = divisor != 0 ? 1 / divisor : 1;
    for (int y = 0; y < h; ++y) {
        uint32_t* row = layer.row(y);
        for (int x = 0; x < w; ++x) {
            float sum[4] = {0, 0, 0, 0};
            for (int j = 0; j < rows; ++j) {
                for (int i = 0; i < cols; ++i) {
                    int sx = x + i - cols / 2, sy = y + j - rows / 2;
                    uint32_t p;
                    if (sx < 0 || sy < 0 || sx >= w || sy >= h) {
                        if (!clamp) {
                            p = outsideWord;
                        } else {
                            sx = std::clamp(sx, 0, w - 1);
                            sy = std::clamp(sy, 0, h - 1);
                            p = copy_[static_cast<size_t>(sy) * w + sx];
                        }
                    } else {
                        p = copy_[static_cast<size_t>(sy) * w + sx];
                    }
                    const float k = kernel[static_cast<size_t>(j) * cols + i];
                    for (int c = 0; c < 4; ++c) sum[c] += k * float((p >> (8 * c)) & 0xFF);
                }
            }
            const uint32_t original = copy_[static_cast<size_t>(y) * w + x];
            uint32_t a = preserveAlpha ? ChannelA(original)
                                       : static_cast<uint32_t>(std::clamp(std::lround(sum[3] * scale + bias), 0L, 255L));
            uint32_t out = a << 24;
            for (int c = 0; c < 3; ++c) {
                const long v = std::clamp(std::lround(sum[c] * scale + bias), 0L, static_cast<long>(a));
                out |= static_cast<uint32_t>(v) << (8 * c);
            }
            row[x] = out;
        }
    }
}

}  // namespace raster
