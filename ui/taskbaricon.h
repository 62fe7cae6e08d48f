// TASKBARICON: an icon in the notification area with its tooltip and balloon; a failed update
// is answered by removing and adding the icon again, once.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include "text/strings.h"

// The message the icon's mouse events reach its window with (an application message, so
// WINDOW::OnUserMessage receives it).
constexpr UINT MSG_TRAYNOTIFY = 0x4F0;

// The tooltip as stored: every "&" becomes "&&&", and at most 63 characters are kept.
STRING TaskbarTooltipText(const char* text);

// Test seam: every notification-area call goes through this function (Shell_NotifyIconA unless
// replaced). Returns the previous one.
using NOTIFYICONFUNCTION = BOOL(WINAPI*)(DWORD message, NOTIFYICONDATAA* data);
NOTIFYICONFUNCTION SetNotifyIconFunction(NOTIFYICONFUNCTION function);

class TASKBARICON {
public:
    int upAndRunning = 0;  // result of the last add
    HWND window = nullptr; // receives MSG_TRAYNOTIFY
    UINT iconId = 0;       // the notification-area id, equal to the icon resource id
    int iconResourceId = 0;
    STRING tooltip;
    int version = 0;    // 5 when the first add attempt succeeded, else 0
    int reAddGuard = 0; // set while a failed tooltip update recreates the icon

    // Stores window, icon and tooltip (TaskbarTooltipText) and adds the icon.
    TASKBARICON(HWND window, int iconResourceId, const char* tooltip);
    TASKBARICON(const TASKBARICON&) = delete;
    TASKBARICON& operator=(const TASKBARICON&) = delete;
    ~TASKBARICON();

    // Adds the icon, trying a second time when the first attempt fails; the result.
    int Add();
    // Deletes the icon; unless keep, forgets window, ids and tooltip. The platform's result.
    int Remove(int keep);
    // Stores and shows a new tooltip; a failure recreates the icon once. The update's result.
    int SetTooltip(const char* text);
    // Shows another icon resource; a failure recreates the icon. The update's result.
    int SetIcon(int iconResourceId);
    // A balloon with the info flags, shown for timeout (10 when -1). The update's result.
    int SetBalloon(DWORD infoFlags, const char* title, const char* text, int timeout);
    // With force, or when the current tooltip cannot be shown: removes and adds the icon. Then
    // shows the tooltip again, whose result it returns.
    int Recreate(int force);
    bool IsVersion5() const { return version == 5; }

private:
    // Shows the stored tooltip; a failure recreates the icon unless the guard is set.
    int ShowTooltip();
    NOTIFYICONDATAA SmallUpdate(UINT flags) const;
};
