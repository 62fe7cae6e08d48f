// The controller dialog in the test process: built from the program's template 100, refreshed
// and clicked through its own messages, against services in Wine's Service Control Manager.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "approot/arguments.h"
#include "osys/processvalues.h"
#include "process.h"
#include "scratch.h"
#include "service/main.h"
#include "service/servicedlg.h"
#include "services.h"

namespace {

class ServiceDialog : public testing::Test {
protected:
    void SetUp() override { Use({}); }
    void TearDown() override
    {
        Use({});
        gLocale = LANG_ENGLISH;
    }

    // The program's switches for this test.
    static void Use(std::initializer_list<const char*> switches)
    {
        gArguments.DeleteAll();
        gArguments.Add(STRING("service.exe"));
        gArguments.Add(STRING("service.exe"));
        for (const char* s : switches)
            gArguments.Add(STRING(s));
    }

    static void Configure(const std::string& name)
    {
        ServiceConfig().Lookup("AppName") = name.c_str();
        ServiceConfig().Lookup("AppExe") = "TarvoTestService.exe";
        ServiceConfig().Lookup("AppWinClass") = "TarvoSampleMainWindow";
        ServiceConfig().Lookup("AppHelp") = "";
    }

    std::string Text(int id) { return dialog.GetItemText(id).c_str(); }

    // The enabled command buttons as letters (Install, Uninstall, Start, Stop); Done and Help
    // must always be enabled.
    std::string EnabledCommands()
    {
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog.Hwnd(), SERVICEDLG::ID_DONE)));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog.Hwnd(), SERVICEDLG::ID_HELP)));
        std::string letters;
        const std::pair<int, char> buttons[] = {{SERVICEDLG::ID_INSTALL, 'I'},
                                                {SERVICEDLG::ID_UNINSTALL, 'U'},
                                                {SERVICEDLG::ID_START, 'S'},
                                                {SERVICEDLG::ID_STOP, 'T'}};
        for (auto [id, letter] : buttons)
            if (IsWindowEnabled(GetDlgItem(dialog.Hwnd(), id)))
                letters += letter;
        return letters;
    }

    void Refresh() { dialog.SendMessage(WM_TIMER, SERVICEDLG::TIMER_REFRESH, 0); }
    // A click as the button itself reports it, through the toolkit's command routing.
    void Click(int id)
    {
        HWND button = GetDlgItem(dialog.Hwnd(), id);
        dialog.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    }

    SERVICEDLG dialog;
};

// A copy of the test service in a folder of its own, so its knob file is this test's alone.
struct SlowStoppingService {
    SlowStoppingService() : folder("dlgservice")
    {
        folder.CopyIn(rig::WindowsPathOf(TARVO_TESTSERVICE_EXE), "TarvoTestService.exe");
        folder.Write("TarvoTestService.ini", "StopDelayMs=3000\r\n");
    }
    rig::ScratchFolder folder;
    rig::ServiceGuard service{rig::UniqueServiceName("Dialog"), folder.PathOf("TarvoTestService.exe")};
};

TEST_F(ServiceDialog, NotInstalledOffersInstallOnly)
{
    ASSERT_TRUE(dialog.IsValid());
    Configure("TarvoTestNoSuchDialogService");
    Refresh();
    EXPECT_EQ(Text(SERVICEDLG::ID_STATE), "Service not installed");
    EXPECT_EQ(EnabledCommands(), "I");

    // Nothing to uninstall: the failure text, in both languages.
    Click(SERVICEDLG::ID_UNINSTALL);
    EXPECT_EQ(Text(SERVICEDLG::ID_RESULT), "Service cannot be uninstalled.");
    gLocale = LANG_GERMAN;
    Click(SERVICEDLG::ID_UNINSTALL);
    EXPECT_EQ(Text(SERVICEDLG::ID_RESULT), "Service konnte nicht deinstalliert werden.");
    Refresh();
    EXPECT_EQ(Text(SERVICEDLG::ID_STATE), "Service nicht installiert");
}

TEST_F(ServiceDialog, StartAndStopWithAdvancedSwitch)
{
    SlowStoppingService slow;
    ASSERT_TRUE(slow.service.Created()) << slow.service.CreateError();
    Configure(slow.service.Name());
    Use({"/ADVGUI"});
    Refresh();
    EXPECT_EQ(Text(SERVICEDLG::ID_STATE), "Service installed, stopped");
    EXPECT_EQ(EnabledCommands(), "US");

    Click(SERVICEDLG::ID_START);
    EXPECT_EQ(Text(SERVICEDLG::ID_RESULT), "Service started sucessfully.");
    ASSERT_TRUE(rig::WaitForServiceState(slow.service.Name(), SERVICE_RUNNING, 20000));
    Refresh();
    EXPECT_EQ(Text(SERVICEDLG::ID_STATE), "Service installed, running");
    EXPECT_EQ(EnabledCommands(), "T");

    // The service takes 3 s to stop: the pending state keeps the buttons of the running one.
    Click(SERVICEDLG::ID_STOP);
    EXPECT_EQ(Text(SERVICEDLG::ID_RESULT), "Service stopped sucessfully.");
    Refresh();
    EXPECT_EQ(Text(SERVICEDLG::ID_STATE), "Service installed, stop pending");
    EXPECT_EQ(EnabledCommands(), "T");
    ASSERT_TRUE(rig::WaitForServiceState(slow.service.Name(), SERVICE_STOPPED, 20000));
    Refresh();
    EXPECT_EQ(EnabledCommands(), "US");
}

// Wine reports Windows 7: without /ADVGUI, Start and Install only explain themselves.
TEST_F(ServiceDialog, VistaRestrictionWithoutAdvancedSwitch)
{
    rig::ServiceGuard service(rig::UniqueServiceName("Vista"), rig::WindowsPathOf(TARVO_TESTSERVICE_EXE));
    ASSERT_TRUE(service.Created()) << service.CreateError();
    Configure(service.Name());
    Use({"/CONFIG"});
    ServiceConfig().Lookup("ADVGUI") = "1"; // the key does not lift the restriction
    struct Case {
        int language, button;
        std::string text;
    } cases[] = {
        {LANG_ENGLISH, SERVICEDLG::ID_START, "The " + service.Name() + " service can not be used under Windows Vista or higher."},
        {LANG_GERMAN, SERVICEDLG::ID_START,
         "Der " + service.Name() + "-Service kann unter Windows Vista oder h\xF6her nicht mehr verwendet werden."},
        {LANG_GERMAN, SERVICEDLG::ID_INSTALL,
         "Der " + service.Name() + "-Service kann unter Windows Vista oder h\xF6her nicht verwendet werden."},
    };
    for (const Case& c : cases) {
        gLocale = c.language;
        dialog.SetItemText(SERVICEDLG::ID_RESULT, "earlier result");
        rig::BoxAnswerer answerer(rig::BoxAnswer::Ok, {dialog.Hwnd()});
        Click(c.button);
        auto boxes = answerer.Stop();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, service.Name() + " Service");
        EXPECT_EQ(rig::NormalizeLineBreaks(boxes[0].text), c.text);
        EXPECT_EQ(Text(SERVICEDLG::ID_RESULT), "");
    }
    EXPECT_EQ(rig::QueryServiceState(service.Name()), static_cast<DWORD>(SERVICE_STOPPED));
    ServiceConfig().Lookup("ADVGUI") = "0";
}

TEST_F(ServiceDialog, LongNameInTheVistaMessage)
{
    const std::string name(300, 'N');
    Configure(name);
    rig::BoxAnswerer answerer(rig::BoxAnswer::Ok, {dialog.Hwnd()});
    Click(SERVICEDLG::ID_START);
    auto boxes = answerer.Stop();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, name + " Service");
    EXPECT_EQ(boxes[0].text, "The " + name + " service can not be used under Windows Vista or higher.");
}

TEST_F(ServiceDialog, DoneAndTheCloseBoxEndWithZero)
{
    for (UINT message : {WM_COMMAND, WM_CLOSE}) {
        HWND done = GetDlgItem(dialog.Hwnd(), SERVICEDLG::ID_DONE);
        if (message == WM_COMMAND)
            dialog.PostMessage(WM_COMMAND, MAKEWPARAM(SERVICEDLG::ID_DONE, BN_CLICKED), reinterpret_cast<LPARAM>(done));
        else
            dialog.PostMessage(WM_CLOSE);
        EXPECT_EQ(dialog.RunModal(1), 0);
    }
}

TEST(ServiceDialogTexts, StatesResultsAndTopics)
{
    struct StateCase {
        int state;
        const char *english, *german;
    } states[] = {
        {0, "Service not installed", "Service nicht installiert"},
        {2, "Service installed, start pending", "Service installiert, startend"},
        {5, "Service installed, continue pending", "Service installiert, Forts. ausstehend"},
        {7, "Service installed, paused", "Service intsalliert, angehalten"},
        {9, "Status unknown: 9", "Unbek. Status: 9"},
        {-1, "Status unknown: -1", "Unbek. Status: -1"},
    };
    for (const StateCase& c : states) {
        gLocale = LANG_ENGLISH;
        EXPECT_STREQ(StatusText(c.state).c_str(), c.english);
        gLocale = LANG_GERMAN;
        EXPECT_STREQ(StatusText(c.state).c_str(), c.german);
    }
    gLocale = LANG_GERMAN;
    EXPECT_STREQ(ResultMessage(true, "install").c_str(), "Service wurde erfolgreich installiert.");
    gLocale = LANG_ENGLISH;
    EXPECT_STREQ(ResultMessage(true, "Uninstall").c_str(), "Service uninstalled sucessfully.");
    EXPECT_STREQ(ResultMessage(false, "PAUSE").c_str(), "Service cannot be <null>.");

    struct TopicCase {
        const char* appHelp;
        unsigned long topic;
    } topics[] = {
        {"help\\|100", 100}, {"help", 0}, {"help|", 0}, {"help|abc", 0}, {"help|-5", 0},
        {"help|99999999999999999999", 0}, {"|2147483647", 2147483647}, {"x|12 tail", 12},
    };
    for (const TopicCase& c : topics)
        EXPECT_EQ(HelpTopicOf(STRING(c.appHelp)), c.topic) << c.appHelp;
}

TEST(ServiceDialogTexts, HelpFileChoice)
{
    rig::ScratchFolder folder("dlghelp");
    folder.Write("english.chm", "x");
    std::string base = folder.Path() + "\\";
    struct Case {
        std::string appHelp;
        bool german;
        std::string name;
        int html;
    } cases[] = {
        {base + "|100", false, base + "english.chm", 1},
        {base + "|100", true, base + "german.hlp", 0}, // no german.chm beside it
        {base + "english.chm", true, base + "english.chm", 1},
        {"help\\", true, "help\\german.hlp", 0},
        {"|100", false, "", 1},
    };
    for (const Case& c : cases) {
        ControllerHelpFile help = ChooseControllerHelpFile(STRING(c.appHelp.c_str()), c.german);
        EXPECT_EQ(std::string(help.name.c_str()), c.name) << c.appHelp;
        EXPECT_EQ(help.html, c.html) << c.appHelp;
    }
}

} // namespace
