#include "ui/keyboard.h"

#include <cstring>

namespace {

bool IsKeyMessage(UINT message)
{
    return (message >= WM_KEYDOWN && message <= WM_CHAR) || (message >= WM_SYSKEYDOWN && message <= WM_SYSCHAR) ||
           message == WM_IME_CHAR;
}

bool IsCharacterMessage(UINT message)
{
    return message == WM_CHAR || message == WM_SYSCHAR || message == WM_IME_CHAR;
}

} // namespace

bool KEYBOARD::Translate(UINT message, WPARAM wParam, LPARAM lParam, KEYEVENT* event)
{
    memset(event, 0, sizeof(*event));
    if (!IsKeyMessage(message))
        return false;
    event->message = message;
    if (IsCharacterMessage(message))
        event->character = static_cast<uint32_t>(wParam);
    else
        event->virtualKey = static_cast<uint32_t>(wParam);
    event->repeatCount = static_cast<uint32_t>(lParam & 0xFFFF);
    event->scanCode = static_cast<uint32_t>((lParam >> 16) & 0xFF) | ((lParam & 0x01000000) ? 0x100 : 0);
    if (GetKeyState(VK_SHIFT) & 0x8000)
        event->modifiers |= KEYMOD_SHIFT;
    if (GetKeyState(VK_CONTROL) & 0x8000)
        event->modifiers |= KEYMOD_CONTROL;
    if (GetKeyState(VK_MENU) & 0x8000)
        event->modifiers |= KEYMOD_ALT;
    return true;
}

LRESULT KEYBOARD::HandleImeMessage(WINDOW&, UINT, WPARAM, LPARAM)
{
    return 0;
}
