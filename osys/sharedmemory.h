// SHAREDMEMORY: a named block of memory shared between processes, with a named mutex that
// guards it.
#pragma once

#include <windows.h>

#include <memory>

#include "osys/handles.h"
#include "osys/locks.h"

class SHAREDMEMORY {
public:
    static constexpr size_t NAME_MAX = 6;

    // Creates or opens the page-file backed block name (at most NAME_MAX characters) of size
    // bytes and the mutex name + "MX".
    SHAREDMEMORY(const char* name, DWORD size);
    SHAREDMEMORY(const SHAREDMEMORY&) = delete;
    SHAREDMEMORY& operator=(const SHAREDMEMORY&) = delete;

    explicit operator bool() const { return static_cast<bool>(view); }

    // Obtains the mutex within timeout ms (-1 without limit) and gives the block's address;
    // null when the mutex was not obtained.
    void* Lock(int timeout);
    // Releases the mutex; mapped must be the address Lock gave, or null.
    void Unlock(void* mapped);

private:
    struct UnmapDeleter {
        void operator()(void* address) const { UnmapViewOfFile(address); }
    };

    // Declared in the order of creation, so that destruction unmaps before it closes.
    UniqueHandle mapping;
    std::unique_ptr<void, UnmapDeleter> view;
    std::unique_ptr<MUTEXSEM> mutex;
};
