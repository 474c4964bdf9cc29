#pragma once
// What a clip's scripts draw with the drawing API (moveTo, lineTo, beginFill ...), kept as
// shape geometry the renderer draws like any shape, below the clip's children.
//
// Each fill starts a new style group, so what is drawn later lies above what was drawn
// before, and the lines drawn while a fill is open lie above that fill. A fill's outline is
// closed by a straight edge back to where it started, also while it is still open: an open
// fill draws as if closed. Starting a fill, ending it or moving the pen closes the outline for
// good. Lines are never closed.

#include <cstddef>
#include <optional>

#include "movie/render/shape.h"
#include "swf/records.h"

namespace movie {

// Past this many edges a drawing takes no more: a script looping over lineTo cannot grow it
// without end.
inline constexpr size_t kMaxDrawingEdges = 1u << 20;

class Drawing {
public:
    void clear();
    // The line style for the edges that follow; none stops drawing lines.
    void lineStyle(std::optional<swf::LineStyle> style);
    // Starts a fill at the pen (closing the one open); none ends it.
    void beginFill(std::optional<swf::FillStyle> fill);
    void endFill() { beginFill(std::nullopt); }
    // Coordinates are twips of the clip.
    void moveTo(int32_t x, int32_t y);
    void lineTo(int32_t x, int32_t y);
    void curveTo(int32_t cx, int32_t cy, int32_t x, int32_t y);

    bool empty() const { return !hasBounds_; }
    const ShapeGeometry& geometry() const { return geometry_; }
    // What it covers, lines by half their width included; false when nothing is drawn.
    bool bounds(swf::Rect& out) const;
    size_t edges() const { return edges_; }

private:
    void edge(raster::Point control, raster::Point to, bool curved);
    void include(raster::Point p, float pad);
    void closeOutline();
    StyleGroup& group();

    ShapeGeometry geometry_;
    raster::Point pen_{0, 0};
    std::optional<swf::LineStyle> line_;
    bool filling_ = false;
    // The open outline of the fill: where it started, and whether its last edge is the one
    // that closes it for now.
    raster::Point outlineStart_{0, 0};
    bool closedForNow_ = false;
    bool lineInGroup_ = false;   // the current line style has its entry in the current group
    bool lineOpen_ = false;      // its path continues at the pen
    bool hasBounds_ = false;
    swf::Rect bounds_;
    size_t edges_ = 0;
};

// A rectangle of width x height pixels filled with a picture a pixel to 20 twips (a bitmap a
// script attached, a video's frames), smoothed or not.
ShapeGeometry PictureRectangle(int width, int height, bool smoothing);

}  // namespace movie
