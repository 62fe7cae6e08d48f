// Inputs that broke an invariant once; they run before the random phase.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "fuzz_checks.h"

namespace {

STRING Text(const std::string& bytes)
{
    STRING text;
    text.Make(static_cast<int>(bytes.size()), bytes.data());
    return text;
}

HASH Table(const std::string& key, int handle, std::initializer_list<std::pair<const char*, const char*>> entries)
{
    HASH table;
    table.Key = Text(key);
    table.Handle = handle;
    for (const auto& [name, value] : entries)
        table.Lookup(name) = value;
    return table;
}

const char* const FILE_NAME = ".\\regression.cfg";

TEST(FuzzRegression, TableNameCannotInjectLines)
{
    const std::string keys[] = {"svc\nAppExe=evil.exe", std::string("x\0y", 3), "C:\\Tarvo", "a\n#Handle=7",
                                "a\r\n#Key=other", "\x1a", "="};
    for (const std::string& key : keys) {
        HASH table = Table(key, 0, {{"AppName", "Viewer"}, {"Zeta", "last"}});
        EXPECT_EQ(CheckHashRoundTrip(table, FILE_NAME), "") << Printable(key);
        EXPECT_EQ(CheckHashRoundTrip(table), "") << Printable(key);
        HASHLIST list;
        list.Add(table);
        list.Add(Table("second", 3, {{"k", "v"}}));
        EXPECT_EQ(CheckHashListRoundTrip(list, FILE_NAME), "") << Printable(key);
    }
}

TEST(FuzzRegression, KeysTheFormatCannotHoldRawLoseNothingElse)
{
    for (const char* key : {"a\x1a", "a\nb", "#Key", "//x", "k=v", "[#3]"}) {
        HASH table = Table("", 0, {{"A", "1"}, {key, "odd"}, {"m", "2"}, {"zz", "3"}});
        EXPECT_EQ(CheckHashRoundTrip(table, FILE_NAME), "") << Printable(key);
        HASHLIST list;
        list.Add(table);
        list.Add(Table("next", 0, {{"b", "4"}}));
        EXPECT_EQ(CheckHashListRoundTrip(list, FILE_NAME), "") << Printable(key);
        EXPECT_EQ(CheckHashListRoundTrip(list), "") << Printable(key);
    }
}

TEST(FuzzRegression, TextsWithoutRecordsReadAsAnEmptyList)
{
    for (const char* text : {"", "\n", "\r\n", "\n\n\n", "[", "[\n"})
        EXPECT_EQ(CheckNoRecords(text), "") << Printable(text);
    EXPECT_EQ(CheckHashListRoundTrip(HASHLIST(), FILE_NAME), "");
}

TEST(FuzzRegression, Utf8ReductionKeepsAscii)
{
    for (const char* bytes : {"Caf\xe9 au lait", "\xe1" "aa", "\xe1\x80" "a", "\xc3", "a\xef\xbf"})
        EXPECT_EQ(CheckEncodings(bytes), "") << Printable(bytes);
}

TEST(FuzzRegression, RegrownTextShowsZeros)
{
    StringOp shrinkRegrow{StringOp::ShrinkRegrow, "", "", 2, 4};
    EXPECT_EQ(CheckStringOps("abcdef", false, {shrinkRegrow}), "");
}

// The most negative count overflowed the start position of Right, which traps in this build;
// the child process keeps such a trap from ending the whole run.
TEST(FuzzRegression, RightWithTheMostNegativeCount)
{
    EXPECT_EXIT(
        {
            STRING text("abc");
            bool empty = !text.Right(INT_MIN).IsFilled() && !text.Right(-1).IsFilled();
            exit(empty ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(FuzzRegression, FilenameNormalForm)
{
    EXPECT_EQ(CheckFilename("C:", "\\", "\\"), "");
    EXPECT_EQ(CheckFilename("a", ".\\.", "b"), "");
    for (const char* text : {"<self>\\", "<SELF>/", "<tmp>/", "<temp>\\\\", "C:", "\\\\server\\share\\"})
        EXPECT_EQ(CheckFilename(text), "") << text;
}

TEST(FuzzRegression, SplitStaysInsideFewSlots)
{
    for (int slots = 0; slots <= 3; slots++)
        for (bool withProgramPath : {false, true})
            EXPECT_EQ(CheckSplit("service.exe /start \"a b\"", slots, withProgramPath), "")
                << slots << (withProgramPath ? " slots with path" : " slots");
}

} // namespace
