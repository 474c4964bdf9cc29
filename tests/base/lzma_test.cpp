// LZMA streams as the xz tools make them (".lzma" files: properties, a length, the data) decoded
// by our own decoder and, where the build has it, by liblzma: every byte back, and damaged, cut
// and hostile streams refused without reading or writing outside their buffers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "base/lzma.h"
#ifndef _WIN32
#include "support/temp_dir.h"
#endif

namespace {

// "line N: the quick brown fox jumps over the lazy dog N*N%97 times\n" for N from 0 to 119.
std::string SampleText() {
    std::string s;
    char line[96];
    for (int n = 0; n < 120; ++n) {
        std::snprintf(line, sizeof line, "line %d: the quick brown fox jumps over the lazy dog %d times\n", n, n * n % 97);
        s += line;
    }
    return s;
}

// The sample compressed by `xz --format=lzma --lzma1=preset=6,lc=3,lp=0,pb=2`: properties
// (5 bytes), an unknown length (8 bytes of ones), the data with its end marker.
const uint8_t kSampleLzma[] = {
    0x5d, 0x00, 0x00, 0x80, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x00, 0x36, 0x1a, 0x4a, 0x1f,
    0x08, 0xa0, 0x26, 0x56, 0x4e, 0x0d, 0x6c, 0xb8, 0xa5, 0xed, 0x63, 0x9c, 0x8e, 0x7c, 0xdb, 0x4e, 0xf6, 0x9e,
    0x4b, 0x78, 0x18, 0x56, 0x5c, 0xf7, 0x26, 0xeb, 0xd4, 0xa3, 0x6e, 0x1c, 0x46, 0x10, 0x0c, 0x58, 0x6a, 0xe7,
    0x41, 0x92, 0x1d, 0x7f, 0x58, 0x4b, 0xc5, 0x7f, 0x64, 0x51, 0x00, 0x50, 0xf2, 0x49, 0x3f, 0xf7, 0x93, 0x46,
    0x9d, 0x8f, 0x77, 0x4c, 0xb8, 0x15, 0x94, 0x30, 0xae, 0x38, 0xf4, 0xd1, 0x1a, 0x13, 0xc0, 0xee, 0xb0, 0xbd,
    0x3e, 0xe1, 0xb4, 0xb8, 0x88, 0x81, 0xaa, 0x1a, 0x35, 0x8c, 0xd1, 0xfc, 0x1b, 0xa4, 0xb5, 0x46, 0xf2, 0xfe,
    0xfb, 0xbd, 0x7f, 0xc8, 0xb9, 0xf8, 0x4f, 0x99, 0x84, 0x97, 0x16, 0x9e, 0x9a, 0x6f, 0xa0, 0x3a, 0x39, 0x23,
    0xba, 0x60, 0xf2, 0x05, 0x51, 0x59, 0x0d, 0xbb, 0x47, 0xec, 0x5c, 0x5f, 0xb5, 0x2b, 0x97, 0x0d, 0x35, 0xf9,
    0x0f, 0x7c, 0xe0, 0x57, 0x33, 0x4c, 0x46, 0x91, 0xde, 0xd0, 0x83, 0x86, 0x89, 0xb5, 0xb8, 0x39, 0xe3, 0x41,
    0xfd, 0x1b, 0xb0, 0xe5, 0xb6, 0x0d, 0xcc, 0x2c, 0x80, 0x4a, 0xbe, 0x63, 0x78, 0xae, 0xe8, 0x85, 0x94, 0x21,
    0x51, 0x58, 0xa8, 0xa0, 0x02, 0xbe, 0x07, 0x07, 0x21, 0xbc, 0x9f, 0xea, 0xde, 0x0c, 0x55, 0x45, 0x71, 0xd7,
    0x7c, 0x90, 0xe1, 0x7d, 0x04, 0x7e, 0x30, 0x4b, 0xb2, 0x40, 0x69, 0xaa, 0x70, 0x7c, 0x0f, 0x33, 0xcf, 0x80,
    0xaa, 0x60, 0x37, 0xfa, 0xa1, 0xc9, 0x75, 0xed, 0xad, 0x83, 0x95, 0x30, 0x55, 0x66, 0x6e, 0xc0, 0xa3, 0x7a,
    0x49, 0x83, 0xfb, 0x06, 0x12, 0x8e, 0xce, 0xec, 0x66, 0x6d, 0x89, 0xed, 0x51, 0xf3, 0xa3, 0x1e, 0xb5, 0x4a,
    0xbf, 0x0c, 0x87, 0x8f, 0x66, 0x88, 0xf0, 0x82, 0x72, 0x69, 0x45, 0x5c, 0xe0, 0xeb, 0xb1, 0x24, 0x63, 0xef,
    0xcb, 0x77, 0x43, 0x09, 0xc5, 0xee, 0x06, 0x43, 0xe6, 0xfc, 0xa4, 0xa2, 0xad, 0xf3, 0xc0, 0x0e, 0x27, 0xdf,
    0x6b, 0xce, 0x88, 0x17, 0xbd, 0x1c, 0xb5, 0xc4, 0xfa, 0x36, 0xb4, 0xa0, 0x3a, 0x51, 0x79, 0x25, 0x27, 0xe4,
    0xa3, 0x60, 0x69, 0x75, 0xa9, 0xad, 0x28, 0x3b, 0x97, 0x34, 0x83, 0x93, 0xd9, 0xeb, 0x74, 0xc6, 0xb2, 0x72,
    0xfb, 0xd8, 0x63, 0xba, 0x0a, 0x90, 0xc7, 0x18, 0x5a, 0xaf, 0x3a, 0x1d, 0x56, 0x63, 0xf4, 0x97, 0x0e, 0x95,
    0x60, 0xad, 0xb5, 0x48, 0xc9, 0x7b, 0x03, 0x55, 0x20, 0x02, 0x60, 0x77, 0xc9, 0xcd, 0xb7, 0x20, 0x07, 0x41,
    0x52, 0xe0, 0x7a, 0x57, 0x76, 0xe8, 0xae, 0x99, 0x9d, 0x75, 0xef, 0x06, 0x44, 0x8c, 0x99, 0xe4, 0x50, 0x98,
    0x45, 0x2f, 0x31, 0x4a, 0xa3, 0xc4, 0x69, 0xbb, 0xd6, 0xdd, 0x59, 0xf0, 0xdf, 0x61, 0x05, 0xac, 0xc5, 0x6b,
    0xfe, 0x88, 0xb9, 0x0a, 0x71, 0xdb, 0x98, 0xf2, 0x9c, 0x0e, 0xbf, 0xd2, 0x1e, 0x5d, 0xab, 0x7c, 0x6e, 0x70,
    0x7a, 0x91, 0x62, 0x9f, 0x5c, 0xa1, 0x8e, 0xb8, 0x62, 0xce, 0xdd, 0x9b, 0xe8, 0xe5, 0x17, 0xb2, 0x60, 0x35,
    0xff, 0x3c, 0x12, 0xbc, 0x3a, 0xe0, 0xc7, 0xa5, 0x45, 0x21, 0xbd, 0x4c, 0x06, 0xed, 0xa2, 0xf0, 0xf7, 0x77,
    0x8a, 0x99, 0xe1, 0xff, 0xff, 0xd4, 0xc5, 0xa9, 0x00
};
constexpr size_t kSampleHead = 13;  // properties and length

using Decoder = bool (*)(const uint8_t*, const uint8_t*, size_t, size_t, std::vector<uint8_t>&);

struct Named {
    const char* name;
    Decoder decode;
};
const Named kDecoders[] = {{"ours", base::DecodeLzma}, {"the build's", base::InflateLzma}};

TEST(Lzma, DecodesWhatTheXzToolsMake) {
    const std::string text = SampleText();
    ASSERT_EQ(text.size(), 7429u);
    const uint8_t* data = kSampleLzma + kSampleHead;
    const size_t size = sizeof kSampleLzma - kSampleHead;
    for (const Named& d : kDecoders) {
        std::vector<uint8_t> out;
        ASSERT_TRUE(d.decode(kSampleLzma, data, size, text.size(), out)) << d.name;
        EXPECT_EQ(std::string(out.begin(), out.end()), text) << d.name;
        // A shorter length stops early with what it asked for.
        ASSERT_TRUE(d.decode(kSampleLzma, data, size, 100, out)) << d.name;
        EXPECT_EQ(std::string(out.begin(), out.end()), text.substr(0, 100)) << d.name;
        // A longer one meets the end marker first: refused, nothing kept.
        EXPECT_FALSE(d.decode(kSampleLzma, data, size, text.size() + 1, out)) << d.name;
        EXPECT_TRUE(out.empty());
        // Cut data, properties that no encoder writes (lc, lp, pb past 8, 4, 4), a first byte
        // that is not 0.
        EXPECT_FALSE(d.decode(kSampleLzma, data, size / 2, text.size(), out)) << d.name;
        const uint8_t badProperties[5] = {225, 0, 0, 128, 0};
        EXPECT_FALSE(d.decode(badProperties, data, size, text.size(), out)) << d.name;
        std::vector<uint8_t> notZero(data, data + size);
        notZero[0] = 1;
        EXPECT_FALSE(d.decode(kSampleLzma, notZero.data(), notZero.size(), text.size(), out)) << d.name;
    }
}

// Every single byte changed, and every length cut: no crash, no read past the data (the
// sanitizer build checks), and what decodes is the declared length or nothing.
TEST(Lzma, DamagedStreamsFailCleanly) {
    const std::string text = SampleText();
    std::vector<uint8_t> stream(kSampleLzma + kSampleHead, kSampleLzma + sizeof kSampleLzma);
    std::vector<uint8_t> out;
    int refused = 0;
    for (size_t i = 0; i < stream.size(); ++i) {
        std::vector<uint8_t> damaged = stream;
        damaged[i] ^= 0x55;
        if (base::DecodeLzma(kSampleLzma, damaged.data(), damaged.size(), text.size(), out)) {
            EXPECT_EQ(out.size(), text.size());
        } else {
            EXPECT_TRUE(out.empty());
            ++refused;
        }
    }
    EXPECT_GT(refused, 0);
    // Cut: refused, unless all the text was decoded before the cut (only the end marker's
    // last bytes were lost).
    for (size_t cut = 0; cut < stream.size(); cut += 7) {
        for (const Named& d : kDecoders) {
            if (d.decode(kSampleLzma, stream.data(), cut, text.size(), out)) {
                EXPECT_EQ(std::string(out.begin(), out.end()), text) << d.name << " cut at " << cut;
                EXPECT_GT(cut, stream.size() - 8) << d.name;
            }
        }
    }
}

// A tiny stream that claims the largest length allocates with what it really produces.
TEST(Lzma, AHugeClaimCostsOnlyWhatTheDataHolds) {
    std::vector<uint8_t> out;
    EXPECT_FALSE(base::DecodeLzma(kSampleLzma, kSampleLzma + kSampleHead, sizeof kSampleLzma - kSampleHead,
                                  std::numeric_limits<size_t>::max(), out));
    EXPECT_FALSE(base::InflateLzma(kSampleLzma, kSampleLzma + kSampleHead, sizeof kSampleLzma - kSampleHead,
                                   std::numeric_limits<size_t>::max(), out));
}

#ifndef _WIN32
// Larger streams of every kind of content, at several settings, made by the xz tool and
// decoded alike by both decoders.
TEST(Lzma, OursAgreesWithLiblzmaOnStreamsOfEveryKind) {
    if (std::system("xz --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "the xz tool is not here";
    testing_support::TempDir dir;
    std::string content;
    uint32_t seed = 12345;
    for (int block = 0; block < 64; ++block) {
        for (int i = 0; i < 2048; ++i) {
            seed = seed * 1103515245u + 12345u;
            switch (block % 4) {
                case 0: content += static_cast<char>(seed >> 24); break;          // noise
                case 1: content += static_cast<char>('a' + (i / 97) % 3); break;  // runs
                case 2: content += SampleText()[(seed >> 8) % 7000]; break;       // text-like
                default: content += static_cast<char>(i * 7); break;              // a ramp
            }
        }
    }
    const std::string raw = dir.file("content.bin");
    testing_support::WriteFileBytes(raw, content);
    for (const char* settings : {"preset=0", "preset=9e", "preset=6,lc=0,lp=2,pb=0", "preset=6,lc=4,lp=0,pb=4",
                                 "preset=1,dict=4KiB"}) {
        const std::string packed = dir.file("content.lzma");
        const std::string command =
            std::string("xz --format=lzma --lzma1=") + settings + " -c " + raw + " > " + packed + " 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const std::string bytes = testing_support::ReadFileBytes(packed);
        ASSERT_GT(bytes.size(), kSampleHead);
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
        std::vector<uint8_t> ours, theirs;
        ASSERT_TRUE(base::DecodeLzma(p, p + kSampleHead, bytes.size() - kSampleHead, content.size(), ours)) << settings;
        ASSERT_TRUE(base::InflateLzma(p, p + kSampleHead, bytes.size() - kSampleHead, content.size(), theirs))
            << settings;
        EXPECT_TRUE(std::string(ours.begin(), ours.end()) == content) << settings;
        EXPECT_TRUE(ours == theirs) << settings;
    }
}
#endif

}  // namespace
