// Every container and codec the converter writes, read back by ffprobe and decoded by ffmpeg:
// the pixels of a movie with an opaque half, a translucent band and a transparent corner,
// computed from its geometry; the rate, frame count and duration; the sound stream of each
// container; the same file whatever the number of threads; and the options around them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli/cli_run.h"
#include "support/ffmpeg_tools.h"
#include "support/swf_builder.h"
#include "support/temp_dir.h"

namespace {

using namespace testing_support;

constexpr int kW = 64, kH = 48, kFrames = 12;
constexpr uint8_t kBackR = 0x20, kBackG = 0x40, kBackB = 0x60;

// 64 x 48 px at 24 fps, 12 frames, over a background of #204060: a red opaque left half; a blue
// band of alpha 128 across rows 16 to 32; nothing in the top right corner (x 32..64, y 0..16);
// a green 4 px square at (36 + 2k, 40) in frame k; with `sound`, half a second of a 440 Hz tone
// started at the first frame.
std::string BandMovie(bool sound, const std::vector<uint8_t>& extraTags = {}) {
    SwfFields fields;
    fields.xMax = kW * 20;
    fields.yMax = kH * 20;
    fields.rate88 = 24 << 8;
    fields.frameCount = kFrames;
    fields.tags.clear();
    AppendBytes(fields.tags, BackgroundTag(kBackR, kBackG, kBackB));
    AppendBytes(fields.tags, extraTags);
    if (sound) {
        std::vector<uint8_t> pcm;
        for (int i = 0; i < 22050; ++i) {
            const auto v = static_cast<int16_t>(std::lround(8000 * std::sin(2 * M_PI * 440 * i / 44100.0)));
            pcm.push_back(static_cast<uint8_t>(v & 0xFF));
            pcm.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
        }
        AppendBytes(fields.tags, DefineSoundTag(9, {3, 3, true, false}, 22050, pcm));
        AppendBytes(fields.tags, StartSoundTag(9));
    }
    AppendBytes(fields.tags, RectShapeTag(1, 32 * 20, kH * 20, 255, 0, 0));
    AppendBytes(fields.tags, RectShapeTag(2, kW * 20, 16 * 20, 0, 0, 255, 128));
    AppendBytes(fields.tags, RectShapeTag(3, 4 * 20, 4 * 20, 0, 255, 0));
    AppendBytes(fields.tags, PlaceObject2Tag({1, 1, false, std::pair{0, 0}}));
    AppendBytes(fields.tags, PlaceObject2Tag({2, 2, false, std::pair{0, 16 * 20}}));
    for (int k = 0; k < kFrames; ++k) {
        AppendBytes(fields.tags, PlaceObject2Tag({3, k == 0 ? std::optional<uint16_t>(3) : std::nullopt, k > 0,
                                                  std::pair{(36 + 2 * k) * 20, 40 * 20}}));
        AppendBytes(fields.tags, ShowFrameTag());
    }
    AppendBytes(fields.tags, EndTag());
    return BuildSwfFile(fields);
}

struct Bgra {
    int b, g, r, a;
};

Bgra PixelOf(const std::string& frames, int frame, int x, int y) {
    const size_t at = ((static_cast<size_t>(frame) * kH + y) * kW + x) * 4;
    auto byte = [&](size_t i) { return static_cast<int>(static_cast<uint8_t>(frames[at + i])); };
    return {byte(0), byte(1), byte(2), byte(3)};
}

// What each probe point holds as straight BGRA, from the geometry: the band's blue at alpha
// 128 over the red half is (128, 0, 127) opaque.
struct Probe {
    int x, y;
    Bgra straight;
    const char* what;
};
const Probe kProbes[] = {
    {8, 8, {0, 0, 255, 255}, "the red half"},
    {48, 6, {0, 0, 0, 0}, "the transparent corner"},
    {48, 24, {255, 0, 0, 128}, "the band alone"},
    {8, 24, {128, 0, 127, 255}, "the band over red"},
};

// The probe's colour laid over the movie's background, as codecs without alpha show it.
Bgra OverBackground(const Bgra& p) {
    auto over = [&](int c, int back) { return (c * p.a + back * (255 - p.a) + 127) / 255; };
    return {over(p.b, kBackB), over(p.g, kBackG), over(p.r, kBackR), 255};
}

struct Case {
    const char* name;
    const char* output;  // in the test's folder
    const char* options;
    const char* codecName;
    const char* pixFmt;  // as ffprobe reports the stream
    const char* decoder;  // ffmpeg's input options to decode it with its alpha
    bool alpha, lossless;
    int tolerance;          // levels, for lossy codecs
    const char* audioCodec;  // empty: no sound stream
    bool exactDuration;     // the container keeps the last frame's duration
};

std::ostream& operator<<(std::ostream& os, const Case& c) { return os << c.name; }

class Encode : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        if (!HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
        movie_ = dir_.file("band.swf");
        WriteFileBytes(movie_, BandMovie(true));
    }
    TempDir dir_;
    std::string movie_;
};

TEST_P(Encode, KeepsThePixelsTheRateAndTheSound) {
    const Case& c = GetParam();
    const std::string out = dir_.file(c.output);
    const CliRun r = Tevlin("convert " + movie_ + " -o " + out + " " + c.options + " -y --threads 2");
    ASSERT_EQ(r.status, 0) << r.output;
    const bool sequence = std::string(c.output).find('%') != std::string::npos;
    const std::string probed = sequence ? dir_.file("") + "/" + c.output : out;

    std::string report;
    const std::vector<ProbedStream> streams = ProbeStreams(probed, &report);
    ASSERT_GE(streams.size(), 1u) << report;
    const ProbedStream& video = streams[0];
    EXPECT_EQ(video.codecType, "video") << report;
    EXPECT_EQ(video.codecName, c.codecName) << report;
    EXPECT_EQ(video.pixFmt, c.pixFmt) << report;
    if (std::string(c.codecName) == "vp9") EXPECT_EQ(video.alphaMode, "1") << "WebM says the stream has alpha";
    if (!sequence) {
        EXPECT_EQ(video.rFrameRate, "24/1") << report;
        EXPECT_EQ(video.packets, kFrames) << report;
        // The length of the frames alone (a sound codec's priming may make the sound longer).
        const std::string silent = dir_.file(std::string("silent-") + c.output);
        const CliRun an = Tevlin("convert " + movie_ + " -o " + silent + " " + c.options + " -an -y --quiet");
        ASSERT_EQ(an.status, 0) << an.output;
        const double duration = ProbeFormatDuration(silent);
        if (c.exactDuration) {
            EXPECT_NEAR(duration, kFrames / 24.0, 0.0015) << "frames / rate";
        } else {
            EXPECT_NEAR(duration, (kFrames - 1) / 24.0, 0.0015) << "the last frame's start";
        }
    }
    if (*c.audioCodec != '\0') {
        ASSERT_EQ(streams.size(), 2u) << report;
        EXPECT_EQ(streams[1].codecName, c.audioCodec);
        EXPECT_EQ(streams[1].channels, 2);
        std::vector<int16_t> samples;
        ASSERT_TRUE(DecodeAudio(out, samples));
        const double seconds = samples.size() / 2.0 / streams[1].sampleRate;
        EXPECT_NEAR(seconds, kFrames / 24.0, 0.03) << "the sound lasts as long as the frames";
        int loud = 0;
        for (size_t i = 0; i < samples.size() / 2; ++i) loud += std::abs(samples[i]) > 4000;
        EXPECT_GT(loud, static_cast<int>(samples.size() / 8)) << "the tone plays from the start";
    } else {
        EXPECT_EQ(streams.size(), 1u) << report;
    }

    std::string frames, errors;
    const std::string input = sequence ? (dir_.file("") + "/" + c.output) : out;
    if (std::string(c.pixFmt) == "gbrap") {
        // ffmpeg's own conversion of planar RGB to BGRA rounds alpha: the planes are read as
        // they are stored.
        const std::string raw = dir_.file("planes.raw");
        ASSERT_TRUE(RunFfmpeg("-i " + input + " -f rawvideo -pix_fmt gbrap", raw, &errors)) << errors;
        const std::string planes = ReadFileBytes(raw);
        const size_t plane = size_t{kW} * kH;
        ASSERT_EQ(planes.size(), kFrames * plane * 4);
        frames.resize(planes.size());
        for (size_t f = 0; f < kFrames; ++f) {
            const char* g = planes.data() + f * plane * 4;
            for (size_t i = 0; i < plane; ++i) {
                char* px = &frames[(f * plane + i) * 4];
                px[0] = g[plane + i];
                px[1] = g[i];
                px[2] = g[2 * plane + i];
                px[3] = g[3 * plane + i];
            }
        }
    } else {
        ASSERT_TRUE(DecodeToBgra(input, std::string(c.decoder), frames, &errors)) << errors;
    }
    ASSERT_EQ(frames.size(), size_t{kFrames} * kW * kH * 4);
    for (int k = 0; k < kFrames; k += 5) {
        for (const Probe& p : kProbes) {
            const Bgra want = c.alpha ? p.straight : OverBackground(p.straight);
            const Bgra got = PixelOf(frames, k, p.x, p.y);
            const int tolerance = c.lossless ? 0 : c.tolerance;
            SCOPED_TRACE(std::string(p.what) + " in frame " + std::to_string(k));
            EXPECT_NEAR(got.a, want.a, c.alpha && !c.lossless ? 2 : 0);
            if (want.a == 0) continue;  // no colour to keep
            EXPECT_NEAR(got.b, want.b, tolerance);
            EXPECT_NEAR(got.g, want.g, tolerance);
            EXPECT_NEAR(got.r, want.r, tolerance);
        }
        // The moving square: green, where frame k puts it.
        const Bgra square = PixelOf(frames, k, 37 + 2 * k, 41);
        EXPECT_GT(square.g, 200) << "frame " << k;
        EXPECT_LT(square.r, 60) << "frame " << k;
    }

    // The writer on a thread of its own and the encoders' threads make the same file as one
    // thread does.
    if (!sequence) {
        const std::string one = dir_.file(std::string("one-") + c.output);
        const CliRun single = Tevlin("convert " + movie_ + " -o " + one + " " + c.options + " -y --threads 1 --quiet");
        ASSERT_EQ(single.status, 0) << single.output;
        EXPECT_TRUE(ReadFileBytes(one) == ReadFileBytes(out)) << "--threads 1 and 2 differ";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Encode,
    ::testing::Values(
        Case{"avi", "a.avi", "", "rawvideo", "bgra", "", true, true, 0, "pcm_s16le", true},
        Case{"avi_utvideo", "u.avi", "--codec utvideo", "utvideo", "gbrap", "", true, true, 0, "pcm_s16le", true},
        Case{"avi_ffv1", "f.avi", "--codec ffv1", "ffv1", "bgra", "", true, true, 0, "pcm_s16le", true},
        Case{"avi_png", "p.avi", "-c:v png", "png", "rgba", "", true, true, 0, "pcm_s16le", true},
        Case{"mov_prores", "a.mov", "", "prores", "yuva444p12le", "", true, false, 3, "pcm_s16le", true},
        Case{"mov_qtrle", "q.mov", "--codec qtrle", "qtrle", "argb", "", true, true, 0, "pcm_s16le", true},
        Case{"mkv_ffv1", "a.mkv", "", "ffv1", "bgra", "", true, true, 0, "flac", true},
        Case{"webm_vp9", "a.webm", "", "vp9", "yuv420p", "-c:v libvpx-vp9", true, false, 10, "opus", true},
        Case{"mp4_h264", "a.mp4", "", "h264", "yuv420p", "", false, false, 10, "aac", true},
        Case{"nut", "a.nut", "", "rawvideo", "bgra", "", true, true, 0, "pcm_s16le", false},
        Case{"png_sequence", "frame%05d.png", "", "png", "rgba", "-framerate 24", true, true, 0, "", true}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

class EncodeOptions : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
        movie_ = dir_.file("band.swf");
        WriteFileBytes(movie_, BandMovie(false));
    }
    TempDir dir_;
    std::string movie_;
};

// Our AVI holds straight alpha: a plain transcode by ffmpeg (which takes BGRA as straight)
// keeps the translucent band's colour; premultiplied frames come out darkened.
TEST_F(EncodeOptions, StraightAlphaSurvivesAPlainTranscode) {
    const std::string avi = dir_.file("s.avi"), mov = dir_.file("s.mov");
    ASSERT_EQ(Tevlin("convert " + movie_ + " -o " + avi + " --quiet").status, 0);
    std::string errors;
    ASSERT_TRUE(RunFfmpeg("-i " + avi + " -c:v prores_ks -profile:v 4444 -pix_fmt yuva444p10le", mov, &errors)) << errors;
    std::string frames;
    ASSERT_TRUE(DecodeToBgra(mov, "", frames, &errors)) << errors;
    const Bgra band = PixelOf(frames, 0, 48, 24);
    EXPECT_NEAR(band.b, 255, 3);
    EXPECT_NEAR(band.a, 128, 2);

    const std::string premultiplied = dir_.file("p.avi");
    ASSERT_EQ(Tevlin("convert " + movie_ + " -o " + premultiplied + " --alpha premultiplied --quiet").status, 0);
    ASSERT_TRUE(DecodeToBgra(premultiplied, "", frames, &errors)) << errors;
    EXPECT_EQ(PixelOf(frames, 0, 48, 24).b, 128) << "premultiplied: blue times alpha";
    EXPECT_EQ(PixelOf(frames, 0, 48, 24).a, 128);
}

TEST_F(EncodeOptions, SizesAndRangesAsFfmpegTakesThem) {
    const std::string out = dir_.file("o.mkv");
    CliRun r = Tevlin("convert " + movie_ + " -o " + out + " --size 32x-1 --quiet");
    ASSERT_EQ(r.status, 0) << r.output;
    ProbedVideo v = ProbeAvi(out);
    EXPECT_EQ(v.width, 32);
    EXPECT_EQ(v.height, 24) << "-1 keeps the proportions";
    r = Tevlin("convert " + movie_ + " -o " + out + " --size -2x30 -y --quiet");
    ASSERT_EQ(r.status, 0) << r.output;
    v = ProbeAvi(out);
    EXPECT_EQ(v.width, 40) << "-2: 30 x 64 / 48 = 40, even";
    r = Tevlin("convert " + movie_ + " -o " + out + " --scale 0.5 -y --quiet");
    ASSERT_EQ(r.status, 0) << r.output;
    v = ProbeAvi(out);
    EXPECT_EQ(v.width, 32);
    EXPECT_EQ(v.height, 24);

    // From 0.25 s (frame 6) for 0.125 s (3 frames).
    r = Tevlin("convert " + movie_ + " -o " + out + " --start 0.25 --duration 0.125 -y --quiet");
    ASSERT_EQ(r.status, 0) << r.output;
    v = ProbeAvi(out);
    EXPECT_EQ(v.packets, 3);
    std::string frames;
    ASSERT_TRUE(DecodeToBgra(out, "", frames));
    EXPECT_GT(PixelOf(frames, 0, 37 + 2 * 6, 41).g, 200) << "the first frame written is frame 6";

    // Odd sizes for H.264 are refused with the reason, before anything is written.
    r = Tevlin("convert " + movie_ + " -o " + dir_.file("odd.mp4") + " --size 33x25");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("even width and height"), std::string::npos) << r.output;
    EXPECT_FALSE(std::filesystem::exists(dir_.file("odd.mp4")));
}

TEST_F(EncodeOptions, RefusesWhatItCannotWriteBeforeLoading) {
    struct {
        const char* args;
        const char* says;
    } cases[] = {
        {"-o x.gif", "cannot tell the format"},
        {"-o still.png", "frame number pattern"},
        {"-o x.webm --codec ffv1", "the webm format cannot hold ffv1"},
        {"-o no-such-folder/x.avi", "is not there"},
    };
    for (const auto& c : cases) {
        const CliRun r = Tevlin("convert " + movie_ + " " + c.args + " --trace " + dir_.file("t.txt"));
        EXPECT_NE(r.status, 0) << c.args;
        EXPECT_NE(r.output.find(c.says), std::string::npos) << c.args << ": " << r.output;
    }
    // The output is checked first: the refused conversions loaded no movie, so no trace file
    // was made.
    EXPECT_FALSE(std::filesystem::exists(dir_.file("t.txt")));
    const CliRun crf = Tevlin("convert " + movie_ + " -o " + dir_.file("x.mkv") + " --crf 20");
    EXPECT_EQ(crf.status, 1);
    EXPECT_NE(crf.output.find("--crf and --bitrate apply to h264 and vp9"), std::string::npos) << crf.output;
    // -n keeps an existing file and says so.
    const std::string avi = dir_.file("kept.avi");
    WriteFileBytes(avi, "keep me");
    const CliRun r = Tevlin("convert " + movie_ + " -o " + avi + " -n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("not replaced (-n)"), std::string::npos) << r.output;
    EXPECT_EQ(ReadFileBytes(avi), "keep me");
    // Why a movie cannot be opened.
    CliRun missing = Tevlin("convert " + dir_.file("missing.swf") + " -o " + dir_.file("m.avi"));
    EXPECT_NE(missing.output.find("No such file or directory"), std::string::npos) << missing.output;
    missing = Tevlin("info " + dir_.file(""));
    EXPECT_NE(missing.output.find("it is a folder"), std::string::npos) << missing.output;
}

TEST_F(EncodeOptions, SeveralMoviesIntoAFolderEachWithItsResult) {
    const std::string folder = dir_.file("out") + "/";
    std::filesystem::create_directories(folder);
    const std::string second = dir_.file("second.swf"), broken = dir_.file("broken.swf");
    WriteFileBytes(second, BandMovie(false));
    WriteFileBytes(broken, "FWS not a movie");
    const CliRun r = Tevlin("convert " + movie_ + " " + broken + " " + second + " -o " + folder + " -f matroska");
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("converted 2 of 3 movies; failed: " + broken), std::string::npos) << r.output;
    EXPECT_EQ(ProbeAvi(folder + "band.swf.mkv").packets, kFrames);
    EXPECT_EQ(ProbeAvi(folder + "second.swf.mkv").packets, kFrames);
    EXPECT_FALSE(std::filesystem::exists(folder + "broken.swf.mkv"));
    // Several movies need a folder.
    EXPECT_EQ(Tevlin("convert " + movie_ + " " + second + " -o " + dir_.file("one.avi")).status, 2);
}

TEST_F(EncodeOptions, WritesAStreamToTheStandardOutput) {
    const std::string piped = dir_.file("piped.nut");
    // Through a pipe, as a script would read it: NUT unless -f says otherwise.
    const CliRun r = Tevlin("convert " + movie_ + " -o - --quiet | cat > " + piped);
    ASSERT_EQ(r.status, 0) << r.output;
    const ProbedVideo v = ProbeAvi(piped);
    EXPECT_EQ(v.codecName, "rawvideo") << v.output;
    EXPECT_EQ(v.packets, kFrames);
    const CliRun mkv = Tevlin("convert " + movie_ + " -o - -f matroska --quiet | cat > " + dir_.file("piped.mkv"));
    ASSERT_EQ(mkv.status, 0) << mkv.output;
    EXPECT_EQ(ProbeAvi(dir_.file("piped.mkv")).packets, kFrames);
    const CliRun mp4 = Tevlin("convert " + movie_ + " -o - -f mp4");
    EXPECT_NE(mp4.output.find("cannot be written to a pipe"), std::string::npos) << mp4.output;
}

TEST_F(EncodeOptions, HelpVersionAndInfoForMachines) {
    CliRun r = Tevlin("--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output.rfind("tevlin ", 0), 0u) << r.output;
    EXPECT_NE(r.output.find("libavcodec"), std::string::npos) << r.output;
    r = Tevlin("convert --help");
    EXPECT_EQ(r.status, 0);
    for (const char* codec : {"rawvideo", "utvideo", "ffv1", "png", "qtrle", "prores", "vp9", "h264"}) {
        EXPECT_NE(r.output.find(std::string("\n  ") + codec + " "), std::string::npos) << codec;
    }
    for (const char* option : {"--codec", "--crf", "--bitrate", "--alpha", "--background", "--size", "--scale", "--start",
                               "--duration", "--threads", "-n ", "-f FORMAT"}) {
        EXPECT_NE(r.output.find(option), std::string::npos) << option;
    }
    r = Tevlin("info --json " + movie_);
    EXPECT_EQ(r.status, 0) << r.output;
    for (const char* field : {"\"width\": 64", "\"height\": 48", "\"frame_rate_exact\": \"24/1\"", "\"frames\": 12",
                              "\"duration\": 0.500000", "\"sound\": false", "\"DefineShape3\""}) {
        EXPECT_NE(r.output.find(field), std::string::npos) << field << " in " << r.output;
    }
    EXPECT_EQ(r.output.front(), '[');
}

// Content the engine does not play converts with one summary warning naming it; --strict
// refuses it before anything is written.
TEST_F(EncodeOptions, WhatIsLeftOutIsSummedUpAndStrictRefusesIt) {
    const std::string as3 = dir_.file("as3.swf"), avi = dir_.file("as3.avi");
    // A DoABC tag: flags, an empty name, and a few bytes of ABC.
    WriteFileBytes(as3, BandMovie(false, TagRecord(82, {1, 0, 0, 0, 0, 0x10, 0x00, 0x2E, 0x00})));
    CliRun r = Tevlin("convert " + as3 + " -o " + avi);
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("warning: " + as3 + " converted without what the engine does not play: ActionScript 3"),
              std::string::npos)
        << r.output;
    EXPECT_EQ(ProbeAvi(avi).packets, kFrames);
    r = Tevlin("convert " + as3 + " -o " + dir_.file("strict.avi") + " --strict");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("not converted (--strict)"), std::string::npos) << r.output;
    EXPECT_FALSE(std::filesystem::exists(dir_.file("strict.avi")));
    // A movie that plays whole passes --strict, with no warning.
    r = Tevlin("convert " + movie_ + " -o " + dir_.file("whole.avi") + " --strict");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.find("warning"), std::string::npos) << r.output;
}

// Ctrl-C stops after the frame being made and closes the file on the frames written: a file
// ffprobe reads whole, with its duration, and exit 130 (143 for SIGTERM).
TEST_F(EncodeOptions, AStopSignalClosesTheFileOnTheFramesWritten) {
    const struct {
        const char* signal;
        const char* name;
        int grown;  // bytes: a few frames written
    } runs[] = {{"INT", "stopped.avi", 3000000}, {"TERM", "stopped.mkv", 100000}};
    for (const auto& run : runs) {
        {
            const char* signal = run.signal;
            const char* name = run.name;
            const std::string out = dir_.file(name), log = dir_.file("stop.log");
            std::remove(out.c_str());
            // A long conversion, stopped once the file has grown past its head.
            const std::string script = std::string(TEVLIN_CLI) + " convert " + movie_ + " -o " + out +
                                       " --size 640x480 --duration 600 -y >" + log + " 2>&1 & pid=$!; " +
                                       "for i in $(seq 200); do s=$(stat -c %s " + out + " 2>/dev/null || echo 0); " +
                                       "[ $s -gt " + std::to_string(run.grown) + " ] && break; sleep 0.05; done; kill -" + signal +
                                       " $pid; wait $pid; echo status=$?";
            CliRun r{-1, {}};
            FILE* shell = popen(script.c_str(), "r");
            ASSERT_NE(shell, nullptr);
            char buffer[256];
            size_t got;
            while ((got = std::fread(buffer, 1, sizeof buffer, shell)) > 0) r.output.append(buffer, got);
            pclose(shell);
            const std::string said = ReadFileBytes(log);
            const int expected = std::string(signal) == "INT" ? 130 : 143;
            EXPECT_NE(r.output.find("status=" + std::to_string(expected)), std::string::npos) << r.output << said;
            const size_t at = said.find("stopped after ");
            ASSERT_NE(at, std::string::npos) << said;
            const int written = std::atoi(said.c_str() + at + 14);
            EXPECT_GT(written, 0);
            const ProbedVideo v = ProbeAvi(out);
            EXPECT_EQ(v.packets, written) << v.output;
            EXPECT_NEAR(ProbeFormatDuration(out), written / 24.0, 0.0015) << name;
        }
    }
}

}  // namespace
