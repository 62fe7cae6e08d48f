#include "ui/window.h"

#include <atomic>

#include "diag/logit.h"

namespace {

std::atomic<int64_t> clockBase{0};

int64_t CounterMilliseconds()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    int64_t perMillisecond = frequency.QuadPart / 1000;
    return counter.QuadPart / (perMillisecond > 0 ? perMillisecond : 1);
}

} // namespace

int WINDOW::WinProcessMessages(int n)
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

void WINDOW::Sleep(int milliseconds)
{
    LogPrint("WINDOW::Sleep\n");
    uint64_t deadline = Milliseconds() + (milliseconds > 0 ? milliseconds : 0);
    while (Milliseconds() < deadline) {
        ::Sleep(100);
        WinProcessMessages(42);
    }
    LogPrint("WINDOW::Sleep done\n");
}

int WINDOW::WinWaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    return WinWaitForSingleObjectResult(handle, milliseconds) == WAIT_OBJECT_0 ? 1 : 0;
}

DWORD WINDOW::WinWaitForSingleObjectResult(HANDLE handle, DWORD milliseconds)
{
    DWORD rc;
    for (;;) {
        rc = MsgWaitForMultipleObjects(1, &handle, FALSE, milliseconds, QS_ALLINPUT & 0xFF);
        if (rc != WAIT_OBJECT_0 + 1)
            break;
        MSG msg;
        for (int i = 0; i < 10 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); i++) {
            LogPrint("WINDOW::WinWaitForSingleObject dispatch msg= %04x\n", msg.message);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    LogPrint("WINDOW::WinWaitForSingleObject finished\n");
    return rc;
}

uint64_t WINDOW::Milliseconds()
{
    int64_t now = CounterMilliseconds();
    int64_t expected = 0;
    // The first reading sets the base.
    clockBase.compare_exchange_strong(expected, now);
    return static_cast<uint64_t>(now - clockBase.load());
}

void WINDOW::ResetClock()
{
    clockBase.store(CounterMilliseconds());
}
