// The list kinds of CONTROL, each operation sent as the list-box or the combo-box message:
//   LISTCONTROL   - a list box or combo box of any class and style
//   LISTBOX       - a list box it creates (or attaches to)
//   DROPDOWNLIST  - an attached combo box of the drop-down list style
//   DROPDOWNCOMBO - an attached combo box of the drop-down style
// and IconItemHook, the window hook that measures and draws icon items of owner-drawn combo boxes.
#pragma once

#include <windows.h>

#include "text/strings.h"
#include "text/wstring.h"
#include "ui/control.h"

class STRINGARRAY;

class LISTCONTROL : public CONTROL {
public:
    int IsListBox = 0; // set for a "ListBox", clear for a combo box

    LISTCONTROL(HWND parent, int id);
    LISTCONTROL(HWND parent, int id, const char* className, DWORD style, int x, int y, int width, int height,
                const char* title = nullptr, DWORD exStyle = 0);
    LISTCONTROL(HWND parent, int id, const char* className, DWORD style, int placeholderId, const char* title = nullptr,
                DWORD exStyle = 0);

    LRESULT Clear();
    LRESULT Delete(int index);
    // Index -1 appends. The text goes as wide text of the system code page.
    LRESULT Insert(const char* text, int index);
    // An owner-drawn list of fixed height keeps the text pointer itself as the item's data.
    LRESULT Add(const char* text);
    int GetCount() const;
    // Always 1 for a combo box.
    int GetSelCount() const;
    // The n-th selected item; -1 when there is none.
    int GetSel(int n) const;
    bool IsSelected(int item) const;
    // From the first item on; -1 when not found.
    int FindString(const char* text) const;
    // Selects (or clears) item, then tells the parent as if the user had selected.
    LRESULT Select(int item, int flag);
    LRESULT SetTopIndex(int index);
    // Index -1: the current selection. Empty when there is no such item.
    STRING GetItemText(int index) const;
    WSTRING GetItemTextW(int index) const;
    // The text of the n-th selected item; empty when there is none.
    STRING GetSelText(int n) const;
    // Inserts each field of text between delimiter bytes at index, index + 1, ... (index -1
    // appends); the number of fields.
    int InsertLines(const STRING& text, const char* delimiter, int index);
    // Inserts every string of list the same way; the count.
    int InsertList(const STRINGARRAY& list, int index);
    // Replaces the item's text, keeping its selection; 1.
    int ReplaceItem(int index, const char* text);

private:
    bool IsMultipleSelection() const;
};

class LISTBOX : public LISTCONTROL {
public:
    LISTBOX(HWND parent, int id);
    LISTBOX(HWND parent, int id, DWORD style, int x, int y, int width, int height, DWORD exStyle = 0);
    // With a sunken edge.
    LISTBOX(HWND parent, int id, DWORD style, int placeholderId);
};

class DROPDOWNLIST : public LISTCONTROL {
public:
    DROPDOWNLIST(HWND parent, int id);
};

class DROPDOWNCOMBO : public LISTCONTROL {
public:
    DROPDOWNCOMBO(HWND parent, int id);
};

// Hook for the window that owns an owner-drawn combo box whose items carry "##ICON=<id>##"
// as data: measures them 16 x 16 and draws the icon of that id on the selection or window
// colour. 1 for a message it handled, else 0.
LRESULT IconItemHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
