// The range kinds of CONTROL:
//   SCROLLBAR   - a scroll bar control: range, position and scroll information
//   SLIDER      - a trackbar: range, tic frequency, position, selection
//   PROGRESSBAR - a progress bar with a range from 0
#pragma once

#include <windows.h>

#include "ui/control.h"

class SCROLLBAR : public CONTROL {
public:
    SCROLLBAR(HWND parent, int id);
    SCROLLBAR(HWND parent, int id, DWORD style, int x, int y, int width, int height, const char* title = nullptr,
              DWORD exStyle = 0);
    SCROLLBAR(HWND parent, int id, DWORD style, int placeholderId, const char* title = nullptr, DWORD exStyle = 0);

    LRESULT SetRange(int minimum, int maximum);
    LRESULT SetPos(int position, int redraw = TRUE);
    int GetPos() const;
    // Sets page and position; the range too unless minimum or maximum is -1. Redraws.
    LRESULT SetScrollInfo(int position, int page, int minimum, int maximum);
};

class SLIDER : public CONTROL {
public:
    SLIDER(HWND parent, int id);
    SLIDER(HWND parent, int id, DWORD style, int x, int y, int width, int height, DWORD exStyle = 0);

    // Both bounds travel as 16-bit values.
    LRESULT SetRange(int minimum, int maximum, int redraw);
    LRESULT SetTicFrequency(int n);
    LRESULT SetPos(int position, int redraw);
    int GetPos() const;
    LRESULT ClearSelection(int redraw);
};

class PROGRESSBAR : public CONTROL {
public:
    // Attaching shows the bar. Every form sets the range 0..100.
    PROGRESSBAR(HWND parent, int id);
    PROGRESSBAR(HWND parent, int id, int x, int y, int width, int height, DWORD exStyle = 0);
    PROGRESSBAR(HWND parent, int id, int placeholderId, DWORD exStyle = 0);

    // The range 0..maximum (a 16-bit value).
    LRESULT SetRange(int maximum);
    LRESULT SetPos(int position);
};
