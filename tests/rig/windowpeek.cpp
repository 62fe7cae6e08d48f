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

namespace {

constexpr ULONGLONG kTimeoutMs = 20000;
constexpr DWORD kPollMs = 50;

struct Search {
    const char* className;
    HWND found = nullptr;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<Search*>(context);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    if (IsWindowVisible(window) && lstrcmpiA(className, search->className) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindWindowOfClass(const char* className)
{
    Search search{className};
    EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// WM_GETTEXT itself: GetWindowText does not ask controls of another process.
bool HasText(HWND control)
{
    char text[256] = "";
    DWORD_PTR length = 0;
    return control && SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                                          SMTO_ABORTIFHUNG, 2000, &length) &&
           length > 0;
}

int Wait(const char* className, int item)
{
    for (ULONGLONG begin = GetTickCount64(); GetTickCount64() - begin < kTimeoutMs; Sleep(kPollMs)) {
        HWND window = FindWindowOfClass(className);
        if (!window || (item != 0 && !HasText(GetDlgItem(window, item))))
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
    HWND window = FindWindowOfClass(className);
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
