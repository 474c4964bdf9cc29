// The post-decode filter of Sorenson H.263 pictures: its header reading, the arithmetic of one
// edge worked by hand from the filter's definition, and which edges it touches.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "video/deblock.h"

namespace {

// Writes bit fields most significant first, as the picture header stores them.
class Bits {
public:
    Bits& put(uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            if (used_ % 8 == 0) bytes_.push_back(0);
            if (value >> i & 1u) bytes_.back() |= static_cast<uint8_t>(0x80u >> (used_ % 8));
            ++used_;
        }
        return *this;
    }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    int used_ = 0;
};

std::vector<uint8_t> Header(uint32_t format, uint32_t deblocking, uint32_t quantizer, uint32_t start = 1) {
    Bits b;
    b.put(start, 17).put(0, 5).put(7, 8).put(format, 3);
    if (format == 0) b.put(200, 8).put(100, 8);
    if (format == 1) b.put(500, 16).put(300, 16);
    b.put(1, 2).put(deblocking, 1).put(quantizer, 5).put(0, 8);
    return b.bytes();
}

TEST(SorensonHeader, TheFlagAndQuantizerAreReadAfterEachSizeForm) {
    for (uint32_t format : {0u, 1u, 2u, 6u}) {
        video::SorensonPictureInfo info;
        const std::vector<uint8_t> on = Header(format, 1, 22);
        ASSERT_TRUE(video::ReadSorensonPicture(on.data(), on.size(), info)) << format;
        EXPECT_TRUE(info.deblocking);
        EXPECT_EQ(info.quantizer, 22);
        const std::vector<uint8_t> off = Header(format, 0, 31);
        ASSERT_TRUE(video::ReadSorensonPicture(off.data(), off.size(), info));
        EXPECT_FALSE(info.deblocking);
        EXPECT_EQ(info.quantizer, 31);
    }
    // Not a picture: a wrong start code, or a header cut short anywhere.
    video::SorensonPictureInfo info;
    const std::vector<uint8_t> wrong = Header(0, 1, 5, 3);
    EXPECT_FALSE(video::ReadSorensonPicture(wrong.data(), wrong.size(), info));
    const std::vector<uint8_t> whole = Header(1, 1, 5);
    for (size_t cut = 0; cut + 1 < whole.size(); ++cut) {
        EXPECT_FALSE(video::ReadSorensonPicture(whole.data(), cut, info)) << cut;
    }
}

TEST(SorensonHeader, TheStreamSettingOverridesThePicturesFlag) {
    video::SorensonPictureInfo asks{true, 4}, declines{false, 4};
    EXPECT_TRUE(video::SorensonDeblocks(0, asks));
    EXPECT_FALSE(video::SorensonDeblocks(0, declines));
    EXPECT_FALSE(video::SorensonDeblocks(1, asks));
    for (uint8_t level = 2; level <= 7; ++level) EXPECT_TRUE(video::SorensonDeblocks(level, declines));
    EXPECT_EQ(video::DeblockStrength(0), 0);
    EXPECT_EQ(video::DeblockStrength(1), 1);
    EXPECT_EQ(video::DeblockStrength(22), 9);
    EXPECT_EQ(video::DeblockStrength(31), 12);
    EXPECT_EQ(video::DeblockStrength(32), 0);
}

// A plane of two flat halves, split across columns at `edge`.
std::vector<uint8_t> Halves(int width, int height, int edge, uint8_t left, uint8_t right) {
    std::vector<uint8_t> p(static_cast<size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) p[static_cast<size_t>(y * width + x)] = x < edge ? left : right;
    }
    return p;
}

// Two flat halves meeting at column 8, filtered at `strength`: every row reads `columns`
// from column 5 to 10.
void ExpectFiltered(uint8_t left, uint8_t right, int strength, const std::vector<int>& columns) {
    std::vector<uint8_t> p = Halves(16, 8, 8, left, right);
    video::DeblockPlane(p.data(), 16, 8, 16, strength);
    for (int y = 0; y < 8; ++y) {
        for (int x = 5; x <= 10; ++x) {
            EXPECT_EQ(p[static_cast<size_t>(y * 16 + x)], columns[static_cast<size_t>(x - 5)])
                << int(left) << "|" << int(right) << " at strength " << strength << ", column " << x;
        }
    }
}

TEST(Deblocking, SmallStepsAreSpreadAndRealEdgesStay) {
    // 199 | 188 at strength 9: d = (199 - 4*199 + 4*188 - 188) / 8 = -4, well under the
    // strength, so B and C move by 4; A and D by (199 - 188) / 4 = 2, at most half of that.
    ExpectFiltered(199, 188, 9, {199, 197, 195, 192, 190, 188});
    // At strength 1 the same step is taken for a real edge: d = -4 is past twice the
    // strength, and nothing moves.
    ExpectFiltered(199, 188, 1, {199, 199, 199, 188, 188, 188});
    // Strength 6: d = 3 * (79 - 100) / 8 = -7 lies between the strength and twice it, so the
    // correction ramps down to 7 - 2 * (7 - 6) = 5; (100 - 79) / 4 = 5 for A and D is held to
    // half of that, 2.
    ExpectFiltered(100, 79, 6, {100, 98, 95, 84, 81, 79});
    // A step of 200 is an edge of the picture at any strength.
    ExpectFiltered(250, 50, 12, {250, 250, 250, 50, 50, 50});
}

TEST(Deblocking, OnlyEdgesBetweenBlocksMoveAndRowsFollowTheStride) {
    // A step inside a block (at column 4) is the picture's own; rows are 20 bytes apart with
    // the 4 bytes past the width left alone.
    const int width = 16, height = 16, stride = 20;
    std::vector<uint8_t> p(static_cast<size_t>(stride * height), 0xEE);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) p[static_cast<size_t>(y * stride + x)] = x < 4 ? 120 : 116;
    }
    const std::vector<uint8_t> before = p;
    video::DeblockPlane(p.data(), width, height, stride, 12);
    EXPECT_EQ(p, before);

    // A step between rows of blocks (row 8) moves rows 6 to 9 and nothing else: d = -3,
    // B and C by 3, A and D by (100 - 92) / 4 = 2 held to half of 3, 1.
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) p[static_cast<size_t>(y * stride + x)] = y < 8 ? 100 : 92;
    }
    video::DeblockPlane(p.data(), width, height, stride, 12);
    const int expected[16] = {100, 100, 100, 100, 100, 100, 99, 97, 95, 93, 92, 92, 92, 92, 92, 92};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) EXPECT_EQ(p[static_cast<size_t>(y * stride + x)], expected[y]) << x << "," << y;
        for (int x = width; x < stride; ++x) EXPECT_EQ(p[static_cast<size_t>(y * stride + x)], 0xEE);
    }
    // Planes too small to hold an edge are left alone, at any size down to nothing.
    std::vector<uint8_t> tiny(9, 50);
    tiny[4] = 200;
    video::DeblockPlane(tiny.data(), 3, 3, 3, 12);
    video::DeblockPlane(nullptr, 0, 0, 0, 12);
    EXPECT_EQ(tiny[4], 200);
}

}  // namespace
