// Cost of the window toolkit: a routed message sent to a WINDOW next to a bare window
// procedure doing the same work (and the allocations the routing makes), and a DIALOG built
// with the font rewrite next to the platform's dialog from the unchanged template.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "ui/dialog.h"
#include "ui/fonts.h"
#include "benchclock.h"

// Every allocation of the program is counted: operator new here, the C allocator through the
// linker's wrapping (see CMakeLists.txt).
std::atomic<long> allocations{0};

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* block, size_t size);
void* __wrap_malloc(size_t size)
{
    allocations++;
    return __real_malloc(size);
}
void* __wrap_calloc(size_t count, size_t size)
{
    allocations++;
    return __real_calloc(count, size);
}
void* __wrap_realloc(void* block, size_t size)
{
    allocations++;
    return __real_realloc(block, size);
}
}

void* operator new(size_t size)
{
    allocations++;
    if (void* block = __real_malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept
{
    free(block);
}

void operator delete(void* block, size_t) noexcept
{
    free(block);
}

namespace {

constexpr UINT WORK_MESSAGE = WM_USER + 5;
constexpr int MESSAGES = 100000;
long counter = 0;

class COUNTING : public WINDOW {
public:
    COUNTING() : WINDOW(WS_OVERLAPPEDWINDOW, "bench", 0, 0, 200, 100) {}
    LRESULT OnUserMessage(UINT message, WPARAM wParam, LPARAM) override
    {
        if (message != WORK_MESSAGE)
            return 0;
        counter += static_cast<long>(wParam);
        return 1;
    }
};

LRESULT CALLBACK BareProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WORK_MESSAGE) {
        counter += static_cast<long>(wParam);
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

INT_PTR CALLBACK BareDialogProcedure(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG ? 1 : 0;
}

// The best of several rounds of each, the rounds taken in turns, so that a burst of load on
// the machine does not fall on one side only.
void BestOfAlternating(int rounds, double (*first)(), double (*second)(), double& bestFirst, double& bestSecond)
{
    bestFirst = bestSecond = 1e30;
    for (int i = 0; i < rounds; i++) {
        bestFirst = std::min(bestFirst, first());
        bestSecond = std::min(bestSecond, second());
    }
}

HWND routedWindow = nullptr;
HWND bareWindow = nullptr;

double SendAll(HWND window)
{
    double start = Seconds();
    for (int i = 0; i < MESSAGES; i++)
        SendMessageA(window, WORK_MESSAGE, 1, 0);
    return Seconds() - start;
}

double SendRouted()
{
    return SendAll(routedWindow);
}

double SendBare()
{
    return SendAll(bareWindow);
}

constexpr int DIALOGS = 200;
// Without item 800: both dialogs answer WM_INITDIALOG with 1 and get the default focus.
constexpr int BENCH_TEMPLATE = 202;

double ToolkitDialogs()
{
    double start = Seconds();
    for (int i = 0; i < DIALOGS; i++) {
        DIALOG dialog(BENCH_TEMPLATE);
    }
    return Seconds() - start;
}

double PlatformDialogs()
{
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(BENCH_TEMPLATE), MAKEINTRESOURCEA(5));
    auto* bytes = static_cast<LPCDLGTEMPLATEA>(LockResource(LoadResource(nullptr, resource)));
    double start = Seconds();
    for (int i = 0; i < DIALOGS; i++)
        DestroyWindow(CreateDialogIndirectParamA(GetModuleHandleA(nullptr), bytes, nullptr, BareDialogProcedure, 0));
    return Seconds() - start;
}

} // namespace

int main()
{
    printf("message font: %s\n", DescribeMessageFont().c_str());

    COUNTING window;
    routedWindow = window.Hwnd();
    WNDCLASSA bareClass = {};
    bareClass.lpfnWndProc = BareProcedure;
    bareClass.hInstance = GetModuleHandleA(nullptr);
    bareClass.lpszClassName = "BareBench";
    RegisterClassA(&bareClass);
    bareWindow = CreateWindowExA(0, "BareBench", "bare", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    SendRouted();
    SendBare();
    long before = allocations;
    SendRouted();
    long routedAllocations = allocations - before;
    double routed, bare;
    BestOfAlternating(11, SendRouted, SendBare, routed, bare);
    DestroyWindow(bareWindow);

    printf("SendMessage x%d: WINDOW %.1f ms, bare procedure %.1f ms, ratio %.2f (target <= 1.5)\n", MESSAGES,
           routed * 1e3, bare * 1e3, routed / bare);
    printf("allocations during %d routed messages: %ld\n", MESSAGES, routedAllocations);

    ToolkitDialogs();
    PlatformDialogs();
    double toolkit, platform;
    BestOfAlternating(3, ToolkitDialogs, PlatformDialogs, toolkit, platform);
    printf("dialog x%d: DIALOG with font rewrite %.1f ms, CreateDialogIndirectParamA %.1f ms, ratio %.2f "
           "(target <= 1.2)\n",
           DIALOGS, toolkit * 1e3, platform * 1e3, toolkit / platform);
    printf("counter %ld\n", counter);
    return 0;
}
