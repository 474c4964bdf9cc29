// The drawing API: what scripts draw on a clip, checked by pixels computed from the geometry
// drawn, and by the bounds scripts read back.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

#include "support/action_builder.h"
#include "support/script_movie.h"
#include "support/swf_builder.h"

namespace {

using namespace testing_support;
namespace op = action;

// Calls the timeline's method `name` with number arguments, dropping its result.
Actions& Call(Actions& a, const char* name, std::initializer_list<double> args) {
    for (auto it = args.end(); it != args.begin();) a.push(*--it);
    a.call(name, static_cast<int>(args.size()));
    return a.op(op::kPop);
}

// A rectangle's outline from the pen at (x0, y0), in pixels.
Actions& Rect(Actions& a, double x0, double y0, double x1, double y1) {
    Call(a, "moveTo", {x0, y0});
    Call(a, "lineTo", {x1, y0});
    Call(a, "lineTo", {x1, y1});
    return Call(a, "lineTo", {x0, y1});
}

uint8_t Channel(uint32_t pixel, int shift) { return static_cast<uint8_t>(pixel >> shift); }

const uint32_t kRed = raster::PremultipliedWord({255, 0, 0, 255});
const uint32_t kGreen = raster::PremultipliedWord({0, 255, 0, 255});
const uint32_t kBlue = raster::PremultipliedWord({0, 0, 255, 255});
const uint32_t kWhite = raster::PremultipliedWord({255, 255, 255, 255});

TEST(Drawing, AnOpenFillDrawsClosedBelowTheChildrenAndLinesLieAboveTheirFill) {
    Actions a;
    Call(a, "beginFill", {0xFF0000});
    Rect(a, 10, 10, 60, 40);  // left open: drawn as if closed
    Call(a, "lineStyle", {4, 0x00FF00});
    Call(a, "moveTo", {10, 25});
    Call(a, "lineTo", {60, 25});
    // A blue child covering x 0..20 lies above what its timeline's scripts drew.
    const auto l = Load({RectShapeTag(1, 400, 1000, 0, 0, 255), PlaceObject2Tag({1, uint16_t{1}}), DoActionTag(a.bytes()),
                         ShowFrameTag()});
    movie::Engine& player = *l->player;
    player.gotoFrame(0);
    EXPECT_EQ(PixelAt(player, 40, 15), kRed);
    EXPECT_EQ(PixelAt(player, 40, 35), kRed) << "the fill closes along the left edge";
    EXPECT_EQ(PixelAt(player, 40, 25), kGreen);
    EXPECT_EQ(PixelAt(player, 40, 22), kRed) << "the line is 4 px wide: y 23..27";
    EXPECT_EQ(PixelAt(player, 15, 15), kBlue);
    EXPECT_EQ(PixelAt(player, 70, 15), kWhite);
    EXPECT_EQ(PixelAt(player, 40, 5), kWhite);
}

TEST(Drawing, LaterFillsLieAboveEarlierLinesAndAFillRestartsAtThePen) {
    Actions a;
    Call(a, "lineStyle", {10, 0x0000FF});
    Call(a, "moveTo", {0, 25});
    Call(a, "lineTo", {100, 25});
    Call(a, "lineStyle", {});  // no more lines
    Call(a, "beginFill", {0x00FF00});
    Rect(a, 50, 0, 100, 50);
    // beginFill with a fill open closes it and starts the next where the pen is (50, 50).
    Call(a, "beginFill", {0xFF0000});
    Call(a, "lineTo", {0, 50});
    Call(a, "lineTo", {0, 40});
    Call(a, "endFill", {});
    Call(a, "lineTo", {90, 45});  // neither fill nor line: only the pen moves
    const auto l = Load({DoActionTag(a.bytes()), ShowFrameTag()});
    movie::Engine& player = *l->player;
    player.gotoFrame(0);
    EXPECT_EQ(PixelAt(player, 20, 25), kBlue);
    EXPECT_EQ(PixelAt(player, 75, 25), kGreen) << "the fill drawn later covers the line";
    EXPECT_EQ(PixelAt(player, 75, 10), kGreen);
    // The red triangle (50,50) (0,50) (0,40): its inside near (5, 48).
    EXPECT_EQ(PixelAt(player, 5, 48), kRed);
    EXPECT_EQ(PixelAt(player, 40, 42), kWhite);
}

TEST(Drawing, ALinearGradientBoxSpansItsWidth) {
    // beginGradientFill("linear", [red, blue], [100, 100], [0, 255], box over the stage).
    Actions a;
    a.push("r").push(0.0).push("h").push(50.0).push("w").push(100.0).push("y").push(0.0).push("x").push(0.0);
    a.push("matrixType").push("box").pushInt(6).op(op::kInitObject);
    a.push(255.0).push(0.0).pushInt(2).op(op::kInitArray);
    a.push(100.0).push(100.0).pushInt(2).op(op::kInitArray);
    a.push(static_cast<double>(0x0000FF)).push(static_cast<double>(0xFF0000)).pushInt(2).op(op::kInitArray);
    a.push("linear");
    a.call("beginGradientFill", 5).op(op::kPop);
    Rect(a, 0, 0, 100, 50);
    Call(a, "endFill", {});
    const auto l = Load({DoActionTag(a.bytes()), ShowFrameTag()});
    movie::Engine& player = *l->player;
    player.gotoFrame(0);
    // The gradient runs from red at x 0 to blue at x 100: at a pixel's centre x + 0.5 the
    // blue share is (x + 0.5) / 100.
    for (int x : {5, 25, 50, 75, 94}) {
        const uint32_t p = PixelAt(player, x, 25);
        const double t = (x + 0.5) / 100;
        EXPECT_NEAR(Channel(p, 16), 255 * (1 - t), 4) << "red at x " << x;
        EXPECT_NEAR(Channel(p, 0), 255 * t, 4) << "blue at x " << x;
        EXPECT_EQ(Channel(p, 24), 255);
    }
}

TEST(Drawing, ClearEmptiesAndBoundsCountTheLines) {
    // An empty clip `c` draws a 20 x 10 rectangle outlined 4 px wide; its _width counts half
    // the line on each side.
    Actions a;
    a.pushInt(1).push("c").call("createEmptyMovieClip", 2).op(op::kPop);
    a.push(static_cast<double>(0)).push(4.0).pushInt(2).push("c").op(op::kGetVariable).push("lineStyle")
        .op(op::kCallMethod).op(op::kPop);
    auto method = [&](const char* name, double x, double y) {
        a.push(y).push(x).pushInt(2).push("c").op(op::kGetVariable).push(name).op(op::kCallMethod).op(op::kPop);
    };
    method("moveTo", 10, 10);
    method("lineTo", 30, 10);
    method("lineTo", 30, 20);
    method("lineTo", 10, 20);
    method("lineTo", 10, 10);
    a.push("c").op(op::kGetVariable).push("_width").op(op::kGetMember).trace();
    a.push("c").op(op::kGetVariable).push("_height").op(op::kGetMember).trace();
    const auto l = Load({DoActionTag(a.bytes()), ShowFrameTag(), DoActionTag(Actions().pushInt(0).push("c")
        .op(op::kGetVariable).push("clear").op(op::kCallMethod).op(op::kPop)
        .push("c").op(op::kGetVariable).push("_width").op(op::kGetMember).trace().bytes()), ShowFrameTag()});
    movie::Engine& player = *l->player;
    player.gotoFrame(0);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"24", "14"}));
    EXPECT_EQ(PixelAt(player, 10, 15), raster::PremultipliedWord({0, 0, 0, 255}));
    EXPECT_EQ(PixelAt(player, 20, 15), kWhite);
    player.gotoFrame(1);
    EXPECT_EQ(l->traced.back(), "0");
    EXPECT_EQ(PixelAt(player, 10, 15), kWhite);
}

}  // namespace
