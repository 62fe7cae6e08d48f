// WINDOW: the operations on its native window (style, showing, focus, text, timers, messages,
// geometry, z order, centring, theme texture), the cursor helpers, and the static pumps and
// clock.
#include "ui/window.h"

#include <uxtheme.h>

#include <cstring>
#include <vector>

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/handles.h"
#include "osys/msgpump.h"
#include "osys/osys_win32.h"
#include "osys/processvalues.h"
#include "text/wstring.h"
#include "ui/control.h"
#include "ui/helpfile.h"
#include "ui/modules.h"

namespace {

// The window rectangle of window, in its parent's client coordinates when it is a child
// (a parent that is not also its owner); the work area for no window.
RECT PlacedRect(HWND window)
{
    RECT rect = {};
    if (!window) {
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &rect, 0);
        return rect;
    }
    GetWindowRect(window, &rect);
    HWND parent = GetParent(window);
    if (parent && parent != GetWindow(window, GW_OWNER))
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The frame widths (left, top, right, bottom) around the client area of window.
RECT FrameOf(HWND window)
{
    RECT outer = {}, client = {};
    GetWindowRect(window, &outer);
    ::GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    return {origin.x - outer.left, origin.y - outer.top, outer.right - (origin.x + client.right),
            outer.bottom - (origin.y + client.bottom)};
}

RECT FrameOf(DWORD style, DWORD exStyle, bool menu)
{
    RECT rect = {0, 0, 0, 0};
    AdjustWindowRectEx(&rect, style, menu, exStyle);
    return {-rect.left, -rect.top, rect.right, rect.bottom};
}

RECT Grown(const RECT& rect, const RECT& frame, int sign)
{
    return {rect.left - sign * frame.left, rect.top - sign * frame.top, rect.right + sign * frame.right,
            rect.bottom + sign * frame.bottom};
}

// The style (GWL_STYLE) or extended style (GWL_EXSTYLE) of a window; 0 without one.
DWORD ReadStyle(HWND window, int which)
{
    return window ? static_cast<DWORD>(GetWindowLongA(window, which)) : 0;
}

void WriteStyle(HWND window, int which, DWORD style)
{
    if (window)
        SetWindowLongA(window, which, static_cast<LONG>(style));
}

} // namespace

// ---------------------------------------------------------------------------------------
// WINDOW: operations

bool WINDOW::IsValid() const
{
    return hWnd && IsWindow(hWnd);
}

bool WINDOW::IsChild() const
{
    return (GetStyle() & WS_CHILD) != 0;
}

DWORD WINDOW::GetStyle() const
{
    return ReadStyle(hWnd, GWL_STYLE);
}

void WINDOW::SetStyle(DWORD style)
{
    WriteStyle(hWnd, GWL_STYLE, style);
}

void WINDOW::AddStyle(DWORD bits)
{
    SetStyle(GetStyle() | bits);
}

void WINDOW::RemoveStyle(DWORD bits)
{
    SetStyle(GetStyle() & ~bits);
}

DWORD WINDOW::GetExStyle() const
{
    return ReadStyle(hWnd, GWL_EXSTYLE);
}

void WINDOW::SetExStyle(DWORD style)
{
    WriteStyle(hWnd, GWL_EXSTYLE, style);
}

void WINDOW::AddExStyle(DWORD bits)
{
    SetExStyle(GetExStyle() | bits);
}

void WINDOW::RemoveExStyle(DWORD bits)
{
    SetExStyle(GetExStyle() & ~bits);
}

int WINDOW::Show(int command)
{
    if (!command)
        return ShowWindow(hWnd, SW_HIDE);
    if (IsIconic(hWnd))
        command = SW_RESTORE;
    else if (IsZoomed(hWnd))
        command = SW_SHOWMAXIMIZED;
    return ShowWindow(hWnd, command);
}

int WINDOW::Minimize()
{
    return ShowWindow(hWnd, SW_MINIMIZE);
}

int WINDOW::Maximize()
{
    return ShowWindow(hWnd, SW_MAXIMIZE);
}

int WINDOW::Restore()
{
    return ShowWindow(hWnd, SW_RESTORE);
}

int WINDOW::ShowHide(int show)
{
    return Show(show ? SW_SHOW : 0);
}

int WINDOW::Enable(int flag)
{
    return EnableWindow(hWnd, flag ? TRUE : FALSE);
}

bool WINDOW::IsEnabled() const
{
    return hWnd && IsWindowEnabled(hWnd);
}

HWND WINDOW::SetFocus()
{
    return ::SetFocus(hWnd);
}

bool WINDOW::HasFocus() const
{
    return hWnd && GetFocus() == hWnd;
}

bool WINDOW::IsForeground() const
{
    return hWnd && GetForegroundWindow() == hWnd;
}

int WINDOW::Invalidate()
{
    // A null window would invalidate every window of the desktop.
    return hWnd ? InvalidateRect(hWnd, nullptr, TRUE) : 0;
}

int WINDOW::UpdateNow()
{
    return hWnd ? RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN)
                : 0;
}

int WINDOW::SetText(const char* text)
{
    WSTRING wide(text ? text : "", UNICODE_CPSYSTEM);
    return SetTextW(wide.c_str());
}

int WINDOW::SetTextW(const wchar_t* text)
{
    return SetWindowTextW(hWnd, text ? text : L"");
}

STRING WINDOW::GetText() const
{
    int length = hWnd ? GetWindowTextLengthW(hWnd) : 0;
    if (length <= 0)
        return STRING("");
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    int copied = GetWindowTextW(hWnd, buffer.data(), length + 1);
    return STRING(buffer.data(), copied, UNICODE_CPSYSTEM);
}

int WINDOW::GetText(char* buffer, int size) const
{
    if (!buffer || size <= 0)
        return 0;
    STRING text = GetText();
    int copied = text.Length() < size - 1 ? text.Length() : size - 1;
    memcpy(buffer, text.c_str(), static_cast<size_t>(copied));
    buffer[copied] = '\0';
    return copied;
}

int WINDOW::GetTextW(wchar_t* buffer, int n) const
{
    if (!buffer || n <= 0)
        return 0;
    buffer[0] = L'\0';
    return hWnd ? GetWindowTextW(hWnd, buffer, n) : 0;
}

int WINDOW::SetTimer(UINT_PTR id, UINT milliseconds)
{
    return ::SetTimer(hWnd, id, milliseconds, nullptr) != 0;
}

int WINDOW::KillTimer(UINT_PTR id)
{
    return ::KillTimer(hWnd, id);
}

BOOL WINDOW::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    // A null window would post to the thread's queue instead.
    return hWnd ? ::PostMessageA(hWnd, message, wParam, lParam) : FALSE;
}

LRESULT WINDOW::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return hWnd ? ::SendMessageA(hWnd, message, wParam, lParam) : 0;
}

RECT WINDOW::GetRect() const
{
    return PlacedRect(hWnd);
}

RECT WINDOW::GetClientRect() const
{
    RECT rect = {};
    if (!TARVO_CHECK(hWnd != HWND_DESKTOP, "this->hWnd!=HWND_DESKTOP", nullptr))
        return rect;
    ::GetClientRect(hWnd, &rect);
    return rect;
}

int WINDOW::Move(int x, int y, int width, int height)
{
    if (width == -1 || height == -1) {
        RECT rect = GetRect();
        if (width == -1)
            width = rect.right - rect.left;
        if (height == -1)
            height = rect.bottom - rect.top;
    }
    return MoveWindow(hWnd, x, y, width, height, TRUE);
}

int WINDOW::SetRect(const RECT& rect)
{
    return Move(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

RECT WINDOW::ClientToWindowRect(const RECT& client) const
{
    return Grown(client, FrameOf(hWnd), 1);
}

RECT WINDOW::WindowToClientRect(const RECT& window) const
{
    return Grown(window, FrameOf(hWnd), -1);
}

RECT WINDOW::ClientToWindowRect(const RECT& client, DWORD style, DWORD exStyle, bool menu)
{
    return Grown(client, FrameOf(style, exStyle, menu), 1);
}

RECT WINDOW::WindowToClientRect(const RECT& window, DWORD style, DWORD exStyle, bool menu)
{
    return Grown(window, FrameOf(style, exStyle, menu), -1);
}

int WINDOW::SetForeground(int force)
{
    int result = SetForegroundWindow(hWnd);
    if (!force || !hWnd)
        return result;
    // The system lets only the thread that has the input make another window the foreground
    // one: borrow that thread's input for the attempt.
    DWORD self = GetCurrentThreadId();
    HWND foreground = GetForegroundWindow();
    DWORD owner = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    if (owner && owner != self && AttachThreadInput(self, owner, TRUE)) {
        for (int attempt = 0; attempt < 3 && GetForegroundWindow() != hWnd; attempt++)
            result = SetForegroundWindow(hWnd);
        AttachThreadInput(self, owner, FALSE);
    }
    return result;
}

int WINDOW::SetZOrder(int topbottom, HWND after)
{
    HWND insertAfter = topbottom == -1 ? HWND_BOTTOM : HWND_TOP;
    if (after) {
        if (!TARVO_CHECK(topbottom == +1, "topbottom==+1", nullptr))
            return 0;
        insertAfter = after;
    }
    return SetWindowPos(hWnd, insertAfter, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOREDRAW);
}

HWND WINDOW::GetParentWindow() const
{
    return hWnd ? GetParent(hWnd) : nullptr;
}

HWND WINDOW::GetOwnerWindow() const
{
    if (!hWnd)
        return nullptr;
    return IsChild() ? GetAncestor(hWnd, GA_ROOT) : GetWindow(hWnd, GW_OWNER);
}

HWND WINDOW::GetTopLevel() const
{
    HWND window = hWnd;
    while (window && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD)) {
        HWND parent = GetParent(window);
        if (!parent)
            break;
        window = parent;
    }
    return window;
}

int WINDOW::CenterWindow(HWND other)
{
    HWND reference = other && IsWindowVisible(other) ? other : nullptr;
    if (reference) {
        bool is_child = hWnd && ::IsChild(hWnd, reference);
        TARVO_CHECK(!is_child, "!is_child", nullptr);
    }
    RECT area = PlacedRect(reference);
    RECT own = GetRect();
    int width = own.right - own.left;
    int height = own.bottom - own.top;
    int left = area.left + (area.right - area.left - width) / 2;
    int top = area.top + (area.bottom - area.top - height) / 2;
    RECT desktop = GetDesktopRect();
    int desktopWidth = desktop.right - desktop.left;
    int desktopHeight = desktop.bottom - desktop.top;
    if (left + width > desktopWidth)
        left = desktopWidth - width;
    if (left < 0)
        left = 0;
    if (top + height > desktopHeight)
        top = desktopHeight - height;
    if (top < 0)
        top = 0;
    return SetRect({left, top, left + width, top + height});
}

RECT WINDOW::GetDesktopRect()
{
    int monitors = GetSystemMetrics(SM_CMONITORS);
    LogPrint("WINDOW::GetDesktopRect detected %d monitors\n", monitors);
    RECT rect = {};
    if (monitors <= 1) {
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &rect, 0);
    } else {
        rect.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
        rect.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
        rect.right = rect.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
        rect.bottom = rect.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    }
    LogPrint("WINDOW::GetDesktopRect return (%d %d %d %d)\n", static_cast<int>(rect.left), static_cast<int>(rect.top),
             static_cast<int>(rect.right), static_cast<int>(rect.bottom));
    return rect;
}

int WINDOW::EnableThemeTexture()
{
    int enabled = 0;
    // Themes apply only to a program that asks for the newer common controls in its manifest.
    if (FindResourceA(ToolkitProgramModule(), MAKEINTRESOURCEA(1), RT_MANIFEST)) {
        UniqueModule uxtheme(OSYS::LoadSystemLibrary("uxtheme.dll"));
        using EnableTexture = HRESULT(WINAPI*)(HWND, DWORD);
        if (auto enable = OSYS::GetFunction<EnableTexture>(uxtheme.get(), "EnableThemeDialogTexture")) {
            enabled = SUCCEEDED(enable(hWnd, ETDT_ENABLETAB)) ? 1 : 0;
            // Check boxes, radio buttons and group boxes show the texture through their background.
            EnumChildWindows(
                hWnd,
                [](HWND child, LPARAM) -> BOOL {
                    CONTROL item(child, -1);
                    if (item.IsClass("Button") && (item.GetStyle() & 7) != 0)
                        item.AddExStyle(WS_EX_TRANSPARENT);
                    return TRUE;
                },
                0);
        }
    }
    AddExStyle(WS_EX_CONTROLPARENT);
    return enabled;
}

void WINDOW::SetHelpTopic(int topic)
{
    GetHelpFile().AddMapping(static_cast<unsigned long>(WindowId), static_cast<unsigned long>(topic));
}

void WINDOW::SetStandardCursor(int id)
{
    ::SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(id)));
}

void WINDOW::SetWaitCursor()
{
    SetStandardCursor(static_cast<int>(reinterpret_cast<uintptr_t>(IDC_WAIT)));
}

void WINDOW::NudgeMouse()
{
    POINT point;
    if (GetCursorPos(&point))
        SetCursorPos(point.x, point.y);
}

// ---------------------------------------------------------------------------------------
// WINDOW: the static pumps

int WINDOW::WinProcessMessages(int n)
{
    return OSYS::PumpMessages(n);
}

void WINDOW::Sleep(int milliseconds)
{
    OSYS::PumpSleep(milliseconds);
}

int WINDOW::WinWaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    return OSYS::PumpWait(handle, milliseconds) == WAIT_OBJECT_0 ? 1 : 0;
}

uint64_t WINDOW::Milliseconds()
{
    return ClockMilliseconds();
}

void WINDOW::ResetClock()
{
    ::ResetClock();
}
