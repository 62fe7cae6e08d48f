// The plain logic of WINDOW's routing (wheel arithmetic, sizing edges, scroll codes): free
// functions, so that they run without a window.
#pragma once

#include <windows.h>

// Wheel accumulation across messages: a remainder below one notch is kept for the next
// message to the same window in the same direction, and dropped otherwise.
struct WHEELSTATE {
    int accumulated = 0;
    HWND lastWindow = nullptr;
};
// Adds one wheel delta received by window; returns the whole notches (120 each, truncated
// toward zero) to report now and keeps the remainder in state.
int AccumulateWheel(WHEELSTATE& state, HWND window, int delta);
// The OnSizing edge mask (left 1, right 2, top 4, bottom 8, corners the sums) of a native
// sizing edge code 0..8; 0 for any other code.
int SizingEdgeMask(WPARAM edge);
// The scroll rule: a top (6) or bottom (7) code becomes a thumb position (4) at the range's
// minimum or maximum; returns false for end-of-scroll (8), which reaches no handler.
bool MapScrollCode(int& code, int& position, int minimum, int maximum);
