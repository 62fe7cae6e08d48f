// The edit kinds of CONTROL:
//   EDITFIELD - a single-line edit: limit, selection, numeric, read-only and want-return
//   UPDOWN    - a spin control bound to a buddy edit, with 16- and 32-bit ranges and positions
#pragma once

#include <windows.h>

#include "ui/control.h"

class EDITFIELD : public CONTROL {
public:
    EDITFIELD(HWND parent, int id);
    EDITFIELD(HWND parent, int id, DWORD style, int x, int y, int width, int height, const char* title = nullptr,
              DWORD exStyle = 0);
    EDITFIELD(HWND parent, int id, DWORD style, int placeholderId, const char* title = nullptr, DWORD exStyle = 0);

    LRESULT LimitText(int n);
    // The selection's bounds; start and end stay untouched when the edit answers -1.
    LRESULT GetSel(int* start, int* end) const;
    LRESULT SetSel(int start, int end);
    void SetNumeric(int flag);
    LRESULT SetReadOnly(int flag);
    void SetWantReturn(int flag);
};

class UPDOWN : public CONTROL {
public:
    UPDOWN(HWND parent, int id);
    // Created without a size: it takes its place beside the buddy item, which it adopts.
    UPDOWN(HWND parent, int id, int buddyId, DWORD style = 0, DWORD exStyle = 0);
    // Created in the place of the placeholder item, then moved beside the buddy item.
    UPDOWN(HWND parent, int id, int buddyId, DWORD style, int placeholderId, DWORD exStyle);

    // Orders the bounds, limits the buddy to the digits of high (one more for a negative
    // low), and sets the range with the 16-bit message when it fits, else the 32-bit one.
    void SetRange(int low, int high);
    int GetPos() const;
    // The previous position.
    LRESULT SetPos(int value);
    LRESULT SetRangeAndPos(int value, int low, int high);

private:
    void AdoptBuddy(HWND parent, int buddyId);
};
