// The language-module loader and the application's main message loop.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <utility>

#include "approot/approot.h"
#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/handles.h"
#include "osys/osys_win32.h"
#include "osys/osysfile.h"
#include "osys/processvalues.h"

namespace {

const char* LanguageLibraryName(int locale)
{
    switch (locale) {
    case LANG_GERMAN:
        return "german.dll";
    case LANG_FRENCH:
        return "french.dll";
    case LANG_HUNGARIAN:
        return "hungarian.dll";
    default:
        return "english.dll";
    }
}

// Class names compared by the loop are read up to this many characters.
constexpr int CLASS_NAME_MAX = 128;
// The keyboard messages that accelerators may translate (WM_KEYDOWN to WM_SYSDEADCHAR).
constexpr UINT FIRST_KEY_MESSAGE = 0x100;
constexpr UINT LAST_KEY_MESSAGE = 0x108;

} // namespace

namespace TARVOAPP {

bool LoadLanguageModule(const char* path, const char* subfolder, const char* secondName, const char* appName,
                        int silent)
{
    STRING name(appName ? appName : subfolder ? subfolder : "");
    if (name.Length() > 0)
        name[0] = static_cast<char>(toupper(static_cast<unsigned char>(name[0])));
    gAppName = name;
    gSecondName = secondName ? secondName : "";

    STRING folder = TrimBuildDirectory(FILENAME(path ? path : "<self>").GetPath());
    folder.Append('\\');
    folder.Append(subfolder ? subfolder : "");

    STRING library = FILENAME(folder.c_str(), LanguageLibraryName(gLocale)).c_str();
    UniqueModule module(OSYS::LoadResourceLibrary(library.c_str()));
    if (!module && strcmp(LanguageLibraryName(gLocale), "english.dll") != 0) {
        gLocale = LANG_ENGLISH;
        library = FILENAME(folder.c_str(), "english.dll").c_str();
        module.reset(OSYS::LoadResourceLibrary(library.c_str()));
    }
    if (!module) {
        LogPrint("TARVOAPP::LoadLanguageModule %s: error %lu\n", library.c_str(), GetLastError());
        if (silent)
            return false;
        char text[PROGRAM_PATH_MAX + 32];
        snprintf(text, sizeof(text), "DLL not found:\r%s", library.c_str());
        MessageBoxA(nullptr, text, "Tarvo Application", MB_ICONERROR);
        exit(99);
    }
    // The process values own the library from here until the next load or FreeLanguageModule.
    SetLanguageModule(std::move(module));
    return true;
}

void FreeLanguageModule()
{
    SetLanguageModule(UniqueModule());
}

void MainDispatchLoop(HWND mainWindow, int acceleratorId)
{
    LogPrint("TARVOAPP::MainDispatchLoop\n");
    UniqueAccelerator accelerators;
    wchar_t mainClass[CLASS_NAME_MAX] = {};
    if (acceleratorId) {
        accelerators.reset(LoadAcceleratorsA(TarvoResourceModule(), MAKEINTRESOURCEA(acceleratorId)));
        TARVO_CHECK(static_cast<bool>(accelerators), "haccel", nullptr);
        GetClassNameW(mainWindow, mainClass, CLASS_NAME_MAX);
    }

    MSG message;
    // GetMessage's -1 (an invalid call) ends the loop as WM_QUIT does.
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (accelerators && message.message >= FIRST_KEY_MESSAGE && message.message <= LAST_KEY_MESSAGE) {
            wchar_t activeClass[CLASS_NAME_MAX] = L"{no window}";
            if (HWND active = GetActiveWindow())
                GetClassNameW(active, activeClass, CLASS_NAME_MAX);
            if (wcscmp(activeClass, mainClass) == 0 && TranslateAcceleratorA(mainWindow, accelerators.get(), &message))
                continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    accelerators.reset();
    LogPrint("TARVOAPP::MainDispatchLoop done\n");
}

} // namespace TARVOAPP
