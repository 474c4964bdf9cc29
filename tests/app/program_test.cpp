// tevlin.exe end to end, as a user runs it: in one-shot mode, on a movie in its own
// directory, with the compression dialog confirmed as a user would. The run's log is
// checked here; the AVI file is left for the native ffprobe and ffmpeg, which compare it with
// what the portable converter writes for the same movie (check_program_files.sh).
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/demo_movie.h"
#include "support/dialog_closer.h"
#include "support/temp_dir.h"

namespace {

using namespace testing_support;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start + 1));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

TEST(Program, OneShotRunConvertsTheMovieFromItsDirectory) {
    // The program in a folder of its own, the movie beside it; the run starts elsewhere
    // (its working folder gets the log) and names the movie with some other directory.
    const std::string home = WindowsPath(TestOutputDir().string()) + "\\program";
    const std::string work = home + "\\work";
    CreateDirectoryA(home.c_str(), nullptr);
    CreateDirectoryA(work.c_str(), nullptr);
    const std::string exe = home + "\\tevlin.exe";
    ASSERT_TRUE(CopyFileA(WindowsPath(TEVLIN_EXE).c_str(), exe.c_str(), FALSE));
    WriteFileBytes(home + "\\demo.swf", BuildDemoMovie());
    DeleteFileA((home + "\\demo.swf.avi").c_str());
    DeleteFileA((work + "\\log.txt").c_str());

    std::string commandLine = "\"" + exe + "\" C:\\elsewhere\\demo.swf";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, work.c_str(),
                               &startup, &process));
    bool answered = false;
    {
        DialogCloser ok("Video Compression", IDOK, 60000, process.dwProcessId);
        const DWORD waited = WaitForSingleObject(process.hProcess, 120000);
        answered = ok.answered();
        if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
        EXPECT_EQ(waited, WAIT_OBJECT_0) << "the program ends after the last frame";
    }
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_TRUE(answered) << "the compression dialog came before the first frame";
    EXPECT_EQ(exitCode, 0u);

    // The log: the example run's lines in order, one thread, each line ended by CR LF.
    const std::string log = ReadFileBytes(work + "\\log.txt");
    const std::vector<std::string> lines = Lines(log);
    const std::vector<std::string> messages = {
        "Getting the current working path..\r\n",
        "Command line=C:\\elsewhere\\demo.swf\r\n",
        "RemoveFilePath(g_szFileName) => demo.swf\r\n",
        "flash size: 640x360 pixels.\r\n",
        "Flash Create buffer 640 x 360\r\n",
        "Job terminated.\r\n",
    };
    ASSERT_EQ(lines.size(), messages.size()) << log;
    std::string thread;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const size_t id = line.find(" -- [threadId=");
        const size_t close = line.find("]\t --- debug\t");
        ASSERT_EQ(id, 19u) << line;  // after "YYYY-MM-DD hh:mm:ss"
        ASSERT_NE(close, std::string::npos) << line;
        EXPECT_EQ(line.substr(close + 13), messages[i]);
        const std::string thisThread = line.substr(id + 14, close - id - 14);
        if (i == 0) thread = thisThread;
        EXPECT_EQ(thisThread, thread) << "every line from the one thread";
    }

    // For the native check: the AVI, the movie, and what the stream must hold.
    std::ofstream expect(home + "\\demo.expect", std::ios::binary | std::ios::trunc);
    expect << "frames=" << kDemoFrames << "\nrate=1000/" << 1000 / kDemoRate << "\nwidth=" << kDemoWidth
           << "\nheight=" << kDemoHeight << "\n";
}

}  // namespace
