#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <string>

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/processvalues.h"
#include "scratch.h"

namespace {

// Runs a test inside a fresh current directory, where "assert.log" is written.
class AssertTest : public testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(MAX_PATH, previous);
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "tarvo_assert_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder.c_str(), nullptr);
        SetCurrentDirectoryA(folder.c_str());
        DeleteFileA("assert.log");
    }
    void TearDown() override
    {
        DeleteFileA("assert.log");
        SetCurrentDirectoryA(previous);
        RemoveDirectoryA(folder.c_str());
        gLocale = 9;
    }
    std::string AssertLog() const { return rig::ReadFileBytes(folder + "\\assert.log"); }

    char previous[MAX_PATH] = {};
    std::string folder;
};

std::string lastCondition, lastInfo;
void Remember(const char* condition, const char* info)
{
    lastCondition = condition;
    lastInfo = info ? info : "<none>";
}

TEST_F(AssertTest, AHoldingConditionDoesNothing)
{
    AssertObserver previousObserver = SetAssertObserver(Remember);
    lastCondition.clear();
    EXPECT_EQ(AssertCheck(1, "ok", ".\\strings", 1, nullptr, 0), 1);
    EXPECT_EQ(lastCondition, "");
    EXPECT_EQ(GetFileAttributesA("assert.log"), INVALID_FILE_ATTRIBUTES);
    SetAssertObserver(previousObserver);
}

TEST_F(AssertTest, ReportIsRecordedInAssertLog)
{
    AssertObserver previousObserver = SetAssertObserver(Remember);
    SetLastError(0);
    EXPECT_EQ(AssertCheck(0, "i>=0 && i<this->StrLen", ".\\strings", 1697, "i= 5, len= 3, buf= %s%n", 0), 1);
    EXPECT_EQ(lastCondition, "i>=0 && i<this->StrLen");
    EXPECT_EQ(lastInfo, "i= 5, len= 3, buf= %s%n");
    SetLastError(ERROR_FILE_NOT_FOUND);
    AssertCheck(0, "hmux", "C:/src/osys/locks.cpp", 12, nullptr, 1);
    // The caller's last error survives the report.
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    SetAssertObserver(previousObserver);

    std::string log = AssertLog();
    EXPECT_TRUE(std::regex_search(
        log, std::regex(R"(^--- Tarvo \S+ \(0\.00\) --- \d{4}-\d\d-\d\d \d\d:\d\d:\d\d ---\r\n\r\n)")))
        << log;
    EXPECT_NE(log.find("    Condition: i>=0 && i<this->StrLen\r\n"
                       "    Location : strings line 1697\r\n"
                       "    Last Err.: 0L ()\r\n"
                       "    Add. Info: i= 5, len= 3, buf= %s%n\r\n\r\n\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("    Location : locks.cpp line 12\r\n    Last Err.: 2L ("), std::string::npos) << log;
    EXPECT_NE(log.find("    Add. Info: <null>\r\n"), std::string::npos);
}

TEST_F(AssertTest, GermanReport)
{
    gLocale = 7;
    SetLastError(0);
    AssertCheck(0, "pLock", "dynarray", 40, "x", 1);
    std::string log = AssertLog();
    EXPECT_NE(log.find("    Bedingung: pLock\r\n    Datei: dynarray Zeile 40\r\n    Code : 0L ()\r\n    Info : x\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("--- Tarvo "), std::string::npos); // the header keeps its fixed form
}

TEST_F(AssertTest, TheHeaderCarriesTheVersionTheLoaderWasGiven)
{
    STRING saved = gSecondName;
    gSecondName = "1.02";
    AssertCheck(0, "x", "f", 1, nullptr, 1);
    gSecondName = saved;
    EXPECT_TRUE(std::regex_search(AssertLog(), std::regex(R"(^--- Tarvo \S+ \(1\.02\) --- )"))) << AssertLog();
}

} // namespace
