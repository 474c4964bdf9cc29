// Timeline scripts in the player: frame scripts, clip events, the order they run in,
// timeline actions on the main movie and on named clips, and runaway scripts.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "movie/engine.h"
#include "support/action_builder.h"
#include "support/script_movie.h"
#include "support/swf_builder.h"
#include "../raster/raster_test_util.h"

namespace {

using namespace testing_support;
using raster_test::Picture;
namespace op = action;
using Place = PlaceFields;

const uint32_t kRed = raster::PremultipliedWord({255, 0, 0, 255});
const uint32_t kGreen = raster::PremultipliedWord({0, 255, 0, 255});
const uint32_t kBlue = raster::PremultipliedWord({0, 0, 255, 255});
const uint32_t kWhite = raster::PremultipliedWord({255, 255, 255, 255});

// Three full-stage colours: red (1), green (2), blue (3).
std::vector<std::vector<uint8_t>> Colours() {
    return {RectShapeTag(1, 2000, 1000, 255, 0, 0), RectShapeTag(2, 2000, 1000, 0, 255, 0),
            RectShapeTag(3, 2000, 1000, 0, 0, 255)};
}

// A sprite (10) showing red, green and blue in its three frames; `stopAt` frame has a stop().
std::vector<uint8_t> TrafficLight(int stopAt) {
    std::vector<std::vector<uint8_t>> tags;
    for (int f = 0; f < 3; ++f) {
        tags.push_back(PlaceObject2Tag({1, static_cast<uint16_t>(f + 1), f > 0, std::pair{0, 0}}));
        if (f == stopAt) tags.push_back(DoActionTag(Actions().op(op::kStop).bytes()));
        tags.push_back(ShowFrameTag());
    }
    return DefineSpriteTag(10, 3, tags);
}

TEST(Scripts, ASpriteThatStopsItselfHoldsItsFrame) {
    auto tags = Colours();
    tags.push_back(TrafficLight(1));
    tags.push_back(PlaceObject2Tag({1, 10, false, std::pair{0, 0}}));
    for (int f = 0; f < 6; ++f) tags.push_back(ShowFrameTag());
    const auto l = Load(tags);
    movie::Engine& player = *l->player;
    EXPECT_EQ(PixelAt(player, 50, 25), kRed);
    player.gotoFrame(1);
    EXPECT_EQ(PixelAt(player, 50, 25), kGreen);
    player.gotoFrame(5);
    EXPECT_EQ(PixelAt(player, 50, 25), kGreen) << "stopped on its second frame";
    // Without the stop the sprite goes on and loops: red, green, blue, red, green, blue.
    auto free = Colours();
    free.push_back(TrafficLight(-1));
    free.push_back(PlaceObject2Tag({1, 10, false, std::pair{0, 0}}));
    for (int f = 0; f < 6; ++f) free.push_back(ShowFrameTag());
    const auto m = Load(free);
    m->player->gotoFrame(5);
    EXPECT_EQ(PixelAt(*m->player, 50, 25), kBlue);
    m->player->gotoFrame(3);
    EXPECT_EQ(PixelAt(*m->player, 50, 25), kRed);
}

TEST(Scripts, GoToLabelJumpsTheMainTimelineAndStops) {
    auto tags = Colours();
    // Frame 0 red jumps to the frame labelled "blue"; frame 1 green; frame 2 blue.
    tags.push_back(PlaceObject2Tag({1, 1, false, std::pair{0, 0}}));
    tags.push_back(DoActionTag(Actions().gotoLabel("Blue").bytes()));  // labels compare without case
    tags.push_back(ShowFrameTag());
    tags.push_back(PlaceObject2Tag({1, 2, true, std::pair{0, 0}}));
    tags.push_back(ShowFrameTag());
    tags.push_back(FrameLabelTag("blue"));
    tags.push_back(PlaceObject2Tag({1, 3, true, std::pair{0, 0}}));
    tags.push_back(DoActionTag(Actions().push("at blue").trace().bytes()));
    tags.push_back(ShowFrameTag());
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags);
    movie::Engine& player = *l->player;
    EXPECT_EQ(player.currentFrame(), 0);
    EXPECT_EQ(player.timelineFrame(), 2);
    EXPECT_EQ(PixelAt(player, 50, 25), kBlue);
    EXPECT_EQ(l->traced, std::vector<std::string>{"at blue"});
    player.gotoFrame(3);
    EXPECT_EQ(player.timelineFrame(), 2) << "goToLabel stops the timeline";
    EXPECT_EQ(l->traced.size(), 1u);
}

TEST(Scripts, GoingBackRebuildsTheFrameAndKeepsWhatStays) {
    auto tags = Colours();
    tags.push_back(TrafficLight(-1));
    // The sprite sits at depth 2 through every frame; depth 1 is red then green. On frame 2
    // the script goes back to frame 1 (number 1 counts from 1) and plays on.
    tags.push_back(PlaceObject2Tag({1, 1, false, std::pair{0, 0}}));
    Place sprite{2, 10, false, std::pair{1000, 0}};
    tags.push_back(PlaceObject2Tag(sprite));
    tags.push_back(ShowFrameTag());
    tags.push_back(PlaceObject2Tag({1, 2, true, std::pair{0, 0}}));
    tags.push_back(ShowFrameTag());
    tags.push_back(DoActionTag(Actions().push(1.0).gotoFrame2(true).bytes()));
    tags.push_back(ShowFrameTag());
    tags.push_back(ShowFrameTag());  // never reached
    const auto l = Load(tags);
    movie::Engine& player = *l->player;
    player.gotoFrame(2);
    EXPECT_EQ(player.timelineFrame(), 0);
    EXPECT_EQ(PixelAt(player, 10, 25), kRed) << "frame 0's depth 1 again";
    // The sprite was kept: it has played three frames (red, green, blue), not restarted.
    EXPECT_EQ(PixelAt(player, 75, 25), kBlue);
    player.gotoFrame(3);
    EXPECT_EQ(player.timelineFrame(), 1);
    EXPECT_EQ(PixelAt(player, 10, 25), kGreen);
    EXPECT_EQ(PixelAt(player, 75, 25), kRed);
}

TEST(Scripts, GoingBackReplacesWhatALaterFramePlacedAgain) {
    // The clip is placed on frame 1, removed on frame 2 and placed again on frame 3; frame
    // 4 goes back to frame 1, whose clip is another instance than the one frame 3 placed.
    std::vector<std::vector<uint8_t>> tags;
    tags.push_back(DefineSpriteTag(10, 1, {DoActionTag(Actions().push("clip starts").trace().bytes()), ShowFrameTag()}));
    tags.push_back(ShowFrameTag());
    tags.push_back(PlaceObject2Tag({1, 10, false, std::pair{0, 0}}));
    tags.push_back(ShowFrameTag());
    tags.push_back(RemoveObject2Tag(1));
    tags.push_back(ShowFrameTag());
    tags.push_back(PlaceObject2Tag({1, 10, false, std::pair{0, 0}}));
    tags.push_back(ShowFrameTag());
    tags.push_back(DoActionTag(Actions().gotoFrame(1).bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags);
    l->player->gotoFrame(4);
    EXPECT_EQ(l->player->timelineFrame(), 1);
    EXPECT_EQ(l->traced.size(), 3u);
}

TEST(Scripts, FrameScriptsAndClipEventsRunInTheirOrder) {
    // The main timeline places a clip with load and enterFrame events, then traces; the
    // clip's own first frame traces too.
    std::vector<std::vector<uint8_t>> tags;
    tags.push_back(DefineSpriteTag(10, 2, {DoActionTag(Actions().push("clip frame").trace().bytes()), ShowFrameTag(),
                                           ShowFrameTag()}));
    Place clip{1, 10, false, std::pair{0, 0}};
    clip.name = "kid";
    clip.clipActions = {{movie::clip_event::kLoad, Actions().push("clip load").trace().bytes()},
                        {movie::clip_event::kEnterFrame, Actions().push("clip enterFrame").trace().bytes()}};
    tags.push_back(PlaceObject2Tag(clip));
    tags.push_back(DoActionTag(Actions().push("main frame 1").trace().bytes()));
    tags.push_back(ShowFrameTag());
    tags.push_back(DoActionTag(Actions().push("main frame 2").trace().bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags, 6);
    l->player->gotoFrame(1);
    const std::vector<std::string> expected = {"clip load", "clip frame", "main frame 1", "clip enterFrame",
                                               "main frame 2"};
    EXPECT_EQ(l->traced, expected);
}

TEST(Scripts, VariablesPathsAndTellTargetReachNamedClips) {
    std::vector<std::vector<uint8_t>> tags = Colours();
    tags.push_back(TrafficLight(-1));
    Place clip{1, 10, false, std::pair{0, 0}};
    clip.name = "light";
    tags.push_back(PlaceObject2Tag(clip));
    // Frame 1: stop the clip through its path, keep a variable in it and one here.
    tags.push_back(DoActionTag(Actions()
                                   .setTarget("/light").op(op::kStop).setTarget("")
                                   .push("/light:colour").push("red").op(op::kSetVariable)
                                   .set("count", 1.0)
                                   .bytes()));
    tags.push_back(ShowFrameTag());
    // Frame 2: read both back, by slash and dot paths; the clip's frame and name.
    tags.push_back(DoActionTag(Actions()
                                   .push("light:colour").op(op::kGetVariable).trace()
                                   .push("_root.count").op(op::kGetVariable).push(1.0).op(op::kAdd2).trace()
                                   .push("light").op(op::kGetVariable).push("_currentframe").op(op::kGetMember).trace()
                                   .push("light").push(13.0).op(op::kGetProperty).trace()
                                   .push("light").op(op::kGetVariable).trace()
                                   .bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags, 6);
    l->player->gotoFrame(1);
    const std::vector<std::string> expected = {"red", "2", "1", "light", "_level0.light"};
    EXPECT_EQ(l->traced, expected);
    EXPECT_EQ(PixelAt(*l->player, 50, 25), kRed) << "the clip was stopped on its first frame";
}

TEST(Scripts, ScriptsMoveClipsThroughTheirProperties) {
    std::vector<std::vector<uint8_t>> tags = {RectShapeTag(1, 200, 200, 255, 0, 0)};
    tags.push_back(DefineSpriteTag(10, 1, {PlaceObject2Tag({1, 1, false, std::pair{0, 0}}), ShowFrameTag()}));
    Place clip{1, 10, false, std::pair{0, 0}};
    clip.name = "box";
    tags.push_back(PlaceObject2Tag(clip));
    // box._x = 50; box._xscale = 200; box._alpha = 50; trace(box._x)
    tags.push_back(DoActionTag(Actions()
                                   .push("box").op(op::kGetVariable).push("_x").push(50.0).op(op::kSetMember)
                                   .push("box").push(2.0).push(200.0).op(op::kSetProperty)
                                   .push("box").op(op::kGetVariable).push("_alpha").push(50.0).op(op::kSetMember)
                                   .push("box._x").op(op::kGetVariable).trace()
                                   .bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags, 6);
    EXPECT_EQ(l->traced, std::vector<std::string>{"50"});
    Picture pic(100, 50);
    l->player->draw(pic.target, true, true);
    // A 10 x 10 pixel square at x 50, twice as wide, at half alpha.
    EXPECT_EQ(pic.at(49, 5), 0u);
    for (int x : {50, 69}) {
        EXPECT_NEAR(raster::ChannelA(pic.at(x, 5)), 128, 1) << x;
        EXPECT_EQ(raster::ChannelR(pic.at(x, 5)), raster::ChannelA(pic.at(x, 5))) << "premultiplied red";
    }
    EXPECT_EQ(pic.at(70, 5), 0u);
}

TEST(Scripts, OpaqueBackgroundsFillTheBoundsOfTheirObjects) {
    // A sprite of two 10 px red squares at (0, 0) and (30, 30): its bounds are 40 x 40 px.
    std::vector<std::vector<uint8_t>> tags = {RectShapeTag(1, 200, 200, 255, 0, 0)};
    tags.push_back(DefineSpriteTag(10, 1, {PlaceObject2Tag({1, 1, false, std::pair{0, 0}}),
                                           PlaceObject2Tag({2, 1, false, std::pair{600, 600}}), ShowFrameTag()}));
    Place left{1, 10, false, std::pair{0, 0}};
    left.opaqueBackground = std::array<uint8_t, 4>{0, 255, 0, 10};  // opaque whatever its alpha
    tags.push_back(PlaceObject3Tag(left));
    Place right{2, 10, false, std::pair{1000, 0}};
    right.name = "right";
    tags.push_back(PlaceObject2Tag(right));
    Place cleared{3, 10, false, std::pair{1000, 0}};  // set, then cleared by the script
    cleared.name = "cleared";
    cleared.opaqueBackground = std::array<uint8_t, 4>{0, 0, 255, 255};
    tags.push_back(PlaceObject3Tag(cleared));
    tags.push_back(DoActionTag(Actions()
                                   .push("right").op(op::kGetVariable).push("opaqueBackground").pushInt(0x0000FF)
                                   .op(op::kSetMember)
                                   .push("cleared").op(op::kGetVariable).push("opaqueBackground").pushNull()
                                   .op(op::kSetMember)
                                   .push("right").op(op::kGetVariable).push("opaqueBackground").op(op::kGetMember)
                                   .trace()
                                   .bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags, 8);
    EXPECT_EQ(l->traced, std::vector<std::string>{"255"});
    Picture pic(100, 50);
    l->player->draw(pic.target, true, true);
    EXPECT_EQ(pic.at(5, 5), kRed);
    EXPECT_EQ(pic.at(20, 20), kGreen) << "between the squares";
    EXPECT_EQ(pic.at(35, 35), kRed);
    EXPECT_EQ(pic.at(45, 45), 0u) << "outside the bounds";
    EXPECT_EQ(pic.at(70, 20), kBlue) << "set by the script";
    EXPECT_EQ(pic.at(85, 35), kRed);
    EXPECT_EQ(pic.at(95, 45), 0u);
}

TEST(Scripts, GoingBackKeepsEveryFieldTheMovesGave) {
    // Frame 1 places a sprite of two red squares; frame 2 moves it, giving it a green opaque
    // background and a blend mode; frame 3 puts a blue rectangle at that depth and goes back
    // to frame 2, where the sprite must stand again as the two placements left it.
    std::vector<std::vector<uint8_t>> tags = {RectShapeTag(1, 200, 200, 255, 0, 0), RectShapeTag(3, 2000, 1000, 0, 0, 255)};
    tags.push_back(DefineSpriteTag(10, 1, {PlaceObject2Tag({1, 1, false, std::pair{0, 0}}),
                                           PlaceObject2Tag({2, 1, false, std::pair{600, 600}}), ShowFrameTag()}));
    tags.push_back(PlaceObject2Tag({1, 10, false, std::pair{0, 0}}));
    tags.push_back(ShowFrameTag());
    Place moved{1, std::nullopt, true, std::pair{200, 0}};
    moved.opaqueBackground = std::array<uint8_t, 4>{0, 255, 0, 255};
    moved.cacheAsBitmap = true;
    moved.blendMode = 3;  // multiply: over a transparent stage it draws as normal
    tags.push_back(PlaceObject3Tag(moved));
    tags.push_back(ShowFrameTag());
    tags.push_back(RemoveObject2Tag(1));
    tags.push_back(PlaceObject2Tag({1, 3, false, std::pair{0, 0}}));
    tags.push_back(DoActionTag(Actions().gotoFrame(1).op(op::kStop).bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags, 8);
    l->player->gotoFrame(2);
    Picture pic(100, 50);
    l->player->draw(pic.target, true, true);
    EXPECT_EQ(pic.at(15, 5), kRed) << "the sprite, moved 10 px right";
    EXPECT_EQ(pic.at(30, 20), kGreen) << "its opaque background, between the squares";
    EXPECT_EQ(pic.at(45, 35), kRed);
    EXPECT_EQ(pic.at(5, 5), 0u) << "left of the moved sprite";
    EXPECT_EQ(pic.at(70, 20), 0u) << "the blue rectangle is gone";
}

// A two-frame movie whose first frame runs `script`: the script meets `limit` with one log
// line, and the second frame still plays, draws and runs its own script.
void ExpectStoppedAndPlayingOn(const std::vector<uint8_t>& script, const char* limit) {
    auto tags = Colours();
    tags.push_back(PlaceObject2Tag({1, 1, false, std::pair{0, 0}}));
    tags.push_back(DoActionTag(script));
    tags.push_back(ShowFrameTag());
    tags.push_back(PlaceObject2Tag({1, 2, true, std::pair{0, 0}}));
    tags.push_back(DoActionTag(Actions().push("frame 2 ran").trace().bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags);
    ASSERT_EQ(l->logged.size(), 1u);
    EXPECT_NE(l->logged[0].find(limit), std::string::npos) << l->logged[0];
    l->player->gotoFrame(1);
    EXPECT_EQ(PixelAt(*l->player, 50, 25), kGreen);
    EXPECT_EQ(l->traced, std::vector<std::string>{"frame 2 ran"});
}

TEST(Scripts, ARunawayScriptIsStoppedAndTheMoviePlaysOn) {
    ExpectStoppedAndPlayingOn(Actions().label("top").jump("top").bytes(), "kMaxInstructionsPerFrame");
}

// A few instructions that copy a long string again and again: the work budget stops the frame
// well within the instruction budget.
TEST(Scripts, AStringCopyingLoopMeetsTheWorkBudgetAndTheMoviePlaysOn) {
    Actions grow;
    grow.push("s").push("0123456789abcdef").op(op::kSetVariable);
    for (int i = 0; i < 14; ++i) grow.push("s").push("s").op(op::kGetVariable).push("s").op(op::kGetVariable).op(op::kAdd2).op(op::kSetVariable);
    grow.label("loop").push("t").push("s").op(op::kGetVariable).push("x").op(op::kAdd2).op(op::kSetVariable).jump("loop");
    ExpectStoppedAndPlayingOn(grow.bytes(), "kMaxScriptWorkPerFrame");
}

TEST(Scripts, SpritesThatPlaceThemselvesStopAtTheObjectLimit) {
    // Each copy of the sprite places a square and two copies of itself: without a limit,
    // 2^64 of them.
    std::vector<std::vector<uint8_t>> tags = {RectShapeTag(1, 200, 200, 255, 0, 0)};
    tags.push_back(DefineSpriteTag(10, 1, {PlaceObject2Tag({1, 1, false, std::pair{0, 0}}),
                                           PlaceObject2Tag({2, 10, false, std::pair{10, 0}}),
                                           PlaceObject2Tag({3, 10, false, std::pair{0, 10}}), ShowFrameTag()}));
    tags.push_back(PlaceObject2Tag({1, 10, false, std::pair{0, 0}}));
    tags.push_back(ShowFrameTag());
    tags.push_back(RemoveObject2Tag(1));
    tags.push_back(ShowFrameTag());
    tags.push_back(PlaceObject2Tag({1, 10, false, std::pair{0, 0}}));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags);
    const auto named = [&](const char* limit) {
        return std::count_if(l->logged.begin(), l->logged.end(),
                             [&](const std::string& s) { return s.find(limit) != std::string::npos; });
    };
    EXPECT_EQ(named("kMaxDisplayObjects"), 1);
    EXPECT_EQ(named("kMaxSpriteNesting"), 1) << "the first copy's line of copies reaches the nesting limit";
    EXPECT_EQ(PixelAt(*l->player, 0, 0), kRed);
    EXPECT_EQ(PixelAt(*l->player, 99, 49), kWhite);
    // Removed, they give their count back: placed again, they show again.
    l->player->gotoFrame(1);
    EXPECT_EQ(PixelAt(*l->player, 0, 0), kWhite);
    l->player->gotoFrame(2);
    EXPECT_EQ(PixelAt(*l->player, 0, 0), kRed);
}

TEST(Scripts, InitActionsRunOnceBeforeTheFramesScripts) {
    std::vector<std::vector<uint8_t>> tags;
    tags.push_back(DefineSpriteTag(10, 1, {ShowFrameTag()}));
    tags.push_back(DoActionTag(Actions().push("frame").trace().bytes()));
    tags.push_back(DoInitActionTag(10, Actions().push("init").trace().bytes()));
    tags.push_back(ShowFrameTag());
    tags.push_back(DoActionTag(Actions().gotoFrame(0).op(op::kPlay).bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags);
    l->player->gotoFrame(1);
    // The second frame goes back to the first, whose script runs again; its init action not.
    const std::vector<std::string> expected = {"init", "frame", "frame"};
    EXPECT_EQ(l->traced, expected);
}

TEST(Scripts, RestartingFromAnEarlierFrameStartsTheScriptsOver) {
    std::vector<std::vector<uint8_t>> tags;
    tags.push_back(DoActionTag(Actions()
                                   .push("n").push("n").op(op::kGetVariable).op(op::kIncrement).op(op::kSetVariable)
                                   .push("n").op(op::kGetVariable).trace()
                                   .bytes()));
    tags.push_back(ShowFrameTag());
    tags.push_back(ShowFrameTag());
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags, 5);
    l->player->gotoFrame(2);
    l->player->gotoFrame(0);  // the movie starts over: n is gone
    const std::vector<std::string> expected = {"1", "1"};
    EXPECT_EQ(l->traced, expected);
    EXPECT_EQ(PixelAt(*l->player, 0, 0), kWhite);
}

}  // namespace

namespace {

std::vector<uint8_t> ExportAssetsTag(uint16_t id, const std::string& name) {
    std::vector<uint8_t> body;
    AppendU16(body, 1);
    AppendU16(body, id);
    body.insert(body.end(), name.begin(), name.end());
    body.push_back(0);
    return TagRecord(56, body);
}

// `clip` evaluated: pushes the clip named by a variable.
Actions& Clip(Actions& a, const std::string& name) { return a.push(name).op(op::kGetVariable); }

// attachMovie by linkage name with an init object and a registered class, createEmptyMovieClip,
// depths (get, swap, next highest, at depth), onEnterFrame as a method, removeMovieClip; the
// attached sprite is drawn.
TEST(Scripts, ScriptsMakeMoveAndRemoveClips) {
    auto tags = Colours();
    tags.push_back(TrafficLight(0));
    tags.push_back(ExportAssetsTag(10, "light"));
    Actions ctor;
    ctor.push("made ").push("this").op(op::kGetVariable).push("_name").op(op::kGetMember).op(op::kAdd2);
    ctor.push(" ").op(op::kAdd2).push("this").op(op::kGetVariable).push("colour").op(op::kGetMember).op(op::kAdd2).trace();
    Actions hello;
    hello.push("hi from ").push("this").op(op::kGetVariable).push("_name").op(op::kGetMember).op(op::kAdd2).op(op::kReturn);
    Actions a;
    a.defineFunction("Light", {}, ctor);
    Clip(a, "Light").push("prototype").op(op::kGetMember).push("hello").defineFunction("", {}, hello).op(op::kSetMember);
    // Light.prototype.__proto__ = MovieClip.prototype: the class extends MovieClip.
    Clip(a, "Light").push("prototype").op(op::kGetMember).push("__proto__");
    Clip(a, "MovieClip").push("prototype").op(op::kGetMember).op(op::kSetMember);
    a.push("Light").op(op::kGetVariable).push("light").pushInt(2).push("Object").op(op::kGetVariable);
    a.push("registerClass").op(op::kCallMethod).op(op::kPop);
    // a = attachMovie("light", "a", 5, {colour: "red"})
    a.push("a").push("colour").push("red").pushInt(1).op(op::kInitObject).pushInt(5).push("a").push("light").pushInt(4);
    a.push("this").op(op::kGetVariable).push("attachMovie").op(op::kCallMethod).op(op::kSetVariable);
    Clip(a, "a").trace();
    Clip(a.pushInt(0), "a").push("hello").op(op::kCallMethod).trace();
    Clip(a.pushInt(0), "a").push("getDepth").op(op::kCallMethod).trace();
    // e = createEmptyMovieClip("e", 9); e.onEnterFrame = function () { trace("enter " + this._name) }
    a.push("e").pushInt(9).push("e").pushInt(2).push("this").op(op::kGetVariable).push("createEmptyMovieClip");
    a.op(op::kCallMethod).op(op::kSetVariable);
    Actions enter;
    enter.push("enter ").push("this").op(op::kGetVariable).push("_name").op(op::kGetMember).op(op::kAdd2).trace();
    Clip(a, "e").push("onEnterFrame").defineFunction("", {}, enter).op(op::kSetMember);
    a.pushInt(0).push("this").op(op::kGetVariable).push("getNextHighestDepth").op(op::kCallMethod).trace();  // 10
    Clip(a, "e").pushInt(1).push("a").op(op::kGetVariable).push("swapDepths").op(op::kCallMethod).op(op::kPop);
    Clip(a.pushInt(0), "a").push("getDepth").op(op::kCallMethod).trace();  // 9
    a.pushInt(5).pushInt(1).push("this").op(op::kGetVariable).push("getInstanceAtDepth").op(op::kCallMethod).trace();
    tags.push_back(DoActionTag(a.bytes()));
    tags.push_back(ShowFrameTag());
    Actions second;
    Clip(second.pushInt(0), "e").push("removeMovieClip").op(op::kCallMethod).op(op::kPop);
    Clip(second, "e").trace();
    tags.push_back(DoActionTag(second.bytes()));
    tags.push_back(ShowFrameTag());
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags, 6);
    EXPECT_EQ(PixelAt(*l->player, 50, 25), kRed) << "the attached sprite shows its first frame";
    l->player->gotoFrame(2);
    // e is gone in the third frame: its reference prints as nothing and its method no longer runs.
    const std::vector<std::string> expected = {"made a red", "_level0.a", "hi from a", "5", "10",
                                               "9",          "_level0.e", "enter e",   ""};
    EXPECT_EQ(l->traced, expected);
}

}  // namespace

namespace {

// Handlers fire only for the events the placement's all-events field lists; a handler of
// initialize and construct runs once for each, and construct events come after every
// initialize event pending (placeobject_all_event_flags).
TEST(Scripts, ClipEventsFollowThePlacementsEventMaskAndInitializeComesBeforeConstruct) {
    using movie::clip_event::kConstruct;
    using movie::clip_event::kEnterFrame;
    using movie::clip_event::kInitialize;
    std::vector<std::vector<uint8_t>> tags;
    tags.push_back(DefineSpriteTag(10, 1, {ShowFrameTag()}));
    for (uint16_t depth = 1; depth <= 2; ++depth) {
        const std::string name = depth == 1 ? "a" : "b";
        Place clip{depth, 10, false, std::pair{0, 0}};
        clip.name = name;
        clip.clipActions = {{kInitialize | kConstruct, Actions().push(name + " both").trace().bytes()},
                            {kEnterFrame, Actions().push(name + " enterFrame").trace().bytes()}};
        if (depth == 2) clip.allEvents = kInitialize;  // b answers initialize alone
        tags.push_back(PlaceObject2Tag(clip));
    }
    tags.push_back(ShowFrameTag());
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags, 7);
    l->player->gotoFrame(1);
    const std::vector<std::string> expected = {"a both", "b both", "a both", "a enterFrame"};
    EXPECT_EQ(l->traced, expected);
}

}  // namespace

namespace {

// A placement onto a depth that is taken fails with the reference players' warning, and what
// is there stays (placeobject_occupied_depth).
TEST(Scripts, PlacingOntoATakenDepthFailsAndSaysSo) {
    auto tags = Colours();
    tags.push_back(PlaceObject2Tag({1, 1, false, std::pair{0, 0}}));
    tags.push_back(PlaceObject2Tag({1, 2, false, std::pair{0, 0}}));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags, 8);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"Warning: Failed to place object at depth 1."}));
    EXPECT_EQ(PixelAt(*l->player, 50, 25), kRed);
}

}  // namespace

namespace {

// A sprite whose tags end without a ShowFrame never finishes loading: it plays its frames
// once and stays on the last; one that ends with ShowFrame and End loops (looping_child_*).
TEST(Scripts, ASpriteThatEndsWithoutAShowFramePlaysOnceAndStays) {
    auto tags = Colours();
    tags.push_back(DefineSpriteTag(10, 2, {DoActionTag(Actions().push("open 1").trace().bytes()), ShowFrameTag(),
                                           DoActionTag(Actions().push("open 2").trace().bytes())}));
    tags.push_back(DefineSpriteTag(11, 2, {DoActionTag(Actions().push("whole 1").trace().bytes()), ShowFrameTag(),
                                           DoActionTag(Actions().push("whole 2").trace().bytes()), ShowFrameTag()}));
    tags.push_back(PlaceObject2Tag({1, 10, false, std::pair{0, 0}}));
    tags.push_back(PlaceObject2Tag({2, 11, false, std::pair{0, 0}}));
    for (int f = 0; f < 4; ++f) tags.push_back(ShowFrameTag());
    const auto l = Load(tags, 6);
    l->player->gotoFrame(3);
    const std::vector<std::string> expected = {"open 1", "whole 1", "whole 2", "open 2", "whole 1", "whole 2"};
    EXPECT_EQ(l->traced, expected);
}

}  // namespace

namespace {

// Scale and rotation read back as a script set them (stage_property_representation), rotation
// kept in (-180, 180]; a clip a script moved is no longer moved by its timeline
// (as_transformed_flag).
TEST(Scripts, TransformsReadBackAsSetAndTheTimelineLeavesAClipAScriptMoved) {
    auto tags = Colours();
    tags.push_back(TrafficLight(-1));
    Place clip{1, 10, false, std::pair{0, 0}};
    clip.name = "light";
    tags.push_back(PlaceObject2Tag(clip));
    Actions a;
    a.push("light").op(op::kGetVariable).push("_xscale").push(20.0).op(op::kSetMember);
    a.push("light").op(op::kGetVariable).push("_rotation").push(190.0).op(op::kSetMember);
    a.push("light").op(op::kGetVariable).push("_x").push(30.0).op(op::kSetMember);
    a.push("light").op(op::kGetVariable).push("_xscale").op(op::kGetMember).trace();
    a.push("light").op(op::kGetVariable).push("_rotation").op(op::kGetMember).trace();
    tags.push_back(DoActionTag(a.bytes()));
    tags.push_back(ShowFrameTag());
    Place move{1, std::nullopt, true, std::pair{1000, 0}};
    tags.push_back(PlaceObject2Tag(move));
    tags.push_back(DoActionTag(Actions().push("light").op(op::kGetVariable).push("_x").op(op::kGetMember).trace().bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags, 8);
    l->player->gotoFrame(1);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"20", "-170", "30"}));
}

}  // namespace

namespace {

// _width and _height measure the clip's contents under its matrix (export_assets); the
// sandbox type follows the FileAttributes tag's network flag (sandbox_type_local_*).
TEST(Scripts, WidthsMeasureTheContentsAndTheSandboxFollowsTheNetworkFlag) {
    for (const bool network : {false, true}) {
        std::vector<std::vector<uint8_t>> tags;
        tags.push_back(TagRecord(69, {static_cast<uint8_t>(network ? 1 : 0), 0, 0, 0}));
        tags.push_back(RectShapeTag(1, 400, 200, 255, 0, 0));  // 20 x 10 pixels
        tags.push_back(DefineSpriteTag(10, 1, {PlaceObject2Tag({1, 1, false, std::pair{0, 0}}), ShowFrameTag()}));
        Place clip{1, 10, false, std::pair{0, 0}};
        clip.name = "box";
        clip.scale = std::pair{2.0, 3.0};
        tags.push_back(PlaceObject2Tag(clip));
        Actions a;
        a.push("box").op(op::kGetVariable).push("_width").op(op::kGetMember).trace();
        a.push("box").op(op::kGetVariable).push("_height").op(op::kGetMember).trace();
        a.push("System").op(op::kGetVariable).push("security").op(op::kGetMember).push("sandboxType").op(op::kGetMember).trace();
        tags.push_back(DoActionTag(a.bytes()));
        tags.push_back(ShowFrameTag());
        const auto l = Load(tags, 8);
        EXPECT_EQ(l->traced, (std::vector<std::string>{"40", "30", network ? "localWithNetwork" : "localWithFile"}));
    }
}

// A width given to a clip with nothing in it scales it to nothing both ways: what it holds
// later stays unseen (issue_2084).
TEST(Scripts, AWidthGivenToAnEmptyClipScalesItToNothing) {
    std::vector<std::vector<uint8_t>> tags = {RectShapeTag(1, 400, 200, 255, 0, 0)};
    tags.push_back(DefineSpriteTag(10, 1, {PlaceObject2Tag({1, 1, false, std::pair{0, 0}}), ShowFrameTag()}));
    tags.push_back(ExportAssetsTag(10, "box"));
    Actions a;
    a.push("e").pushInt(1).push("e").pushInt(2).push("this").op(op::kGetVariable).push("createEmptyMovieClip");
    a.op(op::kCallMethod).op(op::kSetVariable);
    a.push("e").op(op::kGetVariable).push("_width").pushInt(50).op(op::kSetMember);
    a.pushInt(1).push("inner").push("box").pushInt(3).push("e").op(op::kGetVariable).push("attachMovie");
    a.op(op::kCallMethod).op(op::kPop);
    for (const char* p : {"_width", "_height", "_xscale", "_yscale"}) a.push("e").op(op::kGetVariable).push(p).op(op::kGetMember).trace();
    tags.push_back(DoActionTag(a.bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags, 8);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"0", "0", "0", "0"}));
    EXPECT_EQ(PixelAt(*l->player, 5, 5), kWhite);
}

}  // namespace

namespace {

// A function runs on the timeline it was defined on; when that is gone, on one placed again at
// the same path, else on the root (function_base_clip_removed, function_base_clip_readded).
TEST(Scripts, AFunctionWhoseTimelineHasGoneRunsOnTheOnePlacedAgainAtItsPath) {
    std::vector<std::vector<uint8_t>> tags;
    Actions define;
    define.push("_global").op(op::kGetVariable).push("report");
    define.defineFunction("", {}, Actions().push("_parent").op(op::kGetVariable).trace());
    define.op(op::kSetMember);
    tags.push_back(DefineSpriteTag(10, 1, {DoActionTag(define.bytes()), ShowFrameTag()}));
    tags.push_back(DefineSpriteTag(11, 1, {ShowFrameTag()}));  // defines nothing
    Place kid{1, 10, false, std::pair{0, 0}};
    kid.name = "kid";
    tags.push_back(PlaceObject2Tag(kid));
    tags.push_back(ShowFrameTag());
    const auto call = [] { return DoActionTag(Actions().call("report", 0).op(op::kPop).bytes()); };
    tags.push_back(call());
    tags.push_back(ShowFrameTag());
    tags.push_back(RemoveObject2Tag(1));
    tags.push_back(call());
    tags.push_back(ShowFrameTag());
    Place other{1, 11, false, std::pair{0, 0}};
    other.name = "kid";
    tags.push_back(PlaceObject2Tag(other));
    tags.push_back(DoActionTag(Actions().call("report", 0).op(op::kPop).op(op::kStop).bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags, 8);
    l->player->gotoFrame(3);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"_level0", "undefined", "_level0"}));
}

}  // namespace

namespace {

// CloneSprite takes its depth as a 32-bit integer from the display list's numbering: past the
// highest script depth it makes nothing (duplicate_movie_clip).
TEST(Scripts, CloneSpriteRefusesDepthsPastTheHighest) {
    auto tags = Colours();
    tags.push_back(TrafficLight(0));
    Place clip{1, 10, false, std::pair{0, 0}};
    clip.name = "src";
    tags.push_back(PlaceObject2Tag(clip));
    Actions a;
    a.push("src").push("ok").push(16384.0 + 2130690044.0).op(op::kCloneSprite);
    a.push("src").push("over").push(16384.0 + 2130690045.0).op(op::kCloneSprite);
    a.push("ok").op(op::kGetVariable).trace().push("over").op(op::kGetVariable).trace();
    tags.push_back(DoActionTag(a.bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags, 8);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"_level0.ok", "undefined"}));
}

}  // namespace

namespace {

TEST(Scripts, RemovedClipsRunTheirUnloadHandlersDeepestFirstAndAreGoneAfter) {
    // Sprite 11 (a child with an unload handler) inside sprite 10 ("kid", with an unload
    // handler and an onUnload method); frame 2 removes the kid before its script runs.
    Place child{1, 11};
    child.name = "inner";
    child.clipActions = {{movie::clip_event::kUnload, Actions().push("inner unload").trace().bytes()}};
    Place kid{1, 10};
    kid.name = "kid";
    kid.clipActions = {{movie::clip_event::kUnload, Actions().push("kid unload ").push("_name").op(op::kGetVariable)
                                                        .op(op::kAdd2).trace().bytes()}};
    Actions method;
    method.push("kid").op(op::kGetVariable).push("onUnload");
    method.defineFunction("", {}, Actions().push("kid onUnload").trace());
    method.op(op::kSetMember);
    std::vector<std::vector<uint8_t>> tags = {
        DefineSpriteTag(11, 1, {ShowFrameTag()}),
        DefineSpriteTag(10, 1, {PlaceObject2Tag(child), ShowFrameTag()}),
        PlaceObject2Tag(kid),
        DoActionTag(method.bytes()),
        ShowFrameTag(),
        RemoveObject2Tag(1),
        DoActionTag(Actions().push("frame 2").trace().bytes()),
        ShowFrameTag(),
        DoActionTag(Actions().push("kid").op(op::kGetVariable).op(op::kTypeOf).trace().bytes()),
        ShowFrameTag()};
    const auto l = Load(tags, 6);
    l->player->gotoFrame(2);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"inner unload", "kid unload kid", "kid onUnload", "frame 2", "undefined"}));
}

}  // namespace

namespace {

TEST(Scripts, APlacedClipOfARegisteredClassHasItsPrototypeInConstructHandlersAndIsConstructedAfter) {
    // Sprite 10 exported as "custom"; its init actions register Custom, whose prototype has
    // `prop`; the placed clip's construct handler reads it before the constructor runs.
    Actions ctor;
    ctor.push("ctor ").push("this").op(op::kGetVariable).push("prop").op(op::kGetMember).op(op::kAdd2).trace();
    // The clip knows its class as __constructor__ (register_and_init_order).
    ctor.push("this").op(op::kGetVariable).push("__constructor__").op(op::kGetMember).push("Custom").op(op::kGetVariable);
    ctor.op(op::kStrictEquals).trace();
    Actions init;
    init.defineFunction("Custom", {}, ctor);
    Clip(init, "Custom").push("prototype").op(op::kGetMember).push("prop").push("from class").op(op::kSetMember);
    init.push("Custom").op(op::kGetVariable).push("custom").pushInt(2).push("Object").op(op::kGetVariable);
    init.push("registerClass").op(op::kCallMethod).op(op::kPop);
    Place clip{1, 10};
    clip.clipActions = {{movie::clip_event::kConstruct, Actions().push("construct ").push("this").op(op::kGetVariable)
                                                            .push("prop").op(op::kGetMember).op(op::kAdd2).trace().bytes()}};
    const auto l = Load({DefineSpriteTag(10, 1, {ShowFrameTag()}), ExportAssetsTag(10, "custom"), DoInitActionTag(10, init.bytes()),
                         PlaceObject2Tag(clip), ShowFrameTag()},
                        7);
    l->player->gotoFrame(0);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"construct from class", "ctor from class", "true"}));
}

}  // namespace

namespace {

TEST(Scripts, ASpriteReplacedInPlaceUnloadsAndItsChildrenKeepTheirPaths) {
    // Frame 2 moves depth 1 onto another sprite: the old one and its child unload, the child
    // still knowing its path.
    Place child{1, 11};
    child.name = "inner";
    child.clipActions = {{movie::clip_event::kUnload, Actions().push("this").op(op::kGetVariable).trace().bytes()}};
    Place kid{1, 10};
    kid.name = "kid";
    kid.clipActions = {{movie::clip_event::kUnload, Actions().push("kid unload").trace().bytes()}};
    Place swap{1, 12, true};
    const auto l = Load({DefineSpriteTag(11, 1, {ShowFrameTag()}), DefineSpriteTag(12, 1, {ShowFrameTag()}),
                         DefineSpriteTag(10, 1, {PlaceObject2Tag(child), ShowFrameTag()}), PlaceObject2Tag(kid), ShowFrameTag(),
                         PlaceObject2Tag(swap), DoActionTag(Actions().push("frame 2").trace().bytes()), ShowFrameTag()},
                        6);
    l->player->gotoFrame(1);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"_level0.kid.inner", "kid unload", "frame 2"}));
}

}  // namespace

namespace {

// A linkage name is known from the frame whose ExportAssets tag gives it: attachMovie before the
// main timeline reaches that frame makes nothing (attach_movie_export_not_yet_run).
TEST(Scripts, AnExportIsKnownOnlyOnceItsFrameHasBeenReached) {
    auto tags = Colours();
    tags.push_back(TrafficLight(0));
    const auto attach = [](const std::string& name) {
        Actions a;
        a.pushInt(1).push(name).push("late").pushInt(3).push("this").op(op::kGetVariable);
        a.push("attachMovie").op(op::kCallMethod).trace();
        return a.bytes();
    };
    tags.push_back(DoActionTag(attach("early")));
    tags.push_back(ShowFrameTag());
    tags.push_back(ExportAssetsTag(10, "late"));
    tags.push_back(DoActionTag(attach("later")));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags, 6);
    EXPECT_EQ(PixelAt(*l->player, 50, 25), kWhite) << "nothing was attached in the first frame";
    l->player->gotoFrame(1);
    const std::vector<std::string> expected = {"undefined", "_level0.later"};
    EXPECT_EQ(l->traced, expected);
    EXPECT_EQ(PixelAt(*l->player, 50, 25), kRed);
}

// A sprite whose frame script sends the main timeline to the frame that removes the sprite:
// the rest of the script runs on a clip off the display, whose paths find it as their root,
// so "_root" no longer reaches the main timeline (removed_base_clip_tell_target); the
// `_root` variable still gives the main movie.
TEST(Scripts, PathsFromARemovedClipFindItAsTheirRoot) {
    Actions inner;
    inner.setTarget("_root").gotoFrame(2).op(op::kPlay).setTarget("");
    inner.push("_root").op(op::kGetVariable).trace();
    inner.setTarget("_root").gotoFrame(1).setTarget("");
    std::vector<std::vector<uint8_t>> tags = Colours();
    tags.push_back(DefineSpriteTag(10, 1, {DoActionTag(inner.bytes()), ShowFrameTag()}));
    tags.push_back(PlaceObject2Tag({1, 10, false, std::pair{0, 0}}));
    tags.push_back(ShowFrameTag());
    tags.push_back(RemoveObject2Tag(1));
    tags.push_back(DoActionTag(Actions().push("second").trace().bytes()));
    tags.push_back(ShowFrameTag());
    tags.push_back(DoActionTag(Actions().push("third").trace().op(op::kStop).bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags, 8);
    l->player->gotoFrame(1);
    const std::vector<std::string> expected = {"_level0", "third"};
    EXPECT_EQ(l->traced, expected);
}

}  // namespace

namespace {

// _lockroot reads false until set; set, the clip is _root for the scripts below it
// (movieclip_lockroot).
TEST(Scripts, LockRootIsFalseUntilSetAndThenMakesTheClipTheRootBelowIt) {
    std::vector<std::vector<uint8_t>> tags = {DefineSpriteTag(10, 1, {ShowFrameTag()})};
    Place outer{1, 10};
    outer.name = "outer";
    tags.push_back(PlaceObject2Tag(outer));
    Actions a;
    a.push("outer").op(op::kGetVariable).push("_lockroot").op(op::kGetMember).trace();
    a.push("outer").op(op::kGetVariable).push("_lockroot").pushBool(true).op(op::kSetMember);
    a.push("outer").op(op::kGetVariable).push("_lockroot").op(op::kGetMember).trace();
    a.setTarget("outer").push("_root").op(op::kGetVariable).trace().setTarget("");
    tags.push_back(DoActionTag(a.bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags, 8);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"false", "true", "_level0.outer"}));
}

}  // namespace
