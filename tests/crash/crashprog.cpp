// crashprog: a program on the class library that crashes on request, for crash_test.sh.
// It starts through TARVOAPP::Start, so the library's switches (/CRASHDUMP, /LOGIT, ...) act
// as in any program; its dumps are named as service.exe's would be (SERVICE000). Its own
// switches:
//   /DESKTOP      prints the desktop folder and the user name, one per line, and ends
//   /USERDATA:t   sets the crash user data to t
//   /FAULT        writes to an invalid address
//   /ASSERT       fails an assertion (answered No by the caller, it ends the program)
//   /F9           shows a toolkit window and types Ctrl+Shift+F9 into it
//   /OVERFLOW     overflows its stack
//   /F9POST       shows a toolkit window and posts Ctrl+Shift+F9 to it (the keyboard state set
//                 for its own thread), for a window station where no input is typed
//   /INSTATION    runs itself with the other switches in a window station of its own, as a
//                 service runs, and ends with that run's exit code
//   /RECORD:file  writes its own command line to file (the stand-in for a browser)
//   /VERSION:t    gives t to the language-module loader as the program's version
// Exit codes of its own: 0 done, 3 still running after the crash was asked for.
#include <windows.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "approot/approot.h"
#include "approot/arguments.h"
#include "diag/assert.h"
#include "diag/crashdump.h"
#include "diag/logit.h"
#include "osys/osys_win32.h"
#include "osys/osysfile.h"
#include "osys/processvalues.h"
#include "ui/window.h"

namespace {

constexpr int EXIT_NOT_CRASHED = 3;

void PressKey(WORD key, bool down)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof(input));
}

// Pumps the thread's messages for up to ten seconds.
void PumpForAWhile()
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 10000) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(10);
    }
}

// Types Ctrl+Shift+F9 into a toolkit window of this thread through the system's input queue
// (the toolkit's window procedure hands every message to the log's hotkeys) and pumps its
// messages for up to ten seconds.
int CrashThroughHotkey()
{
    WINDOW window(WS_OVERLAPPEDWINDOW | WS_VISIBLE, "crashprog", 0, 0, 200, 100, nullptr, 0, 0, "TarvoCrashHotkeyWindow");
    if (!window.IsValid())
        return 1;
    window.SetForeground(1);
    window.SetFocus();
    PressKey(VK_CONTROL, true);
    PressKey(VK_SHIFT, true);
    PressKey(VK_F9, true);
    PressKey(VK_F9, false);
    PressKey(VK_SHIFT, false);
    PressKey(VK_CONTROL, false);
    PumpForAWhile();
    return EXIT_NOT_CRASHED;
}

// Each call keeps a page of its own on the stack, and uses it after the next call returns, so
// that the calls cannot become a loop. The depth limit is never reached: the stack ends first.
__attribute__((noinline)) int Overflow(int depth)
{
    volatile char page[4096];
    page[depth % sizeof(page)] = static_cast<char>(depth);
    if (depth == INT_MAX)
        return page[0];
    return Overflow(depth + 1) + page[(depth * 7) % sizeof(page)];
}

int CrashThroughPostedHotkey()
{
    WINDOW window(WS_OVERLAPPEDWINDOW, "crashprog", 0, 0, 200, 100, nullptr, 0, 0, "TarvoCrashHotkeyWindow");
    if (!window.IsValid())
        return 1;
    BYTE keys[256] = {};
    keys[VK_CONTROL] = keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    PostMessageA(window.Hwnd(), WM_KEYDOWN, VK_F9, 1);
    // The key is the last message posted: once the queue is empty it has been handled.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
    return EXIT_NOT_CRASHED;
}

// Runs this program again, without /INSTATION, on a desktop of a new window station.
int RunInOwnStation()
{
    HWINSTA station = CreateWindowStationA("TarvoCrashStation", 0, WINSTA_ALL_ACCESS, nullptr);
    HWINSTA previous = GetProcessWindowStation();
    if (!station || !SetProcessWindowStation(station))
        return 1;
    HDESK desktop = CreateDesktopA("Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    SetProcessWindowStation(previous);
    if (!desktop)
        return 1;
    char commandLine[4096];
    const char* rest = strstr(GetCommandLineA(), "/INSTATION");
    snprintf(commandLine, sizeof(commandLine), "\"%s\" %s", FILENAME("<self>").c_str(),
             rest ? rest + strlen("/INSTATION") : "");
    // The run in the station writes the log that the switches name.
    LogSwitch("/LOGITCLOSE");
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    char desktopName[] = "TarvoCrashStation\\Default";
    startup.lpDesktop = desktopName;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return 1;
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(info.hProcess, &exitCode);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return static_cast<int>(exitCode);
}

int Record(const char* file)
{
    FILE* out = fopen(file, "w");
    if (!out)
        return 1;
    fprintf(out, "%s\n", GetCommandLineA());
    fclose(out);
    return 0;
}

} // namespace

int AppMain(int, char**, char**)
{
    gAppName = "service";
    if (TestArg("INSTATION"))
        return RunInOwnStation();
    if (TestArgValue("RECORD", 0))
        return Record(GetArgValue("RECORD", 0).c_str());
    if (TestArg("DESKTOP")) {
        printf("%s\n%s\n", OSYS::GetSystemPath(8).c_str(), OSYS::UserName().c_str());
        return 0;
    }
    if (TestArgValue("VERSION", 0))
        TARVOAPP::LoadLanguageModule(nullptr, "lang", GetArgValue("VERSION", 0).c_str(), "service", 1);
    if (TestArgValue("USERDATA", 0))
        SetCrashUserData(GetArgValue("USERDATA", 0).c_str());
    if (TestArg("FAULT")) {
        volatile uintptr_t invalidAddress = 0x20;
        *reinterpret_cast<volatile int*>(invalidAddress) = 1;
    }
    if (TestArg("ASSERT"))
        AssertCheck(0, "crash test", __FILE__, __LINE__, "declined on purpose", 0);
    if (TestArg("F9"))
        return CrashThroughHotkey();
    if (TestArg("F9POST"))
        return CrashThroughPostedHotkey();
    if (TestArg("OVERFLOW"))
        return Overflow(0) ? EXIT_NOT_CRASHED : EXIT_NOT_CRASHED + 1;
    return TestArg("FAULT") || TestArg("ASSERT") ? EXIT_NOT_CRASHED : 0;
}

int main()
{
    return TARVOAPP::Start(GetModuleHandleA(nullptr), AppMain);
}
