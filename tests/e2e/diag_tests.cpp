// The diagnostic switches of a real service.exe run: log targets, their header and farewell
// lines, and the assertion question with its two answers.
#include <windows.h>
#include <shlobj.h>

#include <regex>

#include "e2e_support.h"

namespace e2e {
namespace {

std::string DocumentsPath(const std::string& name)
{
    char folder[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, folder);
    return std::string(folder) + "\\" + name;
}

size_t Count(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        count++;
    return count;
}

TEST(LogSwitches, LevelSwitchOpensTheDefaultFileInTheDocumentsFolder)
{
    std::string logPath = DocumentsPath("Tarvo_SERVICE_logit.log");
    DeleteFileA(logPath.c_str());
    ControllerFolder controller("log-default");
    ASSERT_TRUE(controller.WriteConfig(ConfigText(RequiredEntries(kNoService))));
    ExpectNoBox(controller.Run({"/LOG:3", "/start"}), kExitStartFailed);

    std::string log = rig::ReadFileBytes(logPath);
    DeleteFileA(logPath.c_str());
    ASSERT_FALSE(log.empty()) << logPath;
    EXPECT_TRUE(std::regex_search(
        log, std::regex(R"(^\[000\.000:[0-9a-f]{4,5}\] Logging starts at \d{4}-\d\d-\d\d \d\d:\d\d:\d\d\r\n)")))
        << log;
    EXPECT_TRUE(std::regex_search(log, std::regex(R"(\] Running as .*\\service\.exe \(\d+ bytes, )"))) << log;
    EXPECT_NE(log.find("] LogitLevel 00000003\r\n"), std::string::npos);
    EXPECT_NE(log.find("] HASH::Load service.cfg\r\n"), std::string::npos);
    EXPECT_NE(log.find("] Welcome back service, you have safely returned to TARVOAPP with exit code 6\r\n"),
              std::string::npos);
    EXPECT_NE(log.find("] Over and out.\r\n"), std::string::npos);
    // Every line carries the prefix and ends in CR LF.
    std::regex line(R"(\[\d{3}\.\d{3}:[0-9a-f]{4,5}\] [^\r\n]*\r\n)");
    EXPECT_EQ(std::regex_replace(log, line, ""), "") << log;
}

TEST(LogSwitches, StandardErrorTarget)
{
    ControllerFolder controller("log-stderr");
    ASSERT_TRUE(controller.WriteConfig(ConfigText(RequiredEntries(kNoService))));
    std::string errorPath = controller.PathOf("stderr.txt");

    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE errorFile = CreateFileA(errorPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(errorFile, INVALID_HANDLE_VALUE);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = errorFile;
    std::string commandLine = rig::QuoteArgument(controller.Exe()) + " /LOGIT:STDERR /stop";
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                               controller.Folder().Path().c_str(), &startup, &process));
    CloseHandle(errorFile);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, kRunTimeoutMs), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    EXPECT_EQ(exitCode, kExitStopFailed);
    std::string written = controller.Folder().Read("stderr.txt");
    EXPECT_NE(written.find("] Logging starts at "), std::string::npos) << written;
    EXPECT_NE(written.find("] TestArg(\"STOP\") returned 1\r\n"), std::string::npos) << written;
    EXPECT_NE(written.find("exit code 7\r\n"), std::string::npos) << written;
}

TEST(LogSwitches, KeepAppendsEachRunOnANewLine)
{
    ControllerFolder controller("log-keep");
    ASSERT_TRUE(controller.WriteConfig(ConfigText(RequiredEntries(kNoService))));
    std::string logPath = controller.PathOf("kept.log");
    for (int run = 0; run < 2; run++)
        ExpectNoBox(controller.Run({"/LOGITKEEP:" + logPath, "/start"}), kExitStartFailed);
    std::string log = rig::ReadFileBytes(logPath);
    EXPECT_EQ(Count(log, "] Logging starts at "), 2u) << log;
    EXPECT_EQ(Count(log, "] Over and out.\r\n\r\n["), 1u) << log;
}

class AssertionQuestion : public testing::Test {
protected:
    void SetUp() override
    {
        // A configuration line without "=" is a failed check of the key/value reader.
        ASSERT_TRUE(controller.WriteConfig(ConfigText(RequiredEntries(kNoService)) + "a line without equals\r\n"));
    }
    ControllerFolder controller{"assert-question"};
};

TEST_F(AssertionQuestion, YesContinuesTheRun)
{
    rig::RunResult result = controller.Run({"/?"}, rig::BoxAnswer::Yes);
    EXPECT_EQ(result.exitCode, kExitSyntax) << Describe(result);
    ASSERT_EQ(result.boxes.size(), 2u) << Describe(result);
    const rig::MessageBoxSeen& question = result.boxes[0];
    EXPECT_TRUE(std::regex_match(question.title, std::regex(R"(Tarvo service \(0\.00\) / .+)"))) << question.title;
    EXPECT_EQ(question.buttons, "Yes|No");
    EXPECT_EQ(question.text.rfind("An unexpected condition has been encountered.", 0), 0u) << question.text;
    EXPECT_NE(question.text.find("Condition: item.Find(\"=\")"), std::string::npos) << question.text;
    EXPECT_NE(question.text.find("Add. Info: a line without equals"), std::string::npos) << question.text;
    EXPECT_NE(question.text.find("Do you want to try to continue with the program?"), std::string::npos);
    EXPECT_EQ(rig::NormalizeLineBreaks(result.boxes[1].text), rig::NormalizeLineBreaks(kSyntax));

    std::string assertLog = controller.Folder().Read("assert.log");
    EXPECT_TRUE(std::regex_search(
        assertLog,
        std::regex(
            R"(^--- Tarvo service \(0\.00\) --- \d{4}-\d\d-\d\d \d\d:\d\d:\d\d ---\r\n\r\n    Condition: item\.Find\("="\)\r\n)")))
        << assertLog;
}

TEST_F(AssertionQuestion, NoEndsTheProgramWithANonZeroCode)
{
    rig::RunResult result = controller.Run({"/?"}, rig::BoxAnswer::No);
    EXPECT_FALSE(result.timedOut);
    EXPECT_NE(result.exitCode, kExitOk);
    EXPECT_NE(result.exitCode, kExitSyntax);
    ASSERT_EQ(result.boxes.size(), 1u) << Describe(result);
    EXPECT_EQ(result.boxes[0].buttons, "Yes|No");
}

TEST_F(AssertionQuestion, NoAssertRecordsWithoutAsking)
{
    ExpectSingleBox(controller.Run({"/NOASSERT", "/?"}), kExitSyntax, kTitle, kSyntax);
    EXPECT_NE(controller.Folder().Read("assert.log").find("item.Find"), std::string::npos);
    // Given twice, the switch asks again.
    rig::RunResult twice = controller.Run({"/NOASSERT", "-noassert", "/?"}, rig::BoxAnswer::Yes);
    EXPECT_EQ(twice.boxes.size(), 2u) << Describe(twice);
}

} // namespace
} // namespace e2e
