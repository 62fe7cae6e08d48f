#include "service/servicelauncher.h"

#include <cstring>

#include "approot/approot.h"
#include "diag/logit.h"
#include "osys/osys_win32.h"
#include "osys/osysfile.h"
#include "osys/security.h"

namespace {

// Copies text into a fixed field; refuses (leaving the field empty) when it does not fit.
bool CopyField(char* field, size_t size, const char* text, const char* what)
{
    size_t length = text ? strlen(text) : 0;
    if (length >= size) {
        LogPrint("SERVICELAUNCHER refuses %s of %u characters (at most %u)\n", what, static_cast<unsigned>(length),
                 static_cast<unsigned>(size - 1));
        return false;
    }
    memcpy(field, text ? text : "", length + 1);
    return true;
}

} // namespace

SERVICELAUNCHER::SERVICELAUNCHER(HINSTANCE instance, const char* serviceName, const char* windowClass,
                                 const char* programPath)
    : SERVICEWRAPPER(instance, serviceName, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN)
{
    bool classFits = CopyField(this->windowClass, sizeof(this->windowClass), windowClass, "window class");
    bool pathFits = CopyField(this->programPath, sizeof(this->programPath), programPath, "program path");
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

bool SERVICELAUNCHER::OnlyAdministratorsWrite(bool withProgramFile) const
{
    FILENAME program("<self>");
    FILENAME application(ApplicationPath().c_str());
    STRING programFolder = program.GetPath();
    STRING applicationFolder = application.GetPath();
    // The folders are searched for the libraries of both programs; a writer of the
    // application's folder could also swap the application for another.
    const char* paths[] = {
        withProgramFile ? program.c_str() : nullptr,
        programFolder.c_str(),
        configFile.IsFilled() ? configFile.c_str() : nullptr,
        application.c_str(),
        applicationFolder.EqualsNoCase(programFolder.c_str()) ? nullptr : applicationFolder.c_str(),
    };
    bool guarded = true;
    for (const char* path : paths) {
        if (!path)
            continue;
        OSYS::WritableCheck check = OSYS::CheckWritableByEveryone(path);
        if (check.answer != OSYS::Writable::No) {
            LogPrint("SERVICELAUNCHER refuses %s: %s\n", path, check.reason.c_str());
            guarded = false;
        }
    }
    return guarded;
}

void SERVICELAUNCHER::Run()
{
    if (!configValid)
        return;
    STRING directory = FILENAME("<self>").GetPath();
    FILENAME application(ApplicationPath().c_str());
    STRING workdir = WorkingDirectory(directory);
    LogPrint("SERVICELAUNCHER::Run %s in %s\n", application.c_str(), workdir.c_str());
    // Whoever may change one of these decides what runs as LocalSystem: start nothing.
    if (!OnlyAdministratorsWrite(false)) {
        LogPrint("SERVICELAUNCHER::Run does not start %s: a path it depends on is writable by everyone\n",
                 application.c_str());
        ReportHowTheApplicationEnded(false, ERROR_ACCESS_DENIED, -8);
        return;
    }
    // The application must open its window on this process's desktop, or OnStop cannot find
    // it: join the desktop (the window libraries load delayed) before starting the application.
    TARVOAPP::InitCommonControls();
    int exitCode = -8;
    int started = OSYS::StartProgram(application.c_str(), "/service", workdir.c_str(), nullptr, OSYS::START_SYNC,
                                     nullptr, &exitCode);
    DWORD startError = started ? 0 : GetLastError();
    LogPrint("SERVICELAUNCHER::Run done\n");
    ReportHowTheApplicationEnded(started != 0, startError, exitCode);
}

// The manager's recovery actions fire only when the stopped report carries an error, so an
// application that failed must not look like one that was stopped.
void SERVICELAUNCHER::ReportHowTheApplicationEnded(bool started, DWORD startError, int exitCode)
{
    if (!started) {
        // A start refused before any system call (a text beyond its capacity) leaves no error.
        DWORD error = startError ? startError : ERROR_FILENAME_EXCED_RANGE;
        SetExitCodes(error, 0);
        LogPrint("SERVICELAUNCHER::Run application not started, stopping with win32 exit code %lu\n", error);
        return;
    }
    bool stopRequested = StopRequested();
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

void SERVICELAUNCHER::OnStop()
{
    HWND window = windowClass[0] ? FindWindowA(windowClass, nullptr) : nullptr;
    LogPrint("SERVICELAUNCHER::OnStop window of %s= %p\n", windowClass, static_cast<void*>(window));
    if (window)
        PostMessageA(window, WM_QUIT, 0, 0);
}

void SERVICELAUNCHER::OnInterrogate() {}
void SERVICELAUNCHER::OnPause() {}
void SERVICELAUNCHER::OnContinue() {}

void SERVICELAUNCHER::OnShutdown()
{
    OnStop();
}

int SERVICELAUNCHER::OnUserControl(DWORD)
{
    return 1;
}
