// TASKBARICON: the notification-area calls with their retries and logs.
#include "ui/taskbaricon.h"

#include <cstdio>

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/handles.h"
#include "ui/modules.h"

namespace {

NOTIFYICONFUNCTION notifyIcon = &Shell_NotifyIconA;

// The add and the balloon need the fields up to the balloon's; tooltip, icon and delete
// updates send the smaller form without the item's identifier.
constexpr DWORD LARGE_SIZE = sizeof(NOTIFYICONDATAA);
const DWORD SMALL_SIZE = NOTIFYICONDATAA_V2_SIZE;

// A 16 x 16 copy of the icon, from the resource module, else the program module.
HICON LoadSmallIcon(int id)
{
    HICON icon = static_cast<HICON>(LoadImageW(ToolkitResourceModule(), MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
    if (!icon)
        icon = static_cast<HICON>(LoadImageW(ToolkitProgramModule(), MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
    return icon;
}

} // namespace

NOTIFYICONFUNCTION SetNotifyIconFunction(NOTIFYICONFUNCTION function)
{
    NOTIFYICONFUNCTION previous = notifyIcon;
    notifyIcon = function ? function : &Shell_NotifyIconA;
    return previous;
}

STRING TaskbarTooltipText(const char* text)
{
    STRING tip(text ? text : "");
    tip.Replace("&", "&&&");
    if (tip.Length() > 63)
        tip.Truncate(63);
    return tip;
}

TASKBARICON::TASKBARICON(HWND window, int iconResourceId, const char* tooltip)
    : window(window), iconId(static_cast<UINT>(iconResourceId)), iconResourceId(iconResourceId),
      tooltip(TaskbarTooltipText(tooltip))
{
    Add();
}

TASKBARICON::~TASKBARICON()
{
    Remove(0);
}

int TASKBARICON::Add()
{
    NOTIFYICONDATAA nof{};
    nof.cbSize = LARGE_SIZE;
    nof.hWnd = window;
    nof.uID = iconId;
    nof.uVersion = 0;
    nof.uFlags = NIF_MESSAGE;
    nof.uCallbackMessage = MSG_TRAYNOTIFY;
    UniqueIcon icon; // the notification area keeps its own copy
    if (iconResourceId) {
        icon.reset(LoadSmallIcon(iconResourceId));
        if (TARVO_CHECK(icon, "nof.hIcon", nullptr)) {
            nof.hIcon = icon.get();
            nof.uFlags |= NIF_ICON;
        }
    }
    if (tooltip.IsFilled()) {
        snprintf(nof.szTip, sizeof(nof.szTip), "%s", tooltip.c_str());
        nof.uFlags |= NIF_TIP;
    }
    LogPrint("TASKBARICON::TASKBARICON about to Shell_NotifyIcon(NIM_ADD, &nof)\n");
    LogPrint("TASKBARICON::TASKBARICON                (%p, %d, %s)\n", static_cast<void*>(window), iconResourceId,
             tooltip.c_str());
    upAndRunning = notifyIcon(NIM_ADD, &nof);
    if (upAndRunning)
        version = 5;
    else
        upAndRunning = notifyIcon(NIM_ADD, &nof);
    if (!upAndRunning) {
        DWORD error = GetLastError();
        LogPrint("TASKBARICON::TASKBARICON UpAndRunning= %d %dL\n", upAndRunning, static_cast<int>(error));
    }
    return upAndRunning;
}

int TASKBARICON::Remove(int keep)
{
    NOTIFYICONDATAA nof = SmallUpdate(0);
    int result = notifyIcon(NIM_DELETE, &nof);
    if (!keep) {
        window = nullptr;
        iconId = 0;
        iconResourceId = 0;
        tooltip = STRING();
    }
    return result;
}

int TASKBARICON::SetTooltip(const char* text)
{
    tooltip = TaskbarTooltipText(text);
    return ShowTooltip();
}

int TASKBARICON::ShowTooltip()
{
    NOTIFYICONDATAA nof = SmallUpdate(NIF_TIP);
    snprintf(nof.szTip, sizeof(nof.szTip), "%s", tooltip.c_str());
    LogPrintLevel(5, "TASKBARICON::SetTooltip about to Shell_NotifyIcon(NIM_MODIFY, &nof)\n");
    int ok = notifyIcon(NIM_MODIFY, &nof);
    if (ok) {
        LogPrintLevel(5, "TASKBARICON::SetTooltip returned ok= %d\n", ok);
    } else {
        LogPrint("TASKBARICON::SetTooltip returned ok= %d\n", ok);
        // The recreated icon may still refuse its tooltip: the guard stops that from recreating again.
        if (!reAddGuard) {
            reAddGuard = 1;
            Recreate(1);
            reAddGuard = 0;
        }
    }
    return ok;
}

int TASKBARICON::SetIcon(int id)
{
    iconResourceId = id;
    UniqueIcon icon(LoadSmallIcon(id));
    if (!TARVO_CHECK_FORMAT(icon, "nof.hIcon", "idicon=%d", id))
        return 0;
    NOTIFYICONDATAA nof = SmallUpdate(NIF_ICON);
    nof.hIcon = icon.get();
    LogPrintLevel(5, "TASKBARICON::SetIcon about to Shell_NotifyIcon(NIM_MODIFY, &nof)\n");
    int ok = notifyIcon(NIM_MODIFY, &nof);
    if (ok) {
        LogPrintLevel(5, "TASKBARICON::SetIcon returned ok= %d\n", ok);
    } else {
        LogPrint("TASKBARICON::SetIcon returned ok= %d\n", ok);
        Recreate(1);
    }
    return ok;
}

int TASKBARICON::SetBalloon(DWORD infoFlags, const char* title, const char* text, int timeout)
{
    NOTIFYICONDATAA nof{};
    nof.cbSize = LARGE_SIZE;
    nof.hWnd = window;
    nof.uID = iconId;
    nof.uFlags = NIF_INFO;
    nof.dwInfoFlags = infoFlags;
    nof.uTimeout = timeout == -1 ? 10 : static_cast<UINT>(timeout);
    snprintf(nof.szInfo, sizeof(nof.szInfo), "%s", text ? text : "");
    snprintf(nof.szInfoTitle, sizeof(nof.szInfoTitle), "%s", title ? title : "");
    LogPrint("TASKBARICON::SetBalloon about to Shell_NotifyIcon(NIM_MODIFY, &nof)\n");
    int ok = notifyIcon(NIM_MODIFY, &nof);
    LogPrint("TASKBARICON::SetBalloon returned ok= %d\n", ok);
    if (!ok)
        Recreate(1);
    return ok;
}

int TASKBARICON::Recreate(int force)
{
    if (!force) {
        // Only asks whether the icon still takes its tooltip: no recreation from inside the check.
        int guard = reAddGuard;
        reAddGuard = 1;
        int ok = ShowTooltip();
        reAddGuard = guard;
        if (ok)
            return ok;
    }
    Remove(1);
    Add();
    return ShowTooltip();
}

NOTIFYICONDATAA TASKBARICON::SmallUpdate(UINT flags) const
{
    NOTIFYICONDATAA nof{};
    nof.cbSize = SMALL_SIZE;
    nof.hWnd = window;
    nof.uID = iconId;
    nof.uFlags = flags;
    return nof;
}
