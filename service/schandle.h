// Service Control Manager handles: the manager of the active database and opened services.
#pragma once

#include <windows.h>

#include <utility>

#include "osys/handles.h"

// Owner of a manager or service handle; closing keeps the thread's last error.
using ScHandle = UniqueScHandle;

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

// Opened through the given manager, which the result takes over; a null manager gives none.
inline ServiceHandles OpenServiceHandles(ScHandle manager, const char* name, DWORD access)
{
    ServiceHandles handles{std::move(manager), ScHandle()};
    if (handles.manager)
        handles.service.reset(OpenServiceA(handles.manager.get(), name, access));
    return handles;
}

inline ServiceHandles OpenServiceHandles(const char* name, DWORD access)
{
    return OpenServiceHandles(OpenServiceManager(), name, access);
}
