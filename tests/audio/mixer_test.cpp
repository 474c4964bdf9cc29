// The mixer: resampling by interpolation, in and out points with loops, envelopes, gains,
// the voice limit, clamping, and skipping ahead.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "audio/decoder.h"
#include "audio/mixer.h"

namespace {

using audio::Mixer;
using audio::Pcm;
using audio::VoiceOptions;

std::shared_ptr<Pcm> Sound(uint32_t rate, uint8_t channels, std::vector<int16_t> samples) {
    auto pcm = std::make_shared<Pcm>();
    pcm->rate = rate;
    pcm->channels = channels;
    pcm->samples = std::move(samples);
    return pcm;
}

std::vector<int16_t> Mix(Mixer& m, size_t frames) {
    std::vector<int16_t> out(frames * 2, -1);
    m.mix(out.data(), frames);
    return out;
}

TEST(Mixer, SoundsAtTheOutputRatePassThroughExactly) {
    Mixer m;
    ASSERT_NE(m.play(Sound(44100, 2, {100, -100, 32767, -32768, 7, 8}), {}), 0u);
    EXPECT_EQ(Mix(m, 4), (std::vector<int16_t>{100, -100, 32767, -32768, 7, 8, 0, 0}));
    EXPECT_EQ(m.voices(), 0u) << "the voice ended with its last sample";
    ASSERT_EQ(m.finished().size(), 1u);

    // Mono plays on both sides.
    m.play(Sound(44100, 1, {5, 6}), {});
    EXPECT_EQ(Mix(m, 2), (std::vector<int16_t>{5, 5, 6, 6}));
}

TEST(Mixer, LowerRatesAreInterpolatedAndLastExactlyTheirLength) {
    Mixer m;
    m.play(Sound(22050, 1, {0, 1000, 2000}), {});
    const std::vector<int16_t> out = Mix(m, 7);
    // Each source sample takes two output frames; the last holds, then the voice is done.
    const std::vector<int16_t> left = {out[0], out[2], out[4], out[6], out[8], out[10], out[12]};
    EXPECT_EQ(left, (std::vector<int16_t>{0, 500, 1000, 1500, 2000, 2000, 0}));

    // 5.5 kHz is an eighth of 44.1 kHz exactly: 1000 samples last 8000 frames, not 8001.
    Mixer slow;
    slow.play(Sound(5512, 1, std::vector<int16_t>(1000, 300)), {});
    std::vector<int16_t> buffer(2 * 7999);
    slow.mix(buffer.data(), 7999);
    EXPECT_EQ(slow.voices(), 1u);
    slow.mix(buffer.data(), 1);
    EXPECT_EQ(slow.voices(), 0u);
    EXPECT_EQ(buffer[0], 300);
}

TEST(Mixer, InAndOutPointsBoundEachLoop) {
    std::vector<int16_t> ramp(100);
    for (int i = 0; i < 100; ++i) ramp[static_cast<size_t>(i)] = static_cast<int16_t>(i);
    Mixer m;
    VoiceOptions o;
    o.inPoint = 10;
    o.outPoint = 14;
    o.loops = 3;
    const audio::VoiceId id = m.play(Sound(44100, 1, ramp), o);
    const std::vector<int16_t> out = Mix(m, 14);
    std::vector<int16_t> left;
    for (size_t i = 0; i < out.size(); i += 2) left.push_back(out[i]);
    EXPECT_EQ(left, (std::vector<int16_t>{10, 11, 12, 13, 10, 11, 12, 13, 10, 11, 12, 13, 0, 0}));
    ASSERT_EQ(m.finished().size(), 1u);
    EXPECT_EQ(m.finished()[0], id);

    // A start past the end of the sound plays nothing.
    VoiceOptions late;
    late.startFrame = 100;
    EXPECT_EQ(m.play(Sound(44100, 1, ramp), late), 0u);
    // An in point at or past the out point neither.
    VoiceOptions empty;
    empty.inPoint = 50;
    empty.outPoint = 50;
    EXPECT_EQ(m.play(Sound(44100, 1, ramp), empty), 0u);
}

TEST(Mixer, EnvelopeLevelsRunBetweenTheirPoints) {
    Mixer m;
    VoiceOptions o;
    o.envelope = {{0, 32768, 0}, {100, 0, 32768}};
    m.play(Sound(44100, 1, std::vector<int16_t>(200, 10000)), o);
    const std::vector<int16_t> out = Mix(m, 200);
    EXPECT_EQ(out[0], 10000);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2 * 50], 5000);
    EXPECT_EQ(out[2 * 50 + 1], 5000);
    EXPECT_EQ(out[2 * 150], 0) << "after the last point its level holds";
    EXPECT_EQ(out[2 * 150 + 1], 10000);
}

TEST(Mixer, GainsRouteAndScaleEachSide) {
    Mixer m;
    VoiceOptions o;
    o.owner = 7;
    m.play(Sound(44100, 2, {1000, 3000, 1000, 3000}), o);
    audio::Gain pannedLeft;  // pan -100: the right side is silent
    pannedLeft.rr = 0;
    pannedLeft.volume = 50;
    m.setGain(7, pannedLeft);
    std::vector<int16_t> out = Mix(m, 1);
    EXPECT_EQ(out[0], 500);
    EXPECT_EQ(out[1], 0);
    // Swapped sides, and the mixer's own gain over the owner's.
    audio::Gain swapped;
    swapped.ll = 0;
    swapped.lr = 100;
    swapped.rr = 0;
    swapped.rl = 100;
    m.setGain(7, swapped);
    audio::Gain half;
    half.volume = 50;
    m.setGain(0, half);
    out = Mix(m, 1);
    EXPECT_EQ(out[0], 1500);
    EXPECT_EQ(out[1], 500);
}

TEST(Mixer, VoicesAreLimitedSummedClampedAndSkipped) {
    Mixer m;
    for (size_t i = 0; i < audio::kMaxVoices; ++i) ASSERT_NE(m.play(Sound(44100, 1, std::vector<int16_t>(10, 2000)), {}), 0u);
    EXPECT_EQ(m.play(Sound(44100, 1, {1}), {}), 0u) << "past the limit a sound does not play";
    std::vector<int16_t> out = Mix(m, 1);
    EXPECT_EQ(out[0], 32767) << "32 x 2000 clamps";
    m.stopAll();

    std::vector<int16_t> ramp(100);
    for (int i = 0; i < 100; ++i) ramp[static_cast<size_t>(i)] = static_cast<int16_t>(-i);
    VoiceOptions o;
    o.sound = 3;
    const audio::VoiceId id = m.play(Sound(44100, 1, ramp), o);
    m.skip(40);
    EXPECT_TRUE(m.playing(id));
    EXPECT_NEAR(m.positionMs(id), 40 * 1000.0 / 44100, 1e-9);
    out = Mix(m, 1);
    EXPECT_EQ(out[0], -40);
    EXPECT_TRUE(m.soundPlaying(3));
    m.stopSound(3);
    EXPECT_FALSE(m.playing(id));
}

TEST(AudioDecoder, UncompressedSamplesOfBothSizes) {
    swf::SoundFormat f;
    f.format = swf::sound_format::kPcmLittleEndian;
    f.rateCode = 1;
    f.sixteenBit = true;
    f.stereo = true;
    const uint8_t sixteen[] = {0x34, 0x12, 0x00, 0x80, 0xFF, 0xFF, 0x01};  // the odd byte is left over
    Pcm pcm;
    std::string error;
    ASSERT_TRUE(audio::DecodeSound(f, sixteen, sizeof sixteen, pcm, error)) << error;
    EXPECT_EQ(pcm.rate, 11025u);
    EXPECT_EQ(pcm.channels, 2);
    EXPECT_EQ(pcm.samples, (std::vector<int16_t>{0x1234, -32768}));

    f.format = swf::sound_format::kPcmNativeEndian;
    f.sixteenBit = false;
    f.stereo = false;
    const uint8_t eight[] = {0, 128, 255};
    ASSERT_TRUE(audio::DecodeSound(f, eight, sizeof eight, pcm, error)) << error;
    EXPECT_EQ(pcm.samples, (std::vector<int16_t>{-32768, 0, 32512}));

    // Decoding stops at the limit it is given, and says so.
    f.format = swf::sound_format::kPcmLittleEndian;
    f.sixteenBit = true;
    const std::vector<uint8_t> long16(2000, 1);
    ASSERT_FALSE(audio::DecodeSound(f, long16.data(), long16.size(), pcm, error, 200) && pcm.samples.size() > 100);
    EXPECT_EQ(pcm.samples.size(), 100u);
    EXPECT_NE(error.find("limit"), std::string::npos) << error;

    f.format = 9;  // not a sound format
    EXPECT_FALSE(audio::DecodeSound(f, eight, sizeof eight, pcm, error));
    EXPECT_NE(error.find("format 9"), std::string::npos) << error;
}

}  // namespace
