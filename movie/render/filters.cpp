#include "movie/render/filters.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "raster/gradient.h"

namespace movie {

namespace {

raster::Rgba ToRgba(const swf::Color& c) { return {c.r, c.g, c.b, c.a}; }

// A blur width in device pixels: the pixel at the centre stays one pixel, what the box
// reaches beyond it follows the scale, as the reference players scale it (2 stage pixels
// at twice the size are 3 device pixels, not 4).
float DeviceBlur(float width, float scale) {
    const float device = width > 1 ? (width - 1) * scale + 1 : width;
    return std::clamp(device, 0.0f, raster::kMaxBlurRadius);
}

// Blur widths in device pixels, within the rasterizer's range.
raster::BlurParams Blur(float x, float y, int passes, float sx, float sy) {
    raster::BlurParams b;
    b.blurX = DeviceBlur(x, sx);
    b.blurY = DeviceBlur(y, sy);
    b.passes = std::clamp(passes, 0, raster::kMaxFilterPasses);
    return b;
}

// The shared fields at the stage's scale to the target.
raster::EffectParams Effect(const swf::FilterEffect& e, float sx, float sy) {
    raster::EffectParams p;
    p.angle = e.angle;
    p.distance = e.distance * std::sqrt(sx * sy);
    p.strength = e.strength;
    p.inner = e.inner;
    p.knockout = e.knockout;
    p.hideObject = !e.compositeSource;
    p.blur = Blur(e.blurX, e.blurY, e.passes, sx, sy);
    return p;
}

raster::BevelType BevelTypeOf(const swf::FilterEffect& e) {
    if (e.onTop) return raster::BevelType::kFull;
    return e.inner ? raster::BevelType::kInner : raster::BevelType::kOuter;
}

// The reach of a blur of these widths over its passes, plus an offset.
int Reach(const raster::EffectParams& p) {
    return static_cast<int>(std::ceil((std::max(p.blur.blurX, p.blur.blurY) / 2 + 1) *
                                          static_cast<float>(std::max(p.blur.passes, 1)) +
                                      std::fabs(p.distance)));
}

std::vector<raster::GradientStop> Stops(const std::vector<swf::GradientRecord>& records) {
    std::vector<raster::GradientStop> stops(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        stops[i].color = ToRgba(records[i].color);
        stops[i].ratio = records[i].ratio;
    }
    return stops;
}

}  // namespace

int ApplyFilters(raster::Filters& filters, const raster::Target& layer, const std::vector<swf::Filter>& list, float sx,
                 float sy) {
    int reach = 0;
    for (const swf::Filter& filter : list) {
        std::visit(
            [&](const auto& f) {
                using F = std::decay_t<decltype(f)>;
                if constexpr (std::is_same_v<F, swf::DropShadowFilter>) {
                    const raster::EffectParams p = Effect(f.effect, sx, sy);
                    filters.dropShadow(layer, ToRgba(f.color), p);
                    reach += Reach(p);
                } else if constexpr (std::is_same_v<F, swf::BlurFilter>) {
                    raster::EffectParams p;
                    p.blur = Blur(f.blurX, f.blurY, f.passes, sx, sy);
                    p.distance = 0;
                    filters.blur(layer, p.blur);
                    reach += Reach(p);
                } else if constexpr (std::is_same_v<F, swf::GlowFilter>) {
                    raster::EffectParams p = Effect(f.effect, sx, sy);
                    p.distance = 0;
                    filters.glow(layer, ToRgba(f.color), p);
                    reach += Reach(p);
                } else if constexpr (std::is_same_v<F, swf::BevelFilter>) {
                    const raster::EffectParams p = Effect(f.effect, sx, sy);
                    filters.bevel(layer, ToRgba(f.highlight), ToRgba(f.shadow), BevelTypeOf(f.effect), p);
                    reach += Reach(p);
                } else if constexpr (std::is_same_v<F, swf::GradientGlowFilter> ||
                                     std::is_same_v<F, swf::GradientBevelFilter>) {
                    if (f.stops.empty()) return;
                    const raster::EffectParams p = Effect(f.effect, sx, sy);
                    const raster::Gradient table(raster::GradientKind::kLinear, Stops(f.stops));
                    if constexpr (std::is_same_v<F, swf::GradientGlowFilter>) {
                        filters.gradientGlow(layer, table.table(), p);
                    } else {
                        filters.gradientBevel(layer, table.table(), BevelTypeOf(f.effect), p);
                    }
                    reach += Reach(p);
                } else if constexpr (std::is_same_v<F, swf::ConvolutionFilter>) {
                    if (f.matrix.empty()) return;
                    filters.convolution(layer, f.columns, f.rows, f.matrix, f.divisor, f.bias, f.preserveAlpha, f.clamp,
                                        ToRgba(f.outside));
                    reach += std::max(f.columns, f.rows);
                } else if constexpr (std::is_same_v<F, swf::ColorMatrixFilter>) {
                    filters.colorMatrix(layer, f.matrix);
                }
            },
            filter);
    }
    return reach;
}

}  // namespace movie
