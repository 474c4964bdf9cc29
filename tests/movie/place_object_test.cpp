// PlaceObject3's optional fields, each present alone and all together; clip actions.
#include <gtest/gtest.h>

#include "movie/definition.h"
#include "support/swf_builder.h"

namespace {

using namespace testing_support;

swf::Tag AsTag(uint16_t code, const std::vector<uint8_t>& body) { return swf::Tag{code, 0, body.data(), static_cast<uint32_t>(body.size())}; }

std::vector<uint8_t> Blur() {  // blur filter: id 1, blur x and y, passes
    std::vector<uint8_t> f = {1};
    AppendU32(f, 4 << 16);
    AppendU32(f, 6 << 16);
    f.push_back(2 << 3);
    return f;
}

std::vector<uint8_t> GradientGlow(uint8_t colors) {  // id 4: count, colours, ratios, 19 bytes more
    std::vector<uint8_t> f = {4, colors};
    for (uint8_t i = 0; i < colors; ++i) AppendBytes(f, {255, 0, 0, 255});
    for (uint8_t i = 0; i < colors; ++i) f.push_back(static_cast<uint8_t>(i * 100));
    f.insert(f.end(), 19, 0);
    return f;
}

TEST(PlaceObject3, VisibleAloneHasNoBackgroundAfterIt) {
    std::vector<uint8_t> body = {0x02, 0x21};  // character; visible and filters
    AppendU16(body, 4);
    AppendU16(body, 9);
    body.push_back(1);
    AppendBytes(body, GradientGlow(3));
    body.push_back(1);  // visible
    movie::PlaceCommand c;
    ASSERT_TRUE(movie::ReadPlaceObject(AsTag(swf::tag::kPlaceObject3, body), c));
    EXPECT_EQ(c.depth, 4);
    EXPECT_EQ(c.characterId, 9);
    ASSERT_TRUE(c.filters);
    ASSERT_EQ(c.filters->size(), 1u);
    const auto* glow = std::get_if<swf::GradientGlowFilter>(&(*c.filters)[0]);
    ASSERT_NE(glow, nullptr);
    ASSERT_EQ(glow->stops.size(), 3u);
    EXPECT_EQ(glow->stops[2].ratio, 200);
    EXPECT_EQ(glow->stops[1].color.r, 255);
    EXPECT_EQ(c.visible, true);
    EXPECT_FALSE(c.opaqueBackground);
}

TEST(PlaceObject3, EveryFieldTogether) {
    std::vector<uint8_t> body = {0x26, 0x67};  // character, matrix, name; background, visible, cache, blend, filters
    AppendU16(body, 2);
    AppendU16(body, 5);
    BitWriter w;
    WriteMatrix(w, std::pair{2.0, 2.0}, std::nullopt, 100, -100);
    AppendBytes(body, w.take());
    AppendBytes(body, {'c', 'l', 'i', 'p', 0});
    body.push_back(2);
    AppendBytes(body, Blur());
    AppendBytes(body, GradientGlow(2));
    body.push_back(3);  // blend mode: multiply
    body.push_back(1);  // cache as bitmap
    body.push_back(0);  // invisible
    AppendBytes(body, {10, 20, 30, 40});
    movie::PlaceCommand c;
    ASSERT_TRUE(movie::ReadPlaceObject(AsTag(swf::tag::kPlaceObject3, body), c));
    EXPECT_EQ(c.name, "clip");
    ASSERT_TRUE(c.matrix);
    EXPECT_FLOAT_EQ(c.matrix->scaleX, 2);
    EXPECT_EQ(c.matrix->translateY, -100);
    ASSERT_TRUE(c.filters);
    ASSERT_EQ(c.filters->size(), 2u);
    const auto* blur = std::get_if<swf::BlurFilter>(&(*c.filters)[0]);
    ASSERT_NE(blur, nullptr);
    EXPECT_FLOAT_EQ(blur->blurX, 4);
    EXPECT_FLOAT_EQ(blur->blurY, 6);
    EXPECT_EQ(blur->passes, 2);
    EXPECT_NE(std::get_if<swf::GradientGlowFilter>(&(*c.filters)[1]), nullptr);
    EXPECT_EQ(c.blendMode, 3);
    EXPECT_EQ(c.cacheAsBitmap, true);
    EXPECT_EQ(c.visible, false);
    ASSERT_TRUE(c.opaqueBackground);
    EXPECT_EQ(c.opaqueBackground->b, 30);
}

TEST(PlaceObject3, ImageFlagBringsNoClassName) {
    // As a movie of the corpus has it: character, matrix; the image flag and no class name.
    const std::vector<uint8_t> body = {0x06, 0x10, 0x01, 0x00, 0x01, 0x00, 0x1c, 0xa2, 0x81, 0xd6, 0x00};
    movie::PlaceCommand c;
    ASSERT_TRUE(movie::ReadPlaceObject(AsTag(swf::tag::kPlaceObject3, body), c));
    EXPECT_EQ(c.depth, 1);
    EXPECT_EQ(c.characterId, 1);
    ASSERT_TRUE(c.matrix);
    // With the class-name flag, a name comes before the character.
    const std::vector<uint8_t> named = {0x02, 0x08, 0x01, 0x00, 'C', 0, 0x07, 0x00};
    ASSERT_TRUE(movie::ReadPlaceObject(AsTag(swf::tag::kPlaceObject3, named), c));
    EXPECT_EQ(c.characterId, 7);
}

TEST(PlaceObject3, UnknownOrCutFiltersAreDamage) {
    std::vector<uint8_t> body = {0x02, 0x01};
    AppendU16(body, 1);
    AppendU16(body, 1);
    body.push_back(1);
    body.push_back(42);  // no such filter
    body.insert(body.end(), 30, 0);
    movie::PlaceCommand c;
    EXPECT_FALSE(movie::ReadPlaceObject(AsTag(swf::tag::kPlaceObject3, body), c));
    std::vector<uint8_t> cut = {0x02, 0x01};
    AppendU16(cut, 1);
    AppendU16(cut, 1);
    cut.push_back(1);
    AppendBytes(cut, Blur());
    cut.resize(cut.size() - 3);
    EXPECT_FALSE(movie::ReadPlaceObject(AsTag(swf::tag::kPlaceObject3, cut), c));
}

}  // namespace

namespace {

// The body of a PlaceObject2 tag made by the builder (its record header dropped).
std::vector<uint8_t> Body(const std::vector<uint8_t>& tag) { return std::vector<uint8_t>(tag.begin() + 2, tag.end()); }

TEST(ClipActions, ReadWithTheirEventsAndKeptUpToDamage) {
    PlaceFields p{1, 5, false, std::pair{0, 0}};
    p.clipActions = {{movie::clip_event::kLoad, {0x07, 0x00}}, {movie::clip_event::kEnterFrame, {0x06, 0x00}}};
    std::vector<uint8_t> body = Body(PlaceObject2Tag(p));
    movie::PlaceCommand c;
    ASSERT_TRUE(movie::ReadPlaceObject(AsTag(swf::tag::kPlaceObject2, body), c, 8));
    ASSERT_TRUE(c.clipActions);
    ASSERT_EQ(c.clipActions->size(), 2u);
    EXPECT_EQ((*c.clipActions)[0].events, movie::clip_event::kLoad);
    EXPECT_EQ((*c.clipActions)[1].code, (std::vector<uint8_t>{0x06, 0x00}));
    // The end mark cut to 16 bits, as some movies have it: both actions stay.
    body.resize(body.size() - 2);
    ASSERT_TRUE(movie::ReadPlaceObject(AsTag(swf::tag::kPlaceObject2, body), c, 8));
    ASSERT_TRUE(c.clipActions);
    EXPECT_EQ(c.clipActions->size(), 2u);
    EXPECT_EQ(*c.characterId, 5);
    // The second action's size runs past the end: the first stays, the placement too.
    body.resize(body.size() - 4);
    ASSERT_TRUE(movie::ReadPlaceObject(AsTag(swf::tag::kPlaceObject2, body), c, 8));
    ASSERT_TRUE(c.clipActions);
    EXPECT_EQ(c.clipActions->size(), 1u);
}

}  // namespace
