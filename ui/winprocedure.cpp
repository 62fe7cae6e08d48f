#include "ui/winprocedure.h"

namespace WINPROCEDURE {

void Link(HWND window, BASEWINDOW* object)
{
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    object->hWnd = window;
}

void LinkDialog(HWND window, BASEWINDOW* object)
{
    Link(window, object);
    ::PostMessageA(window, MSG_POSTCREATE, 0, 0);
}

BASEWINDOW* LinkedObject(HWND window)
{
    return reinterpret_cast<BASEWINDOW*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void Unlink(HWND window, const BASEWINDOW* object)
{
    if (window && LinkedObject(window) == object)
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
}

LRESULT DialogAnswer(HWND dialog, UINT message, LRESULT routed)
{
    if (message == WM_NOTIFY)
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, routed);
    return routed;
}

void LogException(const char* procedure, UINT message)
{
    LogPrint("%s exception in message %04x\n", procedure, message);
}

} // namespace WINPROCEDURE
