// The dialog road of service.exe: the real program shows its controller dialog (and the
// information window), and the test reads and clicks them from outside, as a person would.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "e2e_support.h"
#include "handles.h"
#include "windowfind.h"

namespace e2e {
namespace {

constexpr DWORD kFindTimeoutMs = 20000;

// A run of service.exe with a window: started, its windows found, and ended by Done.
class DialogRun {
public:
    DialogRun(ControllerFolder& controller, const std::string& args)
    {
        std::string commandLine = rig::QuoteArgument(controller.Exe()) + " " + args;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        started = CreateProcessA(controller.Exe().c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 controller.Folder().Path().c_str(), &startup, &info);
        process.reset(info.hProcess);
        rig::UniqueHandle thread(info.hThread);
        processId = info.dwProcessId;
    }
    ~DialogRun()
    {
        if (process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT)
            TerminateProcess(process.get(), 1);
    }

    HWND Find(const char* className, DWORD timeoutMs = kFindTimeoutMs)
    {
        return rig::WaitForVisibleWindow(processId, className, timeoutMs);
    }
    std::string Item(int id) { return rig::WindowText(GetDlgItem(dialog, id)); }
    // Waits for an item's text, since the dialog refreshes on its own timer.
    bool WaitForItem(int id, const std::string& text)
    {
        for (ULONGLONG begin = GetTickCount64(); GetTickCount64() - begin < 6000; Sleep(100))
            if (Item(id) == text)
                return true;
        return false;
    }
    void Click(int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
    std::string EnabledCommands()
    {
        std::string letters;
        const std::pair<int, char> buttons[] = {{1100, 'I'}, {1101, 'U'}, {1102, 'S'}, {1103, 'T'}};
        for (auto [id, letter] : buttons)
            if (IsWindowEnabled(GetDlgItem(dialog, id)))
                letters += letter;
        return letters;
    }
    // Done ends the dialog and the program; its exit code.
    DWORD Done()
    {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(2, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, 2)));
        DWORD exitCode = 259;
        if (WaitForSingleObject(process.get(), kFindTimeoutMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.get(), &exitCode);
        return exitCode;
    }

    bool started = false;
    DWORD processId = 0;
    rig::UniqueHandle process;
    HWND dialog = nullptr;
};

// A /CONFIG run that shows the dialog without the information window: its choice is stored.
void ExpectDialogAlone(ControllerFolder& controller)
{
    DialogRun run(controller, "/CONFIG");
    ASSERT_TRUE(run.started);
    run.dialog = run.Find("#32770");
    ASSERT_TRUE(run.dialog);
    EXPECT_FALSE(run.Find("TarvoWinClassInfoWindow", 1000));
    EXPECT_EQ(run.Done(), kExitOk);
}

// What the dialog shows in one language.
struct DialogTexts {
    const char* switches;
    const char* notInstalled;
    const char* stopped;
    const char* running;
    const char* installed;
    const char* started;
    const char* stoppedResult;
    const char* uninstalled;
};

// The whole life of the sample service, driven through the dialog's buttons.
TEST(ControllerDialog, InstallStartStopUninstall)
{
    const DialogTexts languages[] = {
        {"/ADVGUI", "Service not installed", "Service installed, stopped", "Service installed, running",
         "Service installed sucessfully.", "Service started sucessfully.", "Service stopped sucessfully.",
         "Service uninstalled sucessfully."},
        {"/ADVGUI /LANG:GER", "Service nicht installiert", "Service installiert, gestoppt",
         "Service installiert, gestartet", "Service wurde erfolgreich installiert.",
         "Service wurde erfolgreich gestartet.", "Service wurde erfolgreich gestoppt.",
         "Service wurde erfolgreich deinstalliert."},
    };
    for (const DialogTexts& texts : languages) {
        SCOPED_TRACE(texts.switches);
        const std::string name = rig::UniqueServiceName("DialogLife");
        RemoveOnExit remove(name);
        ControllerFolder controller("dialog");
        ASSERT_TRUE(controller.Folder().CopyIn(SampleExe()));
        // No help file: a missing one is reported as an assertion, which is not this test's subject.
        ASSERT_TRUE(controller.WriteConfig(ConfigText(With(RequiredEntries(name), "AppHelp", "|100"))));

        DialogRun run(controller, texts.switches);
        ASSERT_TRUE(run.started);
        run.dialog = run.Find("#32770");
        ASSERT_TRUE(run.dialog);
        EXPECT_EQ(rig::WindowText(run.dialog), kTitle);
        // The first refresh ran before the dialog was shown; /ADVGUI opens no information window.
        EXPECT_EQ(run.Item(1104), texts.notInstalled);
        EXPECT_EQ(run.EnabledCommands(), "I");
        EXPECT_FALSE(run.Find("TarvoWinClassInfoWindow", 500));

        // Each button, what the result line says at once, and the state the refresh shows next.
        const struct {
            int button;
            const char *result, *state, *enabled;
        } steps[] = {
            {1100, texts.installed, texts.stopped, "US"},
            {1102, texts.started, texts.running, "T"},
            {1103, texts.stoppedResult, texts.stopped, "US"},
            {1101, texts.uninstalled, texts.notInstalled, "I"},
        };
        for (const auto& step : steps) {
            SCOPED_TRACE(step.result);
            run.Click(step.button);
            EXPECT_EQ(run.Item(1105), step.result);
            EXPECT_TRUE(run.WaitForItem(1104, step.state));
            EXPECT_EQ(run.EnabledCommands(), step.enabled);
        }
        EXPECT_EQ(run.Done(), kExitOk);
    }
}

#ifdef TARVO_TEST_CHM
// Help and the window system's help request open AppHelp's topic in the real help viewer.
TEST(ControllerDialog, HelpOpensTheTopic)
{
    ControllerFolder controller("dialog-help");
    ASSERT_TRUE(controller.Folder().CopyIn(rig::WindowsPathOf(TARVO_TEST_CHM), "help_english.chm"));
    ASSERT_TRUE(controller.Folder().CopyIn(rig::WindowsPathOf(TARVO_TEST_IDS), "help_english.ids"));
    // A caption of 1,000 characters goes through whole.
    const std::string longTitle(1000, 'T');
    ASSERT_TRUE(controller.WriteConfig(ConfigText(
        With(With(RequiredEntries(rig::UniqueServiceName("DialogHelp")), "AppHelp", "help_|200"), "WINDOWTITLE",
             longTitle))));
    DialogRun run(controller, "/ADVGUI");
    ASSERT_TRUE(run.started);
    run.dialog = run.Find("#32770");
    ASSERT_TRUE(run.dialog);
    EXPECT_EQ(rig::WindowText(run.dialog), longTitle + " Service Controller");

    for (int request : {0, 1}) {
        SCOPED_TRACE(request ? "WM_HELP" : "Help button");
        if (request) {
            // Sent, not posted: the system carries a help request's record only with a sent message.
            HELPINFO info{};
            info.cbSize = sizeof info;
            info.iContextType = HELPINFO_WINDOW;
            info.hItemHandle = run.dialog;
            DWORD_PTR result = 0;
            SendMessageTimeoutA(run.dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&info), SMTO_NORMAL, 10000, &result);
        } else
            run.Click(9);
        HWND viewer = run.Find("HH Parent");
        ASSERT_TRUE(viewer);
        EXPECT_EQ(rig::WindowText(viewer), "Help file tests");
        SendMessageA(viewer, WM_CLOSE, 0, 0);
        for (ULONGLONG begin = GetTickCount64(); IsWindowVisible(viewer) && GetTickCount64() - begin < 5000;)
            Sleep(50);
        EXPECT_FALSE(IsWindowVisible(viewer));
    }
    EXPECT_EQ(run.Item(1105), "");
    EXPECT_EQ(run.Done(), kExitOk);
}
#endif

// In German, with a window title, the information window and its remembered choice.
TEST(ControllerDialog, GermanWithTheInformationWindow)
{
    const std::string name = rig::UniqueServiceName("DialogGerman");
    const std::string regKey = name; // a key of this test's own
    ControllerFolder controller("dialog-german");
    ASSERT_TRUE(controller.WriteConfig(
        ConfigText(With(With(With(RequiredEntries(name), "WINDOWTITLE", "Beispiel"), "AppRegKey", regKey), "AppHelp", "|100"))));

    {
        DialogRun run(controller, "/CONFIG /LANG:GER");
        ASSERT_TRUE(run.started);
        run.dialog = run.Find("#32770");
        ASSERT_TRUE(run.dialog);
        EXPECT_EQ(rig::WindowText(run.dialog), "Beispiel Service Controller");
        const std::pair<int, const char*> labels[] = {{1100, "Installieren"}, {1101, "Deinstallieren"},
                                                      {1102, "Starten"},      {1103, "Stoppen"},
                                                      {2, "Fertig"},          {9, "Hilfe"}};
        for (auto [id, label] : labels)
            EXPECT_EQ(run.Item(id), label);
        EXPECT_EQ(run.Item(1104), "Service nicht installiert");

        HWND info = run.Find("TarvoWinClassInfoWindow");
        ASSERT_TRUE(info);
        EXPECT_EQ(rig::WindowText(info), kTitle);
        std::string text = rig::WindowText(GetDlgItem(info, 1001));
        EXPECT_EQ(text.rfind(" W I C H T I G !\r\n \r\n Mit diesem Tool kann " + name + " als Service am System", 0), 0u)
            << text;
        EXPECT_EQ(text.find("$PROGNAME"), std::string::npos) << text;
        HWND check = GetDlgItem(info, 1002);
        EXPECT_EQ(rig::WindowText(check), "Dieses Fenster nicht mehr anzeigen");
        SendMessageA(check, BM_CLICK, 0, 0);
        SendMessageA(info, WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindow(info));
        EXPECT_EQ(run.Done(), kExitOk);
    }

    // The registry's own tool reads the choice back: four bytes of binary 1.
    const std::string key = "Software\\Tarvo\\" + regKey;
    rig::RunResult query = rig::RunProgram(
        "C:\\windows\\system32\\cmd.exe",
        {"/c", "reg query \"HKCU\\" + key + "\" /v DontShowAgainSrvCtrl > reg.txt"}, controller.Folder().Path(),
        kRunTimeoutMs, rig::BoxAnswer::Ok);
    EXPECT_EQ(query.exitCode, 0u);
    std::string listing = controller.Folder().Read("reg.txt");
    EXPECT_NE(listing.find("DontShowAgainSrvCtrl"), std::string::npos) << listing;
    EXPECT_NE(listing.find("REG_BINARY"), std::string::npos) << listing;
    EXPECT_NE(listing.find("01000000"), std::string::npos) << listing;

    // The stored choice: the next run shows the dialog alone.
    ExpectDialogAlone(controller);
    RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
}

// Opens the dialog with its information window, ticks "do not show again" and ends the dialog
// with Done while the window is still open; the next run must show the dialog alone.
void TickThenDoneKeepsTheChoice(ControllerFolder& controller)
{
    {
        DialogRun run(controller, "/CONFIG");
        ASSERT_TRUE(run.started);
        run.dialog = run.Find("#32770");
        ASSERT_TRUE(run.dialog);
        HWND info = run.Find("TarvoWinClassInfoWindow");
        ASSERT_TRUE(info);
        HWND check = GetDlgItem(info, 1002);
        ASSERT_TRUE(IsWindowVisible(check));
        SendMessageA(check, BM_CLICK, 0, 0);
        EXPECT_EQ(run.Done(), kExitOk);
    }
    ExpectDialogAlone(controller);
}

TEST(ControllerDialog, TheTickIsKeptWhenDoneEndsTheDialogFirst)
{
    const std::string name = rig::UniqueServiceName("DialogTick");
    const std::string key = "Software\\Tarvo\\" + name;
    ControllerFolder controller("dialog-tick");
    ASSERT_TRUE(controller.WriteConfig(ConfigText(With(With(RequiredEntries(name), "AppRegKey", name), "AppHelp", "|100"))));
    TickThenDoneKeepsTheChoice(controller);
    RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
}

// An empty AppRegKey keeps the choice in Software\Tarvo itself.
TEST(ControllerDialog, AnEmptyAppRegKeyStillKeepsTheChoice)
{
    ControllerFolder controller("dialog-emptykey");
    ASSERT_TRUE(controller.WriteConfig(
        ConfigText(With(With(RequiredEntries(rig::UniqueServiceName("DialogEmptyKey")), "AppRegKey", ""), "AppHelp", "|100"))));
    TickThenDoneKeepsTheChoice(controller);
    HKEY tarvo = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tarvo", 0, KEY_SET_VALUE, &tarvo), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(tarvo, "DontShowAgainSrvCtrl"), ERROR_SUCCESS);
    RegCloseKey(tarvo);
}

} // namespace
} // namespace e2e
