// The engine's limits: each is a named constant, and going past one gives a message that
// names it, never an attempt.
#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "movie/engine.h"
#include "support/swf_builder.h"

namespace {

using namespace testing_support;

// DefineBitsLossless of w x h 32-bit pixels; `pixels` false leaves the zlib data out.
std::vector<uint8_t> LosslessTag(uint16_t id, uint16_t w, uint16_t h, bool pixels = true) {
    std::vector<uint8_t> body;
    AppendU16(body, id);
    body.push_back(5);  // 32-bit
    AppendU16(body, w);
    AppendU16(body, h);
    if (pixels) {
        const std::string z = ZlibCompress(std::vector<uint8_t>(size_t{w} * h * 4, 0xFF));
        body.insert(body.end(), z.begin(), z.end());
    }
    return TagRecord(swf::tag::kDefineBitsLossless, body);
}

struct Loaded {
    bool ok = false;
    std::string error;
    std::vector<std::string> logged;
};

Loaded LoadWith(const std::vector<std::vector<uint8_t>>& tags, uint64_t bitmapBudget = movie::kMaxBitmapBytes,
                uint64_t definitionBudget = movie::kMaxDefinitionBytes) {
    SwfFields fields;
    fields.tags.clear();
    for (const auto& t : tags) AppendBytes(fields.tags, t);
    AppendBytes(fields.tags, ShowFrameTag());
    AppendBytes(fields.tags, EndTag());
    const std::string bytes = BuildSwfFile(fields);
    swf::SwfFile file;
    Loaded l;
    EXPECT_TRUE(swf::ParseSwf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file, l.error));
    movie::Engine player;
    player.setLogSink([&](const std::string& s) { l.logged.push_back(s); });
    player.setBitmapBudget(bitmapBudget);
    player.setDefinitionBudget(definitionBudget);
    l.ok = player.load(file, l.error);
    return l;
}

TEST(Limits, TheBitmapBudgetRefusesTheMovieBeforeThePixelsExist) {
    // Each bitmap takes 400 bytes decoded: two fit in 1000, the third does not.
    Loaded l = LoadWith({LosslessTag(1, 10, 10), LosslessTag(2, 10, 10)}, 1000);
    EXPECT_TRUE(l.ok) << l.error;
    l = LoadWith({LosslessTag(1, 10, 10), LosslessTag(2, 10, 10), LosslessTag(3, 10, 10)}, 1000);
    EXPECT_FALSE(l.ok);
    EXPECT_NE(l.error.find("kMaxBitmapBytes"), std::string::npos) << l.error;
    EXPECT_NE(l.error.find("(DefineBitsLossless) at offset"), std::string::npos) << l.error;
    // A bitmap that doesn't decode takes nothing from the budget.
    l = LoadWith({LosslessTag(1, 10, 10, false), LosslessTag(2, 10, 10), LosslessTag(3, 10, 10)}, 1000);
    EXPECT_TRUE(l.ok) << l.error;
}

TEST(Limits, BitmapsPastThePictureLimitsStayEmptyAndSaySo) {
    const Loaded l = LoadWith({LosslessTag(1, 9000, 10, false)});
    ASSERT_TRUE(l.ok) << l.error;
    ASSERT_EQ(l.logged.size(), 1u);
    EXPECT_NE(l.logged[0].find("kMaxPictureSide"), std::string::npos) << l.logged[0];
    EXPECT_NE(l.logged[0].find("stays empty"), std::string::npos) << l.logged[0];
}

TEST(Limits, ShapesOfTooManyRecordsAreRefusedByName) {
    ShapeRecordWriter records(1, 0);
    records.change(std::pair{0, 0}, std::nullopt, 1u, std::nullopt);
    for (uint32_t i = 0; i <= swf::kMaxShapeRecords; ++i) records.line(i % 2 ? -1 : 1, 0);
    const Loaded l =
        LoadWith({TagRecord(swf::tag::kDefineShape3, DefineShapeBody(1, 0, 20, 0, 20, {SolidFill(1, 2, 3, 255)}, {},
                                                                     records.end()))});
    EXPECT_FALSE(l.ok);
    EXPECT_NE(l.error.find("kMaxShapeRecords"), std::string::npos) << l.error;
    EXPECT_NE(l.error.find("(DefineShape3) at offset"), std::string::npos) << l.error;
}

TEST(Limits, TextAdvancesPastThe32BitRangeStopAtItsEnds) {
    // DefineText: one record of three glyphs whose advances are the largest 32-bit ones.
    std::vector<uint8_t> body;
    AppendU16(body, 1);
    BitWriter head;
    WriteRect(head, 0, 20, 0, 20);
    WriteMatrix(head, std::nullopt, std::nullopt, 0, 0);
    AppendBytes(body, head.take());
    body.push_back(1);   // glyph bits
    body.push_back(32);  // advance bits
    body.push_back(0x80 | 0x08 | 0x01);  // font and x
    AppendU16(body, 2);
    AppendU16(body, 0);    // x
    AppendU16(body, 240);  // height
    body.push_back(3);
    BitWriter glyphs;
    for (int i = 0; i < 3; ++i) {
        glyphs.bits(0, 1);
        glyphs.bits(0x7FFFFFFFu, 32);
    }
    AppendBytes(body, glyphs.take());
    body.push_back(0);
    const swf::Tag tag{swf::tag::kDefineText, 0, body.data(), static_cast<uint32_t>(body.size())};
    uint16_t id = 0;
    movie::StaticText text;
    ASSERT_TRUE(movie::ReadDefineText(tag, id, text));
    ASSERT_EQ(text.runs.size(), 1u);
    ASSERT_EQ(text.runs[0].glyphs.size(), 3u);
    EXPECT_EQ(text.runs[0].glyphs[1].x, INT32_MAX);
    EXPECT_EQ(text.runs[0].glyphs[2].x, INT32_MAX);
}

TEST(Limits, SpritesNestedPastTheLimitShowNothingAndSaySo) {
    // A sprite that places itself inside itself, frame after frame.
    const Loaded l = LoadWith({DefineSpriteTag(1, 1, {PlaceObject2Tag({1, 1, false, std::pair{0, 0}}), ShowFrameTag()}),
                               PlaceObject2Tag({1, 1, false, std::pair{0, 0}})});
    ASSERT_TRUE(l.ok) << l.error;
    ASSERT_EQ(l.logged.size(), 1u);
    EXPECT_NE(l.logged[0].find("kMaxSpriteNesting"), std::string::npos) << l.logged[0];
}

// A tag's parsed form may be many times its bytes (a 5-byte placement is a command of some
// 200): what the movie's definitions take once read is counted against kMaxDefinitionBytes
// as they are read, through sprites too, and a movie past it is refused by name.
TEST(Limits, DefinitionsPastTheirBudgetRefuseTheMovieByName) {
    constexpr uint64_t kBudget = 64 * 1024;
    auto placements = [](int n) {
        std::vector<std::vector<uint8_t>> tags = {RectShapeTag(1, 20, 20, 255, 0, 0, 255)};
        for (int i = 0; i < n; ++i) tags.push_back(PlaceObject2Tag({1, 1, i > 0, std::pair{i, 0}}));
        return tags;
    };
    Loaded l = LoadWith(placements(100), movie::kMaxBitmapBytes, kBudget);
    EXPECT_TRUE(l.ok) << l.error;
    l = LoadWith(placements(1000), movie::kMaxBitmapBytes, kBudget);
    EXPECT_FALSE(l.ok);
    EXPECT_NE(l.error.find("kMaxDefinitionBytes"), std::string::npos) << l.error;
    EXPECT_NE(l.error.find("(PlaceObject2) at offset"), std::string::npos) << l.error;
    // The same placements inside a sprite count alike.
    std::vector<std::vector<uint8_t>> inner;
    for (int i = 0; i < 1000; ++i) inner.push_back(PlaceObject2Tag({1, 1, i > 0, std::pair{i, 0}}));
    inner.push_back(ShowFrameTag());
    l = LoadWith({RectShapeTag(1, 20, 20, 255, 0, 0, 255), DefineSpriteTag(2, 1, inner)}, movie::kMaxBitmapBytes, kBudget);
    EXPECT_FALSE(l.ok);
    EXPECT_NE(l.error.find("(DefineSprite)"), std::string::npos) << l.error;
    EXPECT_NE(l.error.find("kMaxDefinitionBytes"), std::string::npos) << l.error;
    // A shape counts by the geometry it builds: 4000 edges are more than 64 KiB of it.
    ShapeRecordWriter records(1, 0);
    records.change(std::pair{0, 0}, std::nullopt, 1u, std::nullopt);
    for (int i = 0; i < 4000; ++i) records.line(i % 2 ? -20 : 20, 20);
    const auto shape = TagRecord(swf::tag::kDefineShape3,
                                 DefineShapeBody(1, 0, 20, 0, 20, {SolidFill(1, 2, 3, 255)}, {}, records.end()));
    l = LoadWith({shape}, movie::kMaxBitmapBytes, kBudget);
    EXPECT_FALSE(l.ok);
    EXPECT_NE(l.error.find("(DefineShape3) at offset"), std::string::npos) << l.error;
    l = LoadWith({shape});
    EXPECT_TRUE(l.ok) << l.error;
    // Bitmaps, sounds and tags the engine does not keep take nothing from this budget: a
    // movie of 100 KiB of them loads within 64 KiB.
    l = LoadWith({LosslessTag(1, 100, 100), TagRecord(255, std::vector<uint8_t>(60000, 7))}, movie::kMaxBitmapBytes, kBudget);
    EXPECT_TRUE(l.ok) << l.error;
}

}  // namespace
