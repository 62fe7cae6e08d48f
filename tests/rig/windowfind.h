// Windows of a program under test, seen from outside the way a person sees them: the visible
// top-level window of a class, and a window's text.
#pragma once

#include <windows.h>

#include <string>

namespace rig {

// The first visible top-level window of the class (compared without regard to case) that
// belongs to the process (0: any process); null when there is none.
HWND FindVisibleWindow(DWORD processId, const char* className);
// Polls for that window until timeoutMs passes; null then.
HWND WaitForVisibleWindow(DWORD processId, const char* className, DWORD timeoutMs);
// The window's whole text through WM_GETTEXT itself: GetWindowText does not ask the controls
// of another process. Empty when the window does not answer within two seconds.
std::string WindowText(HWND window);

} // namespace rig
