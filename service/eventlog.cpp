#include "service/eventlog.h"

#include <vector>

#include "diag/logit.h"
#include "osys/registry.h"
#include "text/strings.h"

namespace {

// Only administrators can change the sources' keys.
constexpr char APPLICATION_LOG_KEY[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";
constexpr DWORD TYPES_SUPPORTED = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

STRING SourceKey(const char* serviceName)
{
    return STRING(APPLICATION_LOG_KEY) + "\\" + serviceName;
}

} // namespace

bool EVENTLOG::Register(const char* serviceName, const char* programPath)
{
    REGISTRY key(HKEY_LOCAL_MACHINE, APPLICATION_LOG_KEY, serviceName, REGISTRY::OPEN_CREATE);
    bool ok = key && key.WriteString("EventMessageFile", programPath) && key.WriteDWORD("TypesSupported", TYPES_SUPPORTED);
    LogPrint("EVENTLOG::Register %s (%s) ok= %d\n", serviceName, programPath, ok);
    return ok;
}

bool EVENTLOG::Unregister(const char* serviceName)
{
    LONG rc = RegDeleteKeyA(HKEY_LOCAL_MACHINE, SourceKey(serviceName).c_str());
    LogPrint("EVENTLOG::Unregister %s rc= %ld\n", serviceName, rc);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

EVENTLOG::EVENTLOG(const char* serviceName) : source(RegisterEventSourceA(nullptr, serviceName)) {}

bool EVENTLOG::Report(WORD type, DWORD id, std::initializer_list<const char*> strings)
{
    std::vector<const char*> texts(strings);
    bool ok = source && ReportEventA(source.get(), type, 0, id, nullptr, static_cast<WORD>(texts.size()), 0,
                                     texts.data(), nullptr);
    LogPrint("EVENTLOG::Report type %u id %lu ok= %d\n", type, static_cast<unsigned long>(id), ok);
    return ok;
}
