// The sample application as a user runs it: its language library, the notification icon's
// menu, the Ctrl+Q accelerator and the window rectangle it keeps between runs.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "e2e_support.h"
#include "handles.h"
#include "windowfind.h"

namespace e2e {
namespace {

constexpr UINT kTrayNotify = 0x4F0;
constexpr char kPositionKey[] = "Software\\Tarvo\\TarvoSample";

// One interactive run of the sample from a folder with its language libraries.
class SampleRun {
public:
    explicit SampleRun(rig::ScratchFolder& folder) : folder(folder)
    {
        std::string exe = folder.PathOf("TarvoSample.exe");
        std::string commandLine = rig::QuoteArgument(exe);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.Path().c_str(),
                           &startup, &info)) {
            process.reset(info.hProcess);
            rig::UniqueHandle thread(info.hThread);
            processId = info.dwProcessId;
            window = Find("TarvoSampleMainWindow");
        }
    }
    ~SampleRun()
    {
        if (process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT)
            TerminateProcess(process.get(), 1);
    }

    HWND Find(const char* className) { return rig::WaitForVisibleWindow(processId, className, 20000); }
    // Waits for the end of the program; its exit code, 259 while it still runs.
    DWORD Ended()
    {
        DWORD exitCode = 259;
        if (WaitForSingleObject(process.get(), 20000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.get(), &exitCode);
        return exitCode;
    }
    Record Lines() { return ReadRecord(folder.PathOf("TarvoSample.record")); }

    rig::ScratchFolder& folder;
    rig::UniqueHandle process;
    DWORD processId = 0;
    HWND window = nullptr;
};

void Press(WORD key, bool down)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

TEST(SampleApplication, TrayMenuAcceleratorAndWindowMemory)
{
    RegDeleteKeyA(HKEY_CURRENT_USER, kPositionKey);
    rig::ScratchFolder folder("sample-app");
    ASSERT_TRUE(folder.CopyIn(SampleExe()));
    ASSERT_TRUE(folder.MakeFolder("lang"));
    for (const char* library : {"english.dll", "german.dll"})
        ASSERT_TRUE(folder.CopyIn(rig::WindowsPathOf(TARVO_SAMPLE_LANG) + "\\" + library, std::string("lang\\") + library));

    {
        SampleRun run(folder);
        ASSERT_TRUE(run.window);
        SetWindowPos(run.window, nullptr, 123, 77, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
        // The icon's menu, as a right click on the icon opens it: Show, a separator, Exit.
        PostMessageA(run.window, kTrayNotify, 1, WM_RBUTTONUP);
        HWND menu = run.Find("#32768");
        ASSERT_TRUE(menu);
        for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN})
            PostMessageA(menu, WM_KEYDOWN, key, 0);
        EXPECT_EQ(run.Ended(), 0u);
        Record record = run.Lines();
        EXPECT_EQ(record.Value("language"), "english");
        EXPECT_EQ(record.Value("trayicon"), "1");
        EXPECT_EQ(record.Value("end"), "menu");
    }

    // In German, where the last run left it; Ctrl+Q ends it.
    ASSERT_TRUE(folder.Write("TarvoSample.ini", "Language=7\r\n"));
    SampleRun run(folder);
    ASSERT_TRUE(run.window);
    RECT rect{};
    GetWindowRect(run.window, &rect);
    EXPECT_EQ(rect.left, 123);
    EXPECT_EQ(rect.top, 77);
    EXPECT_EQ(rect.right - rect.left, 400);
    EXPECT_EQ(rect.bottom - rect.top, 300);
    SetForegroundWindow(run.window);
    Press(VK_CONTROL, true);
    Press('Q', true);
    Press('Q', false);
    Press(VK_CONTROL, false);
    EXPECT_EQ(run.Ended(), 0u);
    Record record = run.Lines();
    EXPECT_EQ(record.Value("language"), "german");
    EXPECT_EQ(record.Value("end"), "menu");
    RegDeleteKeyA(HKEY_CURRENT_USER, kPositionKey);
}

} // namespace
} // namespace e2e
