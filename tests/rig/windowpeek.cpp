// windowpeek: finds a visible top-level window by its class for shell scripts that capture the
// screen, and closes it again.
//   windowpeek wait CLASS [ITEM]   waits (up to 20 s) for the window, and for the child with the
//                                  dialog id ITEM to have a text; prints "WxH+X+Y" of the window
//   windowpeek close CLASS         asks the window to close and waits until it is gone
// Exit codes: 0 done, 1 no such window in time, 2 wrong usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "windowfind.h"

namespace {

constexpr ULONGLONG kTimeoutMs = 20000;
constexpr DWORD kPollMs = 50;

int Wait(const char* className, int item)
{
    for (ULONGLONG begin = GetTickCount64(); GetTickCount64() - begin < kTimeoutMs; Sleep(kPollMs)) {
        HWND window = rig::FindVisibleWindow(0, className);
        if (!window || (item != 0 && rig::WindowText(GetDlgItem(window, item)).empty()))
            continue;
        // A moment for the first paint after the text arrived.
        Sleep(300);
        RECT rect{};
        GetWindowRect(window, &rect);
        std::printf("%ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left, rect.top);
        return 0;
    }
    std::fprintf(stderr, "windowpeek: no window of class %s\n", className);
    return 1;
}

int Close(const char* className)
{
    HWND window = rig::FindVisibleWindow(0, className);
    if (!window)
        return 1;
    PostMessageA(window, WM_CLOSE, 0, 0);
    for (ULONGLONG begin = GetTickCount64(); GetTickCount64() - begin < kTimeoutMs; Sleep(kPollMs))
        if (!IsWindow(window))
            return 0;
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 || argc == 4) {
        if (std::strcmp(argv[1], "wait") == 0)
            return Wait(argv[2], argc == 4 ? std::atoi(argv[3]) : 0);
        if (argc == 3 && std::strcmp(argv[1], "close") == 0)
            return Close(argv[2]);
    }
    std::fprintf(stderr, "usage: windowpeek wait CLASS [ITEM] | windowpeek close CLASS\n");
    return 2;
}
