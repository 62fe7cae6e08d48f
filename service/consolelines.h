// The one line that each command-line road of the controller writes to its standard output
// (and to the log), in the user's language: what it did, or what failed and why.
#pragma once

#include <windows.h>

#include "service/main.h"
#include "text/strings.h"

// What /status found out about the service.
struct SERVICESTATE {
    DWORD queryError = 0; // the system's error when the state could not be read
    bool installed = false;
    DWORD state = 0;              // SERVICE_STOPPED ... SERVICE_PAUSED
    DWORD serviceProcess = 0;     // while running
    DWORD applicationProcess = 0; // the service process's child, 0 when there is none
    DWORD win32ExitCode = 0;      // of the last run, while stopped
    DWORD specificExitCode = 0;
};

// The exit code of /status for a state.
int StatusExitCode(const SERVICESTATE& state);

// "error 5: Access is denied." (German "Fehler 5: ...").
STRING SystemErrorText(DWORD error, bool german);
// A road (start, stop, install, uninstall) that did what it was asked.
STRING DoneLine(Road road, const STRING& service, bool german);
// A road that failed; why: the reason the program found, or else the system's error.
STRING FailedLine(Road road, const STRING& service, const STRING& why, bool german);
// /stop, when the service was still in this state at the end of the wait.
STRING StopTimedOutLine(const STRING& service, DWORD state, bool german);
// /status.
STRING StatusLine(const STRING& service, const SERVICESTATE& state, bool german);
// A start without a switch (the service process's road) that ended with this exit code at once.
STRING LaunchFailedLine(const STRING& service, int exitCode, bool german);
// The configuration error: the box's text, then the file tried and the check that failed.
STRING ConfigErrorLine(const STRING& file, const STRING& why, bool german);

// Writes the line to the log and, when there is one, to the standard output.
void SayLine(const STRING& line);
