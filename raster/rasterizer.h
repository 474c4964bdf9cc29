#pragma once
// Scanline coverage by exact area accumulation.
//
// Lines are added in device pixels with a style number (a fill style of a shape, or 0 for
// a plain path). A sweep then visits the rows from top to bottom; in each row every style's
// lines are accumulated into one buffer of signed areas, whose running sum along the row is
// that style's winding-weighted coverage of each pixel, exact for the area of the pixel that
// the style's region covers. The fill rule folds the sum into a coverage of 0 to 1. Without
// anti-aliasing the sum counts crossings at pixel centres instead, giving whole pixels.
//
// Lines are clipped to the target as they are added: nothing outside it is stored or swept.
// Buffers are kept between uses, so drawing allocates nothing once they have grown.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "raster/geometry.h"

namespace raster {

enum class FillRule : uint8_t { kNonZero, kEvenOdd };

// The edges one fill may hold (some 300 MB with their sort order), and the points a stroke's
// path may flatten to: what lies past them is left out of the shape.
inline constexpr size_t kMaxRasterEdges = size_t{1} << 23;

// Receives the coverage of one row at a time.
class CoverageSink {
public:
    virtual ~CoverageSink() = default;
    // One style's coverage in row y, pixels x0 .. x0 + count - 1, each 0 to 1.
    virtual void span(uint32_t style, int y, int x0, const float* coverage, int count) = 0;
    // count pixels from x0 that all have the same coverage (greater than 0).
    virtual void run(uint32_t style, int y, int x0, int count, float coverage) = 0;
    // Called after the last span of a row that had any.
    virtual void endRow(int /*y*/, int /*x0*/, int /*x1*/) {}
};

class Rasterizer final : public LineSink {
public:
    // Starts over with the clip rectangle [0, width) x [0, height).
    void reset(int width, int height);
    void setStyle(uint32_t style) { style_ = style; }
    // Adds a line of the current style (LineSink, for FlattenPath).
    void line(Point from, Point to) override;
    void addLine(Point from, Point to, uint32_t style);

    void sweep(FillRule rule, bool antiAlias, CoverageSink& sink);
    bool empty() const { return edges_.empty(); }
    // Whether every edge added since reset has one style, and which (when not empty).
    bool singleStyle() const { return !multiStyle_; }
    uint32_t firstStyle() const { return edges_.empty() ? 0 : edges_.front().style; }
    // Whether edges past kMaxRasterEdges were left out since the last call.
    bool takeOverflow() {
        const bool o = overflow_;
        overflow_ = false;
        return o;
    }

private:
    struct Edge {
        float x0, y0, x1, y1;  // y0 < y1
        float dxdy;
        int32_t dir;           // +1 when the line ran downwards, -1 upwards
        uint32_t style;
    };

    void addClippedX(Point a, Point b, uint32_t style);
    void addEdge(Point a, Point b, uint32_t style);
    void accumulateArea(const Edge& e, int y);
    void accumulateCentre(const Edge& e, int y);
    void emitCoverage(uint32_t style, int y, int x0, int x1, FillRule rule, CoverageSink& sink);

    int width_ = 0, height_ = 0;
    uint32_t style_ = 0;
    bool multiStyle_ = false;  // edges of more than one style: the sweep groups them
    bool overflow_ = false;
    std::vector<Edge> edges_;
    std::vector<uint32_t> order_;   // edges by first row
    std::vector<uint32_t> active_;
    std::vector<float> area_;       // width + 2 accumulation cells
    std::vector<float> coverage_;
    int touchedMin_ = 0, touchedMax_ = 0;
    std::vector<std::pair<int, int>> touched_;  // cell intervals the current style's edges hit
};

}  // namespace raster
