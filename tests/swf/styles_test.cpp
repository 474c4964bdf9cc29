// Shape and morph styles through their one reader: a morph's paired fields in the order the
// format gives them, a shape's single ones by version.
#include <gtest/gtest.h>

#include "support/swf_builder.h"
#include "swf/records.h"

namespace {

using namespace testing_support;

TEST(Styles, MorphStylesPairEveryFieldThatMorphs) {
    std::vector<uint8_t> b = {2};  // two fills
    AppendBytes(b, {0x00, 10, 20, 30, 40, 50, 60, 70, 80});  // solid: start RGBA, end RGBA
    b.push_back(0x10);                                        // linear gradient
    AppendBytes(b, {0x00, 0x00});                             // start and end matrices: identity
    b.push_back(0x40 | 2);                                    // reflect, two records
    AppendBytes(b, {0, 255, 0, 0, 255, 10, 0, 0, 255, 255});  // start ratio 0, end ratio 10
    AppendBytes(b, {255, 0, 255, 0, 255, 200, 0, 0, 0, 128}); // start ratio 255, end ratio 200
    b.push_back(1);  // one line
    AppendU16(b, 20);
    AppendU16(b, 40);
    b.push_back(0x80 | 0x20 | 0x08);  // square start cap, miter join, with a fill
    b.push_back(0x01);                // end cap: none
    AppendU16(b, 0x0280);             // miter limit 2.5
    AppendBytes(b, {0x00, 1, 2, 3, 4, 5, 6, 7, 8});
    swf::ByteReader r(b.data(), b.size());
    swf::MorphStyles s;
    swf::ReadMorphStyles(r, true, s);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.remaining(), 0u);
    ASSERT_EQ(s.startFills.size(), 2u);
    ASSERT_EQ(s.endFills.size(), 2u);
    EXPECT_EQ(s.startFills[0].color.r, 10);
    EXPECT_EQ(s.endFills[0].color.a, 80);
    ASSERT_EQ(s.startFills[1].gradient.records.size(), 2u);
    ASSERT_EQ(s.endFills[1].gradient.records.size(), 2u);
    EXPECT_EQ(s.startFills[1].gradient.spread, swf::SpreadMode::kReflect);
    EXPECT_EQ(s.endFills[1].gradient.spread, swf::SpreadMode::kReflect);
    EXPECT_EQ(s.startFills[1].gradient.records[1].ratio, 255);
    EXPECT_EQ(s.endFills[1].gradient.records[0].ratio, 10);
    EXPECT_EQ(s.endFills[1].gradient.records[1].color.a, 128);
    ASSERT_EQ(s.startLines.size(), 1u);
    ASSERT_EQ(s.endLines.size(), 1u);
    EXPECT_EQ(s.startLines[0].width, 20);
    EXPECT_EQ(s.endLines[0].width, 40);
    for (const swf::LineStyle* l : {&s.startLines[0], &s.endLines[0]}) {
        EXPECT_EQ(l->startCap, swf::CapStyle::kSquare);
        EXPECT_EQ(l->join, swf::JoinStyle::kMiter);
        EXPECT_EQ(l->endCap, swf::CapStyle::kNone);
        EXPECT_FLOAT_EQ(l->miterLimit, 2.5f);
        EXPECT_TRUE(l->hasFill);
    }
    EXPECT_EQ(s.startLines[0].fill.color.r, 1);
    EXPECT_EQ(s.endLines[0].fill.color.r, 5);
}

TEST(Styles, ShapeStylesFollowTheirVersion) {
    // DefineShape: RGB colours, and 0xFF is a count, not the start of a 16-bit one.
    std::vector<uint8_t> v1 = {1, 0x00, 9, 8, 7};
    swf::ByteReader r1(v1.data(), v1.size());
    const std::vector<swf::FillStyle> fills = swf::ReadFillStyles(r1, 1);
    ASSERT_TRUE(r1.ok());
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].color.b, 7);
    EXPECT_EQ(fills[0].color.a, 255);
    // DefineShape3: RGBA lines; a count that the bytes cannot hold is damage.
    std::vector<uint8_t> v3 = {1};
    AppendU16(v3, 60);
    AppendBytes(v3, {1, 2, 3, 4});
    swf::ByteReader r3(v3.data(), v3.size());
    const std::vector<swf::LineStyle> lines = swf::ReadLineStyles(r3, 3);
    ASSERT_TRUE(r3.ok());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].width, 60);
    EXPECT_EQ(lines[0].color.a, 4);
    std::vector<uint8_t> hostile = {0xFF, 0xFF, 0xFF, 0x00};
    swf::ByteReader rh(hostile.data(), hostile.size());
    EXPECT_TRUE(swf::ReadFillStyles(rh, 2).empty());
    EXPECT_FALSE(rh.ok());
}

}  // namespace
