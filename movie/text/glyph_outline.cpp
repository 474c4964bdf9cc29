#include "movie/text/glyph_outline.h"

#include "base/names.h"
#include <algorithm>
#include <cctype>
#include <cmath>

namespace movie {

int32_t OutlineBuilder::ix(double x) const { return static_cast<int32_t>(std::lround(std::clamp(x, -1e8, 1e8))); }
int32_t OutlineBuilder::iy(double y) const {
    return static_cast<int32_t>(std::lround(std::clamp(flip_ ? -y : y, -1e8, 1e8)));
}

void OutlineBuilder::moveTo(double x, double y) {
    close();
    swf::StyleChangeRecord r;
    r.moveTo = swf::StyleChangeRecord::Point{ix(x), iy(y)};
    if (shape_.records.empty()) r.fill0 = 1;
    startX_ = x_ = r.moveTo->x;
    startY_ = y_ = r.moveTo->y;
    shape_.records.emplace_back(std::move(r));
    fx_ = x;
    fy_ = y;
    open_ = true;
}

void OutlineBuilder::lineTo(double x, double y) {
    if (!open_) moveTo(fx_, fy_);
    swf::StraightEdgeRecord r;
    r.dx = ix(x) - x_;
    r.dy = iy(y) - y_;
    fx_ = x;
    fy_ = y;
    if (r.dx == 0 && r.dy == 0) return;
    x_ += r.dx;
    y_ += r.dy;
    shape_.records.push_back(r);
}

void OutlineBuilder::quadTo(double cx, double cy, double x, double y) {
    if (!open_) moveTo(fx_, fy_);
    swf::CurvedEdgeRecord r;
    r.controlDx = ix(cx) - x_;
    r.controlDy = iy(cy) - y_;
    r.anchorDx = ix(x) - ix(cx);
    r.anchorDy = iy(y) - iy(cy);
    fx_ = x;
    fy_ = y;
    if (r.controlDx == 0 && r.controlDy == 0 && r.anchorDx == 0 && r.anchorDy == 0) return;
    x_ += r.controlDx + r.anchorDx;
    y_ += r.controlDy + r.anchorDy;
    shape_.records.push_back(r);
}

void OutlineBuilder::cubicTo(double c1x, double c1y, double c2x, double c2y, double x, double y) {
    // Four quadratics, each through the cubic's points at its ends and tangent-matched at
    // their middles: close enough at glyph sizes.
    const double x0 = fx_, y0 = fy_;
    auto at = [&](double t, double& px, double& py) {
        const double u = 1 - t;
        px = u * u * u * x0 + 3 * u * u * t * c1x + 3 * u * t * t * c2x + t * t * t * x;
        py = u * u * u * y0 + 3 * u * u * t * c1y + 3 * u * t * t * c2y + t * t * t * y;
    };
    constexpr int kPieces = 4;
    for (int i = 0; i < kPieces; ++i) {
        const double t0 = double(i) / kPieces, t1 = double(i + 1) / kPieces, tm = (t0 + t1) / 2;
        double ax, ay, mx, my, bx, by;
        at(t0, ax, ay);
        at(tm, mx, my);
        at(t1, bx, by);
        // The control point that puts the quadratic's middle on the cubic's.
        quadTo(2 * mx - (ax + bx) / 2, 2 * my - (ay + by) / 2, bx, by);
    }
}

void OutlineBuilder::close() {
    if (!open_) return;
    if (x_ != startX_ || y_ != startY_) {
        shape_.records.emplace_back(swf::StraightEdgeRecord{startX_ - x_, startY_ - y_});
        x_ = startX_;
        y_ = startY_;
    }
    open_ = false;
}

ShapeGeometry OutlineBuilder::finish() {
    close();
    return BuildGlyphGeometry(std::move(shape_));
}

const CachedGlyphFont::Glyph& CachedGlyphFont::entry(uint32_t code) const {
    auto it = cache_.find(code);
    if (it != cache_.end()) return it->second;
    if (cache_.size() >= kMaxCachedGlyphs) cache_.clear();
    Glyph& g = cache_[code];
    load(code, g);
    return g;
}

GlyphShape CachedGlyphFont::glyph(uint32_t code) const {
    const Glyph& g = entry(code);
    return g.present ? g.shape : nullptr;
}

float CachedGlyphFont::advance(uint32_t code) const { return entry(code).advance; }

const GlyphFont* DeviceFontSource::openPicked(const std::string& picked, bool bold, bool italic, bool evenWhenFull) {
    if (picked.empty()) return nullptr;
    Key key{picked, bold, italic};
    if (auto it = fonts_.find(key); it != fonts_.end()) return it->second.get();
    if (fonts_.size() >= kMaxDeviceFonts && !evenWhenFull) return nullptr;
    return fonts_.emplace(std::move(key), open(picked, bold, italic)).first->second.get();
}

const GlyphFont* DeviceFontSource::find(const std::string& name, bool bold, bool italic) {
    Key key{name, bold, italic};
    if (auto it = names_.find(key); it != names_.end()) return it->second;
    // The names only lead to the fonts, which stay: forgetting them frees room safely.
    if (names_.size() >= kMaxDeviceFontNames) names_.clear();
    const std::string picked = pick(DeviceFamily(name), bold, italic);
    const GlyphFont* font = openPicked(picked, bold, italic, false);
    if (font == nullptr && !picked.empty() && fonts_.size() >= kMaxDeviceFonts &&
        fonts_.find(Key{picked, bold, italic}) == fonts_.end()) {
        // Full: the default font in this style, opened past the limit if need be (at most
        // its four styles).
        overflowed_ = true;
        font = openPicked(pick(DeviceFamily("_sans"), bold, italic), bold, italic, true);
    }
    names_.emplace(std::move(key), font);
    return font;
}

std::string DeviceFamily(const std::string& name) {
    const std::string lower = base::LowerCase(name);
#ifdef _WIN32
    if (lower == "_sans" || lower.empty()) return "Arial";
    if (lower == "_serif") return "Times New Roman";
    if (lower == "_typewriter") return "Courier New";
#else
    if (lower == "_sans" || lower.empty()) return "sans-serif";
    if (lower == "_serif") return "serif";
    if (lower == "_typewriter") return "monospace";
#endif
    return name;
}

}  // namespace movie
