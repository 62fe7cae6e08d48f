#include "osys/msgpump.h"

#include "diag/logit.h"
#include "osys/processvalues.h"

namespace {

constexpr DWORD PUMP_STEP_MS = 100;
// MsgWaitForMultipleObjects wakes for any input the thread's windows may receive.
constexpr DWORD PUMP_WAKE_MASK = QS_ALLINPUT & 0xFF;

} // namespace

namespace OSYS {

int PumpMessages(int n)
{
    int dispatched = 0;
    MSG msg;
    while (dispatched < n && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        LogPrint("WINDOW::WinProcessMessages dispatch msg= %04x\n", msg.message);
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        dispatched++;
    }
    LogPrint("WINDOW::WinProcessMessages done after n=%d messages\n", dispatched);
    return n - dispatched;
}

void PumpSleep(int milliseconds)
{
    LogPrint("WINDOW::Sleep\n");
    uint64_t deadline = ClockMilliseconds() + (milliseconds > 0 ? milliseconds : 0);
    while (ClockMilliseconds() < deadline) {
        ::Sleep(PUMP_STEP_MS);
        PumpMessages(PUMP_SLEEP_BATCH);
    }
    LogPrint("WINDOW::Sleep done\n");
}

DWORD PumpWait(HANDLE handle, DWORD milliseconds)
{
    DWORD rc;
    for (;;) {
        rc = MsgWaitForMultipleObjects(1, &handle, FALSE, milliseconds, PUMP_WAKE_MASK);
        if (rc != WAIT_OBJECT_0 + 1)
            break;
        MSG msg;
        for (int i = 0; i < PUMP_WAIT_BATCH && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); i++) {
            LogPrint("WINDOW::WinWaitForSingleObject dispatch msg= %04x\n", msg.message);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    LogPrint("WINDOW::WinWaitForSingleObject finished\n");
    return rc;
}

} // namespace OSYS
