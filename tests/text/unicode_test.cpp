// UNICODE: the built-in code pages against iconv's tables, the way back, the fallbacks, the
// streaming UTF-8 decoder against Python's, and the encoder.
#include <windows.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "text/unicode.h"
#include "text/wstring.h"
#include "text_support.h"

namespace {

constexpr int PAGE_NUMBERS[] = {1252, 437, 1250, 1251, 1253, 737, 866, 852, 999, 878};

// Where the built-in pages differ from iconv on purpose: code page << 8 | byte -> value.
std::map<int, wchar_t> TableExceptions()
{
    std::map<int, wchar_t> exceptions;
    // Windows-1250's unassigned bytes stand for themselves, those of 1251 and 1253 are U+007F.
    for (int byte : {0x81, 0x83, 0x88, 0x90, 0x98})
        exceptions[1250 << 8 | byte] = static_cast<wchar_t>(byte);
    exceptions[1251 << 8 | 0x98] = 0x7F;
    for (int byte :
         {0x81, 0x88, 0x8A, 0x8C, 0x8D, 0x8E, 0x8F, 0x90, 0x98, 0x9A, 0x9C, 0x9D, 0x9E, 0x9F, 0xAA, 0xD2, 0xFF})
        exceptions[1253 << 8 | byte] = 0x7F;
    // KOI8-R's no-break space is a tab here.
    exceptions[878 << 8 | 0x9A] = 0x09;
    // iconv keeps the older Mac OS Roman mapping (U+0394, U+E01E); the tables follow the
    // current one.
    exceptions[999 << 8 | 0xC6] = 0x2206;
    exceptions[999 << 8 | 0xF0] = 0xF8FF;
    return exceptions;
}

TEST(CodePages, EveryUpperByteMatchesIconv)
{
    std::ifstream in(DataPath("codepages.ref"));
    ASSERT_TRUE(in) << DataPath("codepages.ref");
    UNICODE& unicode = UNICODE::Instance();
    const std::map<int, wchar_t> exceptions = TableExceptions();
    int lines = 0;
    int excepted = 0;
    for (std::string line; std::getline(in, line); lines++) {
        std::istringstream fields(line);
        int codepage = 0;
        std::string byteText, valueText;
        fields >> codepage >> byteText >> valueText;
        int byte = std::stoi(byteText, nullptr, 16);
        auto exception = exceptions.find(codepage << 8 | byte);
        // Every byte iconv cannot convert must be one of the listed exceptions.
        ASSERT_TRUE(valueText != "none" || exception != exceptions.end()) << line;
        wchar_t expected = static_cast<wchar_t>(valueText == "none" ? 0 : std::stoi(valueText, nullptr, 16));
        if (exception != exceptions.end()) {
            expected = exception->second;
            excepted++;
        }
        EXPECT_EQ(expected, unicode.ByteToWide(static_cast<unsigned char>(byte), codepage)) << line;
    }
    EXPECT_EQ(10 * 128, lines);
    EXPECT_EQ(static_cast<int>(exceptions.size()), excepted);
}

TEST(CodePages, EveryByteComesBackAndWholeTextsAgreeWithSingleCharacters)
{
    UNICODE& unicode = UNICODE::Instance();
    std::string all(256, '\0');
    for (int b = 0; b < 256; b++)
        all[b] = static_cast<char>(b);
    for (int codepage : PAGE_NUMBERS) {
        SCOPED_TRACE(codepage);
        for (int b = 0; b < 256; b++) {
            wchar_t value = unicode.ByteToWide(static_cast<unsigned char>(b), codepage);
            if (b < 0x80) {
                EXPECT_EQ(b, value);
            }
            // A byte whose value an earlier byte of the page has too comes back as that one.
            int back = unicode.WideToByte(value, codepage);
            if (back != b) {
                EXPECT_LT(back, b);
                EXPECT_EQ(value, unicode.ByteToWide(static_cast<unsigned char>(back), codepage));
                EXPECT_TRUE(value == 0x7F || (codepage == 878 && b == 0x9A)) << b;
            }
        }
        WSTRING wide(all.data(), 256, codepage);
        ASSERT_EQ(256, wide.Length());
        for (int b = 0; b < 256; b++)
            EXPECT_EQ(unicode.ByteToWide(static_cast<unsigned char>(b), codepage), wide.c_str()[b]) << b;
        STRING narrow(wide, codepage);
        ASSERT_EQ(256, narrow.Length());
        for (int b = 0; b < 256; b++)
            EXPECT_EQ(unicode.WideToByte(wide.c_str()[b], codepage), static_cast<unsigned char>(narrow.c_str()[b]));
    }
}

TEST(CodePages, ListAndReverseIndex)
{
    UNICODE& unicode = UNICODE::Instance();
    struct Case {
        int codepage;
        int index;
    };
    for (Case c : {Case{1252, 0}, Case{850, 0}, Case{437, 1}, Case{999, 8}, Case{878, 9}, Case{1000, -1},
                   Case{1200, -1}, Case{UNICODE_CPSYSTEM, -1}})
        EXPECT_EQ(c.index, unicode.IndexOfCodePage(c.codepage)) << c.codepage;
    const CODEPAGEENTRY* cyrillic = unicode.CodePageEntry(1251);
    ASSERT_NE(nullptr, cyrillic);
    EXPECT_STREQ("Latin Cyrillic", cyrillic->Name);
    EXPECT_STREQ("8859-5", cyrillic->AltName);
    EXPECT_EQ(204, cyrillic->CharSet);
    EXPECT_EQ(517, cyrillic->EntryNumber);
    EXPECT_STREQ("0", unicode.CodePageEntry(999)->AltName);
    EXPECT_EQ(nullptr, unicode.CodePageEntry(1000));

    // Mac OS Roman reaches U+F8FF, so the index stops at its bound; each entry is the first
    // row in page order with that value.
    EXPECT_EQ(9728, unicode.IndexSize());
    EXPECT_EQ(0xE9, unicode.IndexRow(0xE9));
    EXPECT_EQ(1 * 256 + 0xC9, unicode.IndexRow(0x2554)); // 437 before 866 and 852
    EXPECT_EQ(3 * 256 + 0xC0, unicode.IndexRow(0x0410)); // 1251 before 866 and 878
    EXPECT_EQ(0, unicode.IndexRow(0x0100));              // in no page
    EXPECT_EQ(0, unicode.IndexRow(0));
}

TEST(CodePages, SingleCharactersAndTheirFallbacks)
{
    UNICODE& unicode = UNICODE::Instance();
    struct ToWide {
        unsigned char byte;
        int codepage;
        wchar_t expected;
        const char* check; // null: none reported
    };
    const ToWide toWide[] = {
        {0x80, 1252, 0x0080, nullptr}, // the C1 control, not the euro sign
        {0x98, 1251, 0x007F, nullptr},
        {0x9A, 878, 0x0009, nullptr},
        {0x05, 866, 0x0005, nullptr},
        {0xE9, 850, 0x00E9, nullptr},
        {0xE9, 1000, 0x00E9, nullptr},
        {0x05, 1200, 0x0005, nullptr}, // control bytes: page 0
        {0x41, 1200, L'@', "idx!=-1"},
        {0xF0, 999, 0xF8FF, nullptr},
        {0x41, UNICODE_CPUTF8, L'@', "idx!=-1"},
        {0xE9, UNICODE_CPFLAT, 0x00E9, nullptr},
    };
    for (const ToWide& c : toWide) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.byte) << std::dec << " in " << c.codepage);
        CheckRecorder checks;
        EXPECT_EQ(c.expected, unicode.ByteToWide(c.byte, c.codepage));
        EXPECT_EQ(c.check ? 1 : 0, c.check ? checks.Count(c.check) : static_cast<int>(checks.Total()));
    }
    CheckRecorder unlisted;
    unicode.ByteToWide(0x41, 1200);
    EXPECT_EQ("codepage :1200", unlisted.InfoOf("idx!=-1"));
    CheckRecorder utf8;
    unicode.ByteToWide(0x41, UNICODE_CPUTF8);
    unicode.WideToByte(L'A', UNICODE_CPUTF8);
    EXPECT_EQ(2, utf8.Count("cp!=UNICODE_CPUTF8"));

    struct ToByte {
        wchar_t value;
        int codepage;
        unsigned char expected;
    };
    const ToByte toByte[] = {
        {0x0080, 1252, 0x80}, {0x2554, 437, 0xC9},  {0x2554, 866, 0xC9},
        {0x2554, 1252, '+'},  {0x2551, 1250, '"'},  {0x2500, 999, '-'},
        {0x2554, 1000, '+'},  {0x001F, 1252, 0x1F}, {0x0416, 866, 0x86},
        {0x03A9, 999, 0xBD},  {0xF8FF, 999, 0xF0},  {0xFB01, 999, 0xDE},
        {0x0009, 878, 0x09},  {0x00E9, 850, 0xE9},  {0x2554, UNICODE_CPFLAT, 0x54},
    };
    for (const ToByte& c : toByte)
        EXPECT_EQ(c.expected, unicode.WideToByte(c.value, c.codepage)) << std::hex << int(c.value) << " " << c.codepage;
    // Without a table row these go to the platform: the ANSI code page for 1252 and 1000.
    if (GetACP() == 1252) {
        EXPECT_EQ(0x80, unicode.WideToByte(0x20AC, 1252));
        EXPECT_EQ(0x80, unicode.WideToByte(0x20AC, 1000));
        EXPECT_EQ(0x80, unicode.WideToByte(0x20AC, UNICODE_CPSYSTEM));
        EXPECT_EQ(L'\x20AC', unicode.ByteToWide(0x80, UNICODE_CPSYSTEM));
        EXPECT_EQ('+', unicode.WideToByte(0x2554, UNICODE_CPSYSTEM));
    }
}

// Where the library's decoder differs from Python's: bytes -> the library's result.
const std::map<std::string, std::vector<wchar_t>> UTF8_DIFFERENCES = {
    // Overlong forms are decoded, not refused.
    {"C0 80", {0x0000}},
    {"C1 BF", {0x007F}},
    {"E0 80 80", {0x0000}},
    {"E0 81 81", {0x0041}},
    // No four-byte sequences: each byte is a character of its own value.
    {"F0 9F 98 80", {0xF0, 0x9F, 0x98, 0x80}},
    {"F4 8F BF BF", {0xF4, 0x8F, 0xBF, 0xBF}},
    // A lead byte that breaks a sequence is part of the broken bytes, not a new start.
    {"C3 C3 A9", {0xC3, 0xC3, 0xA9}},
    {"E2 C3 A9", {0xE2, 0xC3, 0xA9}},
    {"E2 82 E2 82 AC", {0xE2, 0x82, 0xE2, 0x82, 0xAC}},
    // A sequence still open at the end of a whole text is dropped.
    {"C3", {}},
    {"E2 82", {}},
};

struct UTF8CASE {
    std::string name;
    std::string bytes;
    std::wstring expected;
};

std::vector<UTF8CASE> LoadUtf8Cases()
{
    std::vector<UTF8CASE> cases;
    std::ifstream in(DataPath("utf8_cases.txt"));
    for (std::string line; std::getline(in, line);) {
        UTF8CASE c;
        size_t bar = line.find('|');
        c.name = line.substr(0, bar);
        std::istringstream bytes(c.name), values(line.substr(bar + 1));
        for (std::string hex; bytes >> hex;)
            c.bytes += static_cast<char>(std::stoi(hex, nullptr, 16));
        for (std::string hex; values >> hex;)
            c.expected += static_cast<wchar_t>(std::stoi(hex, nullptr, 16));
        auto difference = UTF8_DIFFERENCES.find(c.name);
        if (difference != UTF8_DIFFERENCES.end())
            c.expected.assign(difference->second.begin(), difference->second.end());
        cases.push_back(c);
    }
    return cases;
}

TEST(Utf8Decoder, WholeTextsAndEverySplitMatchPython)
{
    std::vector<UTF8CASE> cases = LoadUtf8Cases();
    ASSERT_GE(cases.size(), 30u);
    UNICODE& unicode = UNICODE::Instance();
    int differences = 0;
    for (const UTF8CASE& c : cases) {
        SCOPED_TRACE(c.name);
        differences += UTF8_DIFFERENCES.count(c.name) ? 1 : 0;
        const int n = static_cast<int>(c.bytes.size());
        EXPECT_EQ(c.expected, Wide(WSTRING(c.bytes.data(), n, UNICODE_CPUTF8)));
        for (int split = 0; split <= n; split++) {
            WSTRING target;
            UTF8STATE state;
            unicode.Utf8ToWide(c.bytes.data(), split, target, state);
            unicode.Utf8ToWide(c.bytes.data() + split, n - split, target, state);
            EXPECT_EQ(c.expected, Wide(target)) << "split at " << split;
        }
        WSTRING target;
        UTF8STATE state;
        for (char byte : c.bytes)
            unicode.Utf8ToWide(&byte, 1, target, state);
        EXPECT_EQ(c.expected, Wide(target)) << "byte by byte";
    }
    EXPECT_EQ(static_cast<int>(UTF8_DIFFERENCES.size()), differences);
}

TEST(Utf8Decoder, StateCarriesOverAndBadStatesAreReset)
{
    UNICODE& unicode = UNICODE::Instance();
    WSTRING target(L"x");
    UTF8STATE state;
    unicode.Utf8ToWide("a\xE2\x82", -1, target, state);
    EXPECT_EQ(L"xa", Wide(target));
    EXPECT_EQ(1, state.Expected);
    EXPECT_EQ(2, state.CharCount);
    unicode.Utf8ToWide("\xAC", -1, target, state);
    EXPECT_EQ(L"xa\x20AC", Wide(target));
    EXPECT_EQ(0, state.Expected);

    UTF8STATE nonsense;
    nonsense.Expected = 7;
    nonsense.CharCount = 99;
    WSTRING reset;
    unicode.Utf8ToWide("\xAC", 1, reset, nonsense);
    EXPECT_EQ(L"\x00AC", Wide(reset));

    // Three bytes collected with one still expected cannot happen; the byte is taken afresh.
    CheckRecorder checks;
    UTF8STATE full;
    full.Expected = 1;
    full.CharCount = 3;
    WSTRING afresh;
    unicode.Utf8ToWide("A", 1, afresh, full);
    EXPECT_EQ(1, checks.Count("pstateutf->CharCount<3"));
    EXPECT_EQ(L"A", Wide(afresh));
}

TEST(Utf8Encoder, OneValueAtATimeSurrogatesIncluded)
{
    UNICODE& unicode = UNICODE::Instance();
    struct Case {
        wchar_t value;
        std::string bytes;
    };
    const Case cases[] = {
        {0x0000, std::string(1, '\0')},
        {0x0041, "A"},
        {0x007F, "\x7F"},
        {0x0080, "\xC2\x80"},
        {0x07FF, "\xDF\xBF"},
        {0x0800, "\xE0\xA0\x80"},
        {0x20AC, "\xE2\x82\xAC"},
        {0xD800, "\xED\xA0\x80"},
        {0xDFFF, "\xED\xBF\xBF"},
        {0xFFFF, "\xEF\xBF\xBF"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.bytes, Bytes(unicode.WideToUtf8(c.value))) << std::hex << int(c.value);

    // A pair becomes two three-byte sequences, and the decoder gives the pair back; an unpaired
    // surrogate goes through the same way.
    const wchar_t pair[] = {L'a', 0xD83D, 0xDE00, 0xDC00, 0};
    STRING encoded(pair, UNICODE_CPUTF8);
    EXPECT_EQ("a\xED\xA0\xBD\xED\xB8\x80\xED\xB0\x80", Bytes(encoded));
    EXPECT_EQ(UNICODE_CPUTF8, encoded.CodePage);
    EXPECT_EQ(std::wstring(pair), Wide(WSTRING(encoded)));
}

TEST(UnicodeObject, LogsItsLifeAndIsCreatedOnce)
{
    UNICODE::Instance();
    std::string log = CaptureLog([] {
        UNICODE::Shutdown();
        std::vector<UNICODE*> seen(4, nullptr);
        std::vector<std::thread> threads;
        for (UNICODE*& slot : seen)
            threads.emplace_back([&slot] { slot = &UNICODE::Instance(); });
        for (std::thread& thread : threads)
            thread.join();
        for (UNICODE* object : seen)
            EXPECT_EQ(seen[0], object);
    });
    // Created once although four threads asked at the same time.
    EXPECT_EQ(1, CountOf(log, "UNICODE::UNICODE init tables")) << log;
    size_t order = 0;
    for (const char* line :
         {"] UNICODE::~UNICODE\r", "] UNICODE::~UNICODE done", "] UNICODE::UNICODE\r", "] UNICODE::UNICODE init tables",
          "] UNICODE::UNICODE init done", "] UNICODE::UNICODE done"}) {
        size_t at = log.find(line, order);
        ASSERT_NE(std::string::npos, at) << line << log;
        order = at;
    }
}

} // namespace
