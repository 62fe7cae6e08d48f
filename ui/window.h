// The window classes of the toolkit:
//   BASEWINDOW  - the native handle, its control id and hook; window creation and the one
//                 static window procedure that finds the object behind a handle
//   WINDOW      - the routing of every message to a typed virtual handler, the window
//                 operations, and the static message pumps
//   CHILDWINDOW - a child window, or a child dialog built from a dialog template
// The plain-logic pieces of the routing are in ui/winrouting.h; the window-system utilities
// that need no window object in ui/winutil.h.
#pragma once

#include <windows.h>

#include <cstdint>

#include "text/strings.h"

class CONTROL;
class STRINGARRAY;
struct KEYEVENT;

// Private window messages of the toolkit, in the application range above WM_USER.
constexpr UINT MSG_ENDMODAL = 0x4F1;   // ends the modal loop of its window; wParam is the result
constexpr UINT MSG_QUERYID = 0x4F3;    // wParam points to an int that receives the WindowId
constexpr UINT MSG_POSTCREATE = 0x501; // posted during creation; its handling runs OnCreate
// The range that reaches OnUserMessage: above WM_USER up to this one, MSG_QUERYID excepted.
constexpr UINT MSG_USER_LAST = 0x500;

inline bool IsToolkitUserMessage(UINT message)
{
    return message > WM_USER && message <= MSG_USER_LAST && message != MSG_QUERYID;
}

// What an OnNotify handler answers to a tab control's "selection changing" (-552) or an
// up-down's "position change" (-722) to stop the change. Any other answer, "handled" (1)
// included, lets the control go on.
constexpr int NOTIFY_REFUSE_CHANGE = -1;

// A message hook: sees every message of its window before the routing; its result is or-ed
// into the routing's result.
using WINDOWHOOK = LRESULT (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class BASEWINDOW {
public:
    HWND hWnd = nullptr;     // null while no window is attached
    int WindowId = -1;       // the native control id; -1 without a window
    WINDOWHOOK Hook = nullptr; // cleared when the window handles WM_DESTROY

    // Routes one message of the window; the value is the window procedure's result.
    virtual LRESULT WinProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual ~BASEWINDOW();
    // Destroys the native window if any and clears hWnd; the platform's result, 0 without a window.
    virtual int Destroy();

    // Registers the class (unless name is given and already registered) and creates the window
    // linked to this object; true when a window was created.
    bool Create(DWORD style, const char* title, int x, int y, int width, int height, HWND parent, int id,
                int menuId, const char* className, HCURSOR cursor);
    // A class procedure with 4 extra window bytes, the light-grey stock brush and the icon chain
    // of iconId; fails when the class is registered already.
    static bool RegisterWindowClass(const char* name, WNDPROC procedure, UINT classStyle, int iconId,
                                    HCURSOR cursor);
    // The procedure of every class that Create registers.
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    BASEWINDOW() = default;
    BASEWINDOW(const BASEWINDOW&) = default;
    BASEWINDOW& operator=(const BASEWINDOW&) = delete;
};

// Lifetime: a window that routes to its object must be gone before the object is. The WINDOW
// destructor destroys a window it owns (AutoDestroy), but by then the derived parts of the
// object are destroyed and WM_DESTROY reaches only WINDOW's own handlers: a class whose
// handlers must see it destroys the window in its own destructor, as DIALOG does. A window
// still linked to the object after its destructor (one it does not own) is a fault: a check
// reports it and the link is cut.
class WINDOW : public BASEWINDOW {
public:
    int AutoDestroy = 0; // set when a constructor created the native window: the destructor destroys it

    WINDOW();
    // Attaches to a window it does not own; WindowId from GWL_ID, else asked with MSG_QUERYID.
    explicit WINDOW(HWND handle);
    // Attaches to the other's window (no ownership, no hook).
    WINDOW(const WINDOW& other);
    WINDOW& operator=(const WINDOW&) = delete;
    // Creates and owns a window (BASEWINDOW::Create).
    WINDOW(DWORD style, const char* title, int x, int y, int width, int height, HWND parent = nullptr, int id = 0,
           int menuId = 0, const char* className = nullptr, HCURSOR cursor = nullptr);

    // Handlers: each returns non-zero when it handled the message (that value goes to the
    // system), 0 to let the platform default run.
    LRESULT WinProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    ~WINDOW() override;
    // After creation, once the object is complete (MSG_POSTCREATE).
    virtual int OnCreate();
    // The window became active / inactive.
    virtual int OnActivate();
    virtual int OnDeactivate();
    // A menu item or an accelerator was chosen.
    virtual int OnMenuCommand(int id);
    // A push button was clicked.
    virtual int OnButton(int id);
    // A control reports an event: code 0 for a click of a non-push button, the command code
    // of other commands, or the notification code; value as the routing table gives it.
    // NOTIFY_REFUSE_CHANGE refuses a tab change or an up-down move.
    virtual int OnNotify(int code, CONTROL& sender, intptr_t value);
    // A scroll bar moved (code 4 with the range ends for top and bottom).
    virtual int OnScroll(int code, CONTROL& scrollbar, int position);
    // A key event of the keyboard-mapping object.
    virtual int OnKey(const KEYEVENT* event);
    // An input-language or composition message; non-zero: its result, no further handling.
    virtual LRESULT OnImeMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // A timer of SetTimer expired.
    virtual int OnTimer(UINT_PTR id);
    // The window moved / was resized.
    virtual int OnMove();
    virtual int OnSize();
    // The user drags an edge (mask: left 1, right 2, top 4, bottom 8); rect may be changed.
    virtual int OnSizing(RECT* rect, int edges);
    // The window is being shown / hidden.
    virtual int OnShow();
    virtual int OnHide();
    // The window gained / lost the keyboard focus.
    virtual int OnSetFocus();
    virtual int OnKillFocus();
    // The window was minimized / restored.
    virtual int OnMinimize();
    virtual int OnRestore();
    // A mouse message at client x, y; flags are the key flags, or the notches for the wheel.
    virtual int OnMouse(UINT message, int x, int y, int flags);
    // Files were dropped on the window.
    virtual int OnDropFiles(int count, STRINGARRAY& files);
    // The frame needs painting.
    virtual int OnNcPaint();
    // The window is asked to close.
    virtual int OnClose();
    // The native window is being destroyed.
    virtual int OnDestroy();
    // A message from 0x401 to 0x500 other than MSG_QUERYID.
    virtual LRESULT OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Never called; keeps the places of the handlers after it.
    virtual int OnReserved(int a, int b, int c);
    // Paints the client area; the default fills it with the button shadow colour and returns 1.
    virtual int OnPaint();
    // Context help for the focus, this window's id or this window, else the default topic.
    virtual int OnHelp();
    // The session ends; the default posts WM_CLOSE to the window and returns 0.
    virtual int OnEndSession();

    HWND Hwnd() const { return hWnd; }
    bool IsValid() const;
    bool IsChild() const;
    DWORD GetStyle() const;
    void SetStyle(DWORD style);
    void AddStyle(DWORD bits);
    void RemoveStyle(DWORD bits);
    DWORD GetExStyle() const;
    void SetExStyle(DWORD style);
    void AddExStyle(DWORD bits);
    void RemoveExStyle(DWORD bits);

    // Non-zero shows (a minimized window restored, a maximized one kept maximized), 0 hides.
    int Show(int command);
    int Minimize();
    int Maximize();
    int Restore();
    int ShowHide(int show);
    int Enable(int flag);
    bool IsEnabled() const;
    HWND SetFocus();
    bool HasFocus() const;
    bool IsForeground() const;
    int Invalidate();
    // Redraws the window and all its children now.
    int UpdateNow();

    // Texts go through the wide functions; 8-bit text is in the system code page.
    int SetText(const char* text);
    int SetTextW(const wchar_t* text);
    STRING GetText() const;
    // At most size - 1 bytes, always terminated; returns the bytes copied.
    int GetText(char* buffer, int size) const;
    // At most n - 1 characters, always terminated; returns the characters copied.
    int GetTextW(wchar_t* buffer, int n) const;

    // Timers without callback: expiry reaches OnTimer (id).
    int SetTimer(UINT_PTR id, UINT milliseconds);
    int KillTimer(UINT_PTR id);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    // The window rectangle, in the parent's client coordinates for a child; without a window
    // the desktop work area.
    RECT GetRect() const;
    RECT GetClientRect() const;
    // -1 for width or height keeps the current size.
    int Move(int x, int y, int width = -1, int height = -1);
    int SetRect(const RECT& rect);
    RECT ClientToWindowRect(const RECT& client) const;
    RECT WindowToClientRect(const RECT& window) const;
    static RECT ClientToWindowRect(const RECT& client, DWORD style, DWORD exStyle, bool menu);
    static RECT WindowToClientRect(const RECT& window, DWORD style, DWORD exStyle, bool menu);
    // With force, retries while attached to the input of the foreground window's thread.
    int SetForeground(int force);
    // -1 bottom, else top; with a reference window only +1 (directly after it).
    int SetZOrder(int topbottom, HWND after = nullptr);
    HWND GetParentWindow() const;
    // A child's top-level ancestor, else the native owner.
    HWND GetOwnerWindow() const;
    // The first window up the parent chain without WS_CHILD.
    HWND GetTopLevel() const;
    // Centres over other (the desktop when null or hidden), kept on the desktop.
    int CenterWindow(HWND other);
    // The work area with one monitor, the virtual screen with several.
    static RECT GetDesktopRect();
    // The themed dialog texture when the program has a manifest; always WS_EX_CONTROLPARENT.
    int EnableThemeTexture();

    // Dialog items through a temporary CONTROL; 0 (-1 for the check state) when missing.
    int SetItemText(int id, const char* text);
    int SetItemTextW(int id, const wchar_t* text);
    STRING GetItemText(int id);
    int GetItemText(int id, char* buffer, int size);
    int GetItemTextW(int id, wchar_t* buffer, int n);
    int ShowItem(int id, int show);
    int EnableItem(int id, int flag);
    int GetItemCheck(int id);
    int SetItemCheck(int id, int state);
    // Focuses the first tab stop (not static, not an automatic radio button) or checked
    // button in Z order; its WindowId, 0 when none.
    int FocusFirstItem();

    int AcceptFiles(int flag);
    // Maps this window's id to a help topic of the help file.
    void SetHelpTopic(int topic);
    static void SetStandardCursor(int id);
    static void SetWaitCursor();
    // Moves the mouse to where it is, so that the cursor shape is asked for again.
    static void NudgeMouse();

    // Dispatches up to n pending messages of the calling thread; returns n minus the number dispatched.
    static int WinProcessMessages(int n);
    // Waits ms milliseconds in 100 ms steps, dispatching up to 42 messages after each step.
    static void Sleep(int milliseconds);
    // Waits for a kernel object while dispatching messages (up to 10 per wake-up);
    // 1 when it was signalled, 0 on time-out or failure.
    static int WinWaitForSingleObject(HANDLE handle, DWORD milliseconds);

    // The millisecond clock: milliseconds since its base (taken at the first reading).
    static uint64_t Milliseconds();
    static void ResetClock();

    // Effects and position memory (ui/wineffects.cpp); the window-system utilities that need no
    // window are in ui/winutil.h.
    // Visible, and its rectangle overlaps the desktop rectangle.
    bool IsOnScreen() const;
    // Alpha (clamped to 0..255) below 255 layers the window: the whole window at that alpha when
    // colourKey is -1, else pixels of colourKey transparent; 255 removes the layering. 1 when done,
    // 0 when the system cannot layer windows.
    int SetTransparency(int alpha, int colourKey = -1);
    // Shows (show non-zero) or hides the window with the animation flags over milliseconds; a
    // plain Show with flags 0 or when the system cannot animate. Returns 1.
    int Animate(DWORD flags, DWORD milliseconds, int show);
    // Keeps the rectangle (the normal one when maximized) and the maximized state under the
    // current user's "Software\Tarvo\" + key; 0 when the window is not on screen or a write failed.
    int StoreWindowPos(const char* key, const char* valueName);
    // Applies a stored rectangle that starts on the desktop (only its origin with keepSize), then
    // maximizes when that was stored; 1 when the rectangle was applied.
    int RestoreWindowPos(const char* key, const char* valueName, bool keepSize);

private:
    LRESULT RouteCommand(WPARAM wParam, LPARAM lParam);
    LRESULT RouteNotify(const NMHDR* header, LPARAM lParam);
    LRESULT RouteScroll(WPARAM wParam, LPARAM lParam);
    LRESULT RouteWheel(WPARAM wParam, LPARAM lParam);
    LRESULT RouteDropFiles(WPARAM wParam);
};

class CHILDWINDOW : public WINDOW {
public:
    // A child window of class "TalmirChildWindow" (or className), empty title.
    CHILDWINDOW(HWND parent, DWORD style, int x, int y, int width, int height, int id,
                const char* className = nullptr, HCURSOR cursor = nullptr);
    // A child dialog from a template of module (the resource module when null), given the
    // control id.
    CHILDWINDOW(HWND parent, int templateId, int controlId, HMODULE module = nullptr);
    ~CHILDWINDOW() override;

    // The procedure of child dialogs: links on WM_INITDIALOG, then routes as a dialog does.
    static INT_PTR CALLBACK ChildDialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
