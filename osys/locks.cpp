#include "osys/locks.h"

#include <windows.h>

#include <cstdio>
#include <new>

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/msgpump.h"

namespace {

// Closing a handle keeps the thread's last error, so a later report shows the error that
// caused it.
BOOL CloseKeepingError(HANDLE handle)
{
    DWORD error = GetLastError();
    BOOL ok = CloseHandle(handle);
    SetLastError(error);
    return ok;
}

DWORD WaitTime(int timeout)
{
    return timeout < 0 ? INFINITE : static_cast<DWORD>(timeout);
}

void ReportHandle(const char* condition, void* handle)
{
    char info[64];
    snprintf(info, sizeof(info), "handle= %p", handle);
    TARVO_CHECK(false, condition, info);
}

} // namespace

MUTEXSEM::MUTEXSEM(bool initiallyOwned, const char* name)
{
    hmux = CreateMutexA(nullptr, initiallyOwned ? TRUE : FALSE, name);
    // A named mutex that already existed is opened without ownership.
    if (hmux && initiallyOwned && GetLastError() != ERROR_ALREADY_EXISTS) {
        owner = GetCurrentThreadId();
        depth = 1;
    }
    LogPrintLevel(LOGLEVEL_MUTEX, "MUTEXSEM::MUTEXSEM created %p, name= %s\n", hmux, name ? name : "(null)");
    TARVO_CHECK(hmux != nullptr, "this->hmux", nullptr);
}

MUTEXSEM::~MUTEXSEM()
{
    LogPrintLevel(LOGLEVEL_MUTEX, "MUTEXSEM::MUTEXSEM delete %p\n", hmux);
    if (!hmux)
        return;
    if (!CloseKeepingError(hmux))
        ReportHandle("ok", hmux);
    hmux = nullptr;
}

bool MUTEXSEM::Obtain(int timeout)
{
    if (MessageThread != 0 && MessageThread == GetCurrentThreadId())
        return WinObtain(timeout);
    return Acquire(timeout, false);
}

bool MUTEXSEM::WinObtain(int timeout)
{
    if (!hmux)
        return false;
    return Acquire(timeout, true);
}

bool MUTEXSEM::Acquire(int timeout, bool pumpMessages)
{
    const char* line = pumpMessages ? "MUTEXSEM::WinObtain %p rc= %d\n" : "MUTEXSEM::Obtain %p rc= %d\n";
    DWORD me = GetCurrentThreadId();
    if (hmux && owner.load(std::memory_order_relaxed) == me) {
        depth++;
        LogPrintLevel(LOGLEVEL_MUTEX, line, hmux, static_cast<int>(WAIT_OBJECT_0));
        return true;
    }
    DWORD rc = !hmux          ? WAIT_FAILED
               : pumpMessages ? OSYS::PumpWait(hmux, WaitTime(timeout))
                              : WaitForSingleObject(hmux, WaitTime(timeout));
    TARVO_CHECK(rc != WAIT_FAILED, "rc!=WAIT_FAILED", nullptr);
    LogPrintLevel(LOGLEVEL_MUTEX, line, hmux, static_cast<int>(rc));
    if (rc == WAIT_ABANDONED) {
        // The wait made this thread the owner, but the caller is told it failed and will
        // not release it; give it back so that the mutex is not held for ever.
        ReleaseMutex(hmux);
        return false;
    }
    if (rc != WAIT_OBJECT_0)
        return false;
    owner.store(me, std::memory_order_relaxed);
    depth = 1;
    return true;
}

void MUTEXSEM::Release()
{
    if (hmux && owner.load(std::memory_order_relaxed) == GetCurrentThreadId() && depth > 1) {
        depth--;
        LogPrintLevel(LOGLEVEL_MUTEX, "MUTEXSEM::Release %p rc= %d\n", hmux, 1);
        return;
    }
    if (owner.load(std::memory_order_relaxed) == GetCurrentThreadId()) {
        depth = 0;
        owner.store(0, std::memory_order_relaxed);
    }
    BOOL ok = hmux ? ReleaseMutex(hmux) : FALSE;
    LogPrintLevel(LOGLEVEL_MUTEX, "MUTEXSEM::Release %p rc= %d\n", hmux, static_cast<int>(ok));
    if (!ok)
        ReportHandle("ok", hmux);
}

EVENTSEM::EVENTSEM(bool initiallySet)
{
    hev = CreateEventA(nullptr, TRUE, initiallySet ? TRUE : FALSE, nullptr);
    LogPrintLevel(LOGLEVEL_EVENT_CREATE, "EVENTSEM::EVENTSEM created %p\n", hev);
    TARVO_CHECK(hev != nullptr, "this->hev", nullptr);
}

EVENTSEM::~EVENTSEM()
{
    if (!hev)
        return;
    BOOL ok = CloseKeepingError(hev);
    LogPrintLevel(LOGLEVEL_EVENT, "EVENTSEM::~EVENTSEM deleted %p, ok= %d\n", hev, static_cast<int>(ok));
    if (!ok)
        ReportHandle("ok", hev);
    hev = nullptr;
}

void EVENTSEM::Set()
{
    LogPrintLevel(LOGLEVEL_EVENT, "EVENTSEM::Set %p\n", hev);
    if (!(hev && SetEvent(hev)))
        ReportHandle("ok", hev);
}

void EVENTSEM::Reset()
{
    LogPrintLevel(LOGLEVEL_EVENT, "EVENTSEM::Reset %p\n", hev);
    if (!(hev && ResetEvent(hev)))
        ReportHandle("ok", hev);
}

bool EVENTSEM::Wait(int timeout)
{
    DWORD rc = hev ? WaitForSingleObject(hev, WaitTime(timeout)) : WAIT_FAILED;
    LogPrintLevel(LOGLEVEL_EVENT, "EVENTSEM::Wait %p rc=%d\n", hev, static_cast<int>(rc));
    TARVO_CHECK(rc != WAIT_FAILED, "rc!=WAIT_FAILED", nullptr);
    return rc == WAIT_OBJECT_0;
}

CRITSECT::CRITSECT() : pCritSect(new (std::nothrow) CRITICAL_SECTION)
{
    TARVO_CHECK(pCritSect != nullptr, "this->pCritSect", nullptr);
    if (pCritSect)
        InitializeCriticalSection(pCritSect.get());
}

CRITSECT::~CRITSECT()
{
    if (pCritSect)
        DeleteCriticalSection(pCritSect.get());
}

void CRITSECT::Enter()
{
    if (pCritSect)
        EnterCriticalSection(pCritSect.get());
}

void CRITSECT::Leave()
{
    if (pCritSect)
        LeaveCriticalSection(pCritSect.get());
}
