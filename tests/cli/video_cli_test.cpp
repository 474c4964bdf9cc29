// Embedded video: movies whose frames ffmpeg encoded (Sorenson H.263, Screen Video), converted,
// and every frame of the AVI compared with ffmpeg's own decoding of the same stream; the
// frame shown follows the placement's ratio.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "support/action_builder.h"
#include "support/ffmpeg_tools.h"
#include "support/swf_builder.h"
#include "support/temp_dir.h"
#include "swf/video_tags.h"

namespace {

using namespace testing_support;

constexpr int kWidth = 64, kHeight = 48, kFrames = 6;
// Per channel, between our pictures of YUV video and ffmpeg's: ffmpeg interpolates the
// half-size colour planes, the players (and we) take the nearest colour sample.
constexpr int kYuvTolerance = 8;

// A movie of the packets as one video stream, placed at frame 0 with each later frame moving
// its ratio on by one (the frames' pictures arrive with them), converted to `avi`.
void ConvertVideoMovie(const TempDir& dir, const std::vector<std::vector<uint8_t>>& packets, uint8_t codec,
                       uint8_t deblocking, const std::string& avi) {
    SwfFields fields;
    fields.xMax = kWidth * 20;
    fields.yMax = kHeight * 20;
    fields.frameCount = static_cast<uint16_t>(packets.size());
    fields.tags.clear();
    AppendBytes(fields.tags, DefineVideoStreamTag(1, static_cast<uint16_t>(packets.size()), kWidth, kHeight, codec,
                                                  false, deblocking));
    for (size_t k = 0; k < packets.size(); ++k) {
        AppendBytes(fields.tags, VideoFrameTag(1, static_cast<uint16_t>(k), packets[k]));
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
    const std::string movie = dir.file("video.swf");
    WriteFileBytes(movie, BuildSwfFile(fields));
    const CliRun r = Tevlin("convert " + movie + " -o " + avi + " -y");
    ASSERT_EQ(r.status, 0) << r.output;
}

struct VideoCase {
    const char* name;
    const char* encoder;
    uint8_t codec;  // swf::video_codec
    int tolerance;  // per channel: colour conversion differs from ffmpeg's own
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
    const std::string avi = dir_.file("video.avi");
    ASSERT_NO_FATAL_FAILURE(ConvertVideoMovie(dir_, packets, c.codec, 0, avi));

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
                         ::testing::Values(VideoCase{"h263", "flv", 2, kYuvTolerance}, VideoCase{"screen", "flashsv", 3, 0}),
                         [](const ::testing::TestParamInfo<VideoCase>& info) { return std::string(info.param.name); });

// Sorenson H.263 at the coarsest quantizer, whose pictures ask for deblocking (ffmpeg's
// encoder sets the flag): with the stream's setting "off" every frame is ffmpeg's own
// decoding; as the pictures ask, the frames differ from it only near the edges of the 8x8
// blocks (16x16 for the half-size colour planes), where the steps between blocks shrink.
TEST(VideoCliDeblocking, SorensonPicturesAreSmoothedAcrossBlockEdgesOnlyWhenAsked) {
    if (!HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
    TempDir dir;
    std::string errors;
    const std::string flv = dir.file("coarse.flv");
    // Gentle ramps in brightness and colour: coarse quantizing leaves small steps between
    // blocks, which the filter spreads.
    if (!RunFfmpeg("-f lavfi -i color=c=gray:s=64x48:r=24:d=0.25,format=yuv420p,"
                   "geq=lum='40+X*1.5+Y+N*4':cb='128+X/2':cr='128+Y/2' -c:v flv -q:v 31 -g 3 -f flv",
                   flv, &errors)) {
        GTEST_SKIP() << "this ffmpeg cannot encode flv: " << errors;
    }
    std::vector<std::vector<uint8_t>> packets;
    ASSERT_TRUE(ReadFlvVideoPackets(flv, packets));
    ASSERT_EQ(packets.size(), size_t(kFrames));
    ASSERT_TRUE(RunFfmpeg("-i " + flv + " -fps_mode passthrough -f rawvideo -pix_fmt bgra", dir.file("ref.raw"), &errors))
        << errors;
    const std::string reference = ReadFileBytes(dir.file("ref.raw"));
    ASSERT_EQ(reference.size(), size_t(kFrames) * kWidth * kHeight * 4);

    std::string off, asked;
    ASSERT_NO_FATAL_FAILURE(ConvertVideoMovie(dir, packets, swf::video_codec::kSorensonH263, 1, dir.file("off.avi")));
    ASSERT_TRUE(DecodeAviToBgra(dir.file("off.avi"), off, &errors)) << errors;
    ASSERT_NO_FATAL_FAILURE(ConvertVideoMovie(dir, packets, swf::video_codec::kSorensonH263, 0, dir.file("asked.avi")));
    ASSERT_TRUE(DecodeAviToBgra(dir.file("asked.avi"), asked, &errors)) << errors;
    ASSERT_EQ(off.size(), reference.size());
    ASSERT_EQ(asked.size(), reference.size());

    auto at = [](const std::string& frames, int f, int x, int y, int channel) {
        return int(uint8_t(frames[((size_t(f) * kHeight + size_t(y)) * kWidth + size_t(x)) * 4 + size_t(channel)]));
    };
    // Out of the filter's reach: two pixels or more from every luma edge (8, 16, ...) and
    // from every colour one (16, 32, ..., two colour pixels wide).
    auto interior = [](int v) { const int m = v % 16; return m == 4 || m == 5 || m == 10 || m == 11; };
    const int tolerance = kYuvTolerance;
    long changed = 0, edgeStepsOurs = 0, edgeStepsReference = 0;
    for (int f = 0; f < kFrames; ++f) {
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                for (int ch = 0; ch < 3; ++ch) {
                    const int ref = at(reference, f, x, y, ch);
                    EXPECT_LE(std::abs(at(off, f, x, y, ch) - ref), tolerance) << f << " " << x << "," << y;
                    const int d = std::abs(at(asked, f, x, y, ch) - ref);
                    if (interior(x) && interior(y)) EXPECT_LE(d, tolerance) << f << " " << x << "," << y;
                    changed += d > tolerance ? 1 : 0;
                    if (x % 8 == 0 && x > 0) {
                        edgeStepsOurs += std::abs(at(asked, f, x, y, ch) - at(asked, f, x - 1, y, ch));
                        edgeStepsReference += std::abs(ref - at(reference, f, x - 1, y, ch));
                    }
                }
            }
        }
    }
    EXPECT_GT(changed, 100);
    EXPECT_LT(edgeStepsOurs, edgeStepsReference / 2);
}

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
        EXPECT_LE(worst, kYuvTolerance) << "frame " << k;
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
