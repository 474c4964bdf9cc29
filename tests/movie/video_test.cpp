// Embedded video in the engine: a Video object's script properties, and the smoothing a
// script sets deciding how its pictures are scaled.
#include <gtest/gtest.h>
#include <zlib.h>

#include <memory>
#include <vector>

#include "movie/engine.h"
#include "support/action_builder.h"
#include "support/script_movie.h"
#include "support/swf_builder.h"
#include "swf/video_tags.h"
#include "video/decoder.h"

namespace {

using namespace testing_support;

// A Screen Video key frame of a 2x2 picture in one block: red, green over blue, white. The
// block's rows run from the bottom up, each pixel blue, green, red.
std::vector<uint8_t> TwoByTwoScreenFrame() {
    const uint8_t bgr[12] = {255, 0, 0, 255, 255, 255,   // bottom row: blue, white
                             0, 0, 255, 0, 255, 0};       // top row: red, green
    uLongf packedSize = compressBound(sizeof bgr);
    std::vector<uint8_t> packed(packedSize);
    EXPECT_EQ(compress2(packed.data(), &packedSize, bgr, sizeof bgr, 9), Z_OK);
    packed.resize(packedSize);
    // Block width and height of 16 (stored less one, over 16) and the picture's 2x2.
    std::vector<uint8_t> frame = {0x00, 0x02, 0x00, 0x02};
    frame.push_back(static_cast<uint8_t>(packed.size() >> 8));
    frame.push_back(static_cast<uint8_t>(packed.size()));
    frame.insert(frame.end(), packed.begin(), packed.end());
    return frame;
}

// The picture placed as "v" at eight times its size, and a frame script that reads the
// Video's properties (and, when `smooth`, turns smoothing on) before the second frame.
std::unique_ptr<Loaded> VideoMovie(bool smooth) {
    std::vector<std::vector<uint8_t>> tags;
    tags.push_back(DefineVideoStreamTag(1, 1, 2, 2, swf::video_codec::kScreenVideo, false, 0));
    tags.push_back(VideoFrameTag(1, 0, TwoByTwoScreenFrame()));
    PlaceFields place;
    place.depth = 1;
    place.character = 1;
    place.ratio = 0;
    place.scale = std::make_pair(8.0, 8.0);
    place.name = "v";
    tags.push_back(PlaceObject2Tag(place));
    Actions a;
    for (const char* name : {"width", "height", "smoothing", "deblocking"}) Member(a, "v", name).trace();
    if (smooth) {
        Var(a, "v").push("smoothing").pushBool(true).op(swf::ActionCode::kSetMember);
        Var(a, "v").push("deblocking").pushInt(2).op(swf::ActionCode::kSetMember);
        Var(a, "v").push("width").pushInt(5).op(swf::ActionCode::kSetMember);  // read-only
        for (const char* name : {"width", "smoothing", "deblocking"}) Member(a, "v", name).trace();
    }
    tags.push_back(DoActionTag(a.bytes()));
    tags.push_back(ShowFrameTag());
    tags.push_back(ShowFrameTag());
    return Load(tags, 8);
}

TEST(Video, TheVideoObjectTellsItsSizeAndKeepsWhatScriptsSet) {
    auto movie = VideoMovie(true);
    EXPECT_EQ(movie->traced, (std::vector<std::string>{"2", "2", "false", "0", "2", "true", "2"}));
}

TEST(Video, SmoothingSetByAScriptScalesThePictureSmoothly) {
    if (!video::HasCodecLibrary()) GTEST_SKIP() << "this build draws no video";
    // Pixel (7, 7) is the last of the red texel's eight: the nearest texel gives red itself,
    // smoothing mixes in the green, blue and white texels whose centres lie half a texel on.
    auto sharp = VideoMovie(false);
    sharp->player->gotoFrame(1);
    EXPECT_EQ(PixelAt(*sharp->player, 3, 3), kRed);
    EXPECT_EQ(PixelAt(*sharp->player, 7, 7), kRed);
    EXPECT_EQ(PixelAt(*sharp->player, 8, 8), raster::PremultipliedWord({255, 255, 255, 255}));

    auto smooth = VideoMovie(true);
    smooth->player->gotoFrame(1);
    const uint32_t mixed = PixelAt(*smooth->player, 7, 7);
    EXPECT_NE(mixed, kRed);
    EXPECT_GT(mixed >> 8 & 0xFF, 40u) << "some green";
    EXPECT_GT(mixed & 0xFF, 40u) << "some blue";
    EXPECT_GT(mixed >> 16 & 0xFF, 128u) << "mostly red";
}

}  // namespace
