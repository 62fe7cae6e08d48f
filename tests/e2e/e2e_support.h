// Shared pieces of the end-to-end tests of service.exe:
//   the built programs' paths, the controller's texts and exit codes, configuration text
//   builders, ControllerFolder (a scratch folder holding a copy of service.exe and its
//   service.cfg, whose runs check that service.cfg is never written), RemoveOnExit (a
//   service registered by a test) and record-file reading.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "process.h"
#include "scratch.h"
#include "services.h"

namespace e2e {

// The programs under test, as Windows paths (built on the host, run under Wine or on Windows).
std::string ServiceExe();
std::string SampleExe();
std::string SampleConfig();
std::string TestServiceExe();
std::string CompanionExe(); // service.com

inline constexpr const char* kTitle = "Tarvo Service Controller";
inline constexpr const char* kConfigError = "Service.cfg not found or wrong.";
inline constexpr const char* kConfigErrorGerman = "Service.cfg nicht gefunden oder fehlerhaft.";
inline constexpr const char* kSyntax =
    "Syntax:\r\n\r\nservice /config\r\n\r\nservice /start\r\nservice /stop\r\nservice /install\r\n"
    "service /uninstall\r\n";

// Exit codes of service.exe.
inline constexpr DWORD kExitOk = 0;
inline constexpr DWORD kExitSyntax = 1;
inline constexpr DWORD kExitInstallFailed = 2;
inline constexpr DWORD kExitUninstallFailed = 3;
inline constexpr DWORD kExitDispatcherFailed = 4;
inline constexpr DWORD kExitNotInstalled = 5;
inline constexpr DWORD kExitStartFailed = 6;
inline constexpr DWORD kExitStopFailed = 7;
inline constexpr DWORD kExitStopTimedOut = 8;
inline constexpr DWORD kExitConfigError = 100;
// Exit codes of /status.
inline constexpr DWORD kStatusRunning = 0;
inline constexpr DWORD kStatusStopped = 10;
inline constexpr DWORD kStatusPending = 11;
inline constexpr DWORD kStatusNotInstalled = 12;

// A service name nothing registers: runs with it must not reach a real service.
inline const std::string kNoService = "TarvoTestNoSuchService";

// How long a service may take to reach the state a test waits for.
inline constexpr DWORD kStateTimeoutMs = 15000;

// Generous: a run that needs it has hung. The longest legal run is /stop's 21 polls.
inline constexpr DWORD kRunTimeoutMs = 60000;

using ConfigEntries = std::vector<std::pair<std::string, std::string>>;

// The five required keys, naming the given service and the sample application.
ConfigEntries RequiredEntries(const std::string& serviceName);
ConfigEntries Without(ConfigEntries entries, const std::string& key);
ConfigEntries With(ConfigEntries entries, const std::string& key, const std::string& value);
// "key=value" lines with the given line end.
std::string ConfigText(const ConfigEntries& entries, const std::string& lineEnd = "\r\n");

// A scratch folder with a copy of service.exe; Run starts that copy and checks afterwards that
// service.cfg (and any other file named in watched) kept its bytes and modification time.
class ControllerFolder {
public:
    // programName: the name of the copy; a setting of Wine's for one program name then reaches
    // this copy alone, not the copies that other tests run at the same time.
    explicit ControllerFolder(const std::string& label, const std::string& programName = "service.exe");

    rig::ScratchFolder& Folder() { return folder; }
    std::string PathOf(const std::string& name) const { return folder.PathOf(name); }
    std::string Exe() const { return folder.PathOf(programName); }

    bool WriteConfig(const std::string& text, const std::string& name = "service.cfg");
    void Watch(const std::string& name) { watched.push_back(name); }

    rig::RunResult Run(const std::vector<std::string>& args, rig::BoxAnswer answer = rig::BoxAnswer::Ok,
                       DWORD timeoutMs = kRunTimeoutMs);
    // The same through the console companion service.com, copied in at its first run.
    rig::RunResult RunCompanion(const std::vector<std::string>& args);

private:
    rig::RunResult RunChecked(const std::string& program, const std::vector<std::string>& args, rig::BoxAnswer answer,
                              DWORD timeoutMs);
    rig::ScratchFolder folder;
    std::string programName;
    std::vector<std::string> watched{"service.cfg"};
};

// Removes a service a test had service.exe register, also when the test fails.
class RemoveOnExit {
public:
    explicit RemoveOnExit(std::string name) : name(std::move(name)) {}
    ~RemoveOnExit() { rig::RemoveService(name, 40000); }
    RemoveOnExit(const RemoveOnExit&) = delete;
    RemoveOnExit& operator=(const RemoveOnExit&) = delete;

private:
    std::string name;
};

// The text of a run's boxes, for failure messages.
std::string Describe(const rig::RunResult& result);

// Expects a finished run with this exit code and exactly one box with this title and text
// (line breaks compared in one form) and an OK button.
void ExpectSingleBox(const rig::RunResult& result, DWORD exitCode, const std::string& title, const std::string& text);
// Expects a finished run with this exit code and no box at all.
void ExpectNoBox(const rig::RunResult& result, DWORD exitCode);

// A record file of "key=value" lines (TarvoSample.record, TarvoTestService.record).
struct Record {
    std::vector<std::pair<std::string, std::string>> lines;

    bool Has(const std::string& key) const;
    std::string Value(const std::string& key) const; // the last value of the key
    std::vector<std::string> Values(const std::string& key) const;
};
Record ReadRecord(const std::string& path);
// Polls the record until the key appears; false at the timeout.
bool WaitForRecordKey(const std::string& path, const std::string& key, DWORD timeoutMs);

std::string Lower(std::string text);

// The service's status record as the manager keeps it; all zero when it cannot be read.
SERVICE_STATUS ServiceStatusOf(const std::string& name);

} // namespace e2e
