// The sound tags read into their records: formats and rates, MP3's seek and latency fields,
// StartSound by id and StartSound2 by class name, and tags cut short.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "swf/sound_tags.h"
#include "swf/video_tags.h"

namespace {

swf::Tag TagOf(uint16_t code, const std::vector<uint8_t>& body) {
    return swf::Tag{code, 0, body.data(), static_cast<uint32_t>(body.size())};
}

TEST(SoundTags, DefineSoundReadsItsFormatCountAndSamples) {
    // id 7; ADPCM (1), 22 kHz (2), 16-bit, stereo: 0001 10 1 1; 1000 samples; 3 data bytes.
    const std::vector<uint8_t> adpcm = {7, 0, 0x1B, 0xE8, 0x03, 0, 0, 0xAA, 0xBB, 0xCC};
    swf::DefineSound s;
    ASSERT_TRUE(swf::ReadDefineSound(TagOf(swf::tag::kDefineSound, adpcm), s));
    EXPECT_EQ(s.id, 7);
    EXPECT_EQ(s.format.format, swf::sound_format::kAdpcm);
    EXPECT_EQ(s.format.sampleRate(), 22050u);
    EXPECT_TRUE(s.format.sixteenBit);
    EXPECT_EQ(s.format.channels(), 2);
    EXPECT_EQ(s.sampleCount, 1000u);
    ASSERT_EQ(s.data.size, 3u);
    EXPECT_EQ(s.data.data[0], 0xAA);

    // MP3 (2) at 44 kHz, mono: the data starts after SeekSamples.
    const std::vector<uint8_t> mp3 = {1, 0, 0x2E, 0x80, 0x04, 0, 0, 0x40, 0x02, 0xFF, 0xFB};
    ASSERT_TRUE(swf::ReadDefineSound(TagOf(swf::tag::kDefineSound, mp3), s));
    EXPECT_EQ(s.format.format, swf::sound_format::kMp3);
    EXPECT_EQ(s.format.sampleRate(), 44100u);
    EXPECT_FALSE(s.format.stereo);
    EXPECT_EQ(s.sampleCount, 1152u);
    EXPECT_EQ(s.seekSamples, 576);
    ASSERT_EQ(s.data.size, 2u);
    EXPECT_EQ(s.data.data[0], 0xFF);

    // Nellymoser at 8 kHz keeps its own rate whatever the rate code says.
    const std::vector<uint8_t> nelly = {2, 0, 0x5C, 0, 0, 0, 0};
    ASSERT_TRUE(swf::ReadDefineSound(TagOf(swf::tag::kDefineSound, nelly), s));
    EXPECT_EQ(s.format.sampleRate(), 8000u);

    const std::vector<uint8_t> cut = {7, 0, 0x1B, 0xE8};
    EXPECT_FALSE(swf::ReadDefineSound(TagOf(swf::tag::kDefineSound, cut), s));
}

TEST(SoundTags, StartSoundBySoundIdOrClassNameWithItsInfo) {
    // StartSound: sound 3, SOUNDINFO with SyncStop and a loop count of 4.
    const std::vector<uint8_t> start = {3, 0, 0x24, 4, 0};
    swf::StartSound s;
    ASSERT_TRUE(swf::ReadStartSound(TagOf(swf::tag::kStartSound, start), s));
    EXPECT_EQ(s.soundId, 3);
    EXPECT_TRUE(s.info.syncStop);
    ASSERT_TRUE(s.info.loopCount.has_value());
    EXPECT_EQ(*s.info.loopCount, 4);

    const std::vector<uint8_t> start2 = {'b', 'e', 'e', 'p', 0, 0x00};
    ASSERT_TRUE(swf::ReadStartSound(TagOf(swf::tag::kStartSound2, start2), s));
    EXPECT_EQ(s.className, "beep");
    EXPECT_EQ(s.soundId, 0);
    EXPECT_FALSE(s.info.syncStop);

    const std::vector<uint8_t> noInfo = {3, 0};
    EXPECT_FALSE(swf::ReadStartSound(TagOf(swf::tag::kStartSound, noInfo), s));
}

TEST(SoundTags, StreamHeadAndBlocksReadTheirFormatAndMp3Counts) {
    // Playback 44 kHz 16-bit stereo (0000 11 1 1); stream MP3 22 kHz 16-bit mono (0010 10 1 0);
    // 576 samples a block; latency 1104.
    const std::vector<uint8_t> head = {0x0F, 0x2A, 0x40, 0x02, 0x50, 0x04};
    swf::SoundStreamHead h;
    ASSERT_TRUE(swf::ReadSoundStreamHead(TagOf(swf::tag::kSoundStreamHead2, head), h));
    EXPECT_EQ(h.playback.sampleRate(), 44100u);
    EXPECT_TRUE(h.playback.stereo);
    EXPECT_EQ(h.stream.format, swf::sound_format::kMp3);
    EXPECT_EQ(h.stream.sampleRate(), 22050u);
    EXPECT_FALSE(h.stream.stereo);
    EXPECT_EQ(h.samplesPerBlock, 576);
    EXPECT_EQ(h.latencySeek, 1104);

    const std::vector<uint8_t> block = {0x40, 0x02, 0x10, 0x00, 0xFF, 0xFB, 0x90};
    swf::SoundStreamBlock b;
    ASSERT_TRUE(swf::ReadSoundStreamBlock(TagOf(swf::tag::kSoundStreamBlock, block), true, b));
    EXPECT_EQ(b.sampleCount, 576);
    EXPECT_EQ(b.seekSamples, 16);
    EXPECT_EQ(b.data.size, 3u);
    ASSERT_TRUE(swf::ReadSoundStreamBlock(TagOf(swf::tag::kSoundStreamBlock, block), false, b));
    EXPECT_EQ(b.data.size, block.size()) << "an uncompressed block is all samples";

    const std::vector<uint8_t> shortHead = {0x0F};
    EXPECT_FALSE(swf::ReadSoundStreamHead(TagOf(swf::tag::kSoundStreamHead, shortHead), h));
    const std::vector<uint8_t> shortBlock = {0x40};
    EXPECT_FALSE(swf::ReadSoundStreamBlock(TagOf(swf::tag::kSoundStreamBlock, shortBlock), true, b));
}

TEST(VideoTags, StreamHeaderAndFrames) {
    // id 3, 12 frames, 320 x 240, deblocking 2 and smoothing, VP6.
    const std::vector<uint8_t> head = {3, 0, 12, 0, 0x40, 0x01, 0xF0, 0x00, 0x05, 4};
    swf::DefineVideoStream v;
    ASSERT_TRUE(swf::ReadDefineVideoStream(TagOf(swf::tag::kDefineVideoStream, head), v));
    EXPECT_EQ(v.id, 3);
    EXPECT_EQ(v.frameCount, 12);
    EXPECT_EQ(v.width, 320);
    EXPECT_EQ(v.height, 240);
    EXPECT_EQ(v.deblocking, 2);
    EXPECT_TRUE(v.smoothing);
    EXPECT_EQ(v.codec, swf::video_codec::kVp6);
    const std::vector<uint8_t> cut(head.begin(), head.end() - 1);
    EXPECT_FALSE(swf::ReadDefineVideoStream(TagOf(swf::tag::kDefineVideoStream, cut), v));

    const std::vector<uint8_t> frame = {3, 0, 7, 0, 0xAB, 0xCD};
    swf::VideoFrame f;
    ASSERT_TRUE(swf::ReadVideoFrame(TagOf(swf::tag::kVideoFrame, frame), f));
    EXPECT_EQ(f.streamId, 3);
    EXPECT_EQ(f.frame, 7);
    ASSERT_EQ(f.data.size, 2u);
    EXPECT_EQ(f.data.data[1], 0xCD);
    EXPECT_FALSE(swf::ReadVideoFrame(TagOf(swf::tag::kVideoFrame, {3, 0, 7}), f));
}

}  // namespace
