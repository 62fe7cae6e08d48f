// Hostile input: binary and huge configuration files and command lines of thousands of
// arguments. Each run must end with one of the program's exit codes and boxes, never crash or
// hang, and never write service.cfg.
#include <windows.h>

#include "e2e_support.h"

namespace e2e {
namespace {

// Every byte value, several times over: NUL, control bytes, "=", "\", "{", "}", high bytes.
std::string BinaryBytes(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(((i + 1) * 7 + i / 256) & 0xFF);
    }
    return bytes;
}

struct BadFileCase {
    const char* name;
    std::string text;
    DWORD exitCode;
};

// /NOASSERT keeps the library's failed-check reports out of boxes, so only the controller's
// own box remains.
TEST(BadConfigFile, ConfigErrorWithoutAssertionBoxes)
{
    const ConfigEntries good = RequiredEntries(kNoService);
    std::string hugeValid = ConfigText(good);
    const std::string filler(1000, 'x');
    for (int i = 0; hugeValid.size() < 5 * 1024 * 1024; ++i) {
        char key[32];
        snprintf(key, sizeof key, "Pad%06d=", i);
        hugeValid += key + filler + "\r\n";
    }
    const BadFileCase cases[] = {
        {"binary bytes", BinaryBytes(4096), kExitConfigError},
        {"binary bytes after the required keys", ConfigText(good) + BinaryBytes(4096), kExitSyntax},
        {"5 MB of key lines", hugeValid, kExitSyntax},
        {"5 MB in one line without =", std::string(5 * 1024 * 1024, 'x'), kExitConfigError},
        {"5 MB of binary bytes", BinaryBytes(5 * 1024 * 1024), kExitConfigError},
    };
    ControllerFolder controller("badfile");
    for (const BadFileCase& bad : cases) {
        SCOPED_TRACE(bad.name);
        ASSERT_TRUE(controller.WriteConfig(bad.text));
        ExpectSingleBox(controller.Run({"/NOASSERT", "/?"}), bad.exitCode, kTitle,
                        bad.exitCode == kExitSyntax ? kSyntax : kConfigError);
    }
}

// Without /NOASSERT, a line without "=" is a failed check that asks whether to continue;
// answered Yes, the run goes on and ends in the configuration error. The check is also
// appended to assert.log beside the program.
TEST(BadConfigFile, AssertionQuestionsAnsweredYesEndInTheConfigError)
{
    ControllerFolder controller("badfile-asserts");
    ASSERT_TRUE(controller.WriteConfig("\x80\x81\xfe\xff binary line without an equals sign\r\n" + BinaryBytes(1024)));
    rig::RunResult result = controller.Run({"/?"}, rig::BoxAnswer::Yes);
    EXPECT_EQ(result.exitCode, kExitConfigError) << Describe(result);
    ASSERT_GE(result.boxes.size(), 2u) << Describe(result);
    const rig::MessageBoxSeen& last = result.boxes.back();
    EXPECT_EQ(last.title, kTitle);
    EXPECT_EQ(last.text, kConfigError);
    for (size_t i = 0; i + 1 < result.boxes.size(); ++i) {
        EXPECT_EQ(result.boxes[i].buttons, "Yes|No") << Describe(result);
    }
    EXPECT_NE(controller.Folder().Read("assert.log").find("item.Find"), std::string::npos);
}

struct ArgumentsCase {
    const char* name;
    std::vector<std::string> args;
    DWORD exitCode;
    bool syntaxBox;
};

std::vector<std::string> Repeated(const std::string& argument, size_t count)
{
    return std::vector<std::string>(count, argument);
}

template <typename... Parts>
std::vector<std::string> Joined(const Parts&... parts)
{
    std::vector<std::string> all;
    (all.insert(all.end(), parts.begin(), parts.end()), ...);
    return all;
}

// The command line is split into at most 255 arguments; the rest stays one last argument, which
// is no switch. Only the switches among the arguments split off decide the exit code.
TEST(ThousandsOfArguments, SplitSwitchesDecideWithoutCrash)
{
    ControllerFolder controller("args");
    ASSERT_TRUE(controller.WriteConfig(ConfigText(RequiredEntries(kNoService))));
    const ArgumentsCase cases[] = {
        {"syntax switch first", Joined(std::vector<std::string>{"/?"}, Repeated("x", 3000)), kExitSyntax, true},
        // Beyond the 255th argument the syntax switch is part of the last argument: no switch at all.
        {"syntax switch last", Joined(Repeated("x", 3000), std::vector<std::string>{"/?"}), kExitNotInstalled, false},
        {"start switches", Repeated("/start", 3000), kExitStartFailed, false},
        {"unknown switches", Repeated("/nosuchswitch", 2000), kExitNotInstalled, false},
    };
    for (const ArgumentsCase& arguments : cases) {
        SCOPED_TRACE(arguments.name);
        rig::RunResult result = controller.Run(arguments.args);
        if (arguments.syntaxBox) {
            ExpectSingleBox(result, arguments.exitCode, kTitle, kSyntax);
        } else {
            ExpectNoBox(result, arguments.exitCode);
        }
    }
}

} // namespace
} // namespace e2e
