#include "ui/window.h"

#include "approot/appglobals.h"
#include "osys/msgpump.h"

int WINDOW::WinProcessMessages(int n)
{
    return OSYS::PumpMessages(n);
}

void WINDOW::Sleep(int milliseconds)
{
    OSYS::PumpSleep(milliseconds);
}

int WINDOW::WinWaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    return OSYS::PumpWait(handle, milliseconds) == WAIT_OBJECT_0 ? 1 : 0;
}

uint64_t WINDOW::Milliseconds()
{
    return ClockMilliseconds();
}

void WINDOW::ResetClock()
{
    ::ResetClock();
}
