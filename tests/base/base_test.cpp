// The helpers everything shares: UTF-8 with its one rule for what is not UTF-8, and
// premultiplied pixels rounded to the nearest.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "avm1/strings.h"
#include "base/pixels.h"
#include "base/utf8.h"

namespace {

TEST(Utf8, WellFormedSequencesDecodeAndStrayBytesStandForThemselves) {
    const struct {
        std::string bytes;
        std::u32string want;
        const char* what;
    } cases[] = {
        {"abc", U"abc", "ASCII"},
        {"\xC3\xA9t\xC3\xA9", U"\u00E9t\u00E9", "two-byte sequences"},
        {"\xE2\x82\xAC", U"\u20AC", "three bytes"},
        {"\xF0\x9F\x98\x80!", U"\U0001F600!", "four bytes"},
        {"\x80" "a", U"\u0080a", "a stray continuation byte"},
        {"\xC3", U"\u00C3", "a sequence cut short at the end"},
        {"\xE2\x82", U"\u00E2\u0082", "three bytes cut short"},
        {"\xC3" "a", U"\u00C3a", "a start byte without its continuation"},
        {"\xFF\xFE", U"\u00FF\u00FE", "bytes that start nothing"},
    };
    for (const auto& c : cases) EXPECT_EQ(base::DecodeText(c.bytes, true), c.want) << c.what;
    EXPECT_EQ(base::DecodeText("\xC3\xA9", false), U"\u00C3\u00A9") << "Latin-1: a byte each";
    EXPECT_EQ(base::DecodeText("\xC3\xA9\xC3\xA9\xC3\xA9", true, 2), U"\u00E9\u00E9") << "the limit counts characters";
}

TEST(Utf8, EncodingRoundTripsAtEveryLengthBoundary) {
    for (uint32_t c : {0x00u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xFFFFu, 0x10000u, 0x10FFFFu}) {
        std::string s;
        base::AppendUtf8(s, c);
        const size_t want = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        EXPECT_EQ(s.size(), want) << std::hex << c;
        char32_t back = 0;
        EXPECT_EQ(base::NextUtf8(s, 0, back), want);
        EXPECT_EQ(static_cast<uint32_t>(back), c);
    }
}

// The string actions count and cut by the same characters that text shows.
TEST(Utf8, TheStringActionsCountTheCharactersTextDecodes) {
    const std::string s = "a\xC3\xA9\x80\xE2\x82\xAC\xC3";
    EXPECT_EQ(avm1::CharacterCount(s, 6), base::DecodeText(s, true).size());
    EXPECT_EQ(avm1::CharacterCount(s, 5), s.size());
    EXPECT_EQ(avm1::Substring(s, 3, 1, 6), "\x80");
    EXPECT_EQ(avm1::Substring(s, 4, 1, 6), "\xE2\x82\xAC");
    EXPECT_EQ(avm1::FirstCodePoint("\xE2\x82\xAC", 6), 0x20ACu);
    EXPECT_EQ(avm1::FirstCodePoint("\xE2\x82" "a", 6), 0xE2u) << "a broken sequence stands for its first byte";
}

TEST(Pixels, PremultiplyingRoundsEveryChannelToTheNearest) {
    for (uint32_t a = 0; a < 256; a += 5) {
        for (uint32_t c = 0; c < 256; c += 3) {
            const uint32_t want = static_cast<uint32_t>(std::lround(c * a / 255.0));
            const uint32_t p = base::PremultipliedPixel(c, 255 - c, c / 2, a);
            ASSERT_EQ(p >> 16 & 0xFF, want) << "red " << c << " alpha " << a;
            ASSERT_EQ(p & 0xFF, static_cast<uint32_t>(std::lround((c / 2) * a / 255.0))) << "blue";
            ASSERT_EQ(p >> 24, a);
        }
    }
    EXPECT_EQ(base::Premultiplied(0x80FF8040u), 0x80804020u);
    EXPECT_EQ(base::PremultipliedWithAlpha(0x00123456u, 255), 0xFF123456u) << "opaque: the colour as it is";
    EXPECT_EQ(base::PremultipliedWithAlpha(0xFF123456u, 0), 0u);
}

}  // namespace
