// Layers, masks and blend modes against their formulas, computed here independently in
// doubles on straight colours.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "raster/canvas.h"
#include "raster_test_util.h"

namespace {

using namespace raster;
using raster_test::Picture;

struct Straight {
    double r, g, b, a;
};

Straight Unpack(uint32_t p) {
    const double a = ChannelA(p) / 255.0;
    auto ch = [&](uint32_t v) { return a > 0 ? v / 255.0 / a : 0.0; };
    return {ch(ChannelR(p)), ch(ChannelG(p)), ch(ChannelB(p)), a};
}

// The separable formula: premultiplied result channel from straight inputs.
double Separable(double cs, double as, double cb, double ab, double blended) {
    return (1 - ab) * cs * as + (1 - as) * cb * ab + as * ab * blended;
}

const Rgba kBackdrop{200, 100, 50, 255};
const Rgba kSource{60, 180, 240, 160};

uint32_t Blended(BlendMode mode, Rgba backdrop = kBackdrop, Rgba source = kSource) {
    Picture pic(2, 2);
    Canvas canvas(pic.target);
    canvas.clear(backdrop);
    canvas.pushLayer();
    canvas.clear(source);
    canvas.popLayer(1, mode);
    EXPECT_EQ(canvas.layerDepth(), 0);
    return pic.at(1, 1);
}

void ExpectChannels(uint32_t got, double r, double g, double b, double a, const char* what) {
    EXPECT_NEAR(ChannelR(got) / 255.0, r, 2.5 / 255) << what << " red";
    EXPECT_NEAR(ChannelG(got) / 255.0, g, 2.5 / 255) << what << " green";
    EXPECT_NEAR(ChannelB(got) / 255.0, b, 2.5 / 255) << what << " blue";
    EXPECT_NEAR(ChannelA(got) / 255.0, a, 2.5 / 255) << what << " alpha";
}

TEST(BlendModes, SeparableModesFollowTheirFunctions) {
    const struct {
        BlendMode mode;
        const char* name;
        std::function<double(double, double)> f;
    } modes[] = {
        {BlendMode::kMultiply, "multiply", [](double s, double b) { return s * b; }},
        {BlendMode::kScreen, "screen", [](double s, double b) { return s + b - s * b; }},
        {BlendMode::kLighten, "lighten", [](double s, double b) { return std::max(s, b); }},
        {BlendMode::kDarken, "darken", [](double s, double b) { return std::min(s, b); }},
        {BlendMode::kDifference, "difference", [](double s, double b) { return std::fabs(s - b); }},
        {BlendMode::kHardLight, "hardlight",
         [](double s, double b) { return s <= 0.5 ? 2 * s * b : 1 - 2 * (1 - s) * (1 - b); }},
        {BlendMode::kOverlay, "overlay",
         [](double s, double b) { return b <= 0.5 ? 2 * s * b : 1 - 2 * (1 - s) * (1 - b); }},
    };
    for (Rgba backdrop : {kBackdrop, Rgba{10, 240, 128, 120}}) {
        const Straight s = Unpack(PremultipliedWord(kSource)), d = Unpack(PremultipliedWord(backdrop));
        for (const auto& m : modes) {
            const double a = s.a + d.a - s.a * d.a;
            ExpectChannels(Blended(m.mode, backdrop), Separable(s.r, s.a, d.r, d.a, m.f(s.r, d.r)),
                           Separable(s.g, s.a, d.g, d.a, m.f(s.g, d.g)), Separable(s.b, s.a, d.b, d.a, m.f(s.b, d.b)), a,
                           m.name);
        }
    }
}

TEST(BlendModes, ArithmeticAndAlphaModes) {
    const Straight s = Unpack(PremultipliedWord(kSource)), d = Unpack(PremultipliedWord(kBackdrop));
    const double a = s.a + d.a - s.a * d.a;
    ExpectChannels(Blended(BlendMode::kAdd), std::min(s.r * s.a + d.r * d.a, a), std::min(s.g * s.a + d.g * d.a, a),
                   std::min(s.b * s.a + d.b * d.a, a), a, "add");
    ExpectChannels(Blended(BlendMode::kSubtract), std::max(d.r - s.r * s.a, 0.0), std::max(d.g - s.g * s.a, 0.0),
                   std::max(d.b - s.b * s.a, 0.0), a, "subtract");
    ExpectChannels(Blended(BlendMode::kInvert), (1 - s.a) * d.r + s.a * (1 - d.r), (1 - s.a) * d.g + s.a * (1 - d.g),
                   (1 - s.a) * d.b + s.a * (1 - d.b), 1, "invert");
    ExpectChannels(Blended(BlendMode::kAlpha), d.r * s.a, d.g * s.a, d.b * s.a, s.a, "alpha");
    ExpectChannels(Blended(BlendMode::kErase), d.r * (1 - s.a), d.g * (1 - s.a), d.b * (1 - s.a), 1 - s.a, "erase");
    const uint32_t normal = Blended(BlendMode::kNormal);
    ExpectChannels(normal, s.r * s.a + d.r * (1 - s.a), s.g * s.a + d.g * (1 - s.a), s.b * s.a + d.b * (1 - s.a), 1,
                   "normal");
    EXPECT_EQ(Blended(BlendMode::kLayer), normal);
}

TEST(Layers, OpacityAppliesToTheGroupNotToEachShape) {
    Picture pic(10, 4);
    Canvas canvas(pic.target);
    canvas.clear({255, 255, 255, 255});
    Path left, right;
    left.addRect(0, 0, 6, 4);
    right.addRect(4, 0, 6, 4);
    canvas.pushLayer();
    canvas.fillPath(left, Matrix(), Paint::Solid({0, 0, 0, 255}));
    canvas.fillPath(right, Matrix(), Paint::Solid({0, 0, 0, 255}));
    canvas.popLayer(0.5f);
    // Where the shapes overlap the group is still black at half opacity: grey, like elsewhere.
    EXPECT_EQ(pic.at(5, 2), pic.at(1, 2));
    EXPECT_NEAR(double(ChannelR(pic.at(5, 2))), 128, 1);
}

TEST(Layers, ContentShowsThroughTheMasksAlphaOnly) {
    Picture pic(8, 8);
    Canvas canvas(pic.target);
    Path maskShape, everything;
    maskShape.addRect(2, 2, 4, 4);
    everything.addRect(0, 0, 8, 8);
    canvas.pushLayer();
    canvas.fillPath(maskShape, Matrix(), Paint::Solid({9, 9, 9, 128}));  // the mask's colour is ignored
    canvas.pushLayer();
    canvas.fillPath(everything, Matrix(), Paint::Solid({255, 0, 0, 255}));
    canvas.popLayerThroughMask();
    EXPECT_EQ(canvas.layerDepth(), 0);
    EXPECT_EQ(pic.at(0, 0), 0u);
    EXPECT_EQ(pic.at(7, 3), 0u);
    EXPECT_EQ(ChannelA(pic.at(3, 3)), 128u);
    EXPECT_EQ(ChannelR(pic.at(3, 3)), 128u);
    EXPECT_EQ(ChannelG(pic.at(3, 3)), 0u);
}

// Layer buffers are reused and only the pixels drawn into them are composited and cleared
// again: a second use must see none of the first one's pixels, wherever they were.
TEST(Layers, ReusedLayersCarryNothingOver) {
    Picture pic(16, 8);
    Canvas canvas(pic.target);
    canvas.clear({255, 255, 255, 255});
    Path left, right, all;
    left.addRect(1, 1, 4, 4);
    right.addRect(10, 2, 4, 4);
    all.addRect(0, 0, 16, 8);
    canvas.pushLayer();
    canvas.fillPath(left, Matrix(), Paint::Solid({0, 0, 0, 255}));
    canvas.popLayer(0.5f);
    const uint32_t grey = pic.at(2, 2);
    EXPECT_NEAR(double(ChannelR(grey)), 128, 1);
    // The same buffer again, drawn elsewhere: the left square is neither composited a second
    // time nor left behind in the buffer.
    canvas.pushLayer();
    canvas.fillPath(right, Matrix(), Paint::Solid({0, 0, 255, 255}));
    canvas.popLayer(0.5f, BlendMode::kMultiply);
    EXPECT_EQ(pic.at(2, 2), grey);
    EXPECT_EQ(pic.at(0, 0), PremultipliedWord({255, 255, 255, 255}));
    EXPECT_NEAR(double(ChannelR(pic.at(11, 3))), 128, 1);
    EXPECT_EQ(ChannelB(pic.at(11, 3)), 255u);
    // Through a mask: the content and the mask buffers are both reused. A mask over the right
    // square only, content everywhere: nothing changes on the left.
    for (int pass = 0; pass < 2; ++pass) {
        canvas.pushLayer();
        canvas.fillPath(pass == 0 ? right : left, Matrix(), Paint::Solid({0, 0, 0, 255}));
        canvas.pushLayer();
        canvas.fillPath(all, Matrix(), Paint::Solid({0, 255, 0, 255}));
        canvas.popLayerThroughMask();
        if (pass == 0) {
            EXPECT_EQ(pic.at(2, 2), grey) << "outside the mask";
            EXPECT_EQ(pic.at(11, 3), PremultipliedWord({0, 255, 0, 255}));
        }
    }
    EXPECT_EQ(pic.at(2, 2), PremultipliedWord({0, 255, 0, 255})) << "the second mask, on the left";
    EXPECT_EQ(pic.at(7, 6), PremultipliedWord({255, 255, 255, 255})) << "under neither mask";
    // A layer drawn with clear() covers the whole buffer, and the next use starts empty.
    canvas.pushLayer();
    canvas.clear({255, 0, 0, 128});
    canvas.popLayer();
    const uint32_t tinted = pic.at(7, 6);
    canvas.pushLayer();
    canvas.popLayer();
    EXPECT_EQ(pic.at(7, 6), tinted);
}

// The alpha blend mode takes the layer's alpha for the backdrop, also where nothing was
// drawn into the layer.
TEST(Layers, AlphaModeReachesPixelsTheLayerLeftEmpty) {
    Picture pic(8, 4);
    Canvas canvas(pic.target);
    canvas.clear({255, 0, 0, 255});
    Path left;
    left.addRect(0, 0, 4, 4);
    canvas.pushLayer();
    canvas.fillPath(left, Matrix(), Paint::Solid({0, 0, 0, 255}));
    canvas.popLayer(1, BlendMode::kAlpha);
    EXPECT_EQ(ChannelA(pic.at(1, 1)), 255u);
    EXPECT_EQ(pic.at(6, 1), 0u);
}

TEST(Layers, NestAndUnwindSafely) {
    Picture pic(4, 4);
    Canvas canvas(pic.target);
    canvas.popLayer();  // nothing to pop: no effect
    canvas.pushLayer();
    canvas.pushLayer();
    canvas.pushLayer();
    canvas.clear({0, 255, 0, 255});
    EXPECT_EQ(canvas.layerDepth(), 3);
    canvas.popLayer();
    canvas.popLayer();
    canvas.popLayer();
    EXPECT_EQ(pic.at(2, 2), PremultipliedWord({0, 255, 0, 255}));
    canvas.pushLayer();
    canvas.popLayerThroughMask();  // a single layer pops as a plain layer
    EXPECT_EQ(canvas.layerDepth(), 0);
}

}  // namespace

namespace {

// Layers take the target's size each: their number is bounded by kMaxLayerDepth and by
// kMaxLayerBytes over one layer's bytes. A layer pushed past the bound draws nothing, its
// masks and blends included, and pops back to where it was.
TEST(Layers, PastTheLimitTheyAreVoidAndDrawNothing) {
    EXPECT_EQ(Canvas(Target::TopDown(nullptr, 4096, 2048, 4096 * 4)).layerLimit(), 16) << "512 MiB of 32 MiB layers";
    EXPECT_EQ(Canvas(Target::TopDown(nullptr, 320, 240, 320 * 4)).layerLimit(), kMaxLayerDepth);
    Picture pic(4, 4);
    Canvas canvas(pic.target);
    canvas.clear(kBackdrop);
    const uint32_t backdrop = pic.at(0, 0);
    const Path square = raster_test::PolygonPath({{0, 0}, {4, 0}, {4, 4}, {0, 4}});
    const int limit = canvas.layerLimit();
    for (int i = 0; i < limit; ++i) canvas.pushLayer();
    EXPECT_FALSE(canvas.takeVoidedLayers());
    // Past the limit: a mask and its content, and a blended layer inside them.
    canvas.pushLayer();
    canvas.fillPath(square, Matrix(), Paint::Solid({255, 255, 255, 255}));
    canvas.pushLayer();
    canvas.pushLayer();
    canvas.fillPath(square, Matrix(), Paint::Solid(kSource));
    canvas.popLayer(1, BlendMode::kMultiply);
    canvas.fillPath(square, Matrix(), Paint::Solid(kSource));
    canvas.popLayerThroughMask();
    EXPECT_TRUE(canvas.takeVoidedLayers());
    EXPECT_FALSE(canvas.takeVoidedLayers()) << "said once per time it happens";
    EXPECT_EQ(canvas.layerDepth(), limit);
    EXPECT_TRUE(canvas.dirty().empty()) << "the void layers wrote nothing into the one below";
    // The innermost real layer still draws and composites.
    canvas.fillPath(square, Matrix(), Paint::Solid({0, 0, 255, 255}));
    for (int i = 0; i < limit; ++i) canvas.popLayer();
    EXPECT_EQ(canvas.layerDepth(), 0);
    EXPECT_NE(pic.at(1, 1), backdrop);
    EXPECT_EQ(pic.at(1, 1), PremultipliedWord({0, 0, 255, 255}));
}

}  // namespace
