// WINDOW: the operations on one dialog item, each through a temporary CONTROL around it.
#include "ui/window.h"

#include "ui/control.h"

int WINDOW::SetItemText(int id, const char* text)
{
    CONTROL item(hWnd, id);
    return item.hWnd ? item.SetText(text) : 0;
}

int WINDOW::SetItemTextW(int id, const wchar_t* text)
{
    CONTROL item(hWnd, id);
    return item.hWnd ? item.SetTextW(text) : 0;
}

STRING WINDOW::GetItemText(int id)
{
    CONTROL item(hWnd, id);
    return item.hWnd ? item.GetText() : STRING("");
}

int WINDOW::GetItemText(int id, char* buffer, int size)
{
    CONTROL item(hWnd, id);
    if (!item.hWnd) {
        if (buffer && size > 0)
            buffer[0] = '\0';
        return 0;
    }
    return item.GetText(buffer, size);
}

int WINDOW::GetItemTextW(int id, wchar_t* buffer, int n)
{
    CONTROL item(hWnd, id);
    if (!item.hWnd) {
        if (buffer && n > 0)
            buffer[0] = L'\0';
        return 0;
    }
    return item.GetTextW(buffer, n);
}

int WINDOW::ShowItem(int id, int show)
{
    CONTROL item(hWnd, id);
    if (!item.hWnd)
        return 0;
    item.ShowHide(show);
    return 1;
}

int WINDOW::EnableItem(int id, int flag)
{
    CONTROL item(hWnd, id);
    if (!item.hWnd)
        return 0;
    item.Enable(flag);
    return 1;
}

int WINDOW::GetItemCheck(int id)
{
    CONTROL item(hWnd, id);
    return item.hWnd ? item.GetCheck() : -1;
}

int WINDOW::SetItemCheck(int id, int state)
{
    CONTROL item(hWnd, id);
    if (!item.hWnd)
        return 0;
    item.SendMessage(BM_SETCHECK, static_cast<WPARAM>(state));
    return 1;
}

int WINDOW::FocusFirstItem()
{
    if (!hWnd)
        return 0;
    for (HWND child = GetWindow(hWnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        CONTROL item(child, -1);
        bool tabStop = (item.GetStyle() & WS_TABSTOP) && IsWindowEnabled(child) && !item.IsClass("STATIC") &&
                       !item.IsClass("Button", BS_AUTORADIOBUTTON);
        bool checked = item.IsClass("Button") && item.GetCheck() != 0;
        if (tabStop || checked) {
            ::SetFocus(child);
            return item.WindowId;
        }
    }
    return 0;
}
