// The artwork in res/ is what the art code draws (make art writes it), and it is what the
// drop window promises: a 266 x 122 light grey picture with dark lettering at the top, and
// an icon with its five sizes.
#include <gtest/gtest.h>

#include <cstring>

#include "res/art.h"
#include "support/temp_dir.h"

namespace {

uint32_t Le(const std::string& s, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint32_t(uint8_t(s[at + i])) << (8 * i);
    return v;
}

TEST(Art, FilesInResAreUpToDate) {
    const std::string dir = TEVLIN_SOURCE_DIR "/res/";
    EXPECT_TRUE(testing_support::ReadFileBytes(dir + "drop_hint.bmp") == art::DropHintBmp())
        << "res/drop_hint.bmp is stale: run make art";
    EXPECT_TRUE(testing_support::ReadFileBytes(dir + "tevlin.ico") == art::IconFile())
        << "res/tevlin.ico is stale: run make art";
}

TEST(Art, DropPictureIsLightGreyWithDarkLettering) {
    const std::string bmp = art::DropHintBmp();
    ASSERT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(Le(bmp, 2, 4), bmp.size());
    EXPECT_EQ(Le(bmp, 18, 4), 266u);
    EXPECT_EQ(Le(bmp, 22, 4), 122u);
    EXPECT_EQ(Le(bmp, 28, 2), 24u);
    EXPECT_EQ(Le(bmp, 30, 4), 0u) << "uncompressed";
    const size_t rowBytes = 800;  // 266 * 3 padded to four bytes
    ASSERT_EQ(bmp.size(), 54 + rowBytes * 122);
    auto pixel = [&](int x, int y) { return Le(bmp, 54 + (121 - y) * rowBytes + x * 3, 3); };  // bottom-up
    EXPECT_EQ(pixel(0, 0), 0xE0E0E2u) << "light grey in the corners";
    EXPECT_EQ(pixel(265, 121), 0xE0E0E2u);
    // The lettering's band holds dark grey ink; the rows above it hold none.
    int ink = 0;
    for (int y = 8; y < 36; ++y) {
        for (int x = 0; x < 266; ++x) ink += pixel(x, y) == 0x404044u;
    }
    EXPECT_GT(ink, 300);
    for (int x = 0; x < 266; ++x) EXPECT_EQ(pixel(x, 2), 0xE0E0E2u) << x;
}

TEST(Art, IconHoldsFiveSizesOf32Bits) {
    const std::string ico = art::IconFile();
    ASSERT_EQ(Le(ico, 2, 2), 1u);
    ASSERT_EQ(Le(ico, 4, 2), 5u);
    const int sizes[] = {128, 48, 32, 24, 16};
    for (int i = 0; i < 5; ++i) {
        const size_t entry = 6 + 16 * size_t(i);
        EXPECT_EQ(uint8_t(ico[entry]), sizes[i]);
        EXPECT_EQ(Le(ico, entry + 6, 2), 32u);
        const uint32_t offset = Le(ico, entry + 12, 4);
        EXPECT_EQ(Le(ico, offset + 4, 4), uint32_t(sizes[i]));
        EXPECT_EQ(Le(ico, offset + 8, 4), uint32_t(2 * sizes[i])) << "colour and mask";
    }
    // The logo is round: opaque in the middle, transparent in the corners.
    const std::vector<uint32_t> logo = art::Logo(32);
    EXPECT_EQ(logo[0] >> 24, 0u);
    EXPECT_EQ(logo[16 * 32 + 4] >> 24, 255u);
}

}  // namespace
