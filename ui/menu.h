// MENU: a menu handle with its items, check and enable states, texts, separators and popup
// tracking; it destroys the menu only when it loaded it itself.
#pragma once

#include <windows.h>

#include "text/strings.h"

// The module argument of LoadFromResource that stands for the toolkit's resource module.
inline const HMODULE MENU_RESOURCEMODULE = reinterpret_cast<HMODULE>(static_cast<intptr_t>(-1));

class MENU {
public:
    int owned = 0;         // set: the destructor destroys the menu
    HMENU hMenu = nullptr; // the menu, null when there is none
    HWND window = nullptr; // the window whose menu bar this is (redrawn after deletions); null for free menus

    // Borrows a menu (not owned, no window).
    explicit MENU(HMENU handle);
    // Borrows the window's current menu and remembers the window.
    explicit MENU(HWND menuWindow);
    // Borrows the other's menu and window.
    MENU(const MENU& other);
    MENU& operator=(const MENU&) = delete;
    // Loads and owns a menu resource (LoadFromResource).
    MENU(int resourceId, HMODULE module);
    ~MENU();

    // Destroys an owned menu first; module MENU_RESOURCEMODULE is the resource module. On
    // success the object owns the loaded menu. True when a menu was loaded.
    bool LoadFromResource(int resourceId, HMODULE module = MENU_RESOURCEMODULE);
    // Destroys an owned menu first and creates an empty menu bar, which the object does not own
    // (it is meant to be handed to a window). True when created.
    bool CreateEmpty();
    // Destroys the menu, owned or not, and forgets it; 1, or 0 without a menu.
    int Destroy();

    // The position of the first item with the command id, or -1.
    int FindPosition(int id) const;
    // The command id of the item at the position; -1 for a submenu or a missing item.
    int GetItemId(int position) const;
    int GetItemCount() const;
    HMENU GetSubMenu(int position) const;
    // True unless the item is grayed or disabled or its state cannot be read.
    bool IsEnabled(int id) const;
    bool IsChecked(int id) const;
    bool IsSeparator(int position) const;

    // By command id; 1 when the item exists.
    int EnableItem(int id, int flag);
    int CheckItem(int id, int flag);
    // Inserts a text item with the id before the position (-1 appends), or a separator when
    // text is null. Texts are 8-bit in the system code page; the W variants take UTF-16.
    int InsertItem(const char* text, int id, int position);
    int InsertItemW(const wchar_t* text, int id, int position);
    // Inserts submenu under the text; the submenu belongs to this menu from then on.
    int InsertSubMenu(const char* text, HMENU submenu, int position);
    int InsertSubMenuW(const wchar_t* text, HMENU submenu, int position);
    int SetItemText(int item, const char* text, int byPosition);
    int SetItemTextW(int item, const wchar_t* text, int byPosition);
    // Takes the item out without destroying a submenu under it (that may have an owner of its
    // own); redraws the window's menu bar.
    int RemoveItem(int item, int byPosition);

    // The item's text (up to 255 characters). When the direct lookup finds nothing, the item
    // whose command id equals item is searched for by position; the empty text when none is.
    STRING GetMenuItemText(int item, int byPosition) const;
    // Deletes the item at the position when it is a separator; reports any other item unless
    // nowarn. 1 when a separator was deleted.
    int DeleteMenuItemSeparator(int position, int nowarn);
    // The submenu of the last item when its text without "&" is "Help" or "Hilfe" (any case),
    // else null.
    HMENU GetHelpMenu() const;
    // Shows the menu as a popup at point (the cursor position when null) and tracks it, owned by
    // window. Flags bit 0: return the chosen command id; bit 3: align the menu's right edge at
    // the point; other bits are ignored. The tracking result.
    int TrackPopup(HWND owner, const POINT* point, int flags);

private:
    void RedrawMenuBar() const;
};
