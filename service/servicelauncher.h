// SERVICELAUNCHER: the controller's service - runs the configured application for as long
// as the service runs and asks it to quit through its main window when the service stops.
#pragma once

#include <atomic>
#include <initializer_list>

#include "service/servicewrapper.h"
#include "text/stringarray.h"
#include "text/strings.h"

class SERVICELAUNCHER : public SERVICEWRAPPER {
public:
    static constexpr int PROGRAM_PATH_SIZE = 260;
    static constexpr int WINDOW_CLASS_SIZE = 128;

    // Accepts stop and shutdown. A program path or window class that does not fit its field
    // is refused (the field stays empty, IsConfigValid() is false): a cut path could start
    // another program and a cut class could find another window.
    SERVICELAUNCHER(HINSTANCE instance, const char* serviceName, const char* windowClass, const char* programPath);
    ~SERVICELAUNCHER() override;

    // Starts the application with "/service" and waits for its end. An application that
    // cannot be started, or that ends by itself with a non-zero exit code, makes the service
    // stop with an error (the start's system error, or ERROR_SERVICE_SPECIFIC_ERROR with the
    // application's exit code); after a stop or shutdown request, or with exit code 0, the
    // service stops without one. When OnlyTrustedWrite fails for the installing account it
    // recorded it starts nothing and stops as for an application that cannot be started, with
    // ERROR_ACCESS_DENIED. The application file is held open, so that it can be neither changed
    // nor replaced, from its check until it has ended.
    void Run() override;
    BOOL OnInit() override;
    // Posts WM_QUIT to the application's main window (a top-level window of the class that
    // belongs to a process this one started); does not wait. When the application has no such
    // window yet, Run looks again every 100 ms until it has one or has ended.
    void OnStop() override;
    void OnInterrogate() override;
    void OnPause() override;
    void OnContinue() override;
    void OnShutdown() override;
    int OnUserControl(DWORD code) override;

    bool IsConfigValid() const { return configValid; }
    // Why the configuration was refused ("AppWinClass has 130 characters, at most 127"); empty
    // while it is valid.
    const STRING& ConfigRefusal() const { return configRefusal; }
    // The configuration file the service reads at its start, checked with the application.
    void SetConfigFile(const char* path);
    // The application's full path: the program's directory and the program path, which is
    // taken as it is when absolute.
    STRING ApplicationPath() const;
    // True when nobody but the trusted accounts (SYSTEM, Administrators, TrustedInstaller and
    // installerSid, the account that installed the service) can change or replace what this
    // service reads or runs as LocalSystem (GuardedPaths). Logs every path that fails, with the
    // account and the right; a path that cannot be judged fails too. The first path that failed
    // and why go to refusal when given.
    bool OnlyTrustedWrite(const char* installerSid, STRING* refusal = nullptr) const;
    // Every file and folder the service process reads or runs: the program, its folder, the
    // configuration file, the commandline.ini files (and where they could be), the application,
    // its folder, its language libraries' folder lang\ and each library in it, and the
    // application's working folder.
    void GuardedPaths(STRINGARRAY& paths) const;
    // The installing account's SID is kept as this value of the service's own registry key,
    // which only administrators can change; the service process trusts that account's files.
    static constexpr const char* INSTALLER_VALUE = "TarvoInstaller";
    static bool RecordInstaller(const char* serviceName, const char* sid);
    static STRING RecordedInstaller(const char* serviceName);
    // The working directory of the application: the program's directory, without a trailing
    // \Debug or \Release when the folder above holds the sources.
    static STRING WorkingDirectory(const STRING& programDirectory);

private:
    // Checks, starts and waits for the application; sets the exit codes of the stopped report.
    void RunApplication();
    void ReportHowTheApplicationEnded(const char* application, bool started, DWORD startError, int exitCode);
    // Waits for the application's process to end; returns the wait's result.
    DWORD WaitForApplication(HANDLE process);
    // Posts the quit request to the application's window when it has one; logs a missing one
    // when asked to.
    void AskApplicationToQuit(bool logMissing);
    // One entry in the event log under the service's name.
    void Event(WORD type, DWORD id, std::initializer_list<const char*> strings);

    char programPath[PROGRAM_PATH_SIZE] = {};
    char windowClass[WINDOW_CLASS_SIZE] = {};
    bool configValid = false;
    // Set once the quit request reached the application's window (by the control handler's
    // thread or the waiting one).
    std::atomic<bool> quitPosted{false};
    STRING configRefusal;
    STRING configFile;
};
