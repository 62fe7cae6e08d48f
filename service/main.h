// The controller: its configuration table and the service commands.
#pragma once

#include <windows.h>

#include "text/hash.h"
#include "text/strings.h"

// The configuration table, loaded from service.cfg by AppMain.
HASH& ServiceConfig();

// Results of the service commands, which are also the program's exit codes; the ranges
// overlap with QUERY_STATUS's states, so a caller reads the code of its own command.
enum class ServiceResult : int {
    Ok = 0,
    InstallFailed = 2,
    UninstallFailed = 3,
    DispatcherFailed = 4,
    NotInstalled = 5,
    StartFailed = 6,
    StopFailed = 7,
};

constexpr int ResultCode(ServiceResult result)
{
    return static_cast<int>(result);
}

// The program's other exit codes.
constexpr int EXIT_REFUSED_SYSTEM = 1; // Windows 95/98/ME
constexpr int EXIT_SYNTAX_SHOWN = 1;
constexpr int EXIT_CONFIG_ERROR = 100;

// Every exit code the program ends with.
inline constexpr int CONTROLLER_EXIT_CODES[] = {
    ResultCode(ServiceResult::Ok),
    EXIT_SYNTAX_SHOWN,
    ResultCode(ServiceResult::InstallFailed),
    ResultCode(ServiceResult::UninstallFailed),
    ResultCode(ServiceResult::DispatcherFailed),
    ResultCode(ServiceResult::NotInstalled),
    ResultCode(ServiceResult::StartFailed),
    ResultCode(ServiceResult::StopFailed),
    EXIT_CONFIG_ERROR,
};

// The controller's switches, in the order AppMain tests them; a name ending in ':' takes a
// value. Any other start (none of these) is the service process.
struct ControllerSwitch {
    const char* name;
    const char* action;
};
inline constexpr ControllerSwitch CONTROLLER_SWITCHES[] = {
    {"?", "shows the syntax"},
    {"HELP", "shows the syntax"},
    {"GUI", "opens the dialog"},
    {"CONFIG", "opens the dialog"},
    {"ADVGUI", "opens the dialog without the information window and with Install and Start on every system"},
    {"START", "starts the service"},
    {"STOP", "stops the service and waits up to about 21 seconds for it to stop"},
    {"INSTALL", "registers the service"},
    {"UNINSTALL", "removes the service"},
    {"CFG:", "reads another configuration file instead of service.cfg"},
    {"LANG:", "GER for German texts, ENGL for English ones"},
};

// Runs one operation on the configured service: "START", "STOP", "QUERY_STATUS" (the
// current state 1..7, 0 when unknown), "INSTALL", "UNINSTALL" or "LAUNCH" (the service
// process role). The word is compared without regard to case; any other word does nothing.
int ServiceCommand(STRING word);

// Test seam: how the service commands open the manager (OpenSCManagerA with all access, also
// when null is given), for a refusal Wine never gives. Returns the previous opener.
using ServiceManagerOpener = SC_HANDLE (*)();
ServiceManagerOpener SetServiceManagerOpener(ServiceManagerOpener opener);

// The dialog's start-up notice with "$PROGNAME" still in it; lines joined with CR LF.
STRING ControllerInfoText(bool german);

// The help file named by AppHelp's first field: "german.chm" or "english.chm" appended unless
// the field names "english" already; when that file does not exist, the classic help file of the
// same name ("hlp", html 0). An empty name means no help file.
struct ControllerHelpFile {
    STRING name;
    int html;
};
ControllerHelpFile ChooseControllerHelpFile(const STRING& appHelp, bool german);
