#include "raster/canvas.h"

#include "raster/composite.h"

#include <algorithm>
#include <climits>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace raster {

namespace {

static_assert(sizeof(PremulColor) == 4 * sizeof(float), "PremulColor is four packed floats: b, g, r, a");

// A summed colour (channels 0..1, colour channels at most alpha once rounded) as a word.
inline uint32_t SumToWord(const PremulColor& s) {
#if defined(__SSE2__)
    __m128 v = _mm_loadu_ps(&s.b);
    v = _mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), _mm_set1_ps(1.0f));
    v = _mm_min_ps(v, _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3)));
    const __m128i i = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(v, _mm_set1_ps(255.0f)), _mm_set1_ps(0.5f)));
    const __m128i w = _mm_packs_epi32(i, i);
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(w, w)));
#else
    const uint32_t a = UnitToByte(s.a);
    return PackBgra(std::min(UnitToByte(s.b), a), std::min(UnitToByte(s.g), a), std::min(UnitToByte(s.r), a), a);
#endif
}

// to += colour (a premultiplied word) times k, in units of 0..1.
inline void AddScaled(PremulColor& to, uint32_t color, float k) {
    to.b += float(ChannelB(color)) * k;
    to.g += float(ChannelG(color)) * k;
    to.r += float(ChannelR(color)) * k;
    to.a += float(ChannelA(color)) * k;
}

// The pixels a sweep wrote: its rows and the columns of their spans.
struct Extent {
    int x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN;
    void add(int from, int to, int y) {
        x0 = std::min(x0, from);
        x1 = std::max(x1, to);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y + 1);
    }
    PixelBox box() const { return x1 > x0 && y1 > y0 ? PixelBox{x0, y0, x1, y1} : PixelBox{}; }
};

}  // namespace

// One paint: coverage goes straight to the target.
class Canvas::PaintSink final : public CoverageSink {
public:
    PaintSink(const Target& t, const Shader& shader, std::vector<uint32_t>& colors)
        : t_(t), shader_(shader), colors_(colors) {}
    PixelBox written() const { return written_.box(); }
    void span(uint32_t, int y, int x0, const float* coverage, int count) override {
        written_.add(x0, x0 + count, y);
        if (shader_.isSolid()) {
            OverSpan(t_.row(y) + x0, coverage, count, shader_.solidColor());
            return;
        }
        shader_.shade(y, x0, count, colors_.data());
        OverColorsCoverage(t_.row(y) + x0, colors_.data(), coverage, count);
    }
    void run(uint32_t, int y, int x0, int count, float coverage) override {
        written_.add(x0, x0 + count, y);
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
    Extent written_;
};

// Several paints: each row's coverage-weighted colours are summed, then composited once.
class Canvas::ShapeSink final : public CoverageSink {
public:
    ShapeSink(const Target& t, const std::vector<Shader>& shaders, size_t count, std::vector<uint32_t>& colors,
              std::vector<PremulColor>& row)
        : t_(t), shaders_(shaders), count_(count), colors_(colors), row_(row) {}
    PixelBox written() const { return written_.box(); }
    void span(uint32_t style, int y, int x0, const float* coverage, int count) override {
        if (style >= count_) return;  // a style without a paint draws nothing
        shaders_[style].shade(y, x0, count, colors_.data());
        PremulColor* out = row_.data() + x0;
        for (int i = 0; i < count; ++i) AddScaled(out[i], colors_[i], coverage[i] / 255.0f);
    }
    void run(uint32_t style, int y, int x0, int count, float coverage) override {
        if (style >= count_) return;
        const Shader& shader = shaders_[style];
        PremulColor* out = row_.data() + x0;
        const float k = coverage / 255.0f;
        if (shader.isSolid()) {
            PremulColor add;
            AddScaled(add, shader.solidColor(), k);
            for (int i = 0; i < count; ++i) {
                out[i].b += add.b;
                out[i].g += add.g;
                out[i].r += add.r;
                out[i].a += add.a;
            }
            return;
        }
        shader.shade(y, x0, count, colors_.data());
        for (int i = 0; i < count; ++i) AddScaled(out[i], colors_[i], k);
    }
    void endRow(int y, int x0, int x1) override {
        written_.add(x0, x1, y);
        uint32_t* row = t_.row(y);
        for (int x = x0; x < x1; ++x) {
            PremulColor& s = row_[x];
            if (s.a > 0) {
                const uint32_t word = SumToWord(s);
                row[x] = (word >> 24) == 255 ? word : Over(row[x], word);
            }
            s = PremulColor{};
        }
    }

private:
    Target t_;
    const std::vector<Shader>& shaders_;
    size_t count_;
    std::vector<uint32_t>& colors_;
    std::vector<PremulColor>& row_;
    Extent written_;
};

void Canvas::clear(Rgba color) {
    const uint32_t v = PremultipliedWord(color);
    for (int y = 0; y < target_.height; ++y) std::fill_n(target_.row(y), target_.width, v);
    dirty_ = PixelBox::Whole(target_.width, target_.height);
}

void Canvas::fillPath(const Path& path, const Matrix& m, const Paint& paint, const FillOptions& o) {
    rasterizer_.reset(target_.width, target_.height);
    rasterizer_.setStyle(0);
    FlattenPath(path, m, o.tolerance, rasterizer_);
    prepareBuffers();
    shader_.prepare(paint);
    PaintSink sink(target_, shader_, colors_);
    rasterizer_.sweep(o.rule, o.antiAlias, sink);
    dirty_.unite(sink.written());
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
    dirty_.unite(sink.written());
}

int Canvas::layerLimit() const {
    const Target& base = stack_.empty() ? target_ : stack_.front().target;
    const size_t bytes = static_cast<size_t>(std::max(base.width, 1)) * static_cast<size_t>(std::max(base.height, 1)) * 4;
    return static_cast<int>(std::min<size_t>(kMaxLayerDepth, kMaxLayerBytes / bytes));
}

void Canvas::pushLayer() {
    const Target base = stack_.empty() ? target_ : stack_.front().target;
    const size_t depth = stack_.size();
    const size_t limit = static_cast<size_t>(layerLimit());
    if (layerPool_.size() > limit) layerPool_.resize(limit);
    if (depth >= limit) {
        // No room: a layer of no pixels, which every drawing call clips away.
        voidedLayers_ = true;
        stack_.push_back({target_, dirty_, true});
        target_ = Target::TopDown(nullptr, 0, 0, 0);
        dirty_ = {};
        return;
    }
    if (layerPool_.size() <= depth) layerPool_.resize(depth + 1);
    Layer& layer = layerPool_[depth];
    const size_t size = static_cast<size_t>(base.width) * static_cast<size_t>(base.height);
    if (layer.width != base.width || layer.height != base.height) {
        if (layer.pixels.size() < size) layer.pixels.resize(size);
        std::fill_n(layer.pixels.begin(), size, 0u);
        layer.width = base.width;
        layer.height = base.height;
    } else {
        // Only what the buffer's last use wrote is not transparent already.
        const PixelBox& used = layer.used;
        for (int y = used.y0; y < used.y1; ++y) {
            std::fill_n(layer.pixels.begin() + static_cast<ptrdiff_t>(y) * base.width + used.x0, used.x1 - used.x0, 0u);
        }
    }
    layer.used = {};
    stack_.push_back({target_, dirty_});
    target_ = Target::TopDown(layer.pixels.data(), base.width, base.height, static_cast<ptrdiff_t>(base.width) * 4);
    dirty_ = {};
}

void Canvas::finishLayer(size_t depth, const PixelBox& written) {
    // The buffer may hold pixels in `written` until it is cleared at its next push.
    if (depth < layerPool_.size()) layerPool_[depth].used = written;
}

void Canvas::popLayer(float opacity, BlendMode mode) {
    if (stack_.empty()) return;
    const Target layer = target_;
    const PixelBox written = dirty_;
    const bool isVoid = stack_.back().voidAbove;
    if (!isVoid) finishLayer(stack_.size() - 1, written);
    target_ = stack_.back().target;
    dirty_ = stack_.back().dirty;
    stack_.pop_back();
    if (isVoid) return;
    // The alpha mode changes the pixels under a transparent source too.
    const PixelBox region = mode == BlendMode::kAlpha ? PixelBox::Whole(target_.width, target_.height) : written;
    CompositeLayer(target_, layer, nullptr, opacity, mode, region);
    dirty_.unite(region);
}

void Canvas::popLayerThroughMask(float opacity, BlendMode mode) {
    if (stack_.size() < 2) {
        popLayer(opacity, mode);
        return;
    }
    const Target content = target_;
    const PixelBox contentWritten = dirty_;
    const Target mask = stack_.back().target;
    const PixelBox maskWritten = stack_.back().dirty;
    const bool contentVoid = stack_.back().voidAbove, maskVoid = stack_[stack_.size() - 2].voidAbove;
    if (!contentVoid) finishLayer(stack_.size() - 1, contentWritten);
    if (!maskVoid) finishLayer(stack_.size() - 2, maskWritten);
    const Saved below = stack_[stack_.size() - 2];
    target_ = below.target;
    dirty_ = below.dirty;
    stack_.resize(stack_.size() - 2);
    if (contentVoid || maskVoid) return;  // content without its mask, or none: nothing shows
    // Outside the mask's pixels the content is scaled to nothing.
    const PixelBox region = mode == BlendMode::kAlpha ? PixelBox::Whole(target_.width, target_.height)
                                                      : contentWritten.intersect(maskWritten);
    CompositeLayer(target_, content, &mask, opacity, mode, region);
    dirty_.unite(region);
}

void Canvas::growDirty(int pixels) {
    if (dirty_.empty() || pixels <= 0) return;
    markDirty({dirty_.x0 - pixels, dirty_.y0 - pixels, dirty_.x1 + pixels, dirty_.y1 + pixels});
}

void Canvas::markDirty(const PixelBox& box) { dirty_.unite(box.intersect(PixelBox::Whole(target_.width, target_.height))); }

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
    if (rasterizer_.empty()) return;
    if (rasterizer_.singleStyle()) {
        // One paint after all: its coverage goes straight to the target, as for a path.
        const uint32_t style = rasterizer_.firstStyle();
        if (style >= paints.size()) return;  // a style without a paint draws nothing
        shapeShaders_[style].prepare(paints[style]);
        PaintSink sink(target_, shapeShaders_[style], colors_);
        rasterizer_.sweep(o.rule, o.antiAlias, sink);
        dirty_.unite(sink.written());
        return;
    }
    for (size_t i = 0; i < paints.size(); ++i) shapeShaders_[i].prepare(paints[i]);
    ShapeSink sink(target_, shapeShaders_, paints.size(), colors_, rowColor_);
    rasterizer_.sweep(o.rule, o.antiAlias, sink);
    dirty_.unite(sink.written());
}

}  // namespace raster
