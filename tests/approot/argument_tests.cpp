#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "approot/arguments.h"
#include "osys/processvalues.h"

namespace {

void SetArguments(std::initializer_list<const char*> arguments)
{
    gArguments.DeleteAll();
    for (const char* argument : arguments)
        gArguments.Add(STRING(argument));
}

TEST(TestArg, SlashOrDashAndTheWholeNameInAnyCase)
{
    for (const char* argument : {"/start", "/START", "-Start"}) {
        SetArguments({"C:\\x\\service.exe", "service.exe", argument});
        EXPECT_EQ(TestArg("START"), 1) << argument;
    }
    for (const char* argument : {"/start:now", "--start", "start", "/star", "/startx"}) {
        SetArguments({"C:\\x\\service.exe", "service.exe", argument});
        EXPECT_EQ(TestArg("START"), 0) << argument;
    }
}

TEST(TestArg, ProgramPathEntriesDoNotMatch)
{
    SetArguments({"C:\\x\\service.exe", "service.exe"});
    EXPECT_EQ(TestArg("service.exe"), 0);
    SetArguments({"/?", "x"});
    EXPECT_EQ(TestArg("?"), 1);
}

TEST(TestArgValue, ColonFormAndDashFormAreCounted)
{
    SetArguments({"/CFG:a.cfg"});
    EXPECT_EQ(TestArgValue("CFG", 0), 1);
    EXPECT_EQ(TestArgValue("CFG", 1), 0);
    SetArguments({"/CFG"});
    EXPECT_EQ(TestArgValue("CFG", 0), 0);
    SetArguments({"-CFG", "a.cfg"});
    EXPECT_EQ(TestArgValue("CFG", 0), 1);
    EXPECT_STREQ(GetArgValue("CFG", 0).c_str(), "a.cfg");
    SetArguments({"/CFG:a", "/CFG:b"});
    EXPECT_STREQ(GetArgValue("CFG", 1).c_str(), "b");
    EXPECT_EQ(TestArgValue("CFG", 1), 1);
}

TEST(GetArgValue, CountsPrefixMatches)
{
    // The colon is optional for the value, although TestArgValue needs it.
    SetArguments({"/LANGGER"});
    EXPECT_STREQ(GetArgValue("LANG", 0).c_str(), "GER");
    EXPECT_EQ(TestArgValue("LANG", 0), 0);

    SetArguments({"/CFGFILE:x", "/CFG:y"});
    EXPECT_EQ(TestArgValue("CFG", 0), 1);
    EXPECT_STREQ(GetArgValue("CFG", 0).c_str(), "FILE:x");
    EXPECT_STREQ(GetArgValue("CFG", 1).c_str(), "y");
}

TEST(GetArgValue, MissingValuesAreNull)
{
    SetArguments({"x", "-CFG"}); // the dash form as the last argument has no value
    EXPECT_TRUE(GetArgValue("CFG", 0).IsNull());
    EXPECT_TRUE(GetArgValue("NONE", 0).IsNull());
    EXPECT_TRUE(GetArgValue("CFG", 1).IsNull());
    SetArguments({"/CFG:"});
    EXPECT_FALSE(GetArgValue("CFG", 0).IsFilled());
}

TEST(GetArgValue, PercentSignsInValuesAreData)
{
    SetArguments({"/CFG:%s%n%x.cfg"});
    EXPECT_STREQ(GetArgValue("CFG", 0).c_str(), "%s%n%x.cfg");
}

} // namespace

namespace {

// A folder of the temporary directory holding the given files, removed afterwards.
class IniFolder {
public:
    explicit IniFolder(const std::string& label)
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        path = std::string(temp) + "tarvo_ini_" + label + "_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(path.c_str(), nullptr);
    }
    ~IniFolder()
    {
        for (const std::string& file : files)
            DeleteFileA(file.c_str());
        RemoveDirectoryA(path.c_str());
    }
    void Write(const std::string& name, const std::string& bytes)
    {
        std::string file = path + "\\" + name;
        FILE* f = fopen(file.c_str(), "wb");
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
        files.push_back(file);
    }
    std::string path;
    std::vector<std::string> files;
};

std::vector<std::string> Arguments()
{
    std::vector<std::string> list;
    for (int i = 0; i < gArguments.ItemCount; i++)
        list.emplace_back(gArguments.Get(i)->c_str());
    return list;
}

void Build(const std::string& exeDir, const std::string& workDir, std::vector<const char*> argv)
{
    gExeDir = exeDir.c_str();
    gWorkDir = workDir.c_str();
    BuildArgumentList(static_cast<int>(argv.size()), const_cast<char**>(argv.data()));
}

TEST(ArgumentFiles, LinesAreTrimmedAndEmptyLinesSkipped)
{
    IniFolder folder("lines");
    folder.Write("commandline.ini", "  /start \t\r\n\r\n\n/CFG:my dir\\x.cfg\nlast line without end");
    Build(folder.path, folder.path, {"C:\\self.exe", "self.exe", "/stop"});
    EXPECT_EQ(Arguments(), std::vector<std::string>({"C:\\self.exe", "self.exe", "/stop", "/start",
                                                     "/CFG:my dir\\x.cfg", "last line without end"}));
    EXPECT_EQ(TestArg("START"), 1);
    EXPECT_STREQ(GetArgValue("CFG", 0).c_str(), "my dir\\x.cfg");
}

TEST(ArgumentFiles, FourCandidatesInOrderAndNoFileReadTwice)
{
    IniFolder exe("exe"), work("work");
    exe.Write("commandline.ini", "/a\n");
    exe.Write("approot_tests_commandline.ini", "/b\n"); // the program's base name and "_"
    work.Write("commandline.ini", "/c\n");
    work.Write("approot_tests_commandline.ini", "/d\n");
    work.Write("other_commandline.ini", "/never\n");
    Build(exe.path, work.path, {"x"});
    EXPECT_EQ(Arguments(), std::vector<std::string>({"x", "/a", "/b", "/c", "/d"}));

    Build(exe.path, exe.path, {"x"});
    EXPECT_EQ(Arguments(), std::vector<std::string>({"x", "/a", "/b"}));
}

TEST(ArgumentFiles, StartupDelayNeverWaitsForNegativeOrTextValues)
{
    IniFolder folder("delay");
    for (const char* value : {"/STARTUPDELAY:-2000000", "/STARTUPDELAY:x", "/STARTUPDELAY:0"}) {
        DWORD start = GetTickCount();
        Build(folder.path, folder.path, {"x", value});
        EXPECT_LT(GetTickCount() - start, 900u) << value;
    }
    DWORD start = GetTickCount();
    Build(folder.path, folder.path, {"x", "-STARTUPDELAY", "1"});
    EXPECT_GE(GetTickCount() - start, 900u);
}

} // namespace
