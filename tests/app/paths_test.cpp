#include "app/paths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/run_log.h"
#include "support/temp_dir.h"
#ifdef _WIN32
#include "support/dialog_closer.h"
#endif

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

std::string Reduced(std::string path) {
    std::vector<char> buffer(path.begin(), path.end());
    buffer.push_back('\0');
    RemoveFilePath(buffer.data());
    return buffer.data();
}

TEST(RemoveFilePath, KeepsOnlyTheFileName) {
    EXPECT_EQ(Reduced("C:\\a\\b.swf"), "b.swf");
    EXPECT_EQ(Reduced("a/b\\c.swf"), "c.swf");
    EXPECT_EQ(Reduced("/home/user/movie.tar.swf"), "movie.tar.swf");
    EXPECT_EQ(Reduced("b.swf"), "b.swf");
    EXPECT_EQ(Reduced("C:\\a\\"), "C:\\a\\");
    EXPECT_EQ(Reduced(""), "");
}

TEST(RemoveFilePath, DropsTheClosingQuoteOnlyWithADirectory) {
    EXPECT_EQ(Reduced("\"C:\\a\\b.swf\""), "b.swf");
    EXPECT_EQ(Reduced("\"b.swf\""), "\"b.swf\"");
    EXPECT_EQ(Reduced("C:\\a\\\"\""), "\"");  // only one character is examined
}

TEST(RemoveFilePath, RefusesFileNamesLongerThanItsBuffer) {
    testing_support::TempDir dir;
    const std::string log = dir.file("log.txt");
    ASSERT_TRUE(RunLog::open(log.c_str()));
    const std::string name(kProgramPathBytes, 'n');
    const std::string path = "C:\\dir\\" + name;
    EXPECT_EQ(Reduced(path), path);
    EXPECT_NE(testing_support::ReadFileBytes(log).find("RemoveFilePath: the file name is longer than 1023 characters"),
              std::string::npos)
        << "the refusal is logged";
    g_runLog = RunLogState{};
    const std::string fits(kProgramPathBytes - 1, 'f');
    EXPECT_EQ(Reduced("C:\\dir\\" + fits), fits);
}

TEST(ProgramDir, StoresForwardSlashesAndKeepsARootsSeparator) {
    ASSERT_TRUE(StoreProgramDir("C:\\Tools"));
    EXPECT_STREQ(g_szProgramDir, "C:/Tools");
    ASSERT_TRUE(StoreProgramDir("C:\\"));
    EXPECT_STREQ(g_szProgramDir, "C:/");
    ASSERT_TRUE(StoreProgramDir("\\\\server\\share\\bin"));
    EXPECT_STREQ(g_szProgramDir, "//server/share/bin");
}

TEST(ProgramDir, RefusesDirectoriesThatDoNotFit) {
    testing_support::TempDir dir;
    const std::string log = dir.file("log.txt");
    ASSERT_TRUE(RunLog::open(log.c_str()));
    ASSERT_TRUE(StoreProgramDir("C:\\Tools"));
    const std::string tooLong(kProgramPathBytes, 'd');
    EXPECT_FALSE(StoreProgramDir(tooLong.c_str()));
    EXPECT_STREQ(g_szProgramDir, "");
    EXPECT_NE(testing_support::ReadFileBytes(log).find("the program directory is longer than 1023 characters"),
              std::string::npos);
    g_runLog = RunLogState{};
    const std::string fits(kProgramPathBytes - 1, 'd');
    EXPECT_TRUE(StoreProgramDir(fits.c_str()));
    EXPECT_EQ(std::strlen(g_szProgramDir), kProgramPathBytes - 1);
}

TEST(ProgramDir, IsTheFolderOfThisExecutable) {
    ASSERT_TRUE(FindProgramDir());
    std::string expected;
#ifdef _WIN32
    char module[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, module, sizeof module);
    ASSERT_GT(n, 0u);
    expected.assign(module, n);
    expected = expected.substr(0, expected.find_last_of('\\'));
    if (expected.size() == 2) expected += '\\';  // a drive root keeps its separator
    for (char& c : expected) c = c == '\\' ? '/' : c;
#else
    char exe[4096];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(n, 0);
    expected.assign(exe, static_cast<size_t>(n));
    expected = expected.substr(0, expected.find_last_of('/'));
#endif
    EXPECT_EQ(g_szProgramDir, expected);
    EXPECT_EQ(std::string(g_szProgramDir).find('\\'), std::string::npos);
}

TEST(ErrorMessage, FormatsTheCodeInLowercaseHex) {
    char text[kMessageBoxTextBytes];
    FormatErrorMessage(text, sizeof text, "LoadMovie: 'C:\\m.swf' error", 0);
    EXPECT_STREQ(text, "LoadMovie: 'C:\\m.swf' error (Error: 0)");
    FormatErrorMessage(text, sizeof text, "x", 255);
    EXPECT_STREQ(text, "x (Error: ff)");
    FormatErrorMessage(text, sizeof text, "x", static_cast<int>(0x8004406C));
    EXPECT_STREQ(text, "x (Error: 8004406c)");
}

TEST(ErrorMessage, LongTextsAreCutToTheBox) {
    char text[kMessageBoxTextBytes];
    const std::string huge(2000, 'e');
    FormatErrorMessage(text, sizeof text, huge.c_str(), 1);
    EXPECT_EQ(std::strlen(text), kMessageBoxTextBytes - 1);
}

#ifdef _WIN32
TEST(ErrorMessage, IsAModalBoxCaptionedError) {
    testing_support::DialogCloser ok("Error", IDOK);
    ShowErrorMessage("LoadMovie: 'C:\\m.swf' error", 0);
    EXPECT_TRUE(ok.answered()) << "no dialog captioned Error appeared";
    EXPECT_EQ(ok.message(), "LoadMovie: 'C:\\m.swf' error (Error: 0)");
}
#else
TEST(ErrorMessage, GoesToStandardErrorOutsideWindows) {
    testing::internal::CaptureStderr();
    ShowErrorMessage("LoadMovie: '/tmp/m.swf' error", 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "LoadMovie: '/tmp/m.swf' error (Error: 0)\n");
}
#endif

}  // namespace
