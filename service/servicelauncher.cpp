#include "service/servicelauncher.h"

#include <cstdio>
#include <cstring>

#include "approot/approot.h"
#include "approot/arguments.h"
#include "diag/logit.h"
#include "osys/handles.h"
#include "osys/ostype.h"
#include "osys/osys_win32.h"
#include "osys/osysfile.h"
#include "osys/processvalues.h"
#include "osys/registry.h"
#include "osys/security.h"
#include "service/eventlog.h"

#include "messages.h"

namespace {

// Copies text into a fixed field; refuses (leaving the field empty, and saying why in refusal
// unless a reason is there already) when it does not fit.
bool CopyField(char* field, size_t size, const char* text, const char* what, const char* key, STRING& refusal)
{
    size_t length = text ? strlen(text) : 0;
    if (length >= size) {
        LogPrint("SERVICELAUNCHER refuses %s of %u characters (at most %u)\n", what, static_cast<unsigned>(length),
                 static_cast<unsigned>(size - 1));
        if (!refusal.IsFilled()) {
            char reason[128];
            snprintf(reason, sizeof(reason),
                     IsGerman() ? "%s hat %u Zeichen, h\xF6"
                                  "chstens %u"
                                : "%s has %u characters, at most %u",
                     key, static_cast<unsigned>(length), static_cast<unsigned>(size - 1));
            refusal = reason;
        }
        return false;
    }
    memcpy(field, text ? text : "", length + 1);
    return true;
}

// Stop and shutdown; from Vista on also preshutdown, which gives the application time to save
// before the system goes down (up to the registration's preshutdown timeout).
DWORD AcceptedControls()
{
    DWORD controls = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    if (OSYS::GetOSType() >= OSYS::OSTYPE_VISTA)
        controls |= SERVICE_ACCEPT_PRESHUTDOWN;
    return controls;
}

// How often a pending stop tells the manager that it goes on.
constexpr DWORD STOP_PROGRESS_INTERVAL_MS = 1000;
// How often a stop that found no window of the application looks again: a stop that comes
// right after the start may come before the application has opened its window.
constexpr DWORD QUIT_RETRY_INTERVAL_MS = 100;

} // namespace

SERVICELAUNCHER::SERVICELAUNCHER(HINSTANCE instance, const char* serviceName, const char* windowClass,
                                 const char* programPath)
    : SERVICEWRAPPER(instance, serviceName, AcceptedControls())
{
    bool classFits = CopyField(this->windowClass, sizeof(this->windowClass), windowClass, "window class", "AppWinClass",
                               configRefusal);
    bool pathFits =
        CopyField(this->programPath, sizeof(this->programPath), programPath, "program path", "AppExe", configRefusal);
    configValid = classFits && pathFits;
}

SERVICELAUNCHER::~SERVICELAUNCHER() = default;

STRING SERVICELAUNCHER::WorkingDirectory(const STRING& programDirectory)
{
    return CutBuildFolder(programDirectory, {"\\Debug", "\\Release"}, {"main.cpp"});
}

void SERVICELAUNCHER::SetConfigFile(const char* path)
{
    // Taken in full now: a relative name means the current directory of this moment.
    configFile = FILENAME(path).GetFullName();
}

STRING SERVICELAUNCHER::ApplicationPath() const
{
    return FILENAME(FILENAME("<self>").GetPath().c_str(), programPath).Text();
}

// The services' registration keys; only administrators may change them.
constexpr const char* SERVICES_KEY = "SYSTEM\\CurrentControlSet\\Services";

bool SERVICELAUNCHER::RecordInstaller(const char* serviceName, const char* sid)
{
    REGISTRY key(HKEY_LOCAL_MACHINE, SERVICES_KEY, serviceName, REGISTRY::OPEN_WRITE);
    bool recorded = key && sid && *sid && key.WriteString(INSTALLER_VALUE, sid);
    LogPrint("SERVICELAUNCHER::RecordInstaller %s ok= %d\n", sid ? sid : "(none)", recorded);
    return recorded;
}

STRING SERVICELAUNCHER::RecordedInstaller(const char* serviceName)
{
    REGISTRY key(HKEY_LOCAL_MACHINE, SERVICES_KEY, serviceName, REGISTRY::OPEN_READ);
    STRING sid;
    bool read = key && key.ReadString(INSTALLER_VALUE, sid) && sid.IsFilled();
    LogPrint("SERVICELAUNCHER::RecordedInstaller %s\n", read ? sid.c_str() : "(none)");
    return read ? sid : STRING("");
}

void SERVICELAUNCHER::GuardedPaths(STRINGARRAY& paths) const
{
    FILENAME program("<self>");
    FILENAME application(ApplicationPath().c_str());
    STRING applicationFolder = application.GetPath();
    paths.Add(program.Text());
    paths.Add(program.GetPath());
    if (configFile.IsFilled())
        paths.Add(configFile);
    CommandLineFiles(paths, false);
    paths.Add(application.Text());
    paths.Add(applicationFolder);
    // The application loads its texts from the libraries in lang\ beside it.
    FILENAME languages(applicationFolder.c_str(), "lang");
    paths.Add(languages.Text());
    WIN32_FIND_DATAA found = {};
    UniqueFindHandle search(FindFirstFileA(FILENAME(languages.c_str(), "*.dll").c_str(), &found));
    for (bool more = static_cast<bool>(search); more; more = FindNextFileA(search.get(), &found) != FALSE)
        paths.Add(FILENAME(languages.c_str(), found.cFileName).Text());
    paths.Add(WorkingDirectory(program.GetPath()));
}

bool SERVICELAUNCHER::OnlyTrustedWrite(const char* installerSid, STRING* refusal) const
{
    STRINGARRAY paths(16);
    GuardedPaths(paths);
    bool guarded = true;
    for (int i = 0; i < paths.ItemCount; i++) {
        const char* path = paths.Get(i)->c_str();
        // A path named twice (the working folder is often the program's folder) is judged once.
        if (paths.IndexOf(path, 0) < i)
            continue;
        OSYS::WritableCheck check = OSYS::CheckOnlyTrustedWrite(path, installerSid);
        if (check.answer != OSYS::Writable::No) {
            LogPrint("SERVICELAUNCHER refuses %s: %s\n", path, check.reason.c_str());
            if (refusal && guarded)
                *refusal = STRING(path) + ": " + check.reason;
            guarded = false;
        }
    }
    return guarded;
}

void SERVICELAUNCHER::Run()
{
    if (!configValid)
        return;
    RunApplication();
    Event(EVENTLOG_INFORMATION_TYPE, MSG_SERVICE_STOPPED, {serviceName});
}

void SERVICELAUNCHER::RunApplication()
{
    STRING directory = FILENAME("<self>").GetPath();
    FILENAME application(ApplicationPath().c_str());
    STRING workdir = WorkingDirectory(directory);
    LogPrint("SERVICELAUNCHER::Run %s in %s\n", application.c_str(), workdir.c_str());
    // Held without write or delete sharing from before its check: what was judged is what runs.
    UniqueFileHandle hold(CreateFileA(application.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    // Whoever may change one of these decides what runs as LocalSystem: start nothing.
    STRING refusal;
    if (!OnlyTrustedWrite(RecordedInstaller(serviceName).c_str(), &refusal)) {
        LogPrint("SERVICELAUNCHER::Run does not start %s: a path it depends on can be changed by an untrusted account\n",
                 application.c_str());
        Event(EVENTLOG_ERROR_TYPE, MSG_WRITE_CHECK_REFUSED, {refusal.c_str()});
        SetExitCodes(ERROR_ACCESS_DENIED, 0);
        return;
    }
    // The application must open its window on this process's desktop, or OnStop cannot find
    // it: join the desktop (the window libraries load delayed) before starting the application.
    TARVOAPP::InitCommonControls();
    PROCESS_INFORMATION process = {};
    int started = OSYS::StartProgram(application.c_str(), "/service", workdir.c_str(), nullptr, 0, &process, nullptr);
    DWORD startError = started ? 0 : GetLastError();
    int exitCode = -8;
    if (started) {
        UniqueHandle running(process.hProcess), thread(process.hThread);
        Event(EVENTLOG_INFORMATION_TYPE, MSG_APPLICATION_STARTED,
              {application.c_str(), STRING(static_cast<int>(process.dwProcessId)).c_str()});
        DWORD waited = WaitForApplication(running.get());
        DWORD code = 0;
        // An end that cannot be read keeps -8 and counts as a failure.
        if (waited == WAIT_OBJECT_0 && GetExitCodeProcess(running.get(), &code))
            exitCode = static_cast<int>(code);
    }
    LogPrint("SERVICELAUNCHER::Run done\n");
    ReportHowTheApplicationEnded(application.c_str(), started != 0, startError, exitCode);
}

// The application is never killed: a stop waits for it, telling the manager every second that
// the stop goes on, and asks it again until its window has been found.
DWORD SERVICELAUNCHER::WaitForApplication(HANDLE process)
{
    ULONGLONG lastProgress = GetTickCount64();
    for (;;) {
        bool looking = StopRequested() && !quitPosted;
        DWORD waited = WaitForSingleObject(process, looking ? QUIT_RETRY_INTERVAL_MS : STOP_PROGRESS_INTERVAL_MS);
        if (waited != WAIT_TIMEOUT)
            return waited;
        if (!StopRequested())
            continue;
        if (!quitPosted)
            AskApplicationToQuit(false);
        if (GetTickCount64() - lastProgress >= STOP_PROGRESS_INTERVAL_MS) {
            ReportStopProgress();
            lastProgress = GetTickCount64();
        }
    }
}

// The manager's recovery actions fire only when the stopped report carries an error, so an
// application that failed must not look like one that was stopped.
void SERVICELAUNCHER::ReportHowTheApplicationEnded(const char* application, bool started, DWORD startError,
                                                   int exitCode)
{
    if (!started) {
        // A start refused before any system call (a text beyond its capacity) leaves no error.
        DWORD error = startError ? startError : ERROR_FILENAME_EXCED_RANGE;
        SetExitCodes(error, 0);
        LogPrint("SERVICELAUNCHER::Run application not started, stopping with win32 exit code %lu\n", error);
        STRING why = "(" + STRING(static_cast<int>(error)) + ") " + OSYS::GetErrorText(static_cast<int>(error));
        Event(EVENTLOG_ERROR_TYPE, MSG_APPLICATION_NOT_STARTED, {application, why.c_str()});
        return;
    }
    bool stopRequested = StopRequested();
    STRING code(exitCode);
    if (stopRequested)
        Event(EVENTLOG_INFORMATION_TYPE, MSG_APPLICATION_QUIT, {application, code.c_str()});
    else
        Event(exitCode ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE,
              exitCode ? MSG_APPLICATION_FAILED : MSG_APPLICATION_ENDED, {application, code.c_str()});
    // An exit code that could not be read stays -8 and counts as a failure.
    if (exitCode != 0 && !stopRequested) {
        SetExitCodes(ERROR_SERVICE_SPECIFIC_ERROR, static_cast<DWORD>(exitCode));
        LogPrint("SERVICELAUNCHER::Run application ended by itself with exit code %d, stopping with win32 exit "
                 "code %lu, service-specific exit code %lu\n",
                 exitCode, static_cast<unsigned long>(ERROR_SERVICE_SPECIFIC_ERROR),
                 static_cast<unsigned long>(exitCode));
        return;
    }
    LogPrint("SERVICELAUNCHER::Run application ended with exit code %d %s, stopping with win32 exit code 0\n", exitCode,
             stopRequested ? "after a stop request" : "by itself");
}

BOOL SERVICELAUNCHER::OnInit()
{
    return TRUE;
}

void SERVICELAUNCHER::Event(WORD type, DWORD id, std::initializer_list<const char*> strings)
{
    EVENTLOG(serviceName).Report(type, id, strings);
}

void SERVICELAUNCHER::OnStop()
{
    Event(EVENTLOG_INFORMATION_TYPE, MSG_STOP_REQUESTED,
          {StopControl() == SERVICE_CONTROL_PRESHUTDOWN ? "preshutdown" : "stop"});
    AskApplicationToQuit(true);
}

void SERVICELAUNCHER::AskApplicationToQuit(bool logMissing)
{
    // Any program on the desktop may register the class too: only a window of a process this
    // one started is the application's.
    HWND window = nullptr;
    while (windowClass[0] && (window = FindWindowExA(nullptr, window, windowClass, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (OSYS::ParentProcessId(owner) == GetCurrentProcessId())
            break;
        LogPrint("SERVICELAUNCHER::OnStop passes over %p of %s: its process %lu was not started here\n",
                 static_cast<void*>(window), windowClass, static_cast<unsigned long>(owner));
    }
    if (window || logMissing)
        LogPrint("SERVICELAUNCHER::OnStop window of %s= %p%s\n", windowClass, static_cast<void*>(window),
                 window ? "" : ": the application has none (yet)");
    if (window && PostMessageA(window, WM_QUIT, 0, 0))
        quitPosted = true;
}

void SERVICELAUNCHER::OnInterrogate() {}
void SERVICELAUNCHER::OnPause() {}
void SERVICELAUNCHER::OnContinue() {}

void SERVICELAUNCHER::OnShutdown()
{
    Event(EVENTLOG_INFORMATION_TYPE, MSG_STOP_REQUESTED, {"shutdown"});
    AskApplicationToQuit(true);
}

int SERVICELAUNCHER::OnUserControl(DWORD)
{
    return 1;
}
