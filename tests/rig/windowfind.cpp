#include "windowfind.h"

namespace rig {

namespace {

constexpr DWORD kWindowPollMs = 50;
// Reading another process's window text is a cross-process message; a hung program must not
// hang the rig.
constexpr UINT kTextTimeoutMs = 2000;

struct Search {
    DWORD processId;
    const char* className;
    HWND found = nullptr;
};

BOOL CALLBACK CheckWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    char className[64] = "";
    GetWindowThreadProcessId(window, &owner);
    GetClassNameA(window, className, sizeof className);
    if ((search->processId == 0 || owner == search->processId) && IsWindowVisible(window) &&
        lstrcmpiA(className, search->className) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND FindVisibleWindow(DWORD processId, const char* className)
{
    Search search{processId, className};
    EnumWindows(CheckWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForVisibleWindow(DWORD processId, const char* className, DWORD timeoutMs)
{
    for (ULONGLONG begin = GetTickCount64();; Sleep(kWindowPollMs)) {
        if (HWND window = FindVisibleWindow(processId, className))
            return window;
        if (GetTickCount64() - begin >= timeoutMs)
            return nullptr;
    }
}

std::string WindowText(HWND window)
{
    DWORD_PTR length = 0;
    if (!window || !SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTextTimeoutMs, &length))
        return {};
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             kTextTimeoutMs, &copied))
        return {};
    text.resize(copied < text.size() ? copied : text.size() - 1);
    return text;
}

} // namespace rig
