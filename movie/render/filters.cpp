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


// The part of the layer inside `box`, as a picture of its own.
raster::Target View(const raster::Target& layer, const raster::PixelBox& box) {
    raster::Target v = layer;
    v.origin = reinterpret_cast<uint8_t*>(layer.row(box.y0) + box.x0);
    v.width = box.x1 - box.x0;
    v.height = box.y1 - box.y0;
    return v;
}

// How far one filter's effect reaches beyond what it is given, and how many planes of passes
// it runs (the work per pixel).
struct Extent {
    int reach = 0;
    int64_t passes = 1;
};

Extent ExtentOf(const swf::Filter& filter, float sx, float sy) {
    return std::visit(
        [&](const auto& f) -> Extent {
            using F = std::decay_t<decltype(f)>;
            if constexpr (std::is_same_v<F, swf::BlurFilter>) {
                raster::EffectParams p;
                p.blur = Blur(f.blurX, f.blurY, f.passes, sx, sy);
                p.distance = 0;
                return {Reach(p), std::max(p.blur.passes, 1)};
            } else if constexpr (std::is_same_v<F, swf::DropShadowFilter> || std::is_same_v<F, swf::GlowFilter> ||
                                 std::is_same_v<F, swf::GradientGlowFilter>) {
                const raster::EffectParams p = Effect(f.effect, sx, sy);
                return {Reach(p), std::max(p.blur.passes, 1) + 1};
            } else if constexpr (std::is_same_v<F, swf::BevelFilter> || std::is_same_v<F, swf::GradientBevelFilter>) {
                const raster::EffectParams p = Effect(f.effect, sx, sy);
                return {Reach(p), 2 * std::max(p.blur.passes, 1) + 1};
            } else if constexpr (std::is_same_v<F, swf::ConvolutionFilter>) {
                return {std::max(f.columns, f.rows), std::max<int64_t>(1, int64_t{f.columns} * f.rows / 4)};
            } else {
                return {0, 1};
            }
        },
        filter);
}

}  // namespace

raster::PixelBox ApplyFilters(raster::Filters& filters, const raster::Target& layer, const raster::PixelBox& drawn,
                              const std::vector<swf::Filter>& list, float sx, float sy, FilterBudget& budget) {
    const raster::PixelBox whole = raster::PixelBox::Whole(layer.width, layer.height);
    raster::PixelBox box = drawn.intersect(whole);
    for (const swf::Filter& filter : list) {
        if (box.empty()) break;
        const Extent extent = ExtentOf(filter, sx, sy);
        const raster::PixelBox grown =
            raster::PixelBox{box.x0 - extent.reach, box.y0 - extent.reach, box.x1 + extent.reach, box.y1 + extent.reach}
                .intersect(whole);
        const int64_t work = int64_t{grown.x1 - grown.x0} * (grown.y1 - grown.y0) * extent.passes;
        if (work > budget.left) {
            budget.exhausted = true;
            break;
        }
        budget.left -= work;
        box = grown;
        const raster::Target part = View(layer, box);
        std::visit(
            [&](const auto& f) {
                using F = std::decay_t<decltype(f)>;
                if constexpr (std::is_same_v<F, swf::DropShadowFilter>) {
                    filters.dropShadow(part, ToRgba(f.color), Effect(f.effect, sx, sy));
                } else if constexpr (std::is_same_v<F, swf::BlurFilter>) {
                    filters.blur(part, Blur(f.blurX, f.blurY, f.passes, sx, sy));
                } else if constexpr (std::is_same_v<F, swf::GlowFilter>) {
                    raster::EffectParams p = Effect(f.effect, sx, sy);
                    p.distance = 0;
                    filters.glow(part, ToRgba(f.color), p);
                } else if constexpr (std::is_same_v<F, swf::BevelFilter>) {
                    filters.bevel(part, ToRgba(f.highlight), ToRgba(f.shadow), BevelTypeOf(f.effect),
                                  Effect(f.effect, sx, sy));
                } else if constexpr (std::is_same_v<F, swf::GradientGlowFilter> ||
                                     std::is_same_v<F, swf::GradientBevelFilter>) {
                    if (f.stops.empty()) return;
                    const raster::EffectParams p = Effect(f.effect, sx, sy);
                    const raster::Gradient table(raster::GradientKind::kLinear, Stops(f.stops));
                    if constexpr (std::is_same_v<F, swf::GradientGlowFilter>) {
                        filters.gradientGlow(part, table.table(), p);
                    } else {
                        filters.gradientBevel(part, table.table(), BevelTypeOf(f.effect), p);
                    }
                } else if constexpr (std::is_same_v<F, swf::ConvolutionFilter>) {
                    if (f.matrix.empty()) return;
                    filters.convolution(part, f.columns, f.rows, f.matrix, f.divisor, f.bias, f.preserveAlpha, f.clamp,
                                        ToRgba(f.outside));
                } else if constexpr (std::is_same_v<F, swf::ColorMatrixFilter>) {
                    filters.colorMatrix(part, f.matrix);
                }
            },
            filter);
    }
    return box;
}

}  // namespace movie
