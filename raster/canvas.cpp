#include "raster/canvas.h"

#include "raster/composite.h"

#include <algorithm>
#include <cmath>

namespace raster {

namespace {

inline uint32_t ToByte(float v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

}  // namespace

// One paint: coverage goes straight to the target.
class Canvas::PaintSink final : public CoverageSink {
public:
    PaintSink(const Target& t, const Shader& shader, std::vector<uint32_t>& colors)
        : t_(t), shader_(shader), colors_(colors) {}
    void span(uint32_t, int y, int x0, const float* coverage, int count) override {
        if (shader_.isSolid()) {
            OverSpan(t_.row(y) + x0, coverage, count, shader_.solidColor());
            return;
        }
        shader_.shade(y, x0, count, colors_.data());
        OverColorsCoverage(t_.row(y) + x0, colors_.data(), coverage, count);
    }
    void run(uint32_t, int y, int x0, int count, float coverage) override {
        const uint32_t k = coverage >= 1 ? 255 : static_cast<uint32_t>(coverage * 255.0f + 0.5f);
        if (shader_.isSolid()) {
            OverRun(t_.row(y) + x0, count, ScaleChannels(shader_.solidColor(), k));
            return;
        }
        shader_.shade(y, x0, count, colors_.data());
        OverColors(t_.row(y) + x0, colors_.data(), count, k);
    }

private:
    Target t_;
    const Shader& shader_;
    std::vector<uint32_t>& colors_;
};

// Several paints: each row's coverage-weighted colours are summed, then composited once.
class Canvas::ShapeSink final : public CoverageSink {
public:
    ShapeSink(const Target& t, const std::vector<Shader>& shaders, size_t count, std::vector<uint32_t>& colors,
              std::vector<PremulColor>& row)
        : t_(t), shaders_(shaders), count_(count), colors_(colors), row_(row) {}
    void span(uint32_t style, int y, int x0, const float* coverage, int count) override {
        if (style >= count_) return;  // a style without a paint draws nothing
        shaders_[style].shade(y, x0, count, colors_.data());
        PremulColor* out = row_.data() + x0;
        for (int i = 0; i < count; ++i) add(out[i], colors_[i], coverage[i]);
    }
    void run(uint32_t style, int y, int x0, int count, float coverage) override {
        if (style >= count_) return;
        shaders_[style].shade(y, x0, count, colors_.data());
        PremulColor* out = row_.data() + x0;
        for (int i = 0; i < count; ++i) add(out[i], colors_[i], coverage);
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
    static void add(PremulColor& to, uint32_t color, float c) {
        const float k = c / 255.0f;
        to.b += float(ChannelB(color)) * k;
        to.g += float(ChannelG(color)) * k;
        to.r += float(ChannelR(color)) * k;
        to.a += float(ChannelA(color)) * k;
    }
    Target t_;
    const std::vector<Shader>& shaders_;
    size_t count_;
    std::vector<uint32_t>& colors_;
    std::vector<PremulColor>& row_;
};

void Canvas::clear(Rgba color) {
    const uint32_t v = PremultipliedWord(color);
    for (int y = 0; y < target_.height; ++y) std::fill_n(target_.row(y), target_.width, v);
}

void Canvas::fillPath(const Path& path, const Matrix& m, const Paint& paint, const FillOptions& o) {
    rasterizer_.reset(target_.width, target_.height);
    rasterizer_.setStyle(0);
    FlattenPath(path, m, o.tolerance, rasterizer_);
    prepareBuffers();
    shader_.prepare(paint);
    PaintSink sink(target_, shader_, colors_);
    rasterizer_.sweep(o.rule, o.antiAlias, sink);
}

void Canvas::strokePath(const Path& path, const Matrix& m, const StrokeStyle& style, const Paint& paint,
                        const FillOptions& o) {
    rasterizer_.reset(target_.width, target_.height);
    rasterizer_.setStyle(0);
    stroker_.stroke(path, m, style, o.tolerance, rasterizer_);
    prepareBuffers();
    shader_.prepare(paint);
    PaintSink sink(target_, shader_, colors_);
    rasterizer_.sweep(FillRule::kNonZero, o.antiAlias, sink);
}

void Canvas::pushLayer() {
    const Target base = stack_.empty() ? target_ : stack_.front();
    const size_t depth = stack_.size();
    if (layerPool_.size() <= depth) layerPool_.resize(depth + 1);
    std::vector<uint32_t>& pixels = layerPool_[depth];
    const size_t size = static_cast<size_t>(base.width) * static_cast<size_t>(base.height);
    if (pixels.size() < size) pixels.resize(size);
    std::fill_n(pixels.begin(), size, 0u);
    stack_.push_back(target_);
    target_ = Target::TopDown(pixels.data(), base.width, base.height, static_cast<ptrdiff_t>(base.width) * 4);
}

void Canvas::popLayer(float opacity, BlendMode mode) {
    if (stack_.empty()) return;
    const Target layer = target_;
    target_ = stack_.back();
    stack_.pop_back();
    CompositeLayer(target_, layer, nullptr, opacity, mode);
}

void Canvas::popLayerThroughMask(float opacity, BlendMode mode) {
    if (stack_.size() < 2) {
        popLayer(opacity, mode);
        return;
    }
    const Target content = target_;
    const Target mask = stack_.back();
    target_ = stack_[stack_.size() - 2];
    stack_.resize(stack_.size() - 2);
    CompositeLayer(target_, content, &mask, opacity, mode);
}

void Canvas::prepareBuffers() {
    const size_t width = static_cast<size_t>(std::max(target_.width, 0));
    if (rowColor_.size() < width) rowColor_.assign(width, PremulColor{});
    if (colors_.size() < width) colors_.resize(width);
}

void Canvas::beginShape() { rasterizer_.reset(target_.width, target_.height); }

void Canvas::addShapeRegion(uint32_t style, const Path& path, const Matrix& m, float tolerance) {
    rasterizer_.setStyle(style);
    FlattenPath(path, m, tolerance, rasterizer_);
}

void Canvas::addShapeQuad(uint32_t style, Point from, Point control, Point to, float tolerance) {
    const int n = QuadSegments(from, control, to, tolerance);
    Point prev = from;
    for (int i = 1; i <= n; ++i) {
        const Point q = i == n ? to : QuadPoint(from, control, to, float(i) / float(n));
        rasterizer_.addLine(prev, q, style);
        prev = q;
    }
}

void Canvas::fillShape(const std::vector<Paint>& paints, const FillOptions& o) {
    prepareBuffers();
    if (shapeShaders_.size() < paints.size()) shapeShaders_.resize(paints.size());
    for (size_t i = 0; i < paints.size(); ++i) shapeShaders_[i].prepare(paints[i]);
    ShapeSink sink(target_, shapeShaders_, paints.size(), colors_, rowColor_);
    rasterizer_.sweep(o.rule, o.antiAlias, sink);
}

}  // namespace raster
