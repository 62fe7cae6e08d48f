// The process-wide values that every layer reads: the language number, the program's name and
// folders, the main thread, the module handles, and the base of the millisecond clock. They
// live at the bottom of the core, so that the log, the assertions and the system calls read
// them without reaching up to the application root, which sets them during start-up;
// afterwards they are only read.
#pragma once

#include <windows.h>

#include <cstdint>

#include "osys/handles.h"
#include "text/strings.h"

extern int gLocale;     // a primary language id (LANG_GERMAN selects the German texts)
extern STRING gWorkDir; // current directory at process start
extern STRING gExeDir;  // the program's directory, made the current directory
extern STRING gAppName; // the program's file name up to its first dot
extern STRING gSecondName; // the second name given to the language-module loader: the version text
extern DWORD gMainThreadId;

bool IsGerman();
// The version in the program's identity, crash names and reports: gSecondName, "0.00" unset.
const char* VersionText();
bool IsMainThread();
HINSTANCE TarvoInstance();
HMODULE TarvoResourceModule();
// Set while the resource module is a loaded language library.
bool HasLanguageModule();

// The millisecond clock: milliseconds since its base, taken at the first reading or by
// ResetClock (the start routine resets it, so that it counts from the program's start).
uint64_t ClockMilliseconds();
void ResetClock();

// Set by the start routine: the program's instance and the module its resources are loaded from.
void SetProcessModules(HINSTANCE instance, HMODULE resources);
// Set by the language-module loader: makes a loaded language library the resource module and
// owns it, freeing one loaded before; an empty one makes the program's instance the resource
// module again.
void SetLanguageModule(UniqueModule library);
