// What scripts load from files beside the movie: movies into clips and levels, with the
// loaders' events in the reference players' order; variables, LoadVars and XML text; and the
// URLs that are refused. The movies are written to a fresh folder and read from there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/action_builder.h"
#include "support/script_movie.h"
#include "support/swf_builder.h"
#include "support/temp_dir.h"

namespace {

using namespace testing_support;
namespace op = action;

// GetURL2 as movies write loadMovie(url, target) (0x40), loadVariables (0xC0) and the rest.
Actions& GetUrl2(Actions& a, const std::string& url, const std::string& target, uint8_t flags) {
    return a.push(url).push(target).op(op::kGetUrl2, {flags});
}

// A movie whose frame draws a 20 x 10 pixel red rectangle at its origin and traces.
std::string RedChild(const std::string& says) {
    Actions a;
    a.push(says).trace();
    return MovieFile({RectShapeTag(1, 400, 200, 255, 0, 0), PlaceObject2Tag({1, uint16_t{1}}), DoActionTag(a.bytes()),
                      ShowFrameTag()});
}

// holder = createEmptyMovieClip("holder", 1) at _x = 50.
Actions& MakeHolder(Actions& a) {
    a.pushInt(1).push("holder").pushInt(2).push("_root").op(op::kGetVariable).push("createEmptyMovieClip").op(op::kCallMethod).op(op::kPop);
    return Var(a, "holder").push("_x").push(50.0).op(op::kSetMember);
}

TEST(Loading, AMovieLoadedIntoAClipDrawsThereFromTheNextStepAndKeepsTheClipsPlace) {
    TempDir dir;
    WriteFileBytes(dir.file("child.swf"), RedChild("child frame 1"));
    Actions a;
    MakeHolder(a);
    Var(a, "holder").push("before").push(1.0).op(op::kSetMember);
    GetUrl2(a, "child.swf", "holder", 0x40);
    Actions b;
    Member(b, "holder", "_name").trace();
    Member(b, "holder", "_x").trace();
    Member(b, "holder", "before").trace();  // the clip's variables went with its old content
    WriteFileBytes(dir.file("main.swf"), MovieFile({DoActionTag(a.bytes()), ShowFrameTag(), DoActionTag(b.bytes()), ShowFrameTag()}));
    const auto l = LoadFile(dir.file("main.swf"));
    EXPECT_TRUE(l->traced.empty()) << "a load is done between steps, its movie's frame at the next";
    EXPECT_EQ(PixelAt(*l->player, 60, 5), kWhite);
    l->player->gotoFrame(1);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"child frame 1", "holder", "50", "undefined"}));
    // The child's rectangle, 20 x 10 pixels, lies where the clip is: from x = 50.
    EXPECT_EQ(PixelAt(*l->player, 51, 1), kRed);
    EXPECT_EQ(PixelAt(*l->player, 69, 9), kRed);
    EXPECT_EQ(PixelAt(*l->player, 71, 5), kWhite);
    EXPECT_EQ(PixelAt(*l->player, 49, 5), kWhite);
    EXPECT_EQ(PixelAt(*l->player, 60, 11), kWhite);
}

// The movies scripts load take their definitions from what the movie and the others loaded
// before them left of kMaxDefinitionBytes: a child that fits alone but not with the rest is
// not loaded, and the log says why.
TEST(Loading, LoadedMoviesShareTheDefinitionBudget) {
    TempDir dir;
    std::vector<std::vector<uint8_t>> child = {RectShapeTag(1, 400, 200, 255, 0, 0)};
    for (int i = 0; i < 200; ++i) child.push_back(PlaceObject2Tag({1, 1, i > 0, std::pair{0, 0}}));
    child.push_back(ShowFrameTag());
    WriteFileBytes(dir.file("child.swf"), MovieFile(child));
    Actions a;
    MakeHolder(a);
    GetUrl2(a, "child.swf", "holder", 0x40);
    std::vector<std::vector<uint8_t>> main = {DoActionTag(a.bytes())};
    for (int i = 0; i < 200; ++i) main.push_back(PlaceObject2Tag({5, std::nullopt, true}));
    main.push_back(ShowFrameTag());
    main.push_back(ShowFrameTag());
    WriteFileBytes(dir.file("main.swf"), MovieFile(main));
    // Each movie's 200 placements take some 200 commands and their bytes: either fits in
    // the room of 300 commands, not both (whatever a command's size on this build).
    for (const uint64_t budget : {movie::kMaxDefinitionBytes, uint64_t{300} * sizeof(movie::PlaceCommand)}) {
        const auto l = LoadFile(dir.file("main.swf"), budget);
        l->player->gotoFrame(1);
        const bool shared = budget != movie::kMaxDefinitionBytes;
        EXPECT_EQ(PixelAt(*l->player, 55, 5), shared ? kWhite : kRed) << budget;
        bool named = false;
        for (const std::string& line : l->logged) named = named || line.find("kMaxDefinitionBytes") != std::string::npos;
        EXPECT_EQ(named, shared) << budget;
    }
}

TEST(Loading, AMovieClipLoaderReportsStartProgressCompleteThenInitAfterTheFirstFrame) {
    TempDir dir;
    const std::string child = RedChild("child frame 1");
    WriteFileBytes(dir.file("child.swf"), child);
    // loader = new MovieClipLoader(); loader.onLoadX = function(clip, a, b) { trace("X " + clip + " " + a + " " + b) }
    Actions a;
    MakeHolder(a);
    a.push("loader").pushInt(0).push("MovieClipLoader").op(op::kNewObject).op(op::kSetVariable);
    for (const std::string event : {"onLoadStart", "onLoadProgress", "onLoadComplete", "onLoadInit", "onLoadError"}) {
        Actions body;
        body.push(event).push(" ").op(op::kAdd2).push("clip").op(op::kGetVariable).op(op::kAdd2).push(" ").op(op::kAdd2)
            .push("x").op(op::kGetVariable).op(op::kAdd2).push(" ").op(op::kAdd2).push("y").op(op::kGetVariable).op(op::kAdd2)
            .trace();
        Var(a, "loader").push(event).defineFunction("", {"clip", "x", "y"}, body).op(op::kSetMember);
    }
    Var(a, "holder").push("child.swf").pushInt(2);
    Var(a, "loader").push("loadClip").op(op::kCallMethod).trace();
    Var(a, "holder").push("missing.swf").pushInt(2);
    Var(a, "loader").push("loadClip").op(op::kCallMethod).trace();
    WriteFileBytes(dir.file("main.swf"), MovieFile({DoActionTag(a.bytes()), ShowFrameTag(), ShowFrameTag()}));
    const auto l = LoadFile(dir.file("main.swf"));
    l->player->gotoFrame(1);
    const std::string size = std::to_string(child.size());
    EXPECT_EQ(l->traced, (std::vector<std::string>{
                             "true", "true",
                             "onLoadStart _level0.holder undefined undefined",
                             "onLoadProgress _level0.holder " + size + " " + size,
                             "onLoadComplete _level0.holder 0 undefined",
                             "onLoadError _level0.holder URLNotFound 0",
                             "child frame 1",
                             "onLoadInit _level0.holder undefined undefined",
                         }));
}

TEST(Loading, LevelsComeFromLoadMovieNumDrawAboveAndGoWithAnEmptyUrl) {
    TempDir dir;
    WriteFileBytes(dir.file("child.swf"), RedChild("level frame"));
    Actions a;
    GetUrl2(a, "child.swf", "_level1", 0x00);
    Actions b;
    Var(b, "_level1").trace();
    b.push("_root").op(op::kGetVariable).trace();
    Actions c;
    GetUrl2(c, "", "_level1", 0x00);
    Actions d;
    Var(d, "_level1").trace();
    WriteFileBytes(dir.file("main.swf"),
                   MovieFile({RectShapeTag(1, 2000, 1000, 0, 0, 255), PlaceObject2Tag({1, uint16_t{1}}), DoActionTag(a.bytes()),
                              ShowFrameTag(), DoActionTag(b.bytes()), ShowFrameTag(), DoActionTag(c.bytes()), ShowFrameTag(),
                              DoActionTag(d.bytes()), ShowFrameTag()}));
    const auto l = LoadFile(dir.file("main.swf"));
    EXPECT_EQ(PixelAt(*l->player, 5, 5), kBlue);
    l->player->gotoFrame(1);
    // Level 1's red rectangle over level 0's blue stage.
    EXPECT_EQ(PixelAt(*l->player, 5, 5), kRed);
    EXPECT_EQ(PixelAt(*l->player, 25, 5), kBlue);
    l->player->gotoFrame(3);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"level frame", "_level1", "_level0", "undefined"}));
    EXPECT_EQ(PixelAt(*l->player, 5, 5), kBlue);
}

TEST(Loading, VariablesLoadVarsAndXmlArriveBetweenStepsWithTheirEvents) {
    TempDir dir;
    WriteFileBytes(dir.file("vars.txt"), "\xEF\xBB\xBFname=Hello+there&ratio=%35%30%25&empty=");
    WriteFileBytes(dir.file("doc.xml"), "<a b=\"1\"><c>text</c></a>");
    Actions a;
    MakeHolder(a);
    // holder.onData = function() { trace("data " + this.name + " " + this.ratio) }
    Actions onData;
    onData.push("data ").push("this").op(op::kGetVariable).push("name").op(op::kGetMember).op(op::kAdd2).push(" ").op(op::kAdd2)
        .push("this").op(op::kGetVariable).push("ratio").op(op::kGetMember).op(op::kAdd2).trace();
    Var(a, "holder").push("onData").defineFunction("", {}, onData).op(op::kSetMember);
    GetUrl2(a, "vars.txt", "holder", 0xC0);
    // lv = new LoadVars(); lv.onLoad = function(ok) { trace("vars " + ok + " " + this.name) }; lv.load("vars.txt")
    a.push("lv").pushInt(0).push("LoadVars").op(op::kNewObject).op(op::kSetVariable);
    Actions onLoad;
    onLoad.push("vars ").push("ok").op(op::kGetVariable).op(op::kAdd2).push(" ").op(op::kAdd2).push("this").op(op::kGetVariable)
        .push("name").op(op::kGetMember).op(op::kAdd2).trace();
    Var(a, "lv").push("onLoad").defineFunction("", {"ok"}, onLoad).op(op::kSetMember);
    a.push("vars.txt").pushInt(1);
    Var(a, "lv").push("load").op(op::kCallMethod).trace();
    // x = new XML(); x.onLoad = function(ok) { trace("xml " + ok + " " + this.firstChild.firstChild) }; x.load("doc.xml")
    a.push("x").pushInt(0).push("XML").op(op::kNewObject).op(op::kSetVariable);
    Actions onXml;
    onXml.push("xml ").push("ok").op(op::kGetVariable).op(op::kAdd2).push(" ").op(op::kAdd2).push("this").op(op::kGetVariable)
        .push("firstChild").op(op::kGetMember).push("firstChild").op(op::kGetMember).op(op::kAdd2).trace();
    Var(a, "x").push("onLoad").defineFunction("", {"ok"}, onXml).op(op::kSetMember);
    a.push("doc.xml").pushInt(1);
    Var(a, "x").push("load").op(op::kCallMethod).op(op::kPop);
    // A file that is not there: onLoad(false).
    a.push("nothing.txt").pushInt(1);
    Var(a, "lv").push("load").op(op::kCallMethod).op(op::kPop);
    a.push("loaded at once: ");
    Member(a, "lv", "loaded").op(op::kAdd2).trace();
    WriteFileBytes(dir.file("main.swf"), MovieFile({DoActionTag(a.bytes()), ShowFrameTag(), ShowFrameTag()}));
    const auto l = LoadFile(dir.file("main.swf"));
    EXPECT_EQ(l->traced, (std::vector<std::string>{"true", "loaded at once: false", "vars true Hello there", "xml true <c>text</c>",
                                                   "vars false Hello there", "data Hello there 50%"}));
}

TEST(Loading, UrlsOutsideTheMoviesFolderAndTheNetworkAreRefusedAndLogged) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "movie");
    WriteFileBytes(dir.file("secret.txt"), "name=secret");
    WriteFileBytes(dir.file("movie/sub.txt"), "name=sub");
    std::filesystem::create_directories(dir.path() / "movie" / "inner");
    WriteFileBytes(dir.file("movie/inner/deep.txt"), "name=deep");
    const std::string secret = dir.file("secret.txt");
    Actions a;
    a.push("lv").pushInt(0).push("LoadVars").op(op::kNewObject).op(op::kSetVariable);
    Actions onLoad;
    onLoad.push("ok").op(op::kGetVariable).push(" ").op(op::kAdd2).push("this").op(op::kGetVariable).push("name")
        .op(op::kGetMember).op(op::kAdd2).trace();
    Var(a, "lv").push("onLoad").defineFunction("", {"ok"}, onLoad).op(op::kSetMember);
    const std::vector<std::string> urls = {"../secret.txt", "inner/../../secret.txt", secret, "file://" + secret,
                                           "http://example.com/a.txt", "C:secret.txt", "inner/deep.txt", "sub.txt?x=1"};
    for (const std::string& url : urls) {
        a.push(url).pushInt(1);
        Var(a, "lv").push("load").op(op::kCallMethod).op(op::kPop);
    }
    WriteFileBytes(dir.file("movie/main.swf"), MovieFile({DoActionTag(a.bytes()), ShowFrameTag(), ShowFrameTag()}));
    const auto l = LoadFile(dir.file("movie/main.swf"));
    EXPECT_EQ(l->traced, (std::vector<std::string>{"false undefined", "false undefined", "false undefined", "false undefined",
                                                   "false undefined", "false undefined", "true deep", "true sub"}));
    int refused = 0;
    for (const std::string& line : l->logged) refused += line.rfind("cannot load", 0) == 0;
    EXPECT_EQ(refused, 6);
    // A movie read from memory has no folder: nothing loads.
    const auto m = Load({DoActionTag(a.bytes()), ShowFrameTag(), ShowFrameTag()});
    EXPECT_EQ(m->traced, std::vector<std::string>(8, "false undefined"));
}

TEST(Loading, ARemovedClipWithAnUnloadHandlerStaysAtTheMirroredDepthUntilItRuns) {
    Actions a;
    MakeHolder(a);
    Actions onUnload;
    onUnload.push("unloading").trace();
    Var(a, "holder").push("onUnload").defineFunction("", {}, onUnload).op(op::kSetMember);
    a.pushInt(0);
    Var(a, "holder").push("removeMovieClip").op(op::kCallMethod).op(op::kPop);
    Var(a, "holder").trace();
    a.pushInt(0);
    Var(a, "holder").push("getDepth").op(op::kCallMethod).trace();
    Actions b;
    Var(b, "holder").trace();
    const auto l = Load({DoActionTag(a.bytes()), ShowFrameTag(), DoActionTag(b.bytes()), ShowFrameTag()});
    l->player->gotoFrame(1);
    // Script depth 1 goes to -32769 - 1.
    EXPECT_EQ(l->traced, (std::vector<std::string>{"_level0.holder", "-32770", "unloading", "undefined"}));
}

TEST(ClipReferences, AHandleWhoseClipWentNamesTheClipNowAtThePathItWasMadeAt) {
    // kept = createEmptyMovieClip("a", 1); kept._name = "renamed"; kept.v = 1; kept.removeMovieClip();
    // trace(kept); createEmptyMovieClip("a", 2).v = 2; trace(kept + " " + kept.v); the new one goes too: trace(kept)
    Actions a;
    a.pushInt(1).push("a").pushInt(2).push("_root").op(op::kGetVariable).push("createEmptyMovieClip").op(op::kCallMethod);
    a.push("kept").op(op::kStackSwap).op(op::kSetVariable);
    Var(a, "kept").push("_name").push("renamed").op(op::kSetMember);
    Var(a, "kept").push("v").push(1.0).op(op::kSetMember);
    a.pushInt(0);
    Var(a, "kept").push("removeMovieClip").op(op::kCallMethod).op(op::kPop);
    Var(a, "kept").trace();
    a.pushInt(2).push("a").pushInt(2).push("_root").op(op::kGetVariable).push("createEmptyMovieClip").op(op::kCallMethod);
    a.push("v").push(2.0).op(op::kSetMember);
    Var(a, "kept").push(" ").op(op::kAdd2);
    Member(a, "kept", "v").op(op::kAdd2).trace();
    a.pushInt(0);
    Member(a, "_root", "a").push("removeMovieClip").op(op::kCallMethod).op(op::kPop);
    a.push("[");
    Var(a, "kept").op(op::kAdd2).push("]").op(op::kAdd2).trace();
    const auto l = Load({DoActionTag(a.bytes()), ShowFrameTag()});
    // Renamed or not, the handle names the path the clip was made at: "_level0.a".
    EXPECT_EQ(l->traced, (std::vector<std::string>{"", "_level0.a 2", "[]"}));
}

}  // namespace

namespace {

// getBytesTotal: the main timeline's is the inflated file; a clip of a sprite counts the
// sprite's own tags (get_bytes_total); a clip made empty has none.
TEST(Loading, BytesTotalIsTheFilesForTheRootAndTheSpritesTagsForItsClips) {
    const std::vector<uint8_t> spriteTags = DefineSpriteTag(10, 1, {ShowFrameTag()});
    PlaceFields place{1, uint16_t{10}};
    place.name = "clip";
    Actions a;
    Method(a, "_root", "getBytesTotal", {}).trace();
    Method(a, "clip", "getBytesLoaded", {}).trace();
    a.pushInt(2).push("e").pushInt(2).push("_root").op(op::kGetVariable).push("createEmptyMovieClip").op(op::kCallMethod).op(op::kPop);
    Method(a, "e", "getBytesTotal", {}).trace();
    const std::string file = MovieFile({spriteTags, PlaceObject2Tag(place), DoActionTag(a.bytes()), ShowFrameTag()});
    TempDir dir;
    WriteFileBytes(dir.file("main.swf"), file);
    const auto l = LoadFile(dir.file("main.swf"));
    // The sprite's tags: its body less its id and frame count (a short tag header is 2 bytes).
    const size_t spriteBytes = spriteTags.size() - 2 - 4;
    EXPECT_EQ(l->traced, (std::vector<std::string>{std::to_string(file.size()), std::to_string(spriteBytes), "0"}));
}

}  // namespace

namespace {

// A movie loaded in place of level 0 brings its own stage size (loadmovie_replace_root).
TEST(Loading, AMovieReplacingLevelZeroBringsItsStageSize) {
    TempDir dir;
    Actions child;
    Member(child, "Stage", "width").trace();
    Member(child, "Stage", "height").trace();
    WriteFileBytes(dir.file("child.swf"), MovieFile({DoActionTag(child.bytes()), ShowFrameTag()}, 8, 300, 200));
    Actions a;
    Member(a, "Stage", "width").trace();
    GetUrl2(a, "child.swf", "_level0", 0x40);
    WriteFileBytes(dir.file("main.swf"), MovieFile({DoActionTag(a.bytes()), ShowFrameTag(), ShowFrameTag()}, 8));
    const auto l = LoadFile(dir.file("main.swf"));
    l->player->gotoFrame(1);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"100", "300", "200"}));
}

}  // namespace
