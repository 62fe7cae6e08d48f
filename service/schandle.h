// ScHandle: owner of one Service Control Manager handle (manager or service).
#pragma once

#include <windows.h>

#include <utility>

class ScHandle {
public:
    ScHandle() = default;
    explicit ScHandle(SC_HANDLE handle) : handle(handle) {}
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    ScHandle(ScHandle&& other) noexcept : handle(other.release()) {}
    ScHandle& operator=(ScHandle&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    ~ScHandle() { reset(); }

    SC_HANDLE get() const { return handle; }
    explicit operator bool() const { return handle != nullptr; }
    SC_HANDLE release() { return std::exchange(handle, nullptr); }
    // Closing keeps the thread's last error, so a failure is reported with its own cause.
    void reset(SC_HANDLE newHandle = nullptr)
    {
        if (handle) {
            DWORD error = GetLastError();
            CloseServiceHandle(handle);
            SetLastError(error);
        }
        handle = newHandle;
    }

private:
    SC_HANDLE handle = nullptr;
};

// The manager of the active database on this machine, with all access.
inline ScHandle OpenServiceManager()
{
    return ScHandle(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

// A service opened with one access right, with the manager it was opened through. The
// manager is declared first, so the service handle is closed before the manager handle.
struct ServiceHandles {
    ScHandle manager;
    ScHandle service;
    explicit operator bool() const { return static_cast<bool>(service); }
};

inline ServiceHandles OpenServiceHandles(const char* name, DWORD access)
{
    ServiceHandles handles{OpenServiceManager(), ScHandle()};
    if (handles.manager)
        handles.service.reset(OpenServiceA(handles.manager.get(), name, access));
    return handles;
}
