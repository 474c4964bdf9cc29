// Files from our RIFF writer, read back by ffprobe and ffmpeg and walked chunk by chunk.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "avi/avi_writer.h"
#include "avi_test_frames.h"
#include "support/avi_layout.h"
#include "support/temp_dir.h"
#ifndef _WIN32
#include "support/ffmpeg_tools.h"
#endif

namespace {

using namespace avi;
using namespace testing_support;

constexpr uint64_t kGiB = 1ull << 30;

// Writes `count` pattern frames; returns the close status.
AviResult WriteMovie(const std::string& path, int32_t period, int width, int height, int count,
                     const RiffWriterOptions& options = RiffWriterOptions()) {
    AviWriter* w = OpenAviWriter(path.c_str(), period, nullptr, AviBackendKind::kRiff, options);
    if (w == nullptr) return avierr::kFileOpen;
    for (int k = 0; k < count; ++k) {
        const auto pixels = avi_test::BottomUpFrame(k, width, height);
        const DibFrame frame = MakeDibFrame(width, height, pixels.data());
        if (AviResult r = AppendAviFrame(w, &frame); r != avierr::kOk) {
            CloseAviWriter(w);
            return r;
        }
    }
    return CloseAviWriter(w);
}

// 16-bit stereo PCM at 44.1 kHz, 1837 sample frames a movie frame, every sample its own
// number (left) and its negation (right).
std::vector<int16_t> FrameSound(int frame) {
    std::vector<int16_t> samples;
    for (int i = 0; i < 1837; ++i) {
        const int n = (frame * 1837 + i) % 30000;
        samples.push_back(static_cast<int16_t>(n));
        samples.push_back(static_cast<int16_t>(-n));
    }
    return samples;
}

// Frames with their sound, or (silent) with an audio stream that never gets any.
AviResult WriteMovieWithSound(const std::string& path, int count, bool silent, const RiffWriterOptions& options) {
    AviWriter* w = OpenAviWriter(path.c_str(), 40, nullptr, AviBackendKind::kRiff, options);
    if (w == nullptr) return avierr::kFileOpen;
    const WaveFormatEx pcm = avi_test::StereoPcm();
    if (AviResult r = EnableAviWriterAudio(w, &pcm); r != avierr::kOk) return r;
    for (int k = 0; k < count; ++k) {
        const auto pixels = avi_test::BottomUpFrame(k, 16, 8);
        const DibFrame frame = MakeDibFrame(16, 8, pixels.data());
        if (k > 0 && !silent) {  // the first frame's sound goes with it as silence
            const std::vector<int16_t> sound = FrameSound(k);
            if (AviResult r = AppendAviAudio(w, sound.data(), static_cast<uint32_t>(sound.size() * 2)); r != avierr::kOk) return r;
        } else if (k == 0 && !silent) {
            EXPECT_EQ(AppendAviAudio(w, nullptr, 0), avierr::kError) << "no stream before the first frame";
        }
        if (AviResult r = AppendAviFrame(w, &frame); r != avierr::kOk) return r;
        if (k == 0 && !silent) EXPECT_EQ(AppendAviSilence(w, 1837), avierr::kOk);
    }
    return CloseAviWriter(w);
}

// Checks that every size in the file adds up and returns the top-level lists.
std::vector<RiffChunk> Walk(const std::string& path) {
    std::vector<RiffChunk> top;
    std::string error;
    EXPECT_TRUE(ReadRiffTree(path, top, error)) << error;
    uint64_t end = 0;
    for (const RiffChunk& c : top) end = c.offset + 8 + c.size;
    EXPECT_EQ(end, std::filesystem::file_size(path)) << "the RIFF lists cover the file exactly";
    return top;
}

#ifndef _WIN32
class FfmpegCheck : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveFfmpegTools()) GTEST_SKIP() << "ffprobe and ffmpeg are not installed";
    }
    TempDir dir_;
};

TEST_F(FfmpegCheck, ReadsEveryFrameBackExactlyAlphaIncluded) {
    const std::string path = dir_.file("pattern.avi");
    ASSERT_EQ(WriteMovie(path, 40, 16, 8, 5), avierr::kOk);
    const ProbedVideo v = ProbeAvi(path);
    ASSERT_TRUE(v.ok) << v.output;
    EXPECT_EQ(v.streams, 1);
    EXPECT_EQ(v.codecType, "video");
    EXPECT_EQ(v.codecName, "rawvideo");
    EXPECT_EQ(v.pixFmt, "bgra");
    EXPECT_EQ(v.width, 16);
    EXPECT_EQ(v.height, 8);
    EXPECT_EQ(v.rFrameRate, "25/1");
    EXPECT_EQ(v.packets, 5);
    std::string decoded, errors;
    ASSERT_TRUE(DecodeAviToBgra(path, decoded, &errors)) << errors;
    EXPECT_TRUE(decoded == avi_test::TopDownBytes(0, 5, 16, 8)) << "decoded bytes differ";
}

TEST_F(FfmpegCheck, SoundBesideTheFramesInEverySegment) {
    RiffWriterOptions options;
    options.segmentBytes = 64 * 1024;
    options.indexEntries = 64;
    const std::string path = dir_.file("sound.avi");
    const int frames = 30;
    ASSERT_EQ(WriteMovieWithSound(path, frames, false, options), avierr::kOk);
    std::string probe;
    const std::vector<ProbedStream> streams = ProbeStreams(path, &probe);
    ASSERT_EQ(streams.size(), 2u) << probe;
    EXPECT_EQ(streams[0].packets, frames);
    EXPECT_EQ(streams[1].codecName, "pcm_s16le");
    EXPECT_EQ(streams[1].frames, frames * 1837) << probe;
    std::vector<int16_t> sound;
    std::string errors;
    ASSERT_TRUE(DecodeAudio(path, sound, &errors)) << errors;
    ASSERT_EQ(sound.size(), size_t{2} * frames * 1837);
    for (size_t i = 0; i < 2 * 1837; ++i) ASSERT_EQ(sound[i], 0) << "the first frame's silence, sample " << i;
    std::vector<int16_t> expected;
    for (int k = 1; k < frames; ++k) {
        const std::vector<int16_t> s = FrameSound(k);
        expected.insert(expected.end(), s.begin(), s.end());
    }
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), sound.begin() + 2 * 1837)) << "every sample in its place";
    std::string decoded;
    ASSERT_TRUE(DecodeAviToBgra(path, decoded, &errors)) << errors;
    EXPECT_TRUE(decoded == avi_test::TopDownBytes(0, frames, 16, 8));

    // Each segment holds both streams, each with its own standard index, listed in its
    // stream's super index; the legacy index names both.
    const auto top = Walk(path);
    ASSERT_GE(top.size(), 3u);
    for (const RiffChunk& riff : top) {
        const RiffChunk* movi = riff.find("movi");
        ASSERT_NE(movi, nullptr);
        EXPECT_EQ(movi->count("ix00"), 1u);
        EXPECT_EQ(movi->count("ix01"), 1u);
        EXPECT_EQ(movi->count("00db"), movi->count("01wb")) << "one audio chunk a frame";
        EXPECT_LE(riff.size + 8u, options.segmentBytes);
    }
    const RiffChunk* hdrl = top[0].find("hdrl");
    auto streamLists = [](const RiffChunk* h) {
        return std::count_if(h->children.begin(), h->children.end(), [](const RiffChunk& c) { return c.listType == "strl"; });
    };
    ASSERT_EQ(streamLists(hdrl), 2);
    const RiffChunk& audio = hdrl->children[2];
    ASSERT_EQ(audio.listType, "strl");
    const std::string super = ReadRange(path, audio.find("indx")->offset + 8, audio.find("indx")->size);
    EXPECT_EQ(super.substr(8, 4), "01wb");
    uint32_t samples = 0;
    for (uint32_t e = 0; e < Le32(super, 4); ++e) samples += Le32(super, 24 + e * 16 + 12);
    EXPECT_EQ(samples, static_cast<uint32_t>(frames * 1837));
    const RiffChunk* idx1 = top[0].find("idx1");
    ASSERT_NE(idx1, nullptr);
    const std::string legacy = ReadRange(path, idx1->offset + 8, idx1->size);
    // Frame 0, then before frame 1 the silence queued after frame 0 and frame 1's sound,
    // each its own chunk.
    EXPECT_EQ(legacy.substr(0, 4), "00db");
    EXPECT_EQ(legacy.substr(16, 4), "01wb");
    EXPECT_EQ(legacy.substr(32, 4), "01wb");
    EXPECT_EQ(legacy.substr(48, 4), "00db");
}

TEST_F(FfmpegCheck, AnAudioStreamThatNeverSoundsIsLeftOut) {
    const std::string path = dir_.file("silent.avi");
    ASSERT_EQ(WriteMovieWithSound(path, 5, true, RiffWriterOptions()), avierr::kOk);
    const std::vector<ProbedStream> streams = ProbeStreams(path);
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0].packets, 5);
    const auto top = Walk(path);
    const RiffChunk* hdrl = top[0].find("hdrl");
    EXPECT_EQ(std::count_if(hdrl->children.begin(), hdrl->children.end(),
                            [](const RiffChunk& c) { return c.listType == "strl"; }),
              1);
    EXPECT_EQ(hdrl->count("JUNK"), 1u) << "its header's room stays as a chunk readers skip";
    EXPECT_EQ(Le32(ReadRange(path, hdrl->find("avih")->offset + 8, 56), 24), 1u) << "one stream";
}

TEST_F(FfmpegCheck, PeriodBecomesTheRate) {
    const std::pair<int32_t, const char*> cases[] = {{33, "1000/33"}, {41, "1000/41"}, {1000, "1/1"}, {3, "1000/3"}};
    for (const auto& [period, rate] : cases) {
        const std::string path = dir_.file("rate.avi");
        ASSERT_EQ(WriteMovie(path, period, 4, 4, 2), avierr::kOk);
        const ProbedVideo v = ProbeAvi(path);
        EXPECT_EQ(v.rFrameRate, rate) << period << " ms: " << v.output;
        EXPECT_EQ(v.packets, 2);
    }
}

TEST_F(FfmpegCheck, OpenDmlFileReadsWhole) {
    // Segments of 64 KiB with 4 KiB frames: many AVIX lists in a small file.
    RiffWriterOptions options;
    options.segmentBytes = 64 * 1024;
    options.indexEntries = 64;
    const std::string path = dir_.file("odml.avi");
    ASSERT_EQ(WriteMovie(path, 40, 32, 32, 50, options), avierr::kOk);
    const ProbedVideo v = ProbeAvi(path);
    ASSERT_TRUE(v.ok) << v.output;
    EXPECT_EQ(v.packets, 50);
    std::string decoded, errors;
    ASSERT_TRUE(DecodeAviToBgra(path, decoded, &errors)) << errors;
    EXPECT_EQ(decoded.size(), 50u * 32 * 32 * 4);
    EXPECT_TRUE(decoded == avi_test::TopDownBytes(0, 50, 32, 32)) << "decoded bytes differ";
}

TEST_F(FfmpegCheck, EmptyStreamIsStillAFile) {
    const std::string path = dir_.file("empty.avi");
    AviWriter* w = OpenAviWriter(path.c_str(), 40, nullptr, AviBackendKind::kRiff);
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(CloseAviWriter(w), avierr::kOk);
    Walk(path);
    const ProbedVideo v = ProbeAvi(path);
    EXPECT_TRUE(v.ok) << v.output;
    EXPECT_EQ(v.streams, 0);
}

#endif  // !_WIN32

class RiffLayout : public ::testing::Test {
protected:
    TempDir dir_;
};

TEST_F(RiffLayout, SmallFileIsPlainAviWithLegacyIndex) {
    const std::string path = dir_.file("small.avi");
    ASSERT_EQ(WriteMovie(path, 40, 6, 3, 4), avierr::kOk);
    const auto top = Walk(path);
    ASSERT_EQ(top.size(), 1u);
    const RiffChunk& riff = top[0];
    EXPECT_EQ(riff.listType, "AVI ");
    const RiffChunk* hdrl = riff.find("hdrl");
    const RiffChunk* movi = riff.find("movi");
    const RiffChunk* idx1 = riff.find("idx1");
    ASSERT_TRUE(hdrl && movi && idx1);
    EXPECT_EQ(movi->count("00db"), 4u);
    EXPECT_EQ(movi->count("ix00"), 1u);
    EXPECT_EQ(idx1->size, 4u * 16);

    const RiffChunk* strl = hdrl->find("strl");
    ASSERT_NE(strl, nullptr);
    const RiffChunk* strh = strl->find("strh");
    ASSERT_NE(strh, nullptr);
    const std::string h = ReadRange(path, strh->offset + 8, strh->size);
    EXPECT_EQ(h.substr(0, 4), "vids");
    EXPECT_EQ(Le32(h, 4), 0u);           // fccHandler, as the stream was created
    EXPECT_EQ(Le32(h, 20), 40u);        // dwScale
    EXPECT_EQ(Le32(h, 24), 1000u);      // dwRate
    EXPECT_EQ(Le32(h, 32), 4u);         // dwLength
    EXPECT_EQ(Le32(h, 36), 6u * 3 * 4);  // dwSuggestedBufferSize

    const std::string avih = ReadRange(path, hdrl->find("avih")->offset + 8, 56);
    EXPECT_EQ(Le32(avih, 0), 40000u);  // microseconds per frame
    EXPECT_EQ(Le32(avih, 16), 4u);     // total frames
    EXPECT_EQ(Le32(avih, 24), 1u);     // streams

    // idx1 offsets count from the 'movi' fourcc and land on the frame chunks.
    const std::string index = ReadRange(path, idx1->offset + 8, idx1->size);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(index.substr(i * 16, 4), "00db");
        EXPECT_EQ(Le32(index, i * 16 + 4), 0x10u);  // key frame
        const uint64_t chunkAt = movi->offset + 8 + Le32(index, i * 16 + 8);
        EXPECT_EQ(ReadRange(path, chunkAt, 4), "00db");
        EXPECT_EQ(Le32(index, i * 16 + 12), 72u);
    }
}

TEST_F(RiffLayout, OpenDmlSegmentsAreAllIndexed) {
    RiffWriterOptions options;
    options.segmentBytes = 20 * 1024;
    options.indexEntries = 64;
    const std::string path = dir_.file("segments.avi");
    const int frames = 30;
    ASSERT_EQ(WriteMovie(path, 40, 16, 16, frames, options), avierr::kOk);  // 1 KiB frames
    const auto top = Walk(path);
    ASSERT_GE(top.size(), 2u);
    EXPECT_EQ(top[0].listType, "AVI ");
    uint32_t framesInSegments = 0;
    for (size_t i = 0; i < top.size(); ++i) {
        EXPECT_EQ(top[i].id, "RIFF");
        if (i > 0) {
            EXPECT_EQ(top[i].listType, "AVIX");
        }
        EXPECT_LE(top[i].size + 8u, options.segmentBytes);
        const RiffChunk* movi = top[i].find("movi");
        ASSERT_NE(movi, nullptr);
        framesInSegments += static_cast<uint32_t>(movi->count("00db"));
        EXPECT_EQ(movi->count("ix00"), 1u);
    }
    EXPECT_EQ(framesInSegments, static_cast<uint32_t>(frames));

    // The super index lists each segment's ix00 with its frame count.
    const RiffChunk* strl = top[0].find("hdrl")->find("strl");
    const RiffChunk* indx = strl->find("indx");
    ASSERT_NE(indx, nullptr);
    const std::string s = ReadRange(path, indx->offset + 8, indx->size);
    const uint32_t entries = Le32(s, 4);
    EXPECT_EQ(entries, top.size());
    uint32_t total = 0;
    for (uint32_t e = 0; e < entries; ++e) {
        const uint64_t at = Le64(s, 24 + e * 16);
        const uint32_t duration = Le32(s, 24 + e * 16 + 12);
        const std::string ix = ReadRange(path, at, 32);
        EXPECT_EQ(ix.substr(0, 4), "ix00");
        EXPECT_EQ(Le32(ix, 12), duration) << "entries in use";
        EXPECT_EQ(Le32(s, 24 + e * 16 + 8), 8 + Le32(ix, 4));
        // The first entry of each standard index points at a frame's data.
        const uint64_t base = Le64(ix, 20);
        const std::string first = ReadRange(path, at + 32, 8);
        EXPECT_EQ(ReadRange(path, base + Le32(first, 0) - 8, 4), "00db");
        total += duration;
    }
    EXPECT_EQ(total, static_cast<uint32_t>(frames));

    const RiffChunk* dmlh = top[0].find("hdrl")->find("odml")->find("dmlh");
    EXPECT_EQ(Le32(ReadRange(path, dmlh->offset + 8, 4), 0), static_cast<uint32_t>(frames));
    const std::string avih = ReadRange(path, top[0].find("hdrl")->find("avih")->offset + 8, 56);
    EXPECT_EQ(Le32(avih, 16), static_cast<uint32_t>(top[0].find("movi")->count("00db")))
        << "avih counts the first RIFF list only";
}

TEST_F(RiffLayout, OpeningOverAnExistingFileReplacesIt) {
    const std::string path = dir_.file("again.avi");
    WriteFileBytes(path, std::string(100000, 'z'));
    ASSERT_EQ(WriteMovie(path, 40, 2, 2, 1), avierr::kOk);
    EXPECT_LT(std::filesystem::file_size(path), 100000u);
    Walk(path);
}

TEST_F(RiffLayout, UnwritableFileGivesNoWriter) {
    EXPECT_EQ(OpenAviWriter(dir_.file("no/such/folder.avi").c_str(), 40, nullptr, AviBackendKind::kRiff), nullptr);
    EXPECT_EQ(OpenAviWriter("", 40, nullptr, AviBackendKind::kRiff), nullptr);
    EXPECT_EQ(OpenAviWriter(dir_.file("zero.avi").c_str(), 0, nullptr, AviBackendKind::kRiff), nullptr);
    EXPECT_FALSE(std::filesystem::exists(dir_.file("zero.avi"))) << "refused before the file is made";
}

TEST_F(RiffLayout, OnlyUncompressedFramesAreOffered) {
    const std::string path = dir_.file("codec.avi");
    AviWriter* w = OpenAviWriter(path.c_str(), 40, nullptr, AviBackendKind::kRiff);
    std::vector<uint32_t> pixels(4);
    const DibFrame frame = MakeDibFrame(2, 2, pixels.data());
    AviCompressOptions xvid;
    xvid.fccHandler = FourCC('X', 'V', 'I', 'D');
    EXPECT_EQ(SetAviWriterCompression(w, &frame, &xvid, true, nullptr), avierr::kNoCompressor);
    EXPECT_EQ(AppendAviFrame(w, &frame), avierr::kError);
    EXPECT_EQ(CloseAviWriter(w), avierr::kOk);

    w = OpenAviWriter(path.c_str(), 40, nullptr, AviBackendKind::kRiff);
    AviCompressOptions dib;
    dib.fccHandler = kHandlerUncompressed;
    EXPECT_EQ(SetAviWriterCompression(w, &frame, &dib, true, nullptr), avierr::kOk);
    EXPECT_EQ(AppendAviFrame(w, &frame), avierr::kOk);
    EXPECT_EQ(CloseAviWriter(w), avierr::kOk);
    const auto top = Walk(path);
    EXPECT_EQ(top[0].find("movi")->count("00db"), 1u);
}

TEST_F(RiffLayout, OddSizedFramesArePaddedToEvenChunks) {
    // A 24-bit frame of 1 x 1 pixels is 3 bytes: its chunk takes a pad byte.
    const std::string path = dir_.file("odd.avi");
    AviWriter* w = OpenAviWriter(path.c_str(), 40, nullptr, AviBackendKind::kRiff);
    const uint8_t pixel[4] = {1, 2, 3, 0};
    DibFrame frame = MakeDibFrame(1, 1, pixel);
    frame.header.biBitCount = 24;
    frame.header.biSizeImage = 3;
    for (int i = 0; i < 3; ++i) ASSERT_EQ(AppendAviFrame(w, &frame), avierr::kOk);
    ASSERT_EQ(CloseAviWriter(w), avierr::kOk);
    const auto top = Walk(path);
    const RiffChunk* movi = top[0].find("movi");
    ASSERT_EQ(movi->count("00db"), 3u);
    EXPECT_EQ(movi->children[1].offset - movi->children[0].offset, 12u);
}

// More than 2 GiB of frames: past the first RIFF list and past every 32-bit signed offset,
// in the 32-bit Windows build too. Natively ffprobe then reads the whole file.
TEST_F(RiffLayout, LargeFileOverTwoGibibytesStaysWhole) {
    const int width = 1920, height = 1080;
    const uint64_t frameBytes = uint64_t{width} * height * 4;
    const int frames = static_cast<int>(2 * kGiB / frameBytes) + 20;
    const std::string path = dir_.file("large.avi");
    {
        AviWriter* w = OpenAviWriter(path.c_str(), 40, nullptr, AviBackendKind::kRiff);
        ASSERT_NE(w, nullptr);
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
        for (int k = 0; k < frames; ++k) {
            // Cheap to make, different in every frame: the first word of each row carries k.
            for (int row = 0; row < height; ++row) {
                pixels[static_cast<size_t>(row) * width] = 0xA5000000u | static_cast<uint32_t>(k << 12 | row);
            }
            const DibFrame frame = MakeDibFrame(width, height, pixels.data());
            ASSERT_EQ(AppendAviFrame(w, &frame), avierr::kOk) << "frame " << k;
        }
        ASSERT_EQ(CloseAviWriter(w), avierr::kOk);
    }
    EXPECT_GT(std::filesystem::file_size(path), 2 * kGiB);
    const auto top = Walk(path);
    ASSERT_GE(top.size(), 3u) << "one RIFF AVI list and AVIX lists after it";
    size_t stored = 0;
    for (const RiffChunk& riff : top) stored += riff.find("movi")->count("00db");
    EXPECT_EQ(stored, static_cast<size_t>(frames));
    // The last frame's chunk, found through the super index, holds the last frame.
    const RiffChunk& lastMovi = *top.back().find("movi");
    const RiffChunk& lastFrame = lastMovi.children[lastMovi.children.size() - 2];
    EXPECT_EQ(Le32(ReadRange(path, lastFrame.offset + 8, 4), 0),
              0xA5000000u | static_cast<uint32_t>((frames - 1) << 12));
#ifndef _WIN32
    if (HaveFfmpegTools()) {
        const ProbedVideo v = ProbeAvi(path);
        ASSERT_TRUE(v.ok) << v.output;
        EXPECT_EQ(v.packets, frames);
        EXPECT_EQ(v.width, width);
        EXPECT_EQ(v.height, height);
    }
#endif
}

}  // namespace
