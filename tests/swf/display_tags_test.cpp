// Filters decoded once, field by field, from bytes laid out as the format gives them; the
// buttons' records with all their states and their actions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "support/swf_builder.h"
#include "swf/bitmap_tags.h"
#include "swf/control_tags.h"
#include "swf/display_tags.h"

namespace {

using namespace testing_support;

swf::Tag AsTag(uint16_t code, const std::vector<uint8_t>& body) {
    return swf::Tag{code, 0, body.data(), static_cast<uint32_t>(body.size())};
}

void AppendFloat(std::vector<uint8_t>& out, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    AppendU32(out, bits);
}

std::vector<swf::Filter> ReadList(const std::vector<uint8_t>& bytes, bool* ok = nullptr) {
    swf::ByteReader r(bytes.data(), bytes.size());
    std::vector<swf::Filter> out;
    const bool read = swf::ReadFilterList(r, out);
    if (ok != nullptr) *ok = read;
    return out;
}

TEST(Filters, ShadowGlowAndBevelFieldsInTheFormatsOrder) {
    std::vector<uint8_t> list = {3};
    // Drop shadow: colour, blur x 2.5, blur y 4, angle 0.75, distance 6, strength 1.5,
    // flags: inner, no knockout, composite source off, 3 passes.
    AppendBytes(list, {0, 10, 20, 30, 128});
    AppendU32(list, 0x00028000);
    AppendU32(list, 4 << 16);
    AppendU32(list, 0x0000C000);
    AppendU32(list, 6 << 16);
    AppendU16(list, 0x0180);
    list.push_back(0x80 | 3);
    // Glow: colour, blur, strength 2, knockout, composite source, 1 pass.
    AppendBytes(list, {2, 1, 2, 3, 255});
    AppendU32(list, 8 << 16);
    AppendU32(list, 8 << 16);
    AppendU16(list, 0x0200);
    list.push_back(0x40 | 0x20 | 1);
    // Bevel: highlight, shadow, blur, angle, distance, strength, on top with 2 passes.
    AppendBytes(list, {3, 255, 255, 255, 255, 0, 0, 0, 255});
    AppendU32(list, 1 << 16);
    AppendU32(list, 1 << 16);
    AppendU32(list, 0);
    AppendU32(list, 2 << 16);
    AppendU16(list, 0x0100);
    list.push_back(0x20 | 0x10 | 2);
    bool ok = false;
    const std::vector<swf::Filter> filters = ReadList(list, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(filters.size(), 3u);
    const auto& shadow = std::get<swf::DropShadowFilter>(filters[0]);
    EXPECT_EQ(shadow.color.r, 10);
    EXPECT_EQ(shadow.color.a, 128);
    EXPECT_FLOAT_EQ(shadow.effect.blurX, 2.5f);
    EXPECT_FLOAT_EQ(shadow.effect.blurY, 4);
    EXPECT_FLOAT_EQ(shadow.effect.angle, 0.75f);
    EXPECT_FLOAT_EQ(shadow.effect.distance, 6);
    EXPECT_FLOAT_EQ(shadow.effect.strength, 1.5f);
    EXPECT_TRUE(shadow.effect.inner);
    EXPECT_FALSE(shadow.effect.knockout);
    EXPECT_FALSE(shadow.effect.compositeSource);
    EXPECT_EQ(shadow.effect.passes, 3);
    const auto& glow = std::get<swf::GlowFilter>(filters[1]);
    EXPECT_EQ(glow.color.b, 3);
    EXPECT_FLOAT_EQ(glow.effect.distance, 0) << "a glow has no distance";
    EXPECT_FLOAT_EQ(glow.effect.strength, 2);
    EXPECT_TRUE(glow.effect.knockout);
    EXPECT_TRUE(glow.effect.compositeSource);
    EXPECT_EQ(glow.effect.passes, 1);
    const auto& bevel = std::get<swf::BevelFilter>(filters[2]);
    EXPECT_EQ(bevel.highlight.g, 255) << "the highlight comes first";
    EXPECT_EQ(bevel.shadow.g, 0);
    EXPECT_TRUE(bevel.effect.onTop);
    EXPECT_EQ(bevel.effect.passes, 2) << "four bits of passes after the on-top flag";
    EXPECT_FLOAT_EQ(bevel.effect.distance, 2);
}

TEST(Filters, ConvolutionAndColourMatrixWithFloatsThatAreNotFinite) {
    std::vector<uint8_t> list = {2, 5, 3, 2};  // convolution, 3 columns, 2 rows
    AppendFloat(list, 9);
    AppendFloat(list, std::numeric_limits<float>::quiet_NaN());  // bias
    for (int k = 0; k < 6; ++k) AppendFloat(list, static_cast<float>(k) - 2);
    AppendBytes(list, {1, 2, 3, 4});
    list.push_back(0x01);  // six reserved bits, clamp off, preserve alpha on
    list.push_back(6);      // colour matrix
    for (int k = 0; k < 20; ++k) AppendFloat(list, k == 4 ? std::numeric_limits<float>::infinity() : static_cast<float>(k) * 0.5f);
    bool ok = false;
    const std::vector<swf::Filter> filters = ReadList(list, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(filters.size(), 2u);
    const auto& c = std::get<swf::ConvolutionFilter>(filters[0]);
    EXPECT_EQ(c.columns, 3);
    EXPECT_EQ(c.rows, 2);
    EXPECT_FLOAT_EQ(c.divisor, 9);
    EXPECT_EQ(c.bias, 0) << "NaN reads as 0";
    ASSERT_EQ(c.matrix.size(), 6u);
    EXPECT_FLOAT_EQ(c.matrix[5], 3);
    EXPECT_EQ(c.outside.a, 4);
    EXPECT_FALSE(c.clamp);
    EXPECT_TRUE(c.preserveAlpha);
    const auto& m = std::get<swf::ColorMatrixFilter>(filters[1]);
    EXPECT_FLOAT_EQ(m.matrix[3], 1.5f);
    EXPECT_EQ(m.matrix[4], 0) << "infinity reads as 0";
    EXPECT_FLOAT_EQ(m.matrix[19], 9.5f);
}

TEST(Filters, UnknownIdsAndShortRecordsStopTheList) {
    bool ok = true;
    EXPECT_TRUE(ReadList({1, 8, 0, 0, 0}, &ok).empty());
    EXPECT_FALSE(ok) << "id 8 is no filter";
    std::vector<uint8_t> cut = {1, 4, 200};  // a gradient glow of 200 stops, with none there
    cut.insert(cut.end(), 50, 0);
    ReadList(cut, &ok);
    EXPECT_FALSE(ok);
    // A gradient filter without stops reads, and the next one after it.
    std::vector<uint8_t> empty = {2, 7, 0};
    empty.insert(empty.end(), 19, 0);
    AppendBytes(empty, {1, 0, 0, 1, 0, 0, 0, 1, 0, 0x08});
    const std::vector<swf::Filter> two = ReadList(empty, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_TRUE(std::get<swf::GradientBevelFilter>(two[0]).stops.empty());
    EXPECT_FLOAT_EQ(std::get<swf::BlurFilter>(two[1]).blurX, 1);
}

// A button record: states, character, depth, an identity matrix (one byte of zero bits).
void AppendRecord(std::vector<uint8_t>& out, uint8_t flags, uint16_t character, uint16_t depth, bool v2) {
    out.push_back(flags);
    AppendU16(out, character);
    AppendU16(out, depth);
    out.push_back(0);  // matrix: no scale, no rotation, 0-bit translation
    if (v2) out.push_back(0);  // colour transform: no terms
}

TEST(Buttons, RecordsKeepEveryStateAndTheActionsTheirConditions) {
    // DefineButton2: two records, then two condition actions.
    std::vector<uint8_t> body;
    AppendU16(body, 12);  // id
    body.push_back(1);    // track as menu
    const size_t offsetAt = body.size();
    AppendU16(body, 0);
    AppendRecord(body, swf::button_state::kUp | swf::button_state::kHitTest, 3, 1, true);
    AppendRecord(body, swf::button_state::kOver | swf::button_state::kDown, 4, 2, true);
    body.push_back(0);  // end of the records
    const size_t actionsAt = body.size();
    body[offsetAt] = static_cast<uint8_t>(actionsAt - offsetAt);
    AppendU16(body, 4 + 2);  // size to the next
    AppendU16(body, 0x0008 | (65 << 9));  // over down to over up, key 'A'
    AppendBytes(body, {0x07, 0x00});
    AppendU16(body, 0);  // the last
    AppendU16(body, 0x0001);
    AppendBytes(body, {0x06, 0x00});
    swf::DefineButton b;
    ASSERT_TRUE(swf::ReadDefineButton(AsTag(swf::tag::kDefineButton2, body), b));
    EXPECT_EQ(b.id, 12);
    EXPECT_TRUE(b.trackAsMenu);
    ASSERT_EQ(b.records.size(), 2u);
    EXPECT_EQ(b.records[0].states, swf::button_state::kUp | swf::button_state::kHitTest);
    EXPECT_EQ(b.records[1].characterId, 4);
    EXPECT_EQ(b.records[1].depth, 2);
    EXPECT_TRUE(b.records[1].colorTransform);
    ASSERT_EQ(b.actions.size(), 2u);
    EXPECT_EQ(b.actions[0].conditions & 0x00FF, swf::kButtonConditionOverDownToOverUp);
    EXPECT_EQ(b.actions[0].conditions >> 9, 65);
    EXPECT_EQ(b.actions[0].code, (std::vector<uint8_t>{0x07, 0x00}));
    EXPECT_EQ(b.actions[1].code, (std::vector<uint8_t>{0x06, 0x00}));
    // A size that runs past the tag keeps the actions before it.
    body[actionsAt + 6 + 0] = 0xFF;
    body[actionsAt + 6 + 1] = 0x00;
    ASSERT_TRUE(swf::ReadDefineButton(AsTag(swf::tag::kDefineButton2, body), b));
    EXPECT_EQ(b.actions.size(), 1u);

    // DefineButton: the actions after the records run on release.
    std::vector<uint8_t> v1;
    AppendU16(v1, 5);
    AppendRecord(v1, swf::button_state::kUp, 3, 1, false);
    v1.push_back(0);
    AppendBytes(v1, {0x07, 0x00});
    ASSERT_TRUE(swf::ReadDefineButton(AsTag(swf::tag::kDefineButton, v1), b));
    ASSERT_EQ(b.records.size(), 1u);
    EXPECT_FALSE(b.records[0].colorTransform);
    ASSERT_EQ(b.actions.size(), 1u);
    EXPECT_EQ(b.actions[0].conditions, swf::kButtonConditionOverDownToOverUp);
    // Records cut short are damage.
    v1.resize(4);
    EXPECT_FALSE(swf::ReadDefineButton(AsTag(swf::tag::kDefineButton, v1), b));
}

TEST(ClipActionRecords, AKeyPressNamesItsKeyBeforeItsCode) {
    std::vector<uint8_t> body = {0x82};  // character and clip actions
    AppendU16(body, 1);
    AppendU16(body, 7);
    AppendU16(body, 0);  // reserved
    AppendU32(body, swf::clip_event::kKeyPress);
    AppendU32(body, swf::clip_event::kKeyPress);
    AppendU32(body, 3);
    AppendBytes(body, {32, 0x07, 0x00});
    AppendU32(body, 0);
    swf::PlaceObject p;
    ASSERT_TRUE(swf::ReadPlaceObject(AsTag(swf::tag::kPlaceObject2, body), 6, p));
    ASSERT_EQ(p.clipActions.size(), 1u);
    EXPECT_EQ(p.clipActions[0].keyCode, 32);
    EXPECT_EQ(p.clipActions[0].code, (std::vector<uint8_t>{0x07, 0x00}));
    EXPECT_EQ(p.version, 2);
}

// The bitmap tags' headers: where each payload lies, for image/ to decode.
TEST(BitmapHeaders, PayloadsLieWhereTheHeadersSay) {
    std::vector<uint8_t> jpeg3;
    AppendU16(jpeg3, 7);
    AppendU32(jpeg3, 3);
    AppendBytes(jpeg3, {0xFF, 0xD8, 0xFF, 0x78, 0x9C});
    swf::DefineBits bits;
    ASSERT_TRUE(swf::ReadDefineBits(AsTag(swf::tag::kDefineBitsJpeg3, jpeg3), bits));
    EXPECT_EQ(bits.id, 7);
    EXPECT_FALSE(bits.usesJpegTables);
    EXPECT_EQ(bits.imageSize, 3u);
    EXPECT_EQ(bits.image[0], 0xFF);
    ASSERT_NE(bits.alpha, nullptr);
    EXPECT_EQ(bits.alphaSize, 2u);
    EXPECT_EQ(bits.alpha[0], 0x78);
    // The image size past the tag's end is a header cut short.
    jpeg3[2] = 200;
    EXPECT_FALSE(swf::ReadDefineBits(AsTag(swf::tag::kDefineBitsJpeg3, jpeg3), bits));
    // DefineBits: the rest is the stream, its tables in JPEGTables; JPEG4 has its deblocking.
    std::vector<uint8_t> plain;
    AppendU16(plain, 2);
    AppendBytes(plain, {1, 2, 3, 4});
    ASSERT_TRUE(swf::ReadDefineBits(AsTag(swf::tag::kDefineBits, plain), bits));
    EXPECT_TRUE(bits.usesJpegTables);
    EXPECT_EQ(bits.imageSize, 4u);
    EXPECT_EQ(bits.alpha, nullptr);
    std::vector<uint8_t> jpeg4;
    AppendU16(jpeg4, 3);
    AppendU32(jpeg4, 1);
    AppendU16(jpeg4, 0x0180);
    jpeg4.push_back(9);
    ASSERT_TRUE(swf::ReadDefineBits(AsTag(swf::tag::kDefineBitsJpeg4, jpeg4), bits));
    EXPECT_EQ(bits.deblocking, 0x0180);
    EXPECT_EQ(bits.image[0], 9);
    EXPECT_EQ(bits.alpha, nullptr);

    std::vector<uint8_t> lossless;
    AppendU16(lossless, 4);
    lossless.push_back(3);  // colour-mapped
    AppendU16(lossless, 10);
    AppendU16(lossless, 20);
    lossless.push_back(255);  // 256 entries
    AppendBytes(lossless, {0x78, 0x9C});
    swf::DefineBitsLossless l;
    ASSERT_TRUE(swf::ReadDefineBitsLossless(AsTag(swf::tag::kDefineBitsLossless2, lossless), l));
    EXPECT_EQ(l.width, 10);
    EXPECT_EQ(l.height, 20);
    EXPECT_EQ(l.colorTableSize, 256);
    EXPECT_TRUE(l.withAlpha);
    EXPECT_EQ(l.dataSize, 2u);
    lossless.resize(6);
    EXPECT_FALSE(swf::ReadDefineBitsLossless(AsTag(swf::tag::kDefineBitsLossless, lossless), l));
}

// The small tags of a timeline: what each gives, and a tag cut short giving nothing.
TEST(ControlTags, EachGivesItsFieldsOrNothingWhenCutShort) {
    std::vector<uint8_t> sprite;
    AppendU16(sprite, 9);
    AppendU16(sprite, 3);
    AppendBytes(sprite, {0x40, 0x00, 0x00, 0x00});  // ShowFrame, End
    swf::DefineSpriteHeader header;
    ASSERT_TRUE(swf::ReadDefineSpriteHeader(AsTag(swf::tag::kDefineSprite, sprite), header));
    EXPECT_EQ(header.id, 9);
    EXPECT_EQ(header.frameCount, 3);
    EXPECT_EQ(header.tags.size, 4u);
    EXPECT_EQ(header.tags.data[0], 0x40);
    EXPECT_FALSE(swf::ReadDefineSpriteHeader(AsTag(swf::tag::kDefineSprite, {9, 0, 3}), header));

    swf::DoInitAction init;
    ASSERT_TRUE(swf::ReadDoInitAction(AsTag(swf::tag::kDoInitAction, {5, 0, 0x07, 0x00}), init));
    EXPECT_EQ(init.spriteId, 5);
    EXPECT_EQ(init.code.size, 2u);
    EXPECT_FALSE(swf::ReadDoInitAction(AsTag(swf::tag::kDoInitAction, {5}), init));

    swf::FrameLabel label;
    ASSERT_TRUE(swf::ReadFrameLabel(AsTag(swf::tag::kFrameLabel, {'a', 'b', 0, 1}), label));
    EXPECT_EQ(label.name, "ab");
    EXPECT_TRUE(label.anchor);
    ASSERT_TRUE(swf::ReadFrameLabel(AsTag(swf::tag::kFrameLabel, {'c', 'd'}), label));
    EXPECT_EQ(label.name, "cd") << "without its end mark the label is the rest of the tag";
    EXPECT_FALSE(label.anchor);

    swf::Color c;
    ASSERT_TRUE(swf::ReadSetBackgroundColor(AsTag(swf::tag::kSetBackgroundColor, {1, 2, 3}), c));
    EXPECT_EQ(c.b, 3);
    EXPECT_FALSE(swf::ReadSetBackgroundColor(AsTag(swf::tag::kSetBackgroundColor, {1, 2}), c));

    swf::DefineButtonCxform cx;
    // Button 4; CXFORM with multiply terms of 4 bits: 0.5 red, green and blue.
    BitWriter w;
    w.bits(0, 1);  // no add terms
    w.bits(1, 1);  // multiply terms
    w.bits(10, 4);
    for (int i = 0; i < 3; ++i) w.signedBits(128, 10);
    std::vector<uint8_t> body;
    AppendU16(body, 4);
    AppendBytes(body, w.take());
    ASSERT_TRUE(swf::ReadDefineButtonCxform(AsTag(swf::tag::kDefineButtonCxform, body), cx));
    EXPECT_EQ(cx.buttonId, 4);
    EXPECT_EQ(cx.colorTransform.mulG, 128);
    EXPECT_EQ(cx.colorTransform.addR, 0);

    uint16_t font = 0;
    ASSERT_TRUE(swf::ReadFontInfoFontId(AsTag(swf::tag::kDefineFontInfo, {7, 1, 0}), font));
    EXPECT_EQ(font, 263);
    EXPECT_FALSE(swf::ReadFontInfoFontId(AsTag(swf::tag::kDefineFontInfo, {7}), font));
}

// DefineButtonSound's four sounds, each with the SOUNDINFO fields its flags give.
TEST(Buttons, SoundsOfTheTransitionsWithTheirSoundInfo) {
    std::vector<uint8_t> body;
    AppendU16(body, 12);  // the button
    AppendU16(body, 0);   // over up to idle: none
    AppendU16(body, 30);  // idle to over up: every field
    body.push_back(0x20 | 0x10 | 0x0F);
    AppendU32(body, 441);
    AppendU32(body, 44100);
    AppendU16(body, 3);
    body.push_back(2);
    AppendU32(body, 0);
    AppendU16(body, 32768);
    AppendU16(body, 0);
    AppendU32(body, 22050);
    AppendU16(body, 0);
    AppendU16(body, 32768);
    AppendU16(body, 31);  // over up to over down: nothing but the id
    body.push_back(0);
    AppendU16(body, 0);   // over down to over up: none
    swf::DefineButtonSound s;
    ASSERT_TRUE(swf::ReadDefineButtonSound(AsTag(swf::tag::kDefineButtonSound, body), s));
    EXPECT_EQ(s.buttonId, 12);
    EXPECT_EQ(s.sounds[0].soundId, 0);
    const swf::SoundInfo& all = s.sounds[1].info;
    EXPECT_EQ(s.sounds[1].soundId, 30);
    EXPECT_TRUE(all.syncStop);
    EXPECT_TRUE(all.syncNoMultiple);
    EXPECT_EQ(all.inPoint, 441u);
    EXPECT_EQ(all.outPoint, 44100u);
    EXPECT_EQ(all.loopCount, 3);
    ASSERT_TRUE(all.envelope);
    ASSERT_EQ(all.envelope->size(), 2u);
    EXPECT_EQ((*all.envelope)[1].position44, 22050u);
    EXPECT_EQ((*all.envelope)[1].rightLevel, 32768);
    EXPECT_EQ(s.sounds[2].soundId, 31);
    EXPECT_FALSE(s.sounds[2].info.inPoint);
    EXPECT_FALSE(s.sounds[2].info.envelope);
    EXPECT_EQ(s.sounds[3].soundId, 0);
    // An envelope that runs past the tag is damage.
    body.resize(30);
    EXPECT_FALSE(swf::ReadDefineButtonSound(AsTag(swf::tag::kDefineButtonSound, body), s));
}

}  // namespace
