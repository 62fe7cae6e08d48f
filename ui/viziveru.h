// VIZIVERU: the message boxes of the library and the text reflow they share.
#pragma once

#include <windows.h>

#include "text/strings.h"

namespace VIZIVERU {

// Every box logs its title and text, takes the parent's top-level window as owner,
// reflows the text to width 55 and uses resource string 10001 for a null title.
void InfoMsgBox(HWND parent, const char* title, const char* text);
void WarningMsgBox(HWND parent, const char* title, const char* text);
void ErrorMsgBox(HWND parent, const char* title, const char* text);
// 1 for Yes, else 0.
int YesNoMsgBox(HWND parent, const char* title, const char* text);
// 1 for Yes, 0 for No, -1 for Cancel.
int YesNoCancelMsgBox(HWND parent, const char* title, const char* text);

// Reports a failed file open in ErrorMsgBox: resource string 10110 with "$FILENAME" replaced
// by fileName and "$ERROR" by the run-time library's text of errno ("-" when errno is 0).
void ReportFileOpenFailure(const char* fileName);

} // namespace VIZIVERU

// Returns handle unchanged; a null handle (a file that did not open) is reported first.
template <typename Handle>
Handle CheckFileOpen(Handle handle, const char* fileName)
{
    if (!handle)
        VIZIVERU::ReportFileOpenFailure(fileName);
    return handle;
}

// Single line breaks inside a paragraph become blanks; empty and indented lines stay.
// Lines are broken at the first blank past width when force is set, or on systems before
// Vista (whose boxes do not wrap by themselves) unless width is -1. Line ends come out as "\r".
// A text that begins with "##NOWRAP##" and a line break keeps its breaks and is never wrapped.
STRING WrapMessageText(const STRING& text, int width, int force);
