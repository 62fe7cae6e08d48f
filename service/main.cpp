// The controller's main function and its service commands.
#include "service/main.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>

#include "approot/approot.h"
#include "approot/arguments.h"
#include "diag/logit.h"
#include "osys/ostype.h"
#include "osys/osys_win32.h"
#include "osys/osysfile.h"
#include "osys/processvalues.h"
#include "osys/security.h"
#include "service/consolelines.h"
#include "service/eventlog.h"
#include "service/schandle.h"
#include "service/servicedlg.h"
#include "service/servicelauncher.h"
#include "service/serviceoptions.h"
#include "ui/helpfile.h"
#include "ui/infowindow.h"
#include "ui/viziveru.h"

namespace {

constexpr char CONTROLLER_TITLE[] = "Tarvo Service Controller";
// /stop looks often, so that it returns as soon as the service has stopped, for at most 21 s.
constexpr DWORD STOP_WAIT_MS = 21000;
constexpr DWORD STOP_POLL_INTERVAL_MS = 10;

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

// Why a missing key may be missing: a line of the file without '=', or one that writes the
// key with blanks around it (which makes another key). Empty when no line explains it.
STRING MissingKeyHint(const char* path, const char* key, bool german)
{
    STRING content;
    if (!content.Load(path, "r"))
        return STRING("");
    std::string text = content.c_str();
    int number = 0;
    for (size_t begin = 0; begin < text.size();) {
        size_t end = text.find('\n', begin);
        std::string line = text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
        begin = end == std::string::npos ? text.size() : end + 1;
        number++;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line.rfind("//", 0) == 0 || line[0] == '#')
            continue;
        size_t equals = line.find('=');
        std::string name = line.substr(0, equals);
        size_t first = name.find_first_not_of(" \t");
        size_t last = name.find_last_not_of(" \t");
        bool blanks = first != std::string::npos && (first > 0 || last + 1 < name.size()) &&
                      STRING(name.substr(first, last - first + 1).c_str()).EqualsNoCase(key);
        if (equals != std::string::npos && !blanks)
            continue;
        char where[32];
        snprintf(where, sizeof(where), german ? " (Zeile %d: \"" : " (line %d: \"", number);
        const char* why = equals == std::string::npos
                              ? (german ? "\" hat kein '=')" : "\" has no '=')")
                              : (german ? "\" hat Leerzeichen um den Schl\xFCssel)" : "\" has blanks around the key)");
        return STRING(where) + line.c_str() + why;
    }
    return STRING("");
}

// Loads the configuration table from path; the empty text when it passes every check, else
// which check failed.
STRING LoadConfig(const STRING& path)
{
    bool german = IsGerman();
    if (!FILENAME(path.c_str()).IsFile())
        return german ? "nicht gefunden" : "not found";
    HASH& config = ServiceConfig();
    if (!config.Load(path.c_str()))
        return STRING(german ? "nicht lesbar: " : "cannot be read: ") + SystemErrorText(GetLastError(), german);
    for (const ConfigKey& key : CONFIG_KEYS)
        if (key.required && !config.HasKey(key.name))
            return STRING(german ? "der Schl\xFCssel " : "the key ") + key.name + (german ? " fehlt" : " is missing") +
                   MissingKeyHint(path.c_str(), key.name, german);
    if (!config.Lookup("AppWinClass").Find("Tarvo"))
        return "AppWinClass \"" + config.Lookup("AppWinClass") +
               (german ? "\" enth\xE4lt nicht \"Tarvo\"" : "\" does not contain \"Tarvo\"");
    return STRING("");
}

int ConfigError(const STRING& path, const STRING& why)
{
    SayLine(ConfigErrorLine(FILENAME(path.c_str()).GetFullName(), why, IsGerman()));
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
    SayLine(text);
    VIZIVERU::InfoMsgBox(nullptr, title.c_str(), text.c_str());
    return EXIT_REFUSED_SYSTEM;
}

int ShowSyntax()
{
    const char* const lines[] = {
        "Syntax:",           "", "service /config", "", "service /start", "service /stop", "service /install",
        "service /uninstall"};
    // The box keeps its text; a console also learns of /status.
    STRING text("");
    for (const char* line : lines) {
        SayLine(line);
        text += line;
        text += "\r\n";
    }
    SayLine("service /status");
    MessageBoxA(nullptr, text.c_str(), CONTROLLER_TITLE, MB_ICONINFORMATION);
    return EXIT_SYNTAX_SHOWN;
}

STRING failure; // why the last command failed, for its console line

ServiceResult Fail(ServiceResult result, const STRING& why)
{
    failure = why;
    return result;
}

ServiceResult FailWithError(ServiceResult result, DWORD error)
{
    return Fail(result, SystemErrorText(error, IsGerman()));
}

SC_HANDLE OpenManagerWithAllAccess()
{
    return OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
}

ServiceManagerOpener managerOpener = OpenManagerWithAllAccess;

// The manager is declared first in ServiceHandles, so the service handle is closed first.
ServiceHandles OpenForCommand(const char* name, DWORD access)
{
    ServiceHandles handles = OpenServiceHandles(ScHandle(managerOpener()), name, access);
    if (!handles)
        failure = SystemErrorText(GetLastError(), IsGerman());
    LogPrint("ServiceCommand manager ok= %d, service %s (access %lx) ok= %d\n", static_cast<bool>(handles.manager),
             name, access, static_cast<bool>(handles.service));
    return handles;
}

ServiceResult RequestStart(const char* name)
{
    ServiceHandles handles = OpenForCommand(name, SERVICE_START);
    if (!handles)
        return ServiceResult::StartFailed;
    if (!StartServiceA(handles.service.get(), 0, nullptr))
        return FailWithError(ServiceResult::StartFailed, GetLastError());
    return ServiceResult::Ok;
}

ServiceResult RequestStop(const char* name)
{
    ServiceHandles handles = OpenForCommand(name, SERVICE_STOP);
    if (!handles)
        return ServiceResult::StopFailed;
    SERVICE_STATUS status = {};
    if (!ControlService(handles.service.get(), SERVICE_CONTROL_STOP, &status))
        return FailWithError(ServiceResult::StopFailed, GetLastError());
    return ServiceResult::Ok;
}

// The stop request returns once the manager has accepted it; the administrator's prompt
// comes back when the service has left the running states, or after about 21 seconds.
int StopAndWait()
{
    int result = ServiceCommand("STOP");
    if (result != ResultCode(ServiceResult::Ok))
        return result;
    // One opening for all the looks: each is a single question to the manager.
    ServiceHandles handles = OpenForCommand(ServiceConfig().Lookup("AppName").c_str(), SERVICE_QUERY_STATUS);
    DWORD state = SERVICE_STOP_PENDING;
    for (ULONGLONG begin = GetTickCount64(); GetTickCount64() - begin < STOP_WAIT_MS;) {
        Sleep(STOP_POLL_INTERVAL_MS);
        SERVICE_STATUS status = {};
        // A service that can no longer be asked (removed meanwhile) has left the running states.
        state = handles && QueryServiceStatus(handles.service.get(), &status) ? status.dwCurrentState : 0;
        if (state != SERVICE_STOP_PENDING && state != SERVICE_RUNNING)
            return result;
    }
    // Still there: a script must not take this for a stopped service.
    failure = StopTimedOutLine(ServiceConfig().Lookup("AppName"), state, IsGerman());
    return EXIT_STOP_TIMED_OUT;
}

// The command's result for one of the commands that change the service.
ServiceResult ChangeService(const STRING& word, const STRING& name)
{
    STRING windowClass = ServiceConfig().Lookup("AppWinClass");
    STRING program = ServiceConfig().Lookup("AppExe");
    SERVICELAUNCHER launcher(TarvoInstance(), name.c_str(), windowClass.c_str(), program.c_str());
    launcher.SetConfigFile(ConfigFileName().c_str());
    // A service runs as LocalSystem whatever its files say: only trusted accounts, the installing
    // one among them, may change them. The service process trusts the account recorded here.
    if (word.EqualsNoCase("INSTALL")) {
        STRING installer = OSYS::CurrentUserSid();
        STRING refusal;
        SERVICEOPTIONS options;
        if (!launcher.IsConfigValid())
            return Fail(ServiceResult::InstallFailed, launcher.ConfigRefusal());
        if (!options.Read(ServiceConfig(), refusal, IsGerman()))
            return Fail(ServiceResult::InstallFailed, refusal);
        if (!launcher.OnlyTrustedWrite(installer.c_str(), &refusal))
            return Fail(ServiceResult::InstallFailed, refusal);
        if (!launcher.Install(options.startType))
            return FailWithError(ServiceResult::InstallFailed, GetLastError());
        // Without the record the service would refuse the installer's own files at every start.
        if (!SERVICELAUNCHER::RecordInstaller(name.c_str(), installer.c_str())) {
            DWORD error = GetLastError();
            launcher.Uninstall();
            return FailWithError(ServiceResult::InstallFailed, error);
        }
        options.Apply(name.c_str());
        // Without its source the events still arrive, only without their texts.
        EVENTLOG::Register(name.c_str(), FILENAME("<self>").c_str());
        return ServiceResult::Ok;
    }
    if (word.EqualsNoCase("UNINSTALL")) {
        if (!launcher.Uninstall())
            return FailWithError(ServiceResult::UninstallFailed, GetLastError());
        EVENTLOG::Unregister(name.c_str());
        return ServiceResult::Ok;
    }
    if (word.EqualsNoCase("LAUNCH")) {
        // A configuration the launcher refuses must not run as a service at all.
        if (!launcher.IsConfigValid() || !launcher.IsInstalled())
            return ServiceResult::NotInstalled;
        return launcher.StartDispatcher() ? ServiceResult::Ok : ServiceResult::DispatcherFailed;
    }
    return ServiceResult::Ok;
}

SERVICESTATE ReadServiceState(const char* name)
{
    SERVICESTATE state;
    ServiceHandles handles = OpenServiceHandles(ScHandle(managerOpener()), name, SERVICE_QUERY_STATUS);
    if (!handles) {
        DWORD error = GetLastError();
        if (error != ERROR_SERVICE_DOES_NOT_EXIST)
            state.queryError = error;
        return state;
    }
    state.installed = true;
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(handles.service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof(status),
                              &needed)) {
        state.queryError = GetLastError();
        return state;
    }
    state.state = status.dwCurrentState;
    if (state.state == SERVICE_RUNNING) {
        state.serviceProcess = status.dwProcessId;
        state.applicationProcess = OSYS::ChildProcessId(status.dwProcessId);
    } else if (state.state == SERVICE_STOPPED) {
        state.win32ExitCode = status.dwWin32ExitCode;
        state.specificExitCode = status.dwServiceSpecificExitCode;
    }
    return state;
}

// /status: one line, and the state as the exit code; changes nothing.
int ShowStatus()
{
    const STRING& name = ServiceConfig().Lookup("AppName");
    SERVICESTATE state = ReadServiceState(name.c_str());
    SayLine(StatusLine(name, state, IsGerman()));
    return StatusExitCode(state);
}

// A command that changes the service, with its line.
int RunCommand(Road road)
{
    failure = "";
    int result = ResultCode(ServiceResult::Ok);
    switch (road) {
    case Road::Start:
        result = ServiceCommand("START");
        break;
    case Road::Stop:
        result = StopAndWait();
        break;
    case Road::Install:
        result = ServiceCommand("INSTALL");
        break;
    case Road::Uninstall:
        result = ServiceCommand("UNINSTALL");
        break;
    default:
        break;
    }
    const STRING& name = ServiceConfig().Lookup("AppName");
    bool german = IsGerman();
    if (result == ResultCode(ServiceResult::Ok))
        SayLine(DoneLine(road, name, german));
    else if (result == EXIT_STOP_TIMED_OUT)
        SayLine(failure);
    else
        SayLine(FailedLine(road, name,
                           failure.IsFilled() ? failure : STRING(german ? "unbekannter Grund" : "reason unknown"),
                           german));
    return result;
}

int QueryState(const char* name)
{
    ServiceHandles handles = OpenForCommand(name, SERVICE_QUERY_STATUS);
    SERVICE_STATUS status = {};
    if (!handles || !QueryServiceStatus(handles.service.get(), &status))
        return 0;
    return static_cast<int>(status.dwCurrentState);
}

// The start-up notice of the dialog, line by line (code page 1252).
const char* const INFO_LINES_ENGLISH[] = {
    " I M P O R T A N T !",
    " ",
    " This tool can be used to install $PROGNAME as a system",
    " service. In this case it will run in the background",
    " on the login screen.",
    " ",
    " Installation as a service is intended for experienced",
    " users and server administrators who need to run $PROGNAME",
    " on server PCs that normally do not have a user logged on.",
    " ",
    " Please do not use this tool, if you do not know about",
    " services!",
};

const char* const INFO_LINES_GERMAN[] = {
    " W I C H T I G !",
    " ",
    " Mit diesem Tool kann $PROGNAME als Service am System",
    " angemeldet werden. In diesem Fall braucht zur Ausf\xFChrung",
    " von $PROGNAME kein Benutzer am System angemeldet zu sein,",
    " und $PROGNAME wird beim Hochfahren des Systems automatisch",
    " gestartet.",
    " ",
    " Diese Funktion ist nur f\xFCr fortgeschrittene Anwender",
    " gedacht und macht \xFC" "blicherweise nur bei Server-",
    " Installationen Sinn, auf denen kein Benutzer angemeldet ist.",
    " ",
    " Bitte verwenden Sie dieses Tool nur, wenn Sie sich",
    " absolut sicher sind, dass Sie \xFC" "ber Funktionsweise und",
    " Wirkung von Service-Eintr\xE4gen im System ausreichend",
    " informiert sind!",
};

// German button labels, set over the template's English ones.
const struct {
    int id;
    const char* label;
} GERMAN_LABELS[] = {
    {SERVICEDLG::ID_INSTALL, "Installieren"}, {SERVICEDLG::ID_UNINSTALL, "Deinstallieren"},
    {SERVICEDLG::ID_START, "Starten"},        {SERVICEDLG::ID_STOP, "Stoppen"},
    {SERVICEDLG::ID_DONE, "Fertig"},          {SERVICEDLG::ID_HELP, "Hilfe"},
};

constexpr UINT REFRESH_INTERVAL_MS = 2000;
constexpr UINT INFOWINDOW_DELAY_MS = 200;

template <size_t N>
STRING JoinLines(const char* const (&lines)[N])
{
    STRING text("");
    for (size_t i = 0; i < N; i++) {
        if (i > 0)
            text += "\r\n";
        text += lines[i];
    }
    return text;
}

// The help file the dialog's Help button opens: an HTML help file when it exists, else the
// classic help file of the same name.
void SetControllerHelpFile()
{
    ControllerHelpFile help = ChooseControllerHelpFile(ServiceConfig().Lookup("AppHelp"), IsGerman());
    if (help.name.IsFilled())
        GetHelpFile().SetFilename(help.name.c_str(), help.html);
}

int RunDialog()
{
    HASH& config = ServiceConfig();
    HWND infoWindow = nullptr;
    if (!TestArg("ADVGUI") && config.Lookup("ADVGUI").ToInt() == 0) {
        STRING text = ControllerInfoText(IsGerman());
        text.Replace("$PROGNAME", config.Lookup("AppName").c_str());
        infoWindow = ShowInfoWindow(nullptr, CONTROLLER_TITLE, text.c_str(), config.Lookup("AppRegKey").c_str(),
                                    "DontShowAgainSrvCtrl");
    }
    SetServiceInfoWindow(infoWindow);
    SetControllerHelpFile();

    SERVICEDLG dialog;
    if (config.HasKey("WINDOWTITLE")) {
        STRING caption = dialog.GetText();
        caption.Replace("Tarvo", config.Lookup("WINDOWTITLE").c_str());
        dialog.SetText(caption.c_str());
    }
    if (IsGerman())
        for (const auto& label : GERMAN_LABELS)
            dialog.SetItemText(label.id, label.label);
    // The first refresh runs at once, so the dialog never shows without its state.
    dialog.SetTimer(SERVICEDLG::TIMER_REFRESH, REFRESH_INTERVAL_MS);
    dialog.SendMessage(WM_TIMER, SERVICEDLG::TIMER_REFRESH, 0);
    if (infoWindow)
        dialog.SetTimer(SERVICEDLG::TIMER_INFOWINDOW, INFOWINDOW_DELAY_MS);
    dialog.RunModal(0);
    // An information window still open keeps its choice only when it is closed: close it now,
    // before the process ends and takes it along unasked.
    if (infoWindow && IsWindow(infoWindow))
        SendMessageA(infoWindow, WM_CLOSE, 0, 0);
    SetServiceInfoWindow(nullptr);
    return 0;
}

} // namespace

STRING ControllerInfoText(bool german)
{
    return german ? JoinLines(INFO_LINES_GERMAN) : JoinLines(INFO_LINES_ENGLISH);
}

ControllerHelpFile ChooseControllerHelpFile(const STRING& appHelp, bool german)
{
    ControllerHelpFile help{appHelp.Field(0, "|"), 1};
    if (!help.name.IsFilled())
        return help;
    if (!help.name.Find("english"))
        help.name += german ? "german.chm" : "english.chm";
    if (!FILENAME(help.name.c_str()).IsFile()) {
        help.name.DeleteRight(3);
        help.name += "hlp";
        help.html = 0;
    }
    return help;
}

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
    STRING configPath = ConfigFileName();
    STRING configProblem = LoadConfig(configPath);
    if (configProblem.IsFilled())
        return ConfigError(configPath, configProblem);
    HASH& config = ServiceConfig();
    // The default lives in memory only; the configuration file is never written.
    if (!config.HasKey("ADVGUI"))
        config.Lookup("ADVGUI") = "0";

    if (OSYS::GetOSType() == OSYS::OSTYPE_WIN9X)
        return RefuseWindows9x();

    for (const ControllerSwitch& entry : CONTROLLER_SWITCHES) {
        if (entry.road == Road::None || !TestArg(entry.name))
            continue;
        switch (entry.road) {
        case Road::Syntax:
            return ShowSyntax();
        case Road::Dialog:
            return RunDialog();
        case Road::Status:
            return ShowStatus();
        default:
            return RunCommand(entry.road);
        }
    }
    int result = ServiceCommand("LAUNCH");
    if (result != ResultCode(ServiceResult::Ok))
        SayLine(LaunchFailedLine(ServiceConfig().Lookup("AppName"), result, IsGerman()));
    return result;
}
