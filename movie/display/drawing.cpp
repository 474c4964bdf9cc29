#include "movie/display/drawing.h"

#include <algorithm>
#include <cmath>

namespace movie {

void Drawing::clear() { *this = Drawing(); }

StyleGroup& Drawing::group() {
    if (geometry_.groups.empty()) AddStyleGroup(geometry_, {}, {});
    return geometry_.groups.back();
}

void Drawing::include(raster::Point p, float pad) {
    const auto lo = [](float v) { return static_cast<int32_t>(std::floor(v)); };
    const auto hi = [](float v) { return static_cast<int32_t>(std::ceil(v)); };
    const swf::Rect r{lo(p.x - pad), hi(p.x + pad), lo(p.y - pad), hi(p.y + pad)};
    if (!hasBounds_) {
        bounds_ = r;
        hasBounds_ = true;
        return;
    }
    bounds_.xMin = std::min(bounds_.xMin, r.xMin);
    bounds_.xMax = std::max(bounds_.xMax, r.xMax);
    bounds_.yMin = std::min(bounds_.yMin, r.yMin);
    bounds_.yMax = std::max(bounds_.yMax, r.yMax);
}

bool Drawing::bounds(swf::Rect& out) const {
    if (hasBounds_) out = bounds_;
    return hasBounds_;
}

void Drawing::lineStyle(std::optional<swf::LineStyle> style) {
    line_ = std::move(style);
    lineInGroup_ = false;
    lineOpen_ = false;
}

void Drawing::closeOutline() { closedForNow_ = false; }

void Drawing::beginFill(std::optional<swf::FillStyle> fill) {
    closeOutline();
    filling_ = fill.has_value();
    if (!filling_) return;
    // The new fill and the lines drawn with it form a group above everything drawn so far.
    AddStyleGroup(geometry_, {std::move(*fill)}, {});
    lineInGroup_ = false;
    lineOpen_ = false;
    outlineStart_ = pen_;
}

void Drawing::moveTo(int32_t x, int32_t y) {
    closeOutline();
    pen_ = {static_cast<float>(x), static_cast<float>(y)};
    outlineStart_ = pen_;
    lineOpen_ = false;
}

void Drawing::lineTo(int32_t x, int32_t y) {
    const raster::Point to{static_cast<float>(x), static_cast<float>(y)};
    edge(to, to, false);
}

void Drawing::curveTo(int32_t cx, int32_t cy, int32_t x, int32_t y) {
    edge({static_cast<float>(cx), static_cast<float>(cy)}, {static_cast<float>(x), static_cast<float>(y)}, true);
}

void Drawing::edge(raster::Point control, raster::Point to, bool curved) {
    if ((!filling_ && !line_) || edges_ >= kMaxDrawingEdges) {
        pen_ = to;
        return;
    }
    ++edges_;
    StyleGroup& g = group();
    if (filling_) {
        if (closedForNow_) g.edges.pop_back();
        g.edges.push_back({0, pen_, to, control, curved});
        closedForNow_ = to.x != outlineStart_.x || to.y != outlineStart_.y;
        if (closedForNow_) g.edges.push_back({0, to, outlineStart_, outlineStart_, false});
        include(pen_, 0);
        include(control, 0);
        include(to, 0);
    }
    if (line_) {
        if (!lineInGroup_) {
            g.lines.push_back(*line_);
            g.linePaths.emplace_back();
            lineInGroup_ = true;
            lineOpen_ = false;
        }
        raster::Path& path = g.linePaths.back();
        if (!lineOpen_) path.moveTo(pen_.x, pen_.y);
        if (curved) {
            path.quadTo(control.x, control.y, to.x, to.y);
        } else {
            path.lineTo(to.x, to.y);
        }
        lineOpen_ = true;
        // A hairline is a pixel wide whatever the scale: a pixel's twips bound it.
        const float pad = line_->width > 0 ? line_->width / 2.0f : 10.0f;
        include(pen_, pad);
        include(control, pad);
        include(to, pad);
    }
    pen_ = to;
}

ShapeGeometry PictureRectangle(int width, int height, bool smoothing) {
    Drawing rect;
    swf::FillStyle fill;
    fill.type = smoothing ? swf::FillType::kClippedBitmap : swf::FillType::kNonSmoothedClippedBitmap;
    fill.matrix.scaleX = fill.matrix.scaleY = 20;
    rect.beginFill(fill);
    const int32_t w = width * 20, h = height * 20;
    rect.moveTo(0, 0);
    rect.lineTo(w, 0);
    rect.lineTo(w, h);
    rect.lineTo(0, h);
    rect.lineTo(0, 0);
    rect.endFill();
    ShapeGeometry geometry = rect.geometry();
    geometry.bounds = {0, w, 0, h};
    return geometry;
}

}  // namespace movie
