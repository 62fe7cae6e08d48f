// The exit codes of service.exe, which its console companion service.com passes on: each road
// has codes of its own, so that a script can branch on them.
#pragma once

// Results of the service commands, which are also the program's exit codes; the ranges
// overlap with QUERY_STATUS's states, so a caller reads the code of its own command.
enum class ServiceResult : int {
    Ok = 0,
    InstallFailed = 2,
    UninstallFailed = 3,
    DispatcherFailed = 4,
    NotInstalled = 5,
    StartFailed = 6,
    StopFailed = 7,
};

constexpr int ResultCode(ServiceResult result)
{
    return static_cast<int>(result);
}

// The program's other exit codes.
constexpr int EXIT_REFUSED_SYSTEM = 1; // Windows 95/98/ME
constexpr int EXIT_SYNTAX_SHOWN = 1;
constexpr int EXIT_STOP_TIMED_OUT = 8;   // /stop: still running or stop pending when the wait ended
constexpr int EXIT_COMPANION_FAILED = 9; // service.com could not run service.exe
// /status: the service's state.
constexpr int EXIT_STATUS_RUNNING = 0;
constexpr int EXIT_STATUS_STOPPED = 10;
constexpr int EXIT_STATUS_PENDING = 11; // start, stop, pause or continue pending, or paused
constexpr int EXIT_STATUS_NOT_INSTALLED = 12;
constexpr int EXIT_STATUS_UNREADABLE = 13; // the manager refused the query
constexpr int EXIT_CONFIG_ERROR = 100;

// Every exit code the program and its companion end with.
inline constexpr int CONTROLLER_EXIT_CODES[] = {
    ResultCode(ServiceResult::Ok),
    EXIT_SYNTAX_SHOWN,
    ResultCode(ServiceResult::InstallFailed),
    ResultCode(ServiceResult::UninstallFailed),
    ResultCode(ServiceResult::DispatcherFailed),
    ResultCode(ServiceResult::NotInstalled),
    ResultCode(ServiceResult::StartFailed),
    ResultCode(ServiceResult::StopFailed),
    EXIT_STOP_TIMED_OUT,
    EXIT_COMPANION_FAILED,
    EXIT_STATUS_STOPPED,
    EXIT_STATUS_PENDING,
    EXIT_STATUS_NOT_INSTALLED,
    EXIT_STATUS_UNREADABLE,
    EXIT_CONFIG_ERROR,
};
