// WINPROCEDURE: the one path from the toolkit's window procedures (a window's, a dialog's and
// a child dialog's) to the object behind the window: the link kept in the window's
// GWLP_USERDATA slot, and the dispatch each procedure shares (the hook, the hot-key check and
// the guard that keeps an exception out of the system's code).
#pragma once

#include <windows.h>

#include "diag/logit.h"
#include "ui/window.h"

namespace WINPROCEDURE {

// Stores object in the window's user-data slot and gives it the handle.
void Link(HWND window, BASEWINDOW* object);
// A dialog's link, made on its WM_INITDIALOG: the handlers wait for MSG_POSTCREATE, which
// arrives once the object's constructors have all run.
void LinkDialog(HWND window, BASEWINDOW* object);
// The object linked to the window; null when none.
BASEWINDOW* LinkedObject(HWND window);
// Removes the link when it leads to object; a window linked to another object keeps its link.
void Unlink(HWND window, const BASEWINDOW* object);

// A dialog's answer to a message that WINDOW::WinProc routed: for WM_NOTIFY the dialog
// manager reads the answer from the dialog's message-result slot, so it goes there as well.
LRESULT DialogAnswer(HWND dialog, UINT message, LRESULT routed);

void LogException(const char* procedure, UINT message);

// Calls the object's hook and the hot-key check, then route(the hook's result), whose result
// the procedure returns. An exception thrown by a handler answers 0 and is logged under the
// procedure's name.
template <typename Route>
LRESULT Dispatch(const char* procedure, BASEWINDOW& object, HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                 Route route)
{
    try {
        LRESULT hooked = object.Hook ? object.Hook(window, message, wParam, lParam) : 0;
        LogHotkey(message, wParam, lParam);
        return route(hooked);
    } catch (...) {
        LogException(procedure, message);
        return 0;
    }
}

} // namespace WINPROCEDURE
