// SERVICEWRAPPER: base class of a program that runs as a Windows service of its own process.
// It owns the status record, connects to the Service Control Manager (dispatcher, service
// main function, control handler), reports the status transitions and turns controls into
// virtual calls. The registration operations (IsInstalled, Install, Uninstall) live here too.
#pragma once

#include <windows.h>

#include "osys/locks.h"

class SERVICEWRAPPER {
public:
    // The service name is not copied: the caller's text must outlive the object.
    SERVICEWRAPPER(HINSTANCE instance, const char* serviceName, DWORD controlsAccepted);
    SERVICEWRAPPER(const SERVICEWRAPPER&) = delete;
    SERVICEWRAPPER& operator=(const SERVICEWRAPPER&) = delete;

    virtual ~SERVICEWRAPPER();
    // The dependency list handed to CreateServiceA (double-null terminated); none by default.
    virtual const char* GetDependencies();
    // The service's work; the service runs while it executes (on the service main thread).
    virtual void Run() = 0;
    // Called before Run; false stops the service with the last error as its exit code.
    virtual BOOL OnInit();
    // The control handlers run on the dispatcher's (main) thread while Run is blocked.
    virtual void OnStop();
    virtual void OnInterrogate();
    virtual void OnPause();
    virtual void OnContinue();
    virtual void OnShutdown();
    // Codes outside 1..5; the result is not used by the runtime.
    virtual int OnUserControl(DWORD code);

    // Registration in the Service Control Manager database.
    bool IsInstalled(const char* name = nullptr);
    bool Install(DWORD startType);
    bool Uninstall();

    // Blocks in the dispatcher for the whole service run; false when the process was not
    // started by the Service Control Manager or the connection failed.
    bool StartDispatcher();

    static void WINAPI ServiceMain(DWORD argc, LPSTR* argv);
    // Stop and preshutdown report stop pending and call OnStop; shutdown calls OnShutdown.
    static void WINAPI ControlHandler(DWORD code);
    // The handler registered with the manager (the extended form, which also receives the
    // preshutdown control); passes the code to ControlHandler.
    static DWORD WINAPI ControlHandlerEx(DWORD code, DWORD eventType, void* eventData, void* context);
    // A pending stop is reported with a check point and this wait hint, so that the manager
    // and its tools see a live stop; the service raises the check point every second or so.
    static constexpr DWORD STOP_WAIT_HINT_MS = 3000;
    // One more step of a pending stop: the check point rises by one. Nothing in other states.
    void ReportStopProgress();
    // Every field of the record is written under the status lock; the stopped report is
    // published after the lock is left, and the object is not used afterwards.
    void ReportStatus(DWORD state);
    bool Initialize();
    void ReportCurrentStatus();

    const SERVICE_STATUS& Status() const { return status; }

    // The call that publishes a status record (SetServiceStatus); a test puts an observer here.
    static BOOL(WINAPI* publishStatus)(SERVICE_STATUS_HANDLE handle, LPSERVICE_STATUS record);

protected:
    // Ends the static entry points' access to this object; waits for a control handler that
    // is still inside it. Called when the dispatcher returns and on destruction.
    void DetachEntryPoints();
    // The codes the stopped report carries: a system error, or ERROR_SERVICE_SPECIFIC_ERROR
    // with the service's own code. Set by Run before it returns.
    void SetExitCodes(DWORD win32ExitCode, DWORD serviceSpecificExitCode);
    // True once a stop or shutdown control has arrived.
    bool StopRequested();
    // The control that asked for the stop (SERVICE_CONTROL_STOP, _PRESHUTDOWN or _SHUTDOWN); 0
    // before one arrived.
    DWORD StopControl();

    const char* serviceName;
    SERVICE_STATUS_HANDLE statusHandle = nullptr;
    SERVICE_STATUS status;
    CRITSECT statusLock;
    HINSTANCE instance;
    bool stopReported = false;
    bool stopRequested = false;
    DWORD stopControl = 0;

private:
    void NoteStopRequest(DWORD control);
};

// The service object constructed last; the static entry points reach it through this.
extern SERVICEWRAPPER* currentService;
