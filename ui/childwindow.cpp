// CHILDWINDOW: a child window, or a child dialog built from a dialog template.
#include "ui/window.h"

#include "diag/assert.h"
#include "ui/dialog.h"
#include "ui/winprocedure.h"

// ---------------------------------------------------------------------------------------
// CHILDWINDOW

CHILDWINDOW::CHILDWINDOW(HWND parent, DWORD style, int x, int y, int width, int height, int id,
                         const char* className, HCURSOR cursor)
{
    AutoDestroy = 1;
    Create(style | WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, "", x, y, width, height, parent, id, 0,
           className ? className : "TalmirChildWindow", cursor);
}

CHILDWINDOW::CHILDWINDOW(HWND parent, int templateId, int controlId, HMODULE module)
{
    hWnd = CreateFromTemplate(module, templateId, parent, ChildDialogProcedure, this);
    AutoDestroy = hWnd != nullptr;
    if (!TARVO_CHECK_FORMAT(hWnd != nullptr, "this->hWnd", "%lu", static_cast<unsigned long>(templateId)))
        return;
    SetWindowLongPtrA(hWnd, GWLP_ID, controlId);
    WindowId = controlId;
    TARVO_CHECK(IsChild(), "this->IsChild()", nullptr);
    int n = static_cast<int>(GetWindowLongPtrA(hWnd, GWLP_ID));
    TARVO_CHECK(n == controlId, "n==idctrlchild", nullptr);
    AddExStyle(WS_EX_CONTROLPARENT);
}

CHILDWINDOW::~CHILDWINDOW() = default;

INT_PTR CALLBACK CHILDWINDOW::ChildDialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG && lParam) {
        WINPROCEDURE::LinkDialog(window, reinterpret_cast<BASEWINDOW*>(lParam));
        return TRUE;
    }
    BASEWINDOW* object = WINPROCEDURE::LinkedObject(window);
    if (!object)
        return 0;
    return WINPROCEDURE::Dispatch("CHILDWINDOW::ChildDialogProcedure", *object, window, message, wParam, lParam,
                                  [&](LRESULT hooked) -> LRESULT {
                                      if (message != WM_DESTROY && message != MSG_POSTCREATE &&
                                          (hooked || !IsRoutedDialogMessage(message)))
                                          return hooked;
                                      LRESULT result = WINPROCEDURE::DialogAnswer(
                                          window, message, object->WinProc(message, wParam, lParam));
                                      return hooked ? hooked : result;
                                  });
}
