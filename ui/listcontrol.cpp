#include "ui/listcontrol.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "diag/assert.h"
#include "osys/handles.h"
#include "text/stringarray.h"
#include "text/wstring.h"
#include "ui/controlsupport.h"
#include "ui/modules.h"

namespace {

constexpr DWORD LISTBOX_STYLE = WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY; // 0x50210001 with WS_CHILD
constexpr DWORD LISTBOX_INPLACE_EXSTYLE = WS_EX_CLIENTEDGE;
// List boxes and combo boxes share this bit for owner-drawn items of fixed height.
constexpr DWORD OWNERDRAW_FIXED = LBS_OWNERDRAWFIXED;
static_assert(CBS_OWNERDRAWFIXED == OWNERDRAW_FIXED);
// The item index the lists take and give for none: an empty list's drawn item, the start of a
// search through every item, the selection that selects nothing.
constexpr int NO_ITEM = -1;

constexpr char ICON_ITEM_PREFIX[] = "##ICON=";

// The item data of an owner-drawn combo box item if it is an icon item's text, else null.
const char* IconItemText(UINT controlType, UINT itemId, ULONG_PTR itemData)
{
    if (controlType != ODT_COMBOBOX || itemId == static_cast<UINT>(NO_ITEM) || !itemData)
        return nullptr;
    const char* text = reinterpret_cast<const char*>(itemData);
    return strncmp(text, ICON_ITEM_PREFIX, sizeof(ICON_ITEM_PREFIX) - 1) == 0 ? text : nullptr;
}

HICON LoadSmallIcon(HMODULE module, int id)
{
    return static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
}

LRESULT DrawIconItem(const DRAWITEMSTRUCT& item, const char* text)
{
    int iconId = 0;
    if (sscanf(text, "##ICON=%d##", &iconId) != 1 || iconId == 0)
        return 0;
    int colour = (item.itemState & ODS_SELECTED) ? COLOR_HIGHLIGHT : COLOR_WINDOW;
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(colour));
    UniqueIcon icon(LoadSmallIcon(ToolkitResourceModule(), iconId));
    if (!icon)
        icon.reset(LoadSmallIcon(ToolkitProgramModule(), iconId));
    if (icon)
        DrawIconEx(item.hDC, item.rcItem.left, item.rcItem.top, icon.get(), 16, 16, 0, nullptr, DI_NORMAL);
    return 1;
}

} // namespace

LISTCONTROL::LISTCONTROL(HWND parent, int id) : CONTROL(parent, id), IsListBox(CONTROL::IsListBox()) {}

LISTCONTROL::LISTCONTROL(HWND parent, int id, const char* className, DWORD style, int x, int y, int width, int height,
                         const char* title, DWORD exStyle)
    : CONTROL(parent, id, className, style, x, y, width, height, title, exStyle), IsListBox(CONTROL::IsListBox())
{
}

LISTCONTROL::LISTCONTROL(HWND parent, int id, const char* className, DWORD style, int placeholderId, const char* title,
                         DWORD exStyle)
    : CONTROL(parent, id, className, style, placeholderId, title, exStyle), IsListBox(CONTROL::IsListBox())
{
}

bool LISTCONTROL::IsMultipleSelection() const
{
    return IsListBox && (GetStyle() & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL));
}

LRESULT LISTCONTROL::Clear()
{
    return SendMessage(IsListBox ? LB_RESETCONTENT : CB_RESETCONTENT);
}

LRESULT LISTCONTROL::Delete(int index)
{
    return SendMessage(IsListBox ? LB_DELETESTRING : CB_DELETESTRING, static_cast<WPARAM>(index));
}

LRESULT LISTCONTROL::Insert(const char* text, int index)
{
    WSTRING wide(text, UNICODE_CPSYSTEM);
    return ::SendMessageW(hWnd, IsListBox ? LB_INSERTSTRING : CB_INSERTSTRING, static_cast<WPARAM>(index),
                          reinterpret_cast<LPARAM>(wide.c_str()));
}

LRESULT LISTCONTROL::Add(const char* text)
{
    UINT message = IsListBox ? LB_ADDSTRING : CB_ADDSTRING;
    if (GetStyle() & OWNERDRAW_FIXED)
        return ::SendMessageA(hWnd, message, 0, reinterpret_cast<LPARAM>(text));
    WSTRING wide(text, UNICODE_CPSYSTEM);
    return ::SendMessageW(hWnd, message, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

int LISTCONTROL::GetCount() const
{
    return static_cast<int>(SendMessage(IsListBox ? LB_GETCOUNT : CB_GETCOUNT));
}

int LISTCONTROL::GetSelCount() const
{
    return IsListBox ? static_cast<int>(SendMessage(LB_GETSELCOUNT)) : 1;
}

int LISTCONTROL::GetSel(int n) const
{
    if (!IsMultipleSelection())
        return n == 0 ? static_cast<int>(SendMessage(IsListBox ? LB_GETCURSEL : CB_GETCURSEL)) : -1;
    int count = static_cast<int>(SendMessage(LB_GETSELCOUNT));
    if (n < 0 || n >= count)
        return -1;
    // One slot more than selected items, as a guard against a count that grew meanwhile.
    std::vector<int> items(count + 1);
    int read = static_cast<int>(SendMessage(LB_GETSELITEMS, items.size(), reinterpret_cast<LPARAM>(items.data())));
    return n < read ? items[n] : -1;
}

bool LISTCONTROL::IsSelected(int item) const
{
    if (IsListBox)
        return SendMessage(LB_GETSEL, static_cast<WPARAM>(item)) > 0;
    return item == GetSel(0);
}

int LISTCONTROL::FindString(const char* text) const
{
    WSTRING wide(text, UNICODE_CPSYSTEM);
    return static_cast<int>(::SendMessageW(hWnd, IsListBox ? LB_FINDSTRING : CB_FINDSTRING,
                                           static_cast<WPARAM>(NO_ITEM), reinterpret_cast<LPARAM>(wide.c_str())));
}

LRESULT LISTCONTROL::Select(int item, int flag)
{
    LRESULT result;
    if (IsMultipleSelection())
        result = SendMessage(LB_SETSEL, flag ? TRUE : FALSE, item);
    else
        result = SendMessage(IsListBox ? LB_SETCURSEL : CB_SETCURSEL, static_cast<WPARAM>(flag ? item : NO_ITEM));
    SendCommandToParent(*this, IsListBox ? LBN_SELCHANGE : CBN_SELCHANGE);
    return result;
}

LRESULT LISTCONTROL::SetTopIndex(int index)
{
    return SendMessage(IsListBox ? LB_SETTOPINDEX : CB_SETTOPINDEX, static_cast<WPARAM>(index));
}

STRING LISTCONTROL::GetItemText(int index) const
{
    if (index == -1)
        index = GetSel(0);
    if (index < 0)
        return STRING("");
    int length = static_cast<int>(
        ::SendMessageA(hWnd, IsListBox ? LB_GETTEXTLEN : CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0));
    if (length < 0)
        return STRING("");
    std::vector<char> buffer(length + 1);
    int read = static_cast<int>(::SendMessageA(hWnd, IsListBox ? LB_GETTEXT : CB_GETLBTEXT, static_cast<WPARAM>(index),
                                               reinterpret_cast<LPARAM>(buffer.data())));
    STRING text("");
    if (read > 0)
        text.Append(buffer.data(), std::min(read, length));
    return text;
}

WSTRING LISTCONTROL::GetItemTextW(int index) const
{
    if (index == -1)
        index = GetSel(0);
    if (index < 0)
        return WSTRING(L"");
    int length = static_cast<int>(
        ::SendMessageW(hWnd, IsListBox ? LB_GETTEXTLEN : CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0));
    if (length < 0)
        return WSTRING(L"");
    std::vector<wchar_t> buffer(length + 1);
    int read = static_cast<int>(::SendMessageW(hWnd, IsListBox ? LB_GETTEXT : CB_GETLBTEXT, static_cast<WPARAM>(index),
                                               reinterpret_cast<LPARAM>(buffer.data())));
    return WSTRING(buffer.data(), read > 0 ? std::min(read, length) : 0);
}

STRING LISTCONTROL::GetSelText(int n) const
{
    int index = GetSel(n);
    return index < 0 ? STRING("") : GetItemText(index);
}

int LISTCONTROL::InsertLines(const STRING& text, const char* delimiter, int index)
{
    return InsertList(STRINGARRAY(text, delimiter), index);
}

int LISTCONTROL::InsertList(const STRINGARRAY& list, int index)
{
    int count = list.ItemCount;
    for (int i = 0; i < count; i++) {
        const STRING* item = list.Get(i);
        Insert(item ? item->c_str() : "", index == -1 ? -1 : index + i);
    }
    return count;
}

int LISTCONTROL::ReplaceItem(int index, const char* text)
{
    bool selected = IsSelected(index);
    Delete(index);
    Insert(text, index);
    if (selected)
        Select(index, 1);
    return 1;
}

LISTBOX::LISTBOX(HWND parent, int id) : LISTCONTROL(parent, id) {}

LISTBOX::LISTBOX(HWND parent, int id, DWORD style, int x, int y, int width, int height, DWORD exStyle)
    : LISTCONTROL(parent, id, "ListBox", style | LISTBOX_STYLE, x, y, width, height, "LISTBOX", exStyle)
{
}

LISTBOX::LISTBOX(HWND parent, int id, DWORD style, int placeholderId)
    : LISTCONTROL(parent, id, "ListBox", style | LISTBOX_STYLE, placeholderId, "LISTBOX", LISTBOX_INPLACE_EXSTYLE)
{
}

DROPDOWNLIST::DROPDOWNLIST(HWND parent, int id) : LISTCONTROL(parent, id)
{
    TARVO_CHECK(IsDropdownList() || !IsValid(), "this->IsDropdownList() || !this->IsValid()", nullptr);
}

DROPDOWNCOMBO::DROPDOWNCOMBO(HWND parent, int id) : LISTCONTROL(parent, id)
{
    TARVO_CHECK(IsDropdownCombo() || !IsValid(), "this->IsDropdownCombo() || !this->IsValid()", nullptr);
}

LRESULT IconItemHook(HWND, UINT message, WPARAM, LPARAM lParam)
{
    if (!lParam)
        return 0;
    if (message == WM_MEASUREITEM) {
        auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (!IconItemText(item->CtlType, item->itemID, item->itemData))
            return 0;
        item->itemWidth = 16;
        item->itemHeight = 16;
        return 1;
    }
    if (message == WM_DRAWITEM) {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        const char* text = IconItemText(item->CtlType, item->itemID, item->itemData);
        return text ? DrawIconItem(*item, text) : 0;
    }
    return 0;
}
