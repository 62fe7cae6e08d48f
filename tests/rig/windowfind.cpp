#include "windowfind.h"

namespace rig {

namespace {

constexpr DWORD kPollMs = 50;
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
    for (ULONGLONG begin = GetTickCount64();; Sleep(kPollMs)) {
        if (HWND window = FindVisibleWindow(processId, className))
            return window;
        if (GetTickCount64() - begin >= timeoutMs)
            return nullptr;
    }
}

std::string WindowText(HWND window)
{
    char text[2048] = "";
    DWORD_PTR length = 0;
    if (!window || !SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                                        SMTO_ABORTIFHUNG, kTextTimeoutMs, &length))
        return {};
    return text;
}

} // namespace rig
