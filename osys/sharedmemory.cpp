#include "osys/sharedmemory.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/osys_win32.h"

SHAREDMEMORY::SHAREDMEMORY(const char* name, DWORD size)
{
    if (!TARVO_CHECK(name != nullptr && strlen(name) <= NAME_MAX, "strlen(name)<=6", name))
        return;
    mapping.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name));
    if (mapping)
        view.reset(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    char mutexName[NAME_MAX + 3];
    snprintf(mutexName, sizeof(mutexName), "%sMX", name);
    if (view)
        mutex.reset(new (std::nothrow) MUTEXSEM(false, mutexName));
    if (!mutex || !mutex->hmux) {
        LogPrint("SHAREDMEMORY::SHAREDMEMORY %s failed: %s\n", name, OSYS::GetErrorText().c_str());
        mutex.reset();
        view.reset();
        mapping.reset();
    }
}

void* SHAREDMEMORY::Lock(int timeout)
{
    bool ok = mutex && mutex->Obtain(timeout);
    LogPrint("SHAREDMEMORY::Lock %p returns %d\n", view.get(), ok);
    return ok ? view.get() : nullptr;
}

void SHAREDMEMORY::Unlock(void* mapped)
{
    TARVO_CHECK(mapped == view.get() || mapped == nullptr, "pmapped==this->pMemory || pmapped==NULL", nullptr);
    // Released even after a wrong address: the mutex is this thread's, and others wait for it.
    if (mutex)
        mutex->Release();
}
