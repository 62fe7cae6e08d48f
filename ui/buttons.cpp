#include "ui/buttons.h"

#include "ui/controlsupport.h"
#include "ui/winutil.h"

namespace {

constexpr DWORD CHECKBOX_STYLE = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | WS_CHILD;       // 0x50010003
constexpr DWORD PUSHBUTTON_STYLE = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | WS_CHILD;       // 0x50010000
constexpr DWORD RADIOBUTTON_STYLE = WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON | WS_CHILD; // 0x50010009

int CheckAndNotify(CONTROL& button, int state)
{
    button.SendMessage(BM_SETCHECK, static_cast<WPARAM>(state));
    return static_cast<int>(SendCommandToParent(button, BN_CLICKED));
}

// The image list colour flag of the display: 16, 24 or 32 bits when it has exactly that many
// bits per pixel, else 8.
UINT DisplayColourFlag()
{
    switch (WINUTIL::DisplayDepth()) {
    case 16:
        return ILC_COLOR16;
    case 24:
        return ILC_COLOR24;
    case 32:
        return ILC_COLOR32;
    default:
        return ILC_COLOR8;
    }
}

} // namespace

CHECKBOX::CHECKBOX(HWND parent, int id) : CONTROL(parent, id) {}

CHECKBOX::CHECKBOX(HWND parent, int id, DWORD style, int x, int y, int width, int height, const char* title,
                   DWORD exStyle)
    : CONTROL(parent, id, "Button", style | CHECKBOX_STYLE, x, y, width, height, title, exStyle)
{
}

CHECKBOX::CHECKBOX(HWND parent, int id, DWORD style, int placeholderId, const char* title, DWORD exStyle)
    : CONTROL(parent, id, "Button", style | CHECKBOX_STYLE, placeholderId, title, exStyle)
{
}

int CHECKBOX::SetCheck(int state)
{
    return CheckAndNotify(*this, state);
}

PUSHBUTTON::PUSHBUTTON(HWND parent, int id) : CONTROL(parent, id) {}

PUSHBUTTON::PUSHBUTTON(HWND parent, int id, DWORD style, int x, int y, int width, int height, const char* title,
                       DWORD exStyle)
    : CONTROL(parent, id, "Button", style | PUSHBUTTON_STYLE, x, y, width, height, title, exStyle)
{
}

PUSHBUTTON::PUSHBUTTON(HWND parent, int id, DWORD style, int placeholderId, const char* title, DWORD exStyle)
    : CONTROL(parent, id, "Button", style | PUSHBUTTON_STYLE, placeholderId, title, exStyle)
{
}

// The image list goes (as a member) before the window, which the base destructor destroys.
PUSHBUTTON::~PUSHBUTTON() = default;

LRESULT PUSHBUTTON::Click()
{
    return SendCommandToParent(*this, BN_CLICKED);
}

LRESULT PUSHBUTTON::SetButtonStyle(DWORD style)
{
    return SendMessage(BM_SETSTYLE, style, TRUE);
}

int PUSHBUTTON::SetDefault(int flag)
{
    DWORD style = GetStyle();
    DWORD type = style & BS_TYPEMASK;
    DWORD newStyle;
    if (flag) {
        if (type == BS_DEFPUSHBUTTON)
            return 1;
        newStyle = (style & ~BS_TYPEMASK) | BS_DEFPUSHBUTTON;
    } else {
        if (type != BS_DEFPUSHBUTTON)
            return 1;
        newStyle = style & ~BS_TYPEMASK;
    }
    SendMessage(BM_SETSTYLE, newStyle, TRUE);
    // Without a parent the post would go to the thread's own queue.
    if (HWND parent = hWnd ? GetParent(hWnd) : nullptr; flag && parent)
        ::PostMessageA(parent, DM_SETDEFID, static_cast<WPARAM>(WindowId), 0);
    return 1;
}

LRESULT PUSHBUTTON::SetShieldText(int flag)
{
    STRING caption = GetText();
    caption.Trim('L', " \t");
    STRING shown(flag ? " " : "");
    shown += caption;
    SetText(shown.c_str());
    return SendMessage(BCM_SETSHIELD, 0, flag);
}

LRESULT PUSHBUTTON::SetIcon(HICON icon)
{
    UniqueImageList list(ImageList_Create(16, 16, DisplayColourFlag() | ILC_MASK, 1, 1));
    if (!list)
        return 0;
    ImageList_RemoveAll(list.get());
    ImageList_AddIcon(list.get(), icon);
    BUTTON_IMAGELIST description = {list.get(), {2, 1, 4, 0}, BUTTON_IMAGELIST_ALIGN_LEFT};
    LRESULT result = SendMessage(BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&description));
    // The button has let go of the former list now.
    images = std::move(list);
    return result;
}

RADIOBUTTON::RADIOBUTTON(HWND parent, int id) : CONTROL(parent, id) {}

RADIOBUTTON::RADIOBUTTON(HWND parent, int id, int x, int y, int width, int height, const char* title, DWORD exStyle)
    : CONTROL(parent, id, "Button", RADIOBUTTON_STYLE, x, y, width, height, title, exStyle)
{
}

RADIOBUTTON::RADIOBUTTON(HWND parent, int id, int placeholderId, const char* title, DWORD exStyle)
    : CONTROL(parent, id, "Button", RADIOBUTTON_STYLE, placeholderId, title, exStyle)
{
}

int RADIOBUTTON::SetCheck(int state)
{
    return CheckAndNotify(*this, state);
}
