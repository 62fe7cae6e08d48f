// The button kinds of CONTROL:
//   CHECKBOX    - an automatic check box whose SetCheck reports itself to the parent as a click
//   PUSHBUTTON  - a push button: click, style, default switch, shield and an icon of its own
//   RADIOBUTTON - an automatic radio button, checked like a check box
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "osys/handles.h"
#include "ui/control.h"

struct ImageListTraits {
    using Handle = HIMAGELIST;
    static Handle Empty() { return nullptr; }
    static void Close(Handle list) { ImageList_Destroy(list); }
};
using UniqueImageList = UniqueResource<ImageListTraits>;

class CHECKBOX : public CONTROL {
public:
    CHECKBOX(HWND parent, int id);
    CHECKBOX(HWND parent, int id, DWORD style, int x, int y, int width, int height, const char* title = nullptr,
             DWORD exStyle = 0);
    CHECKBOX(HWND parent, int id, DWORD style, int placeholderId, const char* title = nullptr, DWORD exStyle = 0);

    // Sets the check state, then sends the parent the WM_COMMAND of a click; the parent's answer.
    int SetCheck(int state);
    int SetUnchecked(int flag) { return SetCheck(!flag); }
};

class PUSHBUTTON : public CONTROL {
public:
    PUSHBUTTON(HWND parent, int id);
    PUSHBUTTON(HWND parent, int id, DWORD style, int x, int y, int width, int height, const char* title = nullptr,
               DWORD exStyle = 0);
    PUSHBUTTON(HWND parent, int id, DWORD style, int placeholderId, const char* title = nullptr, DWORD exStyle = 0);
    ~PUSHBUTTON() override;

    // Sends the parent the WM_COMMAND of a click; the parent's answer.
    LRESULT Click();
    LRESULT SetButtonStyle(DWORD style);
    // Makes the button the default one (telling the parent with DM_SETDEFID) or a normal one;
    // 1, also when it already was.
    int SetDefault(int flag);
    // The shield on or off, with one blank between shield and caption while it is on.
    LRESULT SetShieldText(int flag);
    // Shows a 16 x 16 copy of icon left of the caption; 0 when no image list could be made.
    LRESULT SetIcon(HICON icon);

private:
    UniqueImageList images; // the icon shown on the button; the button only borrows it
};

class RADIOBUTTON : public CONTROL {
public:
    RADIOBUTTON(HWND parent, int id);
    RADIOBUTTON(HWND parent, int id, int x, int y, int width, int height, const char* title = nullptr,
                DWORD exStyle = 0);
    RADIOBUTTON(HWND parent, int id, int placeholderId, const char* title = nullptr, DWORD exStyle = 0);

    // As CHECKBOX::SetCheck.
    int SetCheck(int state);
    int SetUnchecked(int flag) { return SetCheck(!flag); }
};
