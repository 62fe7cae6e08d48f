#include "ui/dialog.h"

#include <cstdlib>
#include <cstring>

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/ostype.h"
#include "ui/fonts.h"
#include "ui/helpfile.h"
#include "ui/modules.h"
#include "ui/winprocedure.h"

namespace {

// A template item with this id, reading "WM_INITDIALOG:RC=0", keeps the platform from setting
// the default focus.
constexpr int INIT_FOCUS_ITEM = 800;

} // namespace

std::vector<unsigned char> LoadDialogTemplate(HMODULE module, int id)
{
    if (!module)
        module = ToolkitResourceModule();
    HRSRC resource = id > 0 && id <= 0xFFFF ? FindResourceA(module, MAKEINTRESOURCEA(id), RT_DIALOG) : nullptr;
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    auto* bytes = static_cast<const unsigned char*>(loaded ? LockResource(loaded) : nullptr);
    DWORD size = resource ? SizeofResource(module, resource) : 0;
    if (!bytes || size == 0)
        return {};
    int osType = OSYS::GetOSType();
    bool extended = size >= 4 && bytes[2] == 0xFF && bytes[3] == 0xFF;
    if (!extended || osType < OSYS::OSTYPE_VISTA)
        return std::vector<unsigned char>(bytes, bytes + size);
    STRING font = DescribeMessageFont();
    LogPrint("LoadDialogTemplate %d message font %s\n", id, font.c_str());
    const char* dot = strchr(font.c_str(), '.');
    return RewriteDialogTemplate(bytes, size, osType, atoi(font.c_str()), dot ? dot + 1 : "");
}

HWND CreateFromTemplate(HMODULE module, int templateId, HWND parent, DLGPROC procedure, BASEWINDOW* object)
{
    if (!module)
        module = ToolkitResourceModule();
    std::vector<unsigned char> copy = LoadDialogTemplate(module, templateId);
    if (copy.empty())
        return nullptr;
    return CreateDialogIndirectParamA(module, reinterpret_cast<LPCDLGTEMPLATEA>(copy.data()), parent, procedure,
                                      reinterpret_cast<LPARAM>(object));
}

bool IsRoutedDialogMessage(UINT message)
{
    if (IsToolkitUserMessage(message))
        return true;
    switch (message) {
    case MSG_QUERYID:
    case WM_DESTROY:
    case WM_MOVE:
    case WM_SIZE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_CLOSE:
    case WM_ENDSESSION:
    case WM_SHOWWINDOW:
    case WM_NOTIFY:
    case WM_HELP:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
    case WM_COMMAND:
    case WM_TIMER:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_SIZING:
        return true;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------------------
// DIALOG

DIALOG::DIALOG(int templateId, HWND parent, HMODULE module)
{
    if (templateId == 0)
        return;
    WindowId = templateId;
    hWnd = CreateFromTemplate(module, templateId, parent, DialogProcedure, this);
    AutoDestroy = hWnd != nullptr;
    if (!TARVO_CHECK_FORMAT(hWnd != nullptr, "this->hWnd", "%lu", static_cast<unsigned long>(templateId)))
        return;
    if (!IsChild())
        CenterWindow(parent ? WINDOW(parent).GetTopLevel() : nullptr);
    if (GetWindowLongPtrA(hWnd, GWLP_ID) == 0)
        SetWindowLongPtrA(hWnd, GWLP_ID, templateId);
}

DIALOG::~DIALOG()
{
    // While this is still a DIALOG, so that WM_DESTROY takes the dialog routing.
    if (hWnd)
        Destroy();
}

int DIALOG::OnButton(int id)
{
    EndModal(id == IDCANCEL ? 0 : id);
    return 1;
}

int DIALOG::OnClose()
{
    EndModal(0);
    return 1;
}

INT_PTR CALLBACK DIALOG::DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG && lParam)
        WINPROCEDURE::LinkDialog(window, reinterpret_cast<BASEWINDOW*>(lParam));
    auto* dialog = static_cast<DIALOG*>(WINPROCEDURE::LinkedObject(window));
    if (!dialog)
        return 0;
    return WINPROCEDURE::Dispatch("DIALOG::DialogProcedure", *dialog, window, message, wParam, lParam,
                                  [&](LRESULT hooked) -> LRESULT {
                                      // WM_DESTROY reaches the dialog's own routing exactly once,
                                      // even when the hook claims it.
                                      if (message == WM_DESTROY) {
                                          INT_PTR result = dialog->DIALOG::DialogProc(message, wParam, lParam);
                                          return hooked ? hooked : result;
                                      }
                                      return hooked ? hooked : dialog->DialogProc(message, wParam, lParam);
                                  });
}

INT_PTR DIALOG::DialogProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (IsRoutedDialogMessage(message))
        return WINPROCEDURE::DialogAnswer(hWnd, message, WINDOW::WinProc(message, wParam, lParam));
    switch (message) {
    case WM_INITDIALOG: {
        if (!lParam) {
            OnCreate();
            return 1;
        }
        HWND item = GetDlgItem(hWnd, INIT_FOCUS_ITEM);
        if (!item)
            return 1;
        char text[128] = {};
        GetWindowTextA(item, text, sizeof(text));
        return strcmp(text, "WM_INITDIALOG:RC=0") == 0 ? 0 : 1;
    }
    case MSG_POSTCREATE:
        DialogProc(WM_INITDIALOG, 0, 0);
        return 0;
    default:
        return 0;
    }
}

int DIALOG::PreTranslateMessage(MSG*)
{
    return 0;
}

int DIALOG::IsDialogMessage(HWND dialog, MSG* message)
{
    return ::IsDialogMessageA(dialog, message);
}

int DIALOG::OnEndModal(INT_PTR)
{
    return 0;
}

INT_PTR DIALOG::RunModal(int keepVisibility)
{
    HWND owner = GetOwnerWindow();
    HWND parent = GetParentWindow();
    bool disabled = false;
    if (owner && IsWindow(owner) && !(IsChild() && owner == parent)) {
        EnableWindow(owner, FALSE);
        disabled = true;
    }
    if (!keepVisibility) {
        Show(SW_SHOWNORMAL);
        SetForeground(0);
    }
    INT_PTR result = ModalLoop();
    if (disabled)
        EnableWindow(owner, TRUE);
    if (!keepVisibility)
        Show(0);
    return result;
}

INT_PTR DIALOG::ModalLoop()
{
    MSG message;
    for (;;) {
        BOOL fetched = GetMessageA(&message, nullptr, 0, 0);
        if (fetched <= 0) {
            // A quit request (how the service asks its application to stop) ends the dialog
            // and goes on to the thread's main loop, as the system's own modal loops do.
            if (fetched == 0)
                PostQuitMessage(static_cast<int>(message.wParam));
            OnEndModal(0);
            return 0;
        }
        if (PreTranslateMessage(&message))
            continue;
        if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && (GetKeyState(VK_CONTROL) & 0x8000)) {
            // Ctrl+Tab goes to the dialog's own key handling, not to the dialog navigation.
            message.hwnd = hWnd;
        } else if (message.message != MSG_ENDMODAL && IsDialogMessage(hWnd, &message)) {
            continue;
        }
        if (GetHelpFile().PreTranslate(&message))
            continue;
        // Kept on purpose: the end message is dispatched before the loop ends, so it reaches
        // OnUserMessage like any other, and end messages after the first one reach the dialog
        // as ordinary messages once the loop has ended.
        MSG copy = message;
        TranslateMessage(&message);
        DispatchMessageA(&message);
        if (copy.message == MSG_ENDMODAL && copy.hwnd == hWnd) {
            OnEndModal(static_cast<INT_PTR>(copy.wParam));
            return static_cast<INT_PTR>(copy.wParam);
        }
    }
}

int DIALOG::EndModal(INT_PTR result)
{
    return PostMessage(MSG_ENDMODAL, static_cast<WPARAM>(result));
}
