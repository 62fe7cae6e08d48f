// WINDOW: the window class of the toolkit. Its static message pumps let code on a window
// thread wait (for a time, a process or a lock) while that thread's windows stay answered;
// they forward to the pumps of osys/msgpump.h, which the core uses directly.
#pragma once

#include <windows.h>

#include <cstdint>

class WINDOW {
public:
    // Dispatches up to n pending messages of the calling thread; returns n minus the number dispatched.
    static int WinProcessMessages(int n);
    // Waits ms milliseconds in 100 ms steps, dispatching up to 42 messages after each step.
    static void Sleep(int milliseconds);
    // Waits for a kernel object while dispatching messages (up to 10 per wake-up);
    // 1 when it was signalled, 0 on time-out or failure.
    static int WinWaitForSingleObject(HANDLE handle, DWORD milliseconds);

    // The millisecond clock: milliseconds since its base (taken at the first reading).
    static uint64_t Milliseconds();
    static void ResetClock();
};
