#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "diag/logit.h"
#include "osys/osysfile.h"
#include "scratch.h"
#include "testlog.h"

namespace {

using rig::TempPath;

std::string DocumentsPath(const std::string& name)
{
    char folder[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, folder);
    return std::string(folder) + "\\" + name;
}

// Lines of a log file after its two header lines, each without its CR LF.
std::vector<std::string> BodyLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    size_t start = 0, end;
    while ((end = bytes.find("\r\n", start)) != std::string::npos) {
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    if (start < bytes.size())
        lines.push_back(bytes.substr(start));
    return lines.size() > 2 ? std::vector<std::string>(lines.begin() + 2, lines.end()) : std::vector<std::string>{};
}

// A log file target for one test, closed and removed at its end.
class LogFile : public rig::TestLog {
public:
    using TestLog::TestLog;
    std::vector<std::string> Lines() const { return BodyLines(Bytes()); }
};

const std::regex linePrefix(R"(^\[\d{3}\.\d{3}:[0-9a-f]{4,5}\] )");

std::string WithoutPrefix(const std::string& line)
{
    return std::regex_replace(line, linePrefix, "");
}

TEST(Log, OffUntilASwitchOpensIt)
{
    EXPECT_FALSE(LogIsEnabled());
    EXPECT_EQ(LogPrint("nothing %d\n", 1), 0);
    EXPECT_EQ(LogPrintLevel(0, "nothing\n"), 0);
    EXPECT_EQ(LogSwitch("/START"), 0);
    EXPECT_EQ(LogSwitch("/LOGITCLOSE"), 1); // closing what is not open is harmless
    EXPECT_FALSE(LogIsEnabled());
}

TEST(Log, HeaderPrefixAndLineEnds)
{
    LogFile log("tarvo_log_format.log");
    EXPECT_TRUE(LogIsEnabled());
    EXPECT_EQ(LogPrint("HASH::Load %s\n", "x.cfg"), 1);
    LogPrint("abc");
    LogPrint("def\n");
    LogPrint("100%% formatted\n");
    std::string bytes = log.Bytes();
    // The first line of the process starts the clock.
    EXPECT_EQ(bytes.rfind("[000.000:", 0), 0u) << bytes;
    EXPECT_NE(bytes.find("] Logging starts at "), std::string::npos);
    EXPECT_TRUE(std::regex_search(
        bytes, std::regex(R"(\] Running as .+diag_tests\.exe \(\d+ bytes, \d{4}-\d\d-\d\d  \d\d:\d\d:\d\d\)\r\n)")))
        << bytes;

    std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 3u) << bytes;
    for (const std::string& line : lines)
        EXPECT_TRUE(std::regex_search(line, linePrefix)) << line;
    EXPECT_EQ(WithoutPrefix(lines[0]), "HASH::Load x.cfg");
    EXPECT_EQ(WithoutPrefix(lines[1]), "abcdef"); // the second call continues the line
    EXPECT_EQ(WithoutPrefix(lines[2]), "100% formatted");
    EXPECT_EQ(bytes.find("\n", 0), bytes.find("\r\n", 0) + 1);
}

TEST(Log, LongLinesAreCutAt8191Bytes)
{
    LogFile log("tarvo_log_cut.log");
    std::string text(10000, 'x');
    LogPrint("%s\n", text.c_str());
    LogPrint("rest\n");
    std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 1u);
    // The cut line lost its line feed, so the next text continued it without a prefix.
    EXPECT_EQ(lines[0].size(), 8191u + 4u);
    EXPECT_EQ(lines[0].substr(8191), "rest");
    EXPECT_EQ(lines[0].find("xxxxx"), lines[0].find("] ") + 2);
}

TEST(Log, LevelMaskIsOredAndFiltersLevelLines)
{
    LogFile log("tarvo_log_levels.log");
    LogSwitch("/LOG:1");
    LogSwitch("/LOG:2");
    LogSwitch("/D:garbage"); // no digits: nothing is added
    EXPECT_EQ(LogPrintLevel(2, "level two\n"), 1);
    EXPECT_EQ(LogPrintLevel(4, "level four\n"), 0);
    EXPECT_EQ(LogPrintLevel(0x13, "category line\n"), 0); // a category the mask does not hold
    EXPECT_EQ(LogPrintLevel(3, nullptr), 1);              // only asks; writes nothing
    std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(WithoutPrefix(lines[0]), "LogitLevel 00000001");
    EXPECT_EQ(WithoutPrefix(lines[1]), "LogitLevel 00000003");
    EXPECT_EQ(WithoutPrefix(lines[2]), "LogitLevel 00000003");
    EXPECT_EQ(WithoutPrefix(lines[3]), "level two");
}

TEST(Log, KeepAppendsOnANewLine)
{
    std::string path = TempPath("tarvo_log_keep.log");
    {
        FILE* f = fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fputs("earlier run, no line end", f);
        fclose(f);
    }
    LogSwitch(("-logitkeep:" + path).c_str());
    LogPrint("second run\n");
    LogSwitch("/logitclose");
    std::string bytes = rig::ReadFileBytes(path);
    EXPECT_EQ(bytes.rfind("earlier run, no line end\r\n[", 0), 0u) << bytes;
    EXPECT_NE(bytes.find("] second run\r\n"), std::string::npos);
    DeleteFileA(path.c_str());
}

TEST(Log, DefaultAndUniqueTargetsLieInTheDocumentsFolder)
{
    std::string defaultPath = DocumentsPath("Tarvo_DIAG_TESTS_logit.log");
    DeleteFileA(defaultPath.c_str());
    LogSwitch("/LOGIT");
    LogPrint("default target\n");
    LogSwitch("/LOGITCLOSE");
    EXPECT_NE(rig::ReadFileBytes(defaultPath).find("default target"), std::string::npos);
    DeleteFileA(defaultPath.c_str());

    LogSwitch("/LOGIT:UNIQUE");
    LogPrint("unique target\n");
    LogSwitch("/LOGITCLOSE");
    char pid[16];
    snprintf(pid, sizeof(pid), "%lX", GetCurrentProcessId());
    WIN32_FIND_DATAA found;
    std::string pattern = DocumentsPath("LOGIT_*_" + std::string(pid) + ".log");
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE) << pattern;
    FindClose(search);
    std::string unique = DocumentsPath(found.cFileName);
    EXPECT_TRUE(std::regex_match(std::string(found.cFileName), std::regex(R"(LOGIT_\d+_\d{1,3}_[0-9A-F]+\.log)")));
    EXPECT_NE(rig::ReadFileBytes(unique).find("unique target"), std::string::npos);
    DeleteFileA(unique.c_str());
}

TEST(Log, TargetsThatCannotBeOpenedLeaveTheLogOff)
{
    LogSwitch(("/LOGIT:" + TempPath("no_such_folder\\x.log")).c_str());
    EXPECT_FALSE(LogIsEnabled());
    EXPECT_EQ(LogPrint("lost\n"), 0);
    std::string longName = TempPath(std::string(300, 'n') + ".log");
    EXPECT_EQ(LogSwitch(("/LOGIT:" + longName).c_str()), 1);
    EXPECT_FALSE(LogIsEnabled());
    // Format characters in a target name are data.
    LogFile percent("tarvo_%s%n%x.log");
    EXPECT_TRUE(LogIsEnabled());
    LogPrint("%s\n", "into a name with percent signs");
    EXPECT_NE(percent.Bytes().find("into a name with percent signs"), std::string::npos);
}

TEST(Log, ManyThreadsWriteWholeLines)
{
    LogFile log("tarvo_log_threads.log");
    constexpr int threads = 8, perThread = 1000;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; t++)
        writers.emplace_back([t] {
            for (int i = 0; i < perThread; i++)
                LogPrint("writer %d line %d of a text long enough to interleave if it could\n", t, i);
        });
    for (std::thread& writer : writers)
        writer.join();
    std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), static_cast<size_t>(threads * perThread));
    const std::regex whole(
        R"(^\[\d{3}\.\d{3}:[0-9a-f]{4,5}\] writer \d line \d+ of a text long enough to interleave if it could$)");
    int torn = 0;
    for (const std::string& line : lines)
        torn += !std::regex_match(line, whole);
    EXPECT_EQ(torn, 0);
}

// The target is closed and opened again while other threads write. A file the test opens
// right after each close takes the freed handle number; no line may reach it, and every line
// of the log stays whole.
TEST(Log, ClosingAndReopeningWhileThreadsWrite)
{
    const std::string path = TempPath("tarvo_log_reopen.log");
    const std::string decoyPath = TempPath("tarvo_log_decoy.txt");
    DeleteFileA(path.c_str());
    DeleteFileA(decoyPath.c_str());
    LogSwitch(("/LOGIT:" + path).c_str());
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; t++)
        writers.emplace_back([t, &stop] {
            for (unsigned i = 0; !stop; i++)
                LogPrint("writer %d line %u of a text long enough to interleave if it could\n", t, i);
        });
    for (int round = 0; round < 200; round++) {
        LogSwitch("/LOGITCLOSE");
        HANDLE decoy = CreateFileA(decoyPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(decoy, INVALID_HANDLE_VALUE);
        Sleep(round % 2);
        CloseHandle(decoy);
        LogSwitch(("/LOGITKEEP:" + path).c_str());
    }
    stop = true;
    for (std::thread& writer : writers)
        writer.join();
    LogSwitch("/LOGITCLOSE");

    EXPECT_EQ(rig::ReadFileBytes(decoyPath), "");
    std::string bytes = rig::ReadFileBytes(path);
    ASSERT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    // Each reopening starts with an empty line, then the two header lines.
    const std::regex whole(R"(^(\[\d{3}\.\d{3}:[0-9a-f]{4,5}\] )"
                           R"((writer \d line \d+ of a text long enough to interleave if it could|)"
                           R"(Logging starts at .*|Running as .*))?$)");
    size_t torn = 0, lines = 0, start = 0, end;
    while ((end = bytes.find("\r\n", start)) != std::string::npos) {
        std::string line = bytes.substr(start, end - start);
        lines++;
        if (!std::regex_match(line, whole) && torn++ < 5)
            ADD_FAILURE() << "torn line: " << line;
        start = end + 2;
    }
    EXPECT_EQ(torn, 0u);
    EXPECT_GT(lines, 600u);
    DeleteFileA(path.c_str());
    DeleteFileA(decoyPath.c_str());
}

TEST(Log, NoAssertToggles)
{
    bool before = LogNoAssert();
    EXPECT_EQ(LogSwitch("/NOASSERT"), 1);
    EXPECT_NE(LogNoAssert(), before);
    LogSwitch("-noassert");
    EXPECT_EQ(LogNoAssert(), before);
}

} // namespace
