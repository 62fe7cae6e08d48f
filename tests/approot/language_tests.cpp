// The language-module loader on the project's own language libraries, and the main message
// loop with their accelerator table on a real window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "approot/approot.h"
#include "checkrecorder.h"
#include "osys/osys_win32.h"
#include "osys/processvalues.h"
#include "process.h"
#include "scratch.h"

namespace {

// A file in the build folder: its directory is the base of the "lang" subfolder.
std::string LanguageBase()
{
    return rig::WindowsPathOf(TARVO_BUILD_DIR) + "\\any.exe";
}

// Restores the process-wide values that the loader changes.
class LanguageTest : public testing::Test {
protected:
    void TearDown() override
    {
        TARVOAPP::FreeLanguageModule();
        gLocale = savedLocale;
        gAppName = savedName;
    }
    int savedLocale = gLocale;
    STRING savedName = gAppName;
};

TEST_F(LanguageTest, LoadsTheLibraryOfTheLanguageOrFallsBackToEnglish)
{
    struct Case {
        int locale;
        int localeAfter;
        const char* title;
    };
    const Case cases[] = {
        {LANG_GERMAN, LANG_GERMAN, "Tarvo Anwendung"},
        {LANG_FRENCH, LANG_ENGLISH, "Tarvo Application"}, // there is no french.dll
        {LANG_ENGLISH, LANG_ENGLISH, "Tarvo Application"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        gLocale = c.locale;
        ASSERT_TRUE(TARVOAPP::LoadLanguageModule(LanguageBase().c_str(), "lang", "second", nullptr, 1));
        EXPECT_TRUE(HasLanguageModule());
        EXPECT_EQ(gLocale, c.localeAfter);
        EXPECT_STREQ(OSYS::GetStringFromResource(10001).c_str(), c.title);
        EXPECT_STREQ(gAppName.c_str(), "Lang");
        EXPECT_STREQ(gSecondName.c_str(), "second");
        TARVOAPP::FreeLanguageModule();
        EXPECT_FALSE(HasLanguageModule());
    }
}

TEST_F(LanguageTest, WithoutEnglishLibraryASilentCallFailsAndAnyOtherEndsTheProgram)
{
    rig::ScratchFolder folder("lang");
    ASSERT_TRUE(folder.MakeFolder("empty"));
    HMODULE before = TarvoResourceModule();
    gLocale = LANG_GERMAN;
    EXPECT_FALSE(TARVOAPP::LoadLanguageModule(folder.PathOf("any.exe").c_str(), "empty", nullptr, "tool", 1));
    EXPECT_EQ(TarvoResourceModule(), before);
    EXPECT_FALSE(HasLanguageModule());
    EXPECT_EQ(gLocale, LANG_ENGLISH);
    EXPECT_STREQ(gAppName.c_str(), "Tool");

    rig::RunResult run = rig::RunProgram(rig::WindowsPathOf(LANGPROBE_EXE), {folder.PathOf("any.exe"), "empty"}, "",
                                         30000, rig::BoxAnswer::Ok);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 99u);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].title, "Tarvo Application");
    EXPECT_EQ(rig::NormalizeLineBreaks(run.boxes[0].text), "DLL not found:\n" + folder.PathOf("empty\\english.dll"));
}

// Records the commands the main window receives; the exit command ends the loop.
std::vector<int> commands;

LRESULT CALLBACK MainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) {
        commands.push_back(LOWORD(wParam));
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Ends a loop that a lost key would otherwise keep waiting.
void CALLBACK QuitLoop(HWND, UINT, UINT_PTR, DWORD)
{
    PostQuitMessage(0);
}

TEST_F(LanguageTest, MainDispatchLoopTranslatesAcceleratorsAndEndsOnQuit)
{
    ASSERT_TRUE(TARVOAPP::LoadLanguageModule(LanguageBase().c_str(), "lang", nullptr, nullptr, 1));
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = MainWindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "LanguageTestMain";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("LanguageTestMain", "main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    SetForegroundWindow(window);
    SetActiveWindow(window);
    ASSERT_EQ(GetActiveWindow(), window);

    // Ctrl held down, then Q: the accelerator table of the language library gives command 40001.
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    PostMessageA(window, WM_KEYDOWN, 'Q', 1);
    commands.clear();
    UINT_PTR deadline = SetTimer(nullptr, 0, 5000, QuitLoop);
    TARVOAPP::MainDispatchLoop(window, 200);
    KillTimer(nullptr, deadline);
    EXPECT_EQ(commands, std::vector<int>{40001});

    // While a window of another class is active, the keys stay keys.
    HWND other = CreateWindowA("STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 30, 30, 200, 100, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    SetActiveWindow(other);
    ASSERT_EQ(GetActiveWindow(), other);
    commands.clear();
    PostMessageA(window, WM_KEYDOWN, 'Q', 1);
    PostQuitMessage(0);
    TARVOAPP::MainDispatchLoop(window, 200);
    EXPECT_TRUE(commands.empty());
    DestroyWindow(other);

    // A table that does not exist is reported; the loop still runs until WM_QUIT.
    {
        rig::CheckRecorder checks;
        commands.clear();
        PostMessageA(window, WM_KEYDOWN, 'Q', 1);
        PostQuitMessage(0);
        TARVOAPP::MainDispatchLoop(window, 999);
        EXPECT_EQ(checks.Conditions(), std::vector<std::string>{"haccel"});
        EXPECT_TRUE(commands.empty());
    }

    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    DestroyWindow(window);
    UnregisterClassA("LanguageTestMain", GetModuleHandleA(nullptr));
}

} // namespace
