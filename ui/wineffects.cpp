// WINDOW: layered transparency, animated showing and hiding, the on-screen test and the
// registry memory of a window's rectangle.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "diag/logit.h"
#include "osys/handles.h"
#include "osys/osys_win32.h"
#include "osys/registry.h"
#include "text/strings.h"
#include "ui/window.h"

namespace {

constexpr char POSITION_KEY[] = "Software\\Tarvo";

// The stored rectangle: left, top, right, bottom as signed 32-bit little-endian integers.
constexpr DWORD STORED_RECT_BYTES = 16;

// Both functions are looked up at run time: older systems lack them.
using SetLayeredFunction = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
using AnimateFunction = BOOL(WINAPI*)(HWND, DWORD, DWORD);

STRING MaximizedName(const char* valueName)
{
    return STRING(valueName) + "Maximized";
}

} // namespace

bool WINDOW::IsOnScreen() const
{
    if (!hWnd || !IsWindowVisible(hWnd))
        return false;
    RECT own = GetRect();
    RECT desktop = GetDesktopRect();
    RECT overlap = {};
    return IntersectRect(&overlap, &own, &desktop) && overlap.right > overlap.left && overlap.bottom > overlap.top;
}

int WINDOW::SetTransparency(int alpha, int colourKey)
{
    UniqueModule user32(OSYS::LoadSystemLibrary("user32.dll"));
    auto setLayered = OSYS::GetFunction<SetLayeredFunction>(user32.get(), "SetLayeredWindowAttributes");
    if (!setLayered)
        return 0;
    alpha = std::clamp(alpha, 0, 255);
    if (alpha == 255) {
        RemoveExStyle(WS_EX_LAYERED);
        return 1;
    }
    AddExStyle(WS_EX_LAYERED);
    if (colourKey == -1)
        setLayered(hWnd, 0, static_cast<BYTE>(alpha), LWA_ALPHA);
    else
        setLayered(hWnd, static_cast<COLORREF>(colourKey), static_cast<BYTE>(alpha), LWA_COLORKEY);
    return 1;
}

int WINDOW::Animate(DWORD flags, DWORD milliseconds, int show)
{
    UniqueModule user32(OSYS::LoadSystemLibrary("user32.dll"));
    auto animate = flags ? OSYS::GetFunction<AnimateFunction>(user32.get(), "AnimateWindow") : nullptr;
    if (!animate) {
        Show(show ? 1 : 0);
        return 1;
    }
    if (show) {
        // The animation only runs for a window that starts hidden.
        Show(0);
        animate(hWnd, milliseconds, flags);
    } else {
        animate(hWnd, milliseconds, flags | AW_HIDE);
    }
    return 1;
}

int WINDOW::StoreWindowPos(const char* key, const char* valueName)
{
    if (!IsOnScreen())
        return 0;
    RECT rect = GetRect();
    bool maximized = IsZoomed(hWnd) != FALSE;
    if (maximized) {
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof(placement);
        if (GetWindowPlacement(hWnd, &placement))
            rect = placement.rcNormalPosition;
    }
    LogPrint("WINDOW::StoreWindowPos(%d, %d, %d, %d)\n", static_cast<int>(rect.left), static_cast<int>(rect.top),
             static_cast<int>(rect.right), static_cast<int>(rect.bottom));
    const int32_t stored[4] = {static_cast<int32_t>(rect.left), static_cast<int32_t>(rect.top),
                               static_cast<int32_t>(rect.right), static_cast<int32_t>(rect.bottom)};
    static_assert(sizeof(stored) == STORED_RECT_BYTES);
    REGISTRY registry(HKEY_CURRENT_USER, POSITION_KEY, key, REGISTRY::OPEN_CREATE);
    registry.WriteBinary(valueName, stored, STORED_RECT_BYTES);
    char state[12];
    snprintf(state, sizeof(state), "%d", maximized ? 1 : 0);
    return registry.WriteString(MaximizedName(valueName).c_str(), state);
}

int WINDOW::RestoreWindowPos(const char* key, const char* valueName, bool keepSize)
{
    RECT desktop = GetDesktopRect();
    LogPrint("WINDOW::RestoreWindowPos screen= (%d, %d, %d, %d)\n", static_cast<int>(desktop.left),
             static_cast<int>(desktop.top), static_cast<int>(desktop.right), static_cast<int>(desktop.bottom));
    REGISTRY registry(HKEY_CURRENT_USER, POSITION_KEY, key, REGISTRY::OPEN_READ);
    int32_t stored[4] = {};
    DWORD size = STORED_RECT_BYTES;
    bool read = registry && registry.Read(valueName, stored, &size) && size == STORED_RECT_BYTES;
    RECT rect = {stored[0], stored[1], stored[2], stored[3]};
    // A rectangle that starts off the desktop (a monitor since removed) would hide the window.
    bool placeable = read && rect.top >= desktop.top - 10 && rect.top < desktop.bottom - 10 &&
                     rect.left >= desktop.left - 10 && rect.left < desktop.right - 10;
    if (placeable) {
        if (keepSize)
            Move(rect.left, rect.top, -1, -1);
        else
            SetRect(rect);
    }
    LogPrint("WINDOW::RestoreWindowPos rect= (%d, %d, %d, %d), success= %d\n", static_cast<int>(rect.left),
             static_cast<int>(rect.top), static_cast<int>(rect.right), static_cast<int>(rect.bottom),
             placeable ? 1 : 0);
    STRING maximized("0");
    if (registry)
        registry.ReadString(MaximizedName(valueName).c_str(), maximized);
    if (CompareNoCase(maximized.c_str(), "1", true) == 0)
        Maximize();
    return placeable ? 1 : 0;
}
