// BASEWINDOW and WINDOW: window classes and creation, the objects' construction and lifetime,
// and the default handlers.
#include "ui/window.h"

#include <cstdio>

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/processvalues.h"
#include "ui/helpfile.h"
#include "ui/modules.h"
#include "ui/winprocedure.h"

namespace {

int classCounter = 0;

} // namespace

HMODULE ToolkitResourceModule()
{
    HMODULE module = TarvoResourceModule();
    return module ? module : GetModuleHandleA(nullptr);
}

HINSTANCE ToolkitProgramModule()
{
    HINSTANCE instance = TarvoInstance();
    return instance ? instance : GetModuleHandleA(nullptr);
}

// ---------------------------------------------------------------------------------------
// BASEWINDOW

BASEWINDOW::~BASEWINDOW() = default;

int BASEWINDOW::Destroy()
{
    if (!hWnd)
        return 0;
    int result = DestroyWindow(hWnd);
    hWnd = nullptr;
    return result;
}

bool BASEWINDOW::RegisterWindowClass(const char* name, WNDPROC procedure, UINT classStyle, int iconId,
                                     HCURSOR cursor)
{
    HMODULE resources = ToolkitResourceModule();
    HICON icon = nullptr;
    if (iconId > 0 && iconId <= 0xFFFF)
        icon = LoadIconA(resources, MAKEINTRESOURCEA(iconId));
    if (!icon)
        icon = LoadIconA(ToolkitProgramModule(), MAKEINTRESOURCEA(1));
    if (!icon)
        icon = LoadIconA(resources, MAKEINTRESOURCEA(1));
    if (!icon)
        icon = LoadIconA(nullptr, IDI_APPLICATION);
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = classStyle;
    windowClass.lpfnWndProc = procedure;
    windowClass.cbWndExtra = 4;
    windowClass.hInstance = resources;
    windowClass.hIcon = icon;
    windowClass.hCursor = cursor ? cursor : LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    windowClass.lpszClassName = name;
    return RegisterClassExA(&windowClass) != 0;
}

bool BASEWINDOW::Create(DWORD style, const char* title, int x, int y, int width, int height, HWND parent, int id,
                        int menuId, const char* className, HCURSOR cursor)
{
    hWnd = nullptr;
    Hook = nullptr;
    WindowId = id;
    char generated[32];
    if (!className) {
        snprintf(generated, sizeof(generated), "AppWindow%d", classCounter++);
        className = generated;
    }
    // A class of that name may be registered already: its registration then fails, harmlessly.
    RegisterWindowClass(className, WindowProcedure, CS_OWNDC, WindowId, cursor);
    HMODULE resources = ToolkitResourceModule();
    HMENU menu = nullptr;
    bool ownMenu = false;
    if (style & WS_CHILD) {
        menu = reinterpret_cast<HMENU>(static_cast<intptr_t>(id));
    } else if (menuId > 0 && menuId <= 0xFFFF) {
        menu = LoadMenuA(resources, MAKEINTRESOURCEA(menuId));
        ownMenu = menu != nullptr;
    }
    HWND created = CreateWindowExA(0, className, title, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, x, y, width,
                                   height, parent, menu, resources, this);
    hWnd = created;
    if (!created) {
        if (ownMenu)
            DestroyMenu(menu);
        return false;
    }
    RECT client = {};
    ::GetClientRect(created, &client);
    if ((width == CW_USEDEFAULT && client.right <= client.left) ||
        (height == CW_USEDEFAULT && client.bottom <= client.top))
        MoveWindow(created, 32, 32, 600, 400, TRUE);
    return true;
}

// ---------------------------------------------------------------------------------------
// WINDOW: construction

WINDOW::WINDOW() = default;

WINDOW::WINDOW(HWND handle)
{
    hWnd = handle;
    Hook = nullptr;
    if (!handle)
        return;
    WindowId = static_cast<int>(GetWindowLongPtrA(handle, GWLP_ID));
    if (WindowId == 0) {
        int id = 0;
        ::SendMessageA(handle, MSG_QUERYID, reinterpret_cast<WPARAM>(&id), 0);
        WindowId = id;
    }
}

WINDOW::WINDOW(const WINDOW& other) : BASEWINDOW()
{
    hWnd = other.hWnd;
    WindowId = other.WindowId;
}

WINDOW::WINDOW(DWORD style, const char* title, int x, int y, int width, int height, HWND parent, int id, int menuId,
               const char* className, HCURSOR cursor)
{
    AutoDestroy = 1;
    Create(style, title, x, y, width, height, parent, id, menuId, className, cursor);
}

WINDOW::~WINDOW()
{
    HWND window = hWnd;
    if (AutoDestroy) {
        if (LogIsEnabled())
            LogPrint("WINDOW::~WINDOW auto-destroying %s %d\n", GetText().c_str(), WindowId);
        BASEWINDOW::Destroy();
    }
    // A window still linked to this object (not destroyed here, or its destruction refused, as
    // for a window of another thread) would route its next message to freed memory: report the
    // fault and cut the link, so that the window goes on with the system's default handling.
    bool linked = window && IsWindow(window) && WINPROCEDURE::LinkedObject(window) == this;
    TARVO_CHECK(!linked, "!IsWindow(this->hWnd)", nullptr);
    if (linked)
        WINPROCEDURE::Unlink(window, this);
    hWnd = nullptr;
}

// ---------------------------------------------------------------------------------------
// WINDOW: default handlers

int WINDOW::OnCreate() { return 0; }
int WINDOW::OnActivate() { return 0; }
int WINDOW::OnDeactivate() { return 0; }
int WINDOW::OnMenuCommand(int) { return 0; }
int WINDOW::OnButton(int) { return 0; }
int WINDOW::OnNotify(int, CONTROL&, intptr_t) { return 0; }
int WINDOW::OnScroll(int, CONTROL&, int) { return 0; }
int WINDOW::OnKey(const KEYEVENT*) { return 0; }
LRESULT WINDOW::OnImeMessage(UINT, WPARAM, LPARAM) { return 0; }
int WINDOW::OnTimer(UINT_PTR) { return 0; }
int WINDOW::OnMove() { return 0; }
int WINDOW::OnSize() { return 0; }
int WINDOW::OnSizing(RECT*, int) { return 0; }
int WINDOW::OnShow() { return 0; }
int WINDOW::OnHide() { return 0; }
int WINDOW::OnSetFocus() { return 0; }
int WINDOW::OnKillFocus() { return 0; }
int WINDOW::OnMinimize() { return 0; }
int WINDOW::OnRestore() { return 0; }
int WINDOW::OnMouse(UINT, int, int, int) { return 0; }
int WINDOW::OnDropFiles(int, STRINGARRAY&) { return 0; }
int WINDOW::OnNcPaint() { return 0; }
int WINDOW::OnClose() { return 0; }
int WINDOW::OnDestroy() { return 0; }
LRESULT WINDOW::OnUserMessage(UINT, WPARAM, LPARAM) { return 0; }
int WINDOW::OnReserved(int, int, int) { return 0; }

int WINDOW::OnPaint()
{
    PAINTSTRUCT paint;
    if (HDC dc = BeginPaint(hWnd, &paint)) {
        RECT client = {};
        ::GetClientRect(hWnd, &client);
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNSHADOW));
        EndPaint(hWnd, &paint);
    }
    return 1;
}

int WINDOW::OnHelp()
{
    HELPFILE& help = GetHelpFile();
    if (!help.HasFile())
        return 0;
    HWND focus = GetFocus();
    int result = focus && IsWindow(focus) ? help.ShowHelpForWindow(focus) : 0;
    if (!result)
        result = help.ShowTopic(static_cast<unsigned long>(WindowId));
    if (!result)
        result = help.ShowHelpForWindow(hWnd);
    if (!result && help.GetDefaultTopic() != -1)
        result = help.ShowTopic(static_cast<unsigned long>(help.GetDefaultTopic()));
    return result;
}

int WINDOW::OnEndSession()
{
    PostMessage(WM_CLOSE);
    return 0;
}
