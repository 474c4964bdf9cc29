// Edit text: the layout against positions computed by hand, the HTML subset, and fields
// drawn by the player with an embedded font, a variable, a border and a device font.
#include <gtest/gtest.h>

#include <memory>

#include "movie/text/edit_text.h"
#include "movie/engine.h"
#include "support/action_builder.h"
#include "support/swf_builder.h"
#include "../raster/raster_test_util.h"

namespace {

using namespace testing_support;
using movie::EditTextDefinition;
using movie::Paragraph;
using movie::TextStyle;

// A font of 1000 units to the em, ascent 800, descent 200, every character 1000 wide; spaces
// have no glyph.
class BoxFont : public movie::GlyphFont {
public:
    movie::GlyphShape glyph(uint32_t code) const override {
        return code == ' ' ? nullptr : movie::GlyphShape(movie::GlyphShape(), &shape_);
    }
    float advance(uint32_t) const override { return 1000; }
    float emUnits() const override { return 1000; }
    float ascent() const override { return 800; }
    float descent() const override { return 200; }

private:
    movie::ShapeGeometry shape_;
};

class OneFont : public movie::FontResolver {
public:
    const movie::GlyphFont* resolve(const TextStyle&) override { return &font_; }

private:
    BoxFont font_;
};

// Size 200 twips: each character is 200 twips wide, ascent 160, descent 40.
EditTextDefinition Field(int32_t width, uint8_t align) {
    EditTextDefinition f;
    f.bounds = {0, width, 0, 2000};
    f.height = 200;
    f.align = align;
    return f;
}

std::vector<Paragraph> Plain(const std::string& text, const EditTextDefinition& f) {
    TextStyle base;
    base.size = f.height;
    return movie::ParsePlainText(text, base, f.align, true);
}

std::vector<float> Xs(const movie::TextLayout& l) {
    std::vector<float> xs;
    for (const auto& g : l.glyphs) xs.push_back(g.x);
    return xs;
}

TEST(EditTextLayout, LinesAlignInsideThePaddingAndMargins) {
    OneFont fonts;
    // 4000 twips wide: 40 of padding each side leave 40..3960.
    EditTextDefinition left = Field(4000, 0);
    auto l = movie::LayOutText(left, Plain("ab", left), fonts);
    EXPECT_EQ(Xs(l), (std::vector<float>{40, 240}));
    ASSERT_FALSE(l.glyphs.empty());
    EXPECT_EQ(l.glyphs[0].y, 200) << "baseline: padding and ascent";
    EXPECT_FLOAT_EQ(l.glyphs[0].scale, 0.2f);

    EditTextDefinition right = Field(4000, 1);
    EXPECT_EQ(Xs(movie::LayOutText(right, Plain("ab", right), fonts)), (std::vector<float>{3560, 3760}));
    EditTextDefinition centre = Field(4000, 2);
    EXPECT_EQ(Xs(movie::LayOutText(centre, Plain("ab", centre), fonts)), (std::vector<float>{1800, 2000}));

    // Margins narrow the line; the indent moves the first line of each paragraph only.
    EditTextDefinition margins = Field(4000, 0);
    margins.multiline = true;
    margins.leftMargin = 100;
    margins.rightMargin = 300;
    margins.indent = 60;
    l = movie::LayOutText(margins, Plain("a\nb", margins), fonts);
    ASSERT_EQ(l.glyphs.size(), 2u);
    EXPECT_EQ(l.glyphs[0].x, 200);
    EXPECT_EQ(l.glyphs[1].x, 200) << "a new paragraph is indented again";
    EXPECT_EQ(l.glyphs[1].y, 400) << "the next line: descent, then its ascent";
    margins.align = 1;
    l = movie::LayOutText(margins, Plain("a ", margins), fonts);
    EXPECT_EQ(Xs(l), (std::vector<float>{4000 - 40 - 300 - 200})) << "trailing spaces take no room";
}

TEST(EditTextLayout, WordsWrapAtSpacesAndLongWordsBreakBetweenCharacters) {
    OneFont fonts;
    EditTextDefinition f = Field(1080, 0);  // room for five characters
    f.wordWrap = true;
    f.multiline = true;
    f.leading = 30;
    auto l = movie::LayOutText(f, Plain("aa bb cc", f), fonts);
    std::vector<std::pair<float, float>> at;
    for (const auto& g : l.glyphs) at.emplace_back(g.x, g.y);
    const std::vector<std::pair<float, float>> expected = {{40, 200}, {240, 200}, {640, 200}, {840, 200},
                                                           {40, 430}, {240, 430}};
    EXPECT_EQ(at, expected);

    l = movie::LayOutText(f, Plain("abcdefgh", f), fonts);
    ASSERT_EQ(l.glyphs.size(), 8u);
    EXPECT_EQ(l.glyphs[4].x, 840);
    EXPECT_EQ(l.glyphs[5].x, 40);
    EXPECT_EQ(l.glyphs[5].y, 430);

    // Without wrapping the line runs on past the field; a single-line field still breaks its
    // lines at the text's newlines, as the reference players show it.
    EditTextDefinition single = Field(1080, 0);
    l = movie::LayOutText(single, Plain("abcdefg\nhi", single), fonts);
    ASSERT_EQ(l.glyphs.size(), 9u);
    EXPECT_EQ(l.glyphs[6].x, 40 + 6 * 200);
    EXPECT_EQ(l.glyphs[6].y, 200);
    EXPECT_EQ(l.glyphs[7].x, 40);
    EXPECT_EQ(l.glyphs[7].y, 400);
}

TEST(EditTextLayout, AdvancesAndLineMetricsAreCutToWholeTwips) {
    // 1024 units to the em, each character 603 wide, ascent 821 and descent 206: at 400
    // twips an advance is 235.5 twips and the line 320.7 + 80.5 tall. The reference players
    // place glyphs 235 apart and lines 400 apart; at 24 characters the difference from the
    // exact sums is 13 twips.
    class Odd : public movie::GlyphFont {
    public:
        movie::GlyphShape glyph(uint32_t) const override { return movie::GlyphShape(movie::GlyphShape(), &shape_); }
        float advance(uint32_t) const override { return 603; }
        float emUnits() const override { return 1024; }
        float ascent() const override { return 821; }
        float descent() const override { return 206; }

    private:
        movie::ShapeGeometry shape_;
    };
    class OddFonts : public movie::FontResolver {
    public:
        const movie::GlyphFont* resolve(const TextStyle&) override { return &font_; }

    private:
        Odd font_;
    } fonts;
    EditTextDefinition f = Field(20000, 0);
    f.height = 400;
    f.multiline = true;
    f.useOutlines = true;
    const auto l = movie::LayOutText(f, Plain(std::string(25, 'a') + "\na", f), fonts);
    ASSERT_EQ(l.glyphs.size(), 26u);
    EXPECT_EQ(l.glyphs[24].x, 40 + 24 * 235);
    // The line's width is the exact sum all the same (what textWidth reports).
    EXPECT_FLOAT_EQ(l.width, 25 * 235.546875f);
    // A field in a system font places glyphs by the exact advances.
    f.useOutlines = false;
    const auto device = movie::LayOutText(f, Plain(std::string(25, 'a'), f), fonts);
    ASSERT_EQ(device.glyphs.size(), 25u);
    EXPECT_FLOAT_EQ(device.glyphs[24].x, 40 + 24 * 235.546875f);
    EXPECT_EQ(l.glyphs[0].y, 40 + 320);
    EXPECT_EQ(l.glyphs[25].y, 40 + 320 + 400);
}

TEST(EditTextLayout, PasswordsShowStarsAndUnderlinesFollowTheirRuns) {
    OneFont fonts;
    EditTextDefinition f = Field(4000, 0);
    f.password = true;
    TextStyle base;
    base.size = 200;
    const auto paragraphs = movie::ParseHtmlText("ab<u>cd</u>", base, 0, true);
    f.password = false;
    auto l = movie::LayOutText(f, paragraphs, fonts);
    ASSERT_EQ(l.underlines.size(), 1u);
    EXPECT_EQ(l.underlines[0].x0, 440);
    EXPECT_EQ(l.underlines[0].x1, 840);
    EXPECT_GT(l.underlines[0].y, 200) << "below the baseline";
    f.password = true;
    EXPECT_EQ(movie::ParsePlainText("xy", base, 0, true)[0].runs[0].text, U"xy");
    l = movie::LayOutText(f, Plain("xy", f), fonts);
    EXPECT_EQ(l.glyphs.size(), 2u);
}

TEST(EditTextHtml, ParagraphsFontsAndEntities) {
    TextStyle base;
    base.size = 240;
    const auto p = movie::ParseHtmlText(
        "<P ALIGN=\"center\"><font face='Serif' size=\"20\" color=\"#FF8000\">a<b>b</b></font>&amp;&lt;&#65;</p>"
        "<p align=\"right\">c<br>d<unknown x=1>e</unknown></p>",
        base, 0, true);
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].align, 2);
    ASSERT_EQ(p[0].runs.size(), 3u);
    EXPECT_EQ(p[0].runs[0].text, U"a");
    EXPECT_EQ(p[0].runs[0].style.face, "Serif");
    EXPECT_EQ(p[0].runs[0].style.size, 400);
    EXPECT_EQ(p[0].runs[0].style.color.r, 0xFF);
    EXPECT_EQ(p[0].runs[0].style.color.g, 0x80);
    EXPECT_EQ(p[0].runs[1].text, U"b");
    EXPECT_TRUE(p[0].runs[1].style.bold);
    EXPECT_EQ(p[0].runs[2].text, U"&<A");
    EXPECT_FALSE(p[0].runs[2].style.bold);
    EXPECT_EQ(p[0].runs[2].style.size, 240) << "the font tag closed";
    EXPECT_EQ(p[1].align, 1);
    EXPECT_EQ(p[1].runs[0].text, U"c");
    EXPECT_EQ(p[2].align, 1) << "a line break keeps the paragraph's alignment";
    EXPECT_EQ(p[2].runs[0].text, U"de");
    // Relative sizes, text after a tag left open, and a stray '<' at the end.
    const auto q = movie::ParseHtmlText("<font size=\"+4\">x<i>y", base, 0, true);
    ASSERT_EQ(q.size(), 1u);
    ASSERT_EQ(q[0].runs.size(), 2u);
    EXPECT_EQ(q[0].runs[0].style.size, 320);
    EXPECT_TRUE(q[0].runs[1].style.italic);
    EXPECT_EQ(movie::ParseHtmlText("a<", base, 0, true)[0].runs[0].text, U"a<");
    // Latin-1 before version 6; UTF-8 from it, with broken sequences kept as bytes.
    EXPECT_EQ(movie::ParsePlainText("\xE9", base, 0, false)[0].runs[0].text, U"\u00E9");
    EXPECT_EQ(movie::ParsePlainText("\xC3\xA9\xC3", base, 0, true)[0].runs[0].text, U"\u00E9\u00C3");
}

// The player: a 100 x 50 px stage, a font whose "I" is a box half an em wide and 0.8 em
// tall on the baseline, one em apart.
struct Stage {
    std::unique_ptr<movie::Engine> player = std::make_unique<movie::Engine>();
    raster_test::Picture draw() {
        raster_test::Picture pic(100, 50);
        player->draw(pic.target, false, true);
        return pic;
    }
};

std::vector<uint8_t> BoxesFont() { return DefineFont3Tag(1, "Boxes", {{'I', 0, 10240, -16384, 0, 20480}}, 16384, 4096); }

// The field over the font given (by default the boxes), placed on the stage as `place` says
// (at the origin by default).
std::unique_ptr<Stage> Load(const EditTextFields& field, const std::vector<std::vector<uint8_t>>& more = {},
                            const std::vector<uint8_t>& font = BoxesFont(),
                            PlaceFields place = {1, 2, false, std::pair{0, 0}}) {
    SwfFields fields;
    fields.version = 8;
    fields.xMax = 2000;
    fields.yMax = 1000;
    fields.tags.clear();
    AppendBytes(fields.tags, font);
    AppendBytes(fields.tags, DefineEditTextTag(field));
    AppendBytes(fields.tags, PlaceObject2Tag(place));
    for (const auto& t : more) AppendBytes(fields.tags, t);
    AppendBytes(fields.tags, ShowFrameTag());
    AppendBytes(fields.tags, EndTag());
    const std::string bytes = BuildSwfFile(fields);
    swf::SwfFile file;
    std::string error;
    EXPECT_TRUE(swf::ParseSwf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file, error)) << error;
    auto stage = std::make_unique<Stage>();
    EXPECT_TRUE(stage->player->load(file, error)) << error;
    return stage;
}

EditTextFields BoxField(uint8_t align, const std::string& text) {
    EditTextFields f;
    f.id = 2;
    f.xMax = 2000;
    f.yMax = 1000;
    f.fontId = 1;
    f.height = 400;  // 20 px: boxes 10 px wide, 16 px tall, 20 px apart
    f.color = std::array<uint8_t, 4>{255, 0, 0, 255};
    f.align = align;
    f.text = text;
    return f;
}

const uint32_t kRed = raster::PremultipliedWord({255, 0, 0, 255});
const uint32_t kWhite = raster::PremultipliedWord({255, 255, 255, 255});
const uint32_t kBlack = raster::PremultipliedWord({0, 0, 0, 255});

// Which of the columns are red on row 10 (inside the boxes, whose tops lie at 2 px and
// bottoms on the baseline at 18 px).
std::string Columns(const raster_test::Picture& pic, std::initializer_list<int> xs) {
    std::string s;
    for (int x : xs) s += pic.at(x, 10) == kRed ? 'R' : '.';
    return s;
}

TEST(EditText, EmbeddedGlyphsAlignLeftRightAndCentre) {
    // Left: boxes at 2..12 and 22..32.
    auto s = Load(BoxField(0, "II"));
    auto pic = s->draw();
    EXPECT_EQ(Columns(pic, {1, 2, 11, 12, 21, 22, 31, 32}), ".RR..RR.");
    EXPECT_EQ(pic.at(5, 1), kWhite) << "above the glyph";
    EXPECT_EQ(pic.at(5, 17), kRed);
    EXPECT_EQ(pic.at(5, 18), kWhite) << "below the baseline";
    // Right: the line ends 2 px inside the right edge, at 98: boxes at 58..68 and 78..88.
    s = Load(BoxField(1, "II"));
    EXPECT_EQ(Columns(s->draw(), {57, 58, 67, 68, 77, 78, 87, 88}), ".RR..RR.");
    // Centre: 40 px of text in the 96 px between the paddings: boxes at 30..40 and 50..60.
    s = Load(BoxField(2, "II"));
    EXPECT_EQ(Columns(s->draw(), {29, 30, 39, 40, 49, 50, 59, 60}), ".RR..RR.");
}

TEST(EditText, BoundVariablesBordersAndClippingToTheBounds) {
    // The field shows the root's variable "label"; the script makes it one glyph.
    EditTextFields f = BoxField(0, "III");
    f.variable = "label";
    f.border = true;
    f.xMax = 1200;  // 60 px: the third box (42..52) is cut at the border's inside
    auto s = Load(f, {DoActionTag(Actions().push("label").op(action::kGetVariable).trace().op(action::kPop)
                                      .set("label", std::string("II")).bytes())});
    auto pic = s->draw();
    EXPECT_EQ(Columns(pic, {2, 11, 12, 22, 31, 32, 45}), "RR.RR..");
    EXPECT_EQ(pic.at(0, 30), kBlack) << "the border";
    // The right line lies just outside the bounds (x 0..60), as the reference players draw it.
    EXPECT_EQ(pic.at(60, 30), kBlack);
    EXPECT_EQ(pic.at(59, 30), kWhite);
    EXPECT_EQ(pic.at(1, 30), kWhite) << "the background";
    EXPECT_EQ(pic.at(65, 30), kWhite) << "the stage outside the field";

    // The initial text goes into a variable that isn't there yet, and shows.
    f.text = "III";
    f.xMax = 2000;
    s = Load(f);
    EXPECT_EQ(Columns(s->draw(), {2, 22, 42, 62}), "RRR.");
}

TEST(EditText, DeviceFontsDrawTextWithTheSystemsFont) {
    // No outlines: "_sans" through the system's font library.
    EditTextFields f;
    f.id = 2;
    f.xMax = 2000;
    f.yMax = 1000;
    f.fontId = 1;
    f.height = 400;
    f.useOutlines = false;
    f.text = "Hello";
    const auto s = Load(f, {}, DefineFont3Tag(1, "_sans", {}, 0, 0));
    const raster_test::Picture pic = s->draw();
    // Ink on the first line (2 to about 26 px), starting near the left padding, and none
    // on the rest of the stage.
    int inkTop = 99, inkBottom = -1, inkLeft = 99, inkRight = -1;
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 100; ++x) {
            if (raster::ChannelR(pic.at(x, y)) > 128) continue;
            inkTop = std::min(inkTop, y);
            inkBottom = std::max(inkBottom, y);
            inkLeft = std::min(inkLeft, x);
            inkRight = std::max(inkRight, x);
        }
    }
    EXPECT_GE(inkTop, 2);
    EXPECT_LE(inkTop, 10) << "the capital H reaches near the ascent";
    EXPECT_LE(inkBottom, 26);
    EXPECT_GE(inkLeft, 2);
    EXPECT_LE(inkLeft, 6);
    EXPECT_GE(inkRight, 30) << "five letters of 20 px text";
    EXPECT_LE(inkRight, 80);
}

TEST(EditText, TextIsCutAtThePaddingOnTheLeftAndRightOnly) {
    // Boxes one em wide centred on their origins, reaching from 1.46 em above the baseline
    // to 0.49 em below it: at 20 px, x -10..10 and y -29..10 around each origin (2, 22, ...),
    // more than the 24 px high field holds.
    const auto font = DefineFont3Tag(1, "Wide", {{'c', -10240, 10240, -30000, 10000, 20480}}, 16384, 4096);
    EditTextFields f = BoxField(0, "cccccc");
    f.xMax = 1500;  // 75 px: the text is cut at 2 and at 73
    f.yMax = 480;
    auto s = Load(f, {}, font);
    auto pic = s->draw();
    EXPECT_EQ(pic.at(1, 10), kWhite) << "the left padding";
    EXPECT_EQ(pic.at(2, 10), kRed);
    EXPECT_EQ(pic.at(72, 10), kRed);
    EXPECT_EQ(pic.at(73, 10), kWhite) << "the right padding";
    EXPECT_EQ(pic.at(5, 0), kRed) << "the top is cut at the bounds, not the padding";
    EXPECT_EQ(pic.at(5, 23), kRed) << "so is the bottom";
    EXPECT_EQ(pic.at(5, 24), kWhite);
    // The padding is in the field's units: twice as wide (37.5 px to 75), the cut lies 4 px
    // inside each side.
    f.xMax = 750;
    PlaceFields twice{1, 2, false, std::pair{0, 0}};
    twice.scale = std::pair{2.0, 1.0};
    s = Load(f, {}, font, twice);
    pic = s->draw();
    EXPECT_EQ(pic.at(3, 10), kWhite);
    EXPECT_EQ(pic.at(4, 10), kRed);
    EXPECT_EQ(pic.at(70, 10), kRed);
    EXPECT_EQ(pic.at(71, 10), kWhite);
}

TEST(EditText, LinesAreTheFontsAscentAndDescentInWholeTwipsApart) {
    // A DefineFont2 font (1024 units to the em) whose ascent 821 and descent 206 come to
    // 320.7 and 80.5 twips at 400: lines lie 320 + 80 = 400 twips (20 px) apart, not 401.2,
    // and the font's own leading (100 units) adds nothing. Boxes half an em tall on the
    // baseline: their tops at 2 + 16 - 10 = 8 px, then 28 and 48, each on a whole pixel.
    const auto font = DefineFont3Tag(1, "Lines", {{'a', 0, 512, -512, 0, 600}}, 821, 206, 100, 2);
    EditTextFields f = BoxField(0, "a\ra\ra");
    f.multiline = true;
    f.height = 400;
    auto s = Load(f, {}, font);
    const auto pic = s->draw();
    for (int top : {8, 28, 48}) {
        EXPECT_EQ(pic.at(5, top - 1), kWhite) << top;
        EXPECT_EQ(pic.at(5, top), kRed) << top;
    }
    EXPECT_EQ(pic.at(5, 17), kRed) << "the first box down to its baseline at 18";
    EXPECT_EQ(pic.at(5, 18), kWhite);
}

// The field's border and background drawn over a blue stage: 'B' border, 'w' background,
// '.' stage, along a row or a column.
std::string Row(const raster_test::Picture& pic, int y, int x0, int x1) {
    std::string out;
    for (int x = x0; x <= x1; ++x) {
        const uint32_t p = pic.at(x, y);
        out += p == kBlack ? 'B' : p == kWhite ? 'w' : p == raster::PremultipliedWord({0, 0, 255, 255}) ? '.' : '?';
    }
    return out;
}
std::string Column(const raster_test::Picture& pic, int x, int y0, int y1) {
    std::string out;
    for (int y = y0; y <= y1; ++y) out += Row(pic, y, x, x);
    return out;
}

TEST(EditText, UprightBordersLandOnWholePixelsWithTheirCornerOpen) {
    // Bounds 20.65..95.85 x 5.35..35.55 px: the corner rounds to (21, 5), the size (75.2 x
    // 30.2) to 75 x 30. The border runs along x 21 and 96, y 5 and 35; the right and bottom
    // lines stop one pixel short, leaving the corner (96, 35) open.
    EditTextFields f = BoxField(0, "");
    f.xMin = 413;
    f.xMax = 1917;
    f.yMin = 107;
    f.yMax = 711;
    f.border = true;
    const std::vector<std::vector<uint8_t>> blue = {BackgroundTag(0, 0, 255)};
    auto s = Load(f, blue);
    auto pic = s->draw();
    EXPECT_EQ(Row(pic, 5, 19, 98), ".." + std::string(76, 'B') + "..");
    EXPECT_EQ(Row(pic, 35, 19, 98), ".." + std::string(75, 'B') + "...");
    EXPECT_EQ(Row(pic, 20, 19, 98), "..B" + std::string(74, 'w') + "B..");
    EXPECT_EQ(Column(pic, 21, 3, 37), ".." + std::string(31, 'B') + "..");
    EXPECT_EQ(Column(pic, 96, 3, 37), ".." + std::string(30, 'B') + "...");
    EXPECT_EQ(Column(pic, 50, 3, 37), "..B" + std::string(29, 'w') + "B..");

    // Halves round to even: the corner 18.5, 9.5 px to (18, 10), the size 76.5 x 28.5 to
    // 76 x 28 (twice the bounds 0..760 x 0..285 twips at 370, 190).
    f.xMin = 0;
    f.xMax = 765;
    f.yMin = 0;
    f.yMax = 285;
    PlaceFields scaled{1, 2, false, std::pair{370, 190}};
    scaled.scale = std::pair{2.0, 2.0};
    s = Load(f, blue, BoxesFont(), scaled);
    pic = s->draw();
    EXPECT_EQ(Row(pic, 10, 16, 96), ".." + std::string(77, 'B') + "..");
    EXPECT_EQ(Column(pic, 18, 8, 40), ".." + std::string(29, 'B') + "..");

    // A background without a border fills the rounded box itself: x 18..93, y 10..37.
    f.border = false;
    s = Load(f, {BackgroundTag(0, 0, 255), DoActionTag(Actions()
                                                            .push("field").op(action::kGetVariable)
                                                            .push("background").pushBool(true).op(action::kSetMember)
                                                            .bytes())},
             BoxesFont(), [&] {
                 PlaceFields named = scaled;
                 named.name = std::string("field");
                 return named;
             }());
    pic = s->draw();
    EXPECT_EQ(Row(pic, 20, 16, 96), ".." + std::string(76, 'w') + "...");
    EXPECT_EQ(Column(pic, 50, 8, 40), ".." + std::string(28, 'w') + "...");
}

TEST(EditText, DeviceFontFieldsTurnedMoreThanALittleShowNothing) {
    // A bordered field in a device font (its glyphs never come from the file), 75 x 30 px at
    // (20, 10), its matrix turned by a rotate or skew term.
    EditTextFields f;
    f.id = 2;
    f.xMax = 1500;
    f.yMax = 600;
    f.fontId = 1;
    f.useOutlines = false;
    f.border = true;
    f.text = "";
    const auto draw = [&](double b, double c) {
        PlaceFields p{1, 2, false, std::pair{400, 200}};
        p.rotateSkew = std::pair{b, c};
        auto s = Load(f, {BackgroundTag(0, 0, 255)}, DefineFont3Tag(1, "_sans", {}, 0, 0), p);
        return s->draw();
    };
    for (const auto& [b, c] : {std::pair{0.0059, 0.0}, std::pair{0.0, -0.0059}}) {
        // A little: drawn upright, as if not turned at all.
        const auto pic = draw(b, c);
        EXPECT_EQ(Row(pic, 10, 18, 97), ".." + std::string(76, 'B') + "..") << b << " " << c;
        EXPECT_EQ(Column(pic, 95, 8, 42), ".." + std::string(30, 'B') + "...") << b << " " << c;
    }
    for (const auto& [b, c] : {std::pair{0.0062, 0.0}, std::pair{0.0, 0.0062}, std::pair{0.087, -0.087}}) {
        const auto pic = draw(b, c);
        for (int y = 0; y < 50; ++y) EXPECT_EQ(Row(pic, y, 0, 99), std::string(100, '.')) << b << " " << c << " row " << y;
    }
    // Embedded glyphs turn with their field, the border with them.
    f.useOutlines = true;
    PlaceFields p{1, 2, false, std::pair{400, 200}};
    p.rotateSkew = std::pair{0.087, -0.087};
    auto s = Load(f, {BackgroundTag(0, 0, 255)}, BoxesFont(), p);
    const auto pic = s->draw();
    EXPECT_EQ(pic.at(50, 25), kWhite) << "the background";
    EXPECT_EQ(pic.at(93, 20), kWhite);
    EXPECT_EQ(Row(pic, 12, 93, 93), ".") << "the top right corner went 6.5 px down";
}


}  // namespace
