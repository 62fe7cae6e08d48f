#include "ui/controlfont.h"

#include <utility>

#include "ui/control.h"
#include "ui/fonts.h"

CONTROLFONT::CONTROLFONT(HWND handle, const char* description, int size, int flags) : control(handle)
{
    Set(description, size, flags);
}

CONTROLFONT::CONTROLFONT(HWND parent, int id, const char* description, int size, int flags)
    : control(CONTROL(parent, id).Hwnd())
{
    Set(description, size, flags);
}

CONTROLFONT::~CONTROLFONT()
{
    if (remembered)
        ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(previous), TRUE);
}

bool CONTROLFONT::Set(const char* description, int size, int flags)
{
    if (!control)
        return false;
    UniqueFont made(CreateDescribedFont(description, size, flags));
    if (!made)
        return false;
    if (!remembered) {
        previous = reinterpret_cast<HFONT>(::SendMessageA(control, WM_GETFONT, 0, 0));
        remembered = true;
    }
    ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(made.get()), TRUE);
    // The control uses the new font now, so the one set before can go.
    font = std::move(made);
    return true;
}
