#include "raster/geometry.h"

#include <algorithm>
#include <cmath>

namespace raster {

Matrix Matrix::operator*(const Matrix& o) const {
    return {a * o.a + c * o.b,           b * o.a + d * o.b,          a * o.c + c * o.d,
            b * o.c + d * o.d,           a * o.tx + c * o.ty + tx,   b * o.tx + d * o.ty + ty};
}

bool Matrix::invert(Matrix& out) const {
    const double det = double(a) * d - double(b) * c;
    if (det == 0 || !std::isfinite(det)) return false;
    const double inv = 1.0 / det;
    out.a = float(d * inv);
    out.b = float(-b * inv);
    out.c = float(-c * inv);
    out.d = float(a * inv);
    out.tx = float((double(c) * ty - double(d) * tx) * inv);
    out.ty = float((double(b) * tx - double(a) * ty) * inv);
    return true;
}

void Path::moveTo(float x, float y) {
    verbs_.push_back(Verb::kMove);
    points_.push_back({x, y});
}

void Path::lineTo(float x, float y) {
    if (verbs_.empty()) moveTo(0, 0);
    verbs_.push_back(Verb::kLine);
    points_.push_back({x, y});
}

void Path::quadTo(float cx, float cy, float x, float y) {
    if (verbs_.empty()) moveTo(0, 0);
    verbs_.push_back(Verb::kQuad);
    points_.push_back({cx, cy});
    points_.push_back({x, y});
}

void Path::close() {
    if (!verbs_.empty()) verbs_.push_back(Verb::kClose);
}

void Path::addRect(float x, float y, float w, float h) {
    moveTo(x, y);
    lineTo(x + w, y);
    lineTo(x + w, y + h);
    lineTo(x, y + h);
    close();
}

Rect Path::bounds(const Matrix& m) const {
    if (points_.empty()) return {};
    Rect r{INFINITY, INFINITY, -INFINITY, -INFINITY};
    for (const Point& p : points_) {
        const Point q = m.apply(p);
        r.x0 = std::min(r.x0, q.x);
        r.y0 = std::min(r.y0, q.y);
        r.x1 = std::max(r.x1, q.x);
        r.y1 = std::max(r.y1, q.y);
    }
    return r;
}

int QuadSegments(Point p0, Point c, Point p1, float tolerance) {
    // The deviation of a quadratic from its chord is at most |p0 - 2c + p1| / 4; n segments
    // divide it by n squared.
    const float dx = p0.x - 2 * c.x + p1.x, dy = p0.y - 2 * c.y + p1.y;
    const float deviation = std::sqrt(dx * dx + dy * dy) * 0.25f;
    if (!(deviation > tolerance)) return 1;
    const float n = std::ceil(std::sqrt(deviation / tolerance));
    return n > 1024 ? 1024 : static_cast<int>(n);  // also catches NaN and infinities
}

void FlattenPath(const Path& path, const Matrix& m, float tolerance, LineSink& sink) {
    const std::vector<Path::Verb>& verbs = path.verbs();
    const std::vector<Point>& pts = path.points();
    size_t pi = 0;
    Point start{}, current{};
    bool open = false;
    auto finish = [&] {
        if (open && (current.x != start.x || current.y != start.y)) sink.line(current, start);
        open = false;
    };
    for (Path::Verb verb : verbs) {
        switch (verb) {
            case Path::Verb::kMove:
                finish();
                start = current = m.apply(pts[pi++]);
                open = true;
                break;
            case Path::Verb::kLine: {
                const Point p = m.apply(pts[pi++]);
                sink.line(current, p);
                current = p;
                break;
            }
            case Path::Verb::kQuad: {
                const Point c = m.apply(pts[pi]);
                const Point p = m.apply(pts[pi + 1]);
                pi += 2;
                const int n = QuadSegments(current, c, p, tolerance);
                Point prev = current;
                for (int i = 1; i <= n; ++i) {
                    const Point q = i == n ? p : QuadPoint(current, c, p, float(i) / float(n));
                    sink.line(prev, q);
                    prev = q;
                }
                current = p;
                break;
            }
            case Path::Verb::kClose:
                finish();
                current = start;
                break;
        }
    }
    finish();
}

}  // namespace raster
