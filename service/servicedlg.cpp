#include "service/servicedlg.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "approot/arguments.h"
#include "diag/logit.h"
#include "osys/ostype.h"
#include "osys/processvalues.h"
#include "service/main.h"
#include "ui/helpfile.h"
#include "ui/viziveru.h"

namespace {

// What a state does to the four command buttons (Install, Uninstall, Start, Stop).
enum Switch : signed char { OFF = 0, ON = 1, KEEP = -1 };

struct StateRow {
    const char* english;
    const char* german;
    Switch buttons[4];
};

// Indexed by the QUERY_STATUS state. While a command is pending the buttons keep the setting
// of the last settled state.
const StateRow STATE_ROWS[] = {
    {"Service not installed", "Service nicht installiert", {ON, OFF, OFF, OFF}},
    {"Service installed, stopped", "Service installiert, gestoppt", {OFF, ON, ON, OFF}},
    {"Service installed, start pending", "Service installiert, startend", {KEEP, KEEP, KEEP, KEEP}},
    {"Service installed, stop pending", "Service installiert, stoppend", {KEEP, KEEP, KEEP, KEEP}},
    {"Service installed, running", "Service installiert, gestartet", {OFF, OFF, OFF, ON}},
    {"Service installed, continue pending", "Service installiert, Forts. ausstehend", {KEEP, KEEP, KEEP, KEEP}},
    {"Service installed, pause pending", "Service installiert, Pause ausstehend", {KEEP, KEEP, KEEP, KEEP}},
    // "intsalliert" is kept as it is: administrators' documentation and screenshots show this text.
    {"Service installed, paused", "Service intsalliert, angehalten", {OFF, OFF, ON, ON}},
};
constexpr int STATE_COUNT = sizeof(STATE_ROWS) / sizeof(STATE_ROWS[0]);
const Switch UNKNOWN_STATE_BUTTONS[4] = {ON, ON, ON, ON};
constexpr int COMMAND_BUTTONS[4] = {SERVICEDLG::ID_INSTALL, SERVICEDLG::ID_UNINSTALL, SERVICEDLG::ID_START,
                                    SERVICEDLG::ID_STOP};

struct CommandWord {
    const char* word;
    const char* english;
    const char* german;
};

const CommandWord COMMAND_WORDS[] = {
    {"INSTALL", "installed", "installiert"},
    {"UNINSTALL", "uninstalled", "deinstalliert"},
    {"START", "started", "gestartet"},
    {"STOP", "stopped", "gestoppt"},
};

HWND infoWindow = nullptr;

} // namespace

STRING ResultMessage(bool succeeded, const char* word)
{
    bool german = IsGerman();
    // "sucessfully" is kept as it is: scripts and documentation look for this very text.
    STRING text = succeeded ? (german ? "Service wurde erfolgreich *." : "Service * sucessfully.")
                            : (german ? "Service konnte nicht * werden." : "Service cannot be *.");
    const char* replacement = "<null>";
    for (const CommandWord& command : COMMAND_WORDS)
        if (word && STRING(word).EqualsNoCase(command.word))
            replacement = german ? command.german : command.english;
    text.Replace("*", replacement);
    return text;
}

STRING StatusText(int state)
{
    if (state >= 0 && state < STATE_COUNT)
        return STRING(IsGerman() ? STATE_ROWS[state].german : STATE_ROWS[state].english);
    char text[128];
    snprintf(text, sizeof(text), IsGerman() ? "Unbek. Status: %d" : "Status unknown: %d", state);
    return STRING(text);
}

unsigned long HelpTopicOf(const STRING& appHelp)
{
    STRING field = appHelp.Field(1, "|");
    const char* text = field.c_str();
    char* end = nullptr;
    errno = 0;
    long topic = strtol(text, &end, 10);
    // Only a plain number counts; anything else opens topic 0 rather than a wrapped or cut id.
    if (end == text || errno == ERANGE || topic < 0 || topic > INT_MAX)
        return 0;
    return static_cast<unsigned long>(topic);
}

void SetServiceInfoWindow(HWND window)
{
    infoWindow = window;
}

HWND ServiceInfoWindow()
{
    return infoWindow;
}

SERVICEDLG::SERVICEDLG() : DIALOG(TEMPLATE_ID, nullptr, nullptr)
{
}

SERVICEDLG::~SERVICEDLG() = default;

bool SERVICEDLG::CommandsAllowed() const
{
    return OSYS::GetOSType() < OSYS::OSTYPE_VISTA || TestArg("ADVGUI");
}

void SERVICEDLG::ShowVistaMessage(bool start) const
{
    const STRING& name = ServiceConfig().Lookup("AppName");
    STRING title = name + " Service";
    STRING text;
    if (!IsGerman())
        text = "The " + name + " service can not be used under Windows Vista or higher.";
    else if (start)
        text = "Der " + name + "-Service kann unter Windows Vista oder h\xF6her nicht mehr verwendet werden.";
    else
        text = "Der " + name + "-Service kann unter Windows Vista oder h\xF6her nicht verwendet werden.";
    VIZIVERU::InfoMsgBox(nullptr, title.c_str(), text.c_str());
}

int SERVICEDLG::OnButton(int id)
{
    char resultLine[RESULT_MAX] = "";
    const char* word = nullptr;
    switch (id) {
    case ID_INSTALL:
    case ID_START:
        if (CommandsAllowed())
            word = id == ID_INSTALL ? "INSTALL" : "START";
        else
            ShowVistaMessage(id == ID_START);
        break;
    case ID_UNINSTALL:
        word = "UNINSTALL";
        break;
    case ID_STOP:
        word = "STOP";
        break;
    default:
        break;
    }
    int handled = 1;
    if (word) {
        int result = ServiceCommand(word);
        snprintf(resultLine, sizeof(resultLine), "%s", ResultMessage(result == 0, word).c_str());
    } else if (id != ID_INSTALL && id != ID_START) {
        handled = DIALOG::OnButton(id);
    }
    SetItemText(ID_RESULT, resultLine);
    return handled;
}

int SERVICEDLG::OnTimer(UINT_PTR id)
{
    if (id == TIMER_REFRESH) {
        int state = ServiceCommand("QUERY_STATUS");
        const Switch* buttons =
            state >= 0 && state < STATE_COUNT ? STATE_ROWS[state].buttons : UNKNOWN_STATE_BUTTONS;
        for (int i = 0; i < 4; ++i)
            if (buttons[i] != KEEP)
                EnableItem(COMMAND_BUTTONS[i], buttons[i] == ON);
        SetItemText(ID_STATE, StatusText(state).c_str());
        return 1;
    }
    if (id == TIMER_INFOWINDOW) {
        KillTimer(TIMER_INFOWINDOW);
        if (infoWindow)
            SetActiveWindow(infoWindow);
        return 1;
    }
    return 0;
}

int SERVICEDLG::OnHelp()
{
    unsigned long topic = HelpTopicOf(ServiceConfig().Lookup("AppHelp"));
    LogPrint("SERVICEDLG::OnHelp topic %lu\n", topic);
    return GetHelpFile().ShowTopic(topic);
}

int SERVICEDLG::PreTranslateMessage(MSG*)
{
    return 0;
}

int SERVICEDLG::IsDialogMessage(HWND dialog, MSG* message)
{
    return ::IsDialogMessageA(dialog, message);
}
