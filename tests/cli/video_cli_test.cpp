// Embedded video: movies whose frames ffmpeg encoded (Sorenson H.263, Screen Video), converted,
// and every frame of the AVI compared with ffmpeg's own decoding of the same stream; the
// frame shown follows the placement's ratio.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "support/ffmpeg_tools.h"
#include "support/swf_builder.h"
#include "support/temp_dir.h"

namespace {

using namespace testing_support;

constexpr int kWidth = 64, kHeight = 48, kFrames = 6;

struct VideoCase {
    const char* name;
    const char* encoder;
    uint8_t codec;  // swf::video_codec
    int tolerance;  // per channel: colour conversion rounds differently from ffmpeg's own
};

void PrintTo(const VideoCase& c, std::ostream* os) { *os << c.name; }

class VideoCli : public ::testing::TestWithParam<VideoCase> {
protected:
    TempDir dir_;
};

TEST_P(VideoCli, EveryFrameIsFfmpegsOwnPictureAtTheRatio) {
    if (!HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
    const VideoCase& c = GetParam();
    const std::string flv = dir_.file("video.flv");
    std::string errors;
    if (!RunFfmpeg("-f lavfi -i testsrc=s=64x48:r=24:d=0.25 -pix_fmt yuv420p -c:v " + std::string(c.encoder) +
                       " -g 3 -f flv",
                   flv, &errors)) {
        GTEST_SKIP() << "this ffmpeg cannot encode " << c.encoder << ": " << errors;
    }
    std::vector<std::vector<uint8_t>> packets;
    ASSERT_TRUE(ReadFlvVideoPackets(flv, packets));
    ASSERT_EQ(packets.size(), size_t(kFrames));
    // The video placed at frame 0, each later frame moving its ratio on by one; the frames'
    // pictures arrive with them.
    SwfFields fields;
    fields.xMax = kWidth * 20;
    fields.yMax = kHeight * 20;
    fields.frameCount = kFrames;
    fields.tags.clear();
    AppendBytes(fields.tags, DefineVideoStreamTag(1, kFrames, kWidth, kHeight, c.codec));
    for (int k = 0; k < kFrames; ++k) {
        AppendBytes(fields.tags, VideoFrameTag(1, static_cast<uint16_t>(k), packets[size_t(k)]));
        PlaceFields place;
        place.depth = 1;
        place.ratio = static_cast<uint16_t>(k);
        if (k == 0) {
            place.character = 1;
        } else {
            place.move = true;
        }
        AppendBytes(fields.tags, PlaceObject2Tag(place));
        AppendBytes(fields.tags, ShowFrameTag());
    }
    AppendBytes(fields.tags, EndTag());
    const std::string movie = dir_.file("video.swf"), avi = dir_.file("video.avi");
    WriteFileBytes(movie, BuildSwfFile(fields));
    const CliRun r = Tevlin("convert " + movie + " -o " + avi + " -y");
    ASSERT_EQ(r.status, 0) << r.output;

    std::string ours, reference;
    ASSERT_TRUE(DecodeAviToBgra(avi, ours, &errors)) << errors;
    ASSERT_TRUE(RunFfmpeg("-i " + flv + " -fps_mode passthrough -f rawvideo -pix_fmt bgra", dir_.file("ref.raw"), &errors))
        << errors;
    reference = ReadFileBytes(dir_.file("ref.raw"));
    ASSERT_EQ(ours.size(), size_t(kFrames) * kWidth * kHeight * 4);
    ASSERT_EQ(reference.size(), ours.size());
    for (int f = 0; f < kFrames; ++f) {
        int worst = 0;
        long total = 0;
        for (size_t i = size_t(f) * kWidth * kHeight * 4; i < size_t(f + 1) * kWidth * kHeight * 4; ++i) {
            const int d = std::abs(int(uint8_t(ours[i])) - int(uint8_t(reference[i])));
            worst = std::max(worst, d);
            total += d;
        }
        EXPECT_LE(worst, c.tolerance) << "frame " << f;
        EXPECT_LT(double(total) / (kWidth * kHeight * 4), 1.0) << "frame " << f;
    }
    // The frames differ from one another: each shows its own picture, not the first.
    EXPECT_NE(ours.substr(0, kWidth * kHeight * 4), ours.substr(size_t(kWidth) * kHeight * 4 * 5, kWidth * kHeight * 4));
}

INSTANTIATE_TEST_SUITE_P(Codecs, VideoCli,
                         ::testing::Values(VideoCase{"h263", "flv", 2, 6}, VideoCase{"screen", "flashsv", 3, 0}),
                         [](const ::testing::TestParamInfo<VideoCase>& info) { return std::string(info.param.name); });

}  // namespace
