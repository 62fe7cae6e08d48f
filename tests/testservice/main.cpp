// TarvoTestService: a small real Windows service for end-to-end tests of the controller.
// Started by the Service Control Manager (without arguments) it reports start pending and
// running, and on a stop or shutdown request stop pending and stopped. Every state it reports
// and every control it receives is appended to TarvoTestService.record beside its exe, one
// "key=value" line each, so tests can check the sequence.
// Knobs, from an optional TarvoTestService.ini beside the exe: StopDelayMs=n keeps the service
// in stop pending for n ms before it reports stopped; StartDelayMs=n keeps it start pending for
// n ms before it reports running.
// Started from a prompt the dispatcher fails (error 1063) and the program exits with that error.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>

namespace {

class UniqueEvent {
public:
    UniqueEvent() : handle(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~UniqueEvent()
    {
        if (handle) {
            CloseHandle(handle);
        }
    }
    UniqueEvent(const UniqueEvent&) = delete;
    UniqueEvent& operator=(const UniqueEvent&) = delete;
    HANDLE get() const { return handle; }

private:
    HANDLE handle;
};

const char* StateName(DWORD state)
{
    switch (state) {
    case SERVICE_STOPPED:
        return "STOPPED";
    case SERVICE_START_PENDING:
        return "START_PENDING";
    case SERVICE_STOP_PENDING:
        return "STOP_PENDING";
    case SERVICE_RUNNING:
        return "RUNNING";
    default:
        return "OTHER";
    }
}

const char* ControlName(DWORD control)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
        return "STOP";
    case SERVICE_CONTROL_SHUTDOWN:
        return "SHUTDOWN";
    case SERVICE_CONTROL_INTERROGATE:
        return "INTERROGATE";
    default:
        return "OTHER";
    }
}

std::string ExeFolder()
{
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, length < sizeof path ? length : 0);
    size_t slash = folder.find_last_of('\\');
    return slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
}

// Reads "name=n" from the ini file; 0 when it is absent.
DWORD ReadKnob(const std::string& iniPath, const std::string& name)
{
    std::ifstream in(iniPath);
    std::string line;
    const std::string key = name + "=";
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0) {
            return std::strtoul(line.c_str() + key.size(), nullptr, 10);
        }
    }
    return 0;
}

// The process-wide state of the one service this process runs: the manager calls the service
// main function and the control handler as plain functions.
class TestService {
public:
    TestService()
        : recordPath(ExeFolder() + "\\TarvoTestService.record"),
          stopDelayMs(ReadKnob(ExeFolder() + "\\TarvoTestService.ini", "StopDelayMs")),
          startDelayMs(ReadKnob(ExeFolder() + "\\TarvoTestService.ini", "StartDelayMs"))
    {
    }

    void Record(const std::string& key, const std::string& value)
    {
        std::lock_guard<std::mutex> lock(recordLock);
        if (FILE* file = std::fopen(recordPath.c_str(), "a")) {
            std::fprintf(file, "%s=%s\n", key.c_str(), value.c_str());
            std::fclose(file);
        }
    }

    void Main(const char* name)
    {
        Record("servicemain", name ? name : "");
        statusHandle = RegisterServiceCtrlHandlerExA(name ? name : "", &TestService::Handler, this);
        if (!statusHandle) {
            Record("registerhandler error", std::to_string(GetLastError()));
            return;
        }
        Report(SERVICE_START_PENDING, startDelayMs + 3000);
        Sleep(startDelayMs);
        Report(SERVICE_RUNNING, 0);
        WaitForSingleObject(stopRequested.get(), INFINITE);
        Sleep(stopDelayMs);
        Report(SERVICE_STOPPED, 0);
    }

private:
    static DWORD WINAPI Handler(DWORD control, DWORD, void*, void* context)
    {
        auto* service = static_cast<TestService*>(context);
        service->Record("control", ControlName(control));
        switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            // The manager must see stop pending before the service main function reports stopped.
            service->Report(SERVICE_STOP_PENDING, service->stopDelayMs + 2000);
            SetEvent(service->stopRequested.get());
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
        }
    }

    void Report(DWORD state, DWORD waitHint)
    {
        std::lock_guard<std::mutex> lock(statusLock);
        status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        status.dwCurrentState = state;
        status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
        status.dwWin32ExitCode = NO_ERROR;
        status.dwCheckPoint = (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING) ? 1 : 0;
        status.dwWaitHint = waitHint;
        // Recorded before the manager publishes it, so a test that sees the state also finds the line.
        Record("state", StateName(state));
        SetServiceStatus(statusHandle, &status);
    }

    std::string recordPath;
    DWORD stopDelayMs;
    DWORD startDelayMs;
    std::mutex recordLock;
    std::mutex statusLock;
    SERVICE_STATUS_HANDLE statusHandle = nullptr;
    SERVICE_STATUS status{};
    UniqueEvent stopRequested;
};

TestService& Service()
{
    static TestService service;
    return service;
}

void WINAPI ServiceMain(DWORD argc, char** argv)
{
    Service().Main(argc > 0 ? argv[0] : nullptr);
}

} // namespace

int main()
{
    Service().Record("process pid", std::to_string(GetCurrentProcessId()));
    // An own-process service may leave the name empty; the manager passes the real one to ServiceMain.
    char emptyName[] = "";
    SERVICE_TABLE_ENTRYA table[] = {{emptyName, ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherA(table)) {
        DWORD error = GetLastError();
        Service().Record("dispatcher error", std::to_string(error));
        std::fprintf(stderr, "TarvoTestService: not started by the Service Control Manager (error %lu)\n", error);
        return static_cast<int>(error);
    }
    Service().Record("end", "dispatcher returned");
    return 0;
}
