// What scripts measure and tint of clips: getBounds and getRect, localToGlobal and
// globalToLocal, hitTest by bounds and by shape, and the Color class, checked against the
// geometry placed and the pixels drawn.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/action_builder.h"
#include "support/script_movie.h"
#include "support/swf_builder.h"

namespace {

using namespace testing_support;
namespace op = action;

// A sprite (10) of a 20 x 10 px red rectangle, placed as "mc" at (10, 5) px scaled twice.
std::vector<std::vector<uint8_t>> ScaledClip() {
    return {RectShapeTag(1, 400, 200, 255, 0, 0), DefineSpriteTag(10, 1, {PlaceObject2Tag({1, uint16_t{1}}), ShowFrameTag()}),
            PlaceObject2Tag({1, uint16_t{10}, false, std::pair{200, 100}, std::nullopt, std::nullopt, std::nullopt,
                             std::nullopt, std::pair{2.0, 2.0}, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                             std::nullopt, std::string("mc")})};
}

TEST(ClipGeometry, BoundsAndPointsFollowTheMatricesDown) {
    Actions a;
    a.push("b");
    Var(a, "_root");
    a.pushInt(1);
    Var(a, "mc").push("getBounds").op(op::kCallMethod).op(op::kSetVariable);
    TraceFields(a, "b", {"xMin", "xMax", "yMin", "yMax"});
    a.push("b");
    Method(a, "mc", "getBounds", {}).op(op::kSetVariable);
    TraceFields(a, "b", {"xMin", "xMax", "yMin", "yMax"});
    // An empty clip has no bounds: every side is past the largest.
    a.pushInt(5).push("e").call("createEmptyMovieClip", 2).op(op::kPop);
    a.push("b");
    Method(a, "e", "getBounds", {}).op(op::kSetVariable);
    TraceFields(a, "b", {"xMin", "yMax"});
    SetPoint(a, "p", 5, 2.5);
    Var(a, "p").pushInt(1);
    Var(a, "mc").push("localToGlobal").op(op::kCallMethod).op(op::kPop);
    TraceFields(a, "p", {"x", "y"});
    Var(a, "p").pushInt(1);
    Var(a, "mc").push("globalToLocal").op(op::kCallMethod).op(op::kPop);
    TraceFields(a, "p", {"x", "y"});
    // A point whose y is no number is left as it is.
    a.push("p").push("x").push(1.0).push("y").push("2").pushInt(2).op(op::kInitObject).op(op::kSetVariable);
    Var(a, "p").pushInt(1);
    Var(a, "mc").push("localToGlobal").op(op::kCallMethod).op(op::kPop);
    TraceFields(a, "p", {"x", "y"});
    auto tags = ScaledClip();
    tags.push_back(DoActionTag(a.bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags);
    l->player->gotoFrame(0);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"10,50,5,25", "0,20,0,10", "6710886.35,6710886.35", "20,10", "5,2.5",
                                                   "1,2"}));
}

TEST(ClipGeometry, HitTestsByBoundsAndByShape) {
    // `tri` draws the triangle (0,0) (40,0) (0,40): (30, 30) is in its bounds, not on it.
    Actions a;
    a.pushInt(1).push("tri").call("createEmptyMovieClip", 2).op(op::kPop);
    Method(a, "tri", "beginFill", {0x0000FF}).op(op::kPop);
    Method(a, "tri", "lineTo", {40, 0}).op(op::kPop);
    Method(a, "tri", "lineTo", {0, 40}).op(op::kPop);
    Method(a, "tri", "endFill", {}).op(op::kPop);
    Method(a, "tri", "hitTest", {30, 30, 0}).trace();
    Method(a, "tri", "hitTest", {30, 30, 1}).trace();
    Method(a, "tri", "hitTest", {10, 10, 1}).trace();
    Method(a, "tri", "hitTest", {41, 10, 0}).trace();
    // The scaled clip covers x 10..50, y 5..25 of the stage.
    Method(a, "mc", "hitTest", {45, 20, 1}).trace();
    Method(a, "mc", "hitTest", {55, 20, 1}).trace();
    // Clip against clip: their bounds on the stage meet.
    Var(a, "tri").pushInt(1);
    Var(a, "mc").push("hitTest").op(op::kCallMethod).trace();
    a.push("").pushInt(1);
    Var(a, "mc").push("hitTest").op(op::kCallMethod).trace();
    auto tags = ScaledClip();
    tags.push_back(DoActionTag(a.bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags);
    l->player->gotoFrame(0);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"true", "false", "true", "false", "true", "false", "true", "false"}));
}

TEST(ClipGeometry, ColorTintsTheClipThroughItsTransform) {
    Actions a;
    a.push("c");
    Var(a, "mc").pushInt(1).push("Color").op(op::kNewObject).op(op::kSetVariable);
    Method(a, "c", "setRGB", {0x00FF00}).op(op::kPop);
    Method(a, "c", "getRGB", {}).trace();
    auto l = Load([&] {
        auto tags = ScaledClip();
        tags.push_back(DoActionTag(a.bytes()));
        tags.push_back(ShowFrameTag());
        // Then half the red plus 10, the green's offset 64; a multiplier past 16 bits wraps.
        Actions b;
        b.push("o").push("ra").push(50.0).push("rb").push(10.0).push("gb").push(64.0).pushInt(3).op(op::kInitObject)
            .op(op::kSetVariable);
        Var(b, "o").pushInt(1);
        Var(b, "c").push("setTransform").op(op::kCallMethod).op(op::kPop);
        b.push("t");
        Method(b, "c", "getTransform", {}).op(op::kSetVariable);
        TraceFields(b, "t", {"ra", "rb", "ga", "gb", "ba", "bb", "aa", "ab"});
        tags.push_back(DoActionTag(b.bytes()));
        tags.push_back(ShowFrameTag());
        Actions c;
        c.push("o").push("aa").push(12800.0).pushInt(1).op(op::kInitObject).op(op::kSetVariable);
        Var(c, "o").pushInt(1);
        Var(c, "c").push("setTransform").op(op::kCallMethod).op(op::kPop);
        c.push("t");
        Method(c, "c", "getTransform", {}).op(op::kSetVariable);
        Member(c, "t", "aa").trace();
        tags.push_back(DoActionTag(c.bytes()));
        tags.push_back(ShowFrameTag());
        return tags;
    }());
    movie::Engine& player = *l->player;
    player.gotoFrame(0);
    EXPECT_EQ(PixelAt(player, 20, 10), raster::PremultipliedWord({0, 255, 0, 255}));
    player.gotoFrame(1);
    const uint32_t p = PixelAt(player, 20, 10);
    EXPECT_NEAR(static_cast<int>((p >> 16) & 0xFF), 255 * 128 / 256 + 10, 1);
    EXPECT_EQ((p >> 8) & 0xFF, 64u);
    EXPECT_EQ(p & 0xFF, 0u);
    player.gotoFrame(2);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"65280", "50,10,0,64,0,0,100,0", "-12800"}));
}

}  // namespace

namespace {

TEST(ClipGeometry, WritingWidthAndHeightScalesTheContents) {
    // The 20 x 10 px rectangle scaled twice: 40 x 20. Width 10 is a scale of 50 %.
    Actions a;
    Var(a, "mc").push("_width").push(10.0).op(op::kSetMember);
    Member(a, "mc", "_xscale").trace();
    Member(a, "mc", "_width").trace();
    Var(a, "mc").push("_height").push(30.0).op(op::kSetMember);
    Member(a, "mc", "_yscale").trace();
    // An empty clip has no extent to scale: it is scaled to nothing.
    a.pushInt(5).push("e").call("createEmptyMovieClip", 2).op(op::kPop);
    Var(a, "e").push("_width").push(50.0).op(op::kSetMember);
    Member(a, "e", "_xscale").trace();
    auto tags = ScaledClip();
    tags.push_back(DoActionTag(a.bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags);
    movie::Engine& player = *l->player;
    player.gotoFrame(0);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"50", "10", "300", "0"}));
    // The rectangle now covers x 10..20, y 5..35.
    EXPECT_EQ(PixelAt(player, 19, 34), raster::PremultipliedWord({255, 0, 0, 255}));
    EXPECT_EQ(PixelAt(player, 21, 20), raster::PremultipliedWord({255, 255, 255, 255}));
}

}  // namespace

namespace {

// Transform.concatenatedColorTransform: each parent's applies to what its child's gives, the
// offsets kept in 16 bits, wrapping (transform); `new Transform()` without a clip is undefined.
TEST(ClipGeometry, ConcatenatedColourTransformsComposeUpTheParentsAndWrapIn16Bits) {
    PlaceFields inner{1, uint16_t{10}};
    inner.name = "inner";
    inner.mul = std::array<int, 4>{256, 256, 256, 256};
    inner.add = std::array<int, 4>{0, 0, 32, 0};
    std::vector<std::vector<uint8_t>> tags = {RectShapeTag(1, 400, 200, 255, 0, 0),
                                              DefineSpriteTag(10, 1, {PlaceObject2Tag({1, uint16_t{1}}), ShowFrameTag()}),
                                              DefineSpriteTag(11, 1, {PlaceObject2Tag(inner), ShowFrameTag()})};
    PlaceFields outer{1, uint16_t{11}};
    outer.name = "outer";
    outer.mul = std::array<int, 4>{128, 256, 256, 256};
    outer.add = std::array<int, 4>{0, 0, -555, 0};
    tags.push_back(PlaceObject2Tag(outer));
    Actions a;
    // t = outer.inner.transform.concatenatedColorTransform
    const auto concatenated = [&] {
        Var(a, "outer").push("inner").op(op::kGetMember).push("transform").op(op::kGetMember);
        a.push("concatenatedColorTransform").op(op::kGetMember).push("c").op(op::kStackSwap).op(op::kSetVariable);
        TraceFields(a, "c", {"redMultiplier", "blueMultiplier", "blueOffset"});
    };
    concatenated();
    // _root's blue multiplied by 127.5: (32 - 555) * 127.5 = -66682.5, which wraps to -1147.
    Var(a, "_root").push("transform").op(op::kGetMember).push("colorTransform");
    a.pushInt(0).pushInt(0).pushInt(0).pushInt(0).pushInt(1).push(127.5).pushInt(1).pushInt(1).pushInt(8);
    Var(a, "flash").push("geom").op(op::kGetMember).push("ColorTransform").op(op::kNewMethod).op(op::kSetMember);
    concatenated();
    a.pushInt(0).push("flash").op(op::kGetVariable).push("geom").op(op::kGetMember).push("Transform").op(op::kNewMethod).trace();
    tags.push_back(DoActionTag(a.bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags, 8);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"0.5,1,-523", "0.5,127.5,-1147", "undefined"}));
}

}  // namespace

namespace {

// hitTest's point is in the coordinates of the clip's main timeline: a moved _root moves it
// onto the stage with the clip (movieclip_hittest).
TEST(ClipGeometry, HitTestPointsAreInTheMainTimelinesCoordinates) {
    Actions a;
    Var(a, "_root").push("_x").push(100.0).op(op::kSetMember);
    for (const double x : {20.0, 120.0}) {
        for (const bool shape : {false, true}) {
            a.pushBool(shape).push(10.0).push(x).pushInt(3);
            Var(a, "mc").push("hitTest").op(op::kCallMethod).trace();
        }
    }
    auto tags = ScaledClip();
    tags.push_back(DoActionTag(a.bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"true", "true", "false", "false"}));
}

}  // namespace
