#include "service/serviceoptions.h"

#include "diag/logit.h"
#include "service/schandle.h"

namespace {

constexpr DWORD MAX_SECONDS = 86400;
constexpr DWORD RESTART_COUNT = 3;
constexpr DWORD RESTART_RESET_SECONDS = 86400; // the failures are counted afresh after a day

// A whole number of seconds from 0 (or 1) to a day, without anything around it.
bool ReadSeconds(HASH& config, const char* key, DWORD minimum, DWORD& seconds, STRING& why, bool german)
{
    const STRING& text = config.Lookup(key);
    const char* chars = text.c_str();
    bool digits = text.IsFilled() && text.Length() <= 5;
    for (int i = 0; digits && i < text.Length(); i++)
        digits = chars[i] >= '0' && chars[i] <= '9';
    seconds = digits ? static_cast<DWORD>(text.ToInt()) : 0;
    if (digits && seconds >= minimum && seconds <= MAX_SECONDS)
        return true;
    char range[64];
    snprintf(range, sizeof(range), german ? "\" ist keine Zahl von Sekunden von %lu bis %lu"
                                          : "\" is not a number of seconds from %lu to %lu",
             static_cast<unsigned long>(minimum), static_cast<unsigned long>(MAX_SECONDS));
    why = STRING(key) + " \"" + text + range;
    return false;
}

// One setting of the second configuration call, logged with the system's answer.
void ChangeConfig2(SC_HANDLE service, DWORD level, void* info, const char* what)
{
    bool ok = ChangeServiceConfig2A(service, level, info) != FALSE;
    DWORD error = ok ? 0 : GetLastError();
    LogPrint("SERVICEOPTIONS %s: %s (%lu)\n", what, ok ? "set" : "refused by the system", static_cast<unsigned long>(error));
}

} // namespace

bool SERVICEOPTIONS::Read(HASH& config, STRING& why, bool german)
{
    if (config.HasKey("Description"))
        description = config.Lookup("Description");
    if (config.HasKey("StartType")) {
        const STRING& type = config.Lookup("StartType");
        if (type.EqualsNoCase("manual")) {
            startType = SERVICE_DEMAND_START;
        } else if (type.EqualsNoCase("delayed")) {
            delayedStart = true;
        } else if (!type.EqualsNoCase("auto")) {
            why = "StartType \"" + type +
                  (german ? "\" ist nicht auto, delayed oder manual" : "\" is not auto, delayed or manual");
            return false;
        }
    }
    DWORD seconds = 0;
    if (config.HasKey("ShutdownTimeout")) {
        if (!ReadSeconds(config, "ShutdownTimeout", 1, seconds, why, german))
            return false;
        shutdownTimeoutMs = seconds * 1000;
    }
    if (config.HasKey("RestartOnFailure")) {
        if (!ReadSeconds(config, "RestartOnFailure", 0, seconds, why, german))
            return false;
        restart = true;
        restartDelayMs = seconds * 1000;
    }
    return true;
}

void SERVICEOPTIONS::Apply(const char* serviceName) const
{
    // Restart actions need the right to start the service as well.
    ServiceHandles handles = OpenServiceHandles(serviceName, SERVICE_CHANGE_CONFIG | SERVICE_START);
    if (!handles) {
        LogPrint("SERVICEOPTIONS cannot open %s (%lu)\n", serviceName, GetLastError());
        return;
    }
    SC_HANDLE service = handles.service.get();
    if (description.IsFilled()) {
        SERVICE_DESCRIPTIONA text{const_cast<char*>(description.c_str())};
        ChangeConfig2(service, SERVICE_CONFIG_DESCRIPTION, &text, "description");
    }
    if (delayedStart) {
        // Without it (Wine refuses it) the service still starts automatically, only earlier.
        SERVICE_DELAYED_AUTO_START_INFO delayed{TRUE};
        ChangeConfig2(service, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed, "delayed automatic start");
    }
    if (shutdownTimeoutMs) {
        SERVICE_PRESHUTDOWN_INFO preshutdown{shutdownTimeoutMs};
        ChangeConfig2(service, SERVICE_CONFIG_PRESHUTDOWN_INFO, &preshutdown, "preshutdown timeout");
    }
    if (restart) {
        SC_ACTION actions[RESTART_COUNT];
        for (SC_ACTION& action : actions)
            action = {SC_ACTION_RESTART, restartDelayMs};
        SERVICE_FAILURE_ACTIONSA failure{RESTART_RESET_SECONDS, nullptr, nullptr, RESTART_COUNT, actions};
        ChangeConfig2(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure, "failure actions");
        // Also for a stop with an error code, not only for a crash of the process.
        SERVICE_FAILURE_ACTIONS_FLAG flag{TRUE};
        ChangeConfig2(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &flag, "failure actions flag");
    }
}
