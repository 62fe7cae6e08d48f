// The application root (TARVOAPP): the frame around the program's AppMain - command-line
// splitting, directories, program name, language number, start-up and shutdown.
#pragma once

#include <windows.h>

#include <initializer_list>

#include "text/strings.h"

// The program's main function; its result is the process exit code.
using APPMAINFUNC = int (*)(int argc, char** argv, char** envp);
int AppMain(int argc, char** argv, char** envp);

constexpr int SPLIT_SLOTS = 256; // argument slots of the start-up vector, the final null included
constexpr int PROGRAM_PATH_MAX = 260;

// Splits a writable command line in place at blanks, honouring double quotes. When
// programPath (PROGRAM_PATH_MAX bytes) is given, the program's own path becomes argument 0.
// Stores at most slotCount - 1 arguments and a null and returns the number stored; nothing
// is ever written past slotCount slots: one slot holds only the null (result 0), none
// nothing at all (result 0).
int SplitCommandLine(char* commandLine, char* programPath, char** slots, int slotCount);

// Drops a trailing \Release, \Release2, \Release32 or \Release64 when the parent folder
// holds the program's sources (the program runs from a build folder of its source tree).
STRING TrimBuildDirectory(const STRING& directory);
// The rule under it: cuts the first of the folder endings the directory ends in (without
// regard to case) when its parent folder holds one of the source files.
STRING CutBuildFolder(const STRING& directory, std::initializer_list<const char*> folderEndings,
                      std::initializer_list<const char*> sourceFiles);

namespace TARVOAPP {

// The start routine: prepares the process, runs appMain, shuts down; returns the exit code.
int Start(HINSTANCE instance, APPMAINFUNC appMain);
void Init(int argc, char** argv, int defaultLanguage);
void Shutdown(int exitCode);
// Registers the release of a process-wide object that a layer above the core owns (the
// toolkit's help file): Shutdown calls each hook once, the last registered first. A hook
// registered twice runs once.
using SHUTDOWNHOOK = void (*)();
void AddShutdownHook(SHUTDOWNHOOK hook);
// Registers the common control classes (the classic sets up to the rebar, once). Called by the window toolkit
// before its first window instead of at start: a run that shows no window never loads the
// window libraries, which the program takes delay-loaded.
void InitCommonControls();

// Loads the language library of gLocale ("german.dll", "french.dll", "hungarian.dll", else
// "english.dll") from the folder subfolder beside path's directory (after TrimBuildDirectory)
// and makes it the resource module. gAppName becomes appName (subfolder when null) with an
// upper-case first letter; secondName goes to gSecondName. A missing library falls back to
// "english.dll" with gLocale 9. Without that one: false when silent, else a box and exit code 99.
bool LoadLanguageModule(const char* path, const char* subfolder, const char* secondName, const char* appName,
                        int silent);
// Frees a loaded language library; the program's own module is the resource module again.
void FreeLanguageModule();
// The application's message loop until WM_QUIT. With an accelerator id (0: none) the table
// of the resource module translates the keys that reach a window of mainWindow's class while
// it is active.
void MainDispatchLoop(HWND mainWindow, int acceleratorId);

} // namespace TARVOAPP
