#include "movie/morph.h"

#include <algorithm>
#include <cmath>

namespace movie {

namespace {

float Lerp(float a, float b, float t) { return a + (b - a) * t; }
int32_t LerpI(int32_t a, int32_t b, float t) { return static_cast<int32_t>(std::lround(Lerp(float(a), float(b), t))); }
uint8_t LerpU8(uint8_t a, uint8_t b, float t) { return static_cast<uint8_t>(std::clamp(std::lround(Lerp(a, b, t)), 0L, 255L)); }
swf::Color LerpColor(swf::Color a, swf::Color b, float t) {
    return {LerpU8(a.r, b.r, t), LerpU8(a.g, b.g, t), LerpU8(a.b, b.b, t), LerpU8(a.a, b.a, t)};
}
swf::Matrix LerpMatrix(const swf::Matrix& a, const swf::Matrix& b, float t) {
    return {Lerp(a.scaleX, b.scaleX, t), Lerp(a.scaleY, b.scaleY, t), Lerp(a.rotateSkew0, b.rotateSkew0, t),
            Lerp(a.rotateSkew1, b.rotateSkew1, t), LerpI(a.translateX, b.translateX, t), LerpI(a.translateY, b.translateY, t)};
}

swf::FillStyle LerpFill(const swf::FillStyle& a, const swf::FillStyle& b, float t) {
    swf::FillStyle f = a;
    f.color = LerpColor(a.color, b.color, t);
    f.matrix = LerpMatrix(a.matrix, b.matrix, t);
    for (size_t i = 0; i < f.gradient.records.size() && i < b.gradient.records.size(); ++i) {
        f.gradient.records[i].ratio = LerpU8(a.gradient.records[i].ratio, b.gradient.records[i].ratio, t);
        f.gradient.records[i].color = LerpColor(a.gradient.records[i].color, b.gradient.records[i].color, t);
    }
    f.gradient.focalPoint = Lerp(a.gradient.focalPoint, b.gradient.focalPoint, t);
    return f;
}

bool IsEdge(const swf::ShapeRecord& r) { return !std::holds_alternative<swf::StyleChangeRecord>(r); }
bool IsCurve(const swf::ShapeRecord& r) { return std::holds_alternative<swf::CurvedEdgeRecord>(r); }

// The pen a style change moves to, if it moves it.
void FollowMove(const swf::ShapeRecord& r, float& x, float& y) {
    const auto& change = std::get<swf::StyleChangeRecord>(r);
    if (change.moveTo) {
        x = static_cast<float>(change.moveTo->x);
        y = static_cast<float>(change.moveTo->y);
    }
}

// An edge as a curve: a straight edge's control point sits at its middle.
void AsCurve(const swf::ShapeRecord& r, float& cx, float& cy, float& ax, float& ay) {
    if (const auto* curve = std::get_if<swf::CurvedEdgeRecord>(&r)) {
        cx = float(curve->controlDx);
        cy = float(curve->controlDy);
        ax = float(curve->anchorDx);
        ay = float(curve->anchorDy);
    } else {
        const auto& edge = std::get<swf::StraightEdgeRecord>(r);
        cx = float(edge.dx) / 2;
        cy = float(edge.dy) / 2;
        ax = float(edge.dx) - cx;
        ay = float(edge.dy) - cy;
    }
}

}  // namespace


swf::Shape MorphAt(const MorphDefinition& m, float t, swf::Rect& bounds) {
    t = std::clamp(t, 0.0f, 1.0f);
    bounds = {LerpI(m.startBounds.xMin, m.endBounds.xMin, t), LerpI(m.startBounds.xMax, m.endBounds.xMax, t),
              LerpI(m.startBounds.yMin, m.endBounds.yMin, t), LerpI(m.startBounds.yMax, m.endBounds.yMax, t)};
    swf::Shape out;
    for (size_t i = 0; i < m.startFills.size(); ++i) out.fills.push_back(LerpFill(m.startFills[i], m.endFills[i], t));
    for (size_t i = 0; i < m.startLines.size(); ++i) {
        swf::LineStyle l = m.startLines[i];
        const swf::LineStyle& b = m.endLines[i];
        l.width = static_cast<uint16_t>(LerpI(l.width, b.width, t));
        l.color = LerpColor(l.color, b.color, t);
        if (l.hasFill) l.fill = LerpFill(l.fill, b.fill, t);
        out.lines.push_back(l);
    }
    // Positions are interpolated as absolute points and the deltas taken between the
    // rounded results, so outlines that close in both shapes close here too.
    const auto& start = m.startEdges.records;
    const auto& end = m.endEdges.records;
    float sx = 0, sy = 0, ex = 0, ey = 0;  // pens of the start and end shapes
    int32_t px = 0, py = 0;                // pen of the shape made here
    auto at = [&](float a, float b) { return static_cast<int32_t>(std::lround(Lerp(a, b, t))); };
    size_t j = 0;  // the end record matching the next start record
    for (const swf::ShapeRecord& s : start) {
        if (!IsEdge(s)) {
            swf::StyleChangeRecord change = std::get<swf::StyleChangeRecord>(s);
            if (j < end.size() && !IsEdge(end[j])) FollowMove(end[j++], ex, ey);
            if (change.moveTo) {
                sx = float(change.moveTo->x);
                sy = float(change.moveTo->y);
                change.moveTo->x = px = at(sx, ex);
                change.moveTo->y = py = at(sy, ey);
            }
            out.records.emplace_back(std::move(change));
            continue;
        }
        while (j < end.size() && !IsEdge(end[j])) FollowMove(end[j++], ex, ey);  // a move in the end shape alone
        float scx, scy, sax, say, ecx = 0, ecy = 0, eax = 0, eay = 0;
        AsCurve(s, scx, scy, sax, say);
        bool curved = IsCurve(s);
        if (j < end.size()) {
            AsCurve(end[j], ecx, ecy, eax, eay);
            curved = curved || IsCurve(end[j]);
            ++j;
        } else {  // an end shape with fewer edges: the start edge stands
            ecx = scx;
            ecy = scy;
            eax = sax;
            eay = say;
        }
        const int32_t cx = at(sx + scx, ex + ecx), cy = at(sy + scy, ey + ecy);
        sx += scx + sax;
        sy += scy + say;
        ex += ecx + eax;
        ey += ecy + eay;
        const int32_t ax = at(sx, ex), ay = at(sy, ey);
        if (curved) {
            out.records.emplace_back(swf::CurvedEdgeRecord{cx - px, cy - py, ax - cx, ay - cy});
        } else {
            out.records.emplace_back(swf::StraightEdgeRecord{ax - px, ay - py});
        }
        px = ax;
        py = ay;
    }
    return out;
}

}  // namespace movie
