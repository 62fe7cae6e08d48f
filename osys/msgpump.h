// Message-pumping waits: code on a window thread waits (for a time, a process or a lock) while
// that thread's windows stay answered. They need no window object, so they live below the
// window toolkit, whose WINDOW::WinProcessMessages, WINDOW::Sleep and
// WINDOW::WinWaitForSingleObject forward here; the log lines carry those names.
#pragma once

#include <windows.h>

namespace OSYS {

// Messages dispatched per step: a flood of messages cannot starve the waiting code.
constexpr int PUMP_SLEEP_BATCH = 42; // per 100 ms step of PumpSleep
constexpr int PUMP_WAIT_BATCH = 10;  // per wake-up of PumpWait

// Dispatches up to n pending messages of the calling thread; returns n minus the number dispatched.
int PumpMessages(int n);
// Waits ms milliseconds in 100 ms steps, dispatching up to PUMP_SLEEP_BATCH messages after each.
void PumpSleep(int milliseconds);
// Waits for a kernel object while dispatching messages; answers the system's wait result
// (WAIT_OBJECT_0, WAIT_ABANDONED, WAIT_TIMEOUT or WAIT_FAILED).
DWORD PumpWait(HANDLE handle, DWORD milliseconds);

} // namespace OSYS
