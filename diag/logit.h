// The process-wide diagnostic log: switches, line output and the verbosity mask.
#pragma once

#include <cstdint>

#include "text/strings.h"

// Verbosity levels of the library's own lines: a line is written when its level is at most
// the low nibble of the mask that /LOG:n or /D:n sets.
constexpr int LOGLEVEL_DETAIL = 1;       // container items, priority changes
constexpr int LOGLEVEL_PARSE = 2;        // parser steps, registry access
constexpr int LOGLEVEL_EVENT_CREATE = 7; // an event is made
constexpr int LOGLEVEL_MUTEX = 11;       // every mutex made, obtained, released and closed
constexpr int LOGLEVEL_EVENT = 12;       // every event set, reset, waited for and closed
constexpr int LOGLEVEL_STARTUP = 14;     // start-up details

// The diagnostic switches LogSwitch acts on, without their leading '/' or '-'; a name ending in
// ':' takes a value, and CRASHDUMP also takes ":n".
inline constexpr const char* LOG_SWITCH_NAMES[] = {
    "LOGIT",  "LOGIT:", "LOGITKEEP", "LOGITKEEP:", "LOGITHARD", "LOGITHARD:", "LOGDEBUG",
    "LOGDBG", "LOG:",   "D:",        "LOGITCLOSE", "NOASSERT",  "CRASHDUMP",
};

// Writes formatted text to the log when it is on; returns 1 when written, 0 while off.
int LogPrint(const char* format, ...) TARVO_PRINTF(1, 2);
// As LogPrint, but only when the level passes the mask set by /LOG: or /D:.
// A null format only asks whether such a line would be written.
int LogPrintLevel(int level, const char* format, ...) TARVO_PRINTF(2, 3);
// Acts on one diagnostic switch (/LOGIT, /LOG:n, /LOGITCLOSE, ...); 0 for any other text.
int LogSwitch(const char* argument);
bool LogIsEnabled();
// Ctrl+Shift+F5..F9 in any window: F5 /LOGIT, F6 /LOGITHARD, F7 /LOGIT:CONSOLE, F8
// /LOGITCLOSE, F9 ends the program through the crash path. Called with every window
// message before its normal processing; returns 1 when it acted on the message.
int LogHotkey(unsigned message, uintptr_t wparam, intptr_t lparam);
// True while /NOASSERT is in force (assertion reports show no box).
bool LogNoAssert();
