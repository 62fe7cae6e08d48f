#include <gtest/gtest.h>

#include <string>

#include "handles.h"
#include "osys/ostype.h"
#include "scratch.h"
#include "wine.h"

namespace {

TEST(ClassifyOSVersion, EveryVersionOfTheTable)
{
    struct Case {
        DWORD platform, major, minor;
        int type;
    } cases[] = {
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0}, // Windows 98
        {VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0}, // Windows ME
        {0, 0, 0, 0},                           // a failed query leaves the record cleared
        {VER_PLATFORM_WIN32_NT, 3, 51, 1},
        {VER_PLATFORM_WIN32_NT, 4, 0, 1},
        {VER_PLATFORM_WIN32_NT, 5, 0, 2},
        {VER_PLATFORM_WIN32_NT, 5, 1, 3},
        {VER_PLATFORM_WIN32_NT, 5, 2, 4}, // XP x64 and Server 2003
        {VER_PLATFORM_WIN32_NT, 5, 3, 4},
        {VER_PLATFORM_WIN32_NT, 6, 0, 5},
        {VER_PLATFORM_WIN32_NT, 6, 1, 6},
        {VER_PLATFORM_WIN32_NT, 6, 2, 7},
        {VER_PLATFORM_WIN32_NT, 6, 3, 7},
        {VER_PLATFORM_WIN32_NT, 10, 0, 7},
    };
    for (const Case& c : cases) {
        OSVERSIONINFOA version = {};
        version.dwPlatformId = c.platform;
        version.dwMajorVersion = c.major;
        version.dwMinorVersion = c.minor;
        EXPECT_EQ(OSYS::ClassifyOSVersion(version), c.type) << c.platform << " " << c.major << "." << c.minor;
    }
}

TEST(GetOSType, AgreesWithTheVersionTheSystemReports)
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(GetVersionExA(&version));
    EXPECT_EQ(OSYS::GetOSType(), OSYS::ClassifyOSVersion(version));
    EXPECT_GE(OSYS::GetOSType(), 1);
}

TEST(GetOSName, NamesAndTheUnknownForm)
{
    int type = OSYS::GetOSType();
    STRING name = OSYS::GetOSName();
    if (type == 6)
        EXPECT_STREQ(name.c_str(), "Windows 7");
    else if (type == 7)
        EXPECT_STREQ(name.c_str(), "<unknown type 7>");
    else
        EXPECT_TRUE(name.IsFilled());
}

} // namespace

namespace {

// Runs the probe with a Windows version chosen for it alone in Wine's per-program settings.
int ProbeOSType(const char* wineVersion)
{
    rig::WineVersionFor version("ostype_probe.exe", wineVersion);
    if (!version.Valid())
        return -1;
    std::string probe = rig::WindowsPathOf(OSTYPE_PROBE_EXE);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(probe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    rig::UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    DWORD code = static_cast<DWORD>(-1);
    WaitForSingleObject(processHandle.get(), 30000);
    GetExitCodeProcess(processHandle.get(), &code);
    return static_cast<int>(code);
}

TEST(GetOSType, UnderTheVersionsAWinePrefixCanReport)
{
    if (!rig::RunningUnderWine())
        GTEST_SKIP() << "the Windows version is chosen per program in Wine's settings only";
    EXPECT_EQ(ProbeOSType("win98"), 0);
    EXPECT_EQ(ProbeOSType("winxp64"), 4); // 5.2
    EXPECT_EQ(ProbeOSType("vista"), 5);
    EXPECT_EQ(ProbeOSType("win7"), 6);
    EXPECT_EQ(ProbeOSType("win10"), 7); // no compatibility manifest: reported as 6.2
}

} // namespace
