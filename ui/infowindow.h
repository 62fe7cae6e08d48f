// INFOWINDOW: a modeless window with a long notice in a read-only text area and the check box
// "Do not show this window again", whose choice is kept in the registry; ShowInfoWindow opens one.
#pragma once

#include <windows.h>

#include <cstdint>

#include "osys/handles.h"
#include "ui/control.h"
#include "ui/window.h"

class INFOWINDOW : public WINDOW {
public:
    static constexpr int ID_WINDOW = 1000;
    static constexpr int ID_TEXT = 1001;
    static constexpr int ID_CHECKBOX = 1002;

    // Creates the window, not yet shown, with its two items; the key and value name may be null.
    INFOWINDOW(HWND parent, const char* title, const char* text, const char* registryKey, const char* valueName);
    // Stores a checked "do not show" choice, then destroys the window.
    ~INFOWINDOW() override;

    // WM_SIZE lays out the items; WM_CLOSE keeps the check state and deletes the object.
    LRESULT WinProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Fills the client area with the dialog face colour.
    int OnPaint() override;

    // Whether registryKey\valueName under "Software\Tarvo\" holds a non-zero choice.
    static bool IsSuppressed(const char* registryKey, const char* valueName);
    // The window size for a text of textWidth x textHeight pixels (both measured at least 50).
    static SIZE WindowSize(int textWidth, int textHeight);

    CONTROL TextArea;
    CONTROL CheckBox;
    int32_t CheckState = 0;
    UniqueFont Font;
    STRING RegistryKey; // null when no choice is kept
    STRING ValueName;

private:
    // Measures the text in the text area's font: the widest line and the sum of the line heights.
    SIZE MeasureText(const char* text);
    void Layout(int clientWidth, int clientHeight);
    // An empty key name (not a null one) keeps the choice in "Software\Tarvo" itself.
    bool RemembersChoice() const { return !RegistryKey.IsNull() && ValueName.IsFilled(); }
};

// Opens the information window and returns its handle, or null when an earlier "do not show"
// choice is stored under registryKey\valueName. The window deletes itself when it is closed.
HWND ShowInfoWindow(HWND parent, const char* title, const char* text, const char* registryKey,
                    const char* valueName);
