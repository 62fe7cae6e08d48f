#include "ui/statemsgbox.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/handles.h"
#include "osys/osys_win32.h"
#include "text/hash.h"
#include "ui/control.h"
#include "ui/dialog.h"
#include "ui/fonts.h"
#include "ui/viziveru.h"

namespace {

// Dialog template and items of the box, in the language library.
constexpr int IDD_STATEMSGBOX = 10701;
constexpr int ITEM_TEXT = 10001;
constexpr int ITEM_ICON = 10002;
constexpr int ITEM_CHECK = 10003;
constexpr int IDS_DEFAULT_BOX_TITLE = 10001;
constexpr int MESSAGE_WIDTH = 55;
constexpr int BUTTON_GAP = 10;

struct TEXTSIZE {
    int width;
    int height;
};

// Width of the widest line (at least minimumWidth) and the sum of the line heights in the
// system's message font.
TEXTSIZE MeasureText(HWND item, const STRING& text, int minimumWidth)
{
    LOGFONTA description = {};
    UniqueFont font(ReadMessageFont(description) ? CreateFontIndirectA(&description) : nullptr);
    SIZE measured = MeasureTextLines(item, font.get(), text.c_str());
    return TEXTSIZE{std::max(minimumWidth, static_cast<int>(measured.cx)), static_cast<int>(measured.cy)};
}

LPCSTR StandardIcon(LONG_PTR iconType)
{
    switch (iconType) {
    case MB_ICONHAND:
        return IDI_HAND;
    case MB_ICONQUESTION:
        return IDI_QUESTION;
    case MB_ICONEXCLAMATION:
        return IDI_EXCLAMATION;
    case MB_ICONASTERISK:
        return IDI_ASTERISK;
    default:
        TARVO_CHECK(false, "FALSE", nullptr);
        return nullptr;
    }
}

// The icon item draws the standard icon of the type kept in its user data, and nothing else.
LRESULT CALLBACK IconItemProcedure(HWND item, UINT message, WPARAM, LPARAM)
{
    if (message != WM_PAINT)
        return 0;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(item, &paint);
    LPCSTR icon = StandardIcon(GetWindowLongPtrA(item, GWLP_USERDATA));
    if (dc && icon)
        DrawIcon(dc, 0, 0, LoadIconA(nullptr, icon));
    EndPaint(item, &paint);
    return 0;
}

int Width(const RECT& rect)
{
    return rect.right - rect.left;
}

int Height(const RECT& rect)
{
    return rect.bottom - rect.top;
}

HWND TopLevel(HWND parent)
{
    return parent ? GetAncestor(parent, GA_ROOT) : nullptr;
}

} // namespace

namespace VIZIVERU {

int StateMsgBox(UINT flags, HWND parent, const char* title, const char* text, HASH& states, const char* stateKey)
{
    if (!TARVO_CHECK(stateKey != nullptr, "pstatekey", nullptr))
        return 0;
    // The lookup adds a missing key, even to a locked table.
    int wasLocked = states.LockTable;
    states.LockTable = 0;
    STRING& stored = states.Lookup(stateKey);
    int remembered = stored.IsNull() ? 0 : atoi(stored.c_str());
    states.LockTable = wasLocked;
    if (remembered != 0)
        return -1;

    DIALOG dialog(IDD_STATEMSGBOX, parent);
    if (!dialog.Hwnd())
        return 0;
    CONTROL ok(dialog.Hwnd(), IDOK), no(dialog.Hwnd(), IDNO), yes(dialog.Hwnd(), IDYES);
    CONTROL textItem(dialog.Hwnd(), ITEM_TEXT), check(dialog.Hwnd(), ITEM_CHECK);

    STRING body = WrapMessageText(STRING(text), MESSAGE_WIDTH, 1);
    RECT checkRect = check.GetRect();
    TEXTSIZE measured = MeasureText(textItem.Hwnd(), body, Width(checkRect));
    textItem.SetText(body.c_str());
    dialog.SetText(title ? title : OSYS::GetStringFromResource(IDS_DEFAULT_BOX_TITLE).c_str());

    int iconWidth = GetSystemMetrics(SM_CXICON), iconHeight = GetSystemMetrics(SM_CYICON);
    textItem.Move(iconWidth + 30, 20, measured.width, measured.height);
    int contentWidth = measured.width + iconWidth + 60;
    // Below the text, or below the icon when the text is lower than it.
    int top = measured.height + 20;
    if (top < iconHeight)
        top += iconHeight;
    top += 20;
    check.Move((contentWidth - Width(checkRect)) / 2, top);
    top += Height(checkRect) + 20;

    RECT okRect = ok.GetRect(), yesRect = yes.GetRect(), noRect = no.GetRect();
    int buttonType = flags & MB_TYPEMASK;
    int buttonHeight = Height(okRect);
    if (buttonType == MB_OK) {
        ok.Move((contentWidth - Width(okRect)) / 2, top);
    } else if (buttonType == MB_YESNO) {
        int pair = Width(yesRect) + BUTTON_GAP + Width(noRect);
        yes.Move((contentWidth - pair) / 2, top);
        no.Move((contentWidth - pair) / 2 + Width(yesRect) + BUTTON_GAP, top);
        buttonHeight = Height(yesRect);
    } else {
        TARVO_CHECK(false, "FALSE", nullptr);
    }
    ok.ShowHide(buttonType == MB_OK);
    yes.ShowHide(buttonType == MB_YESNO);
    no.ShowHide(buttonType == MB_YESNO);

    RECT workArea = {};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
    int width = contentWidth, height = top + buttonHeight + 40;
    int x = workArea.left + (Width(workArea) - width) / 2, y = workArea.top + (Height(workArea) - height) / 2;
    dialog.SetRect(RECT{x, y, x + width, y + height});

    LONG_PTR iconType = flags & MB_ICONMASK;
    if (HWND icon = GetDlgItem(dialog.Hwnd(), ITEM_ICON)) {
        SetWindowLongPtrA(icon, GWLP_USERDATA, iconType);
        SetWindowLongPtrA(icon, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(IconItemProcedure));
        MoveWindow(icon, 20, 20, iconWidth, iconHeight, FALSE);
    }

    MessageBeep(static_cast<UINT>(iconType));
    int result = dialog.RunModal(0) == IDNO ? 0 : 1;

    char state[16];
    snprintf(state, sizeof(state), "%d", check.GetCheck());
    states.Lookup(stateKey) = state;
    return result;
}

void StateInfoMsgBox(HWND parent, const char* title, const char* text, HASH& states, const char* stateKey)
{
    StateMsgBox(MB_ICONINFORMATION | MB_OK, TopLevel(parent), title, text, states, stateKey);
}

void StateWarningMsgBox(HWND parent, const char* title, const char* text, HASH& states, const char* stateKey)
{
    StateMsgBox(MB_ICONWARNING | MB_OK, TopLevel(parent), title, text, states, stateKey);
}

void StateErrorMsgBox(HWND parent, const char* title, const char* text, HASH& states, const char* stateKey)
{
    StateMsgBox(MB_ICONERROR | MB_OK, TopLevel(parent), title, text, states, stateKey);
}

int StateYesNoMsgBox(HWND parent, const char* title, const char* text, HASH& states, const char* stateKey)
{
    return StateMsgBox(MB_ICONQUESTION | MB_YESNO, TopLevel(parent), title, text, states, stateKey);
}

} // namespace VIZIVERU
