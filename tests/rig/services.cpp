#include "services.h"

#include <atomic>

#include "osys/security.h"
#include "service/schandle.h"
#include "service/servicelauncher.h"

namespace rig {

namespace {

constexpr DWORD kStatePollMs = 50;

} // namespace

std::string UniqueServiceName(const std::string& label)
{
    static std::atomic<unsigned> counter{0};
    return std::string(kTestServicePrefix) + label + "_" + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(++counter);
}

DWORD QueryServiceState(const std::string& name)
{
    ServiceHandles handles = OpenServiceHandles(name.c_str(), SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    if (!handles || !QueryServiceStatus(handles.service.get(), &status)) {
        return 0;
    }
    return status.dwCurrentState;
}

bool WaitForServiceState(const std::string& name, DWORD state, DWORD timeoutMs)
{
    ULONGLONG begin = GetTickCount64();
    for (;;) {
        if (QueryServiceState(name) == state) {
            return true;
        }
        if (GetTickCount64() - begin > timeoutMs) {
            return false;
        }
        Sleep(kStatePollMs);
    }
}

const char* ServiceStateName(DWORD state)
{
    switch (state) {
    case 0:
        return "NOT_FOUND";
    case SERVICE_STOPPED:
        return "STOPPED";
    case SERVICE_START_PENDING:
        return "START_PENDING";
    case SERVICE_STOP_PENDING:
        return "STOP_PENDING";
    case SERVICE_RUNNING:
        return "RUNNING";
    case SERVICE_CONTINUE_PENDING:
        return "CONTINUE_PENDING";
    case SERVICE_PAUSE_PENDING:
        return "PAUSE_PENDING";
    case SERVICE_PAUSED:
        return "PAUSED";
    default:
        return "UNKNOWN";
    }
}

bool CreateOwnProcessService(const std::string& name, const std::string& binaryPath)
{
    ScHandle manager = OpenServiceManager();
    if (!manager) {
        return false;
    }
    ScHandle service(CreateServiceA(manager.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                          SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                          binaryPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service)
        return false;
    // As /install does: the service process trusts the files of the account recorded here.
    return SERVICELAUNCHER::RecordInstaller(name.c_str(), OSYS::CurrentUserSid().c_str());
}

bool StartServiceByName(const std::string& name)
{
    ServiceHandles handles = OpenServiceHandles(name.c_str(), SERVICE_START);
    return handles && StartServiceA(handles.service.get(), 0, nullptr);
}

bool StopServiceByName(const std::string& name)
{
    ServiceHandles handles = OpenServiceHandles(name.c_str(), SERVICE_STOP);
    SERVICE_STATUS status{};
    return handles && ControlService(handles.service.get(), SERVICE_CONTROL_STOP, &status);
}

bool RemoveService(const std::string& name, DWORD stopTimeoutMs)
{
    DWORD state = QueryServiceState(name);
    if (state != 0 && state != SERVICE_STOPPED) {
        // A stop may already be pending; then the control fails and the wait still applies.
        StopServiceByName(name);
        WaitForServiceState(name, SERVICE_STOPPED, stopTimeoutMs);
    }
    {
        ServiceHandles handles = OpenServiceHandles(name.c_str(), DELETE);
        if (!handles.manager) {
            return false;
        }
        if (handles) {
            DeleteService(handles.service.get());
        }
    }
    // The manager drops the entry once the last handle to it is closed.
    ULONGLONG begin = GetTickCount64();
    while (GetTickCount64() - begin < 5000) {
        ServiceHandles handles = OpenServiceHandles(name.c_str(), SERVICE_QUERY_STATUS);
        if (handles.manager && !handles && GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) {
            return true;
        }
        Sleep(kStatePollMs);
    }
    return false;
}

ServiceGuard::ServiceGuard(std::string serviceName, const std::string& binaryPath, DWORD stopTimeout)
    : name(std::move(serviceName)), stopTimeoutMs(stopTimeout)
{
    created = CreateOwnProcessService(name, binaryPath);
    createError = created ? 0 : GetLastError();
}

ServiceGuard::~ServiceGuard()
{
    if (created) {
        RemoveService(name, stopTimeoutMs);
    }
}

} // namespace rig
