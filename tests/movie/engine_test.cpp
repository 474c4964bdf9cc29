// Whole movies from the test SWF builder, played and drawn, checked pixel by pixel.
#include <memory>
#include <gtest/gtest.h>

#include "movie/engine.h"
#include "movie/render/filters.h"
#include "support/swf_builder.h"
#include "../image/jpeg_fixture.h"
#include "../raster/raster_test_util.h"

namespace {

using namespace testing_support;
using raster_test::Picture;
namespace tag = swf::tag;

// A filled rectangle shape of w x h twips at the origin.
std::vector<uint8_t> RectShape(uint16_t id, int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
    return RectShapeTag(id, w, h, r, g, b, a);
}

using Place = PlaceFields;
std::vector<uint8_t> PlaceObject2(const Place& p) { return PlaceObject2Tag(p); }
std::vector<uint8_t> ShowFrame() { return ShowFrameTag(); }

// A movie of 100 x 50 px with the given tags.
std::unique_ptr<movie::Engine> Load(const std::vector<std::vector<uint8_t>>& tags) {
    SwfFields fields;
    fields.xMax = 2000;
    fields.yMax = 1000;
    fields.tags.clear();
    for (const auto& t : tags) AppendBytes(fields.tags, t);
    AppendBytes(fields.tags, TagRecord(tag::kEnd, {}));
    const std::string bytes = BuildSwfFile(fields);
    swf::SwfFile file;
    std::string error;
    EXPECT_TRUE(swf::ParseSwf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file, error)) << error;
    auto player = std::make_unique<movie::Engine>();
    EXPECT_TRUE(player->load(file, error)) << error;
    return player;
}

Picture Draw(movie::Engine& player, int w = 100, int h = 50, bool transparent = false) {
    Picture pic(w, h);
    player.draw(pic.target, transparent, true);
    return pic;
}

const uint32_t kRed = raster::PremultipliedWord({255, 0, 0, 255});
const uint32_t kBlue = raster::PremultipliedWord({0, 0, 255, 255});
const uint32_t kGreyBackground = raster::PremultipliedWord({50, 60, 70, 255});

TEST(Engine, ShapeAtItsPlaceOverTheBackground) {
    const auto owned = Load({BackgroundTag(50, 60, 70), RectShape(1, 400, 200, 255, 0, 0),
                                 PlaceObject2({1, 1, false, std::pair{200, 100}}), ShowFrame()});
    movie::Engine& player = *owned;
    EXPECT_EQ(player.totalFrames(), 1);
    EXPECT_EQ(player.currentFrame(), 0);
    EXPECT_EQ(player.stageWidth(), 100);
    const Picture pic = Draw(player);
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 100; ++x) {
            const bool inside = x >= 10 && x < 30 && y >= 5 && y < 15;
            EXPECT_EQ(pic.at(x, y), inside ? kRed : kGreyBackground) << x << "," << y;
        }
    }
    // Scaled to twice the stage size: twice as far and twice as large.
    const Picture big = Draw(player, 200, 100);
    EXPECT_EQ(big.at(20, 10), kRed);
    EXPECT_EQ(big.at(59, 29), kRed);
    EXPECT_EQ(big.at(60, 29), kGreyBackground);
}

// The players keep the movie's first background colour: later SetBackgroundColor tags, in the
// same frame or later ones, and those inside sprites, change nothing.
TEST(Engine, TheFirstBackgroundColourIsKept) {
    const auto owned = Load({DefineSpriteTag(5, 1, {BackgroundTag(1, 2, 3), ShowFrame()}),
                             PlaceObject2({5, 1, false, std::pair{0, 0}}), BackgroundTag(50, 60, 70),
                             BackgroundTag(200, 0, 0), ShowFrame(), BackgroundTag(0, 200, 0), ShowFrame(), ShowFrame()});
    movie::Engine& player = *owned;
    for (int frame : {0, 1, 2, 0}) {
        player.gotoFrame(frame);
        EXPECT_EQ(Draw(player).at(50, 25), kGreyBackground) << "frame " << frame;
    }
}

TEST(Engine, ShapesFillEvenOddUnlessDefineShape4AsksForNonZero) {
    // Two squares of one fill drawn the same way round overlap at (5..15, 5..15) px: even-odd
    // leaves the overlap empty, the non-zero rule fills it.
    const auto records = ShapeRecordWriter(1, 0)
                             .change(std::pair{0, 0}, std::nullopt, 1u, std::nullopt)
                             .line(300, 0).line(0, 300).line(-300, 0).line(0, -300)
                             .change(std::pair{100, 100}, std::nullopt, std::nullopt, std::nullopt)
                             .line(300, 0).line(0, 300).line(-300, 0).line(0, -300)
                             .end();
    const std::vector<uint8_t> v3 = DefineShapeBody(1, 0, 400, 0, 400, {SolidFill(255, 0, 0, 255)}, {}, records);
    BitWriter w;
    WriteRect(w, 0, 400, 0, 400);
    const std::vector<uint8_t> rect = w.take();
    for (const uint8_t flags : {uint8_t{0}, uint8_t{0x04}}) {
        // DefineShape4: the same with its edge bounds and flags after the bounds.
        std::vector<uint8_t> v4(v3.begin(), v3.begin() + 2 + static_cast<ptrdiff_t>(rect.size()));
        AppendBytes(v4, rect);
        v4.push_back(flags);
        v4.insert(v4.end(), v3.begin() + 2 + static_cast<ptrdiff_t>(rect.size()), v3.end());
        auto player = Load({TagRecord(tag::kDefineShape4, v4), PlaceObject2({1, 1}), ShowFrame()});
        const Picture pic = Draw(*player);
        EXPECT_EQ(pic.at(2, 2), kRed) << int(flags);
        EXPECT_EQ(pic.at(18, 18), kRed) << int(flags);
        EXPECT_EQ(pic.at(10, 10), flags != 0 ? kRed : raster::PremultipliedWord({255, 255, 255, 255})) << int(flags);
    }
}

TEST(Engine, TransparentDrawIsPremultiplied) {
    const auto owned = Load({BackgroundTag(50, 60, 70), RectShape(1, 400, 200, 255, 0, 0, 128),
                                 PlaceObject2({1, 1, false, std::pair{200, 100}}), ShowFrame()});
    movie::Engine& player = *owned;
    const Picture pic = Draw(player, 100, 50, true);
    EXPECT_EQ(pic.at(0, 0), 0u) << "no background";
    EXPECT_EQ(pic.at(20, 10), raster::PremultipliedWord({255, 0, 0, 128}));
}

TEST(Engine, HigherDepthsDrawOnTop) {
    const auto owned = Load({RectShape(1, 400, 400, 255, 0, 0), RectShape(2, 400, 400, 0, 0, 255),
                                 PlaceObject2({5, 1, false, std::pair{0, 0}}),
                                 PlaceObject2({3, 2, false, std::pair{200, 200}}), ShowFrame()});
    movie::Engine& player = *owned;
    const Picture pic = Draw(player);
    EXPECT_EQ(pic.at(15, 15), kRed) << "depth 5 above depth 3";
    EXPECT_EQ(pic.at(25, 25), kBlue);
}

TEST(Engine, ColourTransformsMultiplyAndAdd) {
    const auto owned = Load({RectShape(1, 400, 400, 200, 100, 0),
                                 PlaceObject2({1, 1, false, std::pair{0, 0}, std::array<int, 4>{128, 256, 256, 256},
                                               std::array<int, 4>{0, 0, 100, 0}}),
                                 ShowFrame()});
    movie::Engine& player = *owned;
    const uint32_t p = Draw(player).at(5, 5);
    EXPECT_EQ(raster::ChannelR(p), 100u);
    EXPECT_EQ(raster::ChannelG(p), 100u);
    EXPECT_EQ(raster::ChannelB(p), 100u);
}

// PlaceObject3's blend mode composites the object onto what lies below it by its formula;
// an invisible object draws nothing.
TEST(Engine, BlendModesAndVisibilityFromPlaceObject3) {
    const struct {
        uint8_t mode;
        raster::Rgba expected;  // a (200, 100, 0) backdrop under (0, 128, 255)
        const char* name;
    } cases[] = {
        {1, {0, 128, 255, 255}, "normal"},
        {3, {0, 50, 0, 255}, "multiply: 100 * 128 / 255"},
        {4, {200, 178, 255, 255}, "screen"},
        {5, {200, 128, 255, 255}, "lighten"},
        {6, {0, 100, 0, 255}, "darken"},
        {7, {200, 28, 255, 255}, "difference"},
        {8, {200, 228, 255, 255}, "add"},
        {9, {200, 0, 0, 255}, "subtract: backdrop minus layer"},
    };
    for (const auto& c : cases) {
        Place top{2, 2, false, std::pair{0, 0}};
        top.blendMode = c.mode;
        const auto owned = Load({RectShape(1, 2000, 1000, 200, 100, 0), RectShape(2, 400, 400, 0, 128, 255),
                                     PlaceObject2({1, 1, false, std::pair{0, 0}}), PlaceObject3Tag(top), ShowFrame()});
        movie::Engine& player = *owned;
        const Picture pic = Draw(player);
        const uint32_t p = pic.at(5, 5);
        EXPECT_NEAR(int(raster::ChannelR(p)), c.expected.r, 1) << c.name;
        EXPECT_NEAR(int(raster::ChannelG(p)), c.expected.g, 1) << c.name;
        EXPECT_NEAR(int(raster::ChannelB(p)), c.expected.b, 1) << c.name;
        EXPECT_EQ(pic.at(50, 40), raster::PremultipliedWord({200, 100, 0, 255})) << c.name << ": outside the layer";
    }
    Place hidden{2, 2, false, std::pair{0, 0}};
    hidden.visible = false;
    const auto owned = Load({RectShape(1, 2000, 1000, 200, 100, 0), RectShape(2, 400, 400, 0, 128, 255),
                                 PlaceObject2({1, 1, false, std::pair{0, 0}}), PlaceObject3Tag(hidden), ShowFrame()});
    movie::Engine& player = *owned;
    EXPECT_EQ(Draw(player).at(5, 5), raster::PremultipliedWord({200, 100, 0, 255}));
}

// Erase cuts through the layer of a blended ancestor; with none it shows nothing.
TEST(Engine, EraseNeedsALayerToCutThrough) {
    Place eraser{2, 2, false, std::pair{0, 0}};
    eraser.blendMode = 12;  // erase
    // A sprite with a red rectangle and the eraser over its left part.
    const auto sprite = DefineSpriteTag(10, 1, {PlaceObject2({1, 1, false, std::pair{0, 0}}), PlaceObject3Tag(eraser),
                                                ShowFrame()});
    const std::vector<uint8_t> shapes[] = {RectShape(1, 2000, 1000, 255, 0, 0), RectShape(2, 400, 400, 0, 0, 255)};
    for (uint8_t spriteMode : {uint8_t(2) /* layer */, uint8_t(1) /* normal */}) {
        Place holder{1, 10, false, std::pair{0, 0}};
        holder.blendMode = spriteMode;
        const auto owned = Load({BackgroundTag(50, 60, 70), shapes[0], shapes[1], sprite, PlaceObject3Tag(holder),
                                     ShowFrame()});
        movie::Engine& player = *owned;
        const Picture pic = Draw(player);
        EXPECT_EQ(pic.at(5, 5), spriteMode == 2 ? kGreyBackground : kRed) << int(spriteMode);
        EXPECT_EQ(pic.at(50, 40), kRed) << int(spriteMode);
    }
}

// A blur filter spreads the object over its box width at the stage's scale: a 10 px square
// blurred 9 px wide (one pass) fades over 4.5 px each side; at twice the size the reach
// beyond the centre pixel doubles (a box of 17 px), fading over 8.5.
TEST(Engine, BlurFilterSpreadsByItsWidthAtTheStageScale) {
    Place blurred{1, 1, false, std::pair{400, 200}};  // the square at x 20..30, y 10..20 px
    std::vector<uint8_t> list = {1};
    AppendBytes(list, BlurFilter(9, 9, 1));
    blurred.filterList = list;
    const auto owned = Load({RectShape(1, 200, 200, 255, 255, 255), PlaceObject3Tag(blurred), ShowFrame()});
    movie::Engine& player = *owned;
    for (int scale : {1, 2}) {
        const Picture pic = Draw(player, 100 * scale, 50 * scale, true);
        const int y = 15 * scale;
        EXPECT_EQ(pic.alpha(25 * scale, y), 255u) << scale << ": the middle stays opaque";
        EXPECT_GT(pic.alpha(18 * scale, y), 0u) << scale << ": inside the spread";
        EXPECT_LT(pic.alpha(18 * scale, y), 128u) << scale;
        EXPECT_EQ(pic.alpha(15 * scale - 1, y), 0u) << scale << ": beyond it";
        // An odd box (9 px) is centred on each pixel: both edges fade alike.
        if (scale == 1) {
            EXPECT_EQ(pic.alpha(20, y), pic.alpha(29, y));
        }
    }
    // 2 px at twice the size: a box of 3 device pixels, not 4. The square's left edge (x 40)
    // ramps 1/3, 2/3 over pixels 39 and 40.
    Place two{1, 1, false, std::pair{400, 200}};
    std::vector<uint8_t> twoList = {1};
    AppendBytes(twoList, BlurFilter(2, 0, 1));
    two.filterList = twoList;
    const auto small = Load({RectShape(1, 200, 200, 255, 255, 255), PlaceObject3Tag(two), ShowFrame()});
    const Picture pic = Draw(*small, 200, 100, true);
    EXPECT_EQ(pic.alpha(38, 30), 0u);
    EXPECT_EQ(pic.alpha(39, 30), 85u);
    EXPECT_EQ(pic.alpha(40, 30), 170u);
    EXPECT_EQ(pic.alpha(41, 30), 255u);
}

// Filters run on the part of the layer the object and their reach cover: the same pixels as
// filtering the whole layer. The frame's filter work is bounded: a filter that does not fit in
// what is left is left out, and so are those after it.
TEST(Engine, FiltersWorkOnTheObjectsPartOfTheLayerWithinTheFramesBudget) {
    std::vector<swf::Filter> list;
    list.push_back(swf::BlurFilter{6, 4, 2});
    swf::DropShadowFilter shadow;
    shadow.color = {0, 0, 0, 200};
    shadow.effect.blurX = shadow.effect.blurY = 5;
    shadow.effect.distance = 7;
    shadow.effect.angle = 0.5f;
    shadow.effect.strength = 1;
    list.push_back(shadow);
    swf::BevelFilter bevel;
    bevel.highlight = {255, 255, 255, 255};
    bevel.shadow = {0, 0, 80, 255};
    bevel.effect.blurX = bevel.effect.blurY = 3;
    bevel.effect.distance = 3;
    bevel.effect.strength = 1;
    list.push_back(bevel);
    auto squareAt = [](Picture& pic) {
        for (int y = 30; y < 50; ++y) {
            for (int x = 40; x < 70; ++x) pic.pixels[size_t(y) * pic.width + x] = kRed;
        }
    };
    Picture whole(120, 90), part(120, 90);
    squareAt(whole);
    squareAt(part);
    raster::Filters filters;
    movie::FilterBudget ample;
    const raster::PixelBox all = raster::PixelBox::Whole(120, 90);
    movie::ApplyFilters(filters, whole.target, all, list, 1, 1, ample);
    const raster::PixelBox grown = movie::ApplyFilters(filters, part.target, {40, 30, 70, 50}, list, 1, 1, ample);
    EXPECT_FALSE(ample.exhausted);
    EXPECT_TRUE(whole.pixels == part.pixels) << "filtering the object's part changes what filtering all of it does";
    EXPECT_LT(grown.x0, 40 - 10);
    EXPECT_GT(grown.y1, 50 + 10);
    for (int y = 0; y < 90; ++y) {
        for (int x = 0; x < 120; ++x) {
            const bool inside = x >= grown.x0 && x < grown.x1 && y >= grown.y0 && y < grown.y1;
            if (!inside) ASSERT_EQ(part.at(x, y), 0u) << x << ", " << y << ": outside the box returned";
        }
    }
    // A budget that holds the blur's 2 passes over its box but not the shadow after it: the
    // picture is the blur's alone.
    Picture blurOnly(120, 90), cut(120, 90);
    squareAt(blurOnly);
    squareAt(cut);
    movie::FilterBudget plenty;
    movie::ApplyFilters(filters, blurOnly.target, {40, 30, 70, 50}, {list[0]}, 1, 1, plenty);
    movie::FilterBudget tight;
    tight.left = movie::kMaxFilterWorkPerFrame - plenty.left;
    movie::ApplyFilters(filters, cut.target, {40, 30, 70, 50}, list, 1, 1, tight);
    EXPECT_TRUE(tight.exhausted);
    EXPECT_EQ(tight.left, 0);
    EXPECT_TRUE(cut.pixels == blurOnly.pixels);
}

// 255 blurs of 255 px in 15 passes each over a full-HD frame would filter some 8 G pixels; the
// frame takes what kMaxFilterWorkPerFrame allows, draws the object blurred, and says what it
// left out. At the stage's own size the same filters stay below the limit.
TEST(Engine, AFrameOf255BlursStopsAtItsFilterWorkLimit) {
    Place blurred{1, 1, false, std::pair{500, 250}};  // 50 x 25 px in the middle
    std::vector<uint8_t> list = {255};
    for (int i = 0; i < 255; ++i) AppendBytes(list, BlurFilter(255, 255, 15));
    blurred.filterList = list;
    const auto owned = Load({RectShape(1, 1000, 500, 255, 255, 255), PlaceObject3Tag(blurred), ShowFrame()});
    Draw(*owned, 100, 50, true);
    EXPECT_TRUE(owned->leftOut().empty());
    const Picture big = Draw(*owned, 1920, 1080, true);
    ASSERT_EQ(owned->leftOut().size(), 1u);
    EXPECT_NE(owned->leftOut()[0].find("kMaxFilterWorkPerFrame"), std::string::npos) << owned->leftOut()[0];
    EXPECT_GT(big.alpha(960, 540), 0u) << "the object is still drawn, blurred by the filters that fit";
    EXPECT_LT(big.alpha(960, 540), 255u);
}

// Masks nested inside masks each take a layer for the mask and one for what it holds. Past
// kMaxLayerDepth (or kMaxLayerBytes over the frame's size) the layers are void: what lies
// inside them is left out and the log says so; what lies outside them is drawn as ever.
TEST(Engine, MasksNestedPastTheLayerLimitLeaveOutWhatTheyHold) {
    for (const int masks : {100, 200}) {
        std::vector<std::vector<uint8_t>> tags = {RectShape(1, 2000, 1000, 0, 0, 255), RectShape(2, 200, 200, 255, 0, 0)};
        Place below{1, 1, false, std::pair{0, 0}};  // a blue stage under every mask
        tags.push_back(PlaceObject2(below));
        const uint16_t inner = static_cast<uint16_t>(masks + 2);
        for (int i = 0; i < masks; ++i) {
            Place clip{static_cast<uint16_t>(i + 2), 1, false, std::pair{0, 0}};
            clip.clipDepth = inner;  // each mask holds the ones after it and the square
            tags.push_back(PlaceObject2(clip));
        }
        tags.push_back(PlaceObject2({inner, 2, false, std::pair{200, 200}}));  // a red square at 10, 10 px
        tags.push_back(ShowFrame());
        const auto owned = Load(tags);
        const Picture pic = Draw(*owned);
        EXPECT_EQ(pic.at(40, 40), kBlue) << masks;
        if (2 * masks <= raster::kMaxLayerDepth) {
            EXPECT_EQ(pic.at(15, 15), kRed) << masks << " masks: within the limit, the square shows";
            EXPECT_TRUE(owned->leftOut().empty());
        } else {
            EXPECT_EQ(pic.at(15, 15), kBlue) << masks << " masks: past it, the square is left out";
            ASSERT_EQ(owned->leftOut().size(), 1u);
            EXPECT_NE(owned->leftOut()[0].find("kMaxLayerDepth"), std::string::npos) << owned->leftOut()[0];
        }
    }
}

// A lossless bitmap filling a shape through its matrix: 2 x 2 pixels, each 5 px on the stage.
TEST(Engine, BitmapFillsShowTheLosslessBitmapThroughTheirMatrix) {
    std::vector<uint8_t> bits;
    AppendU16(bits, 5);
    bits.push_back(5);  // 32-bit ARGB
    AppendU16(bits, 2);
    AppendU16(bits, 2);
    AppendBytes(bits, [] {
        const std::string z = ZlibCompress({255, 255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 128, 128, 128, 128});
        return std::vector<uint8_t>(z.begin(), z.end());
    }());
    const auto records = ShapeRecordWriter(1, 0)
                             .change(std::pair{0, 0}, std::nullopt, 1u, std::nullopt)
                             .line(200, 0).line(0, 200).line(-200, 0).line(0, -200)
                             .end();
    for (uint8_t type : {uint8_t(0x43), uint8_t(0x42)}) {  // clipped, repeating; not smoothed
        std::vector<uint8_t> fill = {type};
        AppendU16(fill, 5);
        BitWriter w;
        WriteMatrix(w, std::pair{100.0, 100.0}, std::nullopt, 0, 0);
        AppendBytes(fill, w.take());
        const auto owned = Load({TagRecord(tag::kDefineBitsLossless2, bits),
                                     TagRecord(tag::kDefineShape3, DefineShapeBody(1, 0, 200, 0, 200, {fill}, {}, records)),
                                     PlaceObject2({1, 1, false, std::pair{0, 0}}), ShowFrame()});
        movie::Engine& player = *owned;
        const Picture pic = Draw(player, 100, 50, true);
        EXPECT_EQ(pic.at(2, 2), 0xFFFF0000u) << int(type);
        EXPECT_EQ(pic.at(7, 2), 0xFF00FF00u) << int(type);
        EXPECT_EQ(pic.at(2, 7), 0xFF0000FFu) << int(type);
        EXPECT_EQ(pic.at(7, 7), 0x80808080u) << int(type) << ": premultiplied half grey";
        EXPECT_EQ(pic.at(12, 2), 0u) << "outside the shape";
    }
}

// A button draws the records of its up state only; DefineButtonCxform tints a first-version
// button's records.
std::vector<uint8_t> ButtonRecord(uint8_t states, uint16_t character, uint16_t depth, int32_t x, bool v2) {
    std::vector<uint8_t> r = {states};
    AppendU16(r, character);
    AppendU16(r, depth);
    BitWriter w;
    WriteMatrix(w, std::nullopt, std::nullopt, x, 0);
    if (v2) WriteColorTransform(w, true, std::nullopt, std::nullopt);
    AppendBytes(r, w.take());
    return r;
}

TEST(Engine, ButtonsShowTheirUpState) {
    // Up: red at x 0; over and down: blue at x 20 px; hit area: green at x 40 px.
    std::vector<uint8_t> button2;
    AppendU16(button2, 7);
    button2.push_back(0);
    AppendU16(button2, 0);
    AppendBytes(button2, ButtonRecord(0x01, 1, 1, 0, true));
    AppendBytes(button2, ButtonRecord(0x06, 2, 2, 400, true));
    AppendBytes(button2, ButtonRecord(0x08, 3, 3, 800, true));
    button2.push_back(0);
    std::vector<uint8_t> button1;
    AppendU16(button1, 8);
    AppendBytes(button1, ButtonRecord(0x01, 1, 1, 0, false));
    button1.push_back(0);
    button1.push_back(0);  // no actions
    std::vector<uint8_t> tint;
    AppendU16(tint, 8);
    BitWriter w;
    WriteColorTransform(w, false, std::array<int, 4>{0, 256, 256, 256}, std::array<int, 4>{0, 200, 0, 0});
    AppendBytes(tint, w.take());
    const auto owned = Load({RectShape(1, 200, 200, 255, 0, 0), RectShape(2, 200, 200, 0, 0, 255),
                                 RectShape(3, 200, 200, 0, 255, 0), TagRecord(tag::kDefineButton2, button2),
                                 TagRecord(tag::kDefineButton, button1), TagRecord(tag::kDefineButtonCxform, tint),
                                 PlaceObject2({1, 7, false, std::pair{0, 0}}),
                                 PlaceObject2({2, 8, false, std::pair{0, 600}}), ShowFrame()});
    movie::Engine& player = *owned;
    const Picture pic = Draw(player);
    const uint32_t white = raster::PremultipliedWord({255, 255, 255, 255});
    EXPECT_EQ(pic.at(5, 5), kRed);
    EXPECT_EQ(pic.at(25, 5), white) << "the over state is not shown";
    EXPECT_EQ(pic.at(45, 5), white) << "nor the hit area";
    EXPECT_EQ(pic.at(5, 35), raster::PremultipliedWord({0, 200, 0, 255})) << "tinted: red times 0, green plus 200";
}

// Static text: glyphs of an embedded font placed by a text record at their pen positions,
// scaled from the font's 1024 units to the text height, tinted by the record's colour.
TEST(Engine, StaticTextPlacesTheFontsGlyphs) {
    // One glyph: the square from the baseline up to a full em, 1024 units wide.
    const auto glyph = ShapeRecordWriter(1, 0)
                           .change(std::pair{0, -1024}, std::nullopt, 1u, std::nullopt)
                           .line(1024, 0).line(0, 1024).line(-1024, 0).line(0, -1024)
                           .end();
    std::vector<uint8_t> font;
    AppendU16(font, 4);
    AppendBytes(font, {0, 0, 0});  // flags, language, no name
    AppendU16(font, 1);
    AppendU16(font, 4);                                        // the glyph, after the two offsets
    AppendU16(font, static_cast<uint16_t>(4 + glyph.size()));  // the code table
    AppendBytes(font, glyph);
    font.push_back('A');
    // The text: blue, 20 px high (400 twips), baseline at 30 px, two glyphs 30 px apart.
    std::vector<uint8_t> text;
    AppendU16(text, 5);
    BitWriter w;
    WriteRect(w, 0, 2000, 0, 1000);
    WriteMatrix(w, std::nullopt, std::nullopt, 0, 0);
    AppendBytes(text, w.take());
    text.push_back(1);   // glyph index bits
    text.push_back(11);  // advance bits
    text.push_back(0x8F);  // a record with font, colour, x and y
    AppendU16(text, 4);
    AppendBytes(text, {0, 0, 255, 255});
    AppendU16(text, 200);  // x
    AppendU16(text, 600);  // y: the baseline
    AppendU16(text, 400);  // height
    text.push_back(2);
    BitWriter glyphs;
    glyphs.bits(0, 1);
    glyphs.signedBits(600, 11);
    glyphs.bits(0, 1);
    glyphs.signedBits(600, 11);
    AppendBytes(text, glyphs.take());
    text.push_back(0);
    const auto owned = Load({TagRecord(tag::kDefineFont2, font), TagRecord(tag::kDefineText2, text),
                                 PlaceObject2({1, 5, false, std::pair{0, 0}}), ShowFrame()});
    movie::Engine& player = *owned;
    const Picture pic = Draw(player);
    const uint32_t white = raster::PremultipliedWord({255, 255, 255, 255});
    EXPECT_EQ(pic.at(20, 20), kBlue) << "the first glyph: x 10..30, y 10..30";
    EXPECT_EQ(pic.at(50, 20), kBlue) << "the second, 30 px on";
    EXPECT_EQ(pic.at(35, 20), white) << "between them";
    EXPECT_EQ(pic.at(20, 35), white) << "below the baseline";
    EXPECT_EQ(pic.at(20, 5), white) << "above the em";
}

// A JPEG with an alpha plane (DefineBitsJPEG3) filling a shape: the red block shows at half
// opacity, premultiplied.
TEST(Engine, JpegWithAlphaPlaneFillsAShape) {
    std::vector<uint8_t> bits;
    AppendU16(bits, 5);
    AppendU32(bits, static_cast<uint32_t>(sizeof kBlocksJpeg));
    AppendBytes(bits, std::vector<uint8_t>(std::begin(kBlocksJpeg), std::end(kBlocksJpeg)));
    const std::string alpha = ZlibCompress(std::vector<uint8_t>(16 * 8, 128));
    AppendBytes(bits, std::vector<uint8_t>(alpha.begin(), alpha.end()));
    const auto records = ShapeRecordWriter(1, 0)
                             .change(std::pair{0, 0}, std::nullopt, 1u, std::nullopt)
                             .line(320, 0).line(0, 160).line(-320, 0).line(0, -160)
                             .end();
    std::vector<uint8_t> fill = {0x43};
    AppendU16(fill, 5);
    BitWriter w;
    WriteMatrix(w, std::pair{20.0, 20.0}, std::nullopt, 0, 0);
    AppendBytes(fill, w.take());
    const auto owned = Load({TagRecord(tag::kDefineBitsJpeg3, bits),
                                 TagRecord(tag::kDefineShape3, DefineShapeBody(1, 0, 320, 0, 160, {fill}, {}, records)),
                                 PlaceObject2({1, 1, false, std::pair{0, 0}}), ShowFrame()});
    movie::Engine& player = *owned;
    const Picture pic = Draw(player, 100, 50, true);
    EXPECT_EQ(pic.alpha(2, 2), 128u);
    EXPECT_NEAR(int(raster::ChannelR(pic.at(2, 2))), 128, 8);
    EXPECT_NEAR(int(raster::ChannelB(pic.at(13, 2))), 128, 8);
    EXPECT_EQ(pic.at(20, 2), 0u) << "outside the shape";
}

TEST(Engine, CachedAsBitmapObjectsLandOnWholePixels) {
    // A 10 px square at x = 10.4 px: its edges cover 60 % and 40 % of pixels 10 and 20,
    // unless it is cached as a bitmap, which moves it to x = 10.
    for (bool cached : {false, true}) {
        Place p{1, 1, false, std::pair{208, 0}};
        if (cached) p.cacheAsBitmap = true;
        const auto owned = Load({RectShape(1, 200, 200, 255, 0, 0), PlaceObject3Tag(p), ShowFrame()});
        const Picture pic = Draw(*owned, 100, 50, true);
        if (cached) {
            EXPECT_EQ(pic.at(10, 5), kRed);
            EXPECT_EQ(pic.at(19, 5), kRed);
            EXPECT_EQ(pic.at(20, 5), 0u);
        } else {
            EXPECT_NEAR(raster::ChannelA(pic.at(10, 5)), 153, 3);
            EXPECT_NEAR(raster::ChannelA(pic.at(20, 5)), 102, 3);
        }
    }
}

TEST(Engine, ALayerHoldsStrokesAndGlyphsBeyondItsShapes) {
    // A sprite drawn through a layer blend mode holds a 40 x 20 px blue rectangle at (10, 10)
    // stroked 8 px wide in red (its outside edge 4 px beyond: x 6..54, y 6..34) and text whose
    // second glyph lies past the rectangle (x 60..70, y 14..30). The layer keeps all of it,
    // exactly as drawn without the blend mode.
    ShapeRecordWriter edges(1, 1);
    edges.change(std::pair{200, 200}, 1, std::nullopt, 1).line(800, 0).line(0, 400).line(-800, 0).line(0, -400);
    const auto shape = TagRecord(tag::kDefineShape3, DefineShapeBody(1, 120, 1080, 120, 680, {SolidFill(0, 0, 255, 255)},
                                                                     {LineStyle(160, 255, 0, 0, 255)}, edges.end()));
    const auto font = DefineFont3Tag(3, "Boxes", {{'I', 0, 10240, -16384, 0, 20480}}, 16384, 4096);
    TextLine line;
    line.x = 600;  // in the sprite 10 px to the right: the glyphs at x 40..50 and 60..70
    line.y = 600;
    line.height = 400;  // 20 px: boxes 10 px wide and 16 tall, 20 px apart
    line.glyphs = {{0, 400}, {0, 400}};
    const auto text = DefineTextTag(4, 3, {line});
    const auto sprite = DefineSpriteTag(5, 1, {PlaceObject2({1, 1, false, std::pair{0, 0}}),
                                               PlaceObject2({2, 4, false, std::pair{200, 0}}), ShowFrame()});
    Picture normal(1, 1);
    for (const uint8_t blend : {uint8_t{0}, uint8_t{2}, uint8_t{3}}) {
        Place p{1, 5, false, std::pair{0, 0}};
        if (blend != 0) p.blendMode = blend;
        const auto owned = Load({BackgroundTag(255, 255, 255), shape, font, text, sprite, PlaceObject3Tag(p), ShowFrame()});
        Picture pic = Draw(*owned);
        EXPECT_EQ(pic.at(30, 6), kRed) << int(blend) << ": the stroke's top row";
        EXPECT_EQ(pic.at(30, 33), kRed) << int(blend) << ": its bottom row";
        EXPECT_EQ(pic.at(53, 20), kRed) << int(blend) << ": its right column";
        EXPECT_EQ(pic.at(69, 20), raster::PremultipliedWord({0, 0, 0, 255})) << int(blend) << ": the far glyph's right column";
        EXPECT_EQ(pic.at(70, 20), raster::PremultipliedWord({255, 255, 255, 255})) << int(blend);
        if (blend == 0) {
            normal = pic;
        } else {
            EXPECT_TRUE(pic.pixels == normal.pixels) << int(blend) << ": the layer draws as the object without it";
        }
    }
}

TEST(Engine, AFilteredObjectsColourTransformTintsItsEffectsToo) {
    // A white 10 px square at (20, 10) px glowing black 5 px wide, its colour transform
    // keeping blue and adding 255 red: the glow outside it comes out red, the square magenta.
    Place p{1, 1, false, std::pair{400, 200}};
    std::vector<uint8_t> list = {1};
    AppendBytes(list, GlowFilter({0, 0, 0, 255}, 5, 5, 1, 1));
    p.filterList = list;
    p.mul = std::array<int, 4>{0, 0, 256, 256};
    p.add = std::array<int, 4>{255, 0, 0, 0};
    const auto owned = Load({RectShape(1, 200, 200, 255, 255, 255), PlaceObject3Tag(p), ShowFrame()});
    const Picture pic = Draw(*owned, 100, 50, true);
    EXPECT_EQ(pic.at(25, 15), raster::PremultipliedWord({255, 0, 255, 255}));
    const uint32_t glow = pic.at(19, 15);  // the first pixel out: its box holds 2 of the 5 columns
    EXPECT_EQ(raster::ChannelA(glow), 102u);
    EXPECT_EQ(raster::ChannelR(glow), 102u) << "red, at the glow's alpha";
    EXPECT_EQ(raster::ChannelG(glow), 0u);
    EXPECT_EQ(raster::ChannelB(glow), 0u);
}

TEST(Engine, BitmapDrawnObjectsStartTheirBoundsOnAWholePixel) {
    // A sprite at x = 0.3 px holding a 10 px square at 0.4 px: the square's bounds start at
    // 0.7 px. Cached as a bitmap, or filtered (a blur of 1 px changes no pixel), the sprite
    // moves so that they start at 1: the square covers pixels 1..10 whole.
    for (bool filtered : {false, true}) {
        Place p{1, 2, false, std::pair{6, 0}};
        if (filtered) {
            std::vector<uint8_t> list = {1};
            AppendBytes(list, BlurFilter(1, 1, 1));
            p.filterList = list;
        } else {
            p.cacheAsBitmap = true;
        }
        const auto owned = Load({RectShape(1, 200, 200, 255, 0, 0),
                                 DefineSpriteTag(2, 1, {PlaceObject2({1, 1, false, std::pair{8, 0}}), ShowFrame()}),
                                 PlaceObject3Tag(p), ShowFrame()});
        const Picture pic = Draw(*owned, 100, 50, true);
        EXPECT_EQ(pic.at(0, 5), 0u) << filtered;
        EXPECT_EQ(pic.at(1, 5), kRed) << filtered;
        EXPECT_EQ(pic.at(10, 5), kRed) << filtered;
        EXPECT_EQ(pic.at(11, 5), 0u) << filtered;
    }
}

TEST(Engine, FramesMoveAndRemoveObjects) {
    const auto owned = Load({RectShape(1, 200, 200, 255, 0, 0), PlaceObject2({1, 1, false, std::pair{0, 0}}),
                                 ShowFrame(), PlaceObject2({1, std::nullopt, true, std::pair{1000, 0}}), ShowFrame(),
                                 TagRecord(tag::kRemoveObject2, {1, 0}), ShowFrame()});
    movie::Engine& player = *owned;
    EXPECT_EQ(player.totalFrames(), 3);
    EXPECT_EQ(Draw(player).at(5, 5), kRed);
    player.gotoFrame(1);
    Picture moved = Draw(player);
    EXPECT_NE(moved.at(5, 5), kRed);
    EXPECT_EQ(moved.at(55, 5), kRed);
    player.gotoFrame(2);
    EXPECT_NE(Draw(player).at(55, 5), kRed) << "removed";
    player.gotoFrame(0);  // backwards: rebuilt from the first frame
    EXPECT_EQ(player.currentFrame(), 0);
    EXPECT_EQ(Draw(player).at(5, 5), kRed);
    // Steps past the last frame: the main timeline loops, as the reference players play it.
    player.gotoFrame(4);
    EXPECT_EQ(player.currentFrame(), 4);
    EXPECT_EQ(player.timelineFrame(), 1);
    EXPECT_EQ(Draw(player).at(55, 5), kRed);
}

TEST(Engine, SpritesAdvanceWithTheMainTimelineAndLoop) {
    // A sprite of three frames that moves its rectangle 20 px right each frame.
    std::vector<uint8_t> sprite;
    AppendU16(sprite, 10);
    AppendU16(sprite, 3);
    AppendBytes(sprite, PlaceObject2({1, 1, false, std::pair{0, 0}}));
    AppendBytes(sprite, ShowFrame());
    AppendBytes(sprite, PlaceObject2({1, std::nullopt, true, std::pair{400, 0}}));
    AppendBytes(sprite, ShowFrame());
    AppendBytes(sprite, PlaceObject2({1, std::nullopt, true, std::pair{800, 0}}));
    AppendBytes(sprite, ShowFrame());
    AppendBytes(sprite, TagRecord(tag::kEnd, {}));
    const auto owned = Load({RectShape(1, 200, 200, 255, 0, 0), TagRecord(tag::kDefineSprite, sprite),
                                 PlaceObject2({1, 10, false, std::pair{0, 400}}), ShowFrame(), ShowFrame(), ShowFrame(),
                                 ShowFrame(), ShowFrame()});
    movie::Engine& player = *owned;
    ASSERT_EQ(player.totalFrames(), 5);
    for (int frame : {0, 1, 2, 3, 4, 1}) {
        player.gotoFrame(frame);
        const int spriteFrame = frame % 3;
        const Picture pic = Draw(player);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(pic.at(5 + 20 * k, 25), k == spriteFrame ? kRed : raster::PremultipliedWord({255, 255, 255, 255}))
                << "main frame " << frame << ", sprite position " << k;
        }
    }
}

TEST(Engine, ClipLayerShowsOnlyWhatItCovers) {
    // A mask rectangle at depth 1 clipping depths up to 3; a big blue one at depth 2 under it,
    // a red one at depth 4 outside the clip.
    const auto owned = Load({RectShape(1, 400, 400, 0, 255, 0, 10), RectShape(2, 2000, 1000, 0, 0, 255),
                                 RectShape(3, 200, 200, 255, 0, 0),
                                 PlaceObject2({1, 1, false, std::pair{200, 200}, std::nullopt, std::nullopt, 3}),
                                 PlaceObject2({2, 2, false, std::pair{0, 0}}),
                                 PlaceObject2({4, 3, false, std::pair{1600, 600}}), ShowFrame()});
    movie::Engine& player = *owned;
    const Picture pic = Draw(player);
    EXPECT_EQ(pic.at(15, 15), kBlue) << "inside the mask: the masked content, fully opaque";
    EXPECT_EQ(pic.at(5, 5), raster::PremultipliedWord({255, 255, 255, 255})) << "outside it: the background";
    EXPECT_EQ(pic.at(50, 40), raster::PremultipliedWord({255, 255, 255, 255}));
    EXPECT_EQ(pic.at(85, 35), kRed) << "above the clip depth: not masked";
}

// A morph from a red 10 px square at (0, 0) to a blue 20 px square at (40, 20).
std::vector<uint8_t> SquareMorph(uint16_t id, uint32_t extraOffset = 0) {
    std::vector<uint8_t> styles = {1, 0x00, 255, 0, 0, 255, 0, 0, 255, 255, 0};  // one fill: red to blue; no lines
    const auto startEdges = ShapeRecordWriter(1, 0)
                                .change(std::pair{0, 0}, std::nullopt, 1u, std::nullopt)
                                .line(200, 0).line(0, 200).line(-200, 0).line(0, -200)
                                .end();
    const auto endEdges = ShapeRecordWriter(1, 0)
                              .change(std::pair{800, 400}, std::nullopt, 1u, std::nullopt)
                              .line(400, 0).line(0, 400).line(-400, 0).line(0, -400)
                              .end();
    std::vector<uint8_t> body;
    AppendU16(body, id);
    BitWriter w;
    WriteRect(w, 0, 200, 0, 200);
    WriteRect(w, 800, 1200, 400, 800);
    AppendBytes(body, w.take());
    AppendU32(body, static_cast<uint32_t>(styles.size() + startEdges.size()) + extraOffset);
    AppendBytes(body, styles);
    AppendBytes(body, startEdges);
    AppendBytes(body, endEdges);
    return TagRecord(tag::kDefineMorphShape, body);
}

TEST(Engine, MorphShapesFollowTheirRatio) {
    const struct {
        uint16_t ratio;
        int x0, y0, size;
        uint32_t color;
    } cases[] = {{0, 0, 0, 10, kRed},
                 {65535, 40, 20, 20, kBlue},
                 {32768, 20, 10, 15, raster::PremultipliedWord({127, 0, 128, 255})}};
    for (const auto& c : cases) {
        const auto owned = Load({SquareMorph(3), PlaceObject2({1, 3, false, std::pair{0, 0}, std::nullopt,
                                                                   std::nullopt, std::nullopt, c.ratio}),
                                     ShowFrame()});
        movie::Engine& player = *owned;
        const Picture pic = Draw(player);
        for (int y = 0; y < 50; ++y) {
            for (int x = 0; x < 100; ++x) {
                const bool inside = x >= c.x0 && x < c.x0 + c.size && y >= c.y0 && y < c.y0 + c.size;
                const uint32_t want = inside ? c.color : raster::PremultipliedWord({255, 255, 255, 255});
                if (pic.at(x, y) != want) {
                    ADD_FAILURE() << "ratio " << c.ratio << " pixel " << x << "," << y << ": " << std::hex << pic.at(x, y);
                    return;
                }
            }
        }
    }
}

// Loads a movie of the given tags that must be refused; returns the error.
std::string RefusedError(const std::vector<uint8_t>& tags) {
    SwfFields fields;
    fields.tags = tags;
    const std::string bytes = BuildSwfFile(fields);
    swf::SwfFile file;
    std::string error;
    EXPECT_TRUE(swf::ParseSwf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file, error)) << error;
    movie::Engine player;
    EXPECT_FALSE(player.load(file, error));
    return error;
}

TEST(Engine, MorphWithAnOffsetPastItsTagIsRefused) {
    const std::string error = RefusedError(SquareMorph(3, 1000));  // the end edges would start past the tag
    EXPECT_NE(error.find("DefineMorphShape"), std::string::npos) << error;
}

TEST(Engine, DamagedMoviesAreRefusedWithTheTagNamed) {
    const std::string error = RefusedError(TagRecord(tag::kDefineShape3, {1, 0, 0xFF}));  // cut short
    EXPECT_NE(error.find("DefineShape3"), std::string::npos) << error;
    EXPECT_NE(error.find("offset"), std::string::npos) << error;
}

}  // namespace
