#include "osys/osys_win32.h"

#include <process.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/handles.h"
#include "osys/msgpump.h"
#include "osys/ostype.h"
#include "osys/processvalues.h"

namespace {

std::atomic<OSYS::ProcessWait> startProgramWait{WaitForSingleObject};

// The shell library is loaded when a shell function is first needed: it is large, and the
// controller's own commands never use it, so the process starts without it.
HMODULE ShellLibrary()
{
    static HMODULE shell = OSYS::LoadSystemLibrary("shell32.dll");
    return shell;
}

HINSTANCE ShellOpen(HWND owner, const char* target, const char* parameters, const char* workdir)
{
    using ShellExecuteFn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    auto shellExecute = OSYS::GetFunction<ShellExecuteFn>(ShellLibrary(), "ShellExecuteA");
    return shellExecute ? shellExecute(owner, "open", target, parameters, workdir, SW_SHOW) : nullptr;
}

} // namespace

namespace OSYS {

HMODULE LoadSystemLibrary(const char* name)
{
    HMODULE module = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Systems without the search flags reject them: name the file in the system folder instead.
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER) {
        char folder[MAX_PATH] = {};
        char path[MAX_PATH] = {};
        UINT n = GetSystemDirectoryA(folder, MAX_PATH);
        int length = snprintf(path, sizeof(path), "%s\\%s", folder, name);
        if (n > 0 && n < MAX_PATH && length > 0 && length < MAX_PATH)
            module = LoadLibraryA(path);
    }
    LogPrint("OSYS::LoadSystemLibrary %s returns %p\n", name, static_cast<void*>(module));
    return module;
}

HMODULE LoadResourceLibrary(const char* path)
{
    HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    // Systems before Vista know only the data-file flag, which maps the file without running it too.
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER)
        module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    LogPrint("OSYS::LoadResourceLibrary %s returns %p\n", path ? path : "<NULL>", static_cast<void*>(module));
    return module;
}

UniqueFileHandle CreateNewFile(const char* path)
{
    return UniqueFileHandle(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

namespace {

// The first process of a snapshot that matches; false when none does.
template <class MATCH>
bool FindProcess(MATCH matches, PROCESSENTRY32& entry)
{
    UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    entry = {};
    entry.dwSize = sizeof(entry);
    for (bool more = snapshot && Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry) != FALSE)
        if (matches(entry))
            return true;
    return false;
}

} // namespace

DWORD ParentProcessId(DWORD processId)
{
    PROCESSENTRY32 entry;
    return FindProcess([&](const PROCESSENTRY32& e) { return e.th32ProcessID == processId; }, entry)
               ? entry.th32ParentProcessID
               : 0;
}

DWORD ChildProcessId(DWORD processId)
{
    PROCESSENTRY32 entry;
    return processId && FindProcess([&](const PROCESSENTRY32& e) { return e.th32ParentProcessID == processId; }, entry)
               ? entry.th32ProcessID
               : 0;
}

bool RestrictLibrarySearch()
{
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    using SetDllDirectoryFn = BOOL(WINAPI*)(const char*);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto setDefaultDllDirectories = GetFunction<SetDefaultDllDirectoriesFn>(kernel, "SetDefaultDllDirectories");
    bool ok = setDefaultDllDirectories && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Older systems: at least take the current directory out of the search.
    if (!ok) {
        auto setDllDirectory = GetFunction<SetDllDirectoryFn>(kernel, "SetDllDirectoryA");
        ok = setDllDirectory && setDllDirectory("");
    }
    LogPrint("OSYS::RestrictLibrarySearch ok= %d\n", ok);
    return ok;
}

STRING GetErrorText(int code)
{
    DWORD error = code == LAST_ERROR ? GetLastError() : static_cast<DWORD>(code);
    char text[256] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                             sizeof(text), nullptr);
    if (n == 0)
        return STRING("<no error>");
    STRING result(text);
    result.Trim('R', "\r\n");
    return result;
}

wchar_t SystemByteToWide(unsigned char byte)
{
    wchar_t value = 0;
    char source = static_cast<char>(byte);
    if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, &source, 1, &value, 1) != 1)
        return L'@';
    return value;
}

unsigned char SystemWideToByte(wchar_t value, unsigned int codepage)
{
    char byte = 0;
    if (WideCharToMultiByte(codepage, 0, &value, 1, &byte, 1, nullptr, nullptr) != 1)
        return static_cast<unsigned char>(value & 0xFF);
    return static_cast<unsigned char>(byte);
}

STRING GetStringFromResource(int id)
{
    return GetStringFromResource(id, TarvoResourceModule());
}

STRING GetStringFromResource(int id, HMODULE module)
{
    char text[RESOURCE_STRING_MAX + 1] = {};
    STRING result(LoadStringA(module, static_cast<UINT>(id), text, sizeof(text)) > 0 ? text : "<STR-ERR>");
    // Resource texts are logged among the most detailed lines.
    if (LogPrintLevel(LOGLEVEL_EVENT, nullptr))
        LogPrint("OSYS::GetStringFromResource %d returns %s\n", id, result.c_str());
    return result;
}

STRING GetSystemPath(int folder)
{
    // Expanded folder paths up to this many characters are read.
    constexpr DWORD SYSTEM_PATH_MAX = 1024;
    struct Folder {
        int number;
        HKEY root;
        const char* value;
    };
    static const Folder folders[] = {
        {0, HKEY_CURRENT_USER, "Programs"},
        {1, HKEY_CURRENT_USER, "Startup"},
        {2, HKEY_LOCAL_MACHINE, "ProgramFilesDir"},
        {5, HKEY_CURRENT_USER, "AppData"},
        {6, HKEY_CURRENT_USER, "Personal"},
        {7, HKEY_CURRENT_USER, "My Pictures"},
        {8, HKEY_CURRENT_USER, "Desktop"},
        {9, HKEY_CURRENT_USER, "SendTo"},
        {10, HKEY_LOCAL_MACHINE, "Common Programs"},
        {11, HKEY_LOCAL_MACHINE, "Common Startup"},
        {12, HKEY_LOCAL_MACHINE, "Common Documents"},
        {13, HKEY_LOCAL_MACHINE, "Common AppData"},
        {14, HKEY_CURRENT_USER, "Personal"},
        {18, HKEY_CURRENT_USER, "Personal"},
        {19, HKEY_CURRENT_USER, "Personal"},
    };
    const Folder* entry = nullptr;
    for (const Folder& candidate : folders)
        if (candidate.number == folder)
            entry = &candidate;
    if (!TARVO_CHECK(entry != nullptr, "FALSE", nullptr))
        return STRING("");
    const char* value = entry->value;
    // Windows 95/98 keep the all users' documents in the application data folder.
    if (folder == 12 && GetOSType() == OSTYPE_WIN9X)
        value = "Common AppData";
    const char* key = folder == 2 ? "Software\\Microsoft\\Windows\\CurrentVersion"
                                  : "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

    // One byte more than offered: a value stored without its zero stays terminated.
    char raw[SYSTEM_PATH_MAX + 1] = {};
    DWORD size = SYSTEM_PATH_MAX;
    DWORD type = 0;
    char expanded[SYSTEM_PATH_MAX + 1] = {};
    LSTATUS rc = ERROR_SUCCESS;
    {
        HKEY opened = nullptr;
        rc = RegOpenKeyExA(entry->root, key, 0, KEY_READ, &opened);
        UniqueRegKey shellFolders(rc == ERROR_SUCCESS ? opened : nullptr);
        if (rc == ERROR_SUCCESS)
            rc = RegQueryValueExA(shellFolders.get(), value, nullptr, &type, reinterpret_cast<BYTE*>(raw), &size);
        if (rc == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ)
            rc = ERROR_INVALID_DATA;
    }
    if (rc == ERROR_SUCCESS) {
        DWORD n = ExpandEnvironmentStringsA(raw, expanded, SYSTEM_PATH_MAX);
        if (n == 0 || n > SYSTEM_PATH_MAX)
            rc = ERROR_INSUFFICIENT_BUFFER;
    }
    if (rc != ERROR_SUCCESS) {
        char info[40];
        snprintf(info, sizeof(info), "GetSystemPath %d", folder);
        AssertCheck(0, "rc==ERROR_SUCCESS", __FILE__, __LINE__, info, 1);
        return STRING("");
    }
    STRING path(expanded);
    if (path.Length() > 0 && path[path.Length() - 1] != '\\')
        path.Append('\\');
    return path;
}

STRING UserName()
{
    char name[257] = {};
    DWORD size = sizeof(name);
    return ::GetUserNameA(name, &size) ? STRING(name) : STRING("");
}

STRING ComputerName()
{
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof(name);
    return ::GetComputerNameA(name, &size) ? STRING(name) : STRING("");
}

STRING StartCommandLine(const char* program, const char* parameters)
{
    bool withParameters = parameters && *parameters;
    bool quote = withParameters && program[0] != '"';
    // Measured before it is built: a text over the bound is refused here, quietly, and never
    // reaches the formatter, which would report it.
    size_t length = strlen(program) + (quote ? 2 : 0) + (withParameters ? 1 + strlen(parameters) : 0);
    if (length > START_COMMANDLINE_MAX)
        return STRING("");
    STRING line;
    if (withParameters)
        line.Format(quote ? "\"%s\" %s" : "%s %s", program, parameters);
    else
        line = program;
    return line;
}

ProcessWait SetStartProgramWait(ProcessWait wait)
{
    return startProgramWait.exchange(wait ? wait : WaitForSingleObject);
}

int StartProgram(const char* program, const char* parameters, const char* workdir, const char* title, int flags,
                 PROCESS_INFORMATION* processInfo, int* exitCode)
{
    bool sync = flags & START_SYNC;
    bool pump = sync && (flags & START_PUMP);
    DWORD slice = pump ? 10 : INFINITE;
    if (exitCode)
        *exitCode = -8;

    WORD show = SW_SHOWNORMAL;
    if (flags & START_HIDDEN)
        show = SW_HIDE;
    else if (flags & START_MINIMIZED)
        show = SW_SHOWMINIMIZED;
    else if (flags & START_MAXIMIZED)
        show = SW_SHOWMAXIMIZED;
    if (program && program[0] == '*') {
        show = SW_SHOWMINIMIZED;
        program++;
    } else if (program && program[0] == '#') {
        show = SW_HIDE;
        program++;
    }
    LogPrint("OSYS::StartProgram %s %s (sync= %d)\n", program ? program : "<NULL>", parameters ? parameters : "", sync);

    STRING commandLine = program ? StartCommandLine(program, parameters) : STRING("");
    // Texts beyond the fixed capacities are refused rather than cut.
    if (!commandLine.IsFilled() || (workdir && strlen(workdir) > START_WORKDIR_MAX) ||
        (title && strlen(title) > START_TITLE_MAX)) {
        LogPrint("OSYS::StartProgram refused: empty or over-long command line, working directory or title\n");
        LogPrint("StartProgram done ok= %d\n", 0);
        return 0;
    }

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.lpTitle = const_cast<char*>(title);
    if (show != SW_SHOWNORMAL) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = show;
    }
    PROCESS_INFORMATION info = {};
    BOOL started = CreateProcessA(nullptr, commandLine.Buffer, nullptr, nullptr, FALSE, 0, nullptr,
                                  (workdir && *workdir) ? workdir : nullptr, &startup, &info);
    LogPrint("OSYS::StartProgram rc= %d\n", started);
    if (!started) {
        LogPrint("OSYS::StartProgram getlasterrorstring returned %s\n", GetErrorText().c_str());
        LogPrint("StartProgram done ok= %d\n", 0);
        return 0;
    }
    UniqueHandle process(info.hProcess), thread(info.hThread);

    if (sync) {
        DWORD waited;
        while ((waited = startProgramWait.load()(process.get(), slice)) == WAIT_TIMEOUT)
            if (pump)
                PumpMessages(PUMP_SLEEP_BATCH);
        // Whether the program ended is unknown: no exit code, and a failure result. The
        // handles are closed here, as a failed start hands none over.
        if (waited != WAIT_OBJECT_0) {
            DWORD error = GetLastError();
            STRING errorText = GetErrorText(static_cast<int>(error));
            LogPrint("OSYS::StartProgram wait returned %lu/%s\n", waited, errorText.c_str());
            SetLastError(error);
            AssertCheck(0, "rc!=WAIT_FAILED", __FILE__, __LINE__, nullptr, 1);
            LogPrint("StartProgram done ok= %d\n", 0);
            // The caller reports the failure with the wait's own error.
            SetLastError(error);
            return 0;
        }
        if (exitCode) {
            DWORD code = 0;
            if (GetExitCodeProcess(process.get(), &code))
                *exitCode = static_cast<int>(code);
            else
                LogPrint("OSYS::StartProgram GetExitCodeProcess returned %d/%s\n", 0, GetErrorText().c_str());
        }
    }
    if (processInfo) {
        *processInfo = info;
        process.release();
        thread.release();
    }
    LogPrint("StartProgram done ok= %d\n", 1);
    return 1;
}

} // namespace OSYS

int StartProgramExitCode(const char* program, const char* parameters, const char* workdir, const char* title)
{
    int exitCode = -8;
    if (!OSYS::StartProgram(program, parameters, workdir, title, OSYS::START_SYNC, nullptr, &exitCode))
        exitCode = 1;
    LogPrint("StartProgramExitCode returns %d\n", exitCode);
    return exitCode;
}

namespace OSYS {

bool ShellExecuteRun(HWND owner, const char* program, const char* parameters, const char* workdir)
{
    LogPrint("OSYS::ShellExecuteRun owner= %p, program= %s, parm= %s, workdir= %s\n", static_cast<void*>(owner),
             program ? program : "<NULL>", parameters ? parameters : "<NULL>", workdir ? workdir : "<NULL>");
    INT_PTR rc = reinterpret_cast<INT_PTR>(ShellOpen(owner, program, parameters, workdir));
    LogPrint("OSYS::ShellExecuteRun rc= %d (ok= %d)\n", static_cast<int>(rc), rc > 32);
    return rc > 32;
}

bool ShellExecuteRunSync(HWND owner, const char* program, const char* parameters, const char* workdir, DWORD timeout,
                         int* exitCode)
{
    LogPrint("OSYS::ShellExecuteRunSync owner= %ps, program= %s, parm= %s, workdir= %s\n", static_cast<void*>(owner),
             program ? program : "<NULL>", parameters ? parameters : "<NULL>", workdir ? workdir : "<NULL>");
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = owner;
    info.lpVerb = "open";
    info.lpFile = program;
    info.lpParameters = parameters;
    info.lpDirectory = workdir;
    info.nShow = SW_SHOW;
    using ShellExecuteExFn = BOOL(WINAPI*)(SHELLEXECUTEINFOA*);
    auto shellExecuteEx = GetFunction<ShellExecuteExFn>(ShellLibrary(), "ShellExecuteExA");
    if (!shellExecuteEx || !shellExecuteEx(&info) || !info.hProcess)
        return false;
    UniqueHandle process(info.hProcess);
    if (WaitForSingleObject(process.get(), timeout) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    if (exitCode && GetExitCodeProcess(process.get(), &code) && code != 0)
        *exitCode = static_cast<int>(code);
    return true;
}

bool OpenDocument(const char* target, HWND owner)
{
    char directory[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof(directory), directory);
    return reinterpret_cast<INT_PTR>(ShellOpen(owner, target, nullptr, directory)) > 32;
}

HANDLE CreateThread(THREADFUNC function, void* argument)
{
    unsigned id = 0;
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 32768, function, argument, 0, &id));
    LogPrint("OSYS::CreateThread returned hthread= %p, tid= %04x\n", static_cast<void*>(thread), id);
    return thread;
}

HANDLE CreateThreadWithParm(THREADFUNC function, int value, void* parameter)
{
    auto record = std::make_unique<THREADPARM>();
    record->value = value;
    record->parameter = parameter;
    unsigned id = 0;
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 32768, function, record.get(), 0, &id));
    // From here on the thread owns the record.
    if (thread)
        record.release();
    LogPrint("OSYS::CreateThreadWithParm returned %p, tid= %04x\n", static_cast<void*>(thread), id);
    return thread;
}

bool WaitThread(HANDLE thread, DWORD timeout)
{
    if (timeout != 0)
        LogPrint("OSYS::WaitThread hthread=%p, timeout=%d\n", static_cast<void*>(thread), static_cast<int>(timeout));
    if (!TARVO_CHECK(thread != nullptr, "hthread!=NULL", nullptr))
        return false;
    if (WaitForSingleObject(thread, timeout) == WAIT_OBJECT_0) {
        CloseHandle(thread);
        return true;
    }
    if (timeout != 0)
        LogPrint("OSYS::WaitThread hthread=%p timeout=%d failed %s\n", static_cast<void*>(thread),
                 static_cast<int>(timeout), GetErrorText().c_str());
    return false;
}

void CloseThread(HANDLE thread)
{
    if (thread)
        CloseHandle(thread);
}

void KillThread(HANDLE thread)
{
    if (!thread)
        return;
    TerminateThread(thread, 127);
    CloseHandle(thread);
}

} // namespace OSYS

RAISEPROCESSPRIORITY::RAISEPROCESSPRIORITY(int priorityClass, int previous)
    : process(GetCurrentProcess()),
      previousClass(previous == -1 ? static_cast<int>(GetPriorityClass(GetCurrentProcess())) : previous), raiseOk(false)
{
    LogPrintLevel(LOGLEVEL_DETAIL, "RAISEPROCESSPRIORITY::RAISEPROCESSPRIORITY prio= %d\n", priorityClass);
    raiseOk = SetPriorityClass(process, static_cast<DWORD>(priorityClass)) != FALSE;
    LogPrint("RAISEPROCESSPRIORITY::RAISEPROCESSPRIORITY done, ok= %d, origclass= %d\n", raiseOk, previousClass);
}

RAISEPROCESSPRIORITY::~RAISEPROCESSPRIORITY()
{
    LogPrintLevel(LOGLEVEL_DETAIL, "RAISEPROCESSPRIORITY::~RAISEPROCESSPRIORITY (RaiseOk=%d)\n", raiseOk);
    int rc = raiseOk ? SetPriorityClass(process, static_cast<DWORD>(previousClass)) : 0;
    LogPrintLevel(LOGLEVEL_DETAIL, "RAISEPROCESSPRIORITY::~RAISEPROCESSPRIORITY done (rc= %d)\n", rc);
}

RAISETHREADPRIORITY::RAISETHREADPRIORITY(int priority, int previous)
    : thread(GetCurrentThread()), previousPriority(previous == -1 ? GetThreadPriority(GetCurrentThread()) : previous),
      raiseOk(false)
{
    LogPrintLevel(LOGLEVEL_DETAIL, "RAISETHREADPRIORITY::RAISETHREADPRIORITY prio= %d\n", priority);
    raiseOk = SetThreadPriority(thread, priority) != FALSE;
    LogPrint("RAISETHREADPRIORITY::RAISETHREADPRIORITY done, ok= %d, origclass= %d\n", raiseOk, previousPriority);
}

RAISETHREADPRIORITY::~RAISETHREADPRIORITY()
{
    LogPrintLevel(LOGLEVEL_DETAIL, "RAISETHREADPRIORITY::~RAISETHREADPRIORITY (RaiseOk=%d)\n", raiseOk);
    int rc = raiseOk ? SetThreadPriority(thread, previousPriority) : 0;
    LogPrintLevel(LOGLEVEL_DETAIL, "RAISETHREADPRIORITY::~RAISETHREADPRIORITY done (rc= %d)\n", rc);
}

bool RAISETHREADPRIORITY::SetPriority(int priority)
{
    LogPrintLevel(LOGLEVEL_DETAIL, "RAISETHREADPRIORITY::SetPriority called, prio= %d\n", priority);
    return SetThreadPriority(thread, priority) != FALSE;
}
