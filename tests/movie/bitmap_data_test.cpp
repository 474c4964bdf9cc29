// BitmapData as scripts use it: pixels kept premultiplied and read back as the reference
// players give them, the size limits of each version, bitmaps attached to clips and drawn from
// clips, checked by the pixels the geometry gives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/action_builder.h"
#include "support/script_movie.h"
#include "support/swf_builder.h"

namespace {

using namespace testing_support;
namespace op = action;

// name = new flash.display.BitmapData(width, height, transparent, fill)
Actions& NewBitmap(Actions& a, const std::string& name, double width, double height, bool transparent, double fill) {
    a.push(name).push(fill).pushBool(transparent).push(height).push(width).pushInt(4);
    Member(a, "flash", "display").push("BitmapData").op(op::kNewMethod);
    return a.op(op::kSetVariable);
}

// object.method(args...) with numbers, its result traced.
Actions& TraceCall(Actions& a, const std::string& object, const std::string& method, std::vector<double> args) {
    return Method(a, object, method, std::move(args)).trace();
}

TEST(BitmapData, PixelsReadBackAsTheReferencePlayersKeepThem) {
    Actions a;
    NewBitmap(a, "t", 4, 2, true, 0xFF00FF00);
    TraceCall(a, "t", "getPixel32", {0, 0});                     // opaque green
    Method(a, "t", "setPixel32", {1, 0, 0x80FFFFFF}).op(op::kPop);  // half white: exact back
    TraceCall(a, "t", "getPixel32", {1, 0});
    Method(a, "t", "setPixel", {1, 0, 0xBBBBBB}).op(op::kPop);      // setPixel keeps the alpha
    TraceCall(a, "t", "getPixel32", {1, 0});
    Method(a, "t", "setPixel32", {2, 0, 0x40102030}).op(op::kPop);  // dark and translucent
    TraceCall(a, "t", "getPixel32", {2, 0});
    Method(a, "t", "setPixel32", {3, 0, 0x00FFFFFF}).op(op::kPop);  // no alpha: no colour either
    TraceCall(a, "t", "getPixel32", {3, 0});
    TraceCall(a, "t", "getPixel", {9, 9});                          // outside
    NewBitmap(a, "o", 2, 2, false, 0x12345678);
    TraceCall(a, "o", "getPixel32", {0, 0});  // an opaque bitmap drops the alpha
    Method(a, "o", "setPixel32", {0, 0, 0x00FFFFFF}).op(op::kPop);
    TraceCall(a, "o", "getPixel32", {0, 0});
    // fillRect is cut to the bitmap; a disposed bitmap answers -1.
    a.push("r").push("x").push(-5.0).push("y").push(1.0).push("width").push(7.0).push("height").push(9.0).pushInt(4).op(op::kInitObject).op(op::kSetVariable);
    a.push(0xFF0000FF).push("r").op(op::kGetVariable).pushInt(2);
    Var(a, "t").push("fillRect").op(op::kCallMethod).op(op::kPop);
    TraceCall(a, "t", "getPixel", {1, 1});
    TraceCall(a, "t", "getPixel", {2, 1});
    Method(a, "t", "dispose", {}).op(op::kPop);
    Member(a, "t", "width").trace();
    TraceCall(a, "t", "getPixel", {0, 0});
    const auto l = Load({DoActionTag(a.bytes()), ShowFrameTag()}, 8);
    EXPECT_EQ(l->traced, (std::vector<std::string>{
                             "-16711936",    // 0xFF00FF00
                             "-2130706433",  // 0x80FFFFFF
                             "-2135180357",  // 0x80BBBBBB
                             "1074798640",   // 0x40102030: stored as 4, 8, 12 at alpha 64, read back exact
                             "0", "0",
                             "-13347208",  // 0xFF345678
                             "-1",         // 0xFFFFFFFF
                             "255", "65280",  // (1, 1) filled, (2, 1) beyond the cut rectangle still green
                             "-1", "-1"}));
}

TEST(BitmapData, SizesPastEachVersionsLimitMakeNoBitmap) {
    const auto traceNew = [](Actions& a, double w, double h) {
        NewBitmap(a, "b", w, h, true, 0);
        Member(a, "b", "width").trace();
    };
    Actions a;
    traceNew(a, 2880, 1);
    traceNew(a, 2881, 1);
    traceNew(a, 0, 5);
    traceNew(a, 8191, 1);
    traceNew(a, 4096, 4096);
    traceNew(a, 4095, 4096);
    EXPECT_EQ(Load({DoActionTag(a.bytes()), ShowFrameTag()}, 9)->traced,
              (std::vector<std::string>{"2880", "undefined", "undefined", "undefined", "undefined", "undefined"}));
    EXPECT_EQ(Load({DoActionTag(a.bytes()), ShowFrameTag()}, 10)->traced,
              (std::vector<std::string>{"2880", "2881", "undefined", "8191", "undefined", "4095"}));
}

TEST(BitmapData, LiveBitmapsAreBoundedAndDisposeGivesTheirBytesBack) {
    // 4000 x 4000 pixels are 64 MB: four fit the budget, a fifth does not until one goes.
    Actions a;
    for (int i = 0; i < 5; ++i) {
        NewBitmap(a, "b" + std::to_string(i), 4000, 4000, true, 0);
        Member(a, "b" + std::to_string(i), "width").trace();
    }
    Method(a, "b0", "dispose", {}).op(op::kPop);
    NewBitmap(a, "again", 4000, 4000, true, 0);
    Member(a, "again", "width").trace();
    const auto l = Load({DoActionTag(a.bytes()), ShowFrameTag()}, 10);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"4000", "4000", "4000", "4000", "undefined", "4000"}));
    bool said = false;
    for (const std::string& line : l->logged) said = said || line.find("kMaxBitmapDataBytes") != std::string::npos;
    EXPECT_TRUE(said);
}

TEST(BitmapData, AnAttachedBitmapShowsItsPixelsAsTheyChange) {
    // A 20 x 10 red bitmap attached to a clip at x = 30; the next frame paints its left half blue.
    Actions a;
    a.pushInt(1).push("holder").pushInt(2).push("_root").op(op::kGetVariable).push("createEmptyMovieClip").op(op::kCallMethod).op(op::kPop);
    Var(a, "holder").push("_x").push(30.0).op(op::kSetMember);
    NewBitmap(a, "bmp", 20, 10, false, 0xFF0000);
    a.pushInt(1).push("bmp").op(op::kGetVariable).pushInt(2);
    Var(a, "holder").push("attachBitmap").op(op::kCallMethod).op(op::kPop);
    Actions b;
    b.push("r").push("x").push(0.0).push("y").push(0.0).push("width").push(10.0).push("height").push(10.0).pushInt(4).op(op::kInitObject).op(op::kSetVariable);
    b.push(0x0000FF).push("r").op(op::kGetVariable).pushInt(2);
    Var(b, "bmp").push("fillRect").op(op::kCallMethod).op(op::kPop);
    const auto l = Load({DoActionTag(a.bytes()), ShowFrameTag(), DoActionTag(b.bytes()), ShowFrameTag()}, 8);
    EXPECT_EQ(PixelAt(*l->player, 30, 0), kRed);
    EXPECT_EQ(PixelAt(*l->player, 49, 9), kRed);
    EXPECT_EQ(PixelAt(*l->player, 29, 5), kWhite);
    EXPECT_EQ(PixelAt(*l->player, 50, 5), kWhite);
    EXPECT_EQ(PixelAt(*l->player, 40, 10), kWhite);
    l->player->gotoFrame(1);
    EXPECT_EQ(PixelAt(*l->player, 30, 0), kBlue);
    EXPECT_EQ(PixelAt(*l->player, 39, 9), kBlue);
    EXPECT_EQ(PixelAt(*l->player, 40, 0), kRed);
}

TEST(BitmapData, DrawPutsAClipsPixelsThroughTheMatrixAndTheClipRectangle) {
    // A sprite of a 20 x 10 pixel red rectangle, placed away from the origin (its own place is
    // left out), drawn into a transparent 40 x 20 bitmap moved by (10, 5).
    Actions a;
    NewBitmap(a, "bmp", 40, 20, true, 0);
    a.push("m").push("a").push(1.0).push("b").push(0.0).push("c").push(0.0).push("d").push(1.0).push("tx").push(10.0).push("ty").push(5.0)
        .pushInt(6).op(op::kInitObject).op(op::kSetVariable);
    a.push("m").op(op::kGetVariable).push("mc").op(op::kGetVariable).pushInt(2);
    Var(a, "bmp").push("draw").op(op::kCallMethod).op(op::kPop);
    for (const auto& [x, y] : std::vector<std::pair<double, double>>{{10, 5}, {29, 14}, {9, 5}, {30, 5}, {10, 15}}) {
        TraceCall(a, "bmp", "getPixel32", {x, y});
    }
    // The same into a second bitmap cut to x < 15.
    NewBitmap(a, "cut", 40, 20, true, 0);
    a.push("r").push("x").push(0.0).push("y").push(0.0).push("width").push(15.0).push("height").push(20.0).pushInt(4).op(op::kInitObject).op(op::kSetVariable);
    a.push("r").op(op::kGetVariable).pushUndefined().pushUndefined().push("m").op(op::kGetVariable).push("mc").op(op::kGetVariable).pushInt(5);
    Var(a, "cut").push("draw").op(op::kCallMethod).op(op::kPop);
    TraceCall(a, "cut", "getPixel32", {14, 5});
    TraceCall(a, "cut", "getPixel32", {15, 5});
    PlaceFields mc{1, uint16_t{2}};
    mc.translate = std::make_pair(600, 400);
    mc.name = "mc";
    const auto l = Load({RectShapeTag(1, 400, 200, 255, 0, 0), DefineSpriteTag(2, 1, {PlaceObject2Tag({1, uint16_t{1}}), ShowFrameTag()}),
                         PlaceObject2Tag(mc), DoActionTag(a.bytes()), ShowFrameTag()},
                        8);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"-65536", "-65536", "0", "0", "0", "-65536", "0"}));
}

TEST(BitmapData, HitTestAtAPointAndTheChannelNumbers) {
    const auto point = [](Actions& a, double x, double y) {
        a.push("x").push(x).push("y").push(y).pushInt(2).op(op::kInitObject);
    };
    // hitTest(firstPoint, threshold, point): the pixel at point - firstPoint, hit when at least
    // that opaque and not transparent.
    const auto hit = [&](Actions& a, double fx, double fy, double threshold, double x, double y) {
        point(a, x, y);
        a.push(threshold);
        point(a, fx, fy);
        a.pushInt(3);
        Var(a, "b").push("hitTest").op(op::kCallMethod).trace();
    };
    Actions a;
    NewBitmap(a, "b", 5, 5, true, 0);
    Method(a, "b", "setPixel32", {2, 2, 0xFFFFFFFF}).op(op::kPop);
    Method(a, "b", "setPixel32", {3, 3, 0x80FFFFFF}).op(op::kPop);
    hit(a, 0, 0, 0, 2, 2);    // true
    hit(a, 0, 0, 0, 1, 1);    // false: transparent
    hit(a, 1, 1, 0, 3, 3);    // true: (2, 2) of the bitmap placed at (1, 1)
    hit(a, 0, 0, 255, 3, 3);  // false: half opaque
    hit(a, 0, 0, 0, 9, 9);    // false: outside
    for (const char* channel : {"RED_CHANNEL", "GREEN_CHANNEL", "BLUE_CHANNEL", "ALPHA_CHANNEL"}) {
        Member(a, "flash", "display").push("BitmapData").op(op::kGetMember).push(channel).op(op::kGetMember).trace();
    }
    EXPECT_EQ(Load({DoActionTag(a.bytes()), ShowFrameTag()}, 8)->traced,
              (std::vector<std::string>{"true", "false", "true", "false", "false", "1", "2", "4", "8"}));
}

}  // namespace
