// The static kinds of CONTROL:
//   STATICICON - a static control that shows an icon
//   STATICTEXT - a static text
#pragma once

#include <windows.h>

#include "ui/control.h"

class STATICICON : public CONTROL {
public:
    STATICICON(HWND parent, int id);
    STATICICON(HWND parent, int id, DWORD style, int x, int y, int width, int height, const char* title = nullptr,
               DWORD exStyle = 0);
    STATICICON(HWND parent, int id, DWORD style, int placeholderId, const char* title = nullptr, DWORD exStyle = 0);

    // The icon shown before; the control does not own either icon.
    HICON SetIcon(HICON icon);
    HICON GetIcon() const;
};

class STATICTEXT : public CONTROL {
public:
    STATICTEXT(HWND parent, int id);
    STATICTEXT(HWND parent, int id, DWORD style, int x, int y, int width, int height, const char* title = nullptr,
               DWORD exStyle = 0);
    STATICTEXT(HWND parent, int id, DWORD style, int placeholderId, const char* title = nullptr, DWORD exStyle = 0);
};
