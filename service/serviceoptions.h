// SERVICEOPTIONS: the optional service.cfg keys that /install applies to the registration, with
// today's behaviour when a key is missing:
//   Description=text            shown in the services console (none)
//   StartType=auto|delayed|manual   automatic, delayed automatic or manual start (auto)
//   ShutdownTimeout=seconds     the time the system gives the service to end its application
//                               before a shutdown (the system's own)
//   RestartOnFailure=seconds    after a failure the manager restarts the service after that
//                               delay, three times, counted afresh after a day (no restart)
#pragma once

#include <windows.h>

#include "text/hash.h"
#include "text/strings.h"

struct SERVICEOPTIONS {
    STRING description;
    DWORD startType = SERVICE_AUTO_START;
    bool delayedStart = false;
    DWORD shutdownTimeoutMs = 0; // 0: the system's
    bool restart = false;
    DWORD restartDelayMs = 0;

    // Reads the keys from the configuration; false, with why, when a value is not one the key
    // takes (an install must not register something else than was asked for).
    bool Read(HASH& config, STRING& why, bool german);
    // Applies the options other than the start type to the registered service. Each setting
    // the system refuses is logged with its answer and passed over: the service works without.
    void Apply(const char* serviceName) const;
};
