// CONTROL: one child control of a window or dialog, attached to an existing item (never
// owning it) or created (and owned), optionally in the place of a placeholder item.
#pragma once

#include <windows.h>

#include "ui/window.h"

class CONTROL : public WINDOW {
public:
    // Attaches to item id of parent; with id -1 parent is the control's own handle.
    CONTROL(HWND parent, int id);
    // Creates a child control of className at the given rectangle.
    CONTROL(HWND parent, int id, const char* className, DWORD style, int x, int y, int width, int height,
            const char* title = nullptr, DWORD exStyle = 0);
    // Creates a child control in the place (rectangle and Z order) of the placeholder item,
    // which is destroyed.
    CONTROL(HWND parent, int id, const char* className, DWORD style, int placeholderId, const char* title = nullptr,
            DWORD exStyle = 0);
    ~CONTROL() override;

    // The class name equals name (ignoring case) and, unless type1 is -1, the low four style
    // bits equal one of the types.
    bool IsClass(const char* name, int type1 = -1, int type2 = -1, int type3 = -1) const;
    bool IsButton() const; // push, default push or user button
    bool IsListView() const;
    bool IsTreeView() const;
    bool IsTabControl() const;
    bool IsListBox() const;
    bool IsComboBox() const;
    bool IsDropdownList() const;
    bool IsDropdownCombo() const;
    // 0 unchecked, 1 checked, 2 indeterminate.
    int GetCheck() const;

private:
    bool CreateControl(HWND parent, int id, const char* className, DWORD style, const RECT& rect, const char* title,
                       DWORD exStyle);
    void Adopt(HWND parent, int id);
};
