// WINUTIL: window-system utilities that need no window object: finding top-level windows,
// mapping points, a class's procedure, the display's colours and a colour blend.
#pragma once

#include <windows.h>

#include <cstdint>

namespace WINUTIL {

// The next top-level window after the given one (from the top when null) with the class and
// title (either null for any).
HWND FindTopLevel(HWND after, const char* className, const char* title);
// Converts count points from one window's client coordinates to another's (null: the screen);
// the platform's result.
int MapPoints(HWND from, HWND to, POINT* points, int count);
// The window procedure registered for the class of window.
WNDPROC GetClassProcedure(HWND window);
// Whether the display shows more than 256 colours.
bool HasManyColours();
// The display depth: 16, 24 or 32 for exactly that many bits per pixel, else 8.
int DisplayDepth();
// The same rule for a given number of bits per pixel.
int DepthOfBits(int bitsPerPixel);
// Each of the four bytes moved from from towards to by percent / 100 (truncated); percent is
// taken as 0..100.
uint32_t BlendColour(uint32_t from, uint32_t to, int percent);

} // namespace WINUTIL
