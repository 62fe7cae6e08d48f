// MENU: menu items through the wide menu functions of the platform.
#include "ui/menu.h"

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/handles.h"
#include "text/wstring.h"
#include "ui/modules.h"

MENU::MENU(HMENU handle) : hMenu(handle) {}

MENU::MENU(HWND menuWindow) : hMenu(GetMenu(menuWindow)), window(menuWindow) {}

MENU::MENU(const MENU& other) : hMenu(other.hMenu), window(other.window) {}

MENU::MENU(int resourceId, HMODULE module)
{
    LoadFromResource(resourceId, module);
}

MENU::~MENU()
{
    if (owned)
        Destroy();
}

bool MENU::LoadFromResource(int resourceId, HMODULE module)
{
    if (owned)
        Destroy();
    if (module == MENU_RESOURCEMODULE)
        module = ToolkitResourceModule();
    hMenu = LoadMenuW(module, MAKEINTRESOURCEW(resourceId));
    owned = hMenu != nullptr;
    return hMenu != nullptr;
}

bool MENU::CreateEmpty()
{
    if (owned)
        Destroy();
    hMenu = CreateMenu();
    owned = 0;
    return hMenu != nullptr;
}

int MENU::Destroy()
{
    if (!hMenu)
        return 0;
    DestroyMenu(hMenu);
    hMenu = nullptr;
    owned = 0;
    return 1;
}

int MENU::FindPosition(int id) const
{
    int count = GetItemCount();
    for (int position = 0; position < count; position++) {
        if (GetItemId(position) == id)
            return position;
    }
    return -1;
}

int MENU::GetItemId(int position) const
{
    return static_cast<int>(GetMenuItemID(hMenu, position));
}

int MENU::GetItemCount() const
{
    return hMenu ? GetMenuItemCount(hMenu) : 0;
}

HMENU MENU::GetSubMenu(int position) const
{
    return hMenu ? ::GetSubMenu(hMenu, position) : nullptr;
}

bool MENU::IsEnabled(int id) const
{
    UINT state = GetMenuState(hMenu, id, MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && !(state & (MF_GRAYED | MF_DISABLED));
}

bool MENU::IsChecked(int id) const
{
    UINT state = GetMenuState(hMenu, id, MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & MF_CHECKED);
}

bool MENU::IsSeparator(int position) const
{
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE;
    return GetMenuItemInfoW(hMenu, position, TRUE, &info) && (info.fType & MFT_SEPARATOR);
}

int MENU::EnableItem(int id, int flag)
{
    return EnableMenuItem(hMenu, id, MF_BYCOMMAND | (flag ? MF_ENABLED : MF_GRAYED)) != -1;
}

int MENU::CheckItem(int id, int flag)
{
    return CheckMenuItem(hMenu, id, MF_BYCOMMAND | (flag ? MF_CHECKED : MF_UNCHECKED)) != static_cast<DWORD>(-1);
}

int MENU::InsertItem(const char* text, int id, int position)
{
    if (!text)
        return InsertItemW(nullptr, id, position);
    WSTRING wide(text, UNICODE_CPSYSTEM);
    return InsertItemW(wide.c_str(), id, position);
}

int MENU::InsertItemW(const wchar_t* text, int id, int position)
{
    if (!text)
        return InsertMenuW(hMenu, position, MF_BYPOSITION | MF_SEPARATOR, id, nullptr);
    return InsertMenuW(hMenu, position, MF_BYPOSITION | MF_STRING, id, text);
}

int MENU::InsertSubMenu(const char* text, HMENU submenu, int position)
{
    WSTRING wide(text ? text : "", UNICODE_CPSYSTEM);
    return InsertSubMenuW(wide.c_str(), submenu, position);
}

int MENU::InsertSubMenuW(const wchar_t* text, HMENU submenu, int position)
{
    return InsertMenuW(hMenu, position, MF_BYPOSITION | MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(submenu),
                       text ? text : L"");
}

int MENU::SetItemText(int item, const char* text, int byPosition)
{
    WSTRING wide(text ? text : "", UNICODE_CPSYSTEM);
    return SetItemTextW(item, wide.c_str(), byPosition);
}

int MENU::SetItemTextW(int item, const wchar_t* text, int byPosition)
{
    // Only the text changes: the id, state and submenu of the item stay.
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = const_cast<wchar_t*>(text ? text : L"");
    return SetMenuItemInfoW(hMenu, item, byPosition ? TRUE : FALSE, &info);
}

int MENU::RemoveItem(int item, int byPosition)
{
    int ok = RemoveMenu(hMenu, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
    RedrawMenuBar();
    return ok;
}

STRING MENU::GetMenuItemText(int item, int byPosition) const
{
    LogPrintLevel(4, "MENU::GetMenuItemText %d (ispos=%d)\n", item, byPosition);
    wchar_t text[256] = {};
    int length = GetMenuStringW(hMenu, item, text, 256, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
    if (length <= 0) {
        int count = GetItemCount();
        for (int position = 0; position < count; position++) {
            if (GetItemId(position) == item) {
                length = GetMenuStringW(hMenu, position, text, 256, MF_BYPOSITION);
                break;
            }
        }
    }
    if (length <= 0)
        return STRING("");
    return STRING(text, length, UNICODE_CPSYSTEM);
}

int MENU::DeleteMenuItemSeparator(int position, int nowarn)
{
    LogPrint("MENU::DeleteMenuItemSeparator at pos=%d\n", position);
    bool item_is_separator = IsSeparator(position);
    int deleted = 0;
    if (item_is_separator)
        deleted = DeleteMenu(hMenu, position, MF_BYPOSITION) ? 1 : 0;
    else
        TARVO_ASSERT(nowarn || item_is_separator);
    RedrawMenuBar();
    LogPrint("MENU::DeleteMenuItemSeparator at pos=%d done\n", position);
    return deleted;
}

HMENU MENU::GetHelpMenu() const
{
    int count = GetItemCount();
    if (count <= 0)
        return nullptr;
    STRING title = GetMenuItemText(count - 1, 1);
    title.Replace("&", "");
    if (title.EqualsNoCase("Help") || title.EqualsNoCase("Hilfe"))
        return GetSubMenu(count - 1);
    return nullptr;
}

int MENU::TrackPopup(HWND owner, const POINT* point, int flags)
{
    POINT position{};
    if (point)
        position = *point;
    else
        GetCursorPos(&position);

    // The popup is shown as the submenu of a temporary menu; it is taken out again before the
    // temporary menu is destroyed, so that this menu survives.
    UniqueMenu holder(CreateMenu());
    if (!TARVO_CHECK(holder, "hmenu", nullptr))
        return 0;
    AppendMenuW(holder.get(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(hMenu), L"BLUB");
    HMENU shown = ::GetSubMenu(holder.get(), 0);
    if (!TARVO_CHECK(shown, "hmenuShow", nullptr))
        return 0;

    if (owner)
        SetForegroundWindow(owner);
    UINT trackFlags = ((flags & 1) ? TPM_RETURNCMD : 0) | (flags & TPM_RIGHTALIGN);
    RECT exclude = {0, 0, 10, 10};
    int result = TrackPopupMenu(shown, trackFlags, position.x, position.y, 0, owner, &exclude);
    // The owner must see a message after the menu closed, or a second popup may not show.
    if (owner)
        PostMessageW(owner, WM_NULL, 0, 0);
    RemoveMenu(holder.get(), 0, MF_BYPOSITION);
    return result;
}

void MENU::RedrawMenuBar() const
{
    if (window)
        DrawMenuBar(window);
}
