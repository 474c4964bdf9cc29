// The tag stream and the records of drawing tags, from files the tests build byte by byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "support/swf_builder.h"
#include "support/temp_dir.h"
#include "swf/records.h"
#include "swf/tags.h"

namespace {

using namespace testing_support;

std::vector<uint8_t> Movie(const std::vector<std::vector<uint8_t>>& tags, char signature = 'F') {
    SwfFields fields;
    fields.signature = signature;
    fields.tags.clear();
    for (const auto& t : tags) AppendBytes(fields.tags, t);
    const std::string file = BuildSwfFile(fields);
    return std::vector<uint8_t>(file.begin(), file.end());
}

TEST(TagStream, WalksShortAndLongTagsToTheEnd) {
    const std::vector<std::vector<uint8_t>> tags = {
        TagRecord(swf::tag::kSetBackgroundColor, {1, 2, 3}),
        TagRecord(999, std::vector<uint8_t>(5, 7)),  // unknown: skipped over
        TagRecord(swf::tag::kShowFrame, {}, true),   // long form with length 0
        TagRecord(swf::tag::kEnd, {}),
        TagRecord(swf::tag::kShowFrame, {})};        // after End: not part of the movie
    for (char signature : {'F', 'C'}) {
        const std::vector<uint8_t> movie = Movie(tags, signature);
        swf::SwfFile file;
        std::string error;
        ASSERT_TRUE(swf::ParseSwf(movie.data(), movie.size(), file, error)) << error;
        EXPECT_EQ(file.compressed, signature == 'C');
        EXPECT_EQ(file.frameSize.xMax, 11000);
        EXPECT_EQ(file.frameRate88, 24 << 8);
        swf::TagReader reader = file.tags();
        std::vector<uint16_t> codes;
        std::vector<uint32_t> lengths;
        swf::Tag t;
        while (reader.next(t)) {
            codes.push_back(t.code);
            lengths.push_back(t.length);
        }
        EXPECT_TRUE(reader.error().empty()) << reader.error();
        EXPECT_EQ(codes, (std::vector<uint16_t>{9, 999, 1, 0})) << signature;
        EXPECT_EQ(lengths, (std::vector<uint32_t>{3, 5, 0, 0}));
    }
}

// A tag cut short by the end of the file ends the stream without an error: the tags before
// it stand (bad_swf_tag_past_eof), and the reader says which tag it was.
TEST(TagStream, ATagPastTheEndEndsTheStreamAndNamesItself) {
    SwfFields fields;
    fields.tags.clear();
    AppendBytes(fields.tags, TagRecord(swf::tag::kShowFrame, {}));
    const size_t offset = BuildSwfImage(fields).size();
    std::vector<uint8_t> shape = TagRecord(swf::tag::kDefineShape2, std::vector<uint8_t>(100, 0), true);
    shape.resize(shape.size() - 60);  // the body is cut short
    AppendBytes(fields.tags, shape);
    const std::string bytes = BuildSwfFile(fields);
    swf::SwfFile file;
    std::string error;
    ASSERT_TRUE(swf::ParseSwf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file, error)) << error;
    swf::TagReader tags = file.tags();
    swf::Tag t;
    ASSERT_TRUE(tags.next(t));
    EXPECT_FALSE(tags.next(t));
    EXPECT_TRUE(tags.error().empty());
    EXPECT_EQ(tags.truncated(), "tag 22 (DefineShape2) at offset " + std::to_string(offset) +
                                    ": length 100 runs past the end of the data (40 bytes left)");
    EXPECT_FALSE(tags.next(t)) << "stays stopped";
}

// A movie read from a file, plain or compressed, is one image: the header and the body, held
// in one buffer (a plain file's bytes become the image; a compressed body is inflated after
// the header). Bytes past the declared length are not part of it.
TEST(TagStream, FilesReadPlainOrCompressedGiveTheSameImage) {
    const std::vector<std::vector<uint8_t>> tags = {TagRecord(swf::tag::kSetBackgroundColor, {1, 2, 3}),
                                                    TagRecord(999, std::vector<uint8_t>(5000, 7)),
                                                    TagRecord(swf::tag::kShowFrame, {}), TagRecord(swf::tag::kEnd, {})};
    TempDir dir;
    const std::vector<uint8_t> expected = Movie(tags, 'F');
    for (char signature : {'F', 'C'}) {
        std::vector<uint8_t> bytes = Movie(tags, signature);
        if (signature == 'F') bytes.insert(bytes.end(), 300, 0xEE);  // trailing bytes the header does not count
        const std::string path = dir.file(std::string(1, signature) + ".swf");
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
        std::fclose(f);
        swf::SwfFile file;
        std::string error;
        ASSERT_TRUE(swf::LoadSwfFile(path.c_str(), file, error)) << error;
        EXPECT_EQ(file.fileBytes, bytes.size());
        std::vector<uint8_t> image = file.image;
        image[0] = 'F';  // the signature as stored
        EXPECT_TRUE(image == expected) << signature;
        swf::TagReader reader = file.tags();
        swf::Tag t;
        int count = 0;
        while (reader.next(t)) ++count;
        EXPECT_EQ(count, 4) << signature;
    }
}

TEST(TagStream, RefusesWhatIsNotAMovie) {
    swf::SwfFile file;
    std::string error;
    const uint8_t lzma[] = {'Z', 'W', 'S', 13, 30, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(swf::ParseSwf(lzma, sizeof lzma, file, error));
    EXPECT_NE(error.find("LZMA"), std::string::npos);
    const uint8_t junk[] = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0};
    EXPECT_FALSE(swf::ParseSwf(junk, sizeof junk, file, error));
    EXPECT_NE(error.find("signature"), std::string::npos);
    const uint8_t huge[] = {'C', 'W', 'S', 10, 0xFF, 0xFF, 0xFF, 0xFF, 0x78, 0x9C};
    EXPECT_FALSE(swf::ParseSwf(huge, sizeof huge, file, error));
    EXPECT_NE(error.find("limit"), std::string::npos);
    const uint8_t cut[] = {'F', 'W', 'S', 10, 9, 0, 0, 0, 0xF8};  // Nbits 31 and nothing after
    EXPECT_FALSE(swf::ParseSwf(cut, sizeof cut, file, error));
    EXPECT_NE(error.find("past the end"), std::string::npos);
    EXPECT_FALSE(swf::LoadSwfFile("/no/such/movie.swf", file, error));
}

#ifndef _WIN32
// An LZMA-compressed movie (ZWS) as the xz tool compresses its body: the same file as the
// plain one, and a cut body refused with the reason.
TEST(TagStream, ReadsLzmaCompressedMovies) {
    SwfFields fields;
    fields.frameCount = 2;
    const std::vector<uint8_t> plain = BuildSwfImage(fields);
    testing_support::TempDir dir;
    const std::string body = dir.file("body.bin"), packed = dir.file("body.lzma");
    testing_support::WriteFileBytes(body, std::string(plain.begin() + 8, plain.end()));
    if (std::system(("xz --format=lzma -c " + body + " > " + packed).c_str()) != 0) GTEST_SKIP() << "no xz tool";
    const std::string lzma = testing_support::ReadFileBytes(packed);
    ASSERT_GT(lzma.size(), 13u);
    std::vector<uint8_t> zws = {'Z', 'W', 'S', plain[3], plain[4], plain[5], plain[6], plain[7]};
    const uint32_t dataBytes = static_cast<uint32_t>(lzma.size() - 13);
    for (int i = 0; i < 4; ++i) zws.push_back(static_cast<uint8_t>(dataBytes >> (8 * i)));
    zws.insert(zws.end(), lzma.begin(), lzma.begin() + 5);   // the properties
    zws.insert(zws.end(), lzma.begin() + 13, lzma.end());    // the data, after the .lzma length
    swf::SwfFile file;
    std::string error;
    ASSERT_TRUE(swf::ParseSwf(zws.data(), zws.size(), file, error)) << error;
    EXPECT_EQ(file.compression, swf::Compression::kLzma);
    EXPECT_EQ(file.frameCount, 2);
    EXPECT_TRUE(std::equal(plain.begin() + 8, plain.end(), file.image.begin() + 8, file.image.end()));
    // Cut (LZMA has no checksum: a changed byte may decode to other bytes of the same length).
    zws.resize(18 + (zws.size() - 18) / 2);
    EXPECT_FALSE(swf::ParseSwf(zws.data(), zws.size(), file, error));
    EXPECT_NE(error.find("LZMA-compressed body is damaged"), std::string::npos) << error;
}
#endif

TEST(Records, MatrixAndColourTransformRoundTrip) {
    BitWriter w;
    WriteMatrix(w, std::pair{1.5, -0.25}, std::pair{0.5, 2.0}, -400, 12345);
    WriteColorTransform(w, true, std::array<int, 4>{128, 256, 512, 64}, std::array<int, 4>{-255, 0, 10, 255});
    WriteColorTransform(w, false, std::nullopt, std::array<int, 4>{1, 2, 3, 4});
    WriteMatrix(w, std::nullopt, std::nullopt, 0, 0);
    const std::vector<uint8_t> bytes = w.take();
    swf::ByteReader r(bytes.data(), bytes.size());
    const swf::Matrix m = swf::ReadMatrix(r);
    EXPECT_FLOAT_EQ(m.scaleX, 1.5f);
    EXPECT_FLOAT_EQ(m.scaleY, -0.25f);
    EXPECT_FLOAT_EQ(m.rotateSkew0, 0.5f);
    EXPECT_FLOAT_EQ(m.rotateSkew1, 2.0f);
    EXPECT_EQ(m.translateX, -400);
    EXPECT_EQ(m.translateY, 12345);
    const swf::ColorTransform a = swf::ReadColorTransform(r, true);
    EXPECT_EQ(a.mulR, 128);
    EXPECT_EQ(a.mulB, 512);
    EXPECT_EQ(a.mulA, 64);
    EXPECT_EQ(a.addR, -255);
    EXPECT_EQ(a.addA, 255);
    const swf::ColorTransform b = swf::ReadColorTransform(r, false);
    EXPECT_EQ(b.mulR, 256) << "absent multiply terms are 1";
    EXPECT_EQ(b.addB, 3);
    EXPECT_EQ(b.addA, 0) << "no alpha terms without alpha";
    const swf::Matrix identity = swf::ReadMatrix(r);
    EXPECT_FLOAT_EQ(identity.scaleX, 1);
    EXPECT_EQ(identity.translateX, 0);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.remaining(), 0u);
    swf::ReadMatrix(r);
    EXPECT_FALSE(r.ok()) << "reading past the end is noticed";
}

// A DefineShape3 body: a solid and a gradient fill, one line, a move, a straight line of
// each kind, a curve, and a style change with new style arrays.
std::vector<uint8_t> ShapeBody() {
    std::vector<uint8_t> body;
    AppendU16(body, 7);  // character id
    BitWriter w;
    WriteRect(w, -20, 2000, 0, 1000);
    std::vector<uint8_t> head = w.take();
    AppendBytes(body, head);
    body.push_back(2);  // fill styles
    AppendBytes(body, {0x00, 255, 0, 0, 128});
    body.push_back(0x10);
    WriteMatrix(w, std::pair{0.05, 0.05}, std::nullopt, 1000, 500);
    AppendBytes(body, w.take());
    AppendBytes(body, {0x52 /* reflect, linear RGB, 2 records */, 0, 0, 0, 0, 255, 255, 255, 255, 255, 255});
    body.push_back(1);  // line styles
    AppendU16(body, 40);
    AppendBytes(body, {0, 0, 255, 255});
    w.bits(2, 4);  // fill bits
    w.bits(1, 4);  // line bits
    // Style change: move to (100, 200), fill0 = 1, line = 1.
    w.bits(0, 1);
    w.bits(0x0B, 5);
    w.bits(9, 5);
    w.signedBits(100, 9);
    w.signedBits(200, 9);
    w.bits(1, 2);
    w.bits(1, 1);
    // General straight line (400, -30).
    w.bits(3, 2);
    w.bits(9, 4);  // 11 bits
    w.bits(1, 1);
    w.signedBits(400, 11);
    w.signedBits(-30, 11);
    // Vertical line 300.
    w.bits(3, 2);
    w.bits(8, 4);  // 10 bits
    w.bits(0, 1);
    w.bits(1, 1);
    w.signedBits(300, 10);
    // Horizontal line -50.
    w.bits(3, 2);
    w.bits(5, 4);
    w.bits(0, 1);
    w.bits(0, 1);
    w.signedBits(-50, 7);
    // Curve: control (10, 20), anchor (-30, 40).
    w.bits(2, 2);
    w.bits(5, 4);
    for (int v : {10, 20, -30, 40}) w.signedBits(v, 7);
    // Style change with new styles: one solid fill, no lines; then new bit counts.
    w.bits(0, 1);
    w.bits(0x10, 5);
    w.align();
    std::vector<uint8_t> records = w.take();
    AppendBytes(records, {1, 0x00, 0, 255, 0, 255, 0});
    w.bits(1, 4);
    w.bits(0, 4);
    w.bits(0, 1);
    w.bits(0x04, 5);  // fill1 = 1
    w.bits(1, 1);
    w.bits(0, 6);     // end
    AppendBytes(records, w.take());
    AppendBytes(body, records);
    return body;
}

TEST(Records, DefineShapeStylesAndRecords) {
    const std::vector<uint8_t> body = ShapeBody();
    swf::ByteReader r(body.data(), body.size());
    EXPECT_EQ(r.u16(), 7);
    const swf::Rect bounds = swf::ReadRect(r);
    EXPECT_EQ(bounds.xMin, -20);
    EXPECT_EQ(bounds.yMax, 1000);
    swf::Shape shape;
    ASSERT_TRUE(swf::ReadShape(r, 3, true, shape));
    EXPECT_EQ(r.remaining(), 0u);
    ASSERT_EQ(shape.fills.size(), 2u);
    EXPECT_EQ(shape.fills[0].type, swf::FillType::kSolid);
    EXPECT_EQ(shape.fills[0].color.r, 255);
    EXPECT_EQ(shape.fills[0].color.a, 128);
    EXPECT_EQ(shape.fills[1].type, swf::FillType::kLinearGradient);
    EXPECT_NEAR(shape.fills[1].matrix.scaleX, 0.05, 1e-4);
    EXPECT_EQ(shape.fills[1].matrix.translateX, 1000);
    EXPECT_EQ(shape.fills[1].gradient.spread, swf::SpreadMode::kReflect);
    EXPECT_EQ(shape.fills[1].gradient.interpolation, swf::InterpolationMode::kLinear);
    ASSERT_EQ(shape.fills[1].gradient.records.size(), 2u);
    EXPECT_EQ(shape.fills[1].gradient.records[1].ratio, 255);
    ASSERT_EQ(shape.lines.size(), 1u);
    EXPECT_EQ(shape.lines[0].width, 40);
    EXPECT_EQ(shape.lines[0].color.b, 255);

    ASSERT_EQ(shape.records.size(), 7u);
    const auto& move = std::get<swf::StyleChangeRecord>(shape.records[0]);
    ASSERT_TRUE(move.moveTo);
    EXPECT_FALSE(move.fill1);
    EXPECT_EQ(move.moveTo->x, 100);
    EXPECT_EQ(move.moveTo->y, 200);
    EXPECT_EQ(move.fill0, 1u);
    EXPECT_EQ(move.line, 1u);
    const auto* first = std::get_if<swf::StraightEdgeRecord>(&shape.records[1]);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->dx, 400);
    EXPECT_EQ(first->dy, -30);
    EXPECT_EQ(std::get<swf::StraightEdgeRecord>(shape.records[2]).dx, 0);
    EXPECT_EQ(std::get<swf::StraightEdgeRecord>(shape.records[2]).dy, 300);
    EXPECT_EQ(std::get<swf::StraightEdgeRecord>(shape.records[3]).dx, -50);
    EXPECT_EQ(std::get<swf::StraightEdgeRecord>(shape.records[3]).dy, 0);
    const auto* curve = std::get_if<swf::CurvedEdgeRecord>(&shape.records[4]);
    ASSERT_NE(curve, nullptr);
    EXPECT_EQ(curve->controlDx, 10);
    EXPECT_EQ(curve->anchorDy, 40);
    const auto& restyle = std::get<swf::StyleChangeRecord>(shape.records[5]);
    ASSERT_TRUE(restyle.newStyles);
    ASSERT_EQ(restyle.newStyles->fills.size(), 1u);
    EXPECT_EQ(restyle.newStyles->fills[0].color.g, 255);
    EXPECT_TRUE(restyle.newStyles->lines.empty());
    const auto& last = std::get<swf::StyleChangeRecord>(shape.records[6]);
    ASSERT_TRUE(last.fill1);
    EXPECT_EQ(*last.fill1, 1u) << "read with the new one-bit fill index";
}

TEST(Records, DamagedShapesFailWithoutOverreading) {
    const std::vector<uint8_t> body = ShapeBody();
    for (size_t cut = 3; cut < body.size(); cut += 3) {
        // Every prefix either fails or (if it ends on a record boundary) is read as far as it goes.
        std::vector<uint8_t> prefix(body.begin(), body.begin() + static_cast<ptrdiff_t>(cut));
        swf::ByteReader r(prefix.data(), prefix.size());
        r.u16();
        swf::ReadRect(r);
        swf::Shape shape;
        EXPECT_FALSE(swf::ReadShape(r, 3, true, shape)) << "cut at " << cut;
    }
    // A fill style count of 65535 in a few bytes fails at once instead of reserving for it.
    const std::vector<uint8_t> hostile = {0xFF, 0xFF, 0xFF, 0x00, 1, 2, 3};
    swf::ByteReader r(hostile.data(), hostile.size());
    const auto fills = swf::ReadFillStyles(r, 2);
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(fills.empty());
    // An unknown fill type stops the reader.
    const std::vector<uint8_t> unknown = {1, 0x77, 0, 0, 0};
    swf::ByteReader u(unknown.data(), unknown.size());
    swf::ReadFillStyles(u, 3);
    EXPECT_FALSE(u.ok());
}

}  // namespace
