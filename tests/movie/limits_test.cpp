// The engine's limits: each is a named constant, and going past one gives a message that
// names it, never an attempt.
#include <gtest/gtest.h>

#include <memory>

#include "movie/player.h"
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

Loaded LoadWith(const std::vector<std::vector<uint8_t>>& tags, uint64_t bitmapBudget = movie::kMaxBitmapBytes) {
    SwfFields fields;
    fields.tags.clear();
    for (const auto& t : tags) AppendBytes(fields.tags, t);
    AppendBytes(fields.tags, ShowFrameTag());
    AppendBytes(fields.tags, EndTag());
    const std::string bytes = BuildSwfFile(fields);
    swf::SwfFile file;
    Loaded l;
    EXPECT_TRUE(swf::ParseSwf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file, l.error));
    movie::Player player;
    player.setLogSink([&](const std::string& s) { l.logged.push_back(s); });
    player.setBitmapBudget(bitmapBudget);
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

TEST(Limits, SpritesNestedPastTheLimitShowNothingAndSaySo) {
    // A sprite that places itself inside itself, frame after frame.
    const Loaded l = LoadWith({DefineSpriteTag(1, 1, {PlaceObject2Tag({1, 1, false, std::pair{0, 0}}), ShowFrameTag()}),
                               PlaceObject2Tag({1, 1, false, std::pair{0, 0}})});
    ASSERT_TRUE(l.ok) << l.error;
    ASSERT_EQ(l.logged.size(), 1u);
    EXPECT_NE(l.logged[0].find("kMaxSpriteNesting"), std::string::npos) << l.logged[0];
}

}  // namespace
