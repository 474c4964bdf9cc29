// The one conversion loop: the frames of a range, through either pipeline, read back by
// ffprobe and ffmpeg; its progress and timings; and how it ends when the file cannot be made
// or written.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/conversion.h"
#include "convert/two_render.h"
#include "raster/straight_alpha.h"
#include "support/demo_movie.h"
#ifndef _WIN32
#include "support/ffmpeg_tools.h"
#endif
#include "support/temp_dir.h"
#include "swf/tags.h"
#include "../raster/raster_test_util.h"

namespace {

using convert::Outcome;

class Conversion : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string bytes = testing_support::BuildDemoMovie();
        swf::SwfFile file;
        std::string error;
        ASSERT_TRUE(swf::ParseSwf(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file, error)) << error;
        ASSERT_TRUE(engine.load(file, error)) << error;
        ASSERT_GT(engine.totalFrames(), 40);
    }

    convert::Job job(const std::string& name, int first, int last) {
        convert::Job j;
        j.output = (testing_support::TestOutputDir() / name).string();
        j.width = kWidth;
        j.height = kHeight;
        j.first = first;
        j.last = last;
        j.framePeriodMs = 41;
        j.alpha = convert::Alpha::kPremultiplied;  // as the engine draws, to compare with its frames
        return j;
    }

    // The engine's own transparent draw of a frame, top row first, as ffmpeg decodes it.
    std::string expectedFrame(int frame) {
        engine.gotoFrame(frame);
        raster_test::Picture picture(kWidth, kHeight);
        engine.draw(picture.target, true, true);
        return std::string(reinterpret_cast<const char*>(picture.pixels.data()), picture.pixels.size() * 4);
    }

    static constexpr int kWidth = 160, kHeight = 90;
    movie::Engine engine;
};

TEST_F(Conversion, WritesTheRangeWithProgressAndTimings) {
    convert::Job j = job("conversion-range.avi", 20, 29);
    std::vector<std::pair<int, int>> progress;
    j.progress = [&](int written, int total) { progress.emplace_back(written, total); };
    const Outcome out = convert::ConvertToAvi(engine, j);
    ASSERT_EQ(out.status, Outcome::Status::kDone);
    EXPECT_EQ(out.written, 10);
    ASSERT_EQ(progress.size(), 10u);
    for (size_t i = 0; i < progress.size(); ++i) {
        EXPECT_EQ(progress[i], std::make_pair(static_cast<int>(i) + 1, 10));
    }
    const convert::Timings& t = out.timings;
    EXPECT_GT(t.draw, 0);
    EXPECT_GE(t.step, 0);
    EXPECT_GE(t.write, 0);
    EXPECT_LE(t.step + t.draw + t.compose + t.write, t.total);
    EXPECT_EQ(engine.currentFrame(), 29) << "the engine is left at the last frame converted";

#ifndef _WIN32  // ffprobe and ffmpeg read the file in the native build

    if (!testing_support::HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
    const testing_support::ProbedVideo v = testing_support::ProbeAvi(j.output);
    ASSERT_TRUE(v.ok) << v.output;
    EXPECT_EQ(v.packets, 10);
    EXPECT_EQ(v.width, kWidth);
    EXPECT_EQ(v.height, kHeight);
    EXPECT_EQ(v.pixFmt, "bgra");
    std::string frames;
    ASSERT_TRUE(testing_support::DecodeAviToBgra(j.output, frames));
    const size_t frameBytes = size_t{kWidth} * kHeight * 4;
    ASSERT_EQ(frames.size(), 10 * frameBytes);
    for (int k = 0; k < 10; ++k) {
        EXPECT_TRUE(frames.compare(k * frameBytes, frameBytes, expectedFrame(20 + k)) == 0) << "frame " << 20 + k;
    }
#endif
}

// The Windows capture's pipeline through the same loop writes the same file, byte for byte:
// what the benchmark times as two-render is the converter's output made the other way.
TEST_F(Conversion, TwoRendersWriteTheSameFileAsOneTransparentDraw) {
    const convert::Job one = job("conversion-transparent.avi", 0, 11);
    convert::Job two = job("conversion-two-render.avi", 0, 11);
    convert::TwoRenderFrames twoRenders;
    two.frames = &twoRenders;
    engine.setBackgroundColor({10, 200, 30, 255});
    ASSERT_EQ(convert::ConvertToAvi(engine, one).status, Outcome::Status::kDone);
    ASSERT_EQ(convert::ConvertToAvi(engine, two).status, Outcome::Status::kDone);
    const std::string a = testing_support::ReadFileBytes(one.output), b = testing_support::ReadFileBytes(two.output);
    ASSERT_GT(a.size(), size_t{12} * kWidth * kHeight * 4);
    EXPECT_TRUE(a == b) << "the two pipelines' files differ";
    const raster::Rgba kept = engine.backgroundColor();
    EXPECT_EQ(kept.r, 10);
    EXPECT_EQ(kept.g, 200) << "the two-render pipeline gives the background back as it found it";
}

// Frames whose rows are padded (as a DIB section's may be) compose in place all the same.
TEST_F(Conversion, TwoRendersComposeIntoPaddedRows) {
    engine.gotoFrame(30);
    const int pitchWords = kWidth + 7;
    std::vector<uint32_t> memory(size_t(pitchWords) * kHeight, 0xDEADBEEFu);
    const raster::Target padded = raster::Target::BottomUp(memory.data(), kWidth, kHeight, ptrdiff_t{pitchWords} * 4);
    convert::TwoRenderFrames twoRenders;
    twoRenders.draw(engine, padded);
    twoRenders.compose(padded);
    raster_test::Picture transparent(kWidth, kHeight);
    engine.draw(transparent.target, true, true);
    int differing = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) differing += padded.pixel(x, y) != transparent.target.pixel(x, y);
    }
    EXPECT_EQ(differing, 0);
}

TEST_F(Conversion, EndsWithTheReasonAndTheFramesWritten) {
    // A folder that is not there: nothing is made.
    convert::Job missing = job("no-such-folder/out.avi", 0, 3);
    const Outcome none = convert::ConvertToAvi(engine, missing);
    EXPECT_EQ(none.status, Outcome::Status::kCannotCreate);
    EXPECT_EQ(none.written, 0);
    EXPECT_FALSE(std::filesystem::exists(missing.output));
    // An empty range writes a whole file of no frames.
    const convert::Job empty = job("conversion-empty.avi", 5, 4);
    const Outcome nothing = convert::ConvertToAvi(engine, empty);
    EXPECT_EQ(nothing.status, Outcome::Status::kDone);
    EXPECT_EQ(nothing.written, 0);
#ifndef _WIN32
    // A disk that is full: the writer's error, and the count of frames it took.
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    convert::Job full = job("", 0, 40);
    full.output = "/dev/full";
    const Outcome failed = convert::ConvertToAvi(engine, full);
    EXPECT_EQ(failed.status, Outcome::Status::kCannotCreate) << "the file's head cannot be written";
    EXPECT_NE(failed.error.find("the file could not be written: No space left on device"), std::string::npos)
        << failed.error;
    EXPECT_LT(failed.written, 41);
#endif
}

}  // namespace

namespace {

// The writer on a thread of its own makes the same file, byte for byte, as one thread; a stop
// asked for ends the range early on a whole file.
TEST_F(Conversion, ThreadsMakeTheSameFileAndAStopEndsItWhole) {
    const convert::Job one = job("conversion-one-thread.avi", 0, 23);
    convert::Job two = job("conversion-two-threads.avi", 0, 23);
    two.threads = 2;
    std::vector<int> progress;
    two.progress = [&](int written, int) { progress.push_back(written); };
    const Outcome a = convert::ConvertToAvi(engine, one);
    const Outcome b = convert::ConvertToAvi(engine, two);
    ASSERT_EQ(a.status, Outcome::Status::kDone);
    ASSERT_EQ(b.status, Outcome::Status::kDone);
    EXPECT_EQ(b.written, 24);
    ASSERT_EQ(progress.size(), 24u);
    EXPECT_EQ(progress.back(), 24) << "progress counts up in order";
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_TRUE(testing_support::ReadFileBytes(one.output) == testing_support::ReadFileBytes(two.output));

    std::atomic<bool> stop{false};
    for (int threads : {1, 2}) {
        convert::Job stopped = job("conversion-stopped.avi", 0, 1000);
        stopped.threads = threads;
        stopped.stop = &stop;
        stopped.progress = [&](int written, int) {
            if (written == 5) stop = true;
        };
        stop = false;
        const Outcome out = convert::ConvertToAvi(engine, stopped);
        EXPECT_EQ(out.status, Outcome::Status::kDone);
        EXPECT_TRUE(out.stopped);
        // The frames already made when the stop came are written too: at most the pipeline's few.
        EXPECT_GE(out.written, 5);
        EXPECT_LE(out.written, 5 + 4) << threads << " threads";
    }
}

// Straight alpha unless asked: the AVI's translucent pixels are the engine's unpremultiplied.
TEST_F(Conversion, StraightAlphaIsTheDefault) {
    convert::Job straight = job("conversion-straight.avi", 30, 30);
    straight.alpha = convert::Alpha::kStraight;
    ASSERT_EQ(convert::ConvertToAvi(engine, straight).status, Outcome::Status::kDone);
    const std::string premultiplied = expectedFrame(30);
    int checked = 0;
    for (size_t i = 0; i + 4 <= premultiplied.size() && checked < 50; i += 4) {
        const auto* p = reinterpret_cast<const uint8_t*>(premultiplied.data() + i);
        if (p[3] == 0 || p[3] == 255) continue;
        uint32_t word = p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24, out = 0;
        raster::UnpremultiplyPixels(&word, &out, 1);
        for (int c = 0; c < 3; ++c) {
            const int expected = std::min(255, (p[c] * 255 + p[3] / 2) / p[3]);
            EXPECT_EQ(static_cast<int>((out >> (8 * c)) & 0xFF), expected);
        }
        ++checked;
    }
    EXPECT_GT(checked, 0) << "the demo frame has translucent pixels";
#ifndef _WIN32
    if (!testing_support::HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
    std::string frames;
    ASSERT_TRUE(testing_support::DecodeAviToBgra(straight.output, frames));
    ASSERT_EQ(frames.size(), premultiplied.size());
    int differing = 0;
    for (size_t i = 0; i < frames.size(); i += 4) {
        const auto* p = reinterpret_cast<const uint8_t*>(premultiplied.data() + i);
        const uint32_t word = p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
        uint32_t want = 0;
        raster::UnpremultiplyPixels(&word, &want, 1);
        differing += std::memcmp(frames.data() + i, &want, 4) != 0;
    }
    EXPECT_EQ(differing, 0);
#endif
}

}  // namespace
