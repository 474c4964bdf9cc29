#include "movie/display/hit_test.h"

#include <algorithm>
#include <cmath>

namespace movie {

namespace {

// The winding a segment adds for a ray from (x, y) to the right: +1 going down across it,
// -1 going up.
int Crossing(raster::Point a, raster::Point b, double x, double y) {
    if ((a.y <= y) == (b.y <= y)) return 0;
    const double t = (y - a.y) / (static_cast<double>(b.y) - a.y);
    const double cx = a.x + t * (static_cast<double>(b.x) - a.x);
    if (cx <= x) return 0;
    return b.y > a.y ? 1 : -1;
}

constexpr int kCurveSteps = 16;

raster::Point OnQuad(raster::Point a, raster::Point c, raster::Point b, float t) {
    const float u = 1 - t;
    return {u * u * a.x + 2 * u * t * c.x + t * t * b.x, u * u * a.y + 2 * u * t * c.y + t * t * b.y};
}

double SegmentDistance(raster::Point a, raster::Point b, double x, double y) {
    const double dx = static_cast<double>(b.x) - a.x, dy = static_cast<double>(b.y) - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((x - a.x) * dx + (y - a.y) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(a.x + t * dx - x, a.y + t * dy - y);
}

bool NearPath(const raster::Path& path, double x, double y, double reach) {
    const auto& points = path.points();
    size_t p = 0;
    raster::Point pen{0, 0}, start{0, 0};
    for (raster::Path::Verb v : path.verbs()) {
        switch (v) {
            case raster::Path::Verb::kMove: pen = start = points[p++]; break;
            case raster::Path::Verb::kLine:
                if (SegmentDistance(pen, points[p], x, y) <= reach) return true;
                pen = points[p++];
                break;
            case raster::Path::Verb::kQuad: {
                raster::Point from = pen;
                for (int k = 1; k <= kCurveSteps; ++k) {
                    const raster::Point to = OnQuad(pen, points[p], points[p + 1], static_cast<float>(k) / kCurveSteps);
                    if (SegmentDistance(from, to, x, y) <= reach) return true;
                    from = to;
                }
                pen = points[p + 1];
                p += 2;
                break;
            }
            case raster::Path::Verb::kClose:
                if (SegmentDistance(pen, start, x, y) <= reach) return true;
                pen = start;
                break;
        }
    }
    return false;
}

}  // namespace

bool HitsGeometry(const ShapeGeometry& g, double x, double y) {
    std::vector<int> winding;
    for (const StyleGroup& group : g.groups) {
        winding.assign(group.fills.size(), 0);
        for (const ShapeEdge& e : group.edges) {
            if (e.style >= winding.size()) continue;
            if (!e.curved) {
                winding[e.style] += Crossing(e.from, e.to, x, y);
                continue;
            }
            raster::Point from = e.from;
            for (int k = 1; k <= kCurveSteps; ++k) {
                const raster::Point to = OnQuad(e.from, e.control, e.to, static_cast<float>(k) / kCurveSteps);
                winding[e.style] += Crossing(from, to, x, y);
                from = to;
            }
        }
        const bool evenOdd = g.evenOdd;
        if (std::any_of(winding.begin(), winding.end(), [evenOdd](int w) { return evenOdd ? w % 2 != 0 : w != 0; })) return true;
        for (size_t i = 0; i < group.lines.size() && i < group.linePaths.size(); ++i) {
            const double reach = std::max(group.lines[i].width / 2.0, 10.0);  // a hairline is a pixel wide
            if (NearPath(group.linePaths[i], x, y, reach)) return true;
        }
    }
    return false;
}

bool HitsShape(const DisplayObject& o, MorphCache& morphs, double x, double y, int nesting) {
    if (nesting > kMaxSpriteNesting) return false;
    // A level's root has no character: only its timeline.
    switch (o.character != nullptr ? o.character->kind() : Character::Kind::kSprite) {
        case Character::Kind::kShape: return HitsGeometry(o.character->shape(), x, y);
        case Character::Kind::kMorph: return HitsGeometry(morphs.at(o.character, o.ratio), x, y);
        case Character::Kind::kText: {
            const swf::Matrix& m = o.character->text().matrix;
            const swf::Rect& b = o.character->text().bounds;
            return x >= m.translateX + b.xMin && x <= m.translateX + b.xMax && y >= m.translateY + b.yMin &&
                   y <= m.translateY + b.yMax;
        }
        case Character::Kind::kEditText: {
            const swf::Rect& b = o.character->edit().bounds;
            return x >= b.xMin && x <= b.xMax && y >= b.yMin && y <= b.yMax;
        }
        case Character::Kind::kVideo: return HitsGeometry(o.character->video().rectangle, x, y);
        default: break;
    }
    const TimelineInstance* sprite = o.sprite();
    if (sprite == nullptr) return false;
    if (sprite->drawing && HitsGeometry(sprite->drawing->geometry(), x, y)) return true;
    for (const auto& [depth, child] : sprite->displayList) {
        // Masks themselves are not hit.
        if (child.clipDepth > 0 || !child.visible) continue;
        const swf::Matrix& m = child.matrix;
        const double det = static_cast<double>(m.scaleX) * m.scaleY - static_cast<double>(m.rotateSkew0) * m.rotateSkew1;
        if (det == 0) continue;
        const double px = x - m.translateX, py = y - m.translateY;
        const double lx = (m.scaleY * px - m.rotateSkew1 * py) / det, ly = (-m.rotateSkew0 * px + m.scaleX * py) / det;
        if (HitsShape(child, morphs, lx, ly, nesting + 1)) return true;
    }
    return false;
}

}  // namespace movie
