// Filters on small layers whose results geometry and arithmetic fix.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "raster/canvas.h"
#include "raster/filters.h"
#include "raster_test_util.h"

namespace {

using namespace raster;
using raster_test::Picture;

const uint32_t kOpaqueWhite = PremultipliedWord({255, 255, 255, 255});
const uint32_t kOpaqueRed = PremultipliedWord({255, 0, 0, 255});

Picture WithSquare(int size, int x0, int y0, int side, uint32_t color) {
    Picture pic(size, size);
    for (int y = y0; y < y0 + side; ++y) {
        for (int x = x0; x < x0 + side; ++x) pic.pixels[static_cast<size_t>(y) * size + x] = color;
    }
    return pic;
}

TEST(Blur, OnePassSpreadsAPixelOverTheBoxWidth) {
    Picture pic(21, 3);
    pic.pixels[1 * 21 + 10] = kOpaqueWhite;
    Filters f;
    f.blur(pic.target, {5, 1, 1});
    for (int x = 0; x < 21; ++x) {
        const bool inBox = x >= 8 && x <= 12;
        EXPECT_EQ(pic.alpha(x, 1), inBox ? 51u : 0u) << x;  // 255 / 5
    }
    EXPECT_EQ(pic.alpha(10, 0), 0u) << "blurY 1 leaves rows alone";
}

TEST(Blur, TheBoxIsExactlyItsWidthWithPartialPixelsAtItsEnds) {
    // A box b pixels wide centred on each pixel: a pixel counts as much as it overlaps the
    // box, so a lone white pixel spreads into these alphas (as the reference players draw
    // them): 2 -> 1/4 1/2 1/4, 4 -> 1/8 1/4 1/4 1/4 1/8, 2.5 -> 0.3 0.4 0.3; 1 changes nothing.
    struct Case {
        float width;
        std::vector<unsigned> spread;  // centred on x = 10
    };
    for (const Case& c : {Case{1, {255}}, Case{2, {64, 128, 64}}, Case{3, {85, 85, 85}}, Case{4, {32, 64, 64, 64, 32}},
                          Case{2.5f, {77, 102, 77}}, Case{6.5f, {29, 39, 39, 39, 39, 39, 29}}}) {
        Picture pic(21, 1);
        pic.pixels[10] = kOpaqueWhite;
        Filters f;
        f.blur(pic.target, {c.width, 1, 1});
        const int half = static_cast<int>(c.spread.size()) / 2;
        for (int x = 0; x < 21; ++x) {
            const int i = x - 10 + half;
            const unsigned expected = i >= 0 && i < static_cast<int>(c.spread.size()) ? c.spread[static_cast<size_t>(i)] : 0u;
            EXPECT_EQ(pic.alpha(x, 0), expected) << c.width << " at " << x;
        }
    }
}

TEST(Blur, AnEdgeRampsAsTheBoxOverlapsIt) {
    // An opaque half-plane from x 10: a 4 px box ramps it 1/8, 3/8, 5/8, 7/8 across x 8..11,
    // the reference players' values for a 4 px blur.
    Picture pic(21, 1);
    for (int x = 10; x < 21; ++x) pic.pixels[static_cast<size_t>(x)] = kOpaqueWhite;
    Filters f;
    f.blur(pic.target, {4, 1, 1});
    const unsigned expected[] = {0, 32, 96, 159, 223, 255};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(pic.alpha(7 + i, 0), expected[i]) << 7 + i;
}

TEST(Blur, PassesRepeatTheBox) {
    Picture pic(21, 1);
    pic.pixels[10] = PremultipliedWord({250, 250, 250, 250});  // 250 / 25 = 10 per step
    Filters f;
    f.blur(pic.target, {5, 1, 2});
    // Two boxes of 5 make a triangle of width 9: 1 2 3 4 5 4 3 2 1 (x 10).
    const uint32_t expected[] = {10, 20, 30, 40, 50, 40, 30, 20, 10};
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(double(pic.alpha(6 + i, 0)), double(expected[i]), 1) << i;
    EXPECT_EQ(pic.alpha(5, 0), 0u);
    EXPECT_EQ(pic.alpha(15, 0), 0u);
}

TEST(Blur, KeepsTheTotalAwayFromTheEdges) {
    Picture pic = WithSquare(40, 15, 15, 10, kOpaqueRed);
    Filters f;
    f.blur(pic.target, {6, 6, 3});
    double total = 0;
    for (uint32_t p : pic.pixels) total += ChannelA(p);
    EXPECT_NEAR(total, 100 * 255.0, 100 * 255.0 * 0.02);
    EXPECT_GT(pic.alpha(12, 20), 0u) << "spread past the square";
    EXPECT_EQ(pic.alpha(2, 2), 0u) << "but not far";
    EXPECT_EQ(ChannelG(pic.at(20, 20)), 0u) << "red stays red";
}

TEST(Effects, DropShadowFallsAtItsOffset) {
    Picture pic = WithSquare(20, 4, 4, 6, kOpaqueRed);
    EffectParams p;
    p.blur = {1, 1, 1};
    p.angle = 0;  // to the right
    p.distance = 3;
    Filters f;
    f.dropShadow(pic.target, {0, 0, 0, 255}, p);
    EXPECT_EQ(pic.at(5, 5), kOpaqueRed) << "the object stays on top";
    EXPECT_EQ(pic.at(11, 5), PremultipliedWord({0, 0, 0, 255})) << "the shadow beside it";
    EXPECT_EQ(pic.at(13, 5), 0u) << "3 px beyond the object's right edge it ends";
    EXPECT_EQ(pic.at(5, 12), 0u);

    Picture hidden = WithSquare(20, 4, 4, 6, kOpaqueRed);
    p.hideObject = true;
    f.dropShadow(hidden.target, {0, 0, 0, 255}, p);
    EXPECT_EQ(hidden.at(8, 5), PremultipliedWord({0, 0, 0, 255}));
    EXPECT_EQ(hidden.at(5, 5), 0u) << "left of the shadow, the hidden object is gone";

    Picture knocked = WithSquare(20, 4, 4, 6, kOpaqueRed);
    p.hideObject = false;
    p.knockout = true;
    f.dropShadow(knocked.target, {0, 0, 0, 255}, p);
    EXPECT_EQ(knocked.at(8, 5), 0u) << "knocked out where the object was";
    EXPECT_EQ(knocked.at(11, 5), PremultipliedWord({0, 0, 0, 255}));
}

TEST(Effects, AShadowAt30DegreesFallsAtItsRoundedOffset) {
    // 10 px at 30 degrees is (8.66, 5): the shadow of a 6 px square at (4, 4) lands on whole
    // pixels 9 right and 5 down, at (13, 9), as the reference players place it.
    Picture pic = WithSquare(30, 4, 4, 6, kOpaqueRed);
    EffectParams p;
    p.blur = {1, 1, 1};
    p.angle = 30 * 3.14159265f / 180;
    p.distance = 10;
    p.hideObject = true;
    Filters f;
    f.dropShadow(pic.target, {0, 0, 0, 255}, p);
    const uint32_t black = PremultipliedWord({0, 0, 0, 255});
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 30; ++x) {
            const bool inShadow = x >= 13 && x < 19 && y >= 9 && y < 15;
            EXPECT_EQ(pic.at(x, y), inShadow ? black : 0u) << x << ", " << y;
        }
    }
}

TEST(Effects, GlowSurroundsOrFillsTheEdges) {
    EffectParams p;
    p.blur = {5, 5, 1};
    p.strength = 1;
    Filters f;
    Picture outer = WithSquare(20, 5, 5, 10, kOpaqueRed);
    f.glow(outer.target, {0, 255, 0, 255}, p);
    EXPECT_EQ(outer.at(10, 10), kOpaqueRed);
    EXPECT_GT(ChannelG(outer.at(4, 10)), 0u) << "green just outside";
    EXPECT_EQ(ChannelR(outer.at(4, 10)), 0u);
    EXPECT_EQ(outer.at(1, 10), 0u) << "a box of 5 reaches 2 px out";

    Picture inner = WithSquare(20, 5, 5, 10, kOpaqueRed);
    p.inner = true;
    f.glow(inner.target, {0, 255, 0, 255}, p);
    EXPECT_GT(ChannelG(inner.at(5, 10)), 0u) << "green inside the edge";
    EXPECT_EQ(inner.at(10, 10), kOpaqueRed) << "the middle is untouched";
    EXPECT_EQ(inner.at(4, 10), 0u) << "nothing outside";
}

TEST(Effects, BevelLightsTheEdgesFacingAwayFromItsAngle) {
    EffectParams p;
    p.blur = {3, 3, 1};
    p.distance = 2;
    p.angle = 0.785398f;  // shadow towards bottom right, light from top left
    Filters f;
    Picture pic = WithSquare(24, 6, 6, 12, PremultipliedWord({128, 128, 128, 255}));
    f.bevel(pic.target, {255, 255, 255, 255}, {0, 0, 0, 255}, BevelType::kInner, p);
    EXPECT_GT(ChannelR(pic.at(6, 6)), 200u) << "top-left corner lit";
    EXPECT_LT(ChannelR(pic.at(17, 17)), 60u) << "bottom-right corner shaded";
    EXPECT_EQ(ChannelR(pic.at(12, 12)), 128u) << "the face is flat";
    EXPECT_EQ(pic.at(3, 3), 0u) << "an inner bevel stays inside";

    Picture outer = WithSquare(24, 6, 6, 12, PremultipliedWord({128, 128, 128, 255}));
    f.bevel(outer.target, {255, 255, 255, 255}, {0, 0, 0, 255}, BevelType::kOuter, p);
    EXPECT_EQ(ChannelR(outer.at(6, 6)), 128u) << "an outer bevel leaves the object";
    EXPECT_GT(ChannelA(outer.at(19, 19)), 0u) << "and shades outside its far side";
}

TEST(Effects, AKnockedOutInnerBevelKeepsBothItsLightAndItsShade) {
    // Both sides of the bevel are cut to the object's own shape, then the object is removed.
    EffectParams p;
    p.blur = {3, 3, 1};
    p.distance = 2;
    p.knockout = true;
    Filters f;
    Picture pic = WithSquare(24, 6, 6, 12, PremultipliedWord({128, 128, 128, 255}));
    f.bevel(pic.target, {255, 255, 255, 255}, {0, 0, 0, 255}, BevelType::kInner, p);
    EXPECT_EQ(ChannelR(pic.at(6, 6)), ChannelA(pic.at(6, 6))) << "white light at the top left";
    EXPECT_GT(ChannelA(pic.at(6, 6)), 150u);
    EXPECT_EQ(ChannelR(pic.at(17, 17)), 0u) << "black shade at the bottom right";
    EXPECT_GT(ChannelA(pic.at(17, 17)), 150u);
    EXPECT_EQ(pic.at(12, 12), 0u) << "the flat face is knocked out";
    EXPECT_EQ(pic.at(3, 3), 0u);
}

TEST(Effects, AGlowWithoutItsObjectShowsTheGlowAlone) {
    EffectParams p;
    p.blur = {5, 5, 1};
    p.hideObject = true;
    Filters f;
    Picture pic = WithSquare(20, 5, 5, 10, kOpaqueRed);
    f.glow(pic.target, {0, 255, 0, 255}, p);
    EXPECT_EQ(pic.at(10, 10), PremultipliedWord({0, 255, 0, 255})) << "the glow fills where the object was";
    EXPECT_EQ(ChannelR(pic.at(5, 10)), 0u);
    EXPECT_GT(ChannelG(pic.at(4, 10)), 0u);
}

TEST(Effects, GradientGlowTakesItsColourFromTheTable) {
    std::array<uint32_t, 256> table;
    for (int i = 0; i < 256; ++i) table[i] = PremultipliedWord({0, 0, 255, uint8_t(i)});
    EffectParams p;
    p.blur = {1, 1, 1};
    Filters f;
    Picture pic = WithSquare(10, 3, 3, 4, kOpaqueRed);
    p.inner = false;
    p.strength = 1;
    p.distance = 2;
    p.angle = 0;
    f.gradientGlow(pic.target, table, p);
    EXPECT_EQ(pic.at(8, 4), PremultipliedWord({0, 0, 255, 255})) << "full strength picks the table's end";
    EXPECT_EQ(pic.at(4, 4), kOpaqueRed);
}

TEST(ColorMatrix, AppliesToStraightColours) {
    Picture pic(2, 1);
    pic.pixels[0] = PremultipliedWord({200, 100, 50, 128});
    pic.pixels[1] = PremultipliedWord({10, 20, 30, 255});
    std::array<float, 20> gray = {0.3f, 0.59f, 0.11f, 0, 0, 0.3f, 0.59f, 0.11f, 0, 0,
                                  0.3f, 0.59f, 0.11f, 0, 0, 0,     0,     0,     1, 0};
    Filters f;
    f.colorMatrix(pic.target, gray);
    const double y0 = 0.3 * 200 + 0.59 * 100 + 0.11 * 50;
    EXPECT_EQ(ChannelA(pic.at(0, 0)), 128u);
    EXPECT_NEAR(double(ChannelR(pic.at(0, 0))), y0 * 128 / 255, 1.5);
    EXPECT_EQ(ChannelR(pic.at(0, 0)), ChannelB(pic.at(0, 0)));
    std::array<float, 20> identity = {1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
    const uint32_t before = pic.at(1, 0);
    f.colorMatrix(pic.target, identity);
    EXPECT_EQ(pic.at(1, 0), before);
}

TEST(Convolution, KernelsDivisorBiasAndEdges) {
    Picture pic = WithSquare(9, 3, 3, 3, kOpaqueWhite);
    const Picture original = pic;
    Filters f;
    f.convolution(pic.target, 3, 3, {0, 0, 0, 0, 1, 0, 0, 0, 0}, 1, 0, false, true, {});
    EXPECT_EQ(pic.pixels, original.pixels) << "identity kernel";
    f.convolution(pic.target, 3, 3, std::vector<float>(9, 1), 9, 0, false, true, {});
    EXPECT_EQ(pic.alpha(4, 4), 255u) << "centre of the square: all nine neighbours";
    EXPECT_EQ(pic.alpha(3, 3), 113u) << "corner: four of nine";
    EXPECT_EQ(pic.alpha(2, 2), 28u) << "diagonal outside: one of nine";

    Picture edge(3, 1);
    edge.pixels = {kOpaqueWhite, 0, 0};
    f.convolution(edge.target, 3, 1, {1, 0, 0}, 1, 0, false, false, {0, 0, 255, 255});
    EXPECT_EQ(edge.at(0, 0), PremultipliedWord({0, 0, 255, 255})) << "outside colour beyond the left edge";
    EXPECT_EQ(edge.at(1, 0), kOpaqueWhite);

    Picture keep(1, 1);
    keep.pixels = {PremultipliedWord({100, 100, 100, 100})};
    f.convolution(keep.target, 1, 1, {2}, 1, 0, true, true, {});
    EXPECT_EQ(ChannelA(keep.at(0, 0)), 100u) << "preserved alpha";
    EXPECT_LE(ChannelR(keep.at(0, 0)), 100u) << "colour stays within it";
    f.convolution(keep.target, 0, 0, {}, 1, 0, true, true, {});  // an empty kernel does nothing
}

}  // namespace
