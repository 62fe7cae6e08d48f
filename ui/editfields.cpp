#include "ui/editfields.h"

#include <commctrl.h>

#include <cstdlib>
#include <utility>

#include "diag/assert.h"

namespace {

constexpr DWORD EDITFIELD_STYLE = WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL; // 0x10010080
// Visible, arrow keys, aligned right of the buddy, buddy text set as integer, no thousands separator.
constexpr DWORD UPDOWN_STYLE = WS_VISIBLE | UDS_ARROWKEYS | UDS_ALIGNRIGHT | UDS_SETBUDDYINT | UDS_NOTHOUSANDS;

// An up-down control answering UDM_GETPOS32 writes its error flag; this value never comes back.
constexpr BOOL POS32_UNANSWERED = -2;

void SetStyleBit(CONTROL& control, DWORD bit, int flag)
{
    if (flag)
        control.AddStyle(bit);
    else
        control.RemoveStyle(bit);
}

// The decimal digits of value (1 for 0 to 9, 2 for 10 to 99, ...), the sign not counted.
int DecimalDigits(int value)
{
    // Widened first: the magnitude of INT_MIN does not fit an int.
    long long magnitude = std::llabs(static_cast<long long>(value));
    int digits = 1;
    while (magnitude >= 10) {
        magnitude /= 10;
        digits++;
    }
    return digits;
}

} // namespace

EDITFIELD::EDITFIELD(HWND parent, int id) : CONTROL(parent, id) {}

EDITFIELD::EDITFIELD(HWND parent, int id, DWORD style, int x, int y, int width, int height, const char* title,
                     DWORD exStyle)
    : CONTROL(parent, id, "Edit", style | EDITFIELD_STYLE, x, y, width, height, title, exStyle)
{
}

EDITFIELD::EDITFIELD(HWND parent, int id, DWORD style, int placeholderId, const char* title, DWORD exStyle)
    : CONTROL(parent, id, "Edit", style | EDITFIELD_STYLE, placeholderId, title, exStyle)
{
}

LRESULT EDITFIELD::LimitText(int n)
{
    return SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(n));
}

LRESULT EDITFIELD::GetSel(int* start, int* end) const
{
    DWORD first = 0;
    DWORD last = 0;
    LRESULT result = SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&first), reinterpret_cast<LPARAM>(&last));
    if (result != -1) {
        if (start)
            *start = static_cast<int>(first);
        if (end)
            *end = static_cast<int>(last);
    }
    return result;
}

LRESULT EDITFIELD::SetSel(int start, int end)
{
    return SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end);
}

void EDITFIELD::SetNumeric(int flag)
{
    SetStyleBit(*this, ES_NUMBER, flag);
}

LRESULT EDITFIELD::SetReadOnly(int flag)
{
    return SendMessage(EM_SETREADONLY, flag ? TRUE : FALSE);
}

void EDITFIELD::SetWantReturn(int flag)
{
    SetStyleBit(*this, ES_WANTRETURN, flag);
}

UPDOWN::UPDOWN(HWND parent, int id) : CONTROL(parent, id) {}

UPDOWN::UPDOWN(HWND parent, int id, int buddyId, DWORD style, DWORD exStyle)
    : CONTROL(parent, id, UPDOWN_CLASSA, style | UPDOWN_STYLE, 0, 0, 0, 0, nullptr, exStyle)
{
    AdoptBuddy(parent, buddyId);
}

UPDOWN::UPDOWN(HWND parent, int id, int buddyId, DWORD style, int placeholderId, DWORD exStyle)
    : CONTROL(parent, id, UPDOWN_CLASSA, style | UPDOWN_STYLE, placeholderId, nullptr, exStyle)
{
    AdoptBuddy(parent, buddyId);
}

void UPDOWN::AdoptBuddy(HWND parent, int buddyId)
{
    if (hWnd && parent)
        SendMessage(UDM_SETBUDDY, reinterpret_cast<WPARAM>(GetDlgItem(parent, buddyId)));
}

void UPDOWN::SetRange(int low, int high)
{
    int given = high;
    if (high < low)
        std::swap(low, high);
    int width = DecimalDigits(given) + (low < 0 ? 1 : 0);
    EDITFIELD(reinterpret_cast<HWND>(SendMessage(UDM_GETBUDDY)), -1).LimitText(width);

    if (low >= -32767 && high <= 32767) {
        SendMessage(UDM_SETRANGE, 0, MAKELPARAM(high, low));
        return;
    }
    // The 32-bit messages are probed first: a control that does not know them leaves the
    // outputs alone. Without a control there is nothing to probe.
    int probeLow = -1;
    int probeHigh = -2;
    SendMessage(UDM_GETRANGE32, reinterpret_cast<WPARAM>(&probeLow), reinterpret_cast<LPARAM>(&probeHigh));
    if (hWnd)
        TARVO_CHECK(probeLow != -1 && probeHigh != -2, "lo!=-1 && hi!=-2", "COMCTL32 V4.71 or higher required");
    SendMessage(UDM_SETRANGE32, static_cast<WPARAM>(low), high);
}

int UPDOWN::GetPos() const
{
    BOOL error = POS32_UNANSWERED;
    LRESULT position = SendMessage(UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&error));
    if (error == POS32_UNANSWERED)
        return static_cast<short>(LOWORD(SendMessage(UDM_GETPOS)));
    return static_cast<int>(position);
}

LRESULT UPDOWN::SetPos(int value)
{
    if (value >= -32768 && value <= 32767)
        return SendMessage(UDM_SETPOS, 0, MAKELPARAM(value, 0));
    LRESULT previous = SendMessage(UDM_SETPOS32, 0, value);
    int readBack = GetPos();
    if (hWnd)
        TARVO_CHECK(value == readBack, "val==val2", nullptr);
    return previous;
}

LRESULT UPDOWN::SetRangeAndPos(int value, int low, int high)
{
    SetRange(low, high);
    return SetPos(value);
}
