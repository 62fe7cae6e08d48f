// EVENTLOG: the service's entries in the system's Application event log. The event source is
// named after the service; its messages (res/messages.mc, English and German) are compiled
// into service.exe, which the registration names as the source's message file.
#pragma once

#include <windows.h>

#include <initializer_list>

#include "osys/handles.h"

class EVENTLOG {
public:
    // Registers the source under the Application log with programPath as its message file and
    // the error, warning and information types; false when the registry refuses.
    static bool Register(const char* serviceName, const char* programPath);
    // Removes the source's registration; false when it is there and cannot be removed.
    static bool Unregister(const char* serviceName);

    explicit EVENTLOG(const char* serviceName);
    // Reports one event (type EVENTLOG_INFORMATION_TYPE or EVENTLOG_ERROR_TYPE, id from
    // messages.h) with the strings of its message; false when the system refuses it.
    bool Report(WORD type, DWORD id, std::initializer_list<const char*> strings);

private:
    UniqueEventSource source;
};
