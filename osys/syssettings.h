// OSYS system settings: localised resource texts, the identity queries, and optional helpers
// (autostart entry, shutdown, clipboard text, library presence, shell shortcuts, waking the
// disk and the screen).
#pragma once

#include <windows.h>

#include "text/strings.h"

namespace OSYS {

// Empty on failure and beyond their bounds: the current directory up to 260 characters, the
// program file's full path up to 256.
STRING CurrentDirectory();
STRING ProgramFilePath();

// The autostart value name of the current user: a null command removes it; "1", "<ownfile>",
// "<self>" or the program's own path stores the program's path in quotes; any other command
// is stored as it is.
bool SetAutostart(const char* name, const char* command);
// Enables the shutdown privilege and asks the system to restart (reboot) or to power off.
bool Shutdown(bool reboot);
// Replaces the clipboard's content by text in the OEM text format.
bool SetClipboardText(const char* text);
// Whether the library loads.
bool LibraryPresent(const char* name);
// Saves a shell link to target in linkFile (".LNK" appended when it has no such extension).
// Without arguments they are empty; without workdir the target's folder is used; the icon is
// set when iconFile is given and iconIndex is 0 or more.
bool CreateShortcut(const char* linkFile, const char* target, const char* arguments, const char* workdir,
                    int showCommand, const char* iconFile, int iconIndex);
// Writes a small file through to the disk in folder and removes it, so that a sleeping disk
// spins up; false when it could not be written.
bool WakeupHarddisk(const char* folder);
// Ends the screen saver: on NT4 by closing its desktop's windows, elsewhere by pressing and
// releasing Shift. False when the system took no input.
bool WakeupScreensaver();

} // namespace OSYS
