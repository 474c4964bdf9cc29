// The job loop's pieces under Wine: the command line, a job's start, its frame steps and its
// clean-up, with the drop window showing the progress and the platform's AVI services
// reading back what was written.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <vfw.h>

#include <cstring>
#include <string>

#include "app/drop_window.h"
#include "app/job_loop.h"
#include "app/job_state.h"
#include "app/run_log.h"
#include "player/zflash.h"
#include "res/resource.h"
#include "support/dialog_closer.h"
#include "support/swf_builder.h"
#include "support/temp_dir.h"

namespace {

using namespace testing_support;

// A movie of `frames` frames (the header's count too) of 40 x 20 px: a square moving right.
std::string SquareMovie(int frames, int32_t width = 800, int32_t height = 400) {
    SwfFields fields;
    fields.xMax = width;
    fields.yMax = height;
    fields.rate88 = 12 << 8;
    fields.frameCount = static_cast<uint16_t>(frames);
    fields.tags.clear();
    const auto records = ShapeRecordWriter(1, 0)
                             .change(std::pair{0, 0}, std::nullopt, 1u, std::nullopt)
                             .line(200, 0).line(0, 200).line(-200, 0).line(0, -200)
                             .end();
    AppendBytes(fields.tags, TagRecord(32, DefineShapeBody(1, 0, 200, 0, 200, {SolidFill(255, 0, 0, 255)}, {}, records)));
    for (int k = 0; k < frames; ++k) {
        PlaceFields p{1, std::nullopt, k > 0, std::pair{100 * k, 100}};
        if (k == 0) p.character = 1;
        AppendBytes(fields.tags, PlaceObject2Tag(p));
        AppendBytes(fields.tags, ShowFrameTag());
    }
    AppendBytes(fields.tags, EndTag());
    return BuildSwfFile(fields);
}

std::string DialogText(HWND dialog, int id) {
    char text[64] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// Frames in the AVI file, as AVIFIL32 reads it.
long AviFrames(const std::string& path) {
    AVIFileInit();
    PAVIFILE file = nullptr;
    long frames = -1;
    if (AVIFileOpenA(&file, path.c_str(), OF_READ, nullptr) == 0) {
        PAVISTREAM stream = nullptr;
        if (AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) == 0) {
            frames = AVIStreamLength(stream);
            AVIStreamRelease(stream);
        }
        AVIFileRelease(file);
    }
    AVIFileExit();
    return frames;
}

class JobLoop : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        InitCommonControls();
        ASSERT_TRUE(ZFLASH::Init());
        // The temporary folder stands in for the program directory.
        std::string dir = dir_.path().string();
        for (char& c : dir) c = c == '\\' ? '/' : c;
        ASSERT_TRUE(StoreProgramDir(dir.c_str()));
        ASSERT_TRUE(RunLog::open(dir_.file("log.txt").c_str()));
        dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_DROPWINDOW), nullptr,
                                     DropWindowProc, 0);
        ASSERT_NE(dialog_, nullptr);
        g_bJobPending = g_bJobRunning = g_bQuit = false;
    }
    void TearDown() override {
        CleanupJob();
        DestroyWindow(dialog_);
        CoUninitialize();
    }
    std::string log() const { return ReadFileBytes(dir_.file("log.txt")); }
    void pend(const std::string& name) {
        std::snprintf(g_szFileName, sizeof g_szFileName, "%s", dir_.file(name).c_str());
        g_bJobPending = true;
    }
    // Runs the job's frame steps to its end, answering the compression dialog when the run
    // has not chosen yet; the number of steps.
    int runToEnd(int button = IDOK) {
        int steps = 0;
        if (!g_compressionChosen && g_playerHost.aviWriter != nullptr) {
            DialogCloser closer("Video Compression", button);
            FrameStep(dialog_, false);
            ++steps;
            EXPECT_TRUE(closer.answered());
        }
        while (g_bJobRunning && steps < 1000) {
            FrameStep(dialog_, false);
            ++steps;
        }
        return steps;
    }
    TempDir dir_;
    HWND dialog_ = nullptr;
};

TEST(JobLoopArithmetic, ProgressGoesThroughSinglePrecision) {
    EXPECT_EQ(ProgressPercent(29, 100), 28);
    EXPECT_EQ(ProgressPercent(57, 100), 56);
    EXPECT_EQ(ProgressPercent(58, 100), 57);
    EXPECT_EQ(ProgressPercent(2, 3), 66);
    EXPECT_EQ(ProgressPercent(3, 3), 100);
    EXPECT_EQ(ProgressPercent(5, 0), 100) << "no division by zero";
}

TEST(JobLoopCommandLine, TakesTheFileFromTheProgramDirectory) {
    ASSERT_TRUE(StoreProgramDir("C:/Tools"));
    g_bJobPending = false;
    ASSERT_TRUE(TakeCommandLine("C:\\films\\intro.swf"));
    EXPECT_STREQ(g_szFileName, "C:/Tools\\intro.swf");
    EXPECT_TRUE(g_bJobPending);
    ASSERT_TRUE(TakeCommandLine("\"C:\\films\\intro.swf\""));
    EXPECT_STREQ(g_szFileName, "C:/Tools\\intro.swf") << "quotes go with the directory and the last character";
    ASSERT_TRUE(TakeCommandLine("\"intro.swf\""));
    EXPECT_STREQ(g_szFileName, "C:/Tools\\\"intro.swf\"") << "without a directory both quotes stay";
    g_bJobPending = false;
    EXPECT_FALSE(TakeCommandLine(std::string(1024, 'a').c_str())) << "a line that does not fit is refused";
    EXPECT_FALSE(TakeCommandLine(std::string(300, 'b').c_str())) << "a joined path over 259 characters";
    EXPECT_FALSE(g_bJobPending);
}

TEST_F(JobLoop, EveryFrameIsWrittenAndTheWindowShowsTheProgress) {
    WriteFileBytes(dir_.file("three.swf"), SquareMovie(3));
    pend("three.swf");
    ASSERT_TRUE(StartPendingJob());
    EXPECT_TRUE(g_bJobRunning);
    EXPECT_FALSE(g_bJobPending);
    EXPECT_EQ(ZFLASH::GetTotalFrames(), 3);
    EXPECT_EQ(g_captureBuffers.bufferWidth, 40);
    EXPECT_EQ(g_captureBuffers.bufferHeight, 20);
    EXPECT_STREQ(g_szJobFile, "three.swf") << "the load leaves the bare file name";
    g_compressionChosen = false;
    {
        DialogCloser closer("Video Compression", IDOK);
        EXPECT_FALSE(FrameStep(dialog_, false));
        EXPECT_TRUE(closer.answered());
    }
    // Frame 0 captured, the player sent to 1: the status runs two ahead.
    EXPECT_EQ(DialogText(dialog_, IDC_STATUS), "Frame 2");
    EXPECT_EQ(SendDlgItemMessageA(dialog_, IDC_PROGRESS, PBM_GETPOS, 0, 0), 66);
    EXPECT_EQ(runToEnd(), 2);
    EXPECT_EQ(DialogText(dialog_, IDC_STATUS), "Done!");
    EXPECT_FALSE(g_bJobRunning);
    EXPECT_EQ(g_playerHost.flash, nullptr) << "the clean-up released the player";
    EXPECT_EQ(g_playerHost.host, nullptr);
    EXPECT_EQ(g_captureBuffers.outputBitmap, nullptr);
    EXPECT_EQ(AviFrames(dir_.file("three.swf.avi")), 3) << "N frames for N";
    EXPECT_NE(log().find("flash size: 40x20 pixels.\r\n"), std::string::npos);
    EXPECT_NE(log().find("Flash Create buffer 40 x 20\r\n"), std::string::npos);
    CleanupJob();  // a second clean-up does nothing
}

TEST_F(JobLoop, OneFrameAndFramelessMoviesGiveOneFrame) {
    for (int frames : {1, 0}) {
        const std::string name = "m" + std::to_string(frames) + ".swf";
        WriteFileBytes(dir_.file(name), SquareMovie(frames));
        pend(name);
        ASSERT_TRUE(StartPendingJob()) << frames;
        EXPECT_EQ(runToEnd(), 1) << frames;
        EXPECT_EQ(DialogText(dialog_, IDC_STATUS), "Done!");
        EXPECT_EQ(AviFrames(dir_.file(name + ".avi")), 1) << frames;
    }
}

TEST_F(JobLoop, AFileThatCannotBeCreatedFailsTheJob) {
    WriteFileBytes(dir_.file("two.swf"), SquareMovie(2));
    // A folder where the output file would go.
    CreateDirectoryA(dir_.file("two.swf.avi").c_str(), nullptr);
    pend("two.swf");
    ASSERT_TRUE(StartPendingJob());
    runToEnd();
    EXPECT_EQ(DialogText(dialog_, IDC_STATUS), kJobFailedStatus);
    EXPECT_NE(log().find("Cannot create the AVI file"), std::string::npos) << log();
    RemoveDirectoryA(dir_.file("two.swf.avi").c_str());
}

TEST_F(JobLoop, ACancelledCompressionFailsTheJob) {
    WriteFileBytes(dir_.file("two.swf"), SquareMovie(2));
    pend("two.swf");
    ASSERT_TRUE(StartPendingJob());
    g_compressionChosen = false;
    runToEnd(IDCANCEL);
    EXPECT_EQ(DialogText(dialog_, IDC_STATUS), kJobFailedStatus);
    EXPECT_NE(log().find("the compression was not set"), std::string::npos) << log();
    EXPECT_TRUE(g_compressionChosen) << "the run does not ask again";
}

TEST_F(JobLoop, SizesThatCannotBeCapturedAreRefusedBeforeLoading) {
    // A zero-width stage, and one wider than the capture allows.
    for (int32_t width : {0, 20 * (kMaxCaptureSide + 1)}) {
        const std::string name = "w" + std::to_string(width) + ".swf";
        WriteFileBytes(dir_.file(name), SquareMovie(2, width, 400));
        pend(name);
        DialogCloser closer("Error", IDOK);
        EXPECT_FALSE(StartPendingJob());
        EXPECT_TRUE(closer.answered());
        EXPECT_NE(closer.message().find("is not supported (Error: 0)"), std::string::npos) << closer.message();
        EXPECT_FALSE(g_bJobRunning);
        EXPECT_EQ(GetFileAttributesA(dir_.file(name + ".avi").c_str()), INVALID_FILE_ATTRIBUTES)
            << "nothing was created";
    }
    EXPECT_NE(log().find("Frame size 0x20 refused"), std::string::npos) << log();
}

TEST_F(JobLoop, FilesThatAreNotMoviesEndTheStartQuietly) {
    WriteFileBytes(dir_.file("notes.swf"), "plain text, not a movie");
    pend("notes.swf");
    EXPECT_FALSE(StartPendingJob());
    EXPECT_NE(log().find("Parsing error: not a SWF file\r\n"), std::string::npos);
}

}  // namespace
