// The controller: its configuration table and the service commands.
#pragma once

#include <windows.h>

#include "text/hash.h"
#include "text/strings.h"

// The configuration table, loaded from service.cfg by AppMain.
HASH& ServiceConfig();

// Results of ServiceCommand; the ranges overlap, so a caller reads the code of its own command.
enum ServiceResult {
    SERVICE_OK = 0,
    SERVICE_INSTALL_FAILED = 2,
    SERVICE_UNINSTALL_FAILED = 3,
    SERVICE_DISPATCHER_FAILED = 4,
    SERVICE_NOT_INSTALLED = 5,
    SERVICE_START_FAILED = 6,
    SERVICE_STOP_FAILED = 7,
};

// Runs one operation on the configured service: "START", "STOP", "QUERY_STATUS" (the
// current state 1..7, 0 when unknown), "INSTALL", "UNINSTALL" or "LAUNCH" (the service
// process role). The word is compared without regard to case; any other word does nothing.
int ServiceCommand(STRING word);

// Test seam: how the service commands open the manager (OpenSCManagerA with all access, also
// when null is given), for a refusal Wine never gives. Returns the previous opener.
using ServiceManagerOpener = SC_HANDLE (*)();
ServiceManagerOpener SetServiceManagerOpener(ServiceManagerOpener opener);
