#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "checkrecorder.h"
#include "diag/assert.h"
#include "osys/locks.h"
#include "osys/osys_win32.h"
#include "scratch.h"

namespace {

TEST(StartCommandLine, ProgramIsQuotedOnlyWithParameters)
{
    EXPECT_STREQ(OSYS::StartCommandLine("C:\\Program Files\\App\\app.exe", "/service").c_str(),
                 "\"C:\\Program Files\\App\\app.exe\" /service");
    EXPECT_STREQ(OSYS::StartCommandLine("C:\\Program Files\\App\\app.exe", "").c_str(),
                 "C:\\Program Files\\App\\app.exe");
    EXPECT_STREQ(OSYS::StartCommandLine("C:\\App\\app.exe", nullptr).c_str(), "C:\\App\\app.exe");
    EXPECT_STREQ(OSYS::StartCommandLine("\"C:\\A b\\app.exe\"", "/x").c_str(), "\"C:\\A b\\app.exe\" /x");
    EXPECT_STREQ(OSYS::StartCommandLine("a%sb", "%n").c_str(), "\"a%sb\" %n");
}

TEST(StartCommandLine, OverLongLinesAreRefusedNotCut)
{
    std::string program(1019, 'x');
    EXPECT_EQ(OSYS::StartCommandLine(program.c_str(), nullptr).Length(), 1019);
    // Two quotes and a blank: one parameter character fills the 1023, two are too many.
    EXPECT_EQ(OSYS::StartCommandLine(program.c_str(), "a").Length(), 1023);
    EXPECT_FALSE(OSYS::StartCommandLine(program.c_str(), "ab").IsFilled());
    EXPECT_FALSE(OSYS::StartCommandLine(std::string(1024, 'x').c_str(), nullptr).IsFilled());
}

TEST(StartProgram, ExitCodesOfARealProgram)
{
    EXPECT_EQ(StartProgramExitCode("cmd.exe", "/c exit 3", nullptr, nullptr), 3);
    EXPECT_EQ(StartProgramExitCode("cmd.exe", "/c exit 0", nullptr, nullptr), 0);
    EXPECT_EQ(StartProgramExitCode("C:\\no\\such\\program.exe", nullptr, nullptr, nullptr), 1);
}

TEST(StartProgram, FailuresLeaveTheExitCodeAtMinusEight)
{
    int exitCode = 0;
    EXPECT_EQ(
        OSYS::StartProgram("C:\\no\\such\\program.exe", "/x", nullptr, nullptr, OSYS::START_SYNC, nullptr, &exitCode),
        0);
    EXPECT_EQ(exitCode, -8);

    std::string longDirectory(1024, 'd');
    exitCode = 0;
    EXPECT_EQ(OSYS::StartProgram("cmd.exe", "/c exit 3", longDirectory.c_str(), nullptr, OSYS::START_SYNC, nullptr,
                                 &exitCode),
              0);
    EXPECT_EQ(exitCode, -8);
    std::string longTitle(256, 't');
    EXPECT_EQ(
        OSYS::StartProgram("cmd.exe", "/c exit 3", nullptr, longTitle.c_str(), OSYS::START_SYNC, nullptr, &exitCode),
        0);
}

TEST(StartProgram, OverLongCommandLinesAreRefusedWithoutAReport)
{
    // Longer than the formatter's own area too, which reports what does not fit it.
    const std::string program(1019, 'x'), parameters(9000, 'p');
    struct Case {
        std::string program;
        const char* parameters;
    } cases[] = {
        {program, "ab"},
        {program + "yyyyy", nullptr},
        {"cmd.exe", parameters.c_str()},
        {"\"" + program + "\"", "/service"},
        {"\"C:\\app.exe\"", parameters.c_str()},
    };
    rig::CheckRecorder seen;
    for (const Case& c : cases) {
        int exitCode = 0;
        EXPECT_EQ(
            OSYS::StartProgram(c.program.c_str(), c.parameters, nullptr, nullptr, OSYS::START_SYNC, nullptr, &exitCode),
            0)
            << c.program.size();
        EXPECT_EQ(exitCode, -8);
    }
    EXPECT_TRUE(seen.Conditions().empty()) << seen.Conditions().front();
}

// A wait on a handle without the right to wait fails in the system, as a wait on a broken
// handle would.
DWORD WINAPI WaitWithoutSynchronizeRight(HANDLE process, DWORD milliseconds)
{
    HANDLE limited = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &limited, PROCESS_QUERY_LIMITED_INFORMATION,
                         FALSE, 0))
        return WAIT_FAILED;
    DWORD result = WaitForSingleObject(limited, milliseconds);
    DWORD error = GetLastError();
    CloseHandle(limited);
    SetLastError(error);
    return result;
}

TEST(StartProgram, AFailedWaitIsNoEnd)
{
    // The report's "assert.log" lands in a scratch folder.
    rig::ScratchFolder folder("start-wait");
    char previousDirectory[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previousDirectory);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.Path().c_str()));
    OSYS::ProcessWait previous = OSYS::SetStartProgramWait(WaitWithoutSynchronizeRight);
    rig::CheckRecorder seen;
    int exitCode = 0;
    PROCESS_INFORMATION info = {};
    EXPECT_EQ(OSYS::StartProgram("cmd.exe", "/c exit 3", nullptr, nullptr, OSYS::START_SYNC, &info, &exitCode), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(exitCode, -8);
    EXPECT_EQ(info.hProcess, nullptr);
    EXPECT_EQ(StartProgramExitCode("cmd.exe", "/c exit 0", nullptr, nullptr), 1);
    EXPECT_EQ(seen.Conditions(), (std::vector<std::string>{"rc!=WAIT_FAILED", "rc!=WAIT_FAILED"}));
    OSYS::SetStartProgramWait(previous);
    EXPECT_EQ(StartProgramExitCode("cmd.exe", "/c exit 0", nullptr, nullptr), 0);
    EXPECT_NE(folder.Read("assert.log").find("rc!=WAIT_FAILED"), std::string::npos);
    SetCurrentDirectoryA(previousDirectory);
}

TEST(StartProgram, HiddenPrefixIsNotPartOfTheCommandLine)
{
    int exitCode = 0;
    ASSERT_EQ(OSYS::StartProgram("#cmd.exe", "/c exit 5", nullptr, nullptr, OSYS::START_SYNC, nullptr, &exitCode), 1);
    EXPECT_EQ(exitCode, 5);
    ASSERT_EQ(OSYS::StartProgram("*cmd.exe", "/c exit 6", nullptr, nullptr, OSYS::START_SYNC, nullptr, &exitCode), 1);
    EXPECT_EQ(exitCode, 6);
}

TEST(StartProgram, AsynchronousStartHandsOverTheHandles)
{
    PROCESS_INFORMATION info = {};
    ASSERT_EQ(OSYS::StartProgram("cmd.exe", "/c exit 9", nullptr, nullptr, 0, &info, nullptr), 1);
    ASSERT_NE(info.hProcess, nullptr);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    EXPECT_EQ(code, 9u);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

} // namespace

namespace {

unsigned __stdcall CheckRecordAndWait(void* argument)
{
    auto* record = static_cast<OSYS::THREADPARM*>(argument);
    auto* release = static_cast<HANDLE*>(record->parameter);
    unsigned result = record->marker == OSYS::THREADPARM::MARKER ? static_cast<unsigned>(record->value) : 0;
    delete record; // the thread owns its record
    WaitForSingleObject(*release, INFINITE);
    return result;
}

TEST(Threads, RecordReachesTheThreadAndWaitClosesTheHandle)
{
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = OSYS::CreateThreadWithParm(CheckRecordAndWait, 42, &release);
    ASSERT_NE(thread, nullptr);
    // A poll of a running thread fails and keeps the handle open.
    EXPECT_FALSE(OSYS::WaitThread(thread, 0));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    SetEvent(release);
    // Keep a duplicate to read the exit code after WaitThread closed its handle.
    HANDLE observer = nullptr;
    DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &observer, 0, FALSE, DUPLICATE_SAME_ACCESS);
    EXPECT_TRUE(OSYS::WaitThread(thread, 10000));
    GetExitCodeThread(observer, &code);
    EXPECT_EQ(code, 42u);
    CloseHandle(observer);
    CloseHandle(release);
}

} // namespace

namespace {

TEST(MUTEXSEM, WinObtainKeepsMessagesFlowingAndCountsNesting)
{
    MUTEXSEM lock;
    ASSERT_TRUE(lock.WinObtain(-1));
    EXPECT_TRUE(lock.Obtain(0)); // the holder takes it again at once
    lock.Release();

    // Another thread holds the lock for a second while this one waits with a message pending.
    HANDLE held = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    lock.Release();
    std::thread holder([&] {
        lock.Obtain(-1);
        SetEvent(held);
        Sleep(1000);
        lock.Release();
    });
    WaitForSingleObject(held, INFINITE);
    lock.MessageThread = GetCurrentThreadId();
    EXPECT_FALSE(lock.Obtain(100)); // through WinObtain: times out
    PostThreadMessageA(GetCurrentThreadId(), WM_APP, 0, 0);
    EXPECT_TRUE(lock.Obtain(5000));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_APP, WM_APP, PM_NOREMOVE)); // dispatched while waiting
    lock.Release();
    holder.join();
    CloseHandle(held);
}

} // namespace
