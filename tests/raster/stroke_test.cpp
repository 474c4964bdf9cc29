// Strokes checked by their exact areas and by pixels whose coverage geometry fixes.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "raster/canvas.h"
#include "raster_test_util.h"

namespace {

using namespace raster;
using raster_test::Picture;

const Paint kWhite = Paint::Solid({255, 255, 255, 255});

double CoveredArea(const Picture& pic) {
    double area = 0;
    for (int y = 0; y < pic.height; ++y) {
        for (int x = 0; x < pic.width; ++x) area += pic.alpha(x, y) / 255.0;
    }
    return area;
}

Picture Stroke(int w, int h, const Path& path, const StrokeStyle& style, const Matrix& m = Matrix()) {
    Picture pic(w, h);
    Canvas(pic.target).strokePath(path, m, style, kWhite);
    return pic;
}

StrokeStyle Style(float width, Cap cap, Join join, float miterLimit = 3) {
    StrokeStyle s;
    s.width = width;
    s.startCap = s.endCap = cap;
    s.join = join;
    s.miterLimit = miterLimit;
    return s;
}

Path Line(float x0, float y0, float x1, float y1) {
    Path p;
    p.moveTo(x0, y0);
    p.lineTo(x1, y1);
    return p;
}

TEST(Stroke, ButtCapsEndAtTheEndpoints) {
    const Picture pic = Stroke(16, 10, Line(2, 5, 12, 5), Style(2, Cap::kNone, Join::kRound));
    EXPECT_EQ(pic.alpha(5, 4), 255u);
    EXPECT_EQ(pic.alpha(5, 5), 255u);
    EXPECT_EQ(pic.alpha(5, 3), 0u);
    EXPECT_EQ(pic.alpha(5, 6), 0u);
    EXPECT_EQ(pic.alpha(1, 4), 0u);
    EXPECT_EQ(pic.alpha(2, 4), 255u);
    EXPECT_EQ(pic.alpha(11, 4), 255u);
    EXPECT_EQ(pic.alpha(12, 4), 0u);
    EXPECT_NEAR(CoveredArea(pic), 20, 0.05);
}

TEST(Stroke, SquareAndRoundCapsAddTheirAreas) {
    EXPECT_NEAR(CoveredArea(Stroke(16, 10, Line(2, 5, 12, 5), Style(2, Cap::kSquare, Join::kRound))), 24, 0.05);
    const double round = 20 + std::numbers::pi;  // two half discs of radius 1
    EXPECT_NEAR(CoveredArea(Stroke(16, 10, Line(2, 5, 12, 5), Style(2, Cap::kRound, Join::kRound))), round, 0.05);
}

TEST(Stroke, ClosedSquareJoins) {
    Path square;
    square.addRect(5, 5, 10, 10);
    // Outer 12 x 12 minus inner 8 x 8, less the corners each join leaves off.
    EXPECT_NEAR(CoveredArea(Stroke(20, 20, square, Style(2, Cap::kNone, Join::kMiter))), 80, 0.05);
    EXPECT_NEAR(CoveredArea(Stroke(20, 20, square, Style(2, Cap::kNone, Join::kBevel))), 78, 0.05);
    EXPECT_NEAR(CoveredArea(Stroke(20, 20, square, Style(2, Cap::kNone, Join::kRound))),
                80 - 4 * (1 - std::numbers::pi / 4), 0.06);
}

TEST(Stroke, PathEndingAtItsStartIsJoinedNotCapped) {
    Path loop;
    loop.moveTo(5, 5);
    loop.lineTo(15, 5);
    loop.lineTo(15, 15);
    loop.lineTo(5, 15);
    loop.lineTo(5, 5);  // back to the start without a close
    EXPECT_NEAR(CoveredArea(Stroke(20, 20, loop, Style(2, Cap::kRound, Join::kMiter))), 80, 0.05);
}

TEST(Stroke, MiterLimitTurnsSharpMitersIntoBevels) {
    // A 30-degree spike: the miter reaches 1 / sin(15 deg) = 3.86 half-widths from the tip.
    Path spike;
    spike.moveTo(4, 30);
    spike.lineTo(40, 20);
    spike.lineTo(4, 10);
    const Picture sharp = Stroke(60, 40, spike, Style(4, Cap::kNone, Join::kMiter, 4));
    const Picture cut = Stroke(60, 40, spike, Style(4, Cap::kNone, Join::kMiter, 3.5f));
    const Picture bevel = Stroke(60, 40, spike, Style(4, Cap::kNone, Join::kBevel));
    EXPECT_GE(sharp.alpha(43, 20), 250u) << "inside the miter, 3 px past the vertex";
    EXPECT_EQ(cut.alpha(43, 20), 0u);
    EXPECT_EQ(cut.pixels, bevel.pixels);
    // The miter adds a kite where the bevel has a triangle: with theta the angle between the
    // two segments' normals, hw^2 tan(theta / 2) against hw^2 sin(theta) / 2.
    const double hw = 2, halfTheta = std::numbers::pi / 2 - std::atan(10.0 / 36.0);
    const double extra = hw * hw * (std::tan(halfTheta) - std::sin(2 * halfTheta) / 2);
    EXPECT_NEAR(CoveredArea(sharp) - CoveredArea(bevel), extra, 0.3);
}

TEST(Stroke, HairlinesAreOneDevicePixelAtAnyScale) {
    StrokeStyle hair = Style(0, Cap::kNone, Join::kRound);
    const Picture pic = Stroke(20, 20, Line(0.2f, 0.55f, 1.8f, 0.55f), hair, Matrix::scale(10, 10));
    EXPECT_EQ(pic.alpha(10, 5), 255u);
    EXPECT_EQ(pic.alpha(10, 4), 0u);
    EXPECT_EQ(pic.alpha(10, 6), 0u);
    EXPECT_NEAR(CoveredArea(pic), 16, 0.05);
}

TEST(Stroke, WidthFollowsTheScalingMode) {
    const Matrix m = Matrix::scale(3, 1);
    StrokeStyle s = Style(2, Cap::kNone, Join::kRound);
    EXPECT_FLOAT_EQ(DeviceStrokeWidth(s, m), 2 * std::sqrt(3.0f));
    s.scaling = StrokeScaling::kHorizontal;
    EXPECT_FLOAT_EQ(DeviceStrokeWidth(s, m), 6);
    s.scaling = StrokeScaling::kVertical;
    EXPECT_FLOAT_EQ(DeviceStrokeWidth(s, m), 2);
    s.scaling = StrokeScaling::kNone;
    EXPECT_FLOAT_EQ(DeviceStrokeWidth(s, m), 2);
    s.scaling = StrokeScaling::kNormal;
    s.widthInDevice = true;
    EXPECT_FLOAT_EQ(DeviceStrokeWidth(s, Matrix::scale(20, 20)), 2);
    s.widthInDevice = false;
    s.width = 0.01f;
    EXPECT_FLOAT_EQ(DeviceStrokeWidth(s, Matrix()), 1) << "never thinner than a hairline";

    // Rendered: a vertical line in a horizontally scaled space, horizontal scaling mode.
    StrokeStyle horizontal = Style(2, Cap::kNone, Join::kRound);
    horizontal.scaling = StrokeScaling::kHorizontal;
    const Picture pic = Stroke(40, 20, Line(5, 2, 5, 18), horizontal, m);
    EXPECT_NEAR(CoveredArea(pic), 16 * 6, 0.1);
}

TEST(Stroke, DotsAndEmptyPaths) {
    Path dot;
    dot.moveTo(10, 10);
    dot.lineTo(10, 10);
    EXPECT_NEAR(CoveredArea(Stroke(20, 20, dot, Style(4, Cap::kRound, Join::kRound))), std::numbers::pi * 4, 0.1);
    EXPECT_NEAR(CoveredArea(Stroke(20, 20, dot, Style(4, Cap::kSquare, Join::kRound))), 16, 0.05);
    EXPECT_EQ(CoveredArea(Stroke(20, 20, dot, Style(4, Cap::kNone, Join::kRound))), 0);
    Path moves;
    moves.moveTo(3, 3);
    moves.moveTo(8, 8);
    EXPECT_EQ(CoveredArea(Stroke(20, 20, moves, Style(4, Cap::kRound, Join::kRound))), 0);
}

TEST(Stroke, CurvesKeepTheirWidth) {
    // A half circle of radius 20 drawn with quadratics, stroked 4 wide with butt caps: the
    // area is the half annulus, pi (22^2 - 18^2) / 2.
    Path arc;
    const int n = 8;
    const double r = 20, half = std::numbers::pi / (2 * n);
    arc.moveTo(float(30 + r), 30);
    for (int i = 0; i < n; ++i) {
        const double a = std::numbers::pi * i / n;
        const double cr = r / std::cos(half);
        arc.quadTo(float(30 + cr * std::cos(a + half)), float(30 + cr * std::sin(a + half)),
                   float(30 + r * std::cos(a + 2 * half)), float(30 + r * std::sin(a + 2 * half)));
    }
    const double expected = std::numbers::pi * (22 * 22 - 18 * 18) / 2;
    EXPECT_NEAR(CoveredArea(Stroke(60, 60, arc, Style(4, Cap::kNone, Join::kRound))), expected, expected * 0.01);
}

}  // namespace
