// Message boxes with a remembered "do not show this message again" answer, kept in a HASH.
#pragma once

#include <windows.h>

class HASH;

namespace VIZIVERU {

// The box of dialog template 10701 of the resource module with the icon of flags & MB_ICONMASK
// and the buttons of flags & MB_TYPEMASK (MB_OK or MB_YESNO). Returns -1 without a box when the
// state key holds a non-zero number in states; else 0 for No, 1 for any other end, and stores
// the check box state ("0" or "1") under the key.
int StateMsgBox(UINT flags, HWND parent, const char* title, const char* text, HASH& states, const char* stateKey);
// The fixed forms: a null title becomes resource string 10001, the owner the parent's
// top-level window.
void StateInfoMsgBox(HWND parent, const char* title, const char* text, HASH& states, const char* stateKey);
void StateWarningMsgBox(HWND parent, const char* title, const char* text, HASH& states, const char* stateKey);
void StateErrorMsgBox(HWND parent, const char* title, const char* text, HASH& states, const char* stateKey);
// 1 for Yes, 0 for No, -1 when the remembered state suppressed the box.
int StateYesNoMsgBox(HWND parent, const char* title, const char* text, HASH& states, const char* stateKey);

} // namespace VIZIVERU
