// service.com: the console companion of service.exe. Typed as "service /start" in a command
// prompt it is found before service.exe (.COM comes before .EXE in PATHEXT); it runs
// service.exe from its own folder with its own arguments and standard handles, waits for it and
// ends with its exit code, so that the prompt waits and shows what service.exe reports.
#include <windows.h>

#include <cstdio>
#include <string>

#include "service/exitcodes.h"

// Not in every SDK's headers.
#ifndef ERROR_ELEVATION_REQUIRED
#define ERROR_ELEVATION_REQUIRED 740L
#endif

namespace {

// The arguments of this program's command line: everything after the program's own name,
// which the command processor may have quoted.
const wchar_t* Arguments(const wchar_t* commandLine)
{
    const wchar_t* at = commandLine;
    if (*at == L'"') {
        at++;
        while (*at && *at != L'"')
            at++;
        if (*at)
            at++;
    } else {
        while (*at && *at != L' ' && *at != L'\t')
            at++;
    }
    return at;
}

// service.exe beside this program.
std::wstring ControllerPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t dot = path.find_last_of(L'.');
    size_t slash = path.find_last_of(L"\\/");
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
        return path + L".exe";
    return path.substr(0, dot) + L".exe";
}

// The child gets these handles only when they can be inherited.
HANDLE Inheritable(DWORD which)
{
    HANDLE handle = GetStdHandle(which);
    if (handle && handle != INVALID_HANDLE_VALUE)
        SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    return handle;
}

} // namespace

int wmain()
{
    std::wstring program = ControllerPath();
    // Quoted: a folder with a blank in its name must not start another program.
    std::wstring commandLine = L"\"" + program + L"\"" + Arguments(GetCommandLineW());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = Inheritable(STD_INPUT_HANDLE);
    startup.hStdOutput = Inheritable(STD_OUTPUT_HANDLE);
    startup.hStdError = Inheritable(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    if (program.empty() || !CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                           nullptr, &startup, &process)) {
        DWORD error = GetLastError();
        fwprintf(stderr, L"service.com: %ls could not be started (error %lu)\n", program.c_str(),
                 static_cast<unsigned long>(error));
        if (error == ERROR_ELEVATION_REQUIRED)
            fwprintf(stderr, L"service.com: run it from a command prompt with administrator rights\n");
        return EXIT_COMPANION_FAILED;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = EXIT_COMPANION_FAILED;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}
