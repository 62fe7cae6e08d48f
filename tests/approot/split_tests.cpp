#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "approot/approot.h"

namespace {

// Splits a copy of the line the way the start routine does and returns the arguments after
// argument 0 (the program's own path, checked separately).
struct Split {
    std::vector<char> buffer;
    char programPath[PROGRAM_PATH_MAX] = {};
    char* slots[SPLIT_SLOTS + 1] = {}; // one guard slot past the vector
    int count = 0;

    explicit Split(const std::string& line) : buffer(line.begin(), line.end())
    {
        buffer.push_back(0);
        slots[SPLIT_SLOTS] = reinterpret_cast<char*>(this); // must survive the split
        count = SplitCommandLine(buffer.data(), programPath, slots, SPLIT_SLOTS);
    }
    std::vector<std::string> Arguments() const
    {
        std::vector<std::string> arguments;
        for (int i = 1; i < count; i++)
            arguments.emplace_back(slots[i]);
        return arguments;
    }
};

using Args = std::vector<std::string>;

TEST(SplitCommandLine, ArgumentZeroIsTheProgramsOwnPath)
{
    Split split("test.exe");
    ASSERT_EQ(split.count, 2);
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    EXPECT_STREQ(split.slots[0], self);
    EXPECT_EQ(split.Arguments(), Args({"test.exe"}));
    EXPECT_EQ(split.slots[2], nullptr);
}

TEST(SplitCommandLine, WithoutProgramPathBufferThereIsNoArgumentZero)
{
    std::vector<char> line{'a', ' ', 'b', 0};
    char* slots[SPLIT_SLOTS] = {};
    ASSERT_EQ(SplitCommandLine(line.data(), nullptr, slots, SPLIT_SLOTS), 2);
    EXPECT_STREQ(slots[0], "a");
    EXPECT_STREQ(slots[1], "b");
}

TEST(SplitCommandLine, QuotingAndBlanks)
{
    struct Case {
        const char* line;
        Args expected;
    } cases[] = {
        {"\"C:\\Program Files\\x\\service.exe\"", {"C:\\Program Files\\x\\service.exe"}},
        {"\"C:\\Program Files\\x\\service.exe\"    \"/CFG:x y\"    /start",
         {"C:\\Program Files\\x\\service.exe", "/CFG:x y", "/start"}},
        // A quote inside an argument is an ordinary character: the blank still splits.
        {"service.exe /CFG:\"C:\\My Dir\\a.cfg\"", {"service.exe", "/CFG:\"C:\\My", "Dir\\a.cfg\""}},
        // An unterminated quote keeps the rest of the line without its opening quote.
        {"service.exe \"abc  def", {"service.exe", "abc  def"}},
        {"   service.exe   /stop   ", {"service.exe", "/stop"}},
        {"service.exe\t/stop", {"service.exe\t/stop"}}, // tabs do not separate
        {"a \"\" b", {"a", "", "b"}},
        {"\"a\"b c", {"a", "b", "c"}},
        {"", {}},
        {"     ", {}},
    };
    for (const Case& c : cases) {
        Split split(c.line);
        EXPECT_EQ(split.Arguments(), c.expected) << "line: " << c.line;
        EXPECT_EQ(split.slots[split.count], nullptr) << "line: " << c.line;
    }
}

TEST(SplitCommandLine, MoreThan255ArgumentsEndInOneLastArgument)
{
    std::string line;
    for (int i = 0; i < 5000; i++) {
        line += 'a';
        line += std::to_string(i);
        line += ' ';
    }
    Split split(line);
    ASSERT_EQ(split.count, 255);
    // Arguments 1..253 are a0..a252; everything from a253 on is the last argument.
    EXPECT_STREQ(split.slots[1], "a0");
    EXPECT_STREQ(split.slots[253], "a252");
    std::string last = split.slots[254];
    EXPECT_EQ(last.rfind("a253 a254 ", 0), 0u);
    EXPECT_EQ(last.substr(last.size() - 6), " a4999");
    EXPECT_EQ(split.slots[255], nullptr);
    EXPECT_EQ(split.slots[256], reinterpret_cast<char*>(&split)) << "written past the slot vector";
}

TEST(SplitCommandLine, ExactlyAtTheSlotLimit)
{
    // 253 words plus argument 0 fill 254 slots inside the loop; one more word is the rest.
    std::string line;
    for (int i = 0; i < 254; i++) {
        line += 'w';
        line += std::to_string(i);
        line += ' ';
    }
    Split split(line);
    ASSERT_EQ(split.count, 255);
    EXPECT_STREQ(split.slots[254], "w253");
}

TEST(SplitCommandLine, FewSlotsHoldWhatFitsAndNothingMore)
{
    struct Case {
        int slotCount;
        bool withProgramPath;
        Args expected; // "<self>" stands for argument 0
    } cases[] = {
        {0, true, {}},
        {0, false, {}},
        {1, true, {}},
        {1, false, {}},
        {2, true, {"<self>"}},
        {2, false, {"a b  c"}},
        {3, true, {"<self>", "a b  c"}},
        {3, false, {"a", "b  c"}},
    };
    constexpr int GUARD = 4;
    for (const Case& c : cases) {
        std::string line = "a b  c";
        std::vector<char> buffer(line.begin(), line.end());
        buffer.push_back(0);
        char programPath[PROGRAM_PATH_MAX] = {};
        char* const canary = programPath + 1; // a pointer the split never stores
        char* slots[3 + GUARD];
        std::fill(std::begin(slots), std::end(slots), canary);
        int count = SplitCommandLine(buffer.data(), c.withProgramPath ? programPath : nullptr, slots, c.slotCount);
        std::string label = std::to_string(c.slotCount) + (c.withProgramPath ? " slots with path" : " slots");
        ASSERT_EQ(count, static_cast<int>(c.expected.size())) << label;
        for (int i = 0; i < count; i++)
            EXPECT_EQ(c.expected[i] == "<self>" ? std::string(programPath) : c.expected[i], slots[i]) << label;
        if (c.slotCount > 0) {
            EXPECT_EQ(slots[count], nullptr) << label;
        }
        for (int i = c.slotCount > 0 ? count + 1 : 0; i < 3 + GUARD; i++)
            EXPECT_EQ(slots[i], canary) << label << ": slot " << i << " written";
    }
}

TEST(TrimBuildDirectory, OutsideASourceTreeNothingChanges)
{
    STRING directory("C:\\nowhere\\Release");
    EXPECT_STREQ(TrimBuildDirectory(directory).c_str(), "C:\\nowhere\\Release");
}

TEST(TrimBuildDirectory, ReleaseFoldersBelowTheSourcesAreCut)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string root = std::string(temp) + "tarvo_trim_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(root.c_str(), nullptr);
    std::string source = root + "\\main.cpp";
    FILE* f = fopen(source.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fclose(f);
    for (const char* folder : {"\\Release", "\\release2", "\\Release32", "\\RELEASE64"})
        EXPECT_STREQ(TrimBuildDirectory(STRING((root + folder).c_str())).c_str(), root.c_str()) << folder;
    EXPECT_STREQ(TrimBuildDirectory(STRING((root + "\\Debug").c_str())).c_str(), (root + "\\Debug").c_str());
    DeleteFileA(source.c_str());
    RemoveDirectoryA(root.c_str());
}

} // namespace
