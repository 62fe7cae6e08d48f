#include "osys/processvalues.h"

#include <atomic>
#include <utility>

int gLocale = LANG_ENGLISH;
STRING gWorkDir;
STRING gExeDir;
STRING gAppName("Application");
STRING gSecondName;
DWORD gMainThreadId = 0;

namespace {

HINSTANCE instanceHandle = nullptr;
HMODULE resourceModule = nullptr;
UniqueModule languageModule; // the loaded language library, when resourceModule is one
std::atomic<int64_t> clockBase{0};

int64_t CounterMilliseconds()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    int64_t perMillisecond = frequency.QuadPart / 1000;
    return counter.QuadPart / (perMillisecond > 0 ? perMillisecond : 1);
}

} // namespace

bool IsGerman()
{
    return gLocale == LANG_GERMAN;
}

const char* VersionText()
{
    return gSecondName.Length() > 0 ? gSecondName.c_str() : "0.00";
}

bool IsMainThread()
{
    return GetCurrentThreadId() == gMainThreadId;
}

HINSTANCE TarvoInstance()
{
    return instanceHandle;
}

HMODULE TarvoResourceModule()
{
    return resourceModule;
}

bool HasLanguageModule()
{
    return static_cast<bool>(languageModule);
}

uint64_t ClockMilliseconds()
{
    int64_t now = CounterMilliseconds();
    int64_t expected = 0;
    // The first reading sets the base.
    clockBase.compare_exchange_strong(expected, now);
    return static_cast<uint64_t>(now - clockBase.load());
}

void ResetClock()
{
    clockBase.store(CounterMilliseconds());
}

void SetProcessModules(HINSTANCE instance, HMODULE resources)
{
    instanceHandle = instance;
    resourceModule = resources;
}

void SetLanguageModule(UniqueModule library)
{
    resourceModule = library ? library.get() : instanceHandle;
    languageModule = std::move(library);
}
