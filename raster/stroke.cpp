#include "raster/stroke.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "raster/rasterizer.h"

namespace raster {

namespace {

constexpr float kHairlineWidth = 1;

Point Add(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
Point Sub(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
Point Mul(Point a, float k) { return {a.x * k, a.y * k}; }
float Cross(Point a, Point b) { return a.x * b.y - a.y * b.x; }
float Dot(Point a, Point b) { return a.x * b.x + a.y * b.y; }
float Length(Point a) { return std::sqrt(a.x * a.x + a.y * a.y); }

}  // namespace

float DeviceStrokeWidth(const StrokeStyle& style, const Matrix& m) {
    if (!(style.width > 0)) return kHairlineWidth;
    float w = style.width;
    if (!style.widthInDevice) {
        switch (style.scaling) {
            case StrokeScaling::kNormal:
                w *= std::sqrt(std::fabs(m.a * m.d - m.b * m.c));
                break;
            case StrokeScaling::kHorizontal:
                w *= std::hypot(m.a, m.b);
                break;
            case StrokeScaling::kVertical:
                w *= std::hypot(m.c, m.d);
                break;
            case StrokeScaling::kNone:
                break;
        }
    }
    return std::isfinite(w) && w > kHairlineWidth ? w : kHairlineWidth;
}

void Stroker::flatten(const Path& path, const Matrix& m, float tolerance) {
    points_.clear();
    lines_.clear();
    const auto& verbs = path.verbs();
    const auto& pts = path.points();
    size_t pi = 0;
    auto startLine = [&](Point p) {
        if (points_.size() >= kMaxRasterEdges) {
            overflow_ = true;
            if (!lines_.empty()) return;
        }
        lines_.push_back({static_cast<uint32_t>(points_.size()), 1, false, false});
        points_.push_back(p);
    };
    auto addPoint = [&](Point p) {
        if (lines_.empty()) startLine({0, 0});
        lines_.back().drawn = true;
        const Point last = points_.back();
        if (last.x == p.x && last.y == p.y) return;  // repeated points make no segment
        if (points_.size() >= kMaxRasterEdges) {
            overflow_ = true;
            return;
        }
        points_.push_back(p);
        ++lines_.back().count;
    };
    for (Path::Verb verb : verbs) {
        switch (verb) {
            case Path::Verb::kMove:
                startLine(m.apply(pts[pi++]));
                break;
            case Path::Verb::kLine:
                addPoint(m.apply(pts[pi++]));
                break;
            case Path::Verb::kQuad: {
                if (lines_.empty()) startLine({0, 0});
                const Point p0 = points_.back();
                const Point c = m.apply(pts[pi]), p1 = m.apply(pts[pi + 1]);
                pi += 2;
                const int n = QuadSegments(p0, c, p1, tolerance);
                for (int i = 1; i <= n; ++i) {
                    addPoint(i == n ? p1 : QuadPoint(p0, c, p1, float(i) / float(n)));
                }
                break;
            }
            case Path::Verb::kClose:
                if (!lines_.empty()) {
                    Polyline& l = lines_.back();
                    l.closed = true;
                    const Point first = points_[l.first];
                    startLine(first);  // drawing after a close starts again at the subpath's start
                }
                break;
        }
    }
    // A subpath that ends where it began is closed: it is joined there, not capped.
    for (Polyline& l : lines_) {
        if (l.count > 2) {
            const Point a = points_[l.first], b = points_[l.first + l.count - 1];
            if (a.x == b.x && a.y == b.y) {
                l.closed = true;
                --l.count;
            }
        }
    }
}

// Adds a closed polygon wound counter-clockwise in device space (positive shoelace area).
void Stroker::polygon(const Point* pts, int count, LineSink& sink) {
    float area = 0;
    for (int i = 0; i < count; ++i) area += Cross(pts[i], pts[(i + 1) % count]);
    if (area == 0) return;
    for (int i = 0; i < count; ++i) {
        const int a = area > 0 ? i : count - 1 - i;
        const int b = area > 0 ? (i + 1) % count : (2 * count - 2 - i) % count;
        sink.line(pts[a], pts[b]);
    }
}

namespace {

// The angle step of a polygonal arc of radius r within `tolerance`, with at least 16 steps
// to a full turn.
float ArcStep(float r, float tolerance) {
    const float step = 2 * std::acos(std::clamp(1 - tolerance / std::max(r, 1e-3f), -1.0f, 1.0f));
    return std::clamp(step, 2 * std::numbers::pi_v<float> / 512, 2 * std::numbers::pi_v<float> / 16);
}

// Chords of `step` cut area off a circle; pushing the vertices out by this factor gives the
// polygon the circle's area.
float AreaPreservingScale(float step) { return std::sqrt(step / std::sin(step)); }

}  // namespace

// Adds the points of an arc around `centre` from angle a0 to a1 (radians, either way round),
// excluding both ends.
void Stroker::arc(Point centre, float r, float a0, float a1, float tolerance) {
    const float sweep = a1 - a0;
    const int n = static_cast<int>(std::ceil(std::fabs(sweep) / ArcStep(r, tolerance)));
    if (n < 2) return;
    const float step = sweep / float(n);
    const float rr = r * AreaPreservingScale(std::fabs(step));
    for (int i = 1; i < n; ++i) {
        const float a = a0 + step * float(i);
        outline_.push_back({centre.x + rr * std::cos(a), centre.y + rr * std::sin(a)});
    }
}

void Stroker::disc(Point centre, float radius, float tolerance, LineSink& sink) {
    const int n = static_cast<int>(std::ceil(2 * std::numbers::pi_v<float> / ArcStep(radius, tolerance)));
    const float step = 2 * std::numbers::pi_v<float> / float(n);
    const float r = radius * AreaPreservingScale(step);
    outline_.clear();
    for (int i = 0; i < n; ++i) {
        const float a = step * float(i);
        outline_.push_back({centre.x + r * std::cos(a), centre.y + r * std::sin(a)});
    }
    polygon(outline_.data(), n, sink);
}

// One side of the outline at vertex b, where a segment of unit direction u1 meets one of
// direction u2; `side` +1 for the left offsets (in the direction of travel), -1 for the right.
void Stroker::join(Point b, Point u1, Point u2, float side, const StrokeStyle& style, float hw, float tolerance) {
    const Point n1{-u1.y * hw * side, u1.x * hw * side}, n2{-u2.y * hw * side, u2.x * hw * side};
    const float turn = Cross(u1, u2) * side;  // > 0: the path bends towards this side
    const float cosTheta = Dot(u1, u2);
    outline_.push_back(Add(b, n1));
    if (std::fabs(Cross(u1, u2)) < 1e-6f && cosTheta > 0) return;  // straight on
    if (turn > 0) {
        // The inner side: through the vertex itself. The small loop this makes lies inside
        // the stroke, where the non-zero rule fills it anyway.
        outline_.push_back(b);
    } else if (style.join == Join::kRound) {
        float a0 = std::atan2(n1.y, n1.x), a1 = std::atan2(n2.y, n2.x);
        // The short way round, on the outer side.
        if (a1 - a0 > std::numbers::pi_v<float>) a1 -= 2 * std::numbers::pi_v<float>;
        if (a0 - a1 > std::numbers::pi_v<float>) a1 += 2 * std::numbers::pi_v<float>;
        arc(b, hw, a0, a1, tolerance);
    } else if (style.join == Join::kMiter) {
        const float ratio = std::sqrt(2 / std::max(1 + cosTheta, 1e-12f));  // 1 / cos(theta / 2)
        if (ratio <= std::max(style.miterLimit, 1.0f)) outline_.push_back(Add(b, Mul(Add(n1, n2), 1 / (1 + cosTheta))));
    }
    outline_.push_back(Add(b, n2));
}

// The cap at endpoint p of a segment of unit direction u pointing out of the stroke: from
// the offset on one side round to the other.
void Stroker::cap(Point p, Point u, Cap kind, float hw, float tolerance) {
    const Point nrm{-u.y * hw, u.x * hw};  // left of u
    if (kind == Cap::kSquare) {
        outline_.push_back(Add(Add(p, nrm), Mul(u, hw)));
        outline_.push_back(Add(Sub(p, nrm), Mul(u, hw)));
    } else if (kind == Cap::kRound) {
        const float a0 = std::atan2(nrm.y, nrm.x);
        arc(p, hw, a0, a0 - std::numbers::pi_v<float>, tolerance);
    }
}

void Stroker::strokePolyline(const Polyline& line, const StrokeStyle& style, float hw, float tolerance,
                             LineSink& sink) {
    const Point* p = points_.data() + line.first;
    const int n = static_cast<int>(line.count);
    if (n == 1) {  // a dot: only its caps draw it
        if (style.startCap == Cap::kRound) disc(p[0], hw, tolerance, sink);
        if (style.startCap == Cap::kSquare) {
            const Point sq[4] = {{p[0].x - hw, p[0].y - hw}, {p[0].x + hw, p[0].y - hw},
                                 {p[0].x + hw, p[0].y + hw}, {p[0].x - hw, p[0].y + hw}};
            polygon(sq, 4, sink);
        }
        return;
    }
    auto dir = [&](int i) {  // unit direction of segment i (from point i to point i + 1)
        const Point d = Sub(p[(i + 1) % n], p[i]);
        return Mul(d, 1 / Length(d));
    };
    // An outline of more points than a fill may hold edges is cut: the rest could not be drawn.
    auto outlineFull = [&] {
        if (outline_.size() < kMaxRasterEdges) return false;
        overflow_ = true;
        return true;
    };
    auto emit = [&] {
        for (size_t i = 0; i < outline_.size(); ++i) sink.line(outline_[i], outline_[(i + 1) % outline_.size()]);
        outline_.clear();
    };
    outline_.clear();
    if (line.closed) {
        // Two loops, left offsets forwards and right offsets backwards: an outline and its hole.
        for (float side : {1.0f, -1.0f}) {
            for (int k = 0; k < n; ++k) {
                if (outlineFull()) break;
                const int i = side > 0 ? k : n - 1 - k;
                const Point u1 = dir((i + n - 1) % n), u2 = dir(i);
                if (side > 0) {
                    join(p[i], u1, u2, 1, style, hw, tolerance);
                } else {
                    join(p[i], Mul(u2, -1), Mul(u1, -1), 1, style, hw, tolerance);
                }
            }
            emit();
        }
        return;
    }
    // Forwards along the left side, round the end cap, back along the right, round the start.
    const Point first = dir(0), last = dir(n - 2);
    outline_.push_back(Add(p[0], Point{-first.y * hw, first.x * hw}));
    for (int i = 1; i < n - 1 && !outlineFull(); ++i) join(p[i], dir(i - 1), dir(i), 1, style, hw, tolerance);
    outline_.push_back(Add(p[n - 1], Point{-last.y * hw, last.x * hw}));
    cap(p[n - 1], last, style.endCap, hw, tolerance);
    outline_.push_back(Sub(p[n - 1], Point{-last.y * hw, last.x * hw}));
    for (int i = n - 2; i > 0 && !outlineFull(); --i) {
        join(p[i], Mul(dir(i), -1), Mul(dir(i - 1), -1), 1, style, hw, tolerance);
    }
    outline_.push_back(Sub(p[0], Point{-first.y * hw, first.x * hw}));
    cap(p[0], Mul(first, -1), style.startCap, hw, tolerance);
    emit();
}

void Stroker::stroke(const Path& path, const Matrix& m, const StrokeStyle& style, float tolerance, LineSink& sink) {
    flatten(path, m, tolerance);
    const float hw = DeviceStrokeWidth(style, m) / 2;
    for (const Polyline& line : lines_) {
        if (line.count == 1 && (line.closed || !line.drawn)) continue;
        strokePolyline(line, style, hw, tolerance, sink);
    }
}

}  // namespace raster
