#include "diag/logit.h"

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "diag/crashdump.h"
#include "osys/ostype.h"
#include "osys/osys_win32.h"
#include "osys/osysfile.h"
#include "osys/security.h"

namespace {

// A recursive lock that needs no construction and is never destroyed, so that any thread
// may log at any time of the process's life. The thread that holds it may take it again:
// a crash inside a line still lets the crash path close the log.
class LineLock {
public:
    void Enter()
    {
        DWORD self = GetCurrentThreadId();
        if (owner.load(std::memory_order_relaxed) != self) {
            AcquireSRWLockExclusive(&lock);
            owner.store(self, std::memory_order_relaxed);
        }
        depth++;
    }
    void Leave()
    {
        if (--depth == 0) {
            owner.store(0, std::memory_order_relaxed);
            ReleaseSRWLockExclusive(&lock);
        }
    }

private:
    SRWLOCK lock = SRWLOCK_INIT;
    std::atomic<DWORD> owner{0};
    int depth = 0; // touched by the owner only
};

constinit LineLock lineLock;

class LineLockHold {
public:
    LineLockHold() { lineLock.Enter(); }
    ~LineLockHold() { lineLock.Leave(); }
    LineLockHold(const LineLockHold&) = delete;
    LineLockHold& operator=(const LineLockHold&) = delete;
};

// Log state. The target and everything a line is built from belong to the line lock:
// opening, closing and writing all hold it, so no line reaches a closed (and perhaps
// reused) handle. The flags a print call tests before taking the lock are atomic.
struct LogState {
    HANDLE target = nullptr;
    bool ownsTarget = false; // a file we opened (not a standard handle)
    std::atomic<bool> active{false};
    std::atomic<bool> debuggerOutput{false};
    bool writeThrough = false;
    bool keep = false;
    std::atomic<bool> noAssert{false};
    std::atomic<bool> enabled{false};
    bool consoleAllocated = false;
    std::atomic<unsigned> levelMask{0};
    double baseTime = 0;
    bool atLineStart = true;
    char fileName[256] = {};
    char logitbuf[8192] = {};
};

constinit LogState state;

double NowSeconds()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Builds and writes one line; the caller holds the line lock. Nothing in here logs, so the
// writer never re-enters itself.
void WriteLocked(double now, const char* format, va_list args)
{
    if (state.baseTime == 0)
        state.baseTime = now;
    double elapsed = now - state.baseTime;

    // Prefix and text together are cut to 8191 bytes; the CR of a final CR LF must fit too.
    const int capacity = sizeof(state.logitbuf);
    int used = 0;
    if (state.atLineStart) {
        used = snprintf(state.logitbuf, capacity, "[%07.3lf:%04lx] ", elapsed, GetCurrentThreadId() & 0xFFFFFUL);
        if (used < 0 || used >= capacity)
            used = 0;
    }
    int room = capacity - used; // text bytes plus their terminator
    int textLength;
    if (strchr(format, '%')) {
        textLength = vsnprintf(state.logitbuf + used, room, format, args);
        if (textLength < 0)
            textLength = 0;
    } else {
        textLength = static_cast<int>(strlen(format));
        memcpy(state.logitbuf + used, format, textLength < room - 1 ? textLength : room - 1);
    }
    int howmany = used + (textLength < room - 1 ? textLength : room - 1);
    // A line that fills the buffer has no room for the CR: it counts as cut and loses its line feed.
    if (howmany == capacity - 1 && state.logitbuf[howmany - 1] == '\n')
        howmany--;
    if (howmany > 0 && state.logitbuf[howmany - 1] == '\n') {
        state.logitbuf[howmany - 1] = '\r';
        state.logitbuf[howmany++] = '\n';
        state.atLineStart = true;
    } else {
        state.atLineStart = false;
    }
    // howmany < sizeof(logitbuf) holds by the cut above; no check here, as a report would
    // log and so re-enter this writer under its own lock.
    state.logitbuf[howmany] = 0;

    if (state.target) {
        DWORD written = 0;
        WriteFile(state.target, state.logitbuf, howmany, &written, nullptr);
    }
    if (state.debuggerOutput)
        OutputDebugStringA(state.logitbuf);
}

void WriteLine(const char* format, va_list args)
{
    double now = NowSeconds();
    LineLockHold hold;
    WriteLocked(now, format, args);
}

void WriteLockedFormat(const char* format, ...) TARVO_PRINTF(1, 2);
void WriteLockedFormat(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteLocked(NowSeconds(), format, args);
    va_end(args);
}

void CloseTargetLocked()
{
    if (state.target && state.ownsTarget)
        CloseHandle(state.target);
    state.target = nullptr;
    state.ownsTarget = false;
    if (state.consoleAllocated) {
        FreeConsole();
        state.consoleAllocated = false;
    }
    state.active = false;
}

void CloseTarget()
{
    LineLockHold hold;
    CloseTargetLocked();
}

STRING DocumentsFolder()
{
    return OSYS::GetSystemPath(18);
}

// The file a plain /LOGIT writes: beside the program before Vista, in the documents
// folder from Vista on, named after the program.
STRING DefaultTarget()
{
    if (FILENAME("..\\vux.cpp").IsFile())
        return STRING("..\\logit.log");
    if (OSYS::GetOSType() < OSYS::OSTYPE_VISTA || FILENAME("main.cpp").IsFile() || FILENAME("vux.pdb").IsFile())
        return STRING("logit.log");
    STRING program = FILENAME("<self>").GetName();
    program.Trim('R', "/.");
    program.Replace(".exe", "_");
    program.Replace(".app", "_");
    program.ToUpper();
    STRING name = STRING("Tarvo_") + program + "logit.log";
    return STRING(FILENAME(DocumentsFolder().c_str(), name.c_str()).c_str());
}

// The two header lines of a new target: when logging starts, and which program file runs.
struct Header {
    SYSTEMTIME now = {};
    FILENAME self{"<self>"};
    unsigned long size = 0;
    char modified[32] = {};

    Header()
    {
        GetLocalTime(&now);
        size = static_cast<unsigned long>(self.Size());
        SYSTEMTIME written = {};
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExA(self.c_str(), GetFileExInfoStandard, &data)) {
            FILETIME local;
            FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
            FileTimeToSystemTime(&local, &written);
        }
        snprintf(modified, sizeof(modified), "%04d-%02d-%02d  %02d:%02d:%02d", written.wYear, written.wMonth,
                 written.wDay, written.wHour, written.wMinute, written.wSecond);
    }

    // Under the line lock, so that the header is the first text of the new target.
    void WriteLocked() const
    {
        WriteLockedFormat("Logging starts at %04d-%02d-%02d %02d:%02d:%02d\n", now.wYear, now.wMonth, now.wDay,
                          now.wHour, now.wMinute, now.wSecond);
        WriteLockedFormat("Running as %s (%lu bytes, %s)\n", self.c_str(), size, modified);
    }
};

// The name is chosen and the file opened outside the line lock (both may log); the new
// target is put in place and given its header under the lock. The switch comes without its
// leading '/' or '-'.
void OpenTarget(const char* argument)
{
    const char* colon = strchr(argument, ':');
    STRING name;
    if (!colon || !colon[1]) {
        name = DefaultTarget();
    } else {
        name = colon + 1;
        // UNIQUE is recognised before the folder is applied, so the unique file lands there too.
        if (name.EqualsNoCase("UNIQUE")) {
            LARGE_INTEGER counter, frequency;
            QueryPerformanceCounter(&counter);
            QueryPerformanceFrequency(&frequency);
            int milliseconds = static_cast<int>((counter.QuadPart * 1000 / frequency.QuadPart) % 1000);
            name.Format("LOGIT_%lu_%d_%lX.log", static_cast<unsigned long>(time(nullptr)), milliseconds,
                        GetCurrentProcessId());
        }
        if (OSYS::GetOSType() >= OSYS::OSTYPE_VISTA && !name.EqualsNoCase("CONSOLE") && !name.EqualsNoCase("STDERR"))
            name = STRING(FILENAME(DocumentsFolder().c_str(), name.c_str()).c_str());
    }
    Header header;
    CloseTarget();
    // The name item holds 255 characters; a longer path is refused rather than cut.
    if (name.Length() >= static_cast<int>(sizeof(state.fileName)))
        return;
    bool writeThrough = StartsWithNoCase(argument, "LOGITHARD");
    bool keep = StartsWithNoCase(argument, "LOGITKEEP");

    HANDLE target = nullptr;
    bool ownsTarget = false, consoleAllocated = false;
    if (name.EqualsNoCase("STDERR")) {
        target = GetStdHandle(STD_ERROR_HANDLE);
    } else if (name.EqualsNoCase("CONSOLE")) {
        consoleAllocated = AllocConsole() != FALSE;
        target = GetStdHandle(STD_OUTPUT_HANDLE);
    } else {
        DWORD flags = FILE_ATTRIBUTE_NORMAL | (writeThrough ? FILE_FLAG_WRITE_THROUGH : 0);
        target = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, keep ? OPEN_ALWAYS : CREATE_ALWAYS,
                             flags, nullptr);
        ownsTarget = target != INVALID_HANDLE_VALUE;
        if (ownsTarget && keep) {
            SetFilePointer(target, 0, nullptr, FILE_END);
            DWORD written = 0;
            WriteFile(target, "\r\n", 2, &written, nullptr);
        }
    }
    if (target == INVALID_HANDLE_VALUE)
        target = nullptr;

    LineLockHold hold;
    // Another thread may have opened a target meanwhile; the newest one wins.
    CloseTargetLocked();
    snprintf(state.fileName, sizeof(state.fileName), "%s", name.c_str());
    state.writeThrough = writeThrough;
    state.keep = keep;
    state.consoleAllocated = consoleAllocated;
    if (!target)
        return;
    state.target = target;
    state.ownsTarget = ownsTarget;
    state.active = true;
    state.atLineStart = true;
    header.WriteLocked();
}

} // namespace

int LogPrint(const char* format, ...)
{
    if (!state.active && !state.debuggerOutput)
        return 0;
    va_list args;
    va_start(args, format);
    WriteLine(format, args);
    va_end(args);
    return 1;
}

int LogPrintLevel(int level, const char* format, ...)
{
    if (!state.active && !state.debuggerOutput)
        return 0;
    unsigned mask = state.levelMask, bits = static_cast<unsigned>(level);
    if ((mask & 0xF) < (bits & 0xF))
        return 0;
    if ((bits & ~0xFu) != 0 && (mask & bits & ~0xFu) == 0)
        return 0;
    if (!format)
        return 1;
    va_list args;
    va_start(args, format);
    WriteLine(format, args);
    va_end(args);
    return 1;
}

int LogSwitch(const char* argument)
{
    if (!argument || (argument[0] != '/' && argument[0] != '-'))
        return 0;
    // A leading '-' counts as '/': the names are compared after it. No copy is made, as the
    // crash handler closes the log through here while the heap may be broken.
    const char* a = argument + 1;
    int handled = 1;
    if (_stricmp(a, "LOGIT") == 0 || StartsWithNoCase(a, "LOGIT:") || _stricmp(a, "LOGITKEEP") == 0 ||
        StartsWithNoCase(a, "LOGITKEEP:")) {
        OpenTarget(a);
    } else if (_stricmp(a, "LOGITHARD") == 0 || StartsWithNoCase(a, "LOGITHARD:")) {
        OpenTarget(a);
        // A hard log asks for a dump of the crash it is meant to explain, also when it could not open.
        SetCrashDumpLevel(CRASHDUMP_DEFAULT_LEVEL);
    } else if (_stricmp(a, "LOGDEBUG") == 0 || _stricmp(a, "LOGDBG") == 0) {
        state.debuggerOutput = true;
    } else if (StartsWithNoCase(a, "LOG:")) {
        state.levelMask |= static_cast<unsigned>(atoi(a + 4));
        if (!state.active)
            OpenTarget("LOGIT");
        LogPrint("LogitLevel %08x\n", state.levelMask.load());
    } else if (StartsWithNoCase(a, "D:")) {
        state.levelMask |= static_cast<unsigned>(atoi(a + 2));
        LogPrint("LogitLevel %08x\n", state.levelMask.load());
    } else if (_stricmp(a, "LOGITCLOSE") == 0) {
        CloseTarget();
    } else if (_stricmp(a, "NOASSERT") == 0) {
        state.noAssert = !state.noAssert;
    } else if (StartsWithNoCase(a, "CRASHDUMP")) {
        // Any text may follow the name; only ":n" chooses the level.
        SetCrashDumpLevel(a[9] == ':' ? atoi(a + 10) : CRASHDUMP_DEFAULT_LEVEL);
    } else {
        handled = 0;
    }
    LineLockHold hold;
    state.enabled = state.active || state.debuggerOutput;
    return handled;
}

namespace {

struct Beep {
    DWORD frequency, duration, pauseAfter;
};

void PlayBeeps(std::initializer_list<Beep> beeps)
{
    for (const Beep& beep : beeps) {
        ::Beep(beep.frequency, beep.duration);
        Sleep(beep.pauseAfter);
    }
}

} // namespace

int LogHotkey(unsigned message, uintptr_t wparam, intptr_t lparam)
{
    WPARAM key;
    if (message == WM_KEYDOWN) {
        key = wparam;
    } else if (message == WM_NOTIFY && lparam &&
               reinterpret_cast<const NMHDR*>(lparam)->code == static_cast<UINT>(LVN_KEYDOWN)) {
        key = reinterpret_cast<const NMLVKEYDOWN*>(lparam)->wVKey;
    } else {
        return 0;
    }
    bool held =
        (GetKeyState(VK_CONTROL) & 0x8000) && (GetKeyState(VK_SHIFT) & 0x8000) && !(GetKeyState(VK_MENU) & 0x8000);
    if (!held)
        return 0;
    // In the service role the keys come from whoever can reach its windows, not from a support
    // engineer at the program: a dump and a report address would be theirs to trigger.
    if (OSYS::InServiceRole()) {
        LogPrint("LogHotkey ignores Ctrl+Shift+key %u in the service role\n", static_cast<unsigned>(key));
        return 0;
    }
    switch (key) {
    case VK_F5:
        LogSwitch("/LOGIT");
        PlayBeeps({{440, 200, 10}, {660, 100, 10}, {880, 100, 10}});
        return 1;
    case VK_F6:
        LogSwitch("/LOGITHARD");
        PlayBeeps({{440, 200, 10}, {660, 100, 10}, {880, 100, 100}, {880, 100, 10}});
        return 1;
    case VK_F7:
        LogSwitch("/LOGIT:CONSOLE");
        PlayBeeps({{440, 200, 10}, {660, 100, 10}, {880, 100, 100}, {880, 100, 100}, {880, 100, 10}});
        return 1;
    case VK_F8:
        LogSwitch("/LOGITCLOSE");
        PlayBeeps({{880, 100, 10}, {660, 100, 10}, {440, 100, 10}});
        return 1;
    case VK_F9:
        PlayBeeps({{880, 100, 10}, {660, 100, 10}, {440, 100, 10}, {440, 100, 10}, {440, 100, 10}});
        // A support engineer asks for a crash on purpose, to test the dump path.
        RaiseCrashFault();
        return 1;
    default:
        return 0;
    }
}

bool LogIsEnabled()
{
    return state.enabled;
}

bool LogNoAssert()
{
    return state.noAssert;
}
