// The converter run as a user runs it, its files read back by ffprobe and ffmpeg.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "cli/cli_run.h"
#include "support/action_builder.h"
#include "support/avi_layout.h"
#include "support/demo_movie.h"
#include "support/ffmpeg_tools.h"
#include "support/swf_builder.h"
#include "support/temp_dir.h"

namespace {

using namespace testing_support;

// A 40 x 20 px movie of three frames: a red square 10 px wide moving 10 px right per frame.
// With `stopScript`, its first frame stops the movie and says so with trace().
std::string SquareMovie(bool stopScript) {
    SwfFields fields;
    fields.xMax = 800;
    fields.yMax = 400;
    fields.rate88 = 10 << 8;
    fields.frameCount = 3;
    fields.tags.clear();
    AppendBytes(fields.tags, RectShapeTag(1, 200, 200, 255, 0, 0));
    for (int k = 0; k < 3; ++k) {
        AppendBytes(fields.tags, PlaceObject2Tag({1, k == 0 ? std::optional<uint16_t>(1) : std::nullopt, k > 0,
                                                  std::pair{200 * k, 100}}));
        if (k == 0 && stopScript) {
            AppendBytes(fields.tags, DoActionTag(Actions().op(action::kStop).push("stopped at").push(1.0)
                                                     .op(action::kAdd2).trace().bytes()));
        }
        AppendBytes(fields.tags, ShowFrameTag());
    }
    AppendBytes(fields.tags, EndTag());
    return BuildSwfFile(fields);
}

std::string MovingSquareMovie() { return SquareMovie(false); }

// Twelve frames of the moving square at an 8.8 frame rate.
std::string SquareMovieAtRate(uint16_t rate88) {
    SwfFields fields;
    fields.xMax = 800;
    fields.yMax = 400;
    fields.rate88 = rate88;
    fields.frameCount = 12;
    fields.tags.clear();
    AppendBytes(fields.tags, RectShapeTag(1, 200, 200, 255, 0, 0));
    for (int k = 0; k < 12; ++k) {
        AppendBytes(fields.tags, PlaceObject2Tag({1, k == 0 ? std::optional<uint16_t>(1) : std::nullopt, k > 0,
                                                  std::pair{50 * k, 100}}));
        AppendBytes(fields.tags, ShowFrameTag());
    }
    AppendBytes(fields.tags, EndTag());
    return BuildSwfFile(fields);
}
std::string StoppingSquareMovie() { return SquareMovie(true); }

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        movie_ = dir_.file("square.swf");
        WriteFileBytes(movie_, MovingSquareMovie());
    }
    TempDir dir_;
    std::string movie_;
};

TEST_F(Cli, InfoDescribesTheMovie) {
    const CliRun r = Tevlin("info " + movie_);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("frame size: 40x20 pixels"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("frame rate: 10.00 fps"), std::string::npos);
    EXPECT_NE(r.output.find("frames: 3"), std::string::npos);
    EXPECT_NE(r.output.find("PlaceObject2"), std::string::npos);
}

TEST_F(Cli, RenderWritesTheFrameAsPng) {
    if (!HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
    const std::string png = dir_.file("frame.png");
    const CliRun r = Tevlin("render " + movie_ + " -o " + png + " --frame 2 --transparent");
    ASSERT_EQ(r.status, 0) << r.output;
    std::string rgba;
    FILE* pipe = popen(("ffmpeg -nostdin -v error -i '" + png + "' -f rawvideo -pix_fmt rgba - 2>/dev/null").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) rgba.append(buffer, got);
    pclose(pipe);
    ASSERT_EQ(rgba.size(), 40u * 20 * 4);
    auto px = [&](int x, int y) { return rgba.substr((static_cast<size_t>(y) * 40 + x) * 4, 4); };
    EXPECT_EQ(px(25, 10), std::string("\xff\x00\x00\xff", 4)) << "frame 2: the square at x 20..30";
    EXPECT_EQ(px(5, 10)[3], '\0') << "transparent elsewhere";
}

TEST_F(Cli, ConvertWritesEveryFrameWithAlpha) {
    if (!HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
    const std::string avi = dir_.file("out.avi");
    const CliRun r = Tevlin("convert " + movie_ + " -o " + avi + " --quiet");
    ASSERT_EQ(r.status, 0) << r.output;
    const ProbedVideo v = ProbeAvi(avi);
    EXPECT_EQ(v.packets, 3) << v.output;
    EXPECT_EQ(v.rFrameRate, "10/1");
    EXPECT_EQ(v.width, 40);
    std::string frames;
    ASSERT_TRUE(DecodeAviToBgra(avi, frames));
    ASSERT_EQ(frames.size(), 3u * 40 * 20 * 4);
    for (int k = 0; k < 3; ++k) {
        auto px = [&](int x, int y) { return frames.substr(((static_cast<size_t>(k) * 20 + y) * 40 + x) * 4, 4); };
        EXPECT_EQ(px(10 * k + 5, 10), std::string("\x00\x00\xff\xff", 4)) << "frame " << k;
        EXPECT_EQ(px((10 * k + 25) % 40, 10), std::string(4, '\0')) << "frame " << k;
    }
}

// The stream's rate is the movie's 8.8 rate as a fraction in lowest terms: 12.5 fps is 25/2,
// and 23.976 as a movie stores it (0x17FA) is 6138/256 = 3069/128; the length is frames / rate.
TEST_F(Cli, TheStreamRunsAtTheMoviesExactRate) {
    if (!HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
    const struct {
        uint16_t rate88;
        const char* fraction;
        double fps;
    } cases[] = {{0x0C80, "25/2", 12.5}, {0x17FA, "3069/128", 3069.0 / 128}, {0x1E00, "30/1", 30}};
    for (const auto& c : cases) {
        const std::string movie = dir_.file("rate.swf"), avi = dir_.file("rate.avi");
        WriteFileBytes(movie, SquareMovieAtRate(c.rate88));
        const CliRun r = Tevlin("convert " + movie + " -o " + avi + " -y");
        ASSERT_EQ(r.status, 0) << r.output;
        EXPECT_NE(r.output.find(std::string("at ") + c.fraction + " fps"), std::string::npos) << r.output;
        const ProbedVideo v = ProbeAvi(avi);
        EXPECT_EQ(v.rFrameRate, c.fraction) << v.output;
        EXPECT_EQ(v.packets, 12);
        EXPECT_NEAR(v.duration, 12 / c.fps, 1e-3) << v.output;
    }
}

TEST_F(Cli, TraceWritesWhatTheScriptsPrintAndScriptsDriveTheFrames) {
    if (!HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
    const std::string movie = dir_.file("stopping.swf"), avi = dir_.file("stopping.avi"), trace = dir_.file("trace.txt");
    WriteFileBytes(movie, StoppingSquareMovie());
    CliRun r = Tevlin("convert " + movie + " -o " + avi + " --trace " + trace + " --quiet");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ReadFileBytes(trace), "stopped at1\n");
    // Three frames, as many as the movie has, all showing the square where it stopped.
    EXPECT_EQ(ProbeAvi(avi).packets, 3);
    std::string frames;
    ASSERT_TRUE(DecodeAviToBgra(avi, frames));
    ASSERT_EQ(frames.size(), 3u * 40 * 20 * 4);
    for (int k = 0; k < 3; ++k) {
        auto px = [&](int x, int y) { return frames.substr(((static_cast<size_t>(k) * 20 + y) * 40 + x) * 4, 4); };
        EXPECT_EQ(px(5, 10), std::string("\x00\x00\xff\xff", 4)) << "frame " << k;
        EXPECT_EQ(px(15, 10), std::string(4, '\0')) << "frame " << k;
    }
    // "-" is the standard output; a trace file that is the movie is refused.
    r = Tevlin("render " + movie + " -o " + dir_.file("f.png") + " --trace -");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("stopped at1\n"), std::string::npos) << r.output;
    r = Tevlin("render " + movie + " -o " + dir_.file("g.png") + " --trace " + movie);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("is the movie itself"), std::string::npos) << r.output;
    EXPECT_EQ(ReadFileBytes(movie), StoppingSquareMovie()) << "the movie is untouched";
}

// Eight frames; the fifth's script doubles a string until the interpreter's limit stops it.
std::string HungryMovie() {
    SwfFields fields;
    fields.version = 8;
    fields.xMax = 800;
    fields.yMax = 400;
    fields.frameCount = 8;
    fields.tags.clear();
    AppendBytes(fields.tags, RectShapeTag(1, 200, 200, 255, 0, 0));
    AppendBytes(fields.tags, PlaceObject2Tag({1, 1, false, std::pair{0, 0}}));
    for (int k = 0; k < 8; ++k) {
        if (k == 4) {
            AppendBytes(fields.tags, DoActionTag(Actions()
                                                     .set("s", std::string(1000, 'x'))
                                                     .label("top")
                                                     .push("s").push("s").op(action::kGetVariable).push("s")
                                                     .op(action::kGetVariable).op(action::kStringAdd)
                                                     .op(action::kSetVariable)
                                                     .jump("top")
                                                     .bytes()));
        }
        AppendBytes(fields.tags, ShowFrameTag());
    }
    AppendBytes(fields.tags, EndTag());
    return BuildSwfFile(fields);
}

TEST_F(Cli, RunningOutOfMemoryKeepsTheFramesWritten) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs more address space than the cap leaves";
#endif
    if (!HaveFfmpegTools() || std::system("prlimit --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffprobe or prlimit";
    const std::string movie = dir_.file("hungry.swf"), avi = dir_.file("hungry.avi");
    WriteFileBytes(movie, HungryMovie());
    const CliRun r = Tevlin("convert " + movie + " -o " + avi + " --quiet");
    ASSERT_EQ(r.status, 0) << "without a cap the script's limit stops it: " << r.output;
    auto runCapped = [&](uint64_t bytes, int frames) {
        CliRun c{-1, {}};
        FILE* pipe = popen(("prlimit --as=" + std::to_string(bytes) + " " + std::string(TEVLIN_CLI) + " convert " +
                            movie + " -o " + avi + " -y --quiet --frames 0-" + std::to_string(frames - 1) + " 2>&1")
                               .c_str(),
                           "r");
        char buffer[4096];
        size_t got;
        while (pipe != nullptr && (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) c.output.append(buffer, got);
        const int status = pipe != nullptr ? pclose(pipe) : -1;
        c.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return c;
    };
    // The address space the converter needs for its first four frames (its libraries take
    // most of it), then 16 MiB more: enough for the converter, not for the script's strings
    // (one of 16 MiB made from two of 8).
    uint64_t base = 32ull << 20;
    while (base < (1ull << 30) && runCapped(base, 4).status != 0) base += 4ull << 20;
    ASSERT_LT(base, 1ull << 30) << "the converter does not run in 1 GiB";
    const CliRun capped = runCapped(base + (16ull << 20), 8);
    EXPECT_EQ(capped.status, 3) << capped.output;
    EXPECT_NE(capped.output.find("out of memory after 4 frames"), std::string::npos) << capped.output;
    // The file is a whole AVI of the four frames before the script's.
    EXPECT_EQ(ProbeAvi(avi).packets, 4);
}

TEST_F(Cli, DemoMovieConvertsWithItsMotionAndAlpha) {
    if (!HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
    const std::string movie = dir_.file("demo.swf"), avi = dir_.file("demo.avi");
    WriteFileBytes(movie, BuildDemoMovie());
    // A quarter of the stage size: 160 x 90.
    const CliRun r = Tevlin("convert " + movie + " -o " + avi + " --size 160x90 --quiet");
    ASSERT_EQ(r.status, 0) << r.output;
    const ProbedVideo v = ProbeAvi(avi);
    EXPECT_EQ(v.packets, kDemoFrames) << v.output;
    // The stream runs at the movie's own rate, exactly: its length is frames / rate.
    EXPECT_EQ(v.rFrameRate, std::to_string(kDemoRate) + "/1");
    EXPECT_NEAR(v.duration, static_cast<double>(kDemoFrames) / kDemoRate, 1e-3) << v.output;
    ASSERT_EQ(v.width, 160);
    ASSERT_EQ(v.height, 90);
    std::string frames;
    ASSERT_TRUE(DecodeAviToBgra(avi, frames));
    ASSERT_EQ(frames.size(), size_t(kDemoFrames) * 160 * 90 * 4);
    auto px = [&](int frame, int x, int y) {
        const size_t at = ((size_t(frame) * 90 + size_t(y)) * 160 + size_t(x)) * 4;
        return std::array<int, 4>{uint8_t(frames[at]), uint8_t(frames[at + 1]), uint8_t(frames[at + 2]),
                                  uint8_t(frames[at + 3])};
    };
    for (int f : {0, 47, 95}) {
        EXPECT_EQ(px(f, 1, 1)[3], 0) << "frame " << f << ": the stage corner outside every shape";
        // The ground band (alpha 200) alone, below the sky panel: 280 px down, 8 px in.
        EXPECT_NEAR(px(f, 2, 70)[3], 200, 1) << "frame " << f;
    }
    // The morph starts as an opaque blue square centred at (120, 110) px.
    EXPECT_EQ(px(0, 30, 27), (std::array<int, 4>{255, 120, 80, 255}));
    // The cart's body (red) crosses the stage: at frame 48 its middle is near x = 324 px.
    const auto body = px(48, 81, 58);
    EXPECT_GT(body[2], 150);
    EXPECT_LT(body[1], 100);
    EXPECT_NE(px(0, 81, 58), body) << "the cart is off the stage at the start";
}

TEST_F(Cli, ConvertProtectsExistingFilesAndTheMovie) {
    const std::string avi = dir_.file("kept.avi");
    WriteFileBytes(avi, "precious");
    CliRun r = Tevlin("convert " + movie_ + " -o " + avi + " --quiet");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("exists: give -y"), std::string::npos) << r.output;
    EXPECT_EQ(ReadFileBytes(avi), "precious");
    r = Tevlin("convert " + movie_ + " -o " + movie_ + " -y --quiet");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("is the movie itself"), std::string::npos) << r.output;
    EXPECT_EQ(ReadFileBytes(movie_), MovingSquareMovie());
    r = Tevlin("convert " + movie_ + " -o " + avi + " -y --quiet");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(ReadFileBytes(avi), "precious");
}

TEST_F(Cli, RenderAndTraceFilesReplaceNothingByMistake) {
    // render: never over the movie (in any spelling), and an existing picture only with -y.
    const std::string here = std::filesystem::path(movie_).parent_path().string();
    CliRun r = Tevlin("render " + movie_ + " -o " + here + "/./square.swf");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("is the movie itself"), std::string::npos) << r.output;
    EXPECT_EQ(ReadFileBytes(movie_), MovingSquareMovie());
    const std::string png = dir_.file("kept.png");
    WriteFileBytes(png, "precious");
    r = Tevlin("render " + movie_ + " -o " + png);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("exists: give -y"), std::string::npos) << r.output;
    EXPECT_EQ(ReadFileBytes(png), "precious");
    r = Tevlin("render " + movie_ + " -o " + png + " -n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadFileBytes(png), "precious");
    r = Tevlin("render " + movie_ + " -o " + png + " -y");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ReadFileBytes(png).substr(1, 3), "PNG");

    // --trace: an existing file is kept without -y, even when the run is refused for another
    // reason; the trace file is never the output or the movie.
    const std::string trace = dir_.file("kept.txt");
    WriteFileBytes(trace, "precious");
    const std::string avi = dir_.file("out.avi");
    r = Tevlin("convert " + movie_ + " -o " + avi + " --trace " + trace + " --quiet");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("kept.txt exists: give -y"), std::string::npos) << r.output;
    EXPECT_EQ(ReadFileBytes(trace), "precious");
    EXPECT_FALSE(std::filesystem::exists(avi)) << "refused before anything was written";
    r = Tevlin("convert " + movie_ + " -o " + avi + " -y --trace " + here + "/./out.avi --quiet");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("is the output"), std::string::npos) << r.output;
    r = Tevlin("render " + movie_ + " -o " + png + " -y --trace " + movie_);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadFileBytes(movie_), MovingSquareMovie());
    // A refusal after the checks (an odd size for H.264, found once the movie is read) keeps
    // the trace file as it was.
    r = Tevlin("convert " + movie_ + " -o " + dir_.file("odd.mp4") + " -y --size 41x20 --trace " + trace);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("even width"), std::string::npos) << r.output;
    EXPECT_EQ(ReadFileBytes(trace), "precious");
    // A trace that cannot be written is an error; a device named as the trace file is
    // written, never replaced.
    if (std::filesystem::is_character_file("/dev/full")) {
        const std::string stopping = dir_.file("stopping.swf");
        WriteFileBytes(stopping, StoppingSquareMovie());
        r = Tevlin("convert " + stopping + " -o " + avi + " -y --quiet --trace /dev/full");
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_NE(r.output.find("writing the trace file /dev/full failed"), std::string::npos) << r.output;
        EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    }
}

// A device that takes nothing (a full disk's behaviour) as the output: every writer stops,
// says the system's reason, exits 1 and leaves the device as it was.
TEST_F(Cli, AFullDeviceAsTheOutputFailsWithTheSystemsReason) {
    if (!std::filesystem::is_character_file("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    for (const std::string& command : {"render " + movie_ + " -o /dev/full -y", "convert " + movie_ + " -o /dev/full -f avi -y",
                                       "convert " + movie_ + " -o /dev/full -f matroska -y"}) {
        const auto r = Tevlin(command);
        EXPECT_EQ(r.status, 1) << command << "\n" << r.output;
        EXPECT_NE(r.output.find("/dev/full"), std::string::npos) << command << "\n" << r.output;
        EXPECT_NE(r.output.find(": No space left on device"), std::string::npos) << command << "\n" << r.output;
        EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    }
}

TEST_F(Cli, OutputsAppearWholeUnderTheirNameAndTwoRunsDoNotMix) {
    // Two runs into one file at once: the file is one of them, whole; no hidden file stays.
    const std::string avi = dir_.file("same.avi");
    const std::string longer = dir_.file("long.swf");
    WriteFileBytes(longer, SquareMovieAtRate(24 << 8));
    const CliRun r = Tevlin("convert " + movie_ + " -o " + avi + " -y --quiet --frames 0-59 & " + std::string(TEVLIN_CLI) +
                            " convert " + longer + " -o " + avi + " -y --quiet --frames 0-29; wait");
    EXPECT_EQ(r.status, 0) << r.output;
    std::vector<RiffChunk> top;
    std::string error;
    ASSERT_TRUE(ReadRiffTree(avi, top, error)) << error;
    EXPECT_EQ(top.back().offset + 8 + top.back().size, std::filesystem::file_size(avi)) << "one file, whole";
    if (HaveFfmpegTools()) {
        const ProbedVideo v = ProbeAvi(avi);
        EXPECT_TRUE(v.packets == 60 || v.packets == 30) << v.packets;
    }
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(avi).parent_path())) {
        EXPECT_EQ(entry.path().filename().string().find(".tevlin-"), std::string::npos) << entry.path();
    }
}

// The red square's left edge in each frame of a 40 x 20 AVI (or image), or -1 where no column is red.
std::vector<int> SquarePositions(const std::string& avi) {
    std::string frames;
    std::vector<int> at;
    if (!DecodeAviToBgra(avi, frames)) return at;
    for (size_t k = 0; k < frames.size() / (40 * 20 * 4); ++k) {
        int x = 0;
        while (x < 40 && frames.substr(((k * 20 + 10) * 40 + static_cast<size_t>(x)) * 4, 4) != std::string("\x00\x00\xff\xff", 4)) ++x;
        at.push_back(x < 40 ? x : -1);
    }
    return at;
}

TEST_F(Cli, FramesPastTheLastAreTheMovieSteppingOn) {
    if (!HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
    const std::string avi = dir_.file("on.avi");
    // The three-frame movie loops: frames 2 to 7 show it at frames 2, 0, 1, 2, 0, 1.
    CliRun r = Tevlin("convert " + movie_ + " -o " + avi + " --frames 2-7 --quiet");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(SquarePositions(avi), (std::vector<int>{20, 0, 10, 20, 0, 10}));
    // Half a second at 10 frames a second from frame 1; ffmpeg's -t and its clock form too.
    r = Tevlin("convert " + movie_ + " -o " + avi + " -y --frames 1-1 --quiet");
    ASSERT_EQ(r.status, 0) << r.output;
    r = Tevlin("convert " + movie_ + " -o " + avi + " -y --duration 0.5 --quiet");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(SquarePositions(avi), (std::vector<int>{0, 10, 20, 0, 10}));
    r = Tevlin("convert " + movie_ + " -o " + avi + " -y -t 00:00:01.2 --max-frames 7 --quiet");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ProbeAvi(avi).packets, 7) << "--max-frames caps a duration";
    // A stopped movie stays where its script stopped it, however far it steps.
    const std::string stopping = dir_.file("stopping.swf");
    WriteFileBytes(stopping, StoppingSquareMovie());
    r = Tevlin("convert " + stopping + " -o " + avi + " -y --frames 4-6 --quiet");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(SquarePositions(avi), (std::vector<int>{0, 0, 0}));
    // render --frame past the last; ffmpeg reads the PNG as it reads the AVI.
    const std::string png = dir_.file("f.png");
    r = Tevlin("render " + movie_ + " -o " + png + " --frame 301 --transparent");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(SquarePositions(png), (std::vector<int>{10})) << "frame 301 is frame 1 again";
}

// A movie of one frame, whose sprite (a square moving 10 px a frame) plays on after it.
std::string OneFrameMovie(bool animated) {
    SwfFields fields;
    fields.xMax = 800;
    fields.yMax = 400;
    fields.rate88 = 10 << 8;
    fields.frameCount = 1;
    fields.tags.clear();
    AppendBytes(fields.tags, RectShapeTag(1, 200, 200, 255, 0, 0));
    std::vector<std::vector<uint8_t>> sprite = {PlaceObject2Tag({1, uint16_t{1}, false, std::pair{0, 100}}), ShowFrameTag()};
    if (animated) {
        sprite.push_back(PlaceObject2Tag({1, std::nullopt, true, std::pair{200, 100}}));
        sprite.push_back(ShowFrameTag());
    }
    AppendBytes(fields.tags, DefineSpriteTag(2, animated ? 2 : 1, sprite));
    AppendBytes(fields.tags, PlaceObject2Tag({1, uint16_t{2}}));
    AppendBytes(fields.tags, ShowFrameTag());
    AppendBytes(fields.tags, EndTag());
    return BuildSwfFile(fields);
}

TEST_F(Cli, AOneFrameMovieThatMovesOnIsNamedWithTheOption) {
    const std::string movie = dir_.file("one.swf"), avi = dir_.file("one.avi");
    WriteFileBytes(movie, OneFrameMovie(true));
    CliRun r = Tevlin("convert " + movie + " -o " + avi);
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("wrote " + avi + ": 1 frames"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("the movie has one frame, and its scripts change the picture after it: give --duration"),
              std::string::npos) << r.output;
    // Asked for frames, or quiet, it says nothing; a still movie says nothing either.
    r = Tevlin("convert " + movie + " -o " + avi + " -y --frames 0-0");
    EXPECT_EQ(r.output.find("one frame"), std::string::npos) << r.output;
    r = Tevlin("convert " + movie + " -o " + avi + " -y --quiet");
    EXPECT_EQ(r.output, "");
    WriteFileBytes(movie, OneFrameMovie(false));
    r = Tevlin("convert " + movie + " -o " + avi + " -y");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.find("one frame"), std::string::npos) << r.output;
}

TEST_F(Cli, BadArgumentsAndFilesGiveClearErrors) {
    EXPECT_EQ(Tevlin("").status, 2);
    EXPECT_EQ(Tevlin("frobnicate " + movie_).status, 2);
    CliRun r = Tevlin("render " + movie_ + " -o x.png --size 100000x100000");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("larger than the limit"), std::string::npos) << r.output;
    r = Tevlin("render " + movie_ + " -o x.png --size 10by10");
    EXPECT_EQ(r.status, 2);
    for (const char* bad : {"abc", "0", "-1", "1:2:3:4", "1:75", "1.5:30", ""}) {
        r = Tevlin("convert " + movie_ + " --duration '" + bad + "'");
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.output.find("--duration needs a time"), std::string::npos) << r.output;
    }
    r = Tevlin("convert " + movie_ + " --duration 1 --frames 0-3");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("not both"), std::string::npos) << r.output;
    // Numbers parse whole and in range: no wrapping, no trailing junk, no hexadecimal,
    // exponents, signs or infinities. Nothing is written for any of them.
    const std::string avi = dir_.file("strict.avi");
    const std::vector<std::pair<std::string, std::string>> badNumbers = {
        {"--frames", "0-4294967296"}, {"--frames", "0-3x"},      {"--frames", "4-2"},
        {"--frames", "-1-3"},         {"--frame", "5x"},         {"--frame", "4294967296"},
        {"--size", "4294967297x10"},  {"--size", "64x48junk"},   {"--size", "0x10"},
        {"--scale", "0x10"},          {"--scale", "1e1"},        {"--scale", "inf"},
        {"--scale", "nan"},           {"--scale", "2abc"},       {"--start", "0x10"},
        {"--start", "1e1"},           {"--duration", "-2"},      {"--threads", "99999999999"},
        {"--crf", "1e3"},             {"--max-frames", "2.5"}};
    for (const auto& [option, value] : badNumbers) {
        const std::string verb = option == "--frame" ? "render " + movie_ + " -o " + dir_.file("strict.png")
                                                     : "convert " + movie_ + " -o " + avi;
        r = Tevlin(verb + " -y " + option + " '" + value + "'");
        EXPECT_EQ(r.status, 2) << option << " " << value << "\n" << r.output;
        EXPECT_NE(r.output.find(option), std::string::npos) << option << " " << value << "\n" << r.output;
    }
    EXPECT_FALSE(std::filesystem::exists(avi));
    r = Tevlin("convert " + movie_ + " -o " + avi + " -y --quiet --scale .5");
    EXPECT_EQ(r.status, 0) << r.output;
    const std::string junk = dir_.file("junk.swf");
    WriteFileBytes(junk, "this is not a movie");
    r = Tevlin("info " + junk);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("not an SWF file"), std::string::npos) << r.output;
}

}  // namespace
