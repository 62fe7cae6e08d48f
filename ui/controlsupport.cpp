#include "ui/controlsupport.h"

LRESULT SendCommandToParent(const CONTROL& control, int code)
{
    HWND parent = control.hWnd ? GetParent(control.hWnd) : nullptr;
    if (!parent)
        return 0;
    return SendMessageA(parent, WM_COMMAND, MAKEWPARAM(control.WindowId & 0xFFFF, code),
                        reinterpret_cast<LPARAM>(control.hWnd));
}
