#include "raster/canvas.h"

#include "raster/composite.h"

#include <algorithm>
#include <cmath>

namespace raster {

namespace {

inline uint32_t ToByte(float v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

}  // namespace

// One solid paint: coverage goes straight to the target.
class Canvas::SolidSink final : public CoverageSink {
public:
    SolidSink(const Target& t, Rgba c) : t_(t) {
        const PremulColor p = Premultiply(c);
        color_ = PackBgra(ToByte(p.b), ToByte(p.g), ToByte(p.r), ToByte(p.a));
    }
    void span(uint32_t, int y, int x0, const float* coverage, int count) override {
        OverSpan(t_.row(y) + x0, coverage, count, color_);
    }
    void run(uint32_t, int y, int x0, int count, float coverage) override {
        OverRun(t_.row(y) + x0, count, coverage >= 1 ? color_ : ScaleChannels(color_, CoverageByte(coverage)));
    }

private:
    static uint32_t CoverageByte(float c) { return static_cast<uint32_t>(c * 255.0f + 0.5f); }
    Target t_;
    uint32_t color_;
};

// Several paints: each row's coverage-weighted colours are summed, then composited once.
class Canvas::ShapeSink final : public CoverageSink {
public:
    ShapeSink(const Target& t, const std::vector<Paint>& paints, std::vector<PremulColor>& row)
        : t_(t), paints_(paints), row_(row) {}
    void span(uint32_t style, int, int x0, const float* coverage, int count) override {
        if (style >= paints_.size()) return;  // a style without a paint draws nothing
        const PremulColor p = Premultiply(paints_[style].color);
        PremulColor* out = row_.data() + x0;
        for (int i = 0; i < count; ++i) {
            const float c = coverage[i];
            out[i].b += p.b * c;
            out[i].g += p.g * c;
            out[i].r += p.r * c;
            out[i].a += p.a * c;
        }
    }
    void run(uint32_t style, int, int x0, int count, float coverage) override {
        if (style >= paints_.size()) return;
        PremulColor p = Premultiply(paints_[style].color);
        PremulColor* out = row_.data() + x0;
        for (int i = 0; i < count; ++i) {
            out[i].b += p.b * coverage;
            out[i].g += p.g * coverage;
            out[i].r += p.r * coverage;
            out[i].a += p.a * coverage;
        }
    }
    void endRow(int y, int x0, int x1) override {
        uint32_t* row = t_.row(y);
        for (int x = x0; x < x1; ++x) {
            PremulColor& s = row_[x];
            if (s.a > 0) {
                const uint32_t a = ToByte(s.a);
                row[x] = Over(row[x], PackBgra(std::min(ToByte(s.b), a), std::min(ToByte(s.g), a),
                                               std::min(ToByte(s.r), a), a));
            }
            s = PremulColor{};
        }
    }

private:
    Target t_;
    const std::vector<Paint>& paints_;
    std::vector<PremulColor>& row_;
};

void Canvas::clear(Rgba color) {
    const PremulColor p = Premultiply(color);
    const uint32_t v = PackBgra(ToByte(p.b), ToByte(p.g), ToByte(p.r), ToByte(p.a));
    for (int y = 0; y < target_.height; ++y) std::fill_n(target_.row(y), target_.width, v);
}

void Canvas::fillPath(const Path& path, const Matrix& m, const Paint& paint, const FillOptions& o) {
    rasterizer_.reset(target_.width, target_.height);
    rasterizer_.setStyle(0);
    FlattenPath(path, m, o.tolerance, rasterizer_);
    SolidSink sink(target_, paint.color);
    rasterizer_.sweep(o.rule, o.antiAlias, sink);
}

void Canvas::beginShape() { rasterizer_.reset(target_.width, target_.height); }

void Canvas::addShapeRegion(uint32_t style, const Path& path, const Matrix& m, float tolerance) {
    rasterizer_.setStyle(style);
    FlattenPath(path, m, tolerance, rasterizer_);
}

void Canvas::fillShape(const std::vector<Paint>& paints, const FillOptions& o) {
    if (rowColor_.size() < static_cast<size_t>(target_.width)) rowColor_.assign(target_.width, PremulColor{});
    ShapeSink sink(target_, paints, rowColor_);
    rasterizer_.sweep(o.rule, o.antiAlias, sink);
}

}  // namespace raster
