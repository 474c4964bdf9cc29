#include <gtest/gtest.h>

#include <cmath>

#include "raster/geometry.h"

namespace {

using namespace raster;

struct Collect : LineSink {
    std::vector<std::pair<Point, Point>> lines;
    void line(Point a, Point b) override { lines.push_back({a, b}); }
};

TEST(Matrix, ComposesAndInverts) {
    const Matrix m{2, 0.5f, -1, 3, 10, -4};
    const Point p{3, 7};
    const Point q = m.apply(p);
    EXPECT_FLOAT_EQ(q.x, 2 * 3 - 1 * 7 + 10);
    EXPECT_FLOAT_EQ(q.y, 0.5f * 3 + 3 * 7 - 4);
    Matrix inv;
    ASSERT_TRUE(m.invert(inv));
    const Point back = inv.apply(q);
    EXPECT_NEAR(back.x, p.x, 1e-4);
    EXPECT_NEAR(back.y, p.y, 1e-4);
    const Point viaProduct = (Matrix::translate(5, 6) * m).apply(p);
    EXPECT_FLOAT_EQ(viaProduct.x, q.x + 5);
    EXPECT_FLOAT_EQ(viaProduct.y, q.y + 6);
    Matrix singular{1, 2, 2, 4, 0, 0};
    EXPECT_FALSE(singular.invert(inv));
}

TEST(Flatten, CurvesStayWithinTheTolerance) {
    for (float tolerance : {0.5f, 0.1f, 0.01f}) {
        Path p;
        p.moveTo(0, 0);
        p.quadTo(50, 120, 100, 0);
        Collect c;
        FlattenPath(p, Matrix(), tolerance, c);
        ASSERT_GE(c.lines.size(), 2u);
        // Every point of the curve is within the tolerance of the polyline.
        double worst = 0;
        for (int i = 0; i <= 1000; ++i) {
            const double t = i / 1000.0;
            const double x = 2 * (1 - t) * t * 50 + t * t * 100, y = 2 * (1 - t) * t * 120;
            double best = 1e9;
            for (const auto& [a, b] : c.lines) {
                const double dx = b.x - a.x, dy = b.y - a.y;
                const double u = std::clamp(((x - a.x) * dx + (y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
                best = std::min(best, std::hypot(a.x + u * dx - x, a.y + u * dy - y));
            }
            worst = std::max(worst, best);
        }
        EXPECT_LE(worst, tolerance * 1.01) << tolerance;
    }
}

TEST(Flatten, OpenSubpathsAreClosedAndMatricesApplied) {
    Path p;
    p.moveTo(0, 0);
    p.lineTo(10, 0);
    p.lineTo(10, 10);  // left open
    p.moveTo(20, 20);
    p.lineTo(30, 20);
    p.close();
    Collect c;
    FlattenPath(p, Matrix::scale(2, 3), kDefaultTolerance, c);
    ASSERT_EQ(c.lines.size(), 5u);
    EXPECT_FLOAT_EQ(c.lines[2].first.x, 20);  // closing line of the first subpath
    EXPECT_FLOAT_EQ(c.lines[2].first.y, 30);
    EXPECT_FLOAT_EQ(c.lines[2].second.x, 0);
    EXPECT_FLOAT_EQ(c.lines[4].second.y, 60);
}

TEST(Flatten, HugeAndBrokenCurvesAreBounded) {
    EXPECT_EQ(QuadSegments({0, 0}, {1e30f, 1e30f}, {0, 1}, 0.1f), 1024);
    EXPECT_EQ(QuadSegments({0, 0}, {NAN, 0}, {0, 1}, 0.1f), 1);
    EXPECT_EQ(QuadSegments({0, 0}, {0.5f, 0.5f}, {1, 1}, 0.1f), 1);  // a straight curve
}

TEST(PathBounds, ContainTheControlPoints) {
    Path p;
    p.moveTo(1, 2);
    p.quadTo(5, -3, 4, 4);
    const Rect r = p.bounds(Matrix::translate(10, 0));
    EXPECT_FLOAT_EQ(r.x0, 11);
    EXPECT_FLOAT_EQ(r.y0, -3);
    EXPECT_FLOAT_EQ(r.x1, 15);
    EXPECT_FLOAT_EQ(r.y1, 4);
}

}  // namespace
