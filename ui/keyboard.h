// KEYBOARD: turns key messages into key event records for WINDOW::OnKey.
#pragma once

#include <windows.h>

#include <cstdint>

class WINDOW;

// Modifier keys held when a key event was read.
constexpr uint32_t KEYMOD_SHIFT = 1;
constexpr uint32_t KEYMOD_CONTROL = 2;
constexpr uint32_t KEYMOD_ALT = 4;

// One key event: 32 bytes, zeroed before it is filled.
struct KEYEVENT {
    uint32_t message;     // the key message
    uint32_t virtualKey;  // WM_KEYDOWN and the like; 0 for character messages
    uint32_t character;   // WM_CHAR and the like; 0 for key messages
    uint32_t repeatCount; // bits 0-15 of lParam
    uint32_t scanCode;    // bits 16-23 of lParam, bit 8 set for an extended key
    uint32_t modifiers;   // KEYMOD_* read at the time of the translation
    uint32_t reserved[2];
};
static_assert(sizeof(KEYEVENT) == 32);

class KEYBOARD {
public:
    // Key messages 0x100-0x102, 0x104-0x106 and WM_IME_CHAR fill event and give true;
    // anything else leaves it zeroed and gives false.
    static bool Translate(UINT message, WPARAM wParam, LPARAM lParam, KEYEVENT* event);
    // Input-language and composition messages; 0 leaves them to the platform default.
    static LRESULT HandleImeMessage(WINDOW& window, UINT message, WPARAM wParam, LPARAM lParam);
};
