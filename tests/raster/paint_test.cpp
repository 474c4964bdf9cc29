// Gradient and colour-transform samples checked against their formulas at chosen pixels.
#include <gtest/gtest.h>

#include <cmath>

#include "raster/canvas.h"
#include "raster_test_util.h"

namespace {

using namespace raster;
using raster_test::FillAll;
using raster_test::Picture;

const Rgba kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255};

// The colour of a red-to-blue gradient at table index i, straight interpolation.
uint32_t RedToBlue(int i) {
    const uint8_t r = uint8_t(std::lround(255.0 * (255 - i) / 255)), b = uint8_t(std::lround(255.0 * i / 255));
    return PremultipliedWord({r, 0, b, 255});
}

int IndexOf(double t) { return std::clamp(int(t * 255 + 0.5), 0, 255); }

TEST(Gradient, LinearFollowsItsMatrix) {
    const Gradient g(GradientKind::kLinear, {{0, kRed}, {255, kBlue}});
    // u from -1 to 1 spans x from 0 to 256.
    const Picture pic = FillAll(256, 4, Paint::WithGradient(g, Matrix{128, 0, 0, 1, 128, 0}));
    for (int x : {0, 1, 63, 128, 200, 255}) {
        EXPECT_EQ(pic.at(x, 2), RedToBlue(IndexOf((x + 0.5) / 256))) << x;
    }
}

TEST(Gradient, RotatedLinearDependsOnTheRotatedAxisOnly) {
    const Gradient g(GradientKind::kLinear, {{0, kRed}, {255, kBlue}});
    // Rotated 90 degrees: the colour runs down the picture, u = (y - 32) / 32.
    const Picture pic = FillAll(8, 64, Paint::WithGradient(g, Matrix{0, 32, -32, 0, 4, 32}));
    for (int y : {0, 17, 40, 63}) {
        EXPECT_EQ(pic.at(1, y), RedToBlue(IndexOf((y + 0.5) / 64))) << y;
        EXPECT_EQ(pic.at(6, y), pic.at(1, y));
    }
}

TEST(Gradient, SpreadModesBeyondTheEnds) {
    // The gradient covers x from 100 to 200; the picture runs to 350.
    const Matrix m{50, 0, 0, 1, 150, 0};
    for (Spread spread : {Spread::kPad, Spread::kRepeat, Spread::kReflect}) {
        const Gradient g(GradientKind::kLinear, {{0, kRed}, {255, kBlue}}, spread);
        const Picture pic = FillAll(350, 2, Paint::WithGradient(g, m));
        for (int x : {10, 99, 150, 225, 275, 349}) {
            double t = (x + 0.5 - 100) / 100;
            if (spread == Spread::kPad) t = std::clamp(t, 0.0, 1.0);
            if (spread == Spread::kRepeat) t -= std::floor(t);
            if (spread == Spread::kReflect) {
                t = std::fmod(std::fabs(t), 2.0);
                if (t > 1) t = 2 - t;
            }
            EXPECT_EQ(pic.at(x, 1), RedToBlue(IndexOf(t))) << int(spread) << " at " << x;
        }
    }
}

TEST(Gradient, RadialByDistanceFromTheCentre) {
    const Gradient g(GradientKind::kRadial, {{0, kRed}, {255, kBlue}});
    const Picture pic = FillAll(100, 100, Paint::WithGradient(g, Matrix{40, 0, 0, 40, 50, 50}));
    const int points[][2] = {{50, 50}, {60, 50}, {50, 75}, {70, 70}, {5, 5}, {89, 50}};
    for (const auto& p : points) {
        const double d = std::hypot(p[0] + 0.5 - 50, p[1] + 0.5 - 50) / 40;
        EXPECT_EQ(pic.at(p[0], p[1]), RedToBlue(IndexOf(std::min(d, 1.0)))) << p[0] << "," << p[1];
    }
}

TEST(Gradient, FocalRunsFromTheFocalPointToTheCircle) {
    const Gradient g(GradientKind::kFocal, {{0, kRed}, {255, kBlue}}, Spread::kPad, Interpolation::kSrgb, 0.5f);
    EXPECT_NEAR(g.position(0.5f, 0), 0.0f, 1e-6);     // the focal point itself
    EXPECT_NEAR(g.position(0.75f, 0), 0.5f, 1e-5);    // halfway to the circle on the right
    EXPECT_NEAR(g.position(-0.25f, 0), 0.5f, 1e-5);   // halfway to the circle on the left
    EXPECT_NEAR(g.position(0, 1), 1.0f, 1e-5);        // on the circle
    EXPECT_NEAR(g.position(0.5f, std::sqrt(0.75f) / 2), 0.5f, 1e-5);  // straight up from F
    const Gradient centred(GradientKind::kFocal, {{0, kRed}, {255, kBlue}});
    EXPECT_NEAR(centred.position(0.3f, 0.4f), 0.5f, 1e-5) << "focal 0 is radial";
}

TEST(Gradient, AFocalPointNearTheCircleIsDrawnAtTheLimit) {
    // Beyond the focal point on its axis the position grows by 1 / (1 - focal) per unit: a
    // focal point of 0.995 is drawn as one of 0.98, so a reflected ramp repeats every 0.04.
    const Gradient g(GradientKind::kFocal, {{0, kRed}, {255, kBlue}}, Spread::kReflect, Interpolation::kSrgb, 0.995f);
    EXPECT_FLOAT_EQ(g.focal(), kMaxFocal);
    EXPECT_NEAR(g.position(1.0f, 0), 1.0f, 1e-4);
    EXPECT_NEAR(g.position(1.2f, 0) - g.position(1.1f, 0), 0.1f / (1 - kMaxFocal), 1e-2);
    const Gradient negative(GradientKind::kFocal, {{0, kRed}, {255, kBlue}}, Spread::kPad, Interpolation::kSrgb, -2.0f);
    EXPECT_FLOAT_EQ(negative.focal(), -kMaxFocal);
}

TEST(Gradient, LinearRgbInterpolationBrightensTheMiddle) {
    const Gradient srgb(GradientKind::kLinear, {{0, {0, 0, 0, 255}}, {255, {255, 255, 255, 255}}});
    const Gradient linear(GradientKind::kLinear, {{0, {0, 0, 0, 255}}, {255, {255, 255, 255, 255}}}, Spread::kPad,
                          Interpolation::kLinearRgb);
    const double f = 128.0 / 255;
    const double expected = 255 * (1.055 * std::pow(f, 1 / 2.4) - 0.055);  // sRGB of linear f
    EXPECT_NEAR(double(ChannelG(linear.table()[128])), expected, 1.0);
    EXPECT_EQ(ChannelG(srgb.table()[128]), 128u);
    EXPECT_EQ(ChannelA(linear.table()[128]), 255u) << "alpha interpolates straight";
}

TEST(Gradient, StopsOutsideTheirRangeHoldTheEndColours) {
    const Gradient g(GradientKind::kLinear, {{64, kRed}, {128, {0, 255, 0, 128}}, {192, kBlue}});
    EXPECT_EQ(g.table()[0], PremultipliedWord(kRed));
    EXPECT_EQ(g.table()[64], PremultipliedWord(kRed));
    EXPECT_EQ(g.table()[128], PremultipliedWord({0, 255, 0, 128}));
    EXPECT_EQ(g.table()[255], PremultipliedWord(kBlue));
    EXPECT_EQ(g.table()[96], PremultipliedWord({127, 127, 0, 191})) << "halfway, rounded down";
    const Gradient none(GradientKind::kLinear, {});
    EXPECT_EQ(none.table()[10], 0u);
}

// The ramp of stops whose ratios tie or go backwards, entry by entry as the reference
// renderer draws each of these lists (a 1280-pixel-wide linear gradient, read at each entry's
// centre): a walk that passes one stop at most for each entry.
TEST(Gradient, StopsThatTieOrGoBackwardsFollowTheWalk) {
    const Rgba green{0, 255, 0, 255}, black{0, 0, 0, 255}, yellow{255, 255, 0, 255}, white{255, 255, 255, 255};
    auto entry = [](const Gradient& g, int i) { return g.table()[i]; };
    // Three stops at 100, then one below them: the tie shows the stop before it one entry
    // longer, each stop after shows for one entry, the one out of order to the end.
    const Gradient three(GradientKind::kLinear, {{0, kRed}, {100, green}, {100, kBlue}, {100, black}, {90, yellow}});
    EXPECT_EQ(entry(three, 50), PremultipliedWord({127, 127, 0, 255})) << "blends round down";
    EXPECT_EQ(entry(three, 100), PremultipliedWord(green));
    EXPECT_EQ(entry(three, 101), PremultipliedWord(green));
    EXPECT_EQ(entry(three, 102), PremultipliedWord(kBlue));
    EXPECT_EQ(entry(three, 103), PremultipliedWord(yellow));
    EXPECT_EQ(entry(three, 255), PremultipliedWord(yellow));
    // A tie before a blend: the blend starts from the stop's own ratio, two entries on.
    const Gradient tie(GradientKind::kLinear, {{0, kRed}, {128, green}, {128, kBlue}, {255, white}});
    EXPECT_EQ(entry(tie, 129), PremultipliedWord(green));
    EXPECT_EQ(entry(tie, 130), PremultipliedWord({4, 4, 255, 255}));
    // Backwards: the stop shows on the entry after the one before it, then blends from its
    // own ratio (100 to 255: 167 at entry 202).
    const Gradient back(GradientKind::kLinear, {{0, kRed}, {200, green}, {100, kBlue}, {255, white}});
    EXPECT_EQ(entry(back, 150), PremultipliedWord({63, 191, 0, 255})) << "red to green, past the stop below";
    EXPECT_EQ(entry(back, 201), PremultipliedWord(kBlue));
    EXPECT_EQ(entry(back, 202), PremultipliedWord({167, 167, 255, 255}));
    // Several stops backwards: one entry each, then the blend from the last one's ratio.
    const Gradient walk(GradientKind::kLinear,
                        {{0, kRed}, {200, green}, {10, kBlue}, {20, white}, {30, black}, {255, yellow}});
    EXPECT_EQ(entry(walk, 201), PremultipliedWord(kBlue));
    EXPECT_EQ(entry(walk, 202), PremultipliedWord(white));
    EXPECT_EQ(entry(walk, 203), PremultipliedWord(black));
    EXPECT_EQ(entry(walk, 204), PremultipliedWord({197, 197, 0, 255}));
    // Ties at both ends: the second stop blends towards the third from entry 1, and the last
    // stop never shows.
    const Gradient ends(GradientKind::kLinear, {{0, kRed}, {0, kBlue}, {255, green}, {255, black}});
    EXPECT_EQ(entry(ends, 0), PremultipliedWord(kRed));
    EXPECT_EQ(entry(ends, 1), PremultipliedWord({0, 1, 254, 255}));
    EXPECT_EQ(entry(ends, 255), PremultipliedWord(green));
    // All backwards: the first stop up to its ratio (entry 0 here), the second after.
    const Gradient reversed(GradientKind::kLinear, {{255, kRed}, {0, kBlue}});
    EXPECT_EQ(entry(reversed, 0), PremultipliedWord(kRed));
    EXPECT_EQ(entry(reversed, 1), PremultipliedWord(kBlue));
    const Gradient descending(GradientKind::kLinear, {{50, kRed}, {40, green}, {30, kBlue}, {200, white}});
    EXPECT_EQ(entry(descending, 40), PremultipliedWord(kRed));
    EXPECT_EQ(entry(descending, 41), PremultipliedWord(kBlue));
    EXPECT_EQ(entry(descending, 42), PremultipliedWord({18, 18, 255, 255}));
}

TEST(Gradient, SingularMatrixShadesNothing) {
    const Gradient g(GradientKind::kLinear, {{0, kRed}, {255, kBlue}});
    const Picture pic = FillAll(4, 4, Paint::WithGradient(g, Matrix{0, 0, 0, 0, 2, 2}));
    for (uint32_t p : pic.pixels) EXPECT_EQ(p, 0u);
}

TEST(ColorTransform, MultipliesThenAddsEveryChannel) {
    ColorTransform cx;
    cx.mulR = 0.5f;
    cx.addB = 100;
    cx.mulA = 0.5f;
    cx.addG = -300;
    const Rgba out = cx.apply({255, 200, 10, 255});
    EXPECT_EQ(out.r, 127);
    EXPECT_EQ(out.g, 0);
    EXPECT_EQ(out.b, 110);
    EXPECT_EQ(out.a, 127);

    Paint solid = Paint::Solid({255, 200, 10, 255});
    solid.cx = cx;
    EXPECT_EQ(FillAll(2, 2, solid).at(1, 1), PremultipliedWord(out));

    const Gradient g(GradientKind::kLinear, {{0, kRed}, {255, kBlue}});
    Paint graded = Paint::WithGradient(g, Matrix{128, 0, 0, 1, 128, 0});
    graded.cx = cx;
    const Picture pic = FillAll(256, 1, graded);
    EXPECT_EQ(pic.at(0, 0), PremultipliedWord(cx.apply({255, 0, 0, 255})));
    EXPECT_EQ(pic.at(255, 0), PremultipliedWord(cx.apply({0, 0, 255, 255})));

    const ColorTransform twice = cx.after(cx);
    EXPECT_FLOAT_EQ(twice.mulR, 0.25f);
    EXPECT_FLOAT_EQ(twice.addB, 200);  // 100 + 1 * 100
    EXPECT_FLOAT_EQ(twice.addA, 0);
}

}  // namespace
