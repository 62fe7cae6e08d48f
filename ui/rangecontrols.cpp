#include "ui/rangecontrols.h"

#include <commctrl.h>

namespace {

constexpr DWORD SCROLLBAR_STYLE = WS_VISIBLE | WS_TABSTOP; // 0x50010000 with WS_CHILD
constexpr DWORD SLIDER_STYLE = WS_VISIBLE | WS_TABSTOP;
constexpr DWORD PROGRESSBAR_STYLE = WS_VISIBLE; // 0x50000000 with WS_CHILD

// Mask of SetScrollInfo: page, position and disable-no-scroll, the range only when given.
constexpr UINT SCROLLINFO_MASK = SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;

} // namespace

SCROLLBAR::SCROLLBAR(HWND parent, int id) : CONTROL(parent, id) {}

SCROLLBAR::SCROLLBAR(HWND parent, int id, DWORD style, int x, int y, int width, int height, const char* title,
                     DWORD exStyle)
    : CONTROL(parent, id, "ScrollBar", style | SCROLLBAR_STYLE, x, y, width, height, title, exStyle)
{
}

SCROLLBAR::SCROLLBAR(HWND parent, int id, DWORD style, int placeholderId, const char* title, DWORD exStyle)
    : CONTROL(parent, id, "ScrollBar", style | SCROLLBAR_STYLE, placeholderId, title, exStyle)
{
}

LRESULT SCROLLBAR::SetRange(int minimum, int maximum)
{
    return SendMessage(SBM_SETRANGE, static_cast<WPARAM>(minimum), maximum);
}

LRESULT SCROLLBAR::SetPos(int position, int redraw)
{
    return SendMessage(SBM_SETPOS, static_cast<WPARAM>(position), redraw);
}

int SCROLLBAR::GetPos() const
{
    return static_cast<int>(SendMessage(SBM_GETPOS));
}

LRESULT SCROLLBAR::SetScrollInfo(int position, int page, int minimum, int maximum)
{
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SCROLLINFO_MASK;
    if (minimum != -1 && maximum != -1)
        info.fMask |= SIF_RANGE;
    info.nMin = minimum;
    info.nMax = maximum;
    info.nPage = static_cast<UINT>(page);
    info.nPos = position;
    return SendMessage(SBM_SETSCROLLINFO, TRUE, reinterpret_cast<LPARAM>(&info));
}

SLIDER::SLIDER(HWND parent, int id) : CONTROL(parent, id) {}

SLIDER::SLIDER(HWND parent, int id, DWORD style, int x, int y, int width, int height, DWORD exStyle)
    : CONTROL(parent, id, TRACKBAR_CLASSA, style | SLIDER_STYLE, x, y, width, height, nullptr, exStyle)
{
}

LRESULT SLIDER::SetRange(int minimum, int maximum, int redraw)
{
    return SendMessage(TBM_SETRANGE, static_cast<WPARAM>(redraw), MAKELPARAM(minimum, maximum));
}

LRESULT SLIDER::SetTicFrequency(int n)
{
    return SendMessage(TBM_SETTICFREQ, static_cast<WPARAM>(n));
}

LRESULT SLIDER::SetPos(int position, int redraw)
{
    return SendMessage(TBM_SETPOS, static_cast<WPARAM>(redraw), position);
}

int SLIDER::GetPos() const
{
    return static_cast<int>(SendMessage(TBM_GETPOS));
}

LRESULT SLIDER::ClearSelection(int redraw)
{
    return SendMessage(TBM_CLEARSEL, static_cast<WPARAM>(redraw));
}

PROGRESSBAR::PROGRESSBAR(HWND parent, int id) : CONTROL(parent, id)
{
    SetRange(100);
    if (hWnd)
        Show(SW_SHOW);
}

PROGRESSBAR::PROGRESSBAR(HWND parent, int id, int x, int y, int width, int height, DWORD exStyle)
    : CONTROL(parent, id, PROGRESS_CLASSA, PROGRESSBAR_STYLE, x, y, width, height, nullptr, exStyle)
{
    SetRange(100);
}

PROGRESSBAR::PROGRESSBAR(HWND parent, int id, int placeholderId, DWORD exStyle)
    : CONTROL(parent, id, PROGRESS_CLASSA, PROGRESSBAR_STYLE, placeholderId, nullptr, exStyle)
{
    SetRange(100);
}

LRESULT PROGRESSBAR::SetRange(int maximum)
{
    return SendMessage(PBM_SETRANGE, 0, MAKELPARAM(0, maximum));
}

LRESULT PROGRESSBAR::SetPos(int position)
{
    return SendMessage(PBM_SETPOS, static_cast<WPARAM>(position));
}
