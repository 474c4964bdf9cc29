// The converter's sound: movies whose stream sound ffmpeg encoded (MP3, ADPCM, Nellymoser,
// PCM) or the test wrote (ADPCM at 2, 3 and 5 bits), converted, and the AVI read back by ffprobe and ffmpeg: two streams at the exact
// rate with equal durations, and the sound equal to ffmpeg's own decoding of the movie.
#include <gtest/gtest.h>

#include <cmath>
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

constexpr double kSamplesPerFrame = 44100.0 / 24;
// 1.5 s of two tones, different on each side when stereo, at 44.1 kHz.
const char* kTwoTones = "-f lavfi -i aevalsrc='0.4*sin(2*PI*440*t)|0.3*sin(2*PI*660*t)':s=44100:d=1.5";

struct Case {
    const char* name;
    bool stereo;             // two tones or one
    int rate;                // of the source, the stream and ffmpeg's decoding
    const char* codec;       // ffmpeg's encoder, into FLV
    SoundFormatFields format;
    int tolerance;           // what two runs of the same decoder may differ by, and interpolation
};

std::string Source(const Case& c) {
    return std::string("-f lavfi -i aevalsrc='0.4*sin(2*PI*440*t)") + (c.stereo ? "|0.3*sin(2*PI*660*t)" : "") +
           "':s=" + std::to_string(c.rate) + ":d=1.5";
}

// The packets of the encoded sound and how many samples each holds.
struct Encoded {
    std::vector<std::vector<uint8_t>> packets;
    std::vector<size_t> samples;
};

size_t SamplesIn(const SoundFormatFields& f, const std::vector<uint8_t>& packet) {
    const size_t channels = f.stereo ? 2 : 1;
    switch (f.format) {
        case 2: return 1152;  // an MPEG-1 layer III frame
        case 4:
        case 5:
        case 6: return packet.size() / 64 * 256;
        case 11: return 320;  // a wideband Speex frame
        case 1: {             // the code size, then each channel's first sample and index
            const size_t bits = (packet[0] >> 6) + 2;
            return 1 + (packet.size() * 8 - 2 - 22 * channels) / (bits * channels);
        }
        default: return packet.size() / (2 * channels);
    }
}

bool Encode(const TempDir& dir, const Case& c, Encoded& out, std::string& errors) {
    const std::string flv = dir.file("sound.flv");
    if (!RunFfmpeg(Source(c) + " -c:a " + c.codec + " -f flv", flv, &errors)) return false;
    if (!ReadFlvAudioPackets(flv, out.packets)) return false;
    for (const auto& p : out.packets) out.samples.push_back(SamplesIn(c.format, p));
    return true;
}

// The raw PCM of the source, cut into packets of a frame each.
bool EncodePcm(const TempDir& dir, const Case& c, Encoded& out, std::string& errors) {
    const std::string raw = dir.file("sound.raw");
    if (!RunFfmpeg(Source(c) + " -f s16le", raw, &errors)) return false;
    const std::string bytes = ReadFileBytes(raw);
    const size_t frameBytes = c.format.stereo ? 4 : 2;
    for (size_t k = 0, at = 0; at < bytes.size(); ++k) {
        const size_t end = std::min(bytes.size(), static_cast<size_t>((k + 1) * c.rate / 24.0) * frameBytes);
        out.packets.emplace_back(bytes.begin() + static_cast<ptrdiff_t>(at), bytes.begin() + static_cast<ptrdiff_t>(end));
        out.samples.push_back((end - at) / frameBytes);
        at = end;
    }
    return true;
}

// ADPCM at the code size `bits` (2 to 5), which ffmpeg's encoder does not write: packets of
// 1024 samples whose codes follow a fixed pseudo-random sequence (any codes decode), with a
// rising start sample and step index in each packet's header.
bool MakeAdpcm(int bits, const Case& c, Encoded& out) {
    const size_t channels = c.format.stereo ? 2 : 1, perPacket = 1024;
    const size_t total = static_cast<size_t>(1.5 * c.rate);
    uint32_t seed = 12345u + static_cast<uint32_t>(bits);
    for (size_t done = 0; done < total; done += perPacket) {
        std::vector<uint8_t> packet;
        int used = 0;
        auto put = [&](uint32_t value, int count) {
            for (int i = count - 1; i >= 0; --i, ++used) {
                if (used % 8 == 0) packet.push_back(0);
                if (value >> i & 1u) packet.back() |= static_cast<uint8_t>(0x80u >> (used % 8));
            }
        };
        put(static_cast<uint32_t>(bits - 2), 2);
        for (size_t ch = 0; ch < channels; ++ch) {
            put(static_cast<uint32_t>(1000 * (done / perPacket) + 500 * ch) & 0xFFFFu, 16);
            put(static_cast<uint32_t>(20 + done / perPacket % 40), 6);
        }
        for (size_t i = 1; i < perPacket * channels; ++i) {
            seed = seed * 1103515245u + 12345u;
            put(seed >> 16, bits);
        }
        out.samples.push_back(SamplesIn(c.format, packet));  // with what the padding bits decode to
        out.packets.push_back(packet);
    }
    return true;
}

// A 24 fps movie whose main timeline streams the packets: each frame's block holds the
// packets that start before the frame ends (Speex one at most). Two frames of silence follow
// the sound.
std::string StreamMovie(const Case& c, const Encoded& e, int& frames) {
    size_t total = 0;
    for (size_t s : e.samples) total += s;
    const double perFrame = c.rate / 24.0;
    frames = static_cast<int>(c.format.format == 11 ? e.packets.size() : std::ceil(static_cast<double>(total) / perFrame)) + 2;
    SwfFields fields;
    fields.xMax = 800;
    fields.yMax = 800;
    fields.frameCount = static_cast<uint16_t>(frames);
    fields.tags.clear();
    AppendBytes(fields.tags, SoundStreamHeadTag(c.format, static_cast<uint16_t>(perFrame)));
    AppendBytes(fields.tags, RectShapeTag(1, 400, 400, 255, 0, 0));
    AppendBytes(fields.tags, PlaceObject2Tag({1, 1, false, std::pair{0, 0}}));
    size_t next = 0, started = 0;
    for (int k = 0; k < frames; ++k) {
        std::vector<uint8_t> block;
        size_t samples = 0;
        // A Speex packet decodes alone: one a block.
        while (next < e.packets.size() && static_cast<double>(started) < (k + 1) * perFrame &&
               (c.format.format != 11 || block.empty())) {
            block.insert(block.end(), e.packets[next].begin(), e.packets[next].end());
            samples += e.samples[next];
            started += e.samples[next];
            ++next;
        }
        if (!block.empty()) {
            AppendBytes(fields.tags, c.format.format == 2 ? Mp3StreamBlockTag(static_cast<uint16_t>(samples), 0, block)
                                                          : SoundStreamBlockTag(block));
        }
        AppendBytes(fields.tags, ShowFrameTag());
    }
    AppendBytes(fields.tags, EndTag());
    return BuildSwfFile(fields);
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class SoundCli : public ::testing::TestWithParam<Case> {
protected:
    TempDir dir_;
};

TEST_P(SoundCli, TheStreamSoundIsFfmpegsOwnDecodingAlignedToTheFrames) {
    if (!HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
    const Case& c = GetParam();
    Encoded encoded;
    std::string errors;
    const std::string codec = c.codec;
    const bool made = c.format.format == 3                  ? EncodePcm(dir_, c, encoded, errors)
                      : codec.rfind("adpcm-bits-", 0) == 0 ? MakeAdpcm(std::stoi(codec.substr(11)), c, encoded)
                                                            : Encode(dir_, c, encoded, errors);
    if (!made) GTEST_SKIP() << "this ffmpeg cannot encode " << c.codec << ": " << errors;
    int frames = 0;
    const std::string movie = dir_.file("movie.swf"), avi = dir_.file("movie.avi");
    WriteFileBytes(movie, StreamMovie(c, encoded, frames));

    const CliRun r = Tevlin("convert " + movie + " -o " + avi + " --size 20x20 -y");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find(", with sound"), std::string::npos) << r.output;
    std::string probe;
    const std::vector<ProbedStream> streams = ProbeStreams(avi, &probe);
    ASSERT_EQ(streams.size(), 2u) << probe;
    EXPECT_EQ(streams[0].codecType, "video");
    EXPECT_EQ(streams[0].rFrameRate, "24/1");
    EXPECT_EQ(streams[0].packets, frames);
    EXPECT_EQ(streams[1].codecType, "audio");
    EXPECT_EQ(streams[1].codecName, "pcm_s16le");
    EXPECT_EQ(streams[1].sampleRate, 44100);
    EXPECT_EQ(streams[1].channels, 2);
    EXPECT_NEAR(static_cast<double>(streams[1].frames) / 44100, streams[0].duration, 1.0 / 44100 + 1e-6) << probe;

    std::vector<int16_t> ours, reference;
    ASSERT_TRUE(DecodeAudio(avi, ours, &errors)) << errors;
    // ffmpeg's decoding of the movie's own stream; of the FLV it came from for the formats
    // ffmpeg's SWF reader does not take (Nellymoser at 8 kHz, Speex).
    const bool swfReadable = c.format.format != 5 && c.format.format != 11;
    ASSERT_TRUE(DecodeAudio(swfReadable ? movie : dir_.file("sound.flv"), reference, &errors))
        << "ffmpeg reads the stream: " << errors;
    EXPECT_EQ(ours.size() / 2, static_cast<size_t>(frames * kSamplesPerFrame)) << "the sound lasts as long as the frames";
    const size_t channels = c.format.stereo ? 2 : 1;
    // Other rates are interpolated between their samples: the reference is too.
    const size_t referenceFrames = reference.size() / channels;
    const double step = c.rate / 44100.0;
    auto expected = [&](size_t i, size_t side) {
        const double at = static_cast<double>(i) * step;
        const size_t j = static_cast<size_t>(at);
        const size_t k = std::min(j + 1, referenceFrames - 1);
        const size_t ch = std::min(side, channels - 1);
        const double a = reference[j * channels + ch], b = reference[k * channels + ch];
        return static_cast<int>(std::floor(a + (b - a) * (at - static_cast<double>(j))));
    };
    const size_t compared = std::min(ours.size() / 2, static_cast<size_t>(static_cast<double>(referenceFrames - 1) / step));
    EXPECT_GT(compared, static_cast<size_t>(1.4 * 44100)) << "the whole sound is there";
    int worst = 0;
    size_t worstAt = 0;
    for (size_t i = 0; i < compared; ++i) {
        for (size_t side = 0; side < 2; ++side) {
            const int d = std::abs(ours[2 * i + side] - expected(i, side));
            if (d > worst) {
                worst = d;
                worstAt = i;
            }
        }
    }
    EXPECT_LE(worst, c.tolerance) << "sample " << worstAt << " of " << compared;
    // The sound is not silence: the tones are there at their level.
    int peak = 0;
    for (size_t i = 0; i < compared * 2; ++i) peak = std::max(peak, std::abs(int(ours[i])));
    EXPECT_GT(peak, 8000);
    // After the sound, its two frames of silence.
    EXPECT_EQ(ours[ours.size() - 2], 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, SoundCli,
                         ::testing::Values(Case{"mp3", true, 44100, "libmp3lame -b:a 128k", {2, 3, true, true}, 1},
                                           Case{"adpcm", true, 44100, "adpcm_swf", {1, 3, true, true}, 0},
                                           Case{"adpcm22k", true, 22050, "adpcm_swf", {1, 2, true, true}, 2},
                                           Case{"adpcm2bit", false, 44100, "adpcm-bits-2", {1, 3, true, false}, 0},
                                           Case{"adpcm3bit", true, 11025, "adpcm-bits-3", {1, 1, true, true}, 2},
                                           Case{"adpcm5bit", true, 44100, "adpcm-bits-5", {1, 3, true, true}, 0},
                                           Case{"nellymoser", false, 44100, "nellymoser", {6, 3, true, false}, 1},
                                           Case{"nellymoser8k", false, 8000, "nellymoser", {5, 0, true, false}, 2},
                                           Case{"speex", false, 16000, "libspeex", {11, 0, true, false}, 2},
                                           Case{"pcm", true, 44100, "pcm_s16le", {3, 3, true, true}, 0},
                                           Case{"pcm11k", false, 11025, "pcm_s16le", {3, 1, true, false}, 2}),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// A 12.5 fps movie whose frame 3 starts an event sound: the stream's rate is 25/2 and the
// sound starts at sample 3 x 44100 x 2 / 25; a movie without sound, and --no-audio, get no
// audio stream.
std::string EventMovie(bool withSound) {
    SwfFields fields;
    fields.xMax = 400;
    fields.yMax = 400;
    fields.rate88 = 0x0C80;
    fields.frameCount = 8;
    fields.tags.clear();
    std::vector<uint8_t> pcm;
    for (int i = 0; i < 5000; ++i) {
        pcm.push_back(0x10);
        pcm.push_back(0x27);  // 10000
    }
    if (withSound) AppendBytes(fields.tags, DefineSoundTag(1, {3, 3, true, false}, 5000, pcm));
    AppendBytes(fields.tags, RectShapeTag(2, 200, 200, 0, 0, 255));
    AppendBytes(fields.tags, PlaceObject2Tag({1, 2, false, std::pair{0, 0}}));
    for (int k = 0; k < 8; ++k) {
        if (k == 3 && withSound) AppendBytes(fields.tags, StartSoundTag(1));
        AppendBytes(fields.tags, ShowFrameTag());
    }
    AppendBytes(fields.tags, EndTag());
    return BuildSwfFile(fields);
}

TEST(SoundCliEvents, AnEventSoundStartsAtItsFramesSampleAndSilenceHasNoStream) {
    if (!HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
    TempDir dir;
    const std::string movie = dir.file("event.swf"), avi = dir.file("event.avi");
    WriteFileBytes(movie, EventMovie(true));
    CliRun r = Tevlin("convert " + movie + " -o " + avi + " -y");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("8 frames of 20x20 at 25/2 fps, with sound"), std::string::npos) << r.output;
    std::string probe;
    std::vector<ProbedStream> streams = ProbeStreams(avi, &probe);
    ASSERT_EQ(streams.size(), 2u) << probe;
    EXPECT_EQ(streams[0].rFrameRate, "25/2");
    EXPECT_EQ(streams[1].frames, 8 * 44100 * 2 / 25) << probe;
    std::vector<int16_t> sound;
    std::string errors;
    ASSERT_TRUE(DecodeAudio(avi, sound, &errors)) << errors;
    ASSERT_EQ(sound.size(), size_t{2} * 8 * 44100 * 2 / 25);
    const size_t start = 3 * 44100 * 2 / 25;
    EXPECT_EQ(sound[2 * (start - 1)], 0);
    EXPECT_EQ(sound[2 * start], 10000);
    EXPECT_EQ(sound[2 * start + 1], 10000);
    EXPECT_EQ(sound[2 * (start + 4999)], 10000);
    EXPECT_EQ(sound[2 * (start + 5000)], 0);

    // Frames 4 to 7 only: the sound started at frame 3 is heard from where it has got to.
    r = Tevlin("convert " + movie + " -o " + avi + " -y --frames 4-7");
    ASSERT_EQ(r.status, 0) << r.output;
    ASSERT_TRUE(DecodeAudio(avi, sound, &errors)) << errors;
    const size_t left = 5000 - (4 * 44100 * 2 / 25 - start);  // of the sound after frame 3
    ASSERT_EQ(sound.size(), size_t{2} * 4 * 44100 * 2 / 25);
    EXPECT_EQ(sound[0], 10000);
    EXPECT_EQ(sound[2 * (left - 1)], 10000);
    EXPECT_EQ(sound[2 * left], 0);

    r = Tevlin("convert " + movie + " -o " + avi + " -y --no-audio");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.find("with sound"), std::string::npos) << r.output;
    EXPECT_EQ(ProbeStreams(avi).size(), 1u);

    WriteFileBytes(movie, EventMovie(false));
    r = Tevlin("convert " + movie + " -o " + avi + " -y");
    ASSERT_EQ(r.status, 0) << r.output;
    streams = ProbeStreams(avi, &probe);
    ASSERT_EQ(streams.size(), 1u) << probe;
    EXPECT_EQ(streams[0].packets, 8);
    EXPECT_NEAR(streams[0].duration, 8 / 12.5, 1e-6);
}

// A movie whose first frame loads an MP3 file beside it as a streaming Sound: the AVI's
// sound is the file's, from the first sample, as ffmpeg decodes the file.
TEST(SoundCliEvents, ALoadedMp3PlaysFromItsFrame) {
    if (!HaveFfmpegTools()) GTEST_SKIP() << "ffmpeg is not installed";
    TempDir dir;
    std::string errors;
    const std::string mp3 = dir.file("beside.mp3");
    if (!RunFfmpeg(std::string(kTwoTones) + " -c:a libmp3lame -b:a 128k -write_xing 0 -id3v2_version 0 -f mp3", mp3, &errors)) {
        GTEST_SKIP() << "this ffmpeg cannot encode MP3: " << errors;
    }
    SwfFields fields;
    fields.version = 8;
    fields.xMax = 400;
    fields.yMax = 400;
    fields.frameCount = 40;
    fields.tags.clear();
    Actions a;
    a.push("s").pushInt(0).push("Sound").op(action::kNewObject).op(action::kSetVariable);
    a.pushBool(true).push("beside.mp3").pushInt(2).push("s").op(action::kGetVariable).push("loadSound").op(action::kCallMethod);
    a.op(action::kPop);
    AppendBytes(fields.tags, DoActionTag(a.bytes()));
    for (int k = 0; k < 40; ++k) AppendBytes(fields.tags, ShowFrameTag());
    AppendBytes(fields.tags, EndTag());
    const std::string movie = dir.file("loads.swf"), avi = dir.file("loads.avi");
    WriteFileBytes(movie, BuildSwfFile(fields));
    const CliRun r = Tevlin("convert " + movie + " -o " + avi + " -y");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("with sound"), std::string::npos) << r.output;
    std::vector<int16_t> ours, reference;
    ASSERT_TRUE(DecodeAudio(avi, ours, &errors)) << errors;
    ASSERT_TRUE(DecodeAudio(mp3, reference, &errors)) << errors;
    ASSERT_EQ(ours.size(), size_t{2} * 40 * 1837 + 2 * 20) << "40 frames at 24 fps";
    ASSERT_GT(reference.size(), size_t{2} * 44100);
    int worst = 0;
    for (size_t i = 0; i < std::min(ours.size(), reference.size()); ++i) worst = std::max(worst, std::abs(ours[i] - reference[i]));
    EXPECT_LE(worst, 1);
}

}  // namespace
