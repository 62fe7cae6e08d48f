// STRING and the BINARY storage model: states, growth, null guard, text operations.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "text/binary.h"
#include "text/stringpool.h"
#include "text/strings.h"
#include "text_support.h"

namespace {

// Runs fn with DOREREDERAZUVAZ set to mode, then puts the guard back to its default.
template <class Fn>
void WithNullGuardMode(const char* mode, Fn fn)
{
    _putenv_s("DOREREDERAZUVAZ", mode);
    fn();
    _putenv_s("DOREREDERAZUVAZ", "0");
    NullGuard(nullptr, nullptr); // reads the variable again: mode 0
    _putenv_s("DOREREDERAZUVAZ", "");
}

TEST(StringStates, NullAndEmptyAreDistinct)
{
    STRING null(nullptr);
    EXPECT_TRUE(null.IsNull());
    EXPECT_EQ(0, null.Length());
    EXPECT_FALSE(null.IsFilled());
    EXPECT_EQ(96, null.BlockSize);
    EXPECT_EQ(1252, null.CodePage);

    STRING empty("");
    EXPECT_FALSE(empty.IsNull());
    EXPECT_EQ(0, empty.Length());
    EXPECT_FALSE(empty.IsFilled());

    null.MakeNotNull();
    EXPECT_FALSE(null.IsNull());
    EXPECT_EQ(0, null.Length());
    EXPECT_EQ('\0', null.Buffer[0]);
}

TEST(StringStates, AppendingNothingToNullGivesEmpty)
{
    STRING text;
    text.Append("", 0);
    EXPECT_FALSE(text.IsNull());
    EXPECT_EQ(0, text.Length());
}

TEST(StringStates, CopyAndAssignmentCarryBlockSizeFlagsAndCodePage)
{
    STRING source("abc", 16, 437);
    source.Flags |= STRINGFLAG_BINARY;
    STRING copy(source);
    EXPECT_EQ(16, copy.BlockSize);
    EXPECT_EQ(STRINGFLAG_BINARY, copy.Flags & STRINGFLAG_BINARY);
    EXPECT_EQ(437, copy.CodePage);
    EXPECT_STREQ("abc", copy.c_str());
    EXPECT_NE(source.Buffer, copy.Buffer);

    STRING target("something longer than abc");
    target = source;
    EXPECT_STREQ("abc", target.c_str());
    EXPECT_EQ(3, target.Length());
    EXPECT_EQ(437, target.CodePage);
    EXPECT_EQ(0, target.Buffer[5]) << "bytes behind the new end are cleared";

    target = STRING();
    EXPECT_TRUE(target.IsNull());
    target = target; // self-assignment changes nothing
    EXPECT_TRUE(target.IsNull());
}

TEST(StringStates, ConstructionFromBytesKeepsZeroBytes)
{
    STRING text(BinaryOf(std::string("a\0b", 3)));
    EXPECT_EQ(3, text.Length());
    EXPECT_EQ(std::string("a\0b", 3), Bytes(text));
    EXPECT_EQ(1252, text.CodePage);
}

// Growth by single-byte appends: every buffer size the text passes through, with its granule.
TEST(StringMake, GrowthFiguresFollowTheGranuleRules)
{
    struct Step {
        int bufLen;
        int blockSize;
        bool dynablock;
    };
    std::vector<Step> expected;
    for (int len = 96; len <= 960; len += 96)
        expected.push_back({len, 96, false});
    expected.push_back({1056, 1024, false});
    expected.push_back({2048, 1024, false});
    expected.push_back({3072, 1024, false});
    expected.push_back({4096, 2048, false});
    expected.push_back({6144, 2048, false});
    for (int len = 8192; len <= 32768; len += 4096)
        expected.push_back({len, 4096, false});
    expected.push_back({36864, 32768, true});
    expected.push_back({65536, 32768, true});
    expected.push_back({98304, 49152, true});
    expected.push_back({147456, 73728, true});

    STRING text("");
    std::vector<Step> seen = {{text.BufLen, text.BlockSize, false}};
    while (text.BufLen < 147456) {
        text.Append('x');
        if (text.BufLen != seen.back().bufLen)
            seen.push_back({text.BufLen, text.BlockSize, (text.Flags & STRINGFLAG_DYNABLOCK) != 0});
    }
    ASSERT_EQ(expected.size(), seen.size());
    for (size_t i = 0; i < expected.size(); i++) {
        SCOPED_TRACE("step " + std::to_string(i));
        EXPECT_EQ(expected[i].bufLen, seen[i].bufLen);
        EXPECT_EQ(expected[i].blockSize, seen[i].blockSize);
        EXPECT_EQ(expected[i].dynablock, seen[i].dynablock);
    }
}

TEST(StringMake, HundredCharactersGiveTwoGranules)
{
    STRING text("");
    text.Append(std::string(100, 'a').c_str());
    EXPECT_EQ(192, text.BufLen);
    EXPECT_EQ(100, text.Length());
}

TEST(StringMake, UpgradeToDynablockIsLoggedOnce)
{
    std::string log = CaptureLog([] {
        STRING text("");
        for (int i = 0; i < 40000; i++)
            text.Append('y');
        EXPECT_NE(0u, text.Flags & STRINGFLAG_DYNABLOCK);
        EXPECT_EQ(32768, text.BlockSize);
    });
    EXPECT_EQ(1, CountOf(log, "STRING::Make Upgrade String to STRINGFLAG_DYNABLOCK"));
}

TEST(StringMake, DynablockGranuleIsCappedAtTwoMebibytes)
{
    STRING text("");
    std::string piece(65536, 'z');
    while (text.Length() < 12 * 1024 * 1024)
        text.Append(piece.c_str());
    EXPECT_EQ(2097152, text.BlockSize);
    EXPECT_EQ(12 * 1024 * 1024, text.Length());
}

TEST(StringMake, ResizeKeepsContentAndZeroFills)
{
    STRING text("abc");
    text.Make(200);
    EXPECT_EQ(200, text.Length());
    EXPECT_EQ(std::string("abc") + std::string(197, '\0'), Bytes(text));
    text.BlockSize = 0;
    text.Make(-1);
    EXPECT_EQ(96, text.BlockSize) << "a granule of 0 or less means 96";
}

// Every growth step of a text built by appends (the small ones, those that take a new block
// and those that grow a large block in place): cut the text short, then grow it past its
// block again; the regrown part shows zeros, never the text that was cut off.
TEST(StringMake, RegrowthAfterAShrinkShowsOnlyZeros)
{
    STRING small("abcdef");
    small.Make(2);
    small.Make(6);
    EXPECT_EQ(std::string("ab\0\0\0\0", 6), Bytes(small));

    STRING text("");
    while (text.BufLen < 8 * 1024 * 1024) {
        text.Append(std::string(text.BufLen - 1 - text.StrLen, 'x').c_str());
        int full = text.StrLen;
        text.Make(5);
        text.Make(full + 1);
        std::string regrown = Bytes(text);
        ASSERT_EQ(full + 1, static_cast<int>(regrown.size()));
        ASSERT_EQ(std::string::npos, regrown.find_first_not_of('\0', 5)) << "grown from " << full;
        memset(text.Buffer, 'x', text.StrLen);
    }
}

TEST(StringMake, CopyFromOwnBufferSurvivesGrowth)
{
    STRING text("0123456789");
    text.Make(4, text.Buffer + 6);
    EXPECT_STREQ("6789", text.c_str());
    STRING twice("abcdefgh");
    twice.Append(twice);
    EXPECT_STREQ("abcdefghabcdefgh", twice.c_str());
}

// Texts of the pooled size made and dropped on several threads while the pool shuts down;
// ends the process with 0 when every thread went on working and finished.
[[noreturn]] void UsePoolAcrossShutdown()
{
    std::atomic<bool> stop{false};
    std::atomic<long> rounds{0};
    std::atomic<int> wrong{0};
    auto worker = [&] {
        for (; !stop; rounds++)
            if (Bytes(STRING(STRING("pooled") + " text")) != "pooled text")
                wrong++;
    };
    std::vector<std::function<void()>> work(4, worker);
    work.push_back([&] {
        while (rounds < 20000)
            std::this_thread::yield();
        StringPoolShutdown();
        while (rounds < 40000)
            std::this_thread::yield();
        stop = true;
    });
    bool finished = FinishWithin(30000, work);
    // Threads left behind may hold anything: leave without running any destructor.
    _exit(finished && wrong == 0 ? 0 : 1);
}

TEST(StringPool, ShutdownWhileOtherThreadsUseThePool)
{
    for (int run = 0; run < 4; run++)
        EXPECT_EXIT(UsePoolAcrossShutdown(), ::testing::ExitedWithCode(0), "") << "run " << run;
}

TEST(StringNullGuard, DefaultModeSubstitutesNullText)
{
    STRING text("x");
    text.Append(static_cast<const char*>(nullptr));
    EXPECT_STREQ("x<NULL>", text.c_str());
    EXPECT_EQ(-1, STRING("abc").Pos(nullptr));
    EXPECT_EQ(1, STRING("a<NULL>").Pos(nullptr));
}

TEST(StringNullGuard, ModeBitsSkipAndReport)
{
    WithNullGuardMode("3", [] {
        CheckRecorder checks;
        STRING text("x");
        text.Append(static_cast<const char*>(nullptr));
        EXPECT_STREQ("x", text.c_str());
        EXPECT_EQ(1, checks.Count("p!=NULL"));
        EXPECT_EQ("STRING::Append op1", checks.InfoOf("p!=NULL"));
    });
    WithNullGuardMode("1", [] {
        CheckRecorder checks;
        STRING text("x");
        text.Append(static_cast<const char*>(nullptr));
        EXPECT_EQ(-1, text.Pos(nullptr));
        EXPECT_STREQ("x", text.c_str());
        EXPECT_EQ(0u, checks.Total());
        EXPECT_EQ(nullptr, NullGuard(nullptr, "ctx"));
    });
    EXPECT_STREQ("<NULL>", NullGuard(nullptr, "ctx"));
}

TEST(StringAccess, OutOfRangeIsReportedAndYieldsZero)
{
    CheckRecorder checks;
    STRING text("abc");
    EXPECT_EQ('b', text[1]);
    EXPECT_EQ('\0', text[3]);
    EXPECT_EQ("i= 3, len= 3, buf= abc", checks.InfoOf("i>=0 && i<this->StrLen"));
    EXPECT_EQ('\0', text[-1]);
    EXPECT_EQ(2, checks.Count("i>=0 && i<this->StrLen"));
    EXPECT_EQ(text.Buffer + 3, text.Ptr(3));
    EXPECT_EQ('\0', *text.Ptr(4));
    EXPECT_EQ(1, checks.Count("i>=0 && i<=this->StrLen"));
}

TEST(StringCompare, CaseFoldingAndNullTolerance)
{
    EXPECT_TRUE(STRING("AppName").EqualsNoCase("APPNAME"));
    EXPECT_TRUE(STRING().EqualsNoCase(nullptr));
    EXPECT_FALSE(STRING().EqualsNoCase(""));
    EXPECT_FALSE(STRING("").EqualsNoCase(nullptr));
    EXPECT_EQ(0, CompareNoCase(nullptr, nullptr, true));
    EXPECT_EQ(1, CompareNoCase("a", nullptr, true));
    EXPECT_LT(CompareNoCase("a_b", "ab", true), 0) << "'_' sorts before the folded letters";
    EXPECT_GT(CompareNoCase("\xE9", "\xC9", true), 0) << "only A-Z are folded";
    EXPECT_EQ(0, CompareNoCase("<NULL>", nullptr, false));
    EXPECT_EQ(0, CompareBytes("ab\0c", "ab\0c", 4));
    EXPECT_NE(0, CompareBytes("ab\0c", "ab\0d", 4));
}

TEST(StringCompare, UpperAndLowerChangeAsciiLettersOnly)
{
    STRING text("aZ\xE9!");
    text.ToUpper();
    EXPECT_STREQ("AZ\xE9!", text.c_str());
    text.ToLower();
    EXPECT_STREQ("az\xE9!", text.c_str());
    STRING null;
    null.ToUpper();
    EXPECT_TRUE(null.IsNull());
}

TEST(StringNumbers, IntegerAndDecimalTexts)
{
    EXPECT_STREQ("-42", STRING(-42).c_str());
    EXPECT_EQ(16, STRING(7).BlockSize);
    EXPECT_STREQ("4294967295", STRING(4294967295UL).c_str());
    EXPECT_EQ(-17, STRING("  -17abc").ToInt());
    EXPECT_EQ(0, STRING().ToInt());

    struct Case {
        double value;
        int precision;
        const char* text;
    } cases[] = {
        {2.5, -1, "2.5"}, {3.0, -1, "3"},   {0.00001, -1, "0"}, {-0.25, -1, "-0.25"},
        {10.0, -1, "10"}, {2.0, 2, "2.00"}, {1.23456, 0, "1"},  {1.23456, 3, "1.235"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.text, Bytes(BINARY(c.value, c.precision))) << c.value << " / " << c.precision;
}

TEST(StringSearch, PosAndIPos)
{
    struct Case {
        const char* text;
        const char* needle;
        int start;
        int pos;
        int ipos;
    } cases[] = {
        {"abc", "", 0, 0, 0},       {"", "", 0, -1, -1},         {"abcabc", "bc", 0, 1, 1},
        {"abcabc", "bc", 2, 4, 4},  {"abcabc", "bc", 6, -1, -1}, {"abcabc", "BC", 0, -1, 1},
        {"abc", "abcd", 0, -1, -1}, {"xxABC", "abc", 0, -1, 2},  {"abc", "c", -5, 2, 2},
    };
    for (const Case& c : cases) {
        STRING text(c.text);
        EXPECT_EQ(c.pos, text.Pos(c.needle, c.start)) << c.text << " / " << c.needle;
        EXPECT_EQ(c.ipos, text.iPos(c.needle, c.start)) << c.text << " / " << c.needle;
    }
    EXPECT_EQ(-1, STRING().Pos("a"));
    int at = -7;
    EXPECT_TRUE(STRING("hello").Find("llo", &at));
    EXPECT_EQ(2, at);
    EXPECT_FALSE(STRING("hello").iFind("LLX", &at));
    EXPECT_EQ(-1, at);
}

TEST(StringEdit, Replace)
{
    struct Case {
        const char* text;
        const char* oldtext;
        const char* newtext;
        int casesensitive;
        const char* result;
    } cases[] = {
        {"aaa", "a", "aa", 1, "aaaaaa"},
        {"x", "x", nullptr, 1, "<NULL>"},
        {"aa", "a", "ba", 1, "baba"},
        {"abcabc", "bc", "", 1, "aa"},
        {"Hello HELLO", "hello", "bye", 0, "bye bye"},
        {"Hello HELLO", "hello", "bye", 1, "Hello HELLO"},
        {"same", "a", "a", 1, "same"},
        {"abc", "", "x", 1, "abc"},
        {"path\\to\\file", "\\", "\\\\", 1, "path\\\\to\\\\file"},
    };
    for (const Case& c : cases) {
        STRING text(c.text);
        text.Replace(c.oldtext, c.newtext, c.casesensitive);
        EXPECT_STREQ(c.result, text.c_str()) << c.text << " / " << c.oldtext;
    }
    STRING unchanged("abc");
    unchanged.Replace(nullptr, "x");
    EXPECT_STREQ("abc", unchanged.c_str());
    STRING null;
    null.Replace("a", "b");
    EXPECT_TRUE(null.IsNull());
}

TEST(StringEdit, Trim)
{
    struct Case {
        const char* text;
        char how;
        const char* chars;
        const char* result;
    } cases[] = {
        {"  ab  ", 'L', " ", "ab  "}, {"  ab  ", 'R', " ", "  ab"}, {"  ab  ", 'r', " ", "  ab"},
        {"  ab  ", 'B', " ", "ab"},   {"  ab  ", 'b', " ", "ab"},   {"C:\\x\\prog.", 'R', "/.", "C:\\x\\prog"},
        {" \t\r", 'B', " \t\r", ""},  {"abc", 'B', "", "abc"},
    };
    for (const Case& c : cases) {
        STRING text(c.text);
        text.Trim(c.how, c.chars);
        EXPECT_STREQ(c.result, text.c_str()) << c.text << " / " << c.how;
        EXPECT_EQ(static_cast<int>(strlen(c.result)), text.Length());
    }
    CheckRecorder checks;
    STRING text(" x ");
    text.Trim('X', " ");
    EXPECT_STREQ(" x ", text.c_str());
    EXPECT_EQ(1, checks.Count("how=='L' || how=='R' || how=='B'"));
    STRING null;
    null.Trim('B', " ");
    EXPECT_TRUE(null.IsNull());
}

TEST(StringEdit, TruncateAndDeletes)
{
    CheckRecorder checks;
    STRING text("abcdef");
    text.Truncate(10);
    EXPECT_STREQ("abcdef", text.c_str());
    text.Truncate(4);
    EXPECT_EQ(std::string("abcd\0\0", 6), std::string(text.Buffer, 6)) << "freed bytes are zeroed";
    text.Truncate(-1);
    EXPECT_EQ(1, checks.Count("newlength>=0"));
    text.DeleteLeft(1);
    EXPECT_STREQ("bcd", text.c_str());
    text.DeleteRight(1);
    EXPECT_STREQ("bc", text.c_str());
    text.DeleteLeft(0);
    EXPECT_STREQ("bc", text.c_str());
    text.DeleteLeft(-2);
    text.DeleteRight(-2);
    EXPECT_EQ(2, checks.Count("howmany>=0"));
    EXPECT_STREQ("bc", text.c_str());
    text.DeleteLeft(5);
    EXPECT_STREQ("", text.c_str());
    EXPECT_FALSE(text.IsNull());
    STRING other("xyz");
    other.DeleteRight(3);
    EXPECT_EQ(0, other.Length());
}

TEST(StringEdit, Insert)
{
    struct Case {
        const char* text;
        const char* insert;
        int pos;
        const char* result;
    } cases[] = {
        {"abc", "X", 3, "abcX"},   {"abc", "X", 4, "abc"},  {"abc", "XY", 0, "XYabc"},
        {"abc", "XY", 1, "aXYbc"}, {"abc", "X", -1, "abc"},
    };
    for (const Case& c : cases) {
        STRING text(c.text);
        text.Insert(c.insert, c.pos);
        EXPECT_STREQ(c.result, text.c_str()) << c.text << " at " << c.pos;
    }
    CheckRecorder checks;
    STRING text("abc");
    text.Insert(text.Buffer, 1);
    EXPECT_STREQ("abc", text.c_str());
    EXPECT_EQ(1, checks.Count("text!=this->Buffer"));
    STRING grow(std::string(90, 'q').c_str());
    grow.Insert(grow.Buffer + 80, 0); // a part of itself, while the buffer grows
    EXPECT_EQ(std::string(100, 'q'), Bytes(grow));
}

TEST(StringParts, MidLeftRight)
{
    STRING text("abc");
    struct Case {
        int pos;
        int n;
        const char* result;
    } cases[] = {{0, -1, "abc"}, {1, 1, "b"}, {1, 10, "bc"}, {10, 2, ""}, {3, 1, ""}, {0, 0, ""}};
    for (const Case& c : cases) {
        STRING part = text.Mid(c.pos, c.n);
        EXPECT_STREQ(c.result, part.c_str()) << c.pos << "," << c.n;
        EXPECT_FALSE(part.IsNull());
        EXPECT_EQ(1252, part.CodePage);
    }
    EXPECT_STREQ("abc", text.Right(5).c_str());
    EXPECT_STREQ("bc", text.Right(2).c_str());
    EXPECT_STREQ("ab", text.Left(2).c_str());
    EXPECT_FALSE(STRING().Mid(0, 3).IsNull());
}

TEST(StringParts, Field)
{
    struct Case {
        const char* text;
        int n;
        const char* delims;
        int flags;
        const char* result; // null: the NULL state
    } cases[] = {
        {"a|b|c", 1, "|", 0, "b"},
        {"a|b|c", 1, "|", 1, "b|c"},
        {"a|b|c", 3, "|", 0, nullptr},
        {"a||c", 1, "|", 0, ""},
        {"a|b|", 2, "|", 0, ""},
        {"a;b,c", 2, ",;", 0, "c"},
        {"a|b|c", 3, "|", 0x10000, ""},
        {nullptr, 0, "|", 0, nullptr},
        {"", 0, "|", 0, ""},
        {"viewer.chm|100", 1, "|", 0, "100"},
        {"k=a=b", 1, "=", 1, "a=b"},
        {"abc", 0, "|", 0, "abc"},
    };
    for (const Case& c : cases) {
        STRING field = STRING(c.text).Field(c.n, c.delims, c.flags);
        if (c.result) {
            EXPECT_FALSE(field.IsNull()) << (c.text ? c.text : "<null>") << " #" << c.n;
            EXPECT_STREQ(c.result, field.c_str()) << (c.text ? c.text : "<null>") << " #" << c.n;
        } else {
            EXPECT_TRUE(field.IsNull()) << (c.text ? c.text : "<null>") << " #" << c.n;
        }
    }
}

TEST(StringFormat, BoundedTo8190Characters)
{
    CheckRecorder checks;
    STRING text("old");
    text.Format("%s", std::string(9000, 'f').c_str());
    EXPECT_EQ(8190, text.Length());
    EXPECT_EQ(1, checks.Count("rc>=0 && rc<sizeof(buf)-1"));
    text.Format("%d-%s", 12, "x");
    EXPECT_STREQ("12-x", text.c_str());
    text.AppendFormat("%05.1f", 2.5);
    EXPECT_STREQ("12-x002.5", text.c_str());
    text.Format("<%s>", text.c_str()); // its own content as an argument
    EXPECT_STREQ("<12-x002.5>", text.c_str());
    STRING exact;
    exact.Format("%s", std::string(8190, 'e').c_str());
    EXPECT_EQ(8190, exact.Length());
    EXPECT_EQ(1, checks.Total());
}

TEST(StringConcat, SizedOnceAndGuarded)
{
    STRING a("ab");
    STRING b(BinaryOf(std::string("c\0d", 3)));
    EXPECT_EQ(std::string("abc\0d", 5), Bytes(a + b));
    EXPECT_STREQ("abxy", (a + "xy").c_str());
    EXPECT_STREQ("xyab", ("xy" + a).c_str());
    EXPECT_STREQ("ab<NULL>", (a + static_cast<const char*>(nullptr)).c_str());
    EXPECT_STREQ("<NULL>ab", (STRING() + a).c_str());
    STRING codepage("x", 437);
    EXPECT_EQ(1252, (codepage + "y").CodePage);
    EXPECT_EQ(std::string("\0\1\2", 3), Bytes(BinaryOf(std::string("\0", 1)) + BinaryOf(std::string("\1\2", 2))));
}

} // namespace
