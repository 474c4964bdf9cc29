#include "movie/render/filters.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "raster/gradient.h"
#include "swf/byte_reader.h"

namespace movie {

namespace {

enum : uint8_t { kDropShadow, kBlur, kGlow, kBevel, kGradientGlow, kConvolution, kColorMatrix, kGradientBevel };

raster::Rgba ReadColor(swf::ByteReader& r) {
    raster::Rgba c;
    c.r = r.u8();
    c.g = r.u8();
    c.b = r.u8();
    c.a = r.u8();
    return c;
}

float ReadFloat(swf::ByteReader& r) {
    const uint32_t bits = r.u32();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return std::isfinite(f) ? f : 0.0f;
}

// Blur widths in device pixels, within the rasterizer's range.
raster::BlurParams Blur(float x, float y, int passes, float sx, float sy) {
    raster::BlurParams b;
    b.blurX = std::clamp(x * sx, 0.0f, raster::kMaxBlurRadius);
    b.blurY = std::clamp(y * sy, 0.0f, raster::kMaxBlurRadius);
    b.passes = std::clamp(passes, 0, raster::kMaxFilterPasses);
    return b;
}

// The shared tail of the shadow, glow and bevel records: blur, angle, distance, strength
// and the flags; `withAngle` for the records that carry an angle and a distance.
raster::EffectParams ReadEffect(swf::ByteReader& r, bool withAngle, float sx, float sy, bool& onTop, bool fourPassBits) {
    const float blurX = r.fixed16(), blurY = r.fixed16();
    raster::EffectParams p;
    if (withAngle) {
        p.angle = r.fixed16();
        p.distance = r.fixed16() * std::sqrt(sx * sy);
    }
    p.strength = r.fixed8();
    p.inner = r.flag();
    p.knockout = r.flag();
    p.hideObject = !r.flag();  // composite source
    onTop = fourPassBits ? r.flag() : false;
    const int passes = static_cast<int>(r.ubits(fourPassBits ? 4 : 5));
    r.align();
    p.blur = Blur(blurX, blurY, passes, sx, sy);
    return p;
}

raster::BevelType BevelTypeOf(bool inner, bool onTop) {
    if (onTop) return raster::BevelType::kFull;
    return inner ? raster::BevelType::kInner : raster::BevelType::kOuter;
}

// The reach of a blur of these widths over its passes, plus an offset.
int Reach(const raster::EffectParams& p) {
    return static_cast<int>(std::ceil((std::max(p.blur.blurX, p.blur.blurY) / 2 + 1) * static_cast<float>(std::max(p.blur.passes, 1)) +
                                      std::fabs(p.distance)));
}

}  // namespace

int ApplyFilters(raster::Filters& filters, const raster::Target& layer, const std::vector<FilterRecord>& records,
                 float sx, float sy) {
    int reach = 0;
    for (const FilterRecord& record : records) {
        swf::ByteReader r(record.data.data(), record.data.size());
        bool onTop = false;
        switch (record.id) {
            case kDropShadow: {
                const raster::Rgba color = ReadColor(r);
                const raster::EffectParams p = ReadEffect(r, true, sx, sy, onTop, false);
                if (!r.ok()) break;
                filters.dropShadow(layer, color, p);
                reach += Reach(p);
                break;
            }
            case kBlur: {
                const float x = r.fixed16(), y = r.fixed16();
                const int passes = static_cast<int>(r.ubits(5));
                r.align();
                if (!r.ok()) break;
                raster::EffectParams p;
                p.blur = Blur(x, y, passes, sx, sy);
                p.distance = 0;
                filters.blur(layer, p.blur);
                reach += Reach(p);
                break;
            }
            case kGlow: {
                const raster::Rgba color = ReadColor(r);
                raster::EffectParams p = ReadEffect(r, false, sx, sy, onTop, false);
                p.distance = 0;
                if (!r.ok()) break;
                filters.glow(layer, color, p);
                reach += Reach(p);
                break;
            }
            case kBevel: {
                // The record holds the highlight's colour first, then the shadow's (so the
                // reference renders show them).
                const raster::Rgba highlight = ReadColor(r), shadow = ReadColor(r);
                const raster::EffectParams p = ReadEffect(r, true, sx, sy, onTop, true);
                if (!r.ok()) break;
                filters.bevel(layer, highlight, shadow, BevelTypeOf(p.inner, onTop), p);
                reach += Reach(p);
                break;
            }
            case kGradientGlow:
            case kGradientBevel: {
                const int count = r.u8();
                std::vector<raster::GradientStop> stops(static_cast<size_t>(count));
                for (auto& s : stops) s.color = ReadColor(r);
                for (auto& s : stops) s.ratio = r.u8();
                const raster::EffectParams p = ReadEffect(r, true, sx, sy, onTop, true);
                if (!r.ok() || count == 0) break;
                const raster::Gradient table(raster::GradientKind::kLinear, std::move(stops));
                if (record.id == kGradientGlow) {
                    filters.gradientGlow(layer, table.table(), p);
                } else {
                    filters.gradientBevel(layer, table.table(), BevelTypeOf(p.inner, onTop), p);
                }
                reach += Reach(p);
                break;
            }
            case kConvolution: {
                const int cols = r.u8(), rows = r.u8();
                const float divisor = ReadFloat(r), bias = ReadFloat(r);
                std::vector<float> kernel(static_cast<size_t>(cols) * static_cast<size_t>(rows));
                for (float& k : kernel) k = ReadFloat(r);
                const raster::Rgba outside = ReadColor(r);
                r.ubits(6);
                const bool clamp = r.flag(), preserveAlpha = r.flag();
                r.align();
                if (!r.ok() || kernel.empty()) break;
                filters.convolution(layer, cols, rows, kernel, divisor, bias, preserveAlpha, clamp, outside);
                reach += std::max(cols, rows);
                break;
            }
            case kColorMatrix: {
                std::array<float, 20> m{};
                for (float& v : m) v = ReadFloat(r);
                if (!r.ok()) break;
                filters.colorMatrix(layer, m);
                break;
            }
            default:
                break;
        }
    }
    return reach;
}

}  // namespace movie
