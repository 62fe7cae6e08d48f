// Service helpers for end-to-end tests, always through the real Service Control Manager:
// state queries and waits, creating and deleting services like "sc create" / "sc delete",
// and ServiceGuard, which removes a service it created also when a test fails.
#pragma once

#include <windows.h>

#include <string>

namespace rig {

// Prefix of every service a test creates; the run's cleanup deletes whatever carries it.
inline constexpr const char* kTestServicePrefix = "TarvoTest";

// A service name unique to this process and call: "TarvoTest" + label + process id + counter.
std::string UniqueServiceName(const std::string& label);

// The service's current state (SERVICE_STOPPED .. SERVICE_PAUSED), 0 when it does not exist
// or its state cannot be read.
DWORD QueryServiceState(const std::string& name);

// Polls until the service reports the state; false when the timeout passes first.
bool WaitForServiceState(const std::string& name, DWORD state, DWORD timeoutMs);

// The wait hint and checkpoint do not matter here; a readable name for messages does.
const char* ServiceStateName(DWORD state);

// Like "sc create NAME binPath= PATH": an own-process service started on demand, LocalSystem,
// with this process's account recorded as the installing one, as service.exe /install records it.
bool CreateOwnProcessService(const std::string& name, const std::string& binaryPath);

bool StartServiceByName(const std::string& name);
bool StopServiceByName(const std::string& name);

// Stops the service when it runs (waiting up to stopTimeoutMs for it to stop), deletes it and
// waits until the manager no longer knows it. True when it is gone afterwards.
bool RemoveService(const std::string& name, DWORD stopTimeoutMs);

// Creates a service on construction and removes it on destruction.
class ServiceGuard {
public:
    ServiceGuard(std::string name, const std::string& binaryPath, DWORD stopTimeoutMs = 40000);
    ~ServiceGuard();
    ServiceGuard(const ServiceGuard&) = delete;
    ServiceGuard& operator=(const ServiceGuard&) = delete;

    const std::string& Name() const { return name; }
    bool Created() const { return created; }
    DWORD CreateError() const { return createError; }

private:
    std::string name;
    DWORD stopTimeoutMs;
    bool created = false;
    DWORD createError = 0;
};

} // namespace rig
