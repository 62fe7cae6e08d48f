#include "service/servicewrapper.h"

#include <cstring>

#include "diag/logit.h"
#include "service/schandle.h"

SERVICEWRAPPER* currentService = nullptr;

BOOL(WINAPI* SERVICEWRAPPER::publishStatus)(SERVICE_STATUS_HANDLE, LPSERVICE_STATUS) = SetServiceStatus;

namespace {

// Guards currentService and is held by a control handler for its whole call, so that an
// object is never detached (and then destroyed) under a handler. A slim lock: it needs no
// construction or destruction, and a handler may be called until the process ends.
SRWLOCK entryLock = SRWLOCK_INIT;

class EntryHold {
public:
    EntryHold() { AcquireSRWLockExclusive(&entryLock); }
    ~EntryHold() { ReleaseSRWLockExclusive(&entryLock); }
    EntryHold(const EntryHold&) = delete;
    EntryHold& operator=(const EntryHold&) = delete;
};

SERVICEWRAPPER* CurrentService()
{
    EntryHold hold;
    return currentService;
}

} // namespace

SERVICEWRAPPER::SERVICEWRAPPER(HINSTANCE instance, const char* serviceName, DWORD controlsAccepted)
    : serviceName(serviceName), instance(instance)
{
    status = {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = SERVICE_STOPPED;
    status.dwControlsAccepted = controlsAccepted;
    EntryHold hold;
    currentService = this;
}

SERVICEWRAPPER::~SERVICEWRAPPER()
{
    // The static entry points must never reach a destroyed object.
    DetachEntryPoints();
}

void SERVICEWRAPPER::DetachEntryPoints()
{
    EntryHold hold;
    if (currentService == this)
        currentService = nullptr;
}

const char* SERVICEWRAPPER::GetDependencies()
{
    return nullptr;
}

BOOL SERVICEWRAPPER::OnInit()
{
    return TRUE;
}

void SERVICEWRAPPER::OnStop() {}
void SERVICEWRAPPER::OnInterrogate() {}
void SERVICEWRAPPER::OnPause() {}
void SERVICEWRAPPER::OnContinue() {}
void SERVICEWRAPPER::OnShutdown() {}

int SERVICEWRAPPER::OnUserControl(DWORD)
{
    return 0;
}

bool SERVICEWRAPPER::IsInstalled(const char* name)
{
    return static_cast<bool>(OpenServiceHandles(name ? name : serviceName, SERVICE_QUERY_CONFIG));
}

bool SERVICEWRAPPER::Install(DWORD startType)
{
    ScHandle manager = OpenServiceManager();
    if (!manager)
        return false;
    char path[MAX_PATH + 2] = {};
    DWORD n = GetModuleFileNameA(nullptr, path + 1, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return false;
    // A path with a blank is registered in quotes: unquoted, the manager would try each
    // prefix ending at a blank as a program (C:\Program.exe first) with system rights.
    const char* binaryPath = path + 1;
    if (strchr(binaryPath, ' ')) {
        path[0] = '"';
        path[n + 1] = '"';
        path[n + 2] = 0;
        binaryPath = path;
    }
    LogPrint("SERVICEWRAPPER::Install %s as %s\n", serviceName, binaryPath);
    ScHandle service(CreateServiceA(manager.get(), serviceName, serviceName, SERVICE_ALL_ACCESS,
                                    SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, startType,
                                    SERVICE_ERROR_NORMAL, binaryPath, nullptr, nullptr, GetDependencies(), nullptr,
                                    nullptr));
    return static_cast<bool>(service);
}

bool SERVICEWRAPPER::Uninstall()
{
    ServiceHandles handles = OpenServiceHandles(serviceName, DELETE);
    return handles && DeleteService(handles.service.get()) != FALSE;
}

bool SERVICEWRAPPER::StartDispatcher()
{
    SERVICE_TABLE_ENTRYA table[] = {
        {const_cast<char*>(serviceName), ServiceMain},
        {nullptr, nullptr},
    };
    bool ok = StartServiceCtrlDispatcherA(table) != FALSE;
    DWORD error = ok ? 0 : GetLastError();
    // The run is over and the caller may destroy this object as soon as this returns.
    DetachEntryPoints();
    LogPrint("SERVICEWRAPPER::StartDispatcher returns ok= %d (%lu)\n", ok, error);
    return ok;
}

void WINAPI SERVICEWRAPPER::ServiceMain(DWORD, LPSTR*)
{
    SERVICEWRAPPER* service = CurrentService();
    if (!service)
        return;
    {
        CRITSECTHOLD hold(service->statusLock);
        service->status.dwCurrentState = SERVICE_START_PENDING;
        service->statusHandle = RegisterServiceCtrlHandlerExA(service->serviceName, ControlHandlerEx, nullptr);
        if (!service->statusHandle)
            return;
    }
    // A failed start has been reported stopped, and the object may already be gone.
    if (!service->Initialize())
        return;
    {
        CRITSECTHOLD hold(service->statusLock);
        service->status.dwWin32ExitCode = 0;
        service->status.dwCheckPoint = 0;
        service->status.dwWaitHint = 0;
    }
    service->Run();
    // The last use of the object on this thread: once stopped is published, the dispatcher
    // returns and the owner destroys the object.
    service->ReportStatus(SERVICE_STOPPED);
}

bool SERVICEWRAPPER::Initialize()
{
    ReportStatus(SERVICE_START_PENDING);
    BOOL ok = OnInit();
    DWORD error = GetLastError();
    {
        CRITSECTHOLD hold(statusLock);
        status.dwWin32ExitCode = error;
        status.dwCheckPoint = 0;
        status.dwWaitHint = 0;
    }
    ReportStatus(ok ? SERVICE_RUNNING : SERVICE_STOPPED);
    return ok != FALSE;
}

void SERVICEWRAPPER::ReportStatus(DWORD state)
{
    SERVICE_STATUS_HANDLE handle;
    SERVICE_STATUS stopped;
    {
        CRITSECTHOLD hold(statusLock);
        // The manager hears of the stopped state once, and nothing after it: a handler that
        // finishes after Run has returned must neither repeat it nor set the state back.
        if (stopReported)
            return;
        // The check point counts the steps of a pending stop from its first report on; every
        // other state carries neither check point nor hint.
        if (state != SERVICE_STOP_PENDING) {
            status.dwCheckPoint = 0;
            status.dwWaitHint = 0;
        } else if (status.dwCurrentState != SERVICE_STOP_PENDING) {
            status.dwCheckPoint = 1;
            status.dwWaitHint = STOP_WAIT_HINT_MS;
        }
        status.dwCurrentState = state;
        LogPrint("SERVICEWRAPPER::ReportStatus state= %lu\n", state);
        if (state != SERVICE_STOPPED) {
            publishStatus(statusHandle, &status);
            return;
        }
        stopReported = true;
        if (status.dwServiceSpecificExitCode == 0)
            status.dwServiceSpecificExitCode = 1;
        LogPrint("SERVICEWRAPPER::ReportStatus stopped with win32 exit code %lu, service-specific exit code %lu\n",
                 status.dwWin32ExitCode, status.dwServiceSpecificExitCode);
        handle = statusHandle;
        stopped = status;
    }
    // Published from copies after the lock is left: it lets the dispatcher return, and the
    // owner may destroy this object, lock included, before the call comes back.
    publishStatus(handle, &stopped);
}

void SERVICEWRAPPER::ReportStopProgress()
{
    CRITSECTHOLD hold(statusLock);
    if (stopReported || status.dwCurrentState != SERVICE_STOP_PENDING)
        return;
    status.dwCheckPoint++;
    LogPrint("SERVICEWRAPPER::ReportStopProgress check point %lu\n", status.dwCheckPoint);
    publishStatus(statusHandle, &status);
}

void SERVICEWRAPPER::SetExitCodes(DWORD win32ExitCode, DWORD serviceSpecificExitCode)
{
    CRITSECTHOLD hold(statusLock);
    status.dwWin32ExitCode = win32ExitCode;
    status.dwServiceSpecificExitCode = serviceSpecificExitCode;
}

bool SERVICEWRAPPER::StopRequested()
{
    CRITSECTHOLD hold(statusLock);
    return stopRequested;
}

DWORD SERVICEWRAPPER::StopControl()
{
    CRITSECTHOLD hold(statusLock);
    return stopControl;
}

void WINAPI SERVICEWRAPPER::ControlHandler(DWORD code)
{
    // Held to the end: the object is not detached, so not destroyed, while a handler uses it.
    EntryHold entry;
    SERVICEWRAPPER* service = currentService;
    if (!service)
        return;
    LogPrint("SERVICEWRAPPER::ControlHandler code= %lu\n", code);
    switch (code) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_PRESHUTDOWN:
        service->NoteStopRequest(code);
        // The manager must see stop pending before the work is asked to end.
        service->ReportStatus(SERVICE_STOP_PENDING);
        service->OnStop();
        break;
    case SERVICE_CONTROL_PAUSE:
        service->OnPause();
        break;
    case SERVICE_CONTROL_CONTINUE:
        service->OnContinue();
        break;
    case SERVICE_CONTROL_INTERROGATE:
        service->OnInterrogate();
        break;
    case SERVICE_CONTROL_SHUTDOWN:
        service->NoteStopRequest(code);
        service->OnShutdown();
        break;
    default:
        service->OnUserControl(code);
        break;
    }
    // Interrogate waits for exactly this answer; the others confirm the state.
    service->ReportCurrentStatus();
}

DWORD WINAPI SERVICEWRAPPER::ControlHandlerEx(DWORD code, DWORD, void*, void*)
{
    ControlHandler(code);
    return NO_ERROR;
}

void SERVICEWRAPPER::NoteStopRequest(DWORD control)
{
    CRITSECTHOLD hold(statusLock);
    stopRequested = true;
    stopControl = control;
}

void SERVICEWRAPPER::ReportCurrentStatus()
{
    // Read under the lock, so that a state the service main thread is reporting meanwhile
    // is not overwritten by an older one.
    CRITSECTHOLD hold(statusLock);
    ReportStatus(status.dwCurrentState);
}
