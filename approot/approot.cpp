#include "approot/approot.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "approot/arguments.h"
#include "diag/assert.h"
#include "diag/crashdump.h"
#include "diag/logit.h"
#include "osys/handles.h"
#include "osys/osys_win32.h"
#include "osys/osysfile.h"
#include "osys/processvalues.h"
#include "text/stringpool.h"
#include "text/unicode.h"

namespace {

UniqueModule systemLibrary; // "kernel32", loaded on first need for its optional functions

std::vector<TARVOAPP::SHUTDOWNHOOK>& ShutdownHooks()
{
    static std::vector<TARVOAPP::SHUTDOWNHOOK> hooks;
    return hooks;
}

template <class Function>
Function SystemFunction(const char* name)
{
    if (!systemLibrary)
        systemLibrary.reset(OSYS::LoadSystemLibrary("kernel32.dll"));
    return OSYS::GetFunction<Function>(systemLibrary.get(), name);
}

// The low-fragmentation heap keeps the many small text buffers from fragmenting the heap;
// under a debugger it would hide heap faults, so it stays off there.
void SetupHeap()
{
    using IsDebuggerPresentFn = BOOL(WINAPI*)();
    using HeapSetInformationFn = BOOL(WINAPI*)(HANDLE, HEAP_INFORMATION_CLASS, PVOID, SIZE_T);
    auto isDebuggerPresent = SystemFunction<IsDebuggerPresentFn>("IsDebuggerPresent");
    auto heapSetInformation = SystemFunction<HeapSetInformationFn>("HeapSetInformation");
    bool underDebugger = isDebuggerPresent && isDebuggerPresent();
    bool lowFragmentation = false;
    if (heapSetInformation && !underDebugger) {
        ULONG mode = 2;
        lowFragmentation =
            heapSetInformation(GetProcessHeap(), HeapCompatibilityInformation, &mode, sizeof(mode)) != FALSE;
    }
    if (underDebugger)
        LogPrintLevel(LOGLEVEL_STARTUP, "Not using LowFragmentation Heap in debugger\n");
    if (!lowFragmentation)
        _set_sbh_threshold(1016);
}

} // namespace

int SplitCommandLine(char* commandLine, char* programPath, char** slots, int slotCount)
{
    // The vector ends in a null slot, so slotCount - 1 arguments fit; without a slot at all
    // nothing is written.
    if (!slots || slotCount < 1)
        return 0;
    int count = 0;
    if (programPath) {
        DWORD n = GetModuleFileNameA(nullptr, programPath, PROGRAM_PATH_MAX);
        if (n >= PROGRAM_PATH_MAX)
            n = PROGRAM_PATH_MAX - 1;
        programPath[n] = 0;
        if (count < slotCount - 1)
            slots[count++] = programPath;
    }

    if (!commandLine) {
        slots[count] = nullptr;
        return count;
    }

    // Only the blank separates; tabs are ordinary characters.
    char* p = commandLine;
    while (*p == ' ')
        p++;
    char* end = p + strlen(p);
    while (end > p && end[-1] == ' ')
        *--end = 0;

    while (*p && count < slotCount - 2) {
        char* start = p;
        char* stop;
        if (*p == '"') {
            start = p + 1;
            stop = strchr(start, '"');
            if (!stop) {
                // An unterminated quote: the rest of the line without its opening quote.
                p = start;
                break;
            }
        } else {
            stop = strchr(p, ' ');
            if (!stop)
                break;
        }
        slots[count++] = start;
        *stop++ = 0;
        while (*stop == ' ')
            *stop++ = 0;
        p = stop;
    }
    if (*p && count < slotCount - 1)
        slots[count++] = p;
    slots[count] = nullptr;
    return count;
}

STRING CutBuildFolder(const STRING& directory, std::initializer_list<const char*> folderEndings,
                      std::initializer_list<const char*> sourceFiles)
{
    FILENAME parent(directory.c_str(), "..");
    bool inSourceTree = false;
    for (const char* source : sourceFiles)
        inSourceTree = inSourceTree || FILENAME(parent.c_str(), source).IsFile();
    if (!inSourceTree)
        return directory;
    STRING cut(directory);
    for (const char* ending : folderEndings) {
        if (EndsWithNoCase(cut.c_str(), ending)) {
            cut.DeleteRight(static_cast<int>(strlen(ending)));
            break;
        }
    }
    return cut;
}

STRING TrimBuildDirectory(const STRING& directory)
{
    return CutBuildFolder(directory, {"\\Release", "\\Release2", "\\Release32", "\\Release64"},
                          {"main.cpp", "approot.cpp"});
}

namespace TARVOAPP {

void Init(int argc, char** argv, int defaultLanguage)
{
    gMainThreadId = GetCurrentThreadId();

    char directory[PROGRAM_PATH_MAX] = {};
    DWORD n = GetCurrentDirectoryA(sizeof(directory), directory);
    gWorkDir = (n > 0 && n < sizeof(directory)) ? directory : "";

    FILENAME self("<self>");
    gExeDir = TrimBuildDirectory(self.GetPath());
    // A program at a drive's root lies in "C:\"; "C:" alone names the drive's current
    // directory, wherever the manager or a prompt left it.
    if (gExeDir.Length() == 2 && gExeDir[1] == ':')
        gExeDir.Append('\\');
    SetCurrentDirectoryA(gExeDir.c_str());

    gAppName = self.GetName().Field(0, ".", 0x10000);

    BuildArgumentList(argc, argv);

    STRING language = GetArgValue("LANG", 0);
    if (language.EqualsNoCase("GER"))
        gLocale = LANG_GERMAN;
    else if (language.EqualsNoCase("ENGL"))
        gLocale = LANG_ENGLISH;
    else if (language.EqualsNoCase("FRENCH"))
        gLocale = LANG_FRENCH;
    else if (language.EqualsNoCase("HUNGARIAN"))
        gLocale = LANG_HUNGARIAN;
    else
        gLocale = defaultLanguage;

    LogPrint("TARVOAPP gLocale= %d, locale= %lx/%lx/%lx, primarylang= %lx\n", gLocale, GetThreadLocale(),
             GetUserDefaultLCID(), GetSystemDefaultLCID(),
             static_cast<unsigned long>(PRIMARYLANGID(LANGIDFROMLCID(GetThreadLocale()))));
}

void InitCommonControls()
{
    static std::once_flag done;
    std::call_once(done, [] {
        INITCOMMONCONTROLSEX controls = {sizeof(INITCOMMONCONTROLSEX),
                                         ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_USEREX_CLASSES | ICC_COOL_CLASSES};
        InitCommonControlsEx(&controls);
    });
}

void Shutdown(int exitCode)
{
    LogPrint("\n");
    LogPrint("Welcome back %s, you have safely returned to TARVOAPP with exit code %d\n", gAppName.c_str(), exitCode);
    LogPrint("Taxi to your hangar and have a pleasant stay.\n");
    LogPrint("Over and out.\n");
    UNICODE::Shutdown();
    LogSwitch("/LOGITCLOSE");
    StringPoolShutdown();
    std::vector<SHUTDOWNHOOK> hooks;
    hooks.swap(ShutdownHooks());
    for (auto hook = hooks.rbegin(); hook != hooks.rend(); ++hook)
        (*hook)();
}

void AddShutdownHook(SHUTDOWNHOOK hook)
{
    std::vector<SHUTDOWNHOOK>& hooks = ShutdownHooks();
    if (hook && std::find(hooks.begin(), hooks.end(), hook) == hooks.end())
        hooks.push_back(hook);
}

int Start(HINSTANCE instance, APPMAINFUNC appMain)
{
    // Before any library is loaded by name: the program's folder is no place to find one.
    OSYS::RestrictLibrarySearch();
    const char* line = GetCommandLineA();
    std::vector<char> commandLine(line, line + strlen(line) + 1);

    SetProcessModules(instance, instance);

    char programPath[PROGRAM_PATH_MAX] = {};
    char* slots[SPLIT_SLOTS] = {};
    int argc = SplitCommandLine(commandLine.data(), programPath, slots, SPLIT_SLOTS);

    SetupHeap();
    // Installs nothing yet: a switch handled in Init may raise the level.
    SetCrashDumpLevel(0);

    // Without TZ the C runtime's time functions follow the system's time zone.
    _putenv("TZ=");
    // The millisecond clock counts from here.
    ResetClock();

    LogPrint("TARVOAPP instance= %p gMainThreadId= %08lx\n", static_cast<void*>(instance), GetCurrentThreadId());
    Init(argc, slots, PRIMARYLANGID(LANGIDFROMLCID(GetUserDefaultLCID())));

    // AppMain sees the whole argument list, commandline.ini lines included.
    STRINGARRAY& arguments = gArguments;
    int count = arguments.ItemCount;
    std::vector<char*> vector(count + 1, nullptr);
    for (int i = 0; i < count; i++)
        vector[i] = arguments.Get(i)->Buffer;

    TARVO_CHECK(appMain != nullptr, "appMain", nullptr);
    int result = appMain ? appMain(count, vector.data(), _environ) : 0;

    vector.clear();
    Shutdown(result);

    systemLibrary.reset();
    FreeLanguageModule();
    ReleaseCrashReserve();
    return result;
}

} // namespace TARVOAPP
