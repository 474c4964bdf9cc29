// What scripts show: text fields they make and change, masks they set and scroll rectangles,
// checked by the pixels the geometry gives and by what the scripts read back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/action_builder.h"
#include "support/script_movie.h"
#include "support/swf_builder.h"

namespace {

using namespace testing_support;
namespace op = action;

// object.name = value
Actions& SetNumber(Actions& a, const std::string& object, const std::string& name, double value) {
    return Var(a, object).push(name).push(value).op(op::kSetMember);
}
Actions& SetString(Actions& a, const std::string& object, const std::string& name, const std::string& value) {
    return Var(a, object).push(name).push(value).op(op::kSetMember);
}

// createTextField("tf", 1, 10, 5, 60, 20) with a red border.
Actions& BorderedField(Actions& a) {
    a.push(20.0).push(60.0).push(5.0).push(10.0).pushInt(1).push("tf");
    a.pushInt(6);
    Var(a, "_root").push("createTextField").op(op::kCallMethod).op(op::kPop);
    Var(a, "tf").push("border").pushBool(true).op(op::kSetMember);
    return SetNumber(a, "tf", "borderColor", 0xFF0000);
}

TEST(ScriptDisplay, ACreatedTextFieldDrawsItsBorderAndBackgroundAndReadsBack) {
    // createTextField("tf", 1, 10, 5, 60, 20): its lines run x 10..70, y 5..25.
    Actions a;
    BorderedField(a);
    Var(a, "tf").push("background").pushBool(true).op(op::kSetMember);
    SetNumber(a, "tf", "backgroundColor", 0x00FF00);
    SetString(a, "tf", "text", "a<b");
    Member(a, "tf", "text").trace();
    Member(a, "tf", "length").trace();
    Var(a, "tf").op(op::kTypeOf).trace();
    Member(a, "tf", "_x").trace();
    Member(a, "tf", "type").trace();
    Member(a, "tf", "borderColor").trace();
    // Formats: the field's default, then one that changes its size.
    a.push("f");
    Method(a, "tf", "getTextFormat", {}).op(op::kSetVariable);
    TraceFields(a, "f", {"font", "size", "color", "align", "bold"});
    a.push("g").pushInt(0).push("TextFormat").op(op::kNewObject).op(op::kSetVariable);
    SetNumber(a, "g", "size", 20);
    Var(a, "g").pushInt(1);
    Var(a, "tf").push("setTextFormat").op(op::kCallMethod).op(op::kPop);
    a.push("f");
    Method(a, "tf", "getTextFormat", {}).op(op::kSetVariable);
    TraceFields(a, "f", {"font", "size"});
    // An HTML field keeps its markup in htmlText and shows the text without it.
    Var(a, "tf").push("html").pushBool(true).op(op::kSetMember);
    SetString(a, "tf", "htmlText", "<p>x &amp; y&nbsp;</p>");
    Member(a, "tf", "text").trace();
    // The text field is found by name, and goes with removeTextField.
    Actions remove;
    Method(remove, "tf", "removeTextField", {}).op(op::kPop);
    const auto l = Load({DoActionTag(a.bytes()), ShowFrameTag(), DoActionTag(remove.bytes()), ShowFrameTag()}, 8);
    movie::Engine& player = *l->player;
    player.gotoFrame(0);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"a<b", "3", "object", "10", "dynamic", "16711680",
                                                   "Times New Roman,12,0,left,false", "Times New Roman,20",
                                                   "x & y\xC2\xA0"}))
        << "a no-break space is U+00A0, in UTF-8";
    EXPECT_EQ(PixelAt(player, 10, 15), kRed) << "the left line";
    EXPECT_EQ(PixelAt(player, 70, 15), kRed) << "the right line lies just outside the bounds";
    EXPECT_EQ(PixelAt(player, 40, 5), kRed);
    EXPECT_EQ(PixelAt(player, 40, 25), kRed);
    EXPECT_EQ(PixelAt(player, 69, 22), kGreen) << "the background";
    EXPECT_EQ(PixelAt(player, 71, 15), kWhite);
    EXPECT_EQ(PixelAt(player, 40, 27), kWhite);
    player.gotoFrame(1);
    EXPECT_EQ(PixelAt(player, 10, 15), kWhite);
}

TEST(ScriptDisplay, ATextFieldsWidthAndHeightResizeItsBoundsNotItsText) {
    // createTextField("tf", 1, 10, 5, 60, 20) with a border, then _width 40 and _height 30:
    // the border now runs x 10..50, y 5..35, and the scales stay 100.
    Actions a;
    BorderedField(a);
    SetNumber(a, "tf", "_width", 40);
    SetNumber(a, "tf", "_height", 30);
    for (const char* p : {"_width", "_height", "_xscale", "_yscale"}) Member(a, "tf", p).trace();
    const auto l = Load({DoActionTag(a.bytes()), ShowFrameTag()}, 8);
    movie::Engine& player = *l->player;
    player.gotoFrame(0);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"40", "30", "100", "100"}));
    EXPECT_EQ(PixelAt(player, 50, 20), kRed) << "the right line, moved in";
    EXPECT_EQ(PixelAt(player, 30, 35), kRed) << "the bottom line, moved down";
    EXPECT_EQ(PixelAt(player, 60, 20), kWhite) << "where the right line was";
}

// Two sprites: 10 shows red over the stage, 11 a blue 20 x 10 px rectangle; placed as "a" and
// (at 40, 20 px) "m".
std::vector<std::vector<uint8_t>> RedAndBlue() {
    PlaceFields a{1, uint16_t{10}};
    a.name = "a";
    PlaceFields m{2, uint16_t{11}, false, std::pair{800, 400}};
    m.name = "m";
    return {RectShapeTag(1, 2000, 1000, 255, 0, 0), RectShapeTag(2, 400, 200, 0, 0, 255),
            DefineSpriteTag(10, 1, {PlaceObject2Tag({1, uint16_t{1}}), ShowFrameTag()}),
            DefineSpriteTag(11, 1, {PlaceObject2Tag({1, uint16_t{2}}), ShowFrameTag()}), PlaceObject2Tag(a),
            PlaceObject2Tag(m)};
}

TEST(ScriptDisplay, SetMaskShowsTheMaskedClipOnlyWhereTheMaskLies) {
    auto tags = RedAndBlue();
    Actions set;
    Var(set, "m").pushInt(1);
    Var(set, "a").push("setMask").op(op::kCallMethod).op(op::kPop);
    tags.push_back(DoActionTag(set.bytes()));
    tags.push_back(ShowFrameTag());
    Actions unset;
    unset.pushNull().pushInt(1);
    Var(unset, "a").push("setMask").op(op::kCallMethod).op(op::kPop);
    tags.push_back(DoActionTag(unset.bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags);
    movie::Engine& player = *l->player;
    player.gotoFrame(0);
    // The mask covers x 40..60, y 20..30, and is not drawn itself.
    EXPECT_EQ(PixelAt(player, 45, 25), kRed);
    EXPECT_EQ(PixelAt(player, 59, 29), kRed);
    EXPECT_EQ(PixelAt(player, 61, 25), kWhite);
    EXPECT_EQ(PixelAt(player, 10, 10), kWhite);
    player.gotoFrame(1);
    EXPECT_EQ(PixelAt(player, 10, 10), kRed) << "no mask: all of it";
    EXPECT_EQ(PixelAt(player, 45, 25), kBlue) << "the old mask draws again";
}

TEST(ScriptDisplay, AScrollRectShowsPartOfTheClipFromItsCorner) {
    // A sprite of red at x 0..20 and blue at x 20..40 (10 px high), placed at (10, 10) as "s".
    PlaceFields s{1, uint16_t{10}, false, std::pair{200, 200}};
    s.name = "s";
    PlaceFields blue{2, uint16_t{2}, false, std::pair{400, 0}};
    Actions a;
    // s.scrollRect = new flash.geom.Rectangle(15, 0, 10, 10): x 15..25 of the sprite.
    Var(a, "s").push("scrollRect");
    a.push(10.0).push(10.0).push(0.0).push(15.0).pushInt(4);
    Var(a, "flash").push("geom").op(op::kGetMember).push("Rectangle").op(op::kNewMethod);
    a.op(op::kSetMember);
    Member(a, "s", "_width").trace();
    Var(a, "s").push("scrollRect").op(op::kGetMember).trace();
    const auto l = Load({RectShapeTag(1, 400, 200, 255, 0, 0), RectShapeTag(2, 400, 200, 0, 0, 255),
                         DefineSpriteTag(10, 1, {PlaceObject2Tag({1, uint16_t{1}}), PlaceObject2Tag(blue), ShowFrameTag()}),
                         PlaceObject2Tag(s), DoActionTag(a.bytes()), ShowFrameTag()});
    movie::Engine& player = *l->player;
    player.gotoFrame(0);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"10", "(x=15, y=0, w=10, h=10)"}));
    EXPECT_EQ(PixelAt(player, 12, 15), kRed) << "sprite x 17";
    EXPECT_EQ(PixelAt(player, 17, 15), kBlue) << "sprite x 22";
    EXPECT_EQ(PixelAt(player, 21, 15), kWhite) << "cut at the rectangle's width";
    EXPECT_EQ(PixelAt(player, 15, 21), kWhite) << "and its height";
}

}  // namespace

namespace {

TEST(ScriptDisplay, StageKeyMouseAndSelectionAnswerWithoutInput) {
    Actions a;
    Member(a, "Stage", "width").trace();
    Member(a, "Stage", "height").trace();
    SetString(a, "Stage", "scaleMode", "NOSCALE");
    Member(a, "Stage", "scaleMode").trace();
    SetString(a, "Stage", "scaleMode", "nonsense");
    Member(a, "Stage", "scaleMode").trace();
    SetString(a, "Stage", "align", "br");
    Member(a, "Stage", "align").trace();
    a.push(static_cast<double>(37));
    a.pushInt(1);
    Var(a, "Key").push("isDown").op(op::kCallMethod).trace();
    Member(a, "Key", "LEFT").trace();
    // Listeners are kept as the broadcaster keeps them.
    a.push("o").pushInt(0).op(op::kInitObject).op(op::kSetVariable);
    Var(a, "o").pushInt(1);
    Var(a, "Stage").push("addListener").op(op::kCallMethod).op(op::kPop);
    Var(a, "Stage").push("_listeners").op(op::kGetMember).push("length").op(op::kGetMember).trace();
    a.pushNull().pushInt(1);
    Var(a, "Selection").push("setFocus").op(op::kCallMethod).trace();
    Method(a, "Selection", "getFocus", {}).trace();
    const auto l = Load({DoActionTag(a.bytes()), ShowFrameTag()}, 8);
    l->player->gotoFrame(0);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"100", "50", "noScale", "showAll", "RB", "false", "37", "1", "true",
                                                   "null"}));
}

}  // namespace

namespace {

// name = new flash.filters.<cls>(numbers...)
Actions& NewFilter(Actions& a, const std::string& name, const std::string& cls, std::vector<double> args) {
    a.push(name);
    for (auto it = args.rbegin(); it != args.rend(); ++it) a.push(*it);
    a.pushInt(static_cast<int>(args.size()));
    Var(a, "flash").push("filters").op(op::kGetMember).push(cls).op(op::kNewMethod);
    return a.op(op::kSetVariable);
}

TEST(ScriptDisplay, FiltersSetByScriptDrawAndReadBackAsNewObjects) {
    // A blur of 8 px on the red 20 x 10 px rectangle of "m" at (40, 20): its edge spreads.
    auto tags = RedAndBlue();
    tags.erase(tags.begin() + 4);  // no red clip over the stage: the blue rectangle alone
    Actions a;
    NewFilter(a, "b", "BlurFilter", {8, 8, 1});
    NewFilter(a, "d", "DropShadowFilter", {});
    Var(a, "m").push("filters");
    Var(a, "d");
    Var(a, "b");
    // Neither a string nor an object that only says it is a filter, with a kind no number.
    a.push("__filterKind").push("x").pushInt(1).op(op::kInitObject);
    a.push("not a filter").pushInt(4).op(op::kInitArray).op(op::kSetMember);
    Var(a, "m").push("filters").op(op::kGetMember).push("length").op(op::kGetMember).trace();
    // Read back: new objects with the fields given, the defaults for the rest.
    Var(a, "m").push("filters").op(op::kGetMember).push("0").op(op::kGetMember).push("blurX").op(op::kGetMember).trace();
    Var(a, "m").push("filters").op(op::kGetMember).push("1").op(op::kGetMember).push("angle").op(op::kGetMember).trace();
    Var(a, "m").push("filters").op(op::kGetMember).push("0").op(op::kGetMember);
    Var(a, "b").op(op::kEquals2).trace();
    tags.push_back(DoActionTag(a.bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags);
    movie::Engine& player = *l->player;
    player.gotoFrame(0);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"2", "8", "45", "false"}));
    // Outside the rectangle the blur leaves some blue over the white; inside, near the edge,
    // some white shows through.
    const uint32_t outside = PixelAt(player, 38, 25), inside = PixelAt(player, 41, 25);
    EXPECT_LT((outside >> 16) & 0xFF, 255u) << "blue spreads past the left edge";
    EXPECT_GT((inside >> 16) & 0xFF, 0u) << "and the edge softens inside";
    EXPECT_EQ(PixelAt(player, 50, 25), kBlue) << "the middle stays";
    EXPECT_EQ(PixelAt(player, 20, 25), kWhite) << "far away stays white";
}

}  // namespace

namespace {

TEST(ScriptDisplay, AutoSizedFieldsTakeTheSizeOfTheirText) {
    // createTextField("tf", 1, 10, 5, 60, 20) in the embedded font "Boxes", whose "I" is one
    // em wide: 12 px at size 12. With autoSize "left" the field keeps only its 2 px padding on
    // each side around its text and grows from its left edge.
    Actions a;
    a.push(20.0).push(60.0).push(5.0).push(10.0).pushInt(1).push("tf").pushInt(6);
    Var(a, "_root").push("createTextField").op(op::kCallMethod).op(op::kPop);
    Var(a, "tf").push("embedFonts").pushBool(true).op(op::kSetMember);
    a.push(12.0).push("Boxes").pushInt(2).push("TextFormat").op(op::kNewObject).pushInt(1);
    Var(a, "tf").push("setTextFormat").op(op::kCallMethod).op(op::kPop);
    SetString(a, "tf", "autoSize", "LEFT");
    Member(a, "tf", "autoSize").trace();
    Member(a, "tf", "_width").trace();
    SetString(a, "tf", "text", "II");
    Member(a, "tf", "textWidth").trace();
    Member(a, "tf", "_width").trace();
    Member(a, "tf", "_x").trace();
    // "none" keeps the size it has.
    SetString(a, "tf", "autoSize", "none");
    SetString(a, "tf", "text", "IIII");
    Member(a, "tf", "_width").trace();
    const auto l = Load({DefineFont3Tag(1, "Boxes", {{'I', 0, 10240, -16384, 0, 20480}}, 16384, 4096),
                         DoActionTag(a.bytes()), ShowFrameTag()},
                        8);
    l->player->gotoFrame(0);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"left", "4", "24", "28", "10", "28"}));
}

TEST(ScriptDisplay, ShapesAnswerForTheirParentAndForInListsNamedObjectsFromTheTop) {
    // A named shape at depth 1, the named sprites "a" (1 -> 2) and "m" above it.
    PlaceFields shape{3, uint16_t{1}};
    shape.name = "box";
    auto tags = RedAndBlue();
    tags.push_back(PlaceObject2Tag(shape));
    Actions a;
    a.push("v").push(1.0).op(op::kSetVariable);
    a.push(-16381.0).pushInt(1);
    Var(a, "_root").push("getInstanceAtDepth").op(op::kCallMethod).trace();
    Var(a, "box").trace();
    // for (k in _root) trace(k)
    Var(a, "_root").op(op::kEnumerate2);
    a.label("loop").op(op::kPushDuplicate).pushNull().op(op::kEquals2).branchIf("done");
    a.trace().jump("loop").label("done").op(op::kPop);
    tags.push_back(DoActionTag(a.bytes()));
    tags.push_back(ShowFrameTag());
    const auto l = Load(tags);
    l->player->gotoFrame(0);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"_level0", "_level0", "v", "box", "m", "a"}));
}

TEST(ClipObjects, AddPropertyAndWatchWorkOnClipsBeforeTheirVariables) {
    // _root.addProperty("foo", function() { return "got" }, function(v) { trace("set " + v) });
    Actions getter;
    getter.push("got").op(op::kReturn);
    Actions setter;
    setter.push("set ").push("v").op(op::kGetVariable).op(op::kAdd2).trace();
    Actions a;
    a.defineFunction("", {"v"}, setter).defineFunction("", {}, getter).push("foo").pushInt(3);
    Var(a, "_root").push("addProperty").op(op::kCallMethod).trace();
    Var(a, "_root").push("foo").push(1.0).op(op::kSetMember);
    Member(a, "_root", "foo").trace();
    // _root.watch("bar", function(name, old, now) { return now * 2 }); bar = 5; bar = 6
    Actions watcher;
    watcher.push("old").op(op::kGetVariable).trace().push("now").op(op::kGetVariable).push(2.0).op(op::kMultiply).op(op::kReturn);
    a.defineFunction("", {"name", "old", "now"}, watcher).push("bar").pushInt(2);
    Var(a, "_root").push("watch").op(op::kCallMethod).trace();
    a.push("bar").push(5.0).op(op::kSetVariable);
    a.push("bar").push(6.0).op(op::kSetVariable);
    Var(a, "bar").trace();
    const auto l = Load({DoActionTag(a.bytes()), ShowFrameTag()});
    EXPECT_EQ(l->traced, (std::vector<std::string>{"true", "set 1", "got", "true", "undefined", "10", "12"}));
}

}  // namespace

namespace {

// Two static texts of one font: "F" at depth 1, and "ABC" over "DE" on two baselines at depth
// 2 (12 px glyphs 12 px apart, "ABC" from x 10 px on the baseline at 20 px).
std::vector<std::vector<uint8_t>> TwoTexts() {
    std::vector<BoxGlyph> glyphs;
    for (char c = 'A'; c <= 'F'; ++c) glyphs.push_back({static_cast<uint16_t>(c), 0, 20480, -20480, 0, 20480});
    TextLine abc{200, 400, 240, {{0, 240}, {1, 240}, {2, 240}}};
    TextLine de{200, 800, 240, {{3, 240}, {4, 240}}};
    TextLine f{1000, 900, 240, {{5, 240}}};
    PlaceFields second{2, uint16_t{5}, false, std::pair{0, 0}};
    second.name = "dt";
    return {DefineFont3Tag(1, "Boxes", glyphs, 16384, 4096), DefineTextTag(5, 1, {abc, de}), DefineTextTag(6, 1, {f}),
            PlaceObject2Tag({1, 6, false, std::pair{0, 0}}), PlaceObject2Tag(second)};
}

// A snapshot holds the static text of the clip's own display list in depth order, read with
// line breaks between lines, searched with and without case, and selected by ranges.
TEST(ScriptDisplay, TextSnapshotsReadSearchAndSelectTheStaticText) {
    Actions a;
    a.push("s");
    Method(a, "_root", "getTextSnapshot", {}).op(op::kSetVariable);
    Method(a, "s", "getCount", {}).trace();                     // 6
    Method(a, "s", "getText", {0, 100}).trace();                // FABCDE
    a.pushBool(true).pushInt(100).pushInt(0).pushInt(3);
    Var(a, "s").push("getText").op(op::kCallMethod).trace();
    Method(a, "s", "getText", {4, 1}).trace();                  // D: the end is at least one past the start
    Method(a, "s", "getText", {-5, 2}).trace();                 // FA
    Method(a, "s", "getText", {1}).trace();                     // undefined: two or three arguments
    Var(a.pushBool(false).push("bc").pushInt(0).pushInt(3), "s").push("findText").op(op::kCallMethod).trace();  // 2
    Var(a.pushBool(true).push("bc").pushInt(0).pushInt(3), "s").push("findText").op(op::kCallMethod).trace();   // -1
    Var(a.pushBool(true).push("A").pushInt(-1).pushInt(3), "s").push("findText").op(op::kCallMethod).trace();   // -1
    Var(a.pushBool(true).pushInt(3).pushInt(1).pushInt(3), "s").push("setSelected").op(op::kCallMethod).op(op::kPop);
    Var(a.pushBool(false).pushInt(1), "s").push("getSelectedText").op(op::kCallMethod).trace();  // AB
    Method(a, "s", "getSelected", {0, 1}).trace();  // false
    Method(a, "s", "getSelected", {0, 2}).trace();  // true
    Method(a, "s", "hitTestTextNearPos", {15, 15}).trace();     // 1: inside A's box
    Method(a, "s", "hitTestTextNearPos", {5, 14, 3}).trace();   // -1: 5 px left of it
    Method(a, "s", "hitTestTextNearPos", {5, 14, 6}).trace();   // 1
    // Taken when made: the texts going later leaves it as it was.
    a.push("_root").op(op::kGetVariable).push("dt").op(op::kGetMember).op(op::kRemoveSprite);
    a.push("gone").trace();
    Method(a, "s", "getCount", {}).trace();  // 6
    const auto l = Load([&] {
        auto tags = TwoTexts();
        tags.push_back(DoActionTag(a.bytes()));
        tags.push_back(ShowFrameTag());
        return tags;
    }(), 8);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"6", "FABCDE", "F\nABC\nDE", "D", "FA", "undefined", "2", "-1", "-1",
                                                   "AB", "false", "true", "1", "-1", "1", "gone", "6"}));
}

// getTextSnapshot makes its snapshot by whatever _global.TextSnapshot is, with the clip as
// argument; version 5 movies see no TextSnapshot methods, though for-in lists them.
TEST(ScriptDisplay, GetTextSnapshotUsesTheGlobalConstructorAndVersionFiveSeesNoMethods) {
    Actions ctor;
    ctor.push("made for ").push("clip").op(op::kGetVariable).op(op::kAdd2).trace();
    Actions a;
    a.push("_global").op(op::kGetVariable).push("TextSnapshot");
    a.defineFunction("", {"clip"}, ctor);
    a.op(op::kSetMember);
    Method(a, "_root", "getTextSnapshot", {}).op(op::kPop);
    const auto l = Load({DoActionTag(a.bytes()), ShowFrameTag()}, 8);
    EXPECT_EQ(l->traced, std::vector<std::string>{"made for _level0"});

    Actions b;
    b.push("s").pushInt(0).push("TextSnapshot").op(op::kNewObject).op(op::kSetVariable);
    Member(b, "s", "getCount").op(op::kTypeOf).trace();
    Member(b, "_root", "getTextSnapshot").op(op::kTypeOf).trace();
    for (const uint8_t version : {uint8_t{5}, uint8_t{6}}) {
        const auto v = Load({DoActionTag(b.bytes()), ShowFrameTag()}, version);
        const std::vector<std::string> hidden = {"undefined", "undefined"}, shown = {"function", "function"};
        EXPECT_EQ(v->traced, version == 5 ? hidden : shown) << int{version};
    }
}

}  // namespace

namespace {

// A field bound to a variable reads as the variable's value at once, not only once the frame
// has been drawn (textfield_cache_as_bitmap).
// Field 2: 100 x 20 pixels at the origin.
EditTextFields FieldTwo() {
    EditTextFields f;
    f.id = 2;
    f.xMax = 2000;
    f.yMax = 400;
    return f;
}

TEST(ScriptDisplay, ABoundFieldReadsItsVariableAtOnce) {
    EditTextFields f = FieldTwo();
    f.variable = "label";
    f.text = "first";
    PlaceFields place{1, uint16_t{2}};
    place.name = "tf";
    Actions a;
    Member(a, "tf", "text").trace();
    a.push("label").push("second").op(op::kSetVariable);
    Member(a, "tf", "text").trace();
    const auto l = Load({DefineEditTextTag(f), PlaceObject2Tag(place), DoActionTag(a.bytes()), ShowFrameTag()}, 8);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"first", "second"}));
}

}  // namespace

namespace {

// textHeight: the lines and the leading between them; a field of one line counts its
// leading as well (edittext_text_height_leading).
TEST(ScriptDisplay, TextHeightCountsLeadingBetweenLinesAndUnderASingleLine) {
    const auto font = DefineFont3Tag(1, "Boxes", {{'a', 0, 10240, -16384, 0, 10240}, {'b', 0, 10240, -16384, 0, 10240}},
                                     16384, 4096);
    std::vector<std::string> heights;
    for (const char* text : {"ab", "a\rb"}) {
        EditTextFields f;
        f.id = 2;
        f.xMax = 4000;
        f.yMax = 2000;
        f.fontId = 1;
        f.height = 240;  // a line: ascent 9.6 px and descent 2.4 px
        f.align = 0;
        f.leading = 100;  // 5 px
        f.multiline = true;
        f.text = text;
        PlaceFields place{1, uint16_t{2}};
        place.name = "tf";
        Actions a;
        Member(a, "tf", "textHeight").trace();
        const auto l = Load({font, DefineEditTextTag(f), PlaceObject2Tag(place), DoActionTag(a.bytes()), ShowFrameTag()}, 8);
        heights.insert(heights.end(), l->traced.begin(), l->traced.end());
    }
    EXPECT_EQ(heights, (std::vector<std::string>{"17", "29"}));
}

}  // namespace

namespace {

// getTextExtent measures text in a format: one line per paragraph, or wrapped at a width
// given; the field that would hold it is 4 px wider (or the width given) and 4 px taller.
TEST(ScriptDisplay, GetTextExtentMeasuresTextAsAFieldWouldHoldIt) {
    Actions a;
    a.push("f").pushInt(0).push("TextFormat").op(op::kNewObject).op(op::kSetVariable);
    const auto extent = [&](const char* name, const char* text, std::optional<double> width) {
        a.push(name);
        if (width) a.push(*width);
        a.push(text).pushInt(width ? 2 : 1);
        Var(a, "f").push("getTextExtent").op(op::kCallMethod).op(op::kSetVariable);
    };
    const std::string words = "lorem ipsum dolor sit amet consectetur";
    extent("one", "lorem", std::nullopt);
    extent("two", "lorem lorem", std::nullopt);
    extent("wrapped", words.c_str(), 60.0);
    extent("single", words.c_str(), std::nullopt);
    for (const char* v : {"one", "two", "wrapped", "single"}) {
        TraceFields(a, v, {"width", "height", "textFieldWidth", "textFieldHeight", "ascent", "descent"});
    }
    Member(a, "one", "__proto__").trace();
    const auto l = Load({DoActionTag(a.bytes()), ShowFrameTag()}, 8);
    ASSERT_EQ(l->traced.size(), 5u);
    const auto numbers = [](const std::string& line) {
        std::vector<double> out;
        size_t at = 0;
        while (at <= line.size()) {
            const size_t comma = line.find(',', at);
            out.push_back(std::stod(line.substr(at, comma - at)));
            if (comma == std::string::npos) break;
            at = comma + 1;
        }
        return out;
    };
    const auto one = numbers(l->traced[0]), two = numbers(l->traced[1]);
    const auto wrapped = numbers(l->traced[2]), single = numbers(l->traced[3]);
    EXPECT_GT(one[0], 0);
    EXPECT_GT(two[0], one[0] * 1.5) << "twice the text is about twice as wide";
    EXPECT_EQ(one[2], one[0] + 4);
    EXPECT_EQ(one[3], one[1] + 4);
    EXPECT_NEAR(one[4] + one[5], one[1], 1) << "a line is its ascent and descent high";
    EXPECT_EQ(wrapped[2], 60) << "the field is as wide as the width given";
    EXPECT_LE(wrapped[0], 56) << "the lines fit inside its 2 px padding";
    EXPECT_GE(wrapped[1], 3 * single[1]) << "the words wrap onto several lines";
    EXPECT_EQ(l->traced[4], "undefined") << "the extent object has no prototype";
}

}  // namespace

namespace {

// The text of an HTML field: each paragraph ends in a carriage return, the last one too in
// a multiline field (issue_3522, edittext_newline_stripping) but not in a field of one line.
TEST(ScriptDisplay, AMultilineHtmlFieldKeepsItsLastParagraphsEnd) {
    Actions a;
    a.push("tf").pushInt(10).pushInt(100).pushInt(0).pushInt(0).pushInt(1).push("tf").pushInt(6);
    Var(a, "_root").push("createTextField").op(op::kCallMethod).op(op::kSetVariable);
    Var(a, "tf").push("html").pushBool(true).op(op::kSetMember);
    for (const bool multiline : {false, true}) {
        Var(a, "tf").push("multiline").pushBool(multiline).op(op::kSetMember);
        SetString(a, "tf", "htmlText", "<p>a</p><p>b</p>");
        Member(a, "tf", "text").push("|").op(op::kAdd2).trace();
    }
    const auto l = Load({DoActionTag(a.bytes()), ShowFrameTag()}, 8);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"a\nb|", "a\nb\n|"}));
}

}  // namespace

namespace {

// setTextFormat recolours the text there but textColor keeps reading the field's colour;
// setNewTextFormat is for text put in later: the text there keeps its colour until replaced
// (textfield_properties).
TEST(ScriptDisplay, NewTextFormatsWaitForNewTextAndTextColorIgnoresFormatsOfTheTextThere) {
    EditTextFields f = FieldTwo();
    f.fontId = 1;
    f.height = 240;
    f.color = std::array<uint8_t, 4>{255, 0, 0, 255};
    f.text = "a";
    PlaceFields place{1, uint16_t{2}};
    place.name = "tf";
    const auto format = [](Actions& a, const char* method, double colour) {
        a.push("fmt").pushInt(0).push("TextFormat").op(op::kNewObject).op(op::kSetVariable);
        SetNumber(a, "fmt", "color", colour);
        Var(a, "fmt").pushInt(1);
        Var(a, "tf").push(method).op(op::kCallMethod).op(op::kPop);
    };
    Actions a;
    format(a, "setTextFormat", 0x00FF00);
    Member(a, "tf", "textColor").trace();  // still red: 16711680
    format(a, "setNewTextFormat", 0x0000FF);
    Member(a, "tf", "textColor").trace();  // blue: 255
    Method(a, "tf", "getNewTextFormat", {}).push("color").op(op::kGetMember).trace();
    Method(a, "tf", "getTextFormat", {}).push("color").op(op::kGetMember).trace();  // the text there: green
    Actions b;
    SetString(b, "tf", "text", "a");
    const auto font = DefineFont3Tag(1, "Boxes", {{'a', 0, 10240, -16384, 0, 10240}}, 16384, 4096);
    const auto l = Load({font, DefineEditTextTag(f), PlaceObject2Tag(place), DoActionTag(a.bytes()), ShowFrameTag(),
                         DoActionTag(b.bytes()), ShowFrameTag()}, 8);
    EXPECT_EQ(l->traced, (std::vector<std::string>{"16711680", "255", "255", "65280"}));
    EXPECT_EQ(PixelAt(*l->player, 5, 7), kGreen) << "the text there took the format given to it";
    l->player->gotoFrame(1);
    EXPECT_EQ(PixelAt(*l->player, 5, 7), kBlue) << "new text takes the new format";
}

}  // namespace

namespace {

// HTML paragraphs that give no alignment: before version 8 they are left aligned, from 8 they
// take the field's; and an HTML field made without text starts left aligned whatever its
// record says (edittext_html_align_swf7, _swf8).
TEST(ScriptDisplay, HtmlParagraphsWithoutAlignmentFollowTheVersionAndEmptyHtmlFieldsStartLeft) {
    EditTextFields centred = FieldTwo();
    centred.align = 2;
    centred.text = "";
    EditTextFields emptyHtml = centred;
    emptyHtml.id = 3;
    emptyHtml.html = true;
    emptyHtml.text = std::nullopt;
    PlaceFields a{1, uint16_t{2}};
    a.name = "plain";
    PlaceFields b{2, uint16_t{3}};
    b.name = "html";
    Actions s;
    Var(s, "plain").push("html").pushBool(true).op(op::kSetMember);
    SetString(s, "plain", "htmlText", "x");
    Method(s, "plain", "getTextFormat", {}).push("align").op(op::kGetMember).trace();
    Method(s, "html", "getTextFormat", {}).push("align").op(op::kGetMember).trace();
    for (const uint8_t version : {uint8_t{7}, uint8_t{8}}) {
        const auto l = Load({DefineEditTextTag(centred), DefineEditTextTag(emptyHtml), PlaceObject2Tag(a), PlaceObject2Tag(b),
                             DoActionTag(s.bytes()), ShowFrameTag()},
                            version);
        EXPECT_EQ(l->traced, (std::vector<std::string>{version >= 8 ? "center" : "left", "left"})) << int{version};
    }
}

}  // namespace
