// SERVICEDLG: the controller dialog - the service's live state, the four service commands and
// the outcome of the last one - with the texts it shows.
#pragma once

#include <windows.h>

#include "text/strings.h"
#include "ui/dialog.h"

class SERVICEDLG : public DIALOG {
public:
    static constexpr int TEMPLATE_ID = 100;
    static constexpr int ID_DONE = 2;
    static constexpr int ID_HELP = 9;
    static constexpr int ID_INSTALL = 1100;
    static constexpr int ID_UNINSTALL = 1101;
    static constexpr int ID_START = 1102;
    static constexpr int ID_STOP = 1103;
    static constexpr int ID_STATE = 1104;
    static constexpr int ID_RESULT = 1105;
    static constexpr UINT_PTR TIMER_REFRESH = 1;
    static constexpr UINT_PTR TIMER_INFOWINDOW = 2;
    // The result line's buffer; a longer text is cut.
    static constexpr int RESULT_MAX = 128;

    SERVICEDLG();
    ~SERVICEDLG() override;

    // Runs the command of Install, Uninstall, Start or Stop and shows its outcome; Done and
    // other ids end the dialog as a DIALOG does.
    int OnButton(int id) override;
    // Timer 1 refreshes the state line and the buttons; timer 2 brings the information window
    // to the front once.
    int OnTimer(UINT_PTR id) override;
    // Opens the help topic that AppHelp names after its "|".
    int OnHelp() override;
    int PreTranslateMessage(MSG* message) override;
    int IsDialogMessage(HWND dialog, MSG* message) override;

private:
    // Whether Install and Start may run here: before Vista, or with the switch /ADVGUI.
    bool CommandsAllowed() const;
    void ShowVistaMessage(bool start) const;
};

// The result line for a command word ("INSTALL", "UNINSTALL", "START", "STOP", any case).
STRING ResultMessage(bool succeeded, const char* word);
// The state line for a QUERY_STATUS state.
STRING StatusText(int state);
// The topic number of AppHelp's second field: 0 when it is missing, not a number, negative or
// too large for a topic id.
unsigned long HelpTopicOf(const STRING& appHelp);

// The information window that AppMain opened (null when none); timer 2 activates it.
void SetServiceInfoWindow(HWND window);
HWND ServiceInfoWindow();
