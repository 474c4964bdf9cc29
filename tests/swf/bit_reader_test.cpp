#include "swf/bit_reader.h"

#include <gtest/gtest.h>

#include "support/swf_builder.h"

namespace {

using swf::BitReader;
using testing_support::BitWriter;

TEST(BitReader, ReadsFieldsMostSignificantBitFirstAcrossBytes) {
    const uint8_t data[] = {0b10110011, 0b01011100, 0xFF};
    BitReader r(data, sizeof data);
    EXPECT_EQ(r.readBits(3), 0b101u);
    EXPECT_EQ(r.readBits(7), 0b1001101u);  // 5 bits of byte 0, 2 of byte 1
    EXPECT_EQ(r.readBits(6), 0b011100u);
    EXPECT_EQ(r.cursor(), 2u);
    EXPECT_EQ(r.readBits(8), 0xFFu);
    EXPECT_FALSE(r.overrun());
}

TEST(BitReader, ZeroBitsLoadsNothing) {
    const uint8_t data[] = {0xAB};
    BitReader r(data, sizeof data);
    EXPECT_EQ(r.readBits(0), 0u);
    EXPECT_EQ(r.cursor(), 0u);
    EXPECT_EQ(r.bitCount(), 0u);
}

TEST(BitReader, SignExtendsSignedFields) {
    BitWriter w;
    w.signedBits(-3, 5);
    w.signedBits(7, 4);
    w.signedBits(-1, 1);
    w.signedBits(-(1 << 30), 31);
    const auto bytes = w.take();
    BitReader r(bytes.data(), bytes.size());
    EXPECT_EQ(r.readSignedBits(5), -3);
    EXPECT_EQ(r.readSignedBits(4), 7);
    EXPECT_EQ(r.readSignedBits(1), -1);
    EXPECT_EQ(r.readSignedBits(31), -(1 << 30));
    EXPECT_EQ(r.readSignedBits(0), 0);
}

TEST(BitReader, ThirtyTwoBitFieldsKeepEveryBit) {
    const uint8_t data[] = {0x0F, 0xDE, 0xAD, 0xBE, 0xEF};
    BitReader r(data, sizeof data);
    EXPECT_EQ(r.readBits(4), 0u);
    EXPECT_EQ(r.readBits(32), 0xFDEADBEEu);
    EXPECT_EQ(r.readBits(4), 0xFu);
    EXPECT_FALSE(r.overrun());
}

TEST(BitReader, ReadingPastTheEndGivesZerosAndFlagsOverrun) {
    const uint8_t data[] = {0xFF};
    BitReader r(data, sizeof data);
    EXPECT_EQ(r.readBits(4), 0xFu);
    EXPECT_FALSE(r.overrun());
    EXPECT_EQ(r.readBits(8), 0xF0u);  // 4 real bits, then zeros
    EXPECT_TRUE(r.overrun());
    EXPECT_EQ(r.cursor(), 1u);  // never moved past the data
}

TEST(BitReader, AlignDropsTheRestOfTheByte) {
    const uint8_t data[] = {0xF0, 0x81};
    BitReader r(data, sizeof data);
    EXPECT_EQ(r.readBits(2), 3u);
    r.alignToByte();
    EXPECT_EQ(r.readBits(8), 0x81u);
}

}  // namespace
