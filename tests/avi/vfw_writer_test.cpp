// The Video for Windows backend under the platform's AVIFIL32. Each test that writes a file
// leaves it in the test output folder with a NAME.expect file (what ffprobe must report) and,
// where frames were written, NAME.raw (the bgra bytes ffmpeg must decode, top row first).
// check_vfw_files.sh then reads them with the native ffprobe and ffmpeg.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <cstring>
#include <fstream>
#include <string>

#include "avi/avi_backend.h"
#include "avi/vfw_writer.h"
#include "avi_test_frames.h"
#include "support/dialog_closer.h"
#include "support/temp_dir.h"

namespace {

using namespace avi;
using testing_support::DialogCloser;

// The output folder as Windows sees it: a Unix path from the test's environment lies on
// Wine's Z: drive.
std::string OutputPath(const std::string& name) {
    std::string dir = testing_support::TestOutputDir().string();
    if (!dir.empty() && dir[0] == '/') dir = "Z:" + dir;
    return dir + "\\" + name;
}

void WriteExpectations(const std::string& name, int frames, const char* rate, int width, int height) {
    std::ofstream expect(OutputPath(name + ".expect"), std::ios::binary | std::ios::trunc);
    expect << "frames=" << frames << "\nrate=" << rate << "\nwidth=" << width << "\nheight=" << height << "\n";
    if (frames > 0) {
        std::ofstream raw(OutputPath(name + ".raw"), std::ios::binary | std::ios::trunc);
        const std::string bytes = avi_test::TopDownBytes(0, frames, width, height);
        raw.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
}

// A 32-bit bottom-up DIB section, as the capture code makes them.
class DibSection {
public:
    DibSection(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    }
    ~DibSection() {
        if (bitmap_) DeleteObject(bitmap_);
    }
    HBITMAP handle() const { return bitmap_; }
    void paint(int k) {
        const auto pixels = avi_test::BottomUpFrame(k, width_, height_);
        std::memcpy(bits_, pixels.data(), pixels.size() * 4);
    }

private:
    int width_, height_;
    HBITMAP bitmap_ = nullptr;
    void* bits_ = nullptr;
};

// Paints and appends pattern frames 0..count-1; true when every append succeeded.
::testing::AssertionResult AppendPatternFrames(AviWriter* w, DibSection& dib, int count) {
    for (int k = 0; k < count; ++k) {
        dib.paint(k);
        if (const AviResult r = AppendAviFrame(w, dib.handle()); r != avierr::kOk) {
            return ::testing::AssertionFailure() << "frame " << k << " gave " << std::hex << r;
        }
    }
    return ::testing::AssertionSuccess();
}

AviWriter* OpenVfw(const std::string& name, int32_t period) {
    return OpenAviWriter(OutputPath(name + ".avi").c_str(), period, nullptr, AviBackendKind::kVideoForWindows);
}

TEST(VfwWriter, DibSectionIsReadAsItsDescription) {
    DibSection dib(16, 8);
    ASSERT_NE(dib.handle(), nullptr);
    DibFrame frame;
    ASSERT_TRUE(DibFrameFromBitmap(dib.handle(), &frame));
    EXPECT_EQ(frame.header.biWidth, 16);
    EXPECT_EQ(frame.header.biHeight, 8);
    EXPECT_EQ(frame.header.biBitCount, 32);
    EXPECT_EQ(frame.header.biSizeImage, 16u * 8 * 4);
    EXPECT_NE(frame.bits, nullptr);
}

TEST(VfwWriter, UncompressedFramesAtTwentyFivePerSecond) {
    DibSection dib(16, 8);
    AviWriter* w = OpenVfw("vfw-25fps", 40);
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(AppendPatternFrames(w, dib, 5));
    EXPECT_EQ(AviWriterFramesWritten(w), 5);
    EXPECT_EQ(CloseAviWriter(w), avierr::kOk);
    WriteExpectations("vfw-25fps", 5, "25/1", 16, 8);
}

TEST(VfwWriter, PeriodOfThirtyThreeMsIsNotThirtyFramesPerSecond) {
    DibSection dib(8, 8);
    AviWriter* w = OpenVfw("vfw-33ms", 33);
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(AppendPatternFrames(w, dib, 2));
    CloseAviWriter(w);
    WriteExpectations("vfw-33ms", 2, "1000/33", 8, 8);
}

TEST(VfwWriter, ConfirmedDialogGivesTheChosenUncompressedStream) {
    DibSection dib(12, 6);
    AviWriter* w = OpenVfw("vfw-dialog", 40);
    ASSERT_NE(w, nullptr);
    AviCompressOptions options;
    {
        DialogCloser ok("Video Compression", IDOK);
        EXPECT_EQ(SetAviWriterCompression(w, dib.handle(), &options, true, nullptr), avierr::kOk);
        EXPECT_TRUE(ok.answered());
    }
    EXPECT_EQ(SetAviWriterCompression(w, dib.handle(), &options, true, nullptr), avierr::kCompressor);
    EXPECT_FALSE(AviWriterHasFailed(w));
    ASSERT_TRUE(AppendPatternFrames(w, dib, 3));
    EXPECT_EQ(CloseAviWriter(w), avierr::kOk);
    WriteExpectations("vfw-dialog", 3, "25/1", 12, 6);
}

TEST(VfwWriter, CancelledDialogStopsEveryLaterFrame) {
    DibSection dib(8, 4);
    AviWriter* w = OpenVfw("vfw-cancel", 40);
    ASSERT_NE(w, nullptr);
    {
        DialogCloser cancel("Video Compression", IDCANCEL);
        EXPECT_EQ(SetAviWriterCompression(w, dib.handle(), nullptr, true, nullptr), avierr::kUserAbort);
        EXPECT_TRUE(cancel.answered());
    }
    EXPECT_EQ(AppendAviFrame(w, dib.handle()), avierr::kError);
    EXPECT_EQ(AviWriterFramesWritten(w), 0);
    EXPECT_EQ(CloseAviWriter(w), avierr::kOk);
    EXPECT_TRUE(std::filesystem::exists(OutputPath("vfw-cancel.avi")));
}

// The platform's AVI 1.0 files stop at 2 GiB; the backend refuses the frame that would pass
// its limit, so the file keeps every frame before it and the writer knows it failed. A
// small limit stands in for the real one.
TEST(VfwWriter, FramesPastTheFileLimitAreRefusedAndTheFileKeepsTheRest) {
    DibSection dib(8, 8);  // 256 bytes a frame: 280 in the file with its chunk header and index entry
    const std::string path = OutputPath("vfw-limit.avi");
    AviWriter* w = OpenAviWriterWithBackend(OpenVfwBackend(path.c_str(), 64 * 1024 + 3 * 280 + 100), 40, nullptr);
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(AppendPatternFrames(w, dib, 3));
    EXPECT_EQ(AppendAviFrame(w, dib.handle()), avierr::kFileWrite);
    EXPECT_TRUE(AviWriterHasFailed(w));
    EXPECT_EQ(AppendAviFrame(w, dib.handle()), avierr::kError) << "the failure is sticky";
    EXPECT_EQ(AviWriterFramesWritten(w), 3);
    EXPECT_EQ(CloseAviWriter(w), avierr::kOk);
    WriteExpectations("vfw-limit", 3, "25/1", 8, 8);
}

TEST(VfwWriter, DeviceDependentBitmapIsRefusedAndChangesNothing) {
    HDC screen = GetDC(nullptr);
    HBITMAP ddb = CreateCompatibleBitmap(screen, 8, 8);
    ReleaseDC(nullptr, screen);
    ASSERT_NE(ddb, nullptr);
    DibFrame frame;
    EXPECT_FALSE(DibFrameFromBitmap(ddb, &frame));

    AviWriter* w = OpenVfw("vfw-ddb", 40);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(AppendAviFrame(w, ddb), avierr::kBadParam);
    EXPECT_EQ(SetAviWriterCompression(w, ddb, nullptr, false, nullptr), avierr::kBadParam);
    EXPECT_EQ(AppendAviFrame(w, static_cast<HBITMAP>(nullptr)), avierr::kBadParam);
    EXPECT_FALSE(AviWriterHasFailed(w));
    DibSection dib(8, 8);
    dib.paint(0);
    EXPECT_EQ(AppendAviFrame(w, dib.handle()), avierr::kOk);
    CloseAviWriter(w);
    DeleteObject(ddb);
    WriteExpectations("vfw-ddb", 1, "25/1", 8, 8);
}

TEST(VfwWriter, OpeningOverAnExistingFileReplacesIt) {
    const std::string path = OutputPath("vfw-replace.avi");
    {
        std::ofstream old(path, std::ios::binary | std::ios::trunc);
        old << std::string(200000, 'z');
    }
    DibSection dib(4, 4);
    dib.paint(0);
    AviWriter* w = OpenVfw("vfw-replace", 40);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(AppendAviFrame(w, dib.handle()), avierr::kOk);
    CloseAviWriter(w);
    EXPECT_LT(std::filesystem::file_size(path), 200000u);
    WriteExpectations("vfw-replace", 1, "25/1", 4, 4);
}

TEST(VfwWriter, UncreatableFileGivesNoWriter) {
    EXPECT_EQ(OpenAviWriter(OutputPath("no-such-folder\\x.avi").c_str(), 40, nullptr,
                            AviBackendKind::kVideoForWindows),
              nullptr);
    DibSection dib(4, 4);
    EXPECT_EQ(AppendAviFrame(nullptr, dib.handle()), avierr::kBadHandle);
}

}  // namespace
