#pragma once
// Strokes: a path's outline of a given width turned into closed outlines that fill with
// the non-zero rule. An open polyline becomes one outline: its left offsets forwards, the
// end cap, its right offsets backwards, the start cap. A closed one becomes an outer loop
// and an inner loop wound the other way. Joins are drawn on the outer side of each turn;
// the inner side runs through the vertex, so the stroke's edge is never covered twice.

#include <cstdint>
#include <vector>

#include "raster/geometry.h"

namespace raster {

enum class Cap : uint8_t { kNone, kRound, kSquare };
enum class Join : uint8_t { kRound, kBevel, kMiter };
// How a width in local units follows the matrix: both axes, only x, only y, or not at all.
enum class StrokeScaling : uint8_t { kNormal, kHorizontal, kVertical, kNone };

struct StrokeStyle {
    float width = 1;            // 0: a hairline, one device pixel wide
    bool widthInDevice = false; // the width is in device pixels already
    StrokeScaling scaling = StrokeScaling::kNormal;
    Cap startCap = Cap::kRound;
    Cap endCap = Cap::kRound;
    Join join = Join::kRound;
    float miterLimit = 3;       // ratio of miter length to half the width, at least 1
};

// The stroke's width in device pixels under `m`.
float DeviceStrokeWidth(const StrokeStyle& style, const Matrix& m);

class Stroker {
public:
    // Flattens `path` under `m` and adds the stroke's regions to `sink` in device pixels.
    void stroke(const Path& path, const Matrix& m, const StrokeStyle& style, float tolerance, LineSink& sink);
    // Whether a path flattened past kMaxRasterEdges points, and was cut there, since the last call.
    bool takeOverflow() {
        const bool o = overflow_;
        overflow_ = false;
        return o;
    }

private:
    struct Polyline {
        uint32_t first, count;
        bool closed;
        bool drawn;  // a segment was drawn, even of length zero: a lone point is then a dot
    };
    void flatten(const Path& path, const Matrix& m, float tolerance);
    void strokePolyline(const Polyline& line, const StrokeStyle& style, float halfWidth, float tolerance,
                        LineSink& sink);
    void polygon(const Point* pts, int count, LineSink& sink);
    void disc(Point centre, float radius, float tolerance, LineSink& sink);
    void arc(Point centre, float r, float a0, float a1, float tolerance);
    void join(Point b, Point u1, Point u2, float side, const StrokeStyle& style, float hw, float tolerance);
    void cap(Point p, Point u, Cap kind, float hw, float tolerance);

    std::vector<Point> points_;
    std::vector<Polyline> lines_;
    std::vector<Point> outline_;  // the outline being built
    bool overflow_ = false;
};

}  // namespace raster
