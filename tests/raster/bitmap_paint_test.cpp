// Bitmap paints sampled at chosen pixels and checked against the sampling formulas.
#include <gtest/gtest.h>

#include <cmath>

#include "raster/canvas.h"
#include "raster_test_util.h"

namespace {

using namespace raster;
using raster_test::FillAll;
using raster_test::Picture;

// A 4 x 3 bitmap whose texels all differ, opaque.
struct Checker {
    std::vector<uint32_t> pixels;
    Bitmap bitmap;
    Checker() : pixels(12) {
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 4; ++x) pixels[y * 4 + x] = PackBgra(uint32_t(x * 60), uint32_t(y * 100), 7, 255);
        }
        bitmap = {pixels.data(), 4, 3, 4};
    }
};

TEST(BitmapPaint, NearestAtScaleTakesTheTexelUnderThePixelCentre) {
    const Checker c;
    const Picture pic = FillAll(8, 6, Paint::WithBitmap(c.bitmap, Matrix::scale(2, 2), false, false));
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) EXPECT_EQ(pic.at(x, y), c.bitmap.at(x / 2, y / 2)) << x << "," << y;
    }
}

TEST(BitmapPaint, RepeatTilesAndClampHoldsTheEdges) {
    const Checker c;
    const Matrix shifted = Matrix::translate(1, 1);
    const Picture tiled = FillAll(10, 8, Paint::WithBitmap(c.bitmap, shifted, true, false));
    const Picture clamped = FillAll(10, 8, Paint::WithBitmap(c.bitmap, shifted, false, false));
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 10; ++x) {
            const int u = x - 1, v = y - 1;
            EXPECT_EQ(tiled.at(x, y), c.bitmap.at(((u % 4) + 4) % 4, ((v % 3) + 3) % 3)) << x << "," << y;
            EXPECT_EQ(clamped.at(x, y), c.bitmap.at(std::clamp(u, 0, 3), std::clamp(v, 0, 2))) << x << "," << y;
        }
    }
}

TEST(BitmapPaint, BilinearWeighsTheFourTexelsAround) {
    const Checker c;
    // Scale 4: device pixel x samples bitmap u = (x + 0.5) / 4; texel centres lie at k + 0.5.
    const Picture pic = FillAll(16, 12, Paint::WithBitmap(c.bitmap, Matrix::scale(4, 4), false, true));
    for (int y : {2, 5, 7}) {
        for (int x : {2, 3, 6, 9, 13}) {
            const double u = (x + 0.5) / 4 - 0.5, v = (y + 0.5) / 4 - 0.5;
            const double fx = u - std::floor(u), fy = v - std::floor(v);
            const int x0 = int(std::floor(u)), y0 = int(std::floor(v));
            auto blue = [&](int tx, int ty) { return double(ChannelB(c.bitmap.at(std::clamp(tx, 0, 3), std::clamp(ty, 0, 2)))); };
            auto green = [&](int tx, int ty) { return double(ChannelG(c.bitmap.at(std::clamp(tx, 0, 3), std::clamp(ty, 0, 2)))); };
            const double b = (1 - fy) * ((1 - fx) * blue(x0, y0) + fx * blue(x0 + 1, y0)) +
                             fy * ((1 - fx) * blue(x0, y0 + 1) + fx * blue(x0 + 1, y0 + 1));
            const double g = (1 - fy) * ((1 - fx) * green(x0, y0) + fx * green(x0 + 1, y0)) +
                             fy * ((1 - fx) * green(x0, y0 + 1) + fx * green(x0 + 1, y0 + 1));
            EXPECT_NEAR(double(ChannelB(pic.at(x, y))), b, 1.5) << x << "," << y;
            EXPECT_NEAR(double(ChannelG(pic.at(x, y))), g, 1.5) << x << "," << y;
            EXPECT_EQ(ChannelA(pic.at(x, y)), 255u);
        }
    }
}

TEST(BitmapPaint, RotationMapsThroughTheInverseMatrix) {
    const Checker c;
    // 90 degrees: bitmap (u, v) lands at device (3 - v, u); so device (x, y) shows (y, 2 - x).
    const Matrix rotate{0, 1, -1, 0, 3, 0};
    const Picture pic = FillAll(3, 4, Paint::WithBitmap(c.bitmap, rotate, false, false));
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 3; ++x) EXPECT_EQ(pic.at(x, y), c.bitmap.at(y, 2 - x)) << x << "," << y;
    }
}

TEST(BitmapPaint, ColourTransformAppliesToStraightColours) {
    std::vector<uint32_t> one = {PremultipliedWord({200, 100, 50, 128})};
    const Bitmap b{one.data(), 1, 1, 1};
    Paint paint = Paint::WithBitmap(b, Matrix(), true, false);
    paint.cx.mulR = 0.5f;
    paint.cx.addA = 127;
    const Picture pic = FillAll(2, 2, paint);
    const uint32_t p = pic.at(1, 1);
    EXPECT_EQ(ChannelA(p), 255u);
    EXPECT_NEAR(double(ChannelR(p)), 100, 2);
    EXPECT_NEAR(double(ChannelG(p)), 100, 2);
}

TEST(BitmapPaint, EmptyBitmapsAndSingularMatricesDrawNothing) {
    const Bitmap none;
    EXPECT_EQ(FillAll(2, 2, Paint::WithBitmap(none, Matrix(), true, true)).at(0, 0), 0u);
    const Checker c;
    EXPECT_EQ(FillAll(2, 2, Paint::WithBitmap(c.bitmap, Matrix{0, 0, 0, 0, 0, 0}, true, true)).at(0, 0), 0u);
    // A vanishing bitmap, tiled: texel coordinates far beyond int range stay defined and
    // land on some texel of the bitmap.
    const Picture tiny = FillAll(2, 2, Paint::WithBitmap(c.bitmap, Matrix::scale(1e-30f, 1e-30f), true, true));
    EXPECT_EQ(ChannelA(tiny.at(0, 0)), 255u);
    EXPECT_EQ(ChannelR(tiny.at(0, 0)), 7u);
}

}  // namespace
