// tevlin-cli.exe, the Windows build's converter: our AVI writer only, and one line that says
// so when another format is asked for, before the movie is loaded.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/demo_movie.h"
#include "support/temp_dir.h"

namespace {

using namespace testing_support;

struct CliResult {
    DWORD status = 99;
    std::string output;  // standard output and error together
};

CliResult RunCli(const std::string& arguments, const std::string& folder) {
    CliResult run;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    const std::string exe = WindowsPath(TEVLIN_CLI_EXE);
    std::string commandLine = "\"" + exe + "\" " + arguments;
    const BOOL started = CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        folder.c_str(), &startup, &process);
    CloseHandle(writeEnd);
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) run.output.append(buffer, got);
        WaitForSingleObject(process.hProcess, 120000);
        GetExitCodeProcess(process.hProcess, &run.status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(readEnd);
    return run;
}

TEST(WindowsCli, WritesOurAviAndSaysOtherFormatsAreNotInThisBuild) {
    const std::string folder = WindowsPath(TestOutputDir().string());
    WriteFileBytes(folder + "\\cli-demo.swf", BuildDemoMovie());
    DeleteFileA((folder + "\\cli-demo.mov").c_str());
    CliResult r = RunCli("convert cli-demo.swf -o cli-demo.mov", folder);
    EXPECT_EQ(r.status, 1u) << r.output;
    EXPECT_NE(r.output.find("this build writes AVI only"), std::string::npos) << r.output;
    EXPECT_EQ(GetFileAttributesA((folder + "\\cli-demo.mov").c_str()), INVALID_FILE_ATTRIBUTES);

    r = RunCli("convert cli-demo.swf -o cli-demo.avi --max-frames 4 -y", folder);
    EXPECT_EQ(r.status, 0u) << r.output;
    EXPECT_NE(r.output.find("wrote cli-demo.avi: 4 frames of 640x360 at 24/1 fps"), std::string::npos) << r.output;
    r = RunCli("convert --help", folder);
    EXPECT_NE(r.output.find("this build writes AVI only"), std::string::npos) << r.output;
}

}  // namespace
