// BINARY encodings (hex, base64, quoted-printable, UTF-8) and whole-file load and save.
#include <random>
#include <string>

#include "text/binary.h"
#include "text/strings.h"
#include "text_support.h"

namespace {

constexpr int ROUND_TRIPS = 3000;

std::string RandomBytes(std::mt19937& random, int maxLength)
{
    std::uniform_int_distribution<int> length(0, maxLength);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes(length(random), '\0');
    for (char& c : bytes)
        c = static_cast<char>(byte(random));
    return bytes;
}

std::string WithCrLf(const std::string& lines)
{
    std::string result;
    for (char c : lines) {
        if (c == '\n')
            result += '\r';
        result += c;
    }
    return result;
}

std::string WithoutLineEnds(const std::string& text)
{
    std::string result;
    for (char c : text)
        if (c != '\r' && c != '\n')
            result += c;
    return result;
}

TEST(Hex, FixedCases)
{
    EXPECT_EQ("00abff", Bytes(BinaryOf(std::string("\x00\xAB\xFF", 3)).ToHex()));
    EXPECT_EQ(std::string("\x00\xAB\xFF", 3), Bytes(BinaryOf("00ABff1").FromHex()));
    EXPECT_EQ("", Bytes(BINARY().ToHex()));
    EXPECT_EQ(std::string("\x0A\x00", 2), Bytes(BinaryOf("a zz").FromHex())) << "a pair ends at a non-digit";
}

TEST(Hex, RoundTripsAndReferenceData)
{
    std::mt19937 random(4711);
    for (int i = 0; i < ROUND_TRIPS; i++) {
        std::string bytes = RandomBytes(random, 300);
        STRING hex = BinaryOf(bytes).ToHex();
        ASSERT_EQ(2 * bytes.size(), static_cast<size_t>(hex.Length()));
        ASSERT_EQ(bytes, Bytes(hex.FromHex())) << "case " << i;
    }
    for (const char* n : {"1", "2", "3", "57", "58", "1000", "4099"}) {
        std::string raw = ReadFileBytes(DataPath(std::string("ref_") + n + ".bin"));
        std::string hex = ReadFileBytes(DataPath(std::string("ref_") + n + ".hex"));
        ASSERT_FALSE(raw.empty()) << n;
        EXPECT_EQ(hex, Bytes(BinaryOf(raw).ToHex())) << n;
        EXPECT_EQ(raw, Bytes(BinaryOf(hex).FromHex())) << n;
    }
}

TEST(Base64, LineBreaks)
{
    STRING one = BinaryOf(std::string(57, 'a')).ToBase64(true);
    EXPECT_EQ(78, one.Length());
    EXPECT_EQ("\r\n", Bytes(one).substr(76));
    STRING two = BinaryOf(std::string(58, 'a')).ToBase64(true);
    EXPECT_EQ(76 + 2 + 4 + 2, two.Length());
    EXPECT_EQ(2, CountOf(Bytes(two), "\r\n"));
    EXPECT_EQ(80, BinaryOf(std::string(58, 'a')).ToBase64(false).Length());
    EXPECT_FALSE(BINARY("", 0).ToBase64(true).IsNull());
    EXPECT_EQ(0, BINARY("", 0).ToBase64(true).Length());
}

TEST(Base64, TolerantDecoding)
{
    struct Case {
        const char* text;
        std::string bytes;
    } cases[] = {
        {"QQ", ""},           {"QQ==", "A"},        {"QUI=", "AB"},    {"QUJD", "ABC"},
        {"QU\r\nJ D", "ABC"}, {"QQ==QUJD", "A"},    {"QUJDRA", "ABC"}, {"=QUJD", ""},
        {"Q===", ""},         {"*Q%U-J.D!", "ABC"}, {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.bytes, Bytes(BinaryOf(c.text).FromBase64())) << c.text;
}

TEST(Base64, RoundTripsAndReferenceData)
{
    std::mt19937 random(1234);
    for (int i = 0; i < ROUND_TRIPS; i++) {
        std::string bytes = RandomBytes(random, 400);
        bool breaks = i % 2 == 0;
        STRING encoded = BinaryOf(bytes).ToBase64(breaks);
        ASSERT_EQ(bytes, Bytes(encoded.FromBase64())) << "case " << i;
        if (!breaks) {
            ASSERT_FALSE(encoded.Find("\r\n"));
        } else if (!bytes.empty()) {
            ASSERT_EQ("\r\n", Bytes(encoded.Right(2)));
        }
    }
    for (const char* n : {"1", "2", "3", "57", "58", "1000", "4099"}) {
        std::string raw = ReadFileBytes(DataPath(std::string("ref_") + n + ".bin"));
        std::string reference = ReadFileBytes(DataPath(std::string("ref_") + n + ".b64"));
        ASSERT_FALSE(reference.empty()) << n;
        // The reference has lines of 76 characters ending in LF; ours end in CR LF.
        EXPECT_EQ(WithCrLf(reference), Bytes(BinaryOf(raw).ToBase64(true))) << n;
        EXPECT_EQ(WithoutLineEnds(reference), Bytes(BinaryOf(raw).ToBase64(false))) << n;
        EXPECT_EQ(raw, Bytes(BinaryOf(reference).FromBase64())) << n;
    }
}

TEST(QuotedPrintable, Samples)
{
    for (int i = 1; i <= 5; i++) {
        std::string input = ReadFileBytes(DataPath("qp_" + std::to_string(i) + ".txt"));
        std::string expected = ReadFileBytes(DataPath("qp_" + std::to_string(i) + ".out"));
        ASSERT_FALSE(input.empty()) << i;
        EXPECT_EQ(expected, Bytes(BinaryOf(input).FromQuotedPrintable())) << "sample " << i;
    }
    EXPECT_EQ("=\r", Bytes(BinaryOf("=\r").FromQuotedPrintable()));
    EXPECT_EQ("=A", Bytes(BinaryOf("=A").FromQuotedPrintable()));
}

TEST(Utf8, Latin1Conversions)
{
    EXPECT_EQ("\xC3\xA9", Bytes(BinaryOf("\xE9").Latin1ToUtf8()));
    EXPECT_EQ("\xE9", Bytes(BinaryOf("\xC3\xA9").Utf8ToLatin1()));
    EXPECT_EQ("a\xC2\x80z", Bytes(BinaryOf("a\x80z").Latin1ToUtf8()));
    EXPECT_EQ("\xAC", Bytes(BinaryOf("\xE2\x82\xAC").Utf8ToLatin1())) << "U+20AC keeps its low 8 bits";

    std::mt19937 random(99);
    for (int i = 0; i < ROUND_TRIPS; i++) {
        std::string bytes = RandomBytes(random, 200);
        for (char& c : bytes)
            if (c == 0)
                c = 1;
        STRING utf8 = BinaryOf(bytes).Latin1ToUtf8();
        ASSERT_EQ(bytes, Bytes(utf8.Utf8ToLatin1())) << "case " << i;
    }
}

TEST(Utf8, MalformedInputIsReportedAndSkipped)
{
    struct Case {
        std::string input;
        std::string output;
        const char* check;
    } cases[] = {
        {"a\xC3", "a", "count<=this->StrLen"},
        {"\xE2\x82", "", "count<=this->StrLen"},
        {"\xC3\x41", "A", "!((char2 & 0xC0) != 0x80)"},
        {"\xE2\x41\x82", "A", "!((char2 & 0xC0) != 0x80) || ((char3 & 0xC0) !=0x80)"},
        {"\x80x", "x", "FALSE"},
        {"\xF0\x9F", "", "FALSE"},
        // A broken sequence takes no byte that is not a continuation byte: that byte is the
        // next character.
        {"Caf\xE9 au lait", "Caf au lait", "!((char2 & 0xC0) != 0x80)"},
        {"\xE1"
         "aa",
         "aa", "!((char2 & 0xC0) != 0x80)"},
        {"\xE2\x82z!", "z!", "!((char3 & 0xC0) != 0x80)"},
        {"\xC3(\xE9t\xC3\xA9", "(t\xE9", "!((char2 & 0xC0) != 0x80)"},
    };
    for (const Case& c : cases) {
        CheckRecorder checks;
        EXPECT_EQ(c.output, Bytes(BinaryOf(c.input).Utf8ToLatin1())) << c.check;
        EXPECT_TRUE(checks.Saw(c.check)) << c.check;
    }
}

TEST(BinaryFile, LoadAndSave)
{
    std::string missing = TempPath("does_not_exist.txt");
    STRING kept("kept");
    EXPECT_FALSE(kept.Load(missing.c_str()));
    EXPECT_STREQ("kept", kept.c_str());

    std::string empty = TempPath("empty.txt");
    WriteFileBytes(empty, "");
    EXPECT_TRUE(kept.Load(empty.c_str()));
    EXPECT_FALSE(kept.IsNull());
    EXPECT_EQ(0, kept.Length());

    // Text mode: CR LF arrives as LF, and 0x1A ends the data.
    std::string text = TempPath("text.txt");
    WriteFileBytes(text, "one\r\ntwo\r\n\x1Ahidden");
    STRING loaded;
    EXPECT_TRUE(loaded.Load(text.c_str()));
    EXPECT_EQ("one\ntwo\n", Bytes(loaded));

    std::string saved = TempPath("saved.txt");
    EXPECT_TRUE(STRING("a\nb\n").Save(saved.c_str()));
    EXPECT_EQ("a\r\nb\r\n", ReadFileBytes(saved));
    EXPECT_FALSE(STRING("x").Save(TempPath("no_such_folder\\x.txt").c_str()));
}

TEST(BinaryFile, LargeFileLoadsWhole)
{
    std::string path = TempPath("large.txt");
    std::string content;
    for (int i = 0; content.size() < 10 * 1024 * 1024; i++)
        content += "line " + std::to_string(i) + "\n";
    WriteFileBytes(path, content);
    STRING loaded;
    ASSERT_TRUE(loaded.Load(path.c_str()));
    EXPECT_EQ(content.size(), static_cast<size_t>(loaded.Length()));
    EXPECT_TRUE(Bytes(loaded) == content);
    // One buffer of the file size rounded up to 64 KiB: no regrowth while reading.
    EXPECT_EQ(static_cast<int>((content.size() + 65535) / 65536 * 65536), loaded.BufLen);
}

} // namespace
