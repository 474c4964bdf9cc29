#pragma once
// Paths in the SWF vocabulary (move, line, quadratic curve, close) under a 2x3 affine
// matrix, and their flattening into line segments in device pixels.

#include <cstdint>
#include <vector>

namespace raster {

struct Point {
    float x = 0, y = 0;
};

// [a c tx]   maps (x, y) to (a x + c y + tx, b x + d y + ty), as SWF's MATRIX does.
// [b d ty]
struct Matrix {
    float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    // this after other: (this * other)(p) = this(other(p)).
    Matrix operator*(const Matrix& o) const;
    bool invert(Matrix& out) const;
    static Matrix translate(float x, float y) { return {1, 0, 0, 1, x, y}; }
    static Matrix scale(float sx, float sy) { return {sx, 0, 0, sy, 0, 0}; }
};

struct Rect {
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return !(x1 > x0 && y1 > y0); }
};

class Path {
public:
    enum class Verb : uint8_t { kMove, kLine, kQuad, kClose };

    void moveTo(float x, float y);
    void lineTo(float x, float y);
    void quadTo(float cx, float cy, float x, float y);
    void close();
    void clear() {
        verbs_.clear();
        points_.clear();
    }
    void addRect(float x, float y, float w, float h);

    const std::vector<Verb>& verbs() const { return verbs_; }
    const std::vector<Point>& points() const { return points_; }
    bool empty() const { return verbs_.empty(); }
    // Bounds of the control points under `m`: they contain the curve.
    Rect bounds(const Matrix& m = Matrix()) const;

private:
    std::vector<Verb> verbs_;
    std::vector<Point> points_;  // one for move and line, two for quad, none for close
};

// Receives the line segments of a flattened path, in device pixels.
class LineSink {
public:
    virtual ~LineSink() = default;
    virtual void line(Point from, Point to) = 0;
};

// The default flatness: no point of a flattened curve lies further than this from the
// curve, in device pixels.
inline constexpr float kDefaultTolerance = 0.1f;

// The point at t (0 to 1) of the quadratic from p0 over c to p1.
inline Point QuadPoint(Point p0, Point c, Point p1, float t) {
    const float u = 1 - t;
    return {u * u * p0.x + 2 * u * t * c.x + t * t * p1.x, u * u * p0.y + 2 * u * t * c.y + t * t * p1.y};
}

// How many line segments a quadratic from p0 over c to p1 needs for `tolerance`.
int QuadSegments(Point p0, Point c, Point p1, float tolerance);

// Flattens `path` under `m`. Every subpath is closed: filling treats an open subpath as
// closed by a line back to its start, as SWF does.
void FlattenPath(const Path& path, const Matrix& m, float tolerance, LineSink& sink);

}  // namespace raster
