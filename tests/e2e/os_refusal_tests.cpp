// On a system of the Windows 95/98/ME family service.exe refuses every command with one box,
// before any switch is looked at.
#include <windows.h>

#include "e2e_support.h"
#include "wine.h"

namespace e2e {
namespace {

// Wine reports a Windows version to a program by its file name.
constexpr const char* kOldProgram = "service9x.exe";

struct RefusalCase {
    std::vector<std::string> args;
    bool german;
};

TEST(Windows9x, EveryRoadIsRefusedWithOneBox)
{
    if (!rig::RunningUnderWine())
        GTEST_SKIP() << "the Windows 95/98/ME family is reported to one program by Wine's settings only";
    ControllerFolder controller("win9x", kOldProgram);
    ASSERT_TRUE(controller.WriteConfig(ConfigText(RequiredEntries(kNoService))));
    rig::WineVersionFor version(kOldProgram, "win98");
    ASSERT_TRUE(version.Valid());

    const RefusalCase cases[] = {
        {{"/?"}, false},    {{"/LANG:GER", "/?"}, true}, {{"/?", "/LANG:ger"}, true},
        {{"/HELP"}, false}, {{"/install"}, false},       {{"/LANG:GER", "/start"}, true},
        {{}, false},
    };
    for (const RefusalCase& refusal : cases) {
        std::string args;
        for (const std::string& arg : refusal.args)
            args += arg + " ";
        SCOPED_TRACE(args);
        // Before Vista a box's text is broken at the first blank after 55 characters of a line.
        std::string text = refusal.german
                               ? "Der " + kNoService + "-Service kann unter Windows 95/98/ME\nnicht installiert werden."
                               : "The " + kNoService + " service can not be installed\nunder Windows 95/98/ME.";
        ExpectSingleBox(controller.Run(refusal.args), kExitSyntax, kNoService + " Service", text);
    }
    EXPECT_EQ(rig::QueryServiceState(kNoService), 0u);
}

// The configuration is checked first: a missing service.cfg is the configuration error.
TEST(Windows9x, ConfigurationErrorComesFirst)
{
    if (!rig::RunningUnderWine())
        GTEST_SKIP() << "the Windows 95/98/ME family is reported to one program by Wine's settings only";
    ControllerFolder controller("win9x-nocfg", kOldProgram);
    rig::WineVersionFor version(kOldProgram, "win98");
    ASSERT_TRUE(version.Valid());
    ExpectSingleBox(controller.Run({"/?"}), kExitConfigError, kTitle, kConfigError);
}

} // namespace
} // namespace e2e
