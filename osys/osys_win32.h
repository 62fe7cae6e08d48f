// OSYS: operating-system services of the library - program starts, system error texts and
// late-bound system functions.
#pragma once

#include <windows.h>

#include <cstdint>

#include "osys/handles.h"
#include "text/strings.h"

namespace OSYS {

// Looks up an optional system function by name; null when the module lacks it.
template <class Function>
Function GetFunction(HMODULE module, const char* name)
{
    // Through the generic function pointer type: FARPROC itself is declared with no parameters.
    return module ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))) : nullptr;
}

// Loads a library of the system by its bare name from the system folder only: the program's
// folder, searched first otherwise, may be writable by others, who could plant a library of
// that name there and run code in this process. Null when it cannot be loaded.
HMODULE LoadSystemLibrary(const char* name);
// Maps a library for its resources only (texts, dialogs, menus): its entry point never runs and
// its code is never made executable, so a planted library cannot run code here. Null when it
// cannot be loaded. FreeLibrary releases it.
HMODULE LoadResourceLibrary(const char* path);
// A new file for writing, not shared: never an existing one, and never through a link planted
// at the name, for files whose names others can foresee. Empty when the name exists (the last
// error ERROR_FILE_EXISTS) or the file cannot be made.
UniqueFileHandle CreateNewFile(const char* path);
// The id of the process that started the process (0 when it is not found). A process can claim
// another parent only with a handle to it that allows creating processes.
DWORD ParentProcessId(DWORD processId);
// The id of a process that the process started and that still runs; 0 when there is none.
DWORD ChildProcessId(DWORD processId);
// Makes the system folder the only place this process searches for a library named without a
// path (the delay-loaded window libraries too); full paths stay as they are. Systems without
// that restriction at least leave the current directory out. False when neither is possible.
bool RestrictLibrarySearch();

// The code that stands for the calling thread's last error.
constexpr int LAST_ERROR = -4711;
// The system's description of an error code (at most 255 characters, no line end);
// "<no error>" when the system has none.
STRING GetErrorText(int code = LAST_ERROR);

// One byte of the system ANSI code page as a UTF-16 value (precomposed); U+0040 when the
// system has no character for it. Each byte on its own: double-byte pairs are not combined.
wchar_t SystemByteToWide(unsigned char byte);
// One UTF-16 value as one byte of a code page of the system (CP_ACP, CP_OEMCP or a number),
// without a default character of our own; the low 8 bits when the system has no byte for it.
unsigned char SystemWideToByte(wchar_t value, unsigned int codepage = CP_ACP);

// Resource texts longer than this are cut.
constexpr int RESOURCE_STRING_MAX = 1023;
// The string id of the application's resource module (the language module); "<STR-ERR>"
// when there is none.
STRING GetStringFromResource(int id);
// The same from the string table of module (null: the program file).
STRING GetStringFromResource(int id, HMODULE module);

// The path of a shell folder by its number (5 application data, 6/14/18/19 documents,
// 7 pictures, 8 desktop, 12/13 all users' folders, ...), environment references expanded,
// ending in '\'; empty when it cannot be read.
STRING GetSystemPath(int folder);
STRING UserName();     // empty on failure
STRING ComputerName(); // empty on failure

// Flags of StartProgram.
constexpr int START_SYNC = 0x01; // wait for the program to end
constexpr int START_HIDDEN = 0x02;
constexpr int START_MINIMIZED = 0x04;
constexpr int START_MAXIMIZED = 0x08;
constexpr int START_PUMP = 0x10; // with START_SYNC: keep dispatching window messages

// Capacities of the command line, the working directory and the title; longer texts are refused.
constexpr int START_COMMANDLINE_MAX = 1023;
constexpr int START_WORKDIR_MAX = 1023;
constexpr int START_TITLE_MAX = 255;

// Builds the command line StartProgram runs: the program quoted (unless it begins with a
// quote) and the parameters; the program alone and unquoted without parameters. Empty
// when it would not fit START_COMMANDLINE_MAX.
STRING StartCommandLine(const char* program, const char* parameters);

// Starts a program; a leading '*' of program starts it minimised, '#' hidden. With
// START_SYNC it waits for the end. processInfo (when given) receives both handles, which
// the caller then owns; exitCode (when given) is -8 until the program's code is known.
// Returns 1 when started (and with START_SYNC ended), 0 when it could not be started or,
// with START_SYNC, when the wait for its end failed (then no handles are handed over).
int StartProgram(const char* program, const char* parameters, const char* workdir, const char* title, int flags,
                 PROCESS_INFORMATION* processInfo, int* exitCode);

// Test seam: the wait StartProgram uses for a started program (WaitForSingleObject, also
// when null is given). Returns the previous one.
using ProcessWait = DWORD(WINAPI*)(HANDLE process, DWORD milliseconds);
ProcessWait SetStartProgramWait(ProcessWait wait);

// Opens a program or document with the shell's "open" verb; true when the shell accepted it.
bool ShellExecuteRun(HWND owner, const char* program, const char* parameters, const char* workdir);
// The same, waiting up to timeout ms for the started process; true when it ended in time.
// A non-zero exit code is stored through exitCode when given.
bool ShellExecuteRunSync(HWND owner, const char* program, const char* parameters, const char* workdir, DWORD timeout,
                         int* exitCode);
// Opens a document or web address with its associated program.
bool OpenDocument(const char* target, HWND owner);

// The record a thread made by CreateThreadWithParm receives; the thread owns and frees it.
struct THREADPARM {
    static constexpr uint32_t MARKER = 0xFFEEDDCC;
    uint32_t marker = MARKER;
    int32_t value = 0;
    void* parameter = nullptr;
};
using THREADFUNC = unsigned(__stdcall*)(void* argument);

// A C-runtime thread with a 32768-byte stack; null on failure.
HANDLE CreateThread(THREADFUNC function, void* argument);
HANDLE CreateThreadWithParm(THREADFUNC function, int value, void* parameter);
// Waits for the thread; when it has ended its handle is closed and the result is true.
// A timeout of 0 polls silently.
bool WaitThread(HANDLE thread, DWORD timeout);
void CloseThread(HANDLE thread);
void KillThread(HANDLE thread);

} // namespace OSYS

// Raises the process's priority class for a scope and restores it afterwards.
class RAISEPROCESSPRIORITY {
public:
    explicit RAISEPROCESSPRIORITY(int priorityClass, int previous = -1);
    ~RAISEPROCESSPRIORITY();
    RAISEPROCESSPRIORITY(const RAISEPROCESSPRIORITY&) = delete;
    RAISEPROCESSPRIORITY& operator=(const RAISEPROCESSPRIORITY&) = delete;

private:
    HANDLE process;
    int previousClass;
    bool raiseOk;
};

// Raises the calling thread's priority for a scope and restores it afterwards.
class RAISETHREADPRIORITY {
public:
    explicit RAISETHREADPRIORITY(int priority, int previous = -1);
    ~RAISETHREADPRIORITY();
    RAISETHREADPRIORITY(const RAISETHREADPRIORITY&) = delete;
    RAISETHREADPRIORITY& operator=(const RAISETHREADPRIORITY&) = delete;
    bool SetPriority(int priority);

private:
    HANDLE thread;
    int previousPriority;
    bool raiseOk;
};

// Runs a program to its end and returns its exit code; 1 when it cannot be started.
int StartProgramExitCode(const char* program, const char* parameters, const char* workdir, const char* title);
