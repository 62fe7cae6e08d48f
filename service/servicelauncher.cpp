#include "service/servicelauncher.h"

#include <cstring>

#include "approot/approot.h"
#include "diag/logit.h"
#include "osys/osys_win32.h"
#include "osys/osysfile.h"

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

bool EndsWithNoCase(const STRING& text, const char* ending)
{
    int n = static_cast<int>(strlen(ending));
    return text.Length() >= n && _stricmp(text.c_str() + text.Length() - n, ending) == 0;
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
    STRING directory(programDirectory);
    FILENAME source(FILENAME(directory.c_str(), "..").c_str(), "main.cpp");
    if (EndsWithNoCase(directory, "\\Debug") && source.IsFile())
        directory.DeleteRight(6);
    else if (EndsWithNoCase(directory, "\\Release") && source.IsFile())
        directory.DeleteRight(8);
    return directory;
}

void SERVICELAUNCHER::Run()
{
    if (!configValid)
        return;
    STRING directory = FILENAME("<self>").GetPath();
    FILENAME application(directory.c_str(), programPath);
    STRING workdir = WorkingDirectory(directory);
    LogPrint("SERVICELAUNCHER::Run %s in %s\n", application.c_str(), workdir.c_str());
    // The application must open its window on this process's desktop, or OnStop cannot find
    // it: join the desktop (the window libraries load delayed) before starting the application.
    TARVOAPP::InitCommonControls();
    OSYS::StartProgram(application.c_str(), "/service", workdir.c_str(), nullptr, OSYS::START_SYNC, nullptr, nullptr);
    LogPrint("SERVICELAUNCHER::Run done\n");
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
