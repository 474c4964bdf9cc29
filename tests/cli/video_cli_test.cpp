// Embedded video: movies whose frames ffmpeg encoded (Sorenson H.263, Screen Video), converted,
// and every frame of the AVI compared with ffmpeg's own decoding of the same stream; the
// frame shown follows the placement's ratio.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "support/action_builder.h"
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

// A movie that plays an FLV file beside it through NetStream into a Video object on its
// stage: the frames show the file's pictures as time goes on, its sound is the AVI's, and the
// stream's status events arrive in the players' order.
TEST(VideoCliStreams, ANetStreamPlaysAnFlvFileIntoAVideo) {
    if (!HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
    TempDir dir;
    std::string errors;
    const std::string flv = dir.file("clip.flv");
    if (!RunFfmpeg("-f lavfi -i testsrc=s=64x48:r=24:d=0.5 -f lavfi -i sine=d=0.5:sample_rate=44100 -c:v flv -c:a pcm_s16le -f flv",
                   flv, &errors)) {
        GTEST_SKIP() << "this ffmpeg cannot write the FLV: " << errors;
    }
    // nc = new NetConnection(); nc.connect(null); ns = new NetStream(nc);
    // ns.onStatus = function(info) { trace(info.code); }; screen.attachVideo(ns); ns.play("clip.flv");
    Actions a;
    a.push("nc").pushInt(0).push("NetConnection").op(action::kNewObject).op(action::kSetVariable);
    a.pushNull().pushInt(1).push("nc").op(action::kGetVariable).push("connect").op(action::kCallMethod).trace();
    a.push("ns").push("nc").op(action::kGetVariable).pushInt(1).push("NetStream").op(action::kNewObject).op(action::kSetVariable);
    a.push("ns").op(action::kGetVariable).push("onStatus");
    a.defineFunction("", {"info"}, Actions().push("info").op(action::kGetVariable).push("code").op(action::kGetMember).trace());
    a.op(action::kSetMember);
    a.push("ns").op(action::kGetVariable).pushInt(1).push("screen").op(action::kGetVariable).push("attachVideo");
    a.op(action::kCallMethod).op(action::kPop);
    a.push("clip.flv").pushInt(1).push("ns").op(action::kGetVariable).push("play").op(action::kCallMethod).op(action::kPop);
    SwfFields fields;
    fields.version = 8;
    fields.xMax = kWidth * 20;
    fields.yMax = kHeight * 20;
    fields.frameCount = 20;
    fields.tags.clear();
    AppendBytes(fields.tags, DefineVideoStreamTag(1, 0, kWidth, kHeight, 2));
    PlaceFields place;
    place.depth = 1;
    place.character = 1;
    place.name = "screen";
    AppendBytes(fields.tags, PlaceObject2Tag(place));
    AppendBytes(fields.tags, DoActionTag(a.bytes()));
    for (int k = 0; k < 20; ++k) AppendBytes(fields.tags, ShowFrameTag());
    AppendBytes(fields.tags, EndTag());
    const std::string movie = dir.file("player.swf"), avi = dir.file("player.avi");
    WriteFileBytes(movie, BuildSwfFile(fields));
    const CliRun r = Tevlin("convert " + movie + " -o " + avi + " -y --trace -");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("true\nNetStream.Play.Start\nNetStream.Buffer.Full\nNetStream.Buffer.Flush\n"
                            "NetStream.Play.Stop\nNetStream.Buffer.Empty\n"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("with sound"), std::string::npos) << r.output;

    // Frame k shows the file's picture at k / 24 s: the same as ffmpeg's frame k, to the end.
    std::string ours, reference;
    ASSERT_TRUE(DecodeAviToBgra(avi, ours, &errors)) << errors;
    ASSERT_TRUE(RunFfmpeg("-i " + flv + " -map 0:v -fps_mode passthrough -f rawvideo -pix_fmt bgra", dir.file("ref.raw"), &errors))
        << errors;
    reference = ReadFileBytes(dir.file("ref.raw"));
    const size_t frameBytes = size_t(kWidth) * kHeight * 4;
    ASSERT_EQ(reference.size(), 12 * frameBytes);
    ASSERT_EQ(ours.size(), 20 * frameBytes);
    for (int k : {0, 5, 11, 15}) {
        const size_t from = size_t(std::min(k, 11)) * frameBytes;
        int worst = 0;
        for (size_t i = 0; i < frameBytes; ++i) {
            worst = std::max(worst, std::abs(int(uint8_t(ours[size_t(k) * frameBytes + i])) - int(uint8_t(reference[from + i]))));
        }
        EXPECT_LE(worst, 6) << "frame " << k;
    }
    // The sound: the file's sine from the first frame.
    std::vector<int16_t> sound, file;
    ASSERT_TRUE(DecodeAudio(avi, sound, &errors)) << errors;
    ASSERT_TRUE(DecodeAudio(flv, file, &errors)) << errors;
    ASSERT_GE(sound.size(), 2 * file.size());
    int worst = 0;
    for (size_t i = 0; i < file.size(); ++i) worst = std::max(worst, std::abs(sound[2 * i] - file[i]));
    EXPECT_LE(worst, 0);
}

}  // namespace
