// Coverage checked against areas computed from geometry.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "raster/canvas.h"
#include "raster_test_util.h"

namespace {

using namespace raster;
using raster_test::AreaInPixel;
using raster_test::Picture;
using raster_test::PolygonPath;

const Paint kWhite = Paint::Solid({255, 255, 255, 255});

// Fills the convex polygon in white on a transparent picture and checks every pixel's alpha
// against 255 times the polygon's area in that pixel, within one step.
void ExpectExactCoverage(const std::vector<Point>& poly, int w, int h) {
    Picture pic(w, h);
    Canvas canvas(pic.target);
    canvas.fillPath(PolygonPath(poly), Matrix(), kWhite);
    int worst = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double expected = 255.0 * AreaInPixel(poly, x, y);
            const int diff = static_cast<int>(std::lround(std::fabs(pic.alpha(x, y) - expected)));
            worst = std::max(worst, diff);
            EXPECT_LE(std::fabs(pic.alpha(x, y) - expected), 1.0) << "pixel " << x << "," << y;
        }
    }
}

TEST(Coverage, RectanglesAtFractionalPositionsCoverTheirArea) {
    const float rects[][4] = {{1.25f, 2.5f, 4.75f, 5.3f}, {0.1f, 0.1f, 0.2f, 7.9f}, {2.5f, 2.5f, 3.5f, 3.5f},
                              {0.0f, 0.0f, 8.0f, 8.0f}, {3.01f, 0.5f, 3.02f, 6.5f}};
    for (const auto& r : rects) {
        ExpectExactCoverage({{r[0], r[1]}, {r[2], r[1]}, {r[2], r[3]}, {r[0], r[3]}}, 8, 8);
    }
}

TEST(Coverage, TrianglesAtFractionalPositionsCoverTheirArea) {
    ExpectExactCoverage({{0.3f, 0.7f}, {7.6f, 2.2f}, {2.9f, 7.4f}}, 8, 8);
    ExpectExactCoverage({{4.5f, 0.25f}, {7.75f, 7.75f}, {0.25f, 7.5f}}, 8, 8);
    ExpectExactCoverage({{1.1f, 1.1f}, {1.9f, 6.8f}, {1.2f, 6.9f}}, 8, 8);   // a sliver
    ExpectExactCoverage({{0.5f, 3.3f}, {7.5f, 3.6f}, {7.4f, 4.1f}}, 8, 8);   // nearly flat
}

TEST(Coverage, DirectionOfTheOutlineDoesNotMatter) {
    ExpectExactCoverage({{2.9f, 7.4f}, {7.6f, 2.2f}, {0.3f, 0.7f}}, 8, 8);
}

// A five-pointed star drawn in one stroke: its centre pentagon has winding number 2.
Path Pentagram(float cx, float cy, float r) {
    Path p;
    for (int i = 0; i < 5; ++i) {
        const double angle = -std::numbers::pi / 2 + i * 4 * std::numbers::pi / 5;
        const float x = cx + r * float(std::cos(angle)), y = cy + r * float(std::sin(angle));
        if (i == 0) {
            p.moveTo(x, y);
        } else {
            p.lineTo(x, y);
        }
    }
    p.close();
    return p;
}

TEST(Coverage, WindingRulesOnASelfIntersectingStar) {
    for (FillRule rule : {FillRule::kNonZero, FillRule::kEvenOdd}) {
        Picture pic(64, 64);
        Canvas canvas(pic.target);
        FillOptions o;
        o.rule = rule;
        canvas.fillPath(Pentagram(32, 32, 30), Matrix(), kWhite, o);
        EXPECT_EQ(pic.alpha(32, 33), rule == FillRule::kNonZero ? 255u : 0u) << "centre";
        EXPECT_EQ(pic.alpha(32, 6), 255u) << "top point";
        EXPECT_EQ(pic.alpha(2, 2), 0u) << "outside";
    }
}

TEST(Coverage, OverlappingSubpathsFollowTheRule) {
    Path twice;
    twice.addRect(1, 1, 6, 6);
    twice.addRect(3, 3, 2, 2);  // same direction: winding 2 inside
    FillOptions evenOdd;
    evenOdd.rule = FillRule::kEvenOdd;
    Picture nz(8, 8), eo(8, 8);
    Canvas(nz.target).fillPath(twice, Matrix(), kWhite);
    Canvas(eo.target).fillPath(twice, Matrix(), kWhite, evenOdd);
    EXPECT_EQ(nz.alpha(4, 4), 255u);
    EXPECT_EQ(eo.alpha(4, 4), 0u);
    EXPECT_EQ(eo.alpha(2, 2), 255u);
}

TEST(Coverage, WithoutAntiAliasingPixelsAreWholeByTheirCentres) {
    Picture pic(6, 6);
    FillOptions aliased;
    aliased.antiAlias = false;
    Path rect;
    rect.addRect(1.3f, 1.6f, 2.4f, 2.0f);  // x 1.3..3.7, y 1.6..3.6
    Canvas(pic.target).fillPath(rect, Matrix(), kWhite, aliased);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 6; ++x) {
            const bool inside = x + 0.5 > 1.3 && x + 0.5 < 3.7 && y + 0.5 > 1.6 && y + 0.5 < 3.6;
            EXPECT_EQ(pic.alpha(x, y), inside ? 255u : 0u) << x << "," << y;
        }
    }
}

TEST(Coverage, SharedEdgeBetweenTwoStylesHasNoSeam) {
    // A square split along a slanted line into two fill styles of one shape.
    const std::vector<Point> left = {{1, 1}, {5.3f, 1}, {2.7f, 9}, {1, 9}};
    const std::vector<Point> right = {{5.3f, 1}, {9, 1}, {9, 9}, {2.7f, 9}};
    Picture pic(10, 10);
    Canvas canvas(pic.target);
    canvas.beginShape();
    canvas.addShapeRegion(0, PolygonPath(left), Matrix());
    canvas.addShapeRegion(1, PolygonPath(right), Matrix());
    canvas.fillShape({Paint::Solid({255, 0, 0, 255}), Paint::Solid({0, 0, 255, 255})});
    for (int y = 1; y < 9; ++y) {
        for (int x = 1; x < 9; ++x) EXPECT_EQ(pic.alpha(x, y), 255u) << x << "," << y;
    }
    // Along the seam the two colours share the pixel by their areas.
    const double redArea = AreaInPixel(left, 4, 4);
    EXPECT_NEAR(double((pic.at(4, 4) >> 16) & 0xFF), 255 * redArea, 1.5);
    EXPECT_NEAR(double(pic.at(4, 4) & 0xFF), 255 * (1 - redArea), 1.5);

    // Composited one after the other, the same two regions let the background through.
    Picture separate(10, 10);
    Canvas two(separate.target);
    two.fillPath(PolygonPath(left), Matrix(), Paint::Solid({255, 0, 0, 255}));
    two.fillPath(PolygonPath(right), Matrix(), Paint::Solid({0, 0, 255, 255}));
    EXPECT_LT(separate.alpha(4, 4), 255u);
}

TEST(Coverage, ClippingKeepsThePixelsInside) {
    // The same triangle on a large target and, shifted, on a small one that cuts it on
    // every side: the small one must equal the matching crop of the large one.
    const std::vector<Point> tri = {{-7.3f, 2.2f}, {30.6f, -5.1f}, {9.9f, 28.4f}};
    Picture big(48, 48), small(12, 12);
    Canvas(big.target).fillPath(PolygonPath(tri), Matrix::translate(16, 16), kWhite);
    Canvas(small.target).fillPath(PolygonPath(tri), Matrix::translate(0, 0), kWhite);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            EXPECT_NEAR(double(small.alpha(x, y)), double(big.alpha(x + 16, y + 16)), 1.0) << x << "," << y;
        }
    }
    // Entirely outside: nothing drawn, nothing crashes.
    Picture none(4, 4);
    Canvas(none.target).fillPath(PolygonPath(tri), Matrix::translate(-100, -100), kWhite);
    Canvas(none.target).fillPath(PolygonPath(tri), Matrix::translate(100, 0), kWhite);
    for (uint32_t p : none.pixels) EXPECT_EQ(p, 0u);
}

TEST(Coverage, EitherRowOrderGivesThePicture) {
    const std::vector<Point> tri = {{0.3f, 0.7f}, {7.6f, 2.2f}, {2.9f, 7.4f}};
    Picture topDown(8, 8);
    Canvas(topDown.target).fillPath(PolygonPath(tri), Matrix(), kWhite);
    std::vector<uint32_t> dib(64, 0);
    Canvas(Target::BottomUp(dib.data(), 8, 8, 32)).fillPath(PolygonPath(tri), Matrix(), kWhite);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) EXPECT_EQ(dib[(7 - y) * 8 + x], topDown.at(x, y));
    }
}

TEST(Coverage, SourceOverMatchesItsFormula) {
    Picture pic(4, 4);
    Canvas canvas(pic.target);
    canvas.clear({0, 0, 255, 255});  // opaque blue
    Path all;
    all.addRect(0, 0, 4, 4);
    canvas.fillPath(all, Matrix(), Paint::Solid({255, 0, 0, 128}));  // half red
    const uint32_t p = pic.at(1, 1);
    // premultiplied red 128, blue 255 * (1 - 128/255) = 127
    EXPECT_NEAR(double((p >> 16) & 0xFF), 128, 1);
    EXPECT_NEAR(double(p & 0xFF), 127, 1);
    EXPECT_EQ(p >> 24, 255u);
}

TEST(Coverage, CurvesAreFilledWithinTheirTolerance) {
    // A circle of radius 20 from four quadratic arcs per quarter is within 0.1 px of its
    // flattening; the filled area is pi r^2 within the approximation of quadratics.
    Picture pic(48, 48);
    Path circle;
    const int n = 16;
    const double r = 20, cx = 24, cy = 24, half = std::numbers::pi / n;
    const double cr = r / std::cos(half);
    circle.moveTo(float(cx + r), float(cy));
    for (int i = 0; i < n; ++i) {
        const double a = 2 * std::numbers::pi * i / n;
        circle.quadTo(float(cx + cr * std::cos(a + half)), float(cy + cr * std::sin(a + half)),
                      float(cx + r * std::cos(a + 2 * half)), float(cy + r * std::sin(a + 2 * half)));
    }
    circle.close();
    Canvas(pic.target).fillPath(circle, Matrix(), kWhite);
    double area = 0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 48; ++x) area += pic.alpha(x, y) / 255.0;
    }
    // Exactly the area of the flattened outline, which lies within the tolerance of the circle.
    struct Shoelace : LineSink {
        double twice = 0;
        void line(Point a, Point b) override { twice += double(a.x) * b.y - double(b.x) * a.y; }
    } outline;
    FlattenPath(circle, Matrix(), kDefaultTolerance, outline);
    EXPECT_NEAR(area, outline.twice / 2, 0.5);
    EXPECT_NEAR(outline.twice / 2, std::numbers::pi * r * r, 2 * std::numbers::pi * r * kDefaultTolerance);
    EXPECT_EQ(pic.alpha(24, 24), 255u);
    EXPECT_EQ(pic.alpha(1, 1), 0u);
}

}  // namespace

namespace {

// A path of more edges than one fill may hold: the edges past kMaxRasterEdges are left out,
// the canvas says the shape was cut (once), and what was held is drawn.
TEST(Coverage, AFillPastTheEdgeLimitIsDrawnInPart) {
    Picture pic(2, 8);
    Canvas canvas(pic.target);
    Path path;
    // Vertical edges only count: a square of 1 x 1 px at (0, y) is two of them. Most are
    // drawn over and over at (0, 0); the limit falls before the square at (1, 4).
    const size_t squares = kMaxRasterEdges / 2 + 1;
    for (size_t i = 0; i + 1 < squares; ++i) {
        path.moveTo(0, 0);
        path.lineTo(0, 1);
        path.lineTo(1, 1);
        path.lineTo(1, 0);
        path.close();
    }
    const std::vector<Point> last = {{1, 4}, {1, 5}, {2, 5}, {2, 4}};
    path.moveTo(1, 4);
    for (size_t i = 1; i < last.size(); ++i) path.lineTo(last[i].x, last[i].y);
    path.close();
    FillOptions o;
    o.rule = FillRule::kEvenOdd;
    canvas.fillPath(path, Matrix(), Paint::Solid({255, 0, 0, 255}), o);
    EXPECT_TRUE(canvas.takeCutShapes());
    EXPECT_FALSE(canvas.takeCutShapes());
    EXPECT_EQ(pic.at(1, 4), 0u) << "the square past the limit is left out";
    // The limit falls between squares: an even number of them at (0, 0), none cut in half,
    // fill to nothing by the even-odd rule.
    for (int y = 0; y < 8; ++y) EXPECT_EQ(pic.at(0, y), 0u) << y;
    // A fill within the limit draws whole and says nothing.
    canvas.fillPath(PolygonPath(last), Matrix(), Paint::Solid({255, 0, 0, 255}), o);
    EXPECT_FALSE(canvas.takeCutShapes());
    EXPECT_EQ(pic.at(1, 4), PremultipliedWord({255, 0, 0, 255}));
}

}  // namespace
