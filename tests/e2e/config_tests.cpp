// service.cfg checks, the syntax box, the language of the error box and the CFG switch,
// seen from outside: exit code and the exact boxes of service.exe.
#include <windows.h>
#include <shlobj.h>

#include "e2e_support.h"
#include "handles.h"

namespace e2e {
namespace {

enum class Setup { Missing, Folder, Locked, Text };

struct RejectedCase {
    const char* name;
    Setup setup;
    std::string text; // the file's content for Setup::Text and Setup::Locked
};

std::vector<RejectedCase> RejectedCases()
{
    const ConfigEntries good = RequiredEntries(kNoService);
    return {
        {"missing", Setup::Missing, {}},
        {"folder named service.cfg", Setup::Folder, {}},
        {"locked by another process", Setup::Locked, ConfigText(good)},
        {"empty", Setup::Text, ""},
        {"no AppName", Setup::Text, ConfigText(Without(good, "AppName"))},
        {"no AppExe", Setup::Text, ConfigText(Without(good, "AppExe"))},
        {"no AppHelp", Setup::Text, ConfigText(Without(good, "AppHelp"))},
        {"no AppRegKey", Setup::Text, ConfigText(Without(good, "AppRegKey"))},
        {"no AppWinClass", Setup::Text, ConfigText(Without(good, "AppWinClass"))},
        {"AppWinClass without Tarvo", Setup::Text, ConfigText(With(good, "AppWinClass", "SampleMainWindow"))},
        {"AppWinClass lower-case tarvo", Setup::Text, ConfigText(With(good, "AppWinClass", "mytarvowindow"))},
        {"AppName only in comments", Setup::Text,
         "// AppName=" + kNoService + "\r\n#AppName=" + kNoService + "\r\n" + ConfigText(Without(good, "AppName"))},
        // Blanks around "=" belong to the key.
        {"blank before =", Setup::Text, "AppName =" + kNoService + "\r\n" + ConfigText(Without(good, "AppName"))},
    };
}

// Every rejected configuration gives the one error box and exit code 100, whatever the
// switch: the configuration is checked before any switch is looked at.
TEST(ConfigRejected, ErrorBoxAndExitCode100ForEverySwitch)
{
    const std::vector<std::vector<std::string>> switchSets = {{}, {"/?"}, {"/start"}, {"/HELP", "/stop"}};
    for (const RejectedCase& rejected : RejectedCases()) {
        SCOPED_TRACE(rejected.name);
        ControllerFolder controller("rejected");
        rig::UniqueFileHandle lock;
        switch (rejected.setup) {
        case Setup::Missing:
            break;
        case Setup::Folder:
            ASSERT_TRUE(controller.Folder().MakeFolder("service.cfg"));
            break;
        case Setup::Locked:
            ASSERT_TRUE(controller.WriteConfig(rejected.text));
            // No sharing at all: the controller cannot open the file for reading.
            lock.reset(CreateFileA(controller.PathOf("service.cfg").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(lock);
            break;
        case Setup::Text:
            ASSERT_TRUE(controller.WriteConfig(rejected.text));
            break;
        }
        for (const auto& switches : switchSets) {
            SCOPED_TRACE(switches.empty() ? std::string("no switch") : switches[0]);
            ExpectSingleBox(controller.Run(switches), kExitConfigError, kTitle, kConfigError);
        }
    }
}

// Beside the box, the log and the standard output say which check failed and in which file.
TEST(ConfigRejected, TheLineNamesTheFileAndTheCheck)
{
    const ConfigEntries good = RequiredEntries(kNoService);
    const struct {
        const char* name;
        std::string text; // the file's content; empty: no file
        std::string why;
    } cases[] = {
        {"missing", "", "not found"},
        {"no AppExe", ConfigText(Without(good, "AppExe")), "the key AppExe is missing"},
        {"blank before =", "AppName =x\r\n" + ConfigText(Without(good, "AppName")),
         "the key AppName is missing (line 1: \"AppName =x\" has blanks around the key)"},
        {"line without =", "// a comment\r\nAppName x\r\n" + ConfigText(Without(good, "AppName")),
         "the key AppName is missing (line 2: \"AppName x\" has no '=')"},
        {"AppWinClass without Tarvo", ConfigText(With(good, "AppWinClass", "mytarvowindow")),
         "AppWinClass \"mytarvowindow\" does not contain \"Tarvo\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ControllerFolder controller("rejected-line");
        if (!c.text.empty()) {
            ASSERT_TRUE(controller.WriteConfig(c.text));
        }
        rig::RunResult run = controller.Run({"/start"});
        // The table's reader reports a line without '=' with an assertion box first.
        if (run.boxes.size() == 2 && run.boxes[0].text.find("item.Find(\"=\")") != std::string::npos) {
            run.boxes.erase(run.boxes.begin());
        }
        ExpectSingleBox(run, kExitConfigError, kTitle, kConfigError);
        EXPECT_EQ(Lower(run.output), Lower(std::string(kConfigError).substr(0, strlen(kConfigError) - 1) + ": " +
                                           controller.PathOf("service.cfg") + ": " + c.why + "\r\n"));
    }

    // The file that was tried, and the German text.
    ControllerFolder controller("rejected-other");
    rig::UniqueFileHandle lock;
    ASSERT_TRUE(controller.WriteConfig(ConfigText(good), "other.cfg"));
    lock.reset(CreateFileA(controller.PathOf("other.cfg").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    rig::RunResult run = controller.Run({"/CFG:other.cfg", "/LANG:GER"});
    ExpectSingleBox(run, kExitConfigError, kTitle, kConfigErrorGerman);
    EXPECT_EQ(Lower(run.output)
                  .rfind(Lower("Service.cfg nicht gefunden oder fehlerhaft: " + controller.PathOf("other.cfg") +
                               ": nicht lesbar: Fehler 32: "),
                         0),
              0u)
        << run.output;
}

struct LanguageCase {
    std::vector<std::string> args;
    const char* expected;
};

// The language switch picks the error text; the user's locale here is English.
TEST(ConfigRejected, LanguageSwitchChoosesTheText)
{
    const LanguageCase cases[] = {
        {{"/LANG:GER"}, kConfigErrorGerman},
        {{"/lang:ger", "/start"}, kConfigErrorGerman},
        {{"/LANGGER"}, kConfigErrorGerman}, // the colon is optional for a value
        {{"-LANG", "GER"}, kConfigErrorGerman},
        {{"/LANG:DE"}, kConfigError}, // not a known language: the locale decides
        {{"/LANG:ENGL"}, kConfigError},
        {{"/LANG:FRENCH"}, kConfigError},
    };
    ControllerFolder controller("language");
    for (const LanguageCase& language : cases) {
        SCOPED_TRACE(language.args[0]);
        ExpectSingleBox(controller.Run(language.args), kExitConfigError, kTitle, language.expected);
    }
}

// The syntax switch shows the plain syntax box and returns 1; it wins over every later switch
// in the fixed order, wherever it stands on the command line.
TEST(Syntax, SyntaxBoxAndExitCode1)
{
    const std::vector<std::vector<std::string>> switchSets = {
        {"/?"},
        {"-?"},
        {"/HELP"},
        {"-help"},
        {"/Help"},
        {"/?", "/start"},
        {"/stop", "/?"},
        {"/install", "/HELP"},
        {"/uninstall", "-?"},
        {"/LANG:GER", "/?"}, // English only
    };
    ControllerFolder controller("syntax");
    ASSERT_TRUE(controller.WriteConfig(ConfigText(RequiredEntries(kNoService))));
    for (const auto& switches : switchSets) {
        SCOPED_TRACE(switches[0] + (switches.size() > 1 ? " " + switches[1] : std::string()));
        ExpectSingleBox(controller.Run(switches), kExitSyntax, kTitle, kSyntax);
    }
}

struct AcceptedCase {
    const char* name;
    std::string text;
};

// Configurations that pass the checks: the syntax switch then shows its box and returns 1.
TEST(ConfigAccepted, ValidVariantsReachTheSyntaxBox)
{
    const ConfigEntries good = RequiredEntries(kNoService);
    const AcceptedCase cases[] = {
        {"CR LF line ends", ConfigText(good, "\r\n")},
        {"LF line ends", ConfigText(good, "\n")},
        {"no line end after the last line", ConfigText(good, "\n").substr(0, ConfigText(good, "\n").size() - 1)},
        {"empty values", ConfigText(With(With(good, "AppHelp", ""), "AppRegKey", ""))},
        {"Tarvo inside the class name", ConfigText(With(good, "AppWinClass", "MyTarvoWindow"))},
        {"keys in other case",
         "appname=" + kNoService + "\r\nAPPEXE=x.exe\r\nApphelp=|1\r\nappregkey=x\r\nAPPWINCLASS=Tarvo\r\n"},
        {"comments, blank lines and the #Key and #Handle lines",
         "// settings\r\n\r\n#Key=service\r\n#Handle=3\r\n# a comment\r\n" + ConfigText(good) + "\r\n"},
        {"duplicate keys", ConfigText(good) + "appname=ignored duplicate\r\n"},
        {"optional keys", ConfigText(With(With(good, "ADVGUI", "1"), "WINDOWTITLE", "Sample Service"))},
        {"escaped bytes in values", ConfigText(With(good, "AppRegKey", "Tarvo\\\\Sample\\x41\\t"))},
        {"the sample application's service.cfg", rig::ReadFileBytes(SampleConfig())},
    };
    ControllerFolder controller("accepted");
    for (const AcceptedCase& accepted : cases) {
        SCOPED_TRACE(accepted.name);
        ASSERT_TRUE(controller.WriteConfig(accepted.text));
        ExpectSingleBox(controller.Run({"/?"}), kExitSyntax, kTitle, kSyntax);
    }
}

struct CfgCase {
    const char* name;
    std::vector<std::string> args;
    DWORD exitCode;
};

// The CFG switch names another configuration file, but only one that exists as a file;
// anything else falls back to service.cfg without a message.
TEST(CfgSwitch, OtherFileOnlyWhenItExists)
{
    ControllerFolder controller("cfg");
    ControllerFolder elsewhere("cfg-elsewhere");
    const std::string goodText = ConfigText(RequiredEntries(kNoService));
    const std::string badText = ConfigText(Without(RequiredEntries(kNoService), "AppExe"));
    ASSERT_TRUE(controller.WriteConfig(goodText, "good.cfg"));
    ASSERT_TRUE(controller.WriteConfig(badText, "bad.cfg"));
    ASSERT_TRUE(controller.Folder().MakeFolder("cfgdir"));
    ASSERT_TRUE(elsewhere.WriteConfig(badText, "bad.cfg"));
    controller.Watch("good.cfg");
    controller.Watch("bad.cfg");

    std::string longPath = controller.Folder().Path() + "\\";
    longPath.append(300 - longPath.size() - 4, 'a');
    longPath += ".cfg";
    ASSERT_EQ(longPath.size(), 300u);

    const CfgCase withGoodDefault[] = {
        {"file that does not exist", {"/CFG:missing.cfg", "/?"}, kExitSyntax},
        {"empty value", {"/CFG:", "/?"}, kExitSyntax},
        {"a folder", {"/CFG:cfgdir", "/?"}, kExitSyntax},
        {"300-character path", {"/CFG:" + longPath, "/?"}, kExitSyntax},
        {"existing wrong file", {"/CFG:bad.cfg", "/?"}, kExitConfigError},
        {"existing wrong file, -CFG form", {"-CFG", "bad.cfg", "/?"}, kExitConfigError},
        {"existing wrong file, absolute path", {"/CFG:" + elsewhere.PathOf("bad.cfg"), "/?"}, kExitConfigError},
    };
    ASSERT_TRUE(controller.WriteConfig(goodText));
    for (const CfgCase& cfg : withGoodDefault) {
        SCOPED_TRACE(cfg.name);
        ExpectSingleBox(controller.Run(cfg.args), cfg.exitCode, kTitle,
                        cfg.exitCode == kExitSyntax ? kSyntax : kConfigError);
    }

    const CfgCase withoutDefault[] = {
        {"existing good file", {"/CFG:good.cfg", "/?"}, kExitSyntax},
        {"existing good file, -CFG form", {"-CFG", "good.cfg", "/?"}, kExitSyntax},
        {"switch name in other case", {"/cfg:good.cfg", "/?"}, kExitSyntax},
        // Only /CFG: entries count for the presence test, but the value is taken from the first
        // entry that merely starts with CFG: "FILE:x.cfg" names no file, so service.cfg is read.
        {"first value from a longer switch", {"/CFGFILE:x.cfg", "/CFG:good.cfg", "/?"}, kExitConfigError},
        {"second CFG switch is not used", {"/CFG:missing.cfg", "/CFG:good.cfg", "/?"}, kExitConfigError},
    };
    ASSERT_TRUE(controller.Folder().Write("service.cfg", badText));
    for (const CfgCase& cfg : withoutDefault) {
        SCOPED_TRACE(cfg.name);
        ExpectSingleBox(controller.Run(cfg.args), cfg.exitCode, kTitle,
                        cfg.exitCode == kExitSyntax ? kSyntax : kConfigError);
    }
}

// A CFG name with a shell folder token is expanded before it is tested and loaded.
TEST(CfgSwitch, NameIsExpandedBeforeItIsLoaded)
{
    char documents[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents), S_OK);
    const std::string name = "tarvo-cfg-" + std::to_string(GetCurrentProcessId()) + ".cfg";
    const std::string path = std::string(documents) + "\\" + name;
    ASSERT_TRUE(rig::WriteFileBytes(path, ConfigText(RequiredEntries(kNoService))));
    ControllerFolder controller("cfg-expanded");
    // The default is wrong: only the named file gives the syntax box.
    ASSERT_TRUE(controller.WriteConfig(ConfigText(Without(RequiredEntries(kNoService), "AppExe"))));
    for (const char* token : {"%USERDOCUMENTS%", "$(USERDOCUMENTS)"}) {
        SCOPED_TRACE(token);
        ExpectSingleBox(controller.Run({"/CFG:" + std::string(token) + "\\" + name, "/?"}), kExitSyntax, kTitle,
                        kSyntax);
    }
    DeleteFileA(path.c_str());
}

} // namespace
} // namespace e2e
