// The controller's main function and its service commands.
#include "service/main.h"

#include <windows.h>

#include <cstdio>
#include <utility>

#include "approot/approot.h"
#include "approot/arguments.h"
#include "diag/logit.h"
#include "osys/osysfile.h"
#include "osys/ostype.h"
#include "service/schandle.h"
#include "service/servicelauncher.h"
#include "ui/viziveru.h"

namespace {

constexpr char CONTROLLER_TITLE[] = "Tarvo Service Controller";
constexpr int STOP_POLLS = 21;
constexpr DWORD STOP_POLL_INTERVAL_MS = 1000;

const char* const REQUIRED_KEYS[] = {"AppName", "AppExe", "AppHelp", "AppRegKey", "AppWinClass"};

STRING ConfigFileName()
{
    STRING name("service.cfg");
    if (TestArgValue("CFG", 0)) {
        // Another file is taken only when it exists as a file; otherwise the default stays.
        // The name tested is the expanded one ("%APPDATA%\x.cfg"), and so is the name loaded.
        STRING other = GetArgValue("CFG", 0);
        FILENAME file(other.c_str());
        if (other.IsFilled() && file.IsFile())
            name = file.Text();
    }
    return name;
}

bool LoadConfig()
{
    HASH& config = ServiceConfig();
    if (!config.Load(ConfigFileName().c_str()))
        return false;
    for (const char* key : REQUIRED_KEYS)
        if (!config.HasKey(key))
            return false;
    return config.Lookup("AppWinClass").Find("Tarvo");
}

int ConfigError()
{
    VIZIVERU::ErrorMsgBox(nullptr, CONTROLLER_TITLE,
                          IsGerman() ? "Service.cfg nicht gefunden oder fehlerhaft."
                                     : "Service.cfg not found or wrong.");
    return EXIT_CONFIG_ERROR;
}

int RefuseWindows9x()
{
    const STRING& name = ServiceConfig().Lookup("AppName");
    STRING title = name + " Service";
    STRING text = IsGerman() ? "Der " + name + "-Service kann unter Windows 95/98/ME nicht installiert werden."
                             : "The " + name + " service can not be installed under Windows 95/98/ME.";
    VIZIVERU::InfoMsgBox(nullptr, title.c_str(), text.c_str());
    return EXIT_REFUSED_SYSTEM;
}

int ShowSyntax()
{
    char text[1024];
    snprintf(text, sizeof(text), "%s",
             "Syntax:\r\n\r\nservice /config\r\n\r\nservice /start\r\nservice /stop\r\nservice /install\r\n"
             "service /uninstall\r\n");
    MessageBoxA(nullptr, text, CONTROLLER_TITLE, MB_ICONINFORMATION);
    return EXIT_SYNTAX_SHOWN;
}

// The stop request returns once the manager has accepted it; the administrator's prompt
// comes back when the service has left the running states, or after about 21 seconds.
int StopAndWait()
{
    int result = ServiceCommand("STOP");
    if (result != ResultCode(ServiceResult::Ok))
        return result;
    for (int poll = 0; poll < STOP_POLLS; poll++) {
        Sleep(STOP_POLL_INTERVAL_MS);
        int state = ServiceCommand("QUERY_STATUS");
        if (state != SERVICE_STOP_PENDING && state != SERVICE_RUNNING)
            break;
    }
    return ResultCode(ServiceResult::Ok);
}

SC_HANDLE OpenManagerWithAllAccess()
{
    return OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
}

ServiceManagerOpener managerOpener = OpenManagerWithAllAccess;

// The manager is declared first in ServiceHandles, so the service handle is closed first.
ServiceHandles OpenForCommand(const char* name, DWORD access)
{
    ServiceHandles handles{ScHandle(managerOpener()), ScHandle()};
    if (handles.manager)
        handles.service.reset(OpenServiceA(handles.manager.get(), name, access));
    LogPrint("ServiceCommand manager ok= %d, service %s (access %lx) ok= %d\n", static_cast<bool>(handles.manager),
             name, access, static_cast<bool>(handles.service));
    return handles;
}

ServiceResult RequestStart(const char* name)
{
    ServiceHandles handles = OpenForCommand(name, SERVICE_START);
    return handles && StartServiceA(handles.service.get(), 0, nullptr) ? ServiceResult::Ok : ServiceResult::StartFailed;
}

ServiceResult RequestStop(const char* name)
{
    ServiceHandles handles = OpenForCommand(name, SERVICE_STOP);
    SERVICE_STATUS status = {};
    return handles && ControlService(handles.service.get(), SERVICE_CONTROL_STOP, &status) ? ServiceResult::Ok
                                                                                           : ServiceResult::StopFailed;
}

// The command's result for one of the commands that change the service.
ServiceResult ChangeService(const STRING& word, const STRING& name)
{
    STRING windowClass = ServiceConfig().Lookup("AppWinClass");
    STRING program = ServiceConfig().Lookup("AppExe");
    SERVICELAUNCHER launcher(TarvoInstance(), name.c_str(), windowClass.c_str(), program.c_str());
    launcher.SetConfigFile(ConfigFileName().c_str());
    // A service runs as LocalSystem whatever its files say: they must be the administrators' alone.
    if (word.EqualsNoCase("INSTALL"))
        return launcher.IsConfigValid() && launcher.OnlyAdministratorsWrite(true) &&
                       launcher.Install(SERVICE_AUTO_START)
                   ? ServiceResult::Ok
                   : ServiceResult::InstallFailed;
    if (word.EqualsNoCase("UNINSTALL"))
        return launcher.Uninstall() ? ServiceResult::Ok : ServiceResult::UninstallFailed;
    if (word.EqualsNoCase("LAUNCH")) {
        // A configuration the launcher refuses must not run as a service at all.
        if (!launcher.IsConfigValid() || !launcher.IsInstalled())
            return ServiceResult::NotInstalled;
        return launcher.StartDispatcher() ? ServiceResult::Ok : ServiceResult::DispatcherFailed;
    }
    return ServiceResult::Ok;
}

int QueryState(const char* name)
{
    ServiceHandles handles = OpenForCommand(name, SERVICE_QUERY_STATUS);
    SERVICE_STATUS status = {};
    if (!handles || !QueryServiceStatus(handles.service.get(), &status))
        return 0;
    return static_cast<int>(status.dwCurrentState);
}

} // namespace

HASH& ServiceConfig()
{
    static HASH config;
    return config;
}

ServiceManagerOpener SetServiceManagerOpener(ServiceManagerOpener opener)
{
    return std::exchange(managerOpener, opener ? opener : OpenManagerWithAllAccess);
}

int ServiceCommand(STRING word)
{
    LogPrint("ServiceCommand %s\n", word.c_str());
    // Each command reads the name afresh from the table.
    STRING name = ServiceConfig().Lookup("AppName");
    if (word.EqualsNoCase("START"))
        return ResultCode(RequestStart(name.c_str()));
    if (word.EqualsNoCase("STOP"))
        return ResultCode(RequestStop(name.c_str()));
    if (word.EqualsNoCase("QUERY_STATUS"))
        return QueryState(name.c_str());
    return ResultCode(ChangeService(word, name));
}

int AppMain(int, char**, char**)
{
    if (!LoadConfig())
        return ConfigError();
    HASH& config = ServiceConfig();
    // The default lives in memory only; the configuration file is never written.
    if (!config.HasKey("ADVGUI"))
        config.Lookup("ADVGUI") = "0";

    if (OSYS::GetOSType() == OSYS::OSTYPE_WIN9X)
        return RefuseWindows9x();

    if (TestArg("?") || TestArg("HELP"))
        return ShowSyntax();
    // The dialog switches rank before the commands; this build has no dialog yet, so it ends here.
    if (TestArg("GUI") || TestArg("CONFIG") || TestArg("ADVGUI"))
        return 0;
    if (TestArg("START"))
        return ServiceCommand("START");
    if (TestArg("STOP"))
        return StopAndWait();
    if (TestArg("INSTALL"))
        return ServiceCommand("INSTALL");
    if (TestArg("UNINSTALL"))
        return ServiceCommand("UNINSTALL");
    return ServiceCommand("LAUNCH");
}
