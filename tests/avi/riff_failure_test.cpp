// A disk that fails under the RIFF writer: what was written whole stays readable.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "avi/avi_backend.h"
#include "avi/avi_writer.h"
#include "avi/file_sink.h"
#include "avi_test_frames.h"
#include "support/avi_layout.h"
#include "support/temp_dir.h"
#ifndef _WIN32
#include "support/ffmpeg_tools.h"
#endif

namespace {

using namespace avi;
using namespace testing_support;

// Passes writes to a real file until `fails` says otherwise; a failing write stores half
// of its bytes first, as a disk that fills up midway would.
class FailingSink final : public FileSink {
public:
    using Rule = std::function<bool(size_t writeIndex, size_t size)>;
    FailingSink(std::unique_ptr<FileSink> inner, Rule fails) : inner_(std::move(inner)), fails_(std::move(fails)) {}
    bool write(const void* data, size_t size) override {
        if (fails_(writes_++, size)) {
            inner_->write(data, size / 2);
            return false;
        }
        return inner_->write(data, size);
    }
    bool seek(uint64_t position) override { return inner_->seek(position); }
    bool truncate(uint64_t size) override { return inner_->truncate(size); }
    bool close() override { return inner_->close(); }

private:
    std::unique_ptr<FileSink> inner_;
    Rule fails_;
    size_t writes_ = 0;
};

// A disk of `capacity` bytes: a write that would take the file past it stores what fits
// and fails; writes over bytes already there (the header, rewritten at the close) succeed,
// as they take no new room.
class SmallDisk final : public FileSink {
public:
    SmallDisk(std::unique_ptr<FileSink> inner, uint64_t capacity) : inner_(std::move(inner)), capacity_(capacity) {}
    bool write(const void* data, size_t size) override {
        const uint64_t room = position_ < capacity_ ? capacity_ - position_ : 0;
        if (size > room) {
            if (room > 0) inner_->write(data, static_cast<size_t>(room));
            position_ += room;
            return false;
        }
        if (!inner_->write(data, size)) return false;
        position_ += size;
        return true;
    }
    bool seek(uint64_t position) override {
        position_ = position;
        return inner_->seek(position);
    }
    bool truncate(uint64_t size) override { return inner_->truncate(size); }
    bool close() override { return inner_->close(); }

private:
    std::unique_ptr<FileSink> inner_;
    uint64_t capacity_;
    uint64_t position_ = 0;
};

constexpr int kWidth = 16, kHeight = 16;
constexpr size_t kFrameBytes = kWidth * kHeight * 4;

class RiffFailure : public ::testing::Test {
protected:
    AviWriter* open(FailingSink::Rule rule, const RiffWriterOptions& options = RiffWriterOptions()) {
        auto sink = std::make_unique<FailingSink>(CreateFileSink(path_.c_str()), std::move(rule));
        return OpenAviWriterWithBackend(OpenRiffBackend(std::move(sink), options), 40, nullptr);
    }
    // Appends frames until one fails; returns how many were written.
    int appendUntilFailure(AviWriter* w, int attempts) {
        for (int k = 0; k < attempts; ++k) {
            const auto pixels = avi_test::BottomUpFrame(k, kWidth, kHeight);
            const DibFrame frame = MakeDibFrame(kWidth, kHeight, pixels.data());
            const AviResult r = AppendAviFrame(w, &frame);
            if (r != avierr::kOk) {
                EXPECT_EQ(r, avierr::kFileWrite);
                EXPECT_EQ(AppendAviFrame(w, &frame), avierr::kError) << "the failure sticks";
                return k;
            }
        }
        return attempts;
    }
    void expectReadableWith(int frames) {
        std::vector<RiffChunk> top;
        std::string error;
        ASSERT_TRUE(ReadRiffTree(path_, top, error)) << error;
        ASSERT_FALSE(top.empty());
        EXPECT_EQ(top.back().offset + 8 + top.back().size, std::filesystem::file_size(path_));
        size_t stored = 0;
        for (const RiffChunk& riff : top) stored += riff.find("movi")->count("00db");
        EXPECT_EQ(stored, static_cast<size_t>(frames));
#ifndef _WIN32
        if (!HaveFfmpegTools()) return;
        const ProbedVideo v = ProbeAvi(path_);
        ASSERT_TRUE(v.ok) << v.output;
        EXPECT_EQ(v.packets, frames);
        std::string decoded;
        ASSERT_TRUE(DecodeAviToBgra(path_, decoded));
        EXPECT_TRUE(decoded == avi_test::TopDownBytes(0, frames, kWidth, kHeight));
#endif
    }

    TempDir dir_;
    std::string path_ = dir_.file("failing.avi");
};

TEST_F(RiffFailure, FailedFrameIsCutAndTheFramesBeforeItStay) {
    int frameWrites = 0;
    AviWriter* w = open([&](size_t, size_t size) { return size == kFrameBytes && frameWrites++ == 3; });
    EXPECT_EQ(appendUntilFailure(w, 10), 3);
    EXPECT_EQ(AviWriterFramesWritten(w), 3);
    EXPECT_EQ(CloseAviWriter(w), avierr::kOk);
    expectReadableWith(3);
}

TEST_F(RiffFailure, FailureInALaterSegmentKeepsTheOpenDmlFileWhole) {
    RiffWriterOptions options;
    options.segmentBytes = 8 * 1024;
    options.indexEntries = 64;
    int frameWrites = 0;
    AviWriter* w = open([&](size_t, size_t size) { return size == kFrameBytes && frameWrites++ == 17; }, options);
    EXPECT_EQ(appendUntilFailure(w, 40), 17);
    EXPECT_EQ(CloseAviWriter(w), avierr::kOk);
    expectReadableWith(17);
}

TEST_F(RiffFailure, AFileWithEverySegmentItsHeaderHoldsStopsWholeAndSaysSo) {
    // Room for 4 segments of 8 KiB (1 KiB frames): the frame that would start a fifth is
    // refused as the file being full, and the file closes whole with the frames before it.
    RiffWriterOptions options;
    options.segmentBytes = 8 * 1024;
    options.indexEntries = 4;
    AviWriter* w = open([](size_t, size_t) { return false; }, options);
    int written = 0;
    AviResult refused = avierr::kOk;
    for (int k = 0; k < 100 && refused == avierr::kOk; ++k) {
        const auto pixels = avi_test::BottomUpFrame(k, kWidth, kHeight);
        const DibFrame frame = MakeDibFrame(kWidth, kHeight, pixels.data());
        refused = AppendAviFrame(w, &frame);
        if (refused == avierr::kOk) ++written;
    }
    EXPECT_EQ(refused, avierr::kFileFull);
    EXPECT_GT(written, 12);
    EXPECT_LT(written, 40);
    EXPECT_EQ(CloseAviWriter(w), avierr::kOk);
    expectReadableWith(written);
    std::vector<RiffChunk> top;
    std::string error;
    ASSERT_TRUE(ReadRiffTree(path_, top, error)) << error;
    EXPECT_EQ(top.size(), 4u) << "four RIFF lists";
}

TEST_F(RiffFailure, FullDiskIsReportedAtCloseAndNothingCrashes) {
    size_t budget = 0;
    bool full = false;
    AviWriter* w = open([&](size_t, size_t size) {
        budget += size;
        full = full || budget > 100000;
        return full;
    });
    const int written = appendUntilFailure(w, 100);
    EXPECT_GT(written, 0);
    EXPECT_LT(written, 100);
    EXPECT_EQ(CloseAviWriter(w), avierr::kFileWrite) << "the trailer could not be written";
}

TEST_F(RiffFailure, ADiskThatFillsAnywhereInTheCloseLeavesEveryFrameCounted) {
    // Five frames, then the close: its indexes ('ix00', 'idx1') need the last bytes of the
    // file. For every disk size from where the frames end to where the whole file ends, the
    // file keeps the five frames, its header counts them, and ffprobe reads them with their
    // length; the close says when the index was left out.
    const auto convert = [&](uint64_t capacity) {
        auto sink = std::make_unique<SmallDisk>(CreateFileSink(path_.c_str()), capacity);
        AviWriter* w = OpenAviWriterWithBackend(OpenRiffBackend(std::move(sink), RiffWriterOptions()), 40, nullptr);
        EXPECT_EQ(appendUntilFailure(w, 5), 5);
        return CloseAviWriter(w);
    };
    ASSERT_EQ(convert(1 << 30), avierr::kOk);
    const uint64_t whole = std::filesystem::file_size(path_);
    const uint64_t indexBytes = (8 + 24 + 5 * 8) + (8 + 5 * 16);  // ix00 and idx1
    int lost = 0;
    for (uint64_t capacity = whole - indexBytes; capacity <= whole; capacity += 7) {
        SCOPED_TRACE(capacity);
        const AviResult closed = convert(capacity);
        if (capacity < whole) {
            EXPECT_EQ(closed, avierr::kIndexLost);
            ++lost;
        } else {
            EXPECT_EQ(closed, avierr::kOk);
        }
        expectReadableWith(5);
        const std::string header = ReadRange(path_, 0, 64);
        ASSERT_EQ(header.substr(24, 4), "avih");
        uint32_t frames = 0, flags = 0;
        std::memcpy(&flags, header.data() + 32 + 12, 4);
        std::memcpy(&frames, header.data() + 32 + 16, 4);
        EXPECT_EQ(frames, 5u) << "the header counts the frames";
        EXPECT_EQ((flags & 0x10) != 0, closed == avierr::kOk) << "it claims an index only when there is one";
#ifndef _WIN32
        if (HaveFfmpegTools()) EXPECT_NEAR(ProbeAvi(path_).duration, 5 * 0.040, 1e-3) << "five frames of 40 ms";
#endif
    }
    EXPECT_GT(lost, 10);
}

TEST_F(RiffFailure, AFailedFrameTakesItsSoundWithIt) {
    // The disk fails inside the fourth frame's audio chunk: the file keeps three frames and
    // exactly their sound.
    int audioWrites = 0;
    AviWriter* w = open([&](size_t, size_t size) { return size == 400 && audioWrites++ == 3; });
    const WaveFormatEx pcm = avi_test::StereoPcm();
    ASSERT_EQ(EnableAviWriterAudio(w, &pcm), avierr::kOk);
    std::vector<int16_t> sound(200, 1000);
    int written = 0;
    for (int k = 0; k < 10; ++k) {
        const auto pixels = avi_test::BottomUpFrame(k, kWidth, kHeight);
        const DibFrame frame = MakeDibFrame(kWidth, kHeight, pixels.data());
        if (k > 0 && AppendAviAudio(w, sound.data(), 400) != avierr::kOk) break;
        if (AppendAviFrame(w, &frame) != avierr::kOk) break;
        ++written;
    }
    EXPECT_EQ(written, 4) << "frame 0 without sound, then three with it";
    EXPECT_EQ(CloseAviWriter(w), avierr::kOk);
    std::vector<RiffChunk> top;
    std::string error;
    ASSERT_TRUE(ReadRiffTree(path_, top, error)) << error;
    EXPECT_EQ(top.back().offset + 8 + top.back().size, std::filesystem::file_size(path_));
    EXPECT_EQ(top[0].find("movi")->count("00db"), 4u);
    EXPECT_EQ(top[0].find("movi")->count("01wb"), 3u);
#ifndef _WIN32
    if (!HaveFfmpegTools()) return;
    const std::vector<ProbedStream> streams = ProbeStreams(path_);
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].packets, 4);
    EXPECT_EQ(streams[1].frames, 3 * 100);
    std::vector<int16_t> decoded;
    ASSERT_TRUE(DecodeAudio(path_, decoded));
    EXPECT_EQ(decoded.size(), 3u * 200);
#endif
}

TEST_F(RiffFailure, HeaderWriteFailureFailsTheFirstFrame) {
    AviWriter* w = open([](size_t index, size_t) { return index == 0; });
    std::vector<uint32_t> pixels(kWidth * kHeight);
    const DibFrame frame = MakeDibFrame(kWidth, kHeight, pixels.data());
    EXPECT_EQ(AppendAviFrame(w, &frame), avierr::kFileWrite);
    EXPECT_TRUE(AviWriterHasFailed(w));
    EXPECT_EQ(AviWriterFramesWritten(w), 0);
    CloseAviWriter(w);
}

}  // namespace
