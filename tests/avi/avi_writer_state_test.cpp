// The writer's order of checks and its sticky failure, over a scripted backend that records
// every call and fails the ones a test asks it to.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "avi/avi_backend.h"
#include "avi/avi_writer.h"

namespace {

using namespace avi;

struct Script {
    std::vector<std::string> calls;
    AviResult createResult = avierr::kOk;
    AviResult dialogResult = avierr::kOk;
    AviResult makeResult = avierr::kOk;
    AviResult formatResult = avierr::kOk;
    AviResult writeResult = avierr::kOk;
    VideoStreamInfo info;
    uint32_t handler = 0;
    std::vector<int32_t> positions;
};

class ScriptedBackend final : public AviBackend {
public:
    explicit ScriptedBackend(Script& s) : s_(s) {}
    AviResult createVideoStream(const VideoStreamInfo& info) override {
        s_.calls.push_back("create");
        s_.info = info;
        return s_.createResult;
    }
    AviResult chooseCompression(AviCompressOptions& o, void*) override {
        s_.calls.push_back("dialog");
        o.fccHandler = FourCC('m', 'r', 'l', 'e');
        return s_.dialogResult;
    }
    AviResult makeCompressedStream(const AviCompressOptions& o) override {
        s_.calls.push_back("make");
        s_.handler = o.fccHandler;
        return s_.makeResult;
    }
    void freeCompressOptions(AviCompressOptions&) override { s_.calls.push_back("free"); }
    AviResult setFormat(const BitmapInfoHeader& f, uint32_t length) override {
        s_.calls.push_back("format:" + std::to_string(length) + ":" + std::to_string(f.biWidth));
        return s_.formatResult;
    }
    AviResult writeSample(int32_t position, const void*, uint32_t length) override {
        s_.calls.push_back("write:" + std::to_string(length));
        s_.positions.push_back(position);
        return s_.writeResult;
    }
    AviResult close() override {
        s_.calls.push_back("close");
        return avierr::kOk;
    }

private:
    Script& s_;
};

class AviWriterState : public ::testing::Test {
protected:
    AviWriter* open(int32_t period = 40) {
        return OpenAviWriterWithBackend(std::make_unique<ScriptedBackend>(script_), period, nullptr);
    }
    Script script_;
    std::vector<uint32_t> pixels_ = std::vector<uint32_t>(8 * 6, 0x80FF0000u);
    DibFrame frame_ = MakeDibFrame(8, 6, pixels_.data());
};

TEST_F(AviWriterState, FirstAppendCreatesAnUncompressedStream) {
    AviWriter* w = open(40);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(AppendAviFrame(w, &frame_), avierr::kOk);
    EXPECT_EQ(AppendAviFrame(w, &frame_), avierr::kOk);
    EXPECT_EQ(AviWriterFramesWritten(w), 2);
    EXPECT_EQ(script_.calls, (std::vector<std::string>{"create", "make", "format:40:8", "write:192", "write:192"}));
    EXPECT_EQ(script_.handler, kHandlerUncompressed);
    EXPECT_EQ(script_.positions, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(script_.info.fccType, kStreamTypeVideo);
    EXPECT_EQ(script_.info.fccHandler, 0u);
    EXPECT_EQ(script_.info.dwScale, 40u);
    EXPECT_EQ(script_.info.dwRate, 1000u);
    EXPECT_EQ(script_.info.dwSuggestedBufferSize, 8u * 6 * 4);
    EXPECT_EQ(script_.info.frameRight, 8);
    EXPECT_EQ(script_.info.frameBottom, 6);
    EXPECT_EQ(CloseAviWriter(w), avierr::kOk);
}

// An exact rate replaces the period's 1000 / period before the first frame, and only then.
TEST_F(AviWriterState, AnExactRateIsGivenBeforeTheFirstFrame) {
    AviWriter* w = open(41);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(SetAviWriterRate(nullptr, 24, 1), avierr::kBadHandle);
    EXPECT_EQ(SetAviWriterRate(w, 0, 1), avierr::kBadParam);
    EXPECT_EQ(SetAviWriterRate(w, 25, 0), avierr::kBadParam);
    EXPECT_EQ(SetAviWriterRate(w, 25, 2), avierr::kOk);
    EXPECT_EQ(AppendAviFrame(w, &frame_), avierr::kOk);
    EXPECT_EQ(script_.info.dwRate, 25u);
    EXPECT_EQ(script_.info.dwScale, 2u);
    EXPECT_EQ(SetAviWriterRate(w, 24, 1), avierr::kError) << "the stream is made";
    EXPECT_FALSE(AviWriterHasFailed(w));
    EXPECT_EQ(CloseAviWriter(w), avierr::kOk);
}

TEST_F(AviWriterState, CompressionChoiceComesOnceAndBeforeFrames) {
    AviWriter* w = open();
    EXPECT_EQ(SetAviWriterCompression(w, &frame_, nullptr, true, nullptr), avierr::kOk);
    EXPECT_EQ(script_.calls, (std::vector<std::string>{"create", "dialog", "make", "free", "format:40:8"}));
    EXPECT_EQ(script_.handler, FourCC('m', 'r', 'l', 'e'));
    EXPECT_EQ(SetAviWriterCompression(w, &frame_, nullptr, true, nullptr), avierr::kCompressor);
    EXPECT_FALSE(AviWriterHasFailed(w));
    EXPECT_EQ(AppendAviFrame(w, &frame_), avierr::kOk);
    CloseAviWriter(w);

    Script later;
    AviWriter* w2 = OpenAviWriterWithBackend(std::make_unique<ScriptedBackend>(later), 40, nullptr);
    EXPECT_EQ(AppendAviFrame(w2, &frame_), avierr::kOk);
    EXPECT_EQ(SetAviWriterCompression(w2, &frame_, nullptr, false, nullptr), avierr::kCompressor);
    EXPECT_FALSE(AviWriterHasFailed(w2));
    CloseAviWriter(w2);
}

TEST_F(AviWriterState, CallersOptionsAreUsedWithoutADialog) {
    AviWriter* w = open();
    AviCompressOptions options;
    options.fccHandler = FourCC('c', 'v', 'i', 'd');
    EXPECT_EQ(SetAviWriterCompression(w, &frame_, &options, false, nullptr), avierr::kOk);
    EXPECT_EQ(script_.handler, FourCC('c', 'v', 'i', 'd'));
    EXPECT_EQ(script_.calls, (std::vector<std::string>{"create", "make", "free", "format:40:8"}));
    CloseAviWriter(w);
}

TEST_F(AviWriterState, CancelledDialogFailsTheWriterUntilClose) {
    script_.dialogResult = avierr::kUserAbort;
    AviWriter* w = open();
    EXPECT_EQ(SetAviWriterCompression(w, &frame_, nullptr, true, nullptr), avierr::kUserAbort);
    EXPECT_EQ(script_.calls, (std::vector<std::string>{"create", "dialog", "free"}));
    EXPECT_TRUE(AviWriterHasFailed(w));
    EXPECT_EQ(AppendAviFrame(w, &frame_), avierr::kError);
    EXPECT_EQ(SetAviWriterCompression(w, &frame_, nullptr, true, nullptr), avierr::kError);
    EXPECT_EQ(AviWriterFramesWritten(w), 0);
    EXPECT_EQ(script_.calls.size(), 3u) << "nothing reaches the backend after a failure";
    EXPECT_EQ(CloseAviWriter(w), avierr::kOk);
    EXPECT_EQ(script_.calls.back(), "close");
}

TEST_F(AviWriterState, BackendFailuresAreStickyAndPassedOn) {
    const AviResult kDiskFull = avierr::kFileWrite;  // a code of the backend's own, passed on
    struct Case {
        AviResult Script::*field;
        const char* name;
    };
    for (const Case c : {Case{&Script::createResult, "create"}, Case{&Script::makeResult, "make"},
                         Case{&Script::formatResult, "format"}, Case{&Script::writeResult, "write"}}) {
        script_ = Script();
        script_.*c.field = kDiskFull;
        AviWriter* w = open();
        EXPECT_EQ(AppendAviFrame(w, &frame_), kDiskFull) << c.name;
        EXPECT_TRUE(AviWriterHasFailed(w)) << c.name;
        EXPECT_EQ(AviWriterFramesWritten(w), 0) << c.name;
        EXPECT_EQ(AppendAviFrame(w, &frame_), avierr::kError) << c.name;
        EXPECT_EQ(CloseAviWriter(w), avierr::kOk);
    }
}

TEST_F(AviWriterState, FreeFollowsEveryCompressorAttempt) {
    script_.makeResult = avierr::kNoCompressor;
    AviWriter* w = open();
    EXPECT_EQ(SetAviWriterCompression(w, &frame_, nullptr, true, nullptr), avierr::kNoCompressor);
    EXPECT_EQ(script_.calls, (std::vector<std::string>{"create", "dialog", "make", "free"}));
    EXPECT_TRUE(AviWriterHasFailed(w));
    CloseAviWriter(w);
}

TEST_F(AviWriterState, BadArgumentsLeaveTheWriterUsable) {
    AviWriter* w = open();
    EXPECT_EQ(AppendAviFrame(w, static_cast<const DibFrame*>(nullptr)), avierr::kBadParam);
    DibFrame noPixels = MakeDibFrame(8, 6, nullptr);
    EXPECT_EQ(AppendAviFrame(w, &noPixels), avierr::kBadParam);
    DibFrame empty = MakeDibFrame(0, 6, pixels_.data());
    EXPECT_EQ(SetAviWriterCompression(w, &empty, nullptr, false, nullptr), avierr::kBadParam);
    DibFrame palette = frame_;
    palette.header.biBitCount = 8;
    palette.header.biClrUsed = 256;
    EXPECT_EQ(AppendAviFrame(w, &palette), avierr::kBadFormat);
    EXPECT_FALSE(AviWriterHasFailed(w));
    EXPECT_TRUE(script_.calls.empty());

    EXPECT_EQ(AppendAviFrame(w, &frame_), avierr::kOk);
    std::vector<uint32_t> other(9 * 6);
    DibFrame wider = MakeDibFrame(9, 6, other.data());
    EXPECT_EQ(AppendAviFrame(w, &wider), avierr::kBadFormat);
    EXPECT_FALSE(AviWriterHasFailed(w));
    EXPECT_EQ(AppendAviFrame(w, &frame_), avierr::kOk);
    EXPECT_EQ(AviWriterFramesWritten(w), 2);
    CloseAviWriter(w);
}

TEST_F(AviWriterState, AbsentWriterIsABadHandleEverywhere) {
    EXPECT_EQ(AppendAviFrame(nullptr, &frame_), avierr::kBadHandle);
    EXPECT_EQ(AppendAviFrame(nullptr, static_cast<const DibFrame*>(nullptr)), avierr::kBadHandle);
    EXPECT_EQ(SetAviWriterCompression(nullptr, &frame_, nullptr, true, nullptr), avierr::kBadHandle);
    EXPECT_EQ(CloseAviWriter(nullptr), avierr::kBadHandle);
}

TEST_F(AviWriterState, PeriodMustBePositive) {
    EXPECT_EQ(open(0), nullptr);
    EXPECT_EQ(open(-40), nullptr);
    EXPECT_EQ(script_.calls, (std::vector<std::string>{"close", "close"}));
    EXPECT_EQ(OpenAviWriterWithBackend(nullptr, 40, nullptr), nullptr);
}

}  // namespace
