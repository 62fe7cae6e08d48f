// WSTRING and its conversions, WSTRINGARRAY, and the message-pumping array lock.
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "diag/logit.h"
#include "text/binary.h"
#include "text/stringarray.h"
#include "text/strings.h"
#include "text/wstring.h"
#include "text_support.h"

namespace {

std::string Narrow(const STRING& text)
{
    return std::string(text.c_str(), text.Length());
}

TEST(WideConversions, RoundTripsKeepTheBytes)
{
    struct Case {
        const char* text;
        int codepage;
        const wchar_t* wide; // null: only the round trip is checked
    };
    const Case cases[] = {
        {"plain text", UNICODE_CPSYSTEM, L"plain text"},
        {"caf\xe9 \xfc", UNICODE_CPSYSTEM, nullptr},
        {"\x80\x9f\xff", UNICODE_CPFLAT, L"\x0080\x009f\x00ff"},
        {"\xc3\xa9t\xc3\xa9 \xe2\x82\xac", UNICODE_CPUTF8, L"\x00e9t\x00e9 \x20ac"},
        {"", UNICODE_CPSYSTEM, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        WSTRING wide(c.text, c.codepage);
        EXPECT_EQ(STRINGFLAG_WIDE, wide.Data.Flags & STRINGFLAG_WIDE);
        if (c.wide) {
            EXPECT_EQ(std::wstring(c.wide), Wide(wide));
        }
        STRING back(wide, c.codepage);
        EXPECT_EQ(c.text, Narrow(back));
        EXPECT_EQ(c.codepage, back.CodePage);
    }
    // The system code page of the test prefix is 1252: 0x80 is the euro sign there.
    if (GetACP() == 1252) {
        EXPECT_EQ(L"\x20ac", Wide(WSTRING("\x80", UNICODE_CPSYSTEM)));
        EXPECT_EQ("\x80", Narrow(STRING(L"\x20ac", UNICODE_CPSYSTEM)));
    }
    // A STRING converts with its own code page; a length counts bytes or characters.
    EXPECT_EQ(L"\x00e9", Wide(WSTRING(STRING("\xc3\xa9", UNICODE_CPUTF8))));
    EXPECT_EQ(L"ab", Wide(WSTRING("abc", 2, UNICODE_CPSYSTEM)));
    EXPECT_EQ("ab", Narrow(STRING(L"abc", 2, UNICODE_CPSYSTEM)));
}

TEST(WideConversions, NullAndEmptyStayDistinct)
{
    const int codepages[] = {UNICODE_CPSYSTEM, UNICODE_CPFLAT, UNICODE_CPUTF8, 1252};
    for (int codepage : codepages) {
        SCOPED_TRACE(codepage);
        WSTRING null(static_cast<const char*>(nullptr), codepage);
        EXPECT_TRUE(null.IsNull());
        EXPECT_NE(nullptr, null.c_str());
        EXPECT_EQ(0, null.Length());
        EXPECT_TRUE(STRING(null, codepage).IsNull());
        EXPECT_TRUE(STRING(static_cast<const wchar_t*>(nullptr), codepage).IsNull());

        WSTRING empty("", codepage);
        EXPECT_FALSE(empty.IsNull());
        EXPECT_EQ(0, empty.Length());
        STRING back(empty, codepage);
        EXPECT_FALSE(back.IsNull());
        EXPECT_EQ(0, back.Length());
    }
    WSTRING moved(L"abc");
    WSTRING target(std::move(moved));
    moved.Append(L"x"); // a moved-from text is still wide
    EXPECT_EQ(L"x", Wide(moved));
    WSTRING copyOfNull;
    copyOfNull = WSTRING();
    EXPECT_TRUE(copyOfNull.IsNull());
    copyOfNull += target;
    EXPECT_EQ(L"abc", Wide(copyOfNull));
}

TEST(WideConversions, CodePageMarkersAsLengthsAreReported)
{
    for (int length : {UNICODE_CPSYSTEM, UNICODE_CPFLAT}) {
        CheckRecorder checks;
        EXPECT_EQ(L"abc", Wide(WSTRING(L"abc", length)));
        EXPECT_EQ("abc", Narrow(STRING(L"abc", length, 1252)));
        EXPECT_EQ(1, checks.Count("len!=UNICODE_CPSYSTEM && len!=UNICODE_CPFLAT"));
        EXPECT_EQ(1, checks.Count("length!=UNICODE_CPSYSTEM && length!=UNICODE_CPFLAT"));
    }
    CheckRecorder checks;
    WSTRING whole(L"abc", -1);
    STRING narrow(L"abc", -1, 1252);
    EXPECT_EQ(0u, checks.Total());
}

TEST(WideText, FormatIsBoundedTo8190Characters)
{
    WSTRING text;
    text.Format(L"%d-%ls", 42, L"x");
    EXPECT_EQ(L"42-x", Wide(text));

    struct Case {
        int length;
        bool reported;
    };
    for (Case c : {Case{8190, false}, Case{8191, true}, Case{20000, true}}) {
        SCOPED_TRACE(c.length);
        std::wstring long_text(c.length, L'w');
        CheckRecorder checks;
        text.Format(L"%ls", long_text.c_str());
        EXPECT_EQ(c.reported, checks.Saw("rc>=0 && rc<nwbufmax-1"));
        EXPECT_LE(text.Length(), 8190);
        EXPECT_FALSE(text.IsNull());
    }
}

TEST(WideText, TrimPosMidField)
{
    struct TrimCase {
        const wchar_t* text;
        char how;
        const wchar_t* expected;
    };
    const TrimCase trims[] = {
        {L"  a b \t", 'B', L"a b"}, {L"  a ", 'L', L"a "}, {L"  a ", 'r', L"  a"}, {L"    ", 'B', L""}, {L"", 'B', L""},
    };
    for (const TrimCase& c : trims) {
        WSTRING text(c.text);
        text.Trim(c.how);
        EXPECT_EQ(c.expected, Wide(text)) << '[' << c.how << ']';
    }
    CheckRecorder checks;
    WSTRING untouched(L" a ");
    untouched.Trim('X');
    EXPECT_TRUE(checks.Saw("how=='L' || how=='R' || how=='B'"));
    EXPECT_EQ(L" a ", Wide(untouched));

    WSTRING text(L"one,two;;three");
    EXPECT_EQ(4, text.Pos(L"two"));
    EXPECT_EQ(-1, text.Pos(L"two", 5));
    EXPECT_EQ(-1, text.Pos(L"x", 100));
    EXPECT_EQ(-1, WSTRING().Pos(L""));
    EXPECT_EQ(L"two", Wide(text.Mid(4, 3)));
    EXPECT_EQ(L"three", Wide(text.Mid(9)));
    EXPECT_EQ(L"", Wide(text.Mid(99)));
    EXPECT_FALSE(text.Mid(99).IsNull());

    struct FieldCase {
        int n;
        int flags;
        const wchar_t* expected; // null: the NULL state
    };
    const FieldCase fields[] = {
        {0, 0, L"one"},          {2, 0, L""}, {3, 0, L"three"}, {1, FIELD_REST, L"two;;three"}, {4, 0, nullptr},
        {4, FIELD_NOTNULL, L""},
    };
    for (const FieldCase& c : fields) {
        SCOPED_TRACE(c.n);
        WSTRING field = text.Field(c.n, L",;", c.flags);
        EXPECT_EQ(c.expected == nullptr, field.IsNull());
        if (c.expected) {
            EXPECT_EQ(c.expected, Wide(field));
        }
    }
    EXPECT_EQ(-17, WSTRING(L" -17x").ToInt());
    EXPECT_EQ(0, WSTRING().ToInt());
}

TEST(WideText, InsertRefusesItsOwnBuffer)
{
    WSTRING text(L"abcdef");
    CheckRecorder checks;
    text.Insert(text.c_str(), 2);
    EXPECT_TRUE(checks.Saw("wtext!=wbuf"));
    EXPECT_EQ(L"abcdef", Wide(text));
    // A part of its own text that starts further in is copied first.
    text.Insert(text.c_str() + 4, 1);
    EXPECT_EQ(L"aefbcdef", Wide(text));
    text.Insert(L"!", 8);
    text.Insert(L"?", 99);
    EXPECT_EQ(L"aefbcdef!", Wide(text));
}

TEST(WideArray, SplitIndexOfJoinSort)
{
    std::string log = CaptureLog([] {
        LogSwitch("/LOG:1");
        WSTRINGARRAY parts(WSTRING(L"Alpha,beta,,12,\x20ac"), L",");
        EXPECT_STREQ("WSTRINGARRAY", parts.TypeName);
        EXPECT_EQ(64, parts.GrowBy);
        ASSERT_EQ(5, parts.ItemCount);
        EXPECT_EQ(L"", Wide(*parts.Get(2)));
        EXPECT_EQ(L"\x20ac", Wide(*parts.Get(4)));

        struct Case {
            const wchar_t* text;
            int mode;
            int expected;
        };
        const Case cases[] = {
            {L"ALPHA", 0, 0}, {L"alp", 0, -1}, {L"BE", 1, 1},   {L"ph", 2, 0},
            {L"", 2, 0},      {L"012", 3, 3},  {L"zzz", 2, -1}, {L"x", 7, -1},
        };
        for (const Case& c : cases)
            EXPECT_EQ(c.expected, parts.IndexOf(c.text, c.mode)) << c.mode;

        EXPECT_EQ(L"Alpha, beta, , 12, \x20ac", Wide(parts.Join(L", ")));
        EXPECT_EQ(1024, parts.Join(L";").Data.BlockSize);
        EXPECT_FALSE(WSTRINGARRAY().Join(L";").IsNull());

        parts.Sort(SORTFLAG_NOCASE);
        EXPECT_EQ(L"Alpha", Wide(*parts.Get(2)));
        parts.Sort(SORTFLAG_BYVALUE | SORTFLAG_REVERSE);
        EXPECT_EQ(L"12", Wide(*parts.Get(0)));
    });
    EXPECT_EQ(1, CountOf(log, "WSTRINGARRAY::WSTRINGARRAY source= Alpha,beta,,12,"));
}

// Both arrays split with one helper: tokens above 0x7F and above 0xFF must be found.
TEST(WideArray, SplitsAtTokensOfAnyValue)
{
    STRINGARRAY narrow(STRING("a\xa7"
                              "b;c"),
                       "\xa7;");
    EXPECT_EQ(3, narrow.ItemCount);
    WSTRINGARRAY wide(WSTRING(L"a\x20ac"
                              L"b\x00a7"
                              L"c"),
                      L"\x00a7\x20ac");
    EXPECT_EQ(3, wide.ItemCount);
    EXPECT_EQ(1, WSTRINGARRAY(WSTRING(L"abc"), nullptr).ItemCount);
    EXPECT_EQ(0, WSTRINGARRAY(WSTRING(), L",").ItemCount);
}

TEST(WideArray, WinLockWaitsForTheHolder)
{
    WSTRINGARRAY array;
    HANDLE held = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        array.Lock();
        SetEvent(held);
        WaitForSingleObject(done, 10000);
        array.Unlock();
    });
    WaitForSingleObject(held, 10000);
    EXPECT_FALSE(array.WinLock(100));
    SetEvent(done);
    holder.join();
    EXPECT_TRUE(array.WinLock(1000));
    array.Unlock();
    CloseHandle(held);
    CloseHandle(done);
}

} // namespace
