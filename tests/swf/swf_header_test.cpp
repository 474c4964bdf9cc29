#include "swf/swf_header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "support/swf_builder.h"
#include "support/temp_dir.h"

namespace {

using swf::MovieHeader;
using swf::SwfHeaderReader;
using testing_support::BuildSwfFile;
using testing_support::SwfFields;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

std::vector<unsigned> g_pauses;
void RecordPause(unsigned ms) { g_pauses.push_back(ms); }

// A header no successful read in these tests produces, to see that failures leave it alone.
MovieHeader Sentinel() {
    MovieHeader h;
    h.frameWidth = -7;
    h.frameHeight = -9;
    h.frameRate = 99;
    h.frameRate88 = 0x6300;
    return h;
}

bool SameHeader(const MovieHeader& a, const MovieHeader& b) {
    return a.frameWidth == b.frameWidth && a.frameHeight == b.frameHeight &&
           a.frameRate == b.frameRate && a.frameRate88 == b.frameRate88;
}

class SwfHeaderReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_pauses.clear();
        reader_.setPauseFunction(RecordPause);
    }

    // Writes the bytes to a file and reads it into a fresh sentinel header.
    bool read(const std::string& bytes) {
        const std::string path = dir_.file("movie.swf");
        WriteFileBytes(path, bytes);
        header_ = Sentinel();
        const bool ok = reader_.readFile(path.c_str(), header_);
        EXPECT_FALSE(reader_.holdsImage()) << "the image is freed on every path";
        EXPECT_EQ(reader_.declaredLength(), 0u);
        return ok;
    }
    bool read(const SwfFields& fields) { return read(BuildSwfFile(fields)); }
    bool unchanged() const { return SameHeader(header_, Sentinel()); }

    TempDir dir_;
    SwfHeaderReader reader_;
    MovieHeader header_;
};

TEST_F(SwfHeaderReaderTest, DecodesTheWorkedExample) {
    // RECT 58 00 50 00 00 F0 00: Nbits 11, 0..640 x 0..480 twips; rate 12; one frame.
    std::string file = {'F', 'W', 'S', 6, 21, 0, 0, 0};
    for (int b : {0x58, 0x00, 0x50, 0x00, 0x00, 0xF0, 0x00, 0x00, 0x0C, 0x01, 0x00, 0x00, 0x00}) {
        file += static_cast<char>(b);
    }
    ASSERT_TRUE(read(file));
    EXPECT_EQ(header_.frameWidth, 32);
    EXPECT_EQ(header_.frameHeight, 24);
    EXPECT_EQ(header_.frameRate, 12);
    EXPECT_EQ(header_.frameRate88, 12 << 8);
}

TEST_F(SwfHeaderReaderTest, ReadsPlainAndCompressedFilesAlike) {
    for (char signature : {'F', 'C'}) {
        SwfFields fields;
        fields.signature = signature;
        fields.xMax = 11000;  // 550 px
        fields.yMax = 8000;   // 400 px
        fields.rate88 = 30 << 8;
        fields.tags.assign(5000, 0x5A);  // a body worth compressing
        ASSERT_TRUE(read(fields)) << signature;
        EXPECT_EQ(header_.frameWidth, 550);
        EXPECT_EQ(header_.frameHeight, 400);
        EXPECT_EQ(header_.frameRate, 30);
    }
}

TEST_F(SwfHeaderReaderTest, DeclaredLengthBoundsThePlainBody) {
    SwfFields fields;
    const std::string exact = BuildSwfFile(fields);
    EXPECT_TRUE(read(exact));

    // Longer than the file: the body is short.
    fields.declaredLength = static_cast<uint32_t>(exact.size() + 1);
    EXPECT_FALSE(read(fields));
    EXPECT_TRUE(unchanged());

    // Shorter than the file but at least 21: the rest is never read.
    SwfFields padded;
    padded.tags.assign(100, 0xEE);
    padded.declaredLength = 21;
    EXPECT_TRUE(read(padded));
}

TEST_F(SwfHeaderReaderTest, TwentyOneBytesIsTheSmallestLength) {
    SwfFields fields;
    fields.xMax = 20;
    fields.yMax = 20;
    fields.tags.assign(21, 0);  // enough bytes in the file either way
    fields.declaredLength = 20;
    EXPECT_FALSE(read(fields));
    fields.declaredLength = 21;
    EXPECT_TRUE(read(fields));
    EXPECT_EQ(header_.frameWidth, 1);
}

TEST_F(SwfHeaderReaderTest, SignatureIsExactAndVersionIsFree) {
    const std::string good = BuildSwfFile(SwfFields());
    for (const char* sig : {"fws", "FWs", "ZWS", "CWs", "FXS"}) {
        std::string bad = good;
        std::memcpy(bad.data(), sig, 3);
        EXPECT_FALSE(read(bad)) << sig;
        EXPECT_TRUE(unchanged());
    }
    for (int version : {0, 6, 255}) {
        SwfFields fields;
        fields.version = static_cast<uint8_t>(version);
        EXPECT_TRUE(read(fields)) << version;
    }
}

TEST_F(SwfHeaderReaderTest, ShortAndMissingFilesFail) {
    EXPECT_FALSE(read(std::string("FWS\x0a\x15\x00\x00", 7)));
    EXPECT_FALSE(read(std::string()));
    header_ = Sentinel();
    EXPECT_FALSE(reader_.readFile(dir_.file("absent.swf").c_str(), header_));
    EXPECT_FALSE(reader_.readFile(nullptr, header_));
    EXPECT_TRUE(unchanged());
    EXPECT_TRUE(g_pauses.empty()) << "only inflate failures pause";
}

TEST_F(SwfHeaderReaderTest, DamagedCompressedBodiesFailAfterAPause) {
    SwfFields fields;
    fields.signature = 'C';
    fields.tags.assign(3000, 0x11);
    const std::string good = BuildSwfFile(fields);

    std::string damaged = good;
    for (size_t i = 10; i < damaged.size(); i += 3) damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
    EXPECT_FALSE(read(damaged));
    EXPECT_TRUE(unchanged());

    EXPECT_FALSE(read(good.substr(0, 8)));                   // header only
    EXPECT_FALSE(read(good.substr(0, good.size() - 6)));     // stream cut short
    EXPECT_EQ(g_pauses, (std::vector<unsigned>{1000, 1000, 1000}));
}

TEST_F(SwfHeaderReaderTest, CompressedStreamLongerThanDeclaredIsCut) {
    // Random bytes do not compress: the stream is longer than declaredLength - 8, so only
    // that many bytes are read and the cut stream fails.
    SwfFields fields;
    fields.signature = 'C';
    std::mt19937 random(7);
    fields.tags.resize(4000);
    for (auto& b : fields.tags) b = static_cast<uint8_t>(random());
    EXPECT_FALSE(read(fields));
    EXPECT_EQ(g_pauses.size(), 1u);
}

TEST_F(SwfHeaderReaderTest, StreamInflatingPastTheDeclaredLengthFails) {
    SwfFields fields;
    fields.signature = 'C';
    fields.tags.assign(500, 0);
    const auto image = testing_support::BuildSwfImage(fields);
    fields.declaredLength = static_cast<uint32_t>(image.size() - 1);
    EXPECT_FALSE(read(fields));
    EXPECT_EQ(g_pauses.size(), 1u);
}

TEST_F(SwfHeaderReaderTest, StreamInflatingToLessThanDeclaredIsAccepted) {
    // The header may claim more than the stream holds; what matters is that the fields are
    // filled. A claim of 400 MB with a body of a few bytes needs no 400 MB buffer.
    SwfFields fields;
    fields.signature = 'C';
    fields.declaredLength = 400u * 1024 * 1024;
    EXPECT_TRUE(read(fields));
    EXPECT_EQ(header_.frameWidth, 550);
}

TEST_F(SwfHeaderReaderTest, ClaimsBeyondTheImageLimitAreRefused) {
    SwfFields fields;
    fields.signature = 'C';
    fields.declaredLength = static_cast<uint32_t>(swf::kMaxSwfImageBytes + 1);
    EXPECT_FALSE(read(fields));
    fields.declaredLength = 0xFFFFFFFFu;
    EXPECT_FALSE(read(fields));
    EXPECT_TRUE(unchanged());
}

TEST_F(SwfHeaderReaderTest, FieldsPastTheDataAreNeverRead) {
    // Nbits 31 needs 17 RECT bytes: with a length of 21 the rate would lie past the image.
    SwfFields fields;
    fields.rectBits = 31;
    fields.declaredLength = 21;
    EXPECT_FALSE(read(fields));
    EXPECT_TRUE(unchanged());

    // A compressed body that inflates to fewer bytes than the fields need.
    std::string file = {'C', 'W', 'S', 10, 100, 0, 0, 0};
    file += testing_support::ZlibCompress({0xF8, 0x00});  // Nbits 31, then nothing
    EXPECT_FALSE(read(file));
    EXPECT_TRUE(unchanged());
}

TEST_F(SwfHeaderReaderTest, SizesComeFromTheRectangleDifferences) {
    SwfFields fields;
    fields.rectBits = 0;  // all four values zero, in one byte
    fields.tags.assign(10, 0);  // the file must still be 21 bytes long
    ASSERT_TRUE(read(fields));
    EXPECT_EQ(header_.frameWidth, 0);
    EXPECT_EQ(header_.frameHeight, 0);

    fields = SwfFields();
    fields.xMin = 600;
    fields.xMax = 570;  // -30 twips: -1 pixel, truncated toward zero
    fields.yMin = 100;
    fields.yMax = 619;  // 519 twips: 25 pixels
    ASSERT_TRUE(read(fields));
    EXPECT_EQ(header_.frameWidth, -1);
    EXPECT_EQ(header_.frameHeight, 25);

    fields = SwfFields();
    fields.xMin = -(1 << 29);
    fields.xMax = (1 << 29);
    fields.yMin = 2000;
    fields.yMax = 4000;
    ASSERT_TRUE(read(fields));
    EXPECT_EQ(header_.frameWidth, (1 << 30) / 20);
    EXPECT_EQ(header_.frameHeight, 100);
}

TEST_F(SwfHeaderReaderTest, OnlyTheIntegerByteOfTheRateCounts) {
    const std::pair<uint16_t, int> cases[] = {{0x1E00, 30}, {0x0080, 0}, {0x1DF8, 29}};
    for (const auto& [rate88, whole] : cases) {
        SwfFields fields;
        fields.rate88 = rate88;
        ASSERT_TRUE(read(fields));
        EXPECT_EQ(header_.frameRate, whole);
        EXPECT_EQ(header_.frameRate88, rate88);
    }
}

TEST_F(SwfHeaderReaderTest, ReaderIsReusableAndKeepsNoState) {
    SwfFields fields;
    EXPECT_TRUE(read(fields));
    EXPECT_FALSE(read(std::string("nope")));
    EXPECT_TRUE(read(fields));
    reader_.releaseImage();
    EXPECT_FALSE(reader_.holdsImage());
}

TEST(SwfHeaderGlobal, StartsAtTheDefaultsAndFailuresKeepThem) {
    // Nothing in this binary reads into the program-wide header, so it is as loaded.
    EXPECT_EQ(swf::g_movieHeader.frameWidth, 800);
    EXPECT_EQ(swf::g_movieHeader.frameHeight, 600);
    EXPECT_EQ(swf::g_movieHeader.frameRate, 25);
    TempDir dir;
    WriteFileBytes(dir.file("bad.swf"), "not a movie at all, really");
    SwfHeaderReader reader;
    EXPECT_FALSE(reader.readFile(dir.file("bad.swf").c_str()));
    EXPECT_EQ(swf::g_movieHeader.frameWidth, 800);
    EXPECT_EQ(swf::g_movieHeader.frameRate, 25);
}

TEST(SwfHeaderBits, ReadRectStartsOnAByteBoundary) {
    SwfHeaderReader reader;
    // One stray bit read first, then the RECT of the worked example at byte 1.
    reader.setImageForTest({0xFF, 0x58, 0x00, 0x50, 0x00, 0x00, 0xF0, 0x00, 0x00, 0x0C}, 0);
    EXPECT_EQ(reader.readBits(1), 1u);
    reader.setImageForTest({0xFF, 0x58, 0x00, 0x50, 0x00, 0x00, 0xF0, 0x00, 0x00, 0x0C}, 1);
    const auto r = reader.readRect();
    EXPECT_EQ(r.xMin, 0);
    EXPECT_EQ(r.xMax, 640);
    EXPECT_EQ(r.yMin, 0);
    EXPECT_EQ(r.yMax, 480);
    EXPECT_EQ(reader.cursor(), 8u);
}

TEST(SwfInflate, RefusesEmptyDamagedAndOversizedStreams) {
    std::vector<uint8_t> out;
    const std::string packed = testing_support::ZlibCompress(std::vector<uint8_t>(1000, 7));
    const auto* src = reinterpret_cast<const uint8_t*>(packed.data());
    EXPECT_TRUE(SwfHeaderReader::inflateBody(src, packed.size(), 1000, out));
    EXPECT_EQ(out, std::vector<uint8_t>(1000, 7));
    EXPECT_FALSE(SwfHeaderReader::inflateBody(src, packed.size(), 999, out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(SwfHeaderReader::inflateBody(src, 0, 1000, out));
    EXPECT_FALSE(SwfHeaderReader::inflateBody(src, packed.size() / 2, 1000, out));
}

}  // namespace
