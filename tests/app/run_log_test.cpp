#include "app/run_log.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

int ThisThreadId() {
#ifdef _WIN32
    return static_cast<int>(GetCurrentThreadId());
#else
    return static_cast<int>(syscall(SYS_gettid));
#endif
}

#ifdef _WIN32
const std::string kBreak = "\r\n";  // text mode stores "\n" as CR LF
#else
const std::string kBreak = "\n";
#endif

// The log is program-wide state: each test starts it over in a folder of its own.
class RunLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_runLog = RunLogState{};
        path_ = dir_.file("log.txt");
    }
    void TearDown() override { g_runLog = RunLogState{}; }
    std::string contents() const { return ReadFileBytes(path_); }

    TempDir dir_;
    std::string path_;
};

TEST_F(RunLogTest, LineCarriesTimeThreadLevelAndMessage) {
    ASSERT_TRUE(RunLog::open(path_.c_str()));
    EXPECT_TRUE(RunLog::write("flash size: %dx%d pixels.\n", 550, 400));
    const std::string text = contents();
    const std::regex line("\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2} -- \\[threadId=(\\d+)\\]\t --- debug\t"
                          "flash size: 550x400 pixels\\." + kBreak);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(text, m, line)) << text;
    EXPECT_EQ(std::stoi(m[1]), ThisThreadId());
}

TEST_F(RunLogTest, WritesBeforeOpenAreDroppedAndOpenEmptiesTheFile) {
    WriteFileBytes(path_, "a previous run\n");
    EXPECT_TRUE(RunLog::write("too early\n"));
    EXPECT_EQ(contents(), "a previous run\n");
    ASSERT_TRUE(RunLog::open(path_.c_str()));
    EXPECT_EQ(contents(), "");
    RunLog::write("one\n");
    RunLog::write("two\n");
    EXPECT_TRUE(RunLog::close());
    RunLog::write("after close\n");  // close leaves output on
    const std::string text = contents();
    EXPECT_NE(text.find("\tone" + kBreak), std::string::npos);
    EXPECT_LT(text.find("\tone"), text.find("\ttwo"));
    EXPECT_NE(text.find("\tafter close" + kBreak), std::string::npos);
    EXPECT_EQ(text.find("previous"), std::string::npos);
}

TEST_F(RunLogTest, PercentSignsInArgumentsAreWrittenAsTheyAre) {
    RunLog::open(path_.c_str());
    RunLog::write("Command line=%s\n", "C:\\100%\\a%d%s.swf");
    EXPECT_NE(contents().find("\tCommand line=C:\\100%\\a%d%s.swf" + kBreak), std::string::npos);
}

TEST_F(RunLogTest, MessageWithoutLineBreakEndsTheFileWithoutOne) {
    RunLog::open(path_.c_str());
    RunLog::write("ZFLASH::Init error");
    const std::string text = contents();
    ASSERT_GE(text.size(), 18u);
    EXPECT_EQ(text.substr(text.size() - 18), "ZFLASH::Init error");
}

TEST_F(RunLogTest, OverLongMessagesAreCutAndKeepTheirLineBreak) {
    RunLog::open(path_.c_str());
    const std::string huge(20000, 'x');
    RunLog::write("%s\n", huge.c_str());
    RunLog::write("next\n");
    const std::string text = contents();
    const size_t first = text.find(kBreak);
    ASSERT_NE(first, std::string::npos);
    EXPECT_LE(first, kRunLogLineBytes - 2) << "the line fits its 5000-byte buffer";
    EXPECT_GT(first, kRunLogLineBytes - 100) << "and holds as much of the message as fits";
    EXPECT_EQ(text.substr(first + kBreak.size()).find(" -- [threadId="), 19u)
        << "the next line starts on a line of its own";
}

TEST_F(RunLogTest, ComposedLineCutsKeepTheBreakOnlyWhenTheMessageHadOne) {
    char roomy[128];
    RunLog::composeLine(roomy, sizeof roomy, "2007-03-05 09:07:02", 1234, "Job terminated.\n", false);
    EXPECT_STREQ(roomy, "2007-03-05 09:07:02 -- [threadId=1234]\t --- debug\tJob terminated.\n");
    char line[64];
    const std::string longMessage(100, 'm');
    RunLog::composeLine(line, sizeof line, "2007-03-05 09:07:02", 1234, (longMessage + "\n").c_str(), false);
    EXPECT_EQ(std::string(line).size(), sizeof line - 1);
    EXPECT_EQ(line[sizeof line - 2], '\n');
    RunLog::composeLine(line, sizeof line, "2007-03-05 09:07:02", 1234, longMessage.c_str(), false);
    EXPECT_EQ(line[sizeof line - 2], 'm');
}

TEST_F(RunLogTest, TimestampHasLeadingZeros) {
    char ts[kRunLogTimestampBytes];
    RunLog::formatTimestamp(ts, sizeof ts, 2007, 2, 1, 9, 5, 3);
    EXPECT_STREQ(ts, "2007-02-01 09:05:03");
    RunLog::formatTimestamp(ts, sizeof ts, 812, 12, 31, 23, 59, 59);
    EXPECT_STREQ(ts, "0812-12-31 23:59:59");
}

TEST_F(RunLogTest, UnopenableFileLosesLinesButNeverFails) {
    // A folder stands in for a locked file: it can't be opened for writing, even by root.
    const std::string folder = dir_.file("log-folder");
    std::filesystem::create_directory(folder);
    EXPECT_TRUE(RunLog::open(folder.c_str()));
    EXPECT_EQ(g_runLog.outputMode, kRunLogOutputOn);
    EXPECT_TRUE(RunLog::write("lost\n"));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST_F(RunLogTest, NamesThatDoNotFitAreRefused) {
    const std::string tooLong = dir_.file(std::string(kRunLogPathBytes, 'n'));
    EXPECT_FALSE(RunLog::open(tooLong.c_str()));
    EXPECT_NE(g_runLog.outputMode, kRunLogOutputOn);
    EXPECT_TRUE(RunLog::write("dropped\n"));
    EXPECT_STREQ(g_runLog.logPath, "");
}

}  // namespace
