#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "diag/crashdump.h"
#include "diag/logit.h"

namespace {

TEST(CrashDump, KindsByLevelModFive)
{
    struct Case {
        int level;
        const char* name;
        DWORD type;
    };
    const Case cases[] = {{0, "TINY", 0x000}, {1, "MINI", 0x150},  {2, "TARVO", 0x155},
                          {3, "MIDI", 0x325}, {4, "MAXI", 0x126},  {5, "TINY", 0x000},
                          {7, "TARVO", 0x155}, {14, "MAXI", 0x126}};
    for (const Case& c : cases) {
        EXPECT_STREQ(CrashDumpKindName(c.level), c.name) << c.level;
        EXPECT_EQ(CrashDumpType(c.level), c.type) << c.level;
    }
}

TEST(CrashDump, BaseAndFileNames)
{
    char base[11];
    ASSERT_TRUE(CrashBaseName(base, sizeof(base), "Ser.vice", "1.02"));
    EXPECT_STREQ(base, "SERVICE102");
    EXPECT_FALSE(CrashBaseName(base, sizeof(base) - 1, "Ser.vice", "1.02"));
    ASSERT_TRUE(CrashBaseName(base, sizeof(base), "service", "0.00"));

    struct Case {
        const char* user;
        int n;
        const char* kind;
        const char* expected;
    };
    const Case cases[] = {
        {"root", 0, "TARVO", "C:\\D\\Tarvo.CrashInfo.SERVICE000.root.TARVO.dmp"},
        {"root", 1, "TARVO", "C:\\D\\Tarvo.CrashInfo.SERVICE000.root1.TARVO.dmp"},
        {"root", 99, "MAXI", "C:\\D\\Tarvo.CrashInfo.SERVICE000.root99.MAXI.dmp"},
        {"John Q  Public", 0, "MINI", "C:\\D\\Tarvo.CrashInfo.SERVICE000.John_Q__Public.MINI.dmp"},
    };
    char out[512];
    for (const Case& c : cases) {
        ASSERT_TRUE(CrashDumpFileName(out, sizeof(out), "C:\\D\\", base, c.user, c.n, c.kind)) << c.user;
        EXPECT_STREQ(out, c.expected);
    }
}

// The longest user name the system allows: the file's own name, with ".gz", still fits the
// 255 characters of a name, and every buffer stays within its bound.
TEST(CrashDump, LongestUserName)
{
    std::string user(CRASH_USER_NAME_MAX, 'u');
    user[10] = ' ';
    char out[1024];
    const char* folder = "C:\\users\\someone\\Desktop\\";
    for (int n : {0, 99}) {
        ASSERT_TRUE(CrashDumpFileName(out, sizeof(out), folder, "SERVICE000", user.c_str(), n, "TARVO"));
        std::string name = out + strlen(folder);
        EXPECT_EQ(name.size() + strlen(".gz"), 255u) << name;
        EXPECT_EQ(name.rfind("Tarvo.CrashInfo.SERVICE000.uuuuuuuuuu_uuu", 0), 0u) << name;
        EXPECT_TRUE(name.ends_with(n ? "u99.TARVO.dmp" : "u.TARVO.dmp")) << name;
    }
    size_t needed = strlen(out) + 1;
    EXPECT_TRUE(CrashDumpFileName(out, needed, folder, "SERVICE000", user.c_str(), 99, "TARVO"));
    EXPECT_FALSE(CrashDumpFileName(out, needed - 1, folder, "SERVICE000", user.c_str(), 99, "TARVO"));
}

TEST(CrashDump, PercentEncoding)
{
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"", ""},
        {"AZaz09-._~", "AZaz09-._~"},
        {"a b&c=d#e?f/g%h+i;j", "a%20b%26c%3Dd%23e%3Ff%2Fg%25h%2Bi%3Bj"},
        {"\"<>\\^`{|}", "%22%3C%3E%5C%5E%60%7B%7C%7D"},
        {"\x01\x7F\x80\xFF", "%01%7F%80%FF"},
    };
    char out[128];
    for (const Case& c : cases) {
        ASSERT_TRUE(PercentEncode(out, sizeof(out), c.text)) << c.text;
        EXPECT_STREQ(out, c.expected);
    }
    char small[4];
    EXPECT_TRUE(PercentEncode(small, sizeof(small), "abc"));
    EXPECT_FALSE(PercentEncode(small, sizeof(small), "ab "));
}

TEST(CrashDump, ReportAddress)
{
    const char* server = "https://www.tarvo.example";
    const char* dump = "Tarvo.CrashInfo.SERVICE000.John_Q.TARVO.dmp";
    char out[2048];
    ASSERT_TRUE(CrashReportAddress(out, sizeof(out), server, dump, false, ""));
    EXPECT_STREQ(out, "https://www.tarvo.example/common/crashreport.php?filename=Tarvo.CrashInfo.SERVICE000.John_Q.TARVO.dmp");
    ASSERT_TRUE(CrashReportAddress(out, sizeof(out), server, dump, true, "id 7"));
    EXPECT_STREQ(out, "https://www.tarvo.example/common/crashreport.php?filename=Tarvo.CrashInfo.SERVICE000.John_Q.TARVO.dmp"
                      "&html=htm&userdata=id%207");

    // The longest user data, made of characters that would add keys or end the query.
    std::string data;
    while (data.size() < CRASH_USER_DATA_MAX)
        data += "&=# ";
    data.resize(CRASH_USER_DATA_MAX);
    ASSERT_TRUE(CrashReportAddress(out, sizeof(out), server, dump, false, data.c_str()));
    std::string address = out;
    std::string query = address.substr(address.find('?') + 1);
    EXPECT_EQ(query.find('#'), std::string::npos) << query;
    EXPECT_EQ(std::count(query.begin(), query.end(), '&'), 1) << query;
    EXPECT_EQ(std::count(query.begin(), query.end(), '='), 2) << query;
    EXPECT_EQ(query.size(), strlen("filename=") + strlen(dump) + strlen("&userdata=") + 3 * CRASH_USER_DATA_MAX);

    size_t needed = address.size() + 1;
    EXPECT_TRUE(CrashReportAddress(out, needed, server, dump, false, data.c_str()));
    EXPECT_FALSE(CrashReportAddress(out, needed - 1, server, dump, false, data.c_str()));
}

// Non-ASCII text is sent as UTF-8, the form a web server reads.
TEST(CrashDump, ReportAddressSendsUtf8)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "the system code page is " << GetACP();
    char out[512];
    ASSERT_TRUE(CrashReportAddress(out, sizeof(out), "https://h", "J\xFCrgen.dmp", false, "\x80 \xE9"));
    EXPECT_STREQ(out, "https://h/common/crashreport.php?filename=J%C3%BCrgen.dmp&userdata=%E2%82%AC%20%C3%A9");
}

// The switches install the handler in this process: the test puts back the filter it found.
TEST(CrashDump, SwitchLevelsOnlyRise)
{
    auto installed = [] {
        LPTOP_LEVEL_EXCEPTION_FILTER current = SetUnhandledExceptionFilter(nullptr);
        SetUnhandledExceptionFilter(current);
        return current;
    };
    LPTOP_LEVEL_EXCEPTION_FILTER previous = installed();
    SetCrashDumpLevel(0);
    EXPECT_EQ(CrashDumpLevel(), 0);
    EXPECT_EQ(installed(), previous);

    const std::pair<const char*, int> steps[] = {{"/CRASHDUMPX", 2}, {"-crashdump:7", 7}, {"/CRASHDUMP:1", 7},
                                                 {"/CRASHDUMP", 7},  {"/CRASHDUMP:9", 9}, {"/CRASHDUMP:x", 9}};
    for (const auto& [argument, level] : steps) {
        EXPECT_EQ(LogSwitch(argument), 1) << argument;
        EXPECT_EQ(CrashDumpLevel(), level) << argument;
        EXPECT_EQ(installed(), &TARVOAPP::WriteDumpToFileHandler) << argument;
    }
    EXPECT_EQ(LogSwitch("/CRASH"), 0);
    SetUnhandledExceptionFilter(previous);
}

} // namespace
