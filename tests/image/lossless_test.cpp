// Lossless bitmaps of each format, built here byte by byte and zlib-compressed, decoded to
// premultiplied BGRA.
#include <gtest/gtest.h>

#include "image/lossless.h"
#include "support/swf_builder.h"

namespace {

using image::LosslessFormat;

bool Decode(const std::vector<uint8_t>& raw, LosslessFormat format, int w, int h, int tableSize, bool alpha,
            image::Picture& out, std::string* why = nullptr) {
    const std::string z = testing_support::ZlibCompress(raw);
    std::string error;
    const bool ok = image::DecodeLossless(reinterpret_cast<const uint8_t*>(z.data()), z.size(), format, w, h,
                                          tableSize, alpha, out, error);
    if (why) *why = error;
    return ok;
}

TEST(Lossless, PremultipliedArgbRowsAsStored) {
    // 2 x 2: opaque red, half-transparent green (premultiplied 128), transparent, blue.
    const std::vector<uint8_t> raw = {255, 255, 0, 0, 128, 0, 128, 0, 0, 0, 0, 0, 255, 0, 0, 255};
    image::Picture p;
    ASSERT_TRUE(Decode(raw, LosslessFormat::kRgb32, 2, 2, 0, true, p));
    ASSERT_EQ(p.pixels.size(), 4u);
    EXPECT_EQ(p.pixels[0], 0xFFFF0000u);
    EXPECT_EQ(p.pixels[1], 0x80008000u);
    EXPECT_EQ(p.pixels[2], 0u);
    EXPECT_EQ(p.pixels[3], 0xFF0000FFu);
    // Without alpha the first byte is padding: every pixel opaque.
    ASSERT_TRUE(Decode(raw, LosslessFormat::kRgb32, 2, 2, 0, false, p));
    EXPECT_EQ(p.pixels[1], 0xFF008000u);
    EXPECT_EQ(p.pixels[2], 0xFF000000u);
}

TEST(Lossless, ColourMappedRowsArePaddedToFourBytes) {
    // A table of two RGB colours, then 3 x 2 indexes in rows of 4 bytes; index 5 is past it.
    const std::vector<uint8_t> raw = {10, 20, 30, 200, 100, 50, 0, 1, 0, 9, 1, 5, 1, 9};
    image::Picture p;
    ASSERT_TRUE(Decode(raw, LosslessFormat::kColorMapped, 3, 2, 1, false, p));
    EXPECT_EQ(p.pixels[0], 0xFF0A141Eu);
    EXPECT_EQ(p.pixels[1], 0xFFC86432u);
    EXPECT_EQ(p.pixels[3], 0xFFC86432u) << "the second row starts after the padding";
    EXPECT_EQ(p.pixels[4], 0u) << "an index past the table is transparent";
    // RGBA tables for the alpha form: colours premultiplied.
    const std::vector<uint8_t> rgba = {255, 0, 0, 128, 0, 0, 0, 0};
    ASSERT_TRUE(Decode(rgba, LosslessFormat::kColorMapped, 1, 1, 0, true, p));
    EXPECT_EQ(p.pixels[0], 0x80800000u);
}

TEST(Lossless, FifteenBitPixelsExpandToEightBits) {
    // Red 31, green 0, blue 16, then the row's padding.
    const std::vector<uint8_t> raw = {0x7C, 0x10, 0, 0};
    image::Picture p;
    ASSERT_TRUE(Decode(raw, LosslessFormat::kRgb15, 1, 1, 0, false, p));
    EXPECT_EQ(p.pixels[0], 0xFFFF0084u);
}

TEST(Lossless, SizesFormatsAndDamageAreRefused) {
    image::Picture p;
    std::string why;
    EXPECT_FALSE(Decode({0, 0, 0, 0}, LosslessFormat::kRgb32, 0, 1, 0, true, p, &why));
    EXPECT_NE(why.find("outside the limits"), std::string::npos);
    EXPECT_NE(why.find("kMaxPicturePixels"), std::string::npos) << why;
    EXPECT_FALSE(Decode({0, 0, 0, 0}, LosslessFormat::kRgb32, 8192, 1, 0, true, p, &why)) << "refused before allocating";
    EXPECT_FALSE(Decode({0, 0, 0, 0}, LosslessFormat::kRgb32, 2, 1, 0, true, p, &why)) << "cut short";
    EXPECT_NE(why.find("damaged or cut short"), std::string::npos);
    EXPECT_FALSE(Decode({0, 0, 0, 0}, static_cast<LosslessFormat>(7), 1, 1, 0, true, p, &why));
    EXPECT_FALSE(Decode({0, 0}, LosslessFormat::kRgb15, 1, 1, 0, true, p, &why)) << "15-bit comes without alpha";
    std::string error;
    const uint8_t garbage[] = {1, 2, 3, 4, 5, 6};
    EXPECT_FALSE(image::DecodeLossless(garbage, sizeof garbage, LosslessFormat::kRgb32, 1, 1, 0, true, p, error));
    EXPECT_TRUE(p.pixels.empty());
}

}  // namespace
