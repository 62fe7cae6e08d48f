// HASH, HASHLIST and METAHASH: the text form, lookups, escaping and malformed input.
#include <atomic>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "text/binary.h"
#include "text/hash.h"
#include "text_support.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries EntriesOf(const HASH& table)
{
    Entries entries;
    for (int i = 0; i < table.Keys.ItemCount; i++)
        entries.emplace_back(Bytes(*table.Keys.Get(i)), Bytes(*table.Values.Get(i)));
    return entries;
}

std::string TextOfTable(const HASH& table)
{
    STRING text;
    table.ToText(text);
    return Bytes(text);
}

const char* const SERVICE_CFG = "// controller settings\r\n"
                                "#Key=service\r\n"
                                "AppName=Sample Viewer\r\n"
                                "AppExe=bin\\\\viewer.exe\r\n"
                                "AppWinClass=TarvoSampleMainWindow\r\n"
                                "AppHelp=viewer_english.chm|100\r\n"
                                "AppRegKey=Sample Viewer\r\n"
                                "#ADVGUI=1\r\n"
                                "WINDOWTITLE=Sample Viewer Service\r\n"
                                "appname=ignored duplicate\r\n";

TEST(HashFormat, ServiceConfigurationExample)
{
    std::string path = TempPath("service.cfg");
    WriteFileBytes(path, SERVICE_CFG);
    CheckRecorder checks;
    HASH config;
    ASSERT_TRUE(config.Load(path.c_str()));
    EXPECT_STREQ("service", config.Key.c_str());
    EXPECT_EQ(0, config.Handle);
    Entries expected = {
        {"AppExe", "bin\\viewer.exe"},
        {"AppHelp", "viewer_english.chm|100"},
        {"AppName", "Sample Viewer"},
        {"appname", "ignored duplicate"},
        {"AppRegKey", "Sample Viewer"},
        {"AppWinClass", "TarvoSampleMainWindow"},
        {"WINDOWTITLE", "Sample Viewer Service"},
    };
    EXPECT_EQ(expected, EntriesOf(config));
    EXPECT_STREQ("Sample Viewer", config.Lookup("APPNAME").c_str());
    EXPECT_STREQ("100", config.Value("AppHelp").Field(1, "|").c_str());
    EXPECT_FALSE(config.HasKey("ADVGUI"));
    config.Lookup("ADVGUI") = "0";
    EXPECT_EQ(0, config.IndexOfKey("advgui"));
    EXPECT_EQ(8, config.Keys.ItemCount);
    EXPECT_EQ(0u, checks.Total());
}

TEST(HashFormat, LinesAndComments)
{
    struct Case {
        const char* text;
        Entries entries;
        int handle;
        const char* key; // null: the NULL state
    } cases[] = {
        {"", {}, 0, nullptr},
        {"\r\n\r\n\r\n", {}, 0, nullptr},
        {"// only\n# comments\n\n#Handles=1\n", {}, 0, nullptr},
        {"key=a=b\n", {{"key", "a=b"}}, 0, nullptr},
        {"=value\n", {{"", "value"}}, 0, nullptr},
        {" key = value \n", {{" key ", " value "}}, 0, nullptr},
        {"#HANDLE=12\n#key=Name\n", {}, 12, "Name"},
        {"a=1\r\nb=2\r\n", {{"a", "1"}, {"b", "2"}}, 0, nullptr},
        {"b=2\na=1", {{"a", "1"}, {"b", "2"}}, 0, nullptr},
        {"k=\n", {{"k", ""}}, 0, nullptr},
        {"k=={{QUJD}}\n", {{"k", "ABC"}}, 0, nullptr},
        {"k=={{}}\n", {{"k", ""}}, 0, nullptr},
        {"k=={{QUJD\n", {{"k", "={{QUJD"}}, 0, nullptr},
        {"k={{QUJD}}\n", {{"k", "{{QUJD}}"}}, 0, nullptr},
    };
    for (const Case& c : cases) {
        HASH table{STRING(c.text)};
        EXPECT_EQ(c.entries, EntriesOf(table)) << c.text;
        EXPECT_EQ(c.handle, table.Handle) << c.text;
        if (c.key)
            EXPECT_STREQ(c.key, table.Key.c_str()) << c.text;
        else
            EXPECT_TRUE(table.Key.IsNull()) << c.text;
    }
    HASH binary{STRING("k=={{QUJD}}\nt=text\n")};
    EXPECT_NE(0u, binary.Lookup("k").Flags & STRINGFLAG_BINARY);
    EXPECT_EQ(0u, binary.Lookup("t").Flags & STRINGFLAG_BINARY);
}

TEST(HashFormat, WriterForm)
{
    HASH table;
    table.Lookup("new");
    EXPECT_EQ(0, table.IndexOfKey("NEW"));
    EXPECT_TRUE(table.Value("new").IsNull());
    EXPECT_EQ("new=\n", TextOfTable(table));

    table.Handle = 7;
    table.SetKey("name");
    table.Lookup("b") = TextOf(std::string("x=\x7B\x7D\\\t\n\r\x1A\x01\x80\xFF\0", 13));
    STRING raw = TextOf(std::string("\x00\x01", 2));
    raw.Flags |= STRINGFLAG_BINARY;
    table.Lookup("a") = raw;
    EXPECT_EQ("#Handle=7\n#Key=name\na=={{AAE=}}\nb=x\\x3d\\x7b\\x7d\\\\\\t\\n\\r\\z\\x01\\x80\\xff\\0\nnew=\n",
              TextOfTable(table));
}

TEST(HashEscape, EscapeAndUnescape)
{
    EXPECT_EQ("a\\\\b\\0\\t\\n\\r\\z\\x1b\\x3d\\x7f\x7e",
              Bytes(Escape(TextOf(std::string("a\\b\0\t\n\r\x1A\x1B=\x7F\x7E", 12)), "=\x7F")));
    EXPECT_EQ(256, Escape(STRING(std::string(100, 'a').c_str()), "").BlockSize);
    EXPECT_TRUE(Escape(STRING(), "").IsNull());

    struct Case {
        const char* escaped;
        std::string plain;
        const char* check; // the check reported, or null
    } cases[] = {
        {"\\0\\\\\\n\\r\\t\\z", std::string("\0\\\n\r\t\x1A", 6), nullptr},
        {"\\x41\\x4a\\x4A", "AJJ", nullptr},
        {"abc\\", "abc", "FALSE"},
        {"\\v", "v", "FALSE"},
        {"\\xg1", std::string("\0", 1), "isxdigit(xdigit[0])"},
        {"\\x4g", "\x04", "isxdigit(xdigit[1])"},
        {"\\x4", "\x04", "isxdigit(xdigit[1])"},
        {"\\x", std::string("\0", 1), "isxdigit(xdigit[0])"},
    };
    for (const Case& c : cases) {
        CheckRecorder checks;
        EXPECT_EQ(c.plain, Bytes(Unescape(STRING(c.escaped), false))) << c.escaped;
        if (c.check)
            EXPECT_TRUE(checks.Saw(c.check)) << c.escaped;
        else
            EXPECT_EQ(0u, checks.Total()) << c.escaped;
    }
    EXPECT_EQ("a\\vb\\", Bytes(Unescape(STRING("a\\vb\\"), true)));
}

// Keys as written, values of every byte; the text read back is byte-for-byte the same.
TEST(HashRoundTrip, RandomValuesThroughTextAndFile)
{
    constexpr int COUNT = 3000;
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> length(0, 64);
    std::uniform_int_distribution<int> byte(0, 255);
    HASH table;
    std::vector<std::pair<std::string, std::string>> written;
    const std::string specials[] = {std::string("\0", 1), "\x1A",   "=", "{", "}", "\r", "\n", "\r\n", "={{x}}", "\\",
                                    "\x7F\x80\xFF",       "#Key=x", ""};
    for (int i = 0; i < COUNT; i++) {
        std::string value;
        if (i < static_cast<int>(std::size(specials)))
            value = specials[i];
        else
            for (int n = length(random); n > 0; n--)
                value += static_cast<char>(byte(random));
        char key[16];
        snprintf(key, sizeof(key), "key%05d", (i * 7919) % COUNT);
        STRING stored = TextOf(value);
        if (i % 3 == 1)
            stored.Flags |= STRINGFLAG_BINARY;
        table.Lookup(key) = stored;
        written.emplace_back(key, value);
    }
    STRING text;
    table.ToText(text);
    EXPECT_EQ(-1, text.Pos("\r")) << "escaped values never hold a line break";
    HASH read{text};
    ASSERT_EQ(COUNT, read.Keys.ItemCount);
    std::string path = TempPath("roundtrip.cfg");
    ASSERT_TRUE(table.Save(path.c_str()));
    HASH loaded;
    ASSERT_TRUE(loaded.Load(path.c_str()));
    for (int i = 0; i < COUNT; i++) {
        const std::string& key = written[i].first;
        for (const HASH* copy : {&read, &loaded}) {
            const STRING& value = copy->Value(key.c_str());
            ASSERT_EQ(written[i].second, Bytes(value)) << key;
            ASSERT_EQ(i % 3 == 1, (value.Flags & STRINGFLAG_BINARY) != 0) << key;
        }
    }
    STRING again;
    read.ToText(again);
    EXPECT_EQ(Bytes(text), Bytes(again));
}

// The order of the exchange passes the format is defined by: repeat until no exchange,
// each pass from the end down, exchanging neighbours whose keys are out of order.
Entries ExchangePasses(Entries entries)
{
    bool exchanged = true;
    while (exchanged) {
        exchanged = false;
        for (size_t c = entries.size(); c-- > 1;)
            if (CompareNoCase(entries[c].first.c_str(), entries[c - 1].first.c_str(), false) < 0) {
                std::swap(entries[c], entries[c - 1]);
                exchanged = true;
            }
    }
    return entries;
}

TEST(HashSort, StableLikeTheExchangePasses)
{
    std::mt19937 random(7);
    const char alphabet[] = "aAbB_z";
    for (int round = 0; round < 5; round++) {
        Entries entries;
        std::string text;
        for (int i = 0; i < 400; i++) {
            std::string key;
            for (int n = 1 + static_cast<int>(random() % 3); n > 0; n--)
                key += alphabet[random() % 6];
            entries.emplace_back(key, std::to_string(i));
            text += key + "=" + std::to_string(i) + "\n";
        }
        HASH table{STRING(text.c_str())};
        ASSERT_EQ(ExchangePasses(entries), EntriesOf(table)) << "round " << round;
    }
}

TEST(HashLookup, AddsOnlyWhatIsMissing)
{
    CheckRecorder checks;
    HASH table{STRING("b=2\nd=4\n")};
    table.Lookup("C") = "3";
    table.Lookup("a");
    EXPECT_EQ(Entries({{"a", ""}, {"b", "2"}, {"C", "3"}, {"d", "4"}}), EntriesOf(table));
    EXPECT_EQ(8, table.Keys.Get(2)->BlockSize);
    EXPECT_TRUE(table.Lookup("A").IsNull());

    EXPECT_TRUE(table.Value("missing").IsNull());
    EXPECT_EQ(1, checks.Count("rcidx!=-1"));
    EXPECT_EQ("missing", checks.InfoOf("rcidx!=-1"));
    EXPECT_EQ(4, table.Keys.ItemCount);

    EXPECT_EQ(1, table.AllowNewKeys(0));
    table.Lookup("e") = "5";
    EXPECT_EQ(1, checks.Count("!this->LockTable"));
    EXPECT_EQ(5, table.Keys.ItemCount) << "the addition still happens";
    EXPECT_EQ(0, table.AllowNewKeys(1));
    EXPECT_EQ(0, table.LockTable);
}

TEST(HashLookup, RemoveRenameMerge)
{
    HASH table{STRING("a=1\nb=2\nb=dup\n")};
    EXPECT_EQ(1, table.RemoveKey("B"));
    EXPECT_EQ(Entries({{"a", "1"}, {"b", "dup"}}), EntriesOf(table));
    EXPECT_EQ(0, table.RemoveKey("zz"));

    table.AllowNewKeys(0);
    CheckRecorder checks;
    EXPECT_EQ(1, table.RenameKey("a", "c"));
    EXPECT_EQ(Entries({{"b", "dup"}, {"c", "1"}}), EntriesOf(table));
    EXPECT_EQ(0u, checks.Total());
    EXPECT_EQ(1, table.LockTable) << "restored after the rename";
    EXPECT_EQ(0, table.RenameKey("a", "d"));
    table.AllowNewKeys(1);

    STRING raw("x");
    raw.Flags |= STRINGFLAG_BINARY;
    HASH other;
    other.Lookup("c") = "3";
    other.Lookup("a") = raw;
    table.Merge(other);
    EXPECT_EQ(Entries({{"a", "x"}, {"b", "dup"}, {"c", "3"}}), EntriesOf(table));
    EXPECT_NE(0u, table.Lookup("a").Flags & STRINGFLAG_BINARY);

    HASH copy(table);
    copy.Lookup("b") = "changed";
    EXPECT_STREQ("dup", table.Lookup("b").c_str());
}

TEST(HashFile, LoadReplacesTheTable)
{
    std::string path = TempPath("replace.cfg");
    WriteFileBytes(path, "x=1\n");
    HASH table;
    table.SetKey("kept");
    table.Lookup("old") = "gone";
    table.AllowNewKeys(0);
    ASSERT_TRUE(table.Load(path.c_str()));
    EXPECT_EQ(Entries({{"x", "1"}}), EntriesOf(table));
    EXPECT_STREQ("kept", table.Key.c_str()) << "a file without #Key keeps the table's name";
    EXPECT_EQ(0, table.LockTable);

    EXPECT_FALSE(table.Load(TempPath("missing.cfg").c_str()));
    EXPECT_EQ(Entries({{"x", "1"}}), EntriesOf(table));

    WriteFileBytes(path, "");
    EXPECT_TRUE(table.Load(path.c_str()));
    EXPECT_EQ(0, table.Keys.ItemCount);
    EXPECT_EQ(0, table.Values.ItemCount);

    std::string saved = TempPath("saved.cfg");
    HASH small{STRING("b=2\na=1\n")};
    EXPECT_TRUE(small.Save(saved.c_str()));
    EXPECT_EQ("a=1\r\nb=2\r\n", ReadFileBytes(saved));
    EXPECT_FALSE(small.Save(TempPath("no_folder\\x.cfg").c_str()));
}

// A save to a disk that takes no byte fails, whether the write fails at once (a long text)
// or only when the stream is flushed (a short one), and the log says why.
TEST(SaveFailures, DiskFullIsAFailure)
{
    for (const std::string& content : {std::string("short"), std::string(100000, 'x')}) {
        STRING text(content.c_str());
        HASH table;
        table.Lookup("k") = text;
        STRINGARRAY lines(4);
        lines.Add(text);
        HASHLIST list;
        list.Add(table);
        std::string log = CaptureLog([&] {
            EXPECT_FALSE(text.Save(DISK_FULL_PATH) || table.Save(DISK_FULL_PATH));
            EXPECT_EQ(0, lines.Save(DISK_FULL_PATH, false) + list.Save(DISK_FULL_PATH));
        });
        EXPECT_EQ(2, CountOf(log, "BINARY::Save failed: write: ") + CountOf(log, "BINARY::Save failed: flush: "));
        EXPECT_EQ(1, CountOf(log, "HASH::Save returns ok= 0"));
        EXPECT_EQ(1, CountOf(log, "STRINGARRAY::Save failed: "));
        EXPECT_EQ(1, CountOf(log, "HASHLIST::Save failed: "));
    }
}

TEST(HashMalformed, ReportedAndSurvived)
{
    CheckRecorder checks;
    HASH table{STRING("no equals sign\nk=v\n")};
    EXPECT_EQ(1, checks.Count("item.Find(\"=\")"));
    EXPECT_EQ("no equals sign", checks.InfoOf("item.Find(\"=\")"));
    EXPECT_EQ(Entries({{"k", "v"}}), EntriesOf(table));

    std::string longLine(100000, 'w');
    HASH noEquals{STRING(longLine.c_str())};
    EXPECT_EQ(0, noEquals.Keys.ItemCount);
    EXPECT_EQ(2, checks.Count("item.Find(\"=\")"));

    std::string longPair = "long=" + longLine.substr(5);
    HASH pair{STRING(longPair.c_str())};
    EXPECT_EQ(99995u, Bytes(pair.Lookup("long")).size());

    std::string path = TempPath("big_value.cfg");
    std::string bigValue(10 * 1024 * 1024, 'v');
    bigValue[100] = '\\';
    bigValue[101] = 'n';
    WriteFileBytes(path, "before=1\r\nbig=" + bigValue + "\r\nafter=2\r\n");
    HASH big;
    ASSERT_TRUE(big.Load(path.c_str()));
    ASSERT_EQ(3, big.Keys.ItemCount);
    const STRING& value = big.Value("big");
    EXPECT_EQ(10 * 1024 * 1024 - 1, value.Length());
    EXPECT_EQ('\n', value.Buffer[100]);
    EXPECT_STREQ("2", big.Value("after").c_str());
}

// Tables assigned and merged into each other from two threads while a third copies one of
// them: the two-table operations take both locks in one order, and a copy is never half
// old, half new.
TEST(HashThreads, CrossAssignmentsAndMergesFinish)
{
    auto a = std::make_shared<HASH>(STRING("a=1\nshared=a\n"));
    auto b = std::make_shared<HASH>(STRING("b=2\nshared=b\n"));
    auto torn = std::make_shared<std::atomic<int>>(0);
    auto cross = [](std::shared_ptr<HASH> target, std::shared_ptr<HASH> source) {
        return [target, source] {
            for (int i = 0; i < 1000; i++) {
                if (i % 2)
                    *target = *source;
                else
                    target->Merge(*source);
                target->Lookup(STRING(i % 50).c_str()) = "v";
            }
        };
    };
    auto copier = [a, torn] {
        for (int i = 0; i < 1000; i++) {
            HASH copy(*a);
            *torn += copy.Keys.ItemCount != copy.Values.ItemCount;
        }
    };
    ASSERT_TRUE(FinishWithin(60000, {cross(a, b), cross(b, a), copier}));
    EXPECT_EQ(0, torn->load());
}

std::string TwoRecordList(HASHLIST& list)
{
    HASH first{STRING("a=1\n")};
    HASH second{STRING("b=2\n")};
    second.SetKey("two");
    list.Add(first);
    list.Add(second);
    STRING text;
    list.ToText(text);
    return Bytes(text);
}

TEST(HashList, SaveAndLoadKeepTheOrder)
{
    HASHLIST list;
    EXPECT_EQ("[#0]\na=1\n\n[#1]\n#Key=two\nb=2\n\n", TwoRecordList(list));
    std::string path = TempPath("list.txt");
    EXPECT_EQ(2, list.Save(path.c_str()));
    EXPECT_EQ("[#0]\r\na=1\r\n\r\n[#1]\r\n#Key=two\r\nb=2\r\n\r\n", ReadFileBytes(path));

    CheckRecorder checks;
    HASHLIST loaded;
    EXPECT_EQ(2, loaded.Load(path.c_str()));
    ASSERT_EQ(2, loaded.ItemCount);
    EXPECT_EQ(Entries({{"a", "1"}}), EntriesOf(*loaded.Get(0)));
    EXPECT_EQ(Entries({{"b", "2"}}), EntriesOf(*loaded.Get(1)));
    EXPECT_STREQ("two", loaded.Get(1)->Key.c_str());

    HASHLIST parsed;
    EXPECT_EQ(2, parsed.FromString(STRING(ReadFileBytes(path).c_str())));
    EXPECT_EQ(Entries({{"b", "2"}}), EntriesOf(*parsed.Get(1)));
    EXPECT_EQ(0u, checks.Total());

    EXPECT_EQ(1, HASHLIST().Save(path.c_str())) << "an empty list counts as one";
    EXPECT_EQ("", ReadFileBytes(path));
    EXPECT_EQ(0, HASHLIST().Load(path.c_str()));
}

TEST(HashList, MalformedHeaders)
{
    struct Case {
        const char* text;
        const char* check;
        int records;
    } cases[] = {
        {"[#0\nk=v\n", "buf[buf.Length()-2]==']'", 1},
        {"[\nk=v\n", "buf[1]=='#'", 1},
        {"k=v\n[#0]\nx=1\n", "Section.Length()==0", 1},
        {"[x0]\nk=v\n", "buf[1]=='#'", 1},
    };
    std::string path = TempPath("malformed_list.txt");
    for (const Case& c : cases) {
        CheckRecorder checks;
        HASHLIST parsed;
        EXPECT_EQ(c.records, parsed.FromString(STRING(c.text))) << c.text;
        EXPECT_TRUE(checks.Saw(c.check)) << c.text;
        WriteFileBytes(path, c.text);
        checks.Clear();
        HASHLIST loaded;
        EXPECT_EQ(c.records, loaded.Load(path.c_str())) << c.text;
        EXPECT_TRUE(checks.Saw(c.check)) << c.text;
    }
    CheckRecorder checks;
    HASHLIST number{STRING("5")};
    EXPECT_EQ(1, checks.Count("(int)data==0"));
    EXPECT_EQ(0, number.ItemCount);
}

// The table's name goes through the same escaping as the values: whatever it holds, it comes
// back as it was and cannot add lines of its own.
TEST(HashKeyLine, NameReadsBackAsWritten)
{
    const std::string names[] = {"svc\nAppExe=evil.exe",
                                 std::string("x\0y", 3),
                                 "C:\\Tarvo",
                                 "name\x1A",
                                 "x\r\n#Handle=5",
                                 "={{QUJD}}",
                                 "\x80\xFF",
                                 "plain name"};
    std::string path = TempPath("named.cfg");
    std::string listPath = TempPath("named_list.txt");
    for (const std::string& name : names) {
        SCOPED_TRACE(Bytes(Escape(TextOf(name), "")));
        CheckRecorder checks;
        HASH table{STRING("AppName=svc\n")};
        table.Handle = 3;
        table.Key = TextOf(name);
        HASHLIST list;
        list.Add(table);
        ASSERT_TRUE(table.Save(path.c_str()));
        ASSERT_EQ(1, list.Save(listPath.c_str()));
        HASH fromText{STRING(TextOfTable(table).c_str())};
        HASH fromFile;
        fromFile.Load(path.c_str());
        HASHLIST listFromFile;
        ASSERT_EQ(1, listFromFile.Load(listPath.c_str()));
        for (const HASH* copy : {&fromText, &fromFile, listFromFile.Get(0)}) {
            EXPECT_EQ(name, Bytes(copy->Key));
            EXPECT_EQ(3, copy->Handle);
            EXPECT_EQ(Entries({{"AppName", "svc"}}), EntriesOf(*copy));
        }
        EXPECT_EQ(0u, checks.Total());
    }
}

// Keys are read raw, so a key the text form cannot hold (a line end, 0x1A that ends a text
// file, "=", a leading "#" or "//", a zero byte; in a list a leading "[") is left out of the
// text with one report, and a save that would lose it is refused. Other keys stay as they are.
TEST(HashKeyLine, KeysTheFormCannotHoldAreRefused)
{
    const std::string refused[] = {"a\x1A", "a\nb", "a\rb", "#Key", "#Handle", "//x", "a=b", std::string("x\0y", 3)};
    std::string path = TempPath("refused.cfg");
    for (const std::string& key : refused) {
        SCOPED_TRACE(Bytes(Escape(TextOf(key), "")));
        HASH table{STRING("before=1\nzz=2\n")};
        table.Keys.Add(TextOf(key)); // as it stands, zero bytes included
        table.Values.Add(STRING("5"));
        WriteFileBytes(path, "kept=1\r\n");
        CheckRecorder checks;
        HASH read{STRING(TextOfTable(table).c_str())};
        EXPECT_EQ(Entries({{"before", "1"}, {"zz", "2"}}), EntriesOf(read));
        EXPECT_TRUE(read.Handle == 0 && read.Key.IsNull());
        EXPECT_FALSE(table.Save(path.c_str()));
        EXPECT_EQ("kept=1\r\n", ReadFileBytes(path)) << "the file is left as it was";
        EXPECT_EQ(2, checks.Count("KeyFitsTextForm(key)"));
    }
    HASH table{STRING("back\\slash=1\nx#y=2\na/b=3\n[section]=4\n\x80\xFF=5\n=6\n")};
    CheckRecorder checks;
    ASSERT_TRUE(table.Save(path.c_str()));
    HASH loaded;
    loaded.Load(path.c_str());
    EXPECT_EQ(EntriesOf(table), EntriesOf(loaded));
    HASHLIST list;
    list.Add(table);
    EXPECT_EQ(0, list.Save(path.c_str()));
    EXPECT_EQ(1, checks.Count("KeyFitsTextForm(key)"));
    EXPECT_NE(std::string::npos, checks.InfoOf("KeyFitsTextForm(key)").find("[section]"));
}

// Texts without a record (nothing, line ends only, a broken header) give an empty list, and
// lists round-trip with their number of records, empty records included.
TEST(HashList, RecordCountsRoundTrip)
{
    std::string path = TempPath("empty_list.txt");
    for (const char* text : {"", "\n", "\r\n\r\n", "[", "[\n\n"}) {
        WriteFileBytes(path, text);
        EXPECT_EQ(0, HASHLIST().FromString(STRING(text))) << text;
        EXPECT_EQ(0, HASHLIST().Load(path.c_str())) << text;
    }
    HASHLIST list;
    for (int records = 0; records < 4; records++) {
        STRING text;
        list.ToText(text);
        list.Save(path.c_str());
        EXPECT_EQ(records, HASHLIST().FromString(text)) << Bytes(text);
        EXPECT_EQ(records, HASHLIST().Load(path.c_str())) << Bytes(text);
        list.Add(records == 1 ? HASH() : HASH(STRING("n=1")));
    }
}

TEST(HashList, RecordsByName)
{
    CheckRecorder checks;
    METAHASH meta;
    meta.Record("first").Lookup("size") = "10";
    meta.Record("Second").Lookup("size") = "9";
    meta.Record("third").Lookup("size") = "100";
    meta.Record("FIRST").Lookup("name") = "alpha";
    EXPECT_EQ(3, meta.ItemCount);
    EXPECT_EQ(0u, checks.Total());
    EXPECT_STREQ("METAHASH", meta.TypeName);

    EXPECT_EQ(1, meta.IndexOfValue("size", "9", true));
    EXPECT_EQ(0, meta.IndexOfValue("size", "1", false));
    EXPECT_EQ(0, meta.IndexOfValue("NAME", "ALPHA", true));
    EXPECT_EQ(-1, meta.IndexOfValue("size", "1", true));

    const char* const bySize[] = {"size"};
    meta.SortByKeys(bySize, 1, 1);
    std::vector<std::string> names;
    STRINGARRAY list = meta.Names();
    for (int i = 0; i < list.ItemCount; i++)
        names.push_back(list.Get(i)->c_str());
    EXPECT_EQ(std::vector<std::string>({"Second", "first", "third"}), names);
    meta.SortByKeys(bySize, 1, 8);
    EXPECT_STREQ("Second", meta.Get(0)->Key.c_str()) << "bytes, reversed: \"9\" first";

    EXPECT_EQ(1, meta.RemoveRecord("second"));
    EXPECT_EQ(0, meta.RemoveRecord("second"));
    EXPECT_EQ(1, checks.Count("idx!=-1"));

    HASHLIST plain;
    plain.Record("x");
    EXPECT_EQ(1, checks.Count("this->NewKeysAllowed"));
    EXPECT_EQ(1, plain.ItemCount);
}

} // namespace
