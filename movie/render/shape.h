#pragma once
// A shape character made ready to draw: the SWF shape records turned into edges per fill
// style and polylines per line style, grouped where the records start new style arrays.
//
// SWF edges name the fill on each side: fill0 on the left as drawn, fill1 on the right.
// Each edge goes to fill1 as drawn and to fill0 reversed, so every style's region is
// bounded by edges that all keep it on the same side, and the rasterizer fills all styles
// of a group in one pass with no seam where two of them meet.

#include <cstdint>
#include <memory>
#include <vector>

#include "raster/canvas.h"
#include "swf/records.h"

namespace movie {

struct ShapeEdge {
    uint32_t style;          // index into the group's fills
    raster::Point from, to;  // twips
    raster::Point control;   // twips, for curves
    bool curved;
};

struct StyleGroup {
    std::vector<swf::FillStyle> fills;
    std::vector<swf::LineStyle> lines;
    // Per fill, for gradient fills; a gradient never changes once made, so copies share it.
    std::vector<std::shared_ptr<const raster::Gradient>> gradients;
    std::vector<ShapeEdge> edges;
    std::vector<raster::Path> linePaths;  // per line style, in twips
};

struct ShapeGeometry {
    swf::Rect bounds;
    std::vector<StyleGroup> groups;
    // How fills count overlapping outlines of one style: a shape from the file fills by the
    // even-odd rule unless it asks for non-zero; drawings and glyphs fill by non-zero.
    bool evenOdd = false;
};

// A new group of styles to which edges and line paths are added.
void AddStyleGroup(ShapeGeometry& g, const std::vector<swf::FillStyle>& fills, const std::vector<swf::LineStyle>& lines);
// Builds the geometry of a parsed shape.
ShapeGeometry BuildShapeGeometry(const swf::Shape& shape, const swf::Rect& bounds);
// A glyph's outline, embedded or the system's: its edges filled with one opaque white style,
// which the text's colour then tints.
ShapeGeometry BuildGlyphGeometry(swf::Shape outline);

// The SWF colour transform as the rasterizer's.
raster::ColorTransform ToRasterTransform(const swf::ColorTransform& cx);
raster::Matrix ToRasterMatrix(const swf::Matrix& m);

// Where bitmap fills find their bitmaps: the movie's dictionary.
class BitmapSource {
public:
    virtual ~BitmapSource() = default;
    // The bitmap defined under `id`, or null when there is none.
    virtual const raster::Bitmap* bitmap(uint16_t id) const = 0;
};

// Draws the shape with `toDevice` mapping its twips to device pixels. `paints` is scratch
// space the caller keeps, so drawing allocates nothing once it has grown. Bitmap fills whose
// bitmap `bitmaps` does not hold (or without `bitmaps`) draw nothing.
void DrawShape(raster::Canvas& canvas, const ShapeGeometry& shape, const raster::Matrix& toDevice,
               const raster::ColorTransform& cx, bool antiAlias, std::vector<raster::Paint>& paints,
               const BitmapSource* bitmaps = nullptr);

}  // namespace movie
