// JPEG decoding through the platform's decoder (libjpeg-turbo here, the Windows Imaging
// Component under Wine): the same file gives the same pixels within JPEG's rounding, and the
// ways movies store their JPEG data (shared tables, stray markers, an alpha plane) decode
// to the same picture.
#include <gtest/gtest.h>

#include <cstdlib>

#include "image/jpeg.h"
#include "jpeg_fixture.h"
#include "support/swf_builder.h"

namespace {

void ExpectBlocks(const image::Picture& p) {
    ASSERT_EQ(p.width, 16);
    ASSERT_EQ(p.height, 8);
    auto near = [](uint32_t pixel, int r, int g, int b) {
        return std::abs(int((pixel >> 16) & 0xFF) - r) <= 12 && std::abs(int((pixel >> 8) & 0xFF) - g) <= 12 &&
               std::abs(int(pixel & 0xFF) - b) <= 12 && (pixel >> 24) == 255;
    };
    for (int y : {1, 6}) {
        EXPECT_TRUE(near(p.pixels[size_t(y) * 16 + 2], 255, 0, 0)) << std::hex << p.pixels[size_t(y) * 16 + 2];
        EXPECT_TRUE(near(p.pixels[size_t(y) * 16 + 13], 0, 0, 255)) << std::hex << p.pixels[size_t(y) * 16 + 13];
    }
}

image::Picture Decode(const std::vector<uint8_t>& bytes) {
    image::Picture p;
    std::string error;
    EXPECT_TRUE(image::DecodeJpeg(bytes.data(), bytes.size(), p, error)) << error;
    return p;
}

const std::vector<uint8_t> kFile(std::begin(kBlocksJpeg), std::end(kBlocksJpeg));

TEST(Jpeg, DecodesToOpaqueBgra) { ExpectBlocks(Decode(kFile)); }

TEST(Jpeg, SharedTablesJoinTheirBitmap) {
    // Tables: everything before the frame, closed by an end marker; the bitmap: a start
    // marker, then the frame and the scan.
    std::vector<uint8_t> tables(kFile.begin(), kFile.begin() + kBlocksJpegFrameOffset);
    tables.insert(tables.end(), {0xFF, 0xD9});
    std::vector<uint8_t> data = {0xFF, 0xD8};
    data.insert(data.end(), kFile.begin() + kBlocksJpegFrameOffset, kFile.end());
    const std::vector<uint8_t> joined = image::JoinJpegTables(tables.data(), tables.size(), data.data(), data.size());
    EXPECT_EQ(Decode(joined).pixels, Decode(kFile).pixels);
}

TEST(Jpeg, StrayMarkersAreRemoved) {
    // An end and start marker pair before the stream, and another between two segments.
    std::vector<uint8_t> stray = {0xFF, 0xD9, 0xFF, 0xD8};
    stray.insert(stray.end(), kFile.begin(), kFile.begin() + 38);
    stray.insert(stray.end(), {0xFF, 0xD9, 0xFF, 0xD8});
    stray.insert(stray.end(), kFile.begin() + 38, kFile.end());
    const std::vector<uint8_t> cleaned = image::CleanJpegStream(stray.data(), stray.size());
    EXPECT_EQ(cleaned, kFile);
}

TEST(Jpeg, AlphaPlanePremultipliesTheColours) {
    image::Picture p = Decode(kFile);
    std::vector<uint8_t> alpha(16 * 8, 255);
    alpha[2] = 0;
    alpha[13] = 128;
    const std::string z = testing_support::ZlibCompress(alpha);
    std::string error;
    const uint32_t blue = p.pixels[13];
    ASSERT_TRUE(image::ApplyAlphaPlane(reinterpret_cast<const uint8_t*>(z.data()), z.size(), p, error)) << error;
    EXPECT_EQ(p.pixels[2], 0u);
    EXPECT_EQ(p.pixels[13] >> 24, 128u);
    EXPECT_EQ(p.pixels[13] & 0xFF, ((blue & 0xFF) * 128 + 127) / 255);
    const std::string cut = testing_support::ZlibCompress(std::vector<uint8_t>(10, 255));
    EXPECT_FALSE(image::ApplyAlphaPlane(reinterpret_cast<const uint8_t*>(cut.data()), cut.size(), p, error));
}

TEST(Jpeg, DamagedDataIsRefused) {
    image::Picture p;
    std::string error;
    std::vector<uint8_t> cut(kFile.begin(), kFile.begin() + 100);
    EXPECT_FALSE(image::DecodeJpeg(cut.data(), cut.size(), p, error));
    EXPECT_FALSE(error.empty());
    const uint8_t noise[] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_FALSE(image::DecodeJpeg(noise, sizeof noise, p, error));
    EXPECT_TRUE(p.pixels.empty());
}

}  // namespace
