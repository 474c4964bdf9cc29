// The format table: which container a name asks for, which codecs each holds, and the
// messages for what cannot be written; colours as ffmpeg names them.
#include <gtest/gtest.h>

#include <cstring>

#include "encode/formats.h"

namespace {

using encode::Choice;

std::string ContainerOf(const std::string& path) {
    const encode::ContainerInfo* c = encode::ContainerForPath(path);
    return c != nullptr ? c->name : "none";
}

TEST(Formats, TheExtensionPicksTheContainer) {
    EXPECT_EQ(ContainerOf("out.avi"), "avi");
    EXPECT_EQ(ContainerOf("OUT.MOV"), "mov") << "case aside";
    EXPECT_EQ(ContainerOf("dir.v2/clip.mkv"), "matroska");
    EXPECT_EQ(ContainerOf("a.webm"), "webm");
    EXPECT_EQ(ContainerOf("a.m4v"), "mp4");
    EXPECT_EQ(ContainerOf("frames/f%05d.png"), "image2");
    EXPECT_EQ(ContainerOf("still.png"), "none") << "every frame would write over one file";
    EXPECT_EQ(ContainerOf("f%05d%d.png"), "none") << "two numbers";
    EXPECT_EQ(ContainerOf("f%s.png"), "none");
    EXPECT_EQ(ContainerOf("100%%-f%d.png"), "image2") << "%% is a percent sign";
    EXPECT_EQ(ContainerOf("movie.swf"), "none");
    EXPECT_EQ(ContainerOf("dir.avi/noextension"), "none") << "a dot in a folder's name is no extension";
}

TEST(Formats, EachContainerDefaultsToACodecItHolds) {
    for (const encode::ContainerInfo& c : encode::Containers()) {
        const encode::CodecInfo* codec = encode::FindCodec(c.defaultCodec);
        ASSERT_NE(codec, nullptr) << c.name;
        EXPECT_TRUE(encode::Holds(c, codec->name)) << c.name;
    }
    Choice choice;
    std::string error;
    ASSERT_TRUE(encode::Choose("a.mov", "", "", choice, error)) << error;
    EXPECT_STREQ(choice.codec->name, "prores");
    EXPECT_TRUE(choice.codec->alpha);
    ASSERT_TRUE(encode::Choose("a.mp4", "", "", choice, error)) << error;
    EXPECT_FALSE(choice.codec->alpha) << "MP4's H.264 keeps no alpha";
    ASSERT_TRUE(encode::Choose("a.avi", "", "", choice, error)) << error;
    EXPECT_TRUE(choice.ownAviWriter) << "uncompressed AVI is our own writer's";
    ASSERT_TRUE(encode::Choose("a.avi", "", "ffv1", choice, error)) << error;
    EXPECT_FALSE(choice.ownAviWriter);
    ASSERT_TRUE(encode::Choose("-", "nut", "", choice, error)) << error;
    EXPECT_TRUE(choice.container->streamable);
    ASSERT_TRUE(encode::Choose("x.bin", "matroska", "libx264", choice, error)) << "-f wins over the name; ffmpeg's names";
    EXPECT_STREQ(choice.codec->name, "h264");
}

TEST(Formats, RefusesWithWhatWasWrong) {
    Choice choice;
    std::string error;
    EXPECT_FALSE(encode::Choose("a.webm", "", "prores", choice, error));
    EXPECT_NE(error.find("the webm format cannot hold prores"), std::string::npos) << error;
    EXPECT_FALSE(encode::Choose("a.gif", "", "", choice, error));
    EXPECT_NE(error.find("cannot tell the format of a.gif"), std::string::npos) << error;
    EXPECT_FALSE(encode::Choose("a.png", "", "", choice, error));
    EXPECT_NE(error.find("frame%05d.png"), std::string::npos) << error;
    EXPECT_FALSE(encode::Choose("a.avi", "flv", "", choice, error));
    EXPECT_NE(error.find("unknown format flv"), std::string::npos) << error;
    EXPECT_FALSE(encode::Choose("a.avi", "", "mpeg2video", choice, error));
    EXPECT_NE(error.find("unknown codec mpeg2video"), std::string::npos) << error;
}

TEST(Formats, ColoursAsFfmpegNamesThem) {
    uint32_t rgb = 0;
    ASSERT_TRUE(encode::ParseColor("White", rgb));
    EXPECT_EQ(rgb, 0xFFFFFFu);
    ASSERT_TRUE(encode::ParseColor("#1a2B3c", rgb));
    EXPECT_EQ(rgb, 0x1A2B3Cu);
    ASSERT_TRUE(encode::ParseColor("0x00FF00", rgb));
    EXPECT_EQ(rgb, 0x00FF00u);
    ASSERT_TRUE(encode::ParseColor("808080", rgb));
    EXPECT_EQ(rgb, 0x808080u);
    for (const char* bad : {"", "#12345", "#1234567", "0xGG0000", "blurple", "#"}) {
        EXPECT_FALSE(encode::ParseColor(bad, rgb)) << bad;
    }
}

}  // namespace
