// CONTROLFONT: a font given to one control for the lifetime of the object; the control's
// previous font is put back at the end.
#pragma once

#include <windows.h>

#include "osys/handles.h"

class CONTROLFONT {
public:
    // The font of description (as CreateDescribedFont takes it) for the control handle.
    CONTROLFONT(HWND handle, const char* description, int size = 0, int flags = 0);
    // The same for item id of parent.
    CONTROLFONT(HWND parent, int id, const char* description, int size = 0, int flags = 0);
    // Puts the previous font back and deletes its own; the control must still exist.
    ~CONTROLFONT();
    CONTROLFONT(const CONTROLFONT&) = delete;
    CONTROLFONT& operator=(const CONTROLFONT&) = delete;

    // Replaces the font it set before; false when the font cannot be made (nothing changes).
    bool Set(const char* description, int size = 0, int flags = 0);
    HFONT Font() const { return font.get(); }

private:
    HWND control;
    UniqueFont font;          // the font it set, null when none
    HFONT previous = nullptr; // the control's font before the first Set
    bool remembered = false;  // previous holds the control's font (null: the system font)
};
