// The routing of WINDOW: the static window procedure, WinProc and its decoding of each
// message into the typed handlers, and the plain logic it rests on.
#include "ui/winrouting.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/handles.h"
#include "osys/osys_win32.h"
#include "text/stringarray.h"
#include "ui/control.h"
#include "ui/keyboard.h"
#include "ui/window.h"
#include "ui/winprocedure.h"

namespace {

// The id that some dialog templates give their help button: -4 as a 16-bit word.
constexpr int HELP_BUTTON_WORD = 0xFFFC;
// The file index that asks a drop for its number of files.
constexpr UINT DROP_COUNT_QUERY = 0xFFFFFFFF;

// The wheel goes to the focus window of one thread at a time, and the accumulator drops its
// remainder when the window changes: one state per thread.
thread_local WHEELSTATE wheel;

// The drop functions live in shell32, which is bound at first use: a program that never
// accepts dropped files does not load it at its start.
struct SHELLDROP {
    UniqueModule module;
    void(WINAPI* acceptFiles)(HWND, BOOL) = nullptr;
    UINT(WINAPI* queryFile)(HDROP, UINT, wchar_t*, UINT) = nullptr;
    void(WINAPI* finish)(HDROP) = nullptr;

    SHELLDROP() : module(OSYS::LoadSystemLibrary("shell32.dll"))
    {
        acceptFiles = OSYS::GetFunction<decltype(acceptFiles)>(module.get(), "DragAcceptFiles");
        queryFile = OSYS::GetFunction<decltype(queryFile)>(module.get(), "DragQueryFileW");
        finish = OSYS::GetFunction<decltype(finish)>(module.get(), "DragFinish");
    }
};

SHELLDROP& ShellDrop()
{
    static SHELLDROP shell;
    return shell;
}

} // namespace

// ---------------------------------------------------------------------------------------
// Plain logic of the routing

int AccumulateWheel(WHEELSTATE& state, HWND window, int delta)
{
    bool turned = (delta > 0 && state.accumulated < 0) || (delta < 0 && state.accumulated > 0);
    if (state.accumulated != 0 && (state.lastWindow != window || turned)) {
        state.accumulated = 0;
        state.lastWindow = nullptr;
    }
    state.accumulated += delta;
    int notches = state.accumulated / WHEEL_DELTA;
    state.accumulated -= notches * WHEEL_DELTA;
    state.lastWindow = window;
    return notches;
}

int SizingEdgeMask(WPARAM edge)
{
    constexpr int LEFT = 1, RIGHT = 2, TOP = 4, BOTTOM = 8;
    switch (edge) {
    case WMSZ_LEFT:
        return LEFT;
    case WMSZ_RIGHT:
        return RIGHT;
    case WMSZ_TOP:
        return TOP;
    case WMSZ_TOPLEFT:
        return TOP | LEFT;
    case WMSZ_TOPRIGHT:
        return TOP | RIGHT;
    case WMSZ_BOTTOM:
        return BOTTOM;
    case WMSZ_BOTTOMLEFT:
        return BOTTOM | LEFT;
    case WMSZ_BOTTOMRIGHT:
        return BOTTOM | RIGHT;
    default:
        return 0;
    }
}

bool MapScrollCode(int& code, int& position, int minimum, int maximum)
{
    if (code == SB_ENDSCROLL)
        return false;
    if (code == SB_TOP || code == SB_BOTTOM) {
        position = code == SB_TOP ? minimum : maximum;
        code = SB_THUMBPOSITION;
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// The static window procedure

LRESULT CALLBACK BASEWINDOW::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE && lParam) {
        if (auto* object = static_cast<BASEWINDOW*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams))
            WINPROCEDURE::Link(window, object);
    }
    BASEWINDOW* object = WINPROCEDURE::LinkedObject(window);
    if (!object)
        return DefWindowProcA(window, message, wParam, lParam);
    // WM_DESTROY reaches the routing once, whatever the hook answered: the routing's result is
    // always or-ed with the hook's.
    return WINPROCEDURE::Dispatch("BASEWINDOW::WindowProcedure", *object, window, message, wParam, lParam,
                                  [&](LRESULT hooked) { return object->WinProc(message, wParam, lParam) | hooked; });
}

// ---------------------------------------------------------------------------------------
// WINDOW: the routing

LRESULT WINDOW::WinProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (IsToolkitUserMessage(message)) {
        result = OnUserMessage(message, wParam, lParam);
    } else {
        switch (message) {
        case WM_CREATE:
            // The creating call is still running: OnCreate waits until the object is complete.
            if (lParam)
                ::PostMessageA(hWnd, MSG_POSTCREATE, 0, 0);
            else
                result = OnCreate();
            break;
        case WM_DESTROY:
            result = OnDestroy();
            Hook = nullptr;
            break;
        case WM_MOVE:
            result = OnMove();
            break;
        case WM_SIZE:
            if (wParam == SIZE_MINIMIZED) {
                result = OnMinimize();
            } else {
                if (wParam == SIZE_RESTORED)
                    OnRestore();
                result = OnSize();
            }
            break;
        case WM_ACTIVATE:
            result = LOWORD(wParam) == WA_INACTIVE ? OnDeactivate() : OnActivate();
            break;
        case WM_SETFOCUS:
            result = OnSetFocus();
            break;
        case WM_KILLFOCUS:
            result = OnKillFocus();
            break;
        case WM_PAINT:
            result = OnPaint();
            break;
        case WM_CLOSE:
            result = OnClose();
            break;
        case WM_QUERYENDSESSION:
        case WM_ERASEBKGND:
            return 1;
        case WM_ENDSESSION:
            if (wParam)
                result = OnEndSession();
            break;
        case WM_SHOWWINDOW:
            result = wParam ? OnShow() : OnHide();
            break;
        case WM_NOTIFY:
            if (lParam)
                result = RouteNotify(reinterpret_cast<const NMHDR*>(lParam), lParam);
            break;
        case WM_INPUTLANGCHANGE:
        case WM_IME_STARTCOMPOSITION:
        case WM_IME_COMPOSITION:
            result = OnImeMessage(message, wParam, lParam);
            if (result)
                return result;
            result = KEYBOARD::HandleImeMessage(*this, message, wParam, lParam);
            break;
        case WM_HELP:
            result = OnHelp();
            break;
        case WM_NCPAINT:
            result = OnNcPaint();
            break;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CHAR:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
        case WM_SYSCHAR:
        case WM_IME_CHAR: {
            KEYEVENT event;
            if (KEYBOARD::Translate(message, wParam, lParam, &event))
                result = OnKey(&event);
            break;
        }
        case WM_COMMAND:
            result = RouteCommand(wParam, lParam);
            break;
        case WM_TIMER:
            result = OnTimer(wParam);
            break;
        case WM_HSCROLL:
        case WM_VSCROLL:
            result = RouteScroll(wParam, lParam);
            break;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_MBUTTONDBLCLK:
            result = OnMouse(message, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), static_cast<int>(wParam));
            break;
        case WM_MOUSEWHEEL:
            result = RouteWheel(wParam, lParam);
            break;
        case WM_SIZING:
            result = OnSizing(reinterpret_cast<RECT*>(lParam), SizingEdgeMask(wParam));
            break;
        case WM_DROPFILES:
            result = RouteDropFiles(wParam);
            break;
        case MSG_QUERYID:
            if (wParam)
                *reinterpret_cast<int*>(wParam) = WindowId;
            break;
        case MSG_POSTCREATE:
            WinProc(WM_CREATE, 0, 0);
            break;
        default:
            break;
        }
    }
    if (result)
        return result;
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

LRESULT WINDOW::RouteCommand(WPARAM wParam, LPARAM lParam)
{
    int id = LOWORD(wParam);
    int code = HIWORD(wParam);
    // Without a control, the code tells a menu item (0) from an accelerator (1).
    constexpr int FROM_MENU = 0, FROM_ACCELERATOR = 1;
    if (lParam == 0 && (code == FROM_MENU || code == FROM_ACCELERATOR))
        return OnMenuCommand(id);
    CONTROL sender(reinterpret_cast<HWND>(lParam), -1);
    switch (code) {
    case BN_CLICKED: {
        LRESULT result = 0;
        if (sender.IsButton())
            result = (id == IDHELP || id == HELP_BUTTON_WORD) ? OnHelp() : OnButton(id);
        if (!result)
            result = OnNotify(0, sender, 0);
        return result;
    }
    // A list box's codes; a combo box sends the same numbers for its own events.
    case LBN_SELCHANGE:
    case LBN_DBLCLK:
    case LBN_SETFOCUS:
    case LBN_KILLFOCUS:
    case EN_KILLFOCUS:
    case EN_CHANGE:
        return OnNotify(code, sender, 0);
    default:
        return 0;
    }
}

namespace {

// The answer a control takes for a change it asked about: TRUE stops it.
LRESULT ChangeAnswer(int handlerResult)
{
    return handlerResult == NOTIFY_REFUSE_CHANGE ? TRUE : FALSE;
}

} // namespace

LRESULT WINDOW::RouteNotify(const NMHDR* header, LPARAM lParam)
{
    // The notification codes as the signed numbers the handlers receive.
    constexpr int CLICKED_TWICE = static_cast<int>(NM_DBLCLK), RETURN_KEY = static_cast<int>(NM_RETURN),
                  RIGHT_CLICK = static_cast<int>(NM_RCLICK);
    constexpr int LIST_ITEM_CHANGED = static_cast<int>(LVN_ITEMCHANGED),
                  LIST_COLUMN_CLICK = static_cast<int>(LVN_COLUMNCLICK), LIST_KEY_DOWN = static_cast<int>(LVN_KEYDOWN);
    constexpr int TAB_SELECTION_CHANGED = static_cast<int>(TCN_SELCHANGE),
                  TAB_SELECTION_CHANGING = static_cast<int>(TCN_SELCHANGING);
    constexpr int TREE_SELECTION_CHANGED = static_cast<int>(TVN_SELCHANGEDA),
                  UPDOWN_POSITION = static_cast<int>(UDN_DELTAPOS), TOOLTIP_TEXT = static_cast<int>(TTN_GETDISPINFOA);
    int code = static_cast<int>(header->code);
    CONTROL sender(header->hwndFrom, -1);
    if (sender.IsListView()) {
        switch (code) {
        case CLICKED_TWICE:
        case RETURN_KEY:
        case RIGHT_CLICK:
        case LIST_ITEM_CHANGED:
            return OnNotify(code, sender, 0);
        case LIST_COLUMN_CLICK: {
            auto* column = reinterpret_cast<const NMLISTVIEW*>(lParam);
            TARVO_CHECK(column->iItem == -1, "pnm->iItem==-1", nullptr);
            return OnNotify(code, sender, column->iSubItem);
        }
        case LIST_KEY_DOWN:
            return OnNotify(code, sender, lParam);
        default:
            return 0;
        }
    }
    if (sender.IsTabControl()) {
        if (code == TAB_SELECTION_CHANGED)
            return OnNotify(code, sender, 0);
        // Answering 1 here would refuse every tab change: only the program's handler may.
        return code == TAB_SELECTION_CHANGING ? ChangeAnswer(OnNotify(code, sender, 0)) : 0;
    }
    if (sender.IsTreeView())
        return code == TREE_SELECTION_CHANGED ? OnNotify(code, sender, 0) : 0;
    if (code == UPDOWN_POSITION) {
        auto* change = reinterpret_cast<const NMUPDOWN*>(lParam);
        return ChangeAnswer(OnNotify(code, sender, change->iPos + change->iDelta));
    }
    if (code == TOOLTIP_TEXT)
        return OnNotify(code, sender, lParam);
    return 0;
}

LRESULT WINDOW::RouteScroll(WPARAM wParam, LPARAM lParam)
{
    int code = LOWORD(wParam);
    int position = HIWORD(wParam);
    CONTROL scrollbar(reinterpret_cast<HWND>(lParam), -1);
    int minimum = 0, maximum = 100;
    if (!scrollbar.hWnd || !GetScrollRange(scrollbar.hWnd, SB_CTL, &minimum, &maximum)) {
        minimum = 0;
        maximum = 100;
    }
    if (!MapScrollCode(code, position, minimum, maximum))
        return 0;
    return OnScroll(code, scrollbar, position);
}

LRESULT WINDOW::RouteWheel(WPARAM wParam, LPARAM lParam)
{
    POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(hWnd, &point);
    int notches = AccumulateWheel(wheel, hWnd, GET_WHEEL_DELTA_WPARAM(wParam));
    LogPrint("WINDOW::WinProc WM_MOUSEWHEEL %08x %08x %d %d\n", static_cast<unsigned>(wParam),
             static_cast<unsigned>(lParam), wheel.accumulated + notches * WHEEL_DELTA, notches);
    return OnMouse(WM_MOUSEWHEEL, static_cast<short>(point.x), static_cast<short>(point.y), notches);
}

LRESULT WINDOW::RouteDropFiles(WPARAM wParam)
{
    auto drop = reinterpret_cast<HDROP>(wParam);
    SHELLDROP& shell = ShellDrop();
    if (!shell.queryFile || !shell.finish)
        return 0;
    int count = static_cast<int>(shell.queryFile(drop, DROP_COUNT_QUERY, nullptr, 0));
    STRINGARRAY files;
    for (int i = 0; i < count; i++) {
        wchar_t name[MAX_PATH] = {};
        shell.queryFile(drop, static_cast<UINT>(i), name, MAX_PATH);
        files.Add(STRING(name, UNICODE_CPSYSTEM));
    }
    LRESULT result = OnDropFiles(count, files);
    shell.finish(drop);
    return result;
}

// ---------------------------------------------------------------------------------------
// Dropped files

int WINDOW::AcceptFiles(int flag)
{
    SHELLDROP& shell = ShellDrop();
    if (!hWnd || !shell.acceptFiles)
        return 0;
    shell.acceptFiles(hWnd, flag ? TRUE : FALSE);
    return 1;
}
