// The controller: its configuration table and the service commands.
#pragma once

#include <windows.h>

#include "service/exitcodes.h"
#include "text/hash.h"
#include "text/strings.h"

// The configuration table, loaded from service.cfg by AppMain.
HASH& ServiceConfig();

// The keys of service.cfg that the program reads. The required ones must be present (an empty
// value passes); the optional ones from Description on apply at /install (SERVICEOPTIONS).
struct ConfigKey {
    const char* name;
    bool required;
    const char* meaning;
};
inline constexpr ConfigKey CONFIG_KEYS[] = {
    {"AppName", true, "the service's name, also the product name in the texts"},
    {"AppExe", true, "the application the service runs"},
    {"AppHelp", true, "help file and topic of the dialog's Help button"},
    {"AppRegKey", true, "where the information window keeps its choice"},
    {"AppWinClass", true, "the window class of the application's main window; contains Tarvo"},
    {"ADVGUI", false, "non-zero: the dialog without the information window"},
    {"WINDOWTITLE", false, "replaces Tarvo in the dialog's title"},
    {"Description", false, "the service's description"},
    {"StartType", false, "auto, delayed or manual"},
    {"ShutdownTimeout", false, "seconds the system gives the service at a shutdown"},
    {"RestartOnFailure", false, "seconds after which the manager restarts a failed service"},
};

// What a switch makes the program do.
enum class Road { None, Syntax, Dialog, Start, Stop, Install, Uninstall, Status };

// The controller's switches, in the order AppMain tests them (the first one given wins); a
// name ending in ':' takes a value, and a switch without a road only modifies the others. Any
// start without a switch of a road is the service process.
struct ControllerSwitch {
    const char* name;
    Road road;
    const char* action;
};
inline constexpr ControllerSwitch CONTROLLER_SWITCHES[] = {
    {"?", Road::Syntax, "shows the syntax"},
    {"HELP", Road::Syntax, "shows the syntax"},
    {"GUI", Road::Dialog, "opens the dialog"},
    {"CONFIG", Road::Dialog, "opens the dialog"},
    {"ADVGUI", Road::Dialog,
     "opens the dialog without the information window and with Install and Start on every system"},
    {"START", Road::Start, "starts the service"},
    {"STOP", Road::Stop, "stops the service and waits up to about 21 seconds for it to stop"},
    {"INSTALL", Road::Install, "registers the service"},
    {"UNINSTALL", Road::Uninstall, "removes the service"},
    {"STATUS", Road::Status, "prints the service's state; its exit code is the state"},
    {"CFG:", Road::None, "reads another configuration file instead of service.cfg"},
    {"LANG:", Road::None, "GER for German texts, ENGL for English ones"},
    {"STARTUPDELAY:", Road::None, "waits that many seconds before anything else"},
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
