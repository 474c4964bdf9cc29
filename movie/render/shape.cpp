#include "movie/render/shape.h"

#include <algorithm>

namespace movie {

namespace {

raster::Rgba ToRgba(swf::Color c) { return {c.r, c.g, c.b, c.a}; }

// SWF gradients span -16384..16384 twips of their own square; the rasterizer's span -1..1.
constexpr float kGradientHalfSize = 16384.0f;

std::unique_ptr<raster::Gradient> MakeGradient(const swf::FillStyle& f) {
    raster::GradientKind kind = raster::GradientKind::kLinear;
    if (f.type == swf::FillType::kRadialGradient) kind = raster::GradientKind::kRadial;
    if (f.type == swf::FillType::kFocalGradient) kind = raster::GradientKind::kFocal;
    std::vector<raster::GradientStop> stops;
    for (const swf::GradientRecord& r : f.gradient.records) stops.push_back({r.ratio, ToRgba(r.color)});
    const raster::Spread spread = f.gradient.spread == swf::SpreadMode::kReflect  ? raster::Spread::kReflect
                                  : f.gradient.spread == swf::SpreadMode::kRepeat ? raster::Spread::kRepeat
                                                                                  : raster::Spread::kPad;
    const raster::Interpolation interpolation = f.gradient.interpolation == swf::InterpolationMode::kLinear
                                                    ? raster::Interpolation::kLinearRgb
                                                    : raster::Interpolation::kSrgb;
    return std::make_unique<raster::Gradient>(kind, std::move(stops), spread, interpolation, f.gradient.focalPoint);
}

bool IsGradient(swf::FillType t) {
    return t == swf::FillType::kLinearGradient || t == swf::FillType::kRadialGradient ||
           t == swf::FillType::kFocalGradient;
}

}  // namespace

void AddStyleGroup(ShapeGeometry& g, const std::vector<swf::FillStyle>& fills, const std::vector<swf::LineStyle>& lines) {
    StyleGroup group;
    group.fills = fills;
    group.lines = lines;
    for (const swf::FillStyle& f : fills) group.gradients.push_back(IsGradient(f.type) ? MakeGradient(f) : nullptr);
    group.linePaths.resize(lines.size());
    g.groups.push_back(std::move(group));
}

raster::Matrix ToRasterMatrix(const swf::Matrix& m) {
    return {m.scaleX, m.rotateSkew0, m.rotateSkew1, m.scaleY, static_cast<float>(m.translateX),
            static_cast<float>(m.translateY)};
}

raster::ColorTransform ToRasterTransform(const swf::ColorTransform& cx) {
    return {cx.mulR / 256.0f, cx.mulG / 256.0f, cx.mulB / 256.0f, cx.mulA / 256.0f,
            static_cast<float>(cx.addR), static_cast<float>(cx.addG), static_cast<float>(cx.addB),
            static_cast<float>(cx.addA)};
}

ShapeGeometry BuildGlyphGeometry(swf::Shape outline) {
    swf::FillStyle white;
    white.type = swf::FillType::kSolid;
    white.color = {255, 255, 255, 255};
    outline.fills = {white};
    outline.nonZero = true;  // outlines of system fonts overlap their contours
    return BuildShapeGeometry(outline, swf::Rect{});
}

ShapeGeometry BuildShapeGeometry(const swf::Shape& shape, const swf::Rect& bounds) {
    ShapeGeometry g;
    g.bounds = bounds;
    g.evenOdd = !shape.nonZero;
    AddStyleGroup(g, shape.fills, shape.lines);
    uint32_t fill0 = 0, fill1 = 0, line = 0;
    raster::Point pen{0, 0};
    bool lineOpen = false;  // the current line style's path continues at the pen
    for (const swf::ShapeRecord& rec : shape.records) {
        if (const auto* change = std::get_if<swf::StyleChangeRecord>(&rec)) {
            if (change->newStyles) {
                AddStyleGroup(g, change->newStyles->fills, change->newStyles->lines);
                fill0 = fill1 = line = 0;
            }
            if (change->fill0) fill0 = *change->fill0;
            if (change->fill1) fill1 = *change->fill1;
            if (change->line) line = *change->line;
            if (change->moveTo) pen = {static_cast<float>(change->moveTo->x), static_cast<float>(change->moveTo->y)};
            lineOpen = false;
            continue;
        }
        StyleGroup& group = g.groups.back();
        const auto* curve = std::get_if<swf::CurvedEdgeRecord>(&rec);
        const bool curved = curve != nullptr;
        raster::Point c, to;
        if (curve != nullptr) {
            c = {pen.x + static_cast<float>(curve->controlDx), pen.y + static_cast<float>(curve->controlDy)};
            to = {c.x + static_cast<float>(curve->anchorDx), c.y + static_cast<float>(curve->anchorDy)};
        } else {
            const auto& edge = std::get<swf::StraightEdgeRecord>(rec);
            to = {pen.x + static_cast<float>(edge.dx), pen.y + static_cast<float>(edge.dy)};
            c = to;
        }
        // Style indexes are 1-based; indexes past the arrays (damaged files) draw nothing.
        if (fill1 > 0 && fill1 <= group.fills.size()) group.edges.push_back({fill1 - 1, pen, to, c, curved});
        if (fill0 > 0 && fill0 <= group.fills.size()) group.edges.push_back({fill0 - 1, to, pen, c, curved});
        if (line > 0 && line <= group.lines.size()) {
            raster::Path& path = group.linePaths[line - 1];
            if (!lineOpen) path.moveTo(pen.x, pen.y);
            if (curved) {
                path.quadTo(c.x, c.y, to.x, to.y);
            } else {
                path.lineTo(to.x, to.y);
            }
            lineOpen = true;
        }
        pen = to;
    }
    return g;
}

namespace {

bool IsBitmap(swf::FillType t) {
    return t == swf::FillType::kRepeatingBitmap || t == swf::FillType::kClippedBitmap ||
           t == swf::FillType::kNonSmoothedRepeatingBitmap || t == swf::FillType::kNonSmoothedClippedBitmap;
}

raster::Paint FillPaint(const StyleGroup& group, size_t i, const raster::Matrix& toDevice, const raster::ColorTransform& cx,
                        const BitmapSource* bitmaps) {
    const swf::FillStyle& f = group.fills[i];
    raster::Paint paint;
    if (IsGradient(f.type) && group.gradients[i]) {
        paint = raster::Paint::WithGradient(*group.gradients[i], toDevice * ToRasterMatrix(f.matrix) *
                                                                     raster::Matrix::scale(kGradientHalfSize, kGradientHalfSize));
    } else if (f.type == swf::FillType::kSolid) {
        paint = raster::Paint::Solid(ToRgba(f.color));
    } else if (const raster::Bitmap* b = IsBitmap(f.type) && bitmaps ? bitmaps->bitmap(f.bitmapId) : nullptr) {
        // The fill's matrix maps the bitmap's pixels into the shape's twips.
        const bool repeat = f.type == swf::FillType::kRepeatingBitmap || f.type == swf::FillType::kNonSmoothedRepeatingBitmap;
        const bool smooth = f.type == swf::FillType::kRepeatingBitmap || f.type == swf::FillType::kClippedBitmap;
        paint = raster::Paint::WithBitmap(*b, toDevice * ToRasterMatrix(f.matrix), repeat, smooth);
    } else {
        paint = raster::Paint::Solid({0, 0, 0, 0});  // a bitmap the movie does not define
    }
    paint.cx = cx;
    return paint;
}

raster::Cap ToCap(swf::CapStyle c) {
    return c == swf::CapStyle::kNone ? raster::Cap::kNone : c == swf::CapStyle::kSquare ? raster::Cap::kSquare : raster::Cap::kRound;
}

}  // namespace

void DrawShape(raster::Canvas& canvas, const ShapeGeometry& shape, const raster::Matrix& toDevice,
               const raster::ColorTransform& cx, bool antiAlias, std::vector<raster::Paint>& paints,
               const BitmapSource* bitmaps) {
    raster::FillOptions options;
    options.antiAlias = antiAlias;
    options.rule = shape.evenOdd ? raster::FillRule::kEvenOdd : raster::FillRule::kNonZero;
    for (const StyleGroup& group : shape.groups) {
        if (!group.edges.empty()) {
            canvas.beginShape();
            for (const ShapeEdge& e : group.edges) {
                const raster::Point a = toDevice.apply(e.from), b = toDevice.apply(e.to);
                if (e.curved) {
                    canvas.addShapeQuad(e.style, a, toDevice.apply(e.control), b);
                } else {
                    canvas.addShapeLine(e.style, a, b);
                }
            }
            paints.clear();
            for (size_t i = 0; i < group.fills.size(); ++i) paints.push_back(FillPaint(group, i, toDevice, cx, bitmaps));
            canvas.fillShape(paints, options);
        }
        for (size_t i = 0; i < group.lines.size(); ++i) {
            if (group.linePaths[i].empty()) continue;
            const swf::LineStyle& l = group.lines[i];
            raster::StrokeStyle style;
            style.width = static_cast<float>(l.width);  // twips, scaled by the matrix
            style.scaling = l.noHScale && l.noVScale ? raster::StrokeScaling::kNone
                            : l.noHScale             ? raster::StrokeScaling::kVertical
                            : l.noVScale             ? raster::StrokeScaling::kHorizontal
                                                     : raster::StrokeScaling::kNormal;
            if (style.scaling == raster::StrokeScaling::kNone) {
                style.width /= 20.0f;  // unscaled widths are still twips: 20 to a pixel
                style.widthInDevice = true;
            }
            style.startCap = ToCap(l.startCap);
            style.endCap = ToCap(l.endCap);
            style.join = l.join == swf::JoinStyle::kBevel   ? raster::Join::kBevel
                         : l.join == swf::JoinStyle::kMiter ? raster::Join::kMiter
                                                            : raster::Join::kRound;
            style.miterLimit = l.miterLimit;
            raster::Paint paint = raster::Paint::Solid(ToRgba(l.color));
            paint.cx = cx;
            canvas.strokePath(group.linePaths[i], toDevice, style, paint, options);
        }
    }
}

}  // namespace movie
