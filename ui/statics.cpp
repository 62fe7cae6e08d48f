#include "ui/statics.h"

namespace {

constexpr DWORD STATICICON_STYLE = WS_VISIBLE | SS_ICON; // 0x50000003 with WS_CHILD
constexpr DWORD STATICTEXT_STYLE = WS_VISIBLE;           // 0x50000000 with WS_CHILD

} // namespace

STATICICON::STATICICON(HWND parent, int id) : CONTROL(parent, id) {}

STATICICON::STATICICON(HWND parent, int id, DWORD style, int x, int y, int width, int height, const char* title,
                       DWORD exStyle)
    : CONTROL(parent, id, "Static", style | STATICICON_STYLE, x, y, width, height, title, exStyle)
{
}

STATICICON::STATICICON(HWND parent, int id, DWORD style, int placeholderId, const char* title, DWORD exStyle)
    : CONTROL(parent, id, "Static", style | STATICICON_STYLE, placeholderId, title, exStyle)
{
}

HICON STATICICON::SetIcon(HICON icon)
{
    return reinterpret_cast<HICON>(SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(icon)));
}

HICON STATICICON::GetIcon() const
{
    return reinterpret_cast<HICON>(SendMessage(STM_GETICON));
}

STATICTEXT::STATICTEXT(HWND parent, int id) : CONTROL(parent, id) {}

STATICTEXT::STATICTEXT(HWND parent, int id, DWORD style, int x, int y, int width, int height, const char* title,
                       DWORD exStyle)
    : CONTROL(parent, id, "Static", style | STATICTEXT_STYLE, x, y, width, height, title, exStyle)
{
}

STATICTEXT::STATICTEXT(HWND parent, int id, DWORD style, int placeholderId, const char* title, DWORD exStyle)
    : CONTROL(parent, id, "Static", style | STATICTEXT_STYLE, placeholderId, title, exStyle)
{
}
