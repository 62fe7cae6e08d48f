#include "text/hash.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/osys_win32.h"
#include "osys/osysfile.h"
#include "text/binary.h"
#include "text/savefile.h"
#include "text/textinternal.h"

namespace {

using textlayer::FoldCase;
using textlayer::Sign;

constexpr int HASHLIST_READ = 32786;    // one read of a line of the sectioned form
constexpr int TEXT_GRANULE = 65536;     // the writer sizes its text in these steps
constexpr char VALUE_ESCAPES[] = "={}"; // escaped in values besides the control bytes
constexpr char TEXT_FILE_END = 0x1A;    // a file read in text mode ends at this byte

// Lines in a text up to its first zero byte, the last one without a line end included.
int CountLines(const STRING& text)
{
    int lines = 1;
    for (const char* p = text.c_str(); (p = strchr(p, '\n')) != nullptr; p++)
        lines++;
    return lines;
}

// A text of n bytes (the empty text for none).
STRING TextOfBytes(const char* bytes, int n)
{
    STRING text;
    text.Make(n, bytes);
    return text;
}

// A table's value for key without adding the key; null when the key is absent.
const STRING* ValueOf(const HASH& table, const char* key)
{
    int idx = table.IndexOfKey(key);
    return idx >= 0 ? table.Values.ppItems[idx] : nullptr;
}

// The NULL text handed out where a reference is due but no entry may be touched.
STRING& NullValue()
{
    thread_local STRING value;
    value.Free();
    return value;
}

// Keys are read back raw, so a key the text form cannot hold is never written: one with a
// line end, the end-of-file byte of text mode, a zero byte or "=", or one that would begin
// a comment ("#", "//") or, in the sectioned form, a header ("[").
bool KeyFitsTextForm(const STRING& key, bool listRecord)
{
    int n = key.Length();
    const char* p = key.Buffer;
    for (int i = 0; i < n; i++)
        if (p[i] == 0 || p[i] == '\n' || p[i] == '\r' || p[i] == TEXT_FILE_END || p[i] == '=')
            return false;
    if (n > 0 && p[0] == '#')
        return false;
    if (n > 1 && p[0] == '/' && p[1] == '/')
        return false;
    return !(listRecord && n > 0 && p[0] == '[');
}

// The keys a writer left out; reported once for the whole text, not once per key.
struct REFUSEDKEYS {
    int count = 0;
    STRING first;

    void Add(const STRING& key)
    {
        if (count++ == 0)
            first = key;
    }
    void Report() const
    {
        TARVO_CHECK_FORMAT(count == 0, "KeyFitsTextForm(key)", "%d key(s) left out, the first: %s", count,
                           Escape(first, "").c_str());
    }
};

// The text form of one table: "#Handle=" and "#Key=" lines, then key=value lines in stored
// order. Entries whose key cannot be written are left out and counted in refused.
void WriteTable(const HASH& table, STRING& text, bool listRecord, REFUSEDKEYS& refused)
{
    MUTEXHOLD hold(table.Keys.pLock.get());
    const STRINGARRAY& keys = table.Keys;
    const STRINGARRAY& values = table.Values;
    long long total = 0;
    for (int i = 0; i < keys.ItemCount; i++)
        total += keys.ppItems[i]->Length() + values.ppItems[i]->Length() + 2;
    text = STRING();
    // One granule for (nearly) the whole text.
    text.BlockSize =
        static_cast<int>(std::min<long long>((total + TEXT_GRANULE - 1) / TEXT_GRANULE * TEXT_GRANULE, 1LL << 30));
    text.MakeNotNull();
    if (table.Handle != 0)
        text.AppendFormat("#Handle=%d\n", table.Handle);
    // The name is read back unescaped like a value, so it is escaped like one: it can hold
    // any byte and never adds a line of its own.
    if (!table.Key.IsNull()) {
        text.Append("#Key=");
        text.Append(Escape(table.Key, VALUE_ESCAPES));
        text.Append('\n');
    }
    for (int i = 0; i < keys.ItemCount; i++) {
        const STRING& key = *keys.ppItems[i];
        const STRING& value = *values.ppItems[i];
        if (!KeyFitsTextForm(key, listRecord)) {
            refused.Add(key);
            continue;
        }
        text.Append(key);
        text.Append('=');
        // A key without a value is written as key= and reads back as the empty text.
        if (!value.IsNull() && (value.Flags & STRINGFLAG_BINARY)) {
            text.Append("={{");
            text.Append(value.ToBase64(false));
            text.Append("}}");
        } else if (!value.IsNull()) {
            text.Append(Escape(value, VALUE_ESCAPES));
        }
        text.Append('\n');
    }
}

// The sectioned form of a list, header "[#i]", record, empty line; false when a key was left out.
bool WriteList(const HASHLIST& list, STRING& text)
{
    MUTEXHOLD hold(list.pLock.get());
    REFUSEDKEYS refused;
    text = STRING();
    text.MakeNotNull();
    for (int i = 0; i < list.ItemCount; i++) {
        text.AppendFormat("[#%d]\n", i);
        STRING record;
        WriteTable(*list.ppItems[i], record, true, refused);
        text.Append(record);
        text.Append('\n');
    }
    refused.Report();
    return refused.count == 0;
}

// Builds the records of the sectioned form from its lines, whether they come from a file or
// a text: a header "[#n]" opens a record, the lines after it are collected into it, empty
// lines are skipped.
class SECTIONREADER {
public:
    explicit SECTIONREADER(HASHLIST& list) : list(list) { section.MakeNotNull(); }

    // One line; a line end at its end is ignored.
    void TakeLine(const char* line, int length)
    {
        while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == '\r'))
            length--;
        if (length == 0)
            return;
        if (line[0] != '[') {
            section.Append(line, length);
            section.Append('\n');
            return;
        }
        // A malformed header is reported and opens no record.
        bool hash = TARVO_CHECK_FORMAT(length > 1 && line[1] == '#', "buf[1]=='#'", "%.*s", length, line);
        bool closed = TARVO_CHECK_FORMAT(line[length - 1] == ']', "buf[buf.Length()-2]==']'", "%.*s", length, line);
        if (!hash || !closed)
            return;
        // Each header closes the record before it; before the first one nothing may stand.
        if (headers == 0)
            TARVO_CHECK(section.Length() == 0, "Section.Length()==0", nullptr);
        else
            list.Add(HASH(section));
        section.Truncate(0);
        headers++;
    }

    // The record after the last header, even an empty one; a text without any header is one
    // record when it holds anything.
    void Finish()
    {
        if (headers > 0 || section.Length() > 0)
            list.Add(HASH(section));
    }

private:
    HASHLIST& list;
    STRING section;
    int headers = 0;
};

} // namespace

// ---------------------------------------------------------------------------------------
// HASH

HASH::HASH() : Keys(64), Values(64)
{
    Keys.SetTypeName("HASH-KEYS");
    Values.SetTypeName("HASH-VALUES");
}

HASH::HASH(const STRING& text) : HASH()
{
    FromString(text);
}

// Both halves are copied under the source's lock, so a copy is never of two moments.
HASH::HASH(const HASH& other) : HASH()
{
    *this = other;
}

HASH& HASH::operator=(const HASH& other)
{
    if (this == &other)
        return *this;
    MUTEXPAIRHOLD hold(Keys.pLock.get(), other.Keys.pLock.get());
    Handle = other.Handle;
    Spare = other.Spare;
    Keys = other.Keys;
    Values = other.Values;
    LockTable = other.LockTable;
    Key = other.Key;
    return *this;
}

HASH::~HASH() = default;

int HASH::LowerBound(const char* key) const
{
    // The keys are sorted, so the first key not less than the searched one is where a scan
    // from the start would stop.
    int low = 0;
    int high = Keys.ItemCount;
    while (low < high) {
        int mid = low + (high - low) / 2;
        if (CompareNoCase(Keys.ppItems[mid]->c_str(), key, false) < 0)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

int HASH::IndexOfKey(const char* key) const
{
    key = NullGuard(key, "HASH::IndexOfKey");
    if (!key)
        return -1;
    int pos = LowerBound(key);
    if (pos < Keys.ItemCount && CompareNoCase(Keys.ppItems[pos]->c_str(), key, false) == 0)
        return pos;
    return -1;
}

STRING& HASH::Lookup(const char* key)
{
    key = NullGuard(key, "HASH::Lookup");
    if (!key)
        return NullValue();
    MUTEXHOLD hold(Keys.pLock.get());
    int pos = LowerBound(key);
    if (pos < Keys.ItemCount && CompareNoCase(Keys.ppItems[pos]->c_str(), key, false) == 0)
        return *Values.ppItems[pos];
    TARVO_CHECK_FORMAT(!LockTable, "!this->LockTable", "%s", key);
    if (Keys.Insert(pos, STRING(key, 8, 1252)) == -1)
        return NullValue();
    Values.Insert(pos, STRING());
    return *Values.ppItems[pos];
}

const STRING& HASH::Value(const char* key) const
{
    MUTEXHOLD hold(Keys.pLock.get());
    int rcidx = IndexOfKey(key);
    if (!TARVO_CHECK_FORMAT(rcidx != -1, "rcidx!=-1", "%s", key ? key : "<NULL>"))
        return NullValue();
    return *Values.ppItems[rcidx];
}

int HASH::RemoveKey(const char* key)
{
    MUTEXHOLD hold(Keys.pLock.get());
    int pos = IndexOfKey(key);
    if (pos == -1)
        return 0;
    Keys.DeleteItem(pos);
    Values.DeleteItem(pos);
    return 1;
}

int HASH::RenameKey(const char* oldkey, const char* newkey)
{
    MUTEXHOLD hold(Keys.pLock.get());
    int pos = IndexOfKey(oldkey);
    if (pos == -1)
        return 0;
    STRING value = *Values.ppItems[pos];
    Keys.DeleteItem(pos);
    Values.DeleteItem(pos);
    int locked = LockTable;
    LockTable = 0;
    Lookup(newkey) = value;
    LockTable = locked;
    return 1;
}

void HASH::Merge(const HASH& other)
{
    if (this == &other)
        return;
    MUTEXPAIRHOLD hold(Keys.pLock.get(), other.Keys.pLock.get());
    for (int i = 0; i < other.Keys.ItemCount; i++)
        Lookup(other.Keys.ppItems[i]->c_str()) = *other.Values.ppItems[i];
}

int HASH::AllowNewKeys(int allow)
{
    int wasAllowed = LockTable ? 0 : 1;
    LockTable = allow ? 0 : 1;
    return wasAllowed;
}

void HASH::SortEntries()
{
    MUTEXHOLD holdKeys(Keys.pLock.get());
    MUTEXHOLD holdValues(Values.pLock.get());
    int n = Keys.ItemCount;
    if (n < 2)
        return;
    // The first 16 case-folded bytes of each key, packed so that comparing the numbers
    // compares the bytes: most comparisons never touch the scattered key buffers. Equal
    // prefixes fall back to the full compare.
    struct SORTENTRY {
        uint64_t high;
        uint64_t low;
        const char* key;
        int index;
    };
    std::vector<SORTENTRY> entries(n);
    for (int i = 0; i < n; i++) {
        const char* key = Keys.ppItems[i]->c_str();
        uint64_t packed[2] = {0, 0};
        for (int b = 0, ended = 0; b < 16 && !ended; b++) {
            unsigned char c = static_cast<unsigned char>(FoldCase(key[b]));
            ended = c == 0;
            packed[b / 8] |= static_cast<uint64_t>(c) << (8 * (7 - b % 8));
        }
        entries[i] = {packed[0], packed[1], key, i};
    }
    // A stable sort gives the order of repeated exchange passes: equal keys keep their file
    // order, so lookups see the first of duplicates.
    std::stable_sort(entries.begin(), entries.end(), [](const SORTENTRY& a, const SORTENTRY& b) {
        if (a.high != b.high)
            return a.high < b.high;
        if (a.low != b.low)
            return a.low < b.low;
        return CompareNoCase(a.key, b.key, false) < 0;
    });
    std::vector<STRING*> keys(n);
    std::vector<STRING*> values(n);
    for (int i = 0; i < n; i++) {
        keys[i] = Keys.ppItems[entries[i].index];
        values[i] = Values.ppItems[entries[i].index];
    }
    std::copy(keys.begin(), keys.end(), Keys.ppItems.get());
    std::copy(values.begin(), values.end(), Values.ppItems.get());
}

int HASH::FromString(const STRING& text)
{
    // The lines are taken as a split at "\n" gives them (consecutive line ends give empty
    // lines, the last line counts without a line end, the text ends at its first zero
    // byte), but walked in place: a configuration file of many keys would otherwise cost
    // two heap blocks per line.
    const char* cursor = text.c_str();
    const char* textEnd = cursor + strlen(cursor);
    int lineCount = CountLines(text);
    MUTEXHOLD holdKeys(Keys.pLock.get());
    MUTEXHOLD holdValues(Values.pLock.get());
    Keys.Reserve(Keys.ItemCount + lineCount);
    Values.Reserve(Values.ItemCount + lineCount);
    for (const char* item = cursor; item <= textEnd; item = cursor + 1) {
        cursor = static_cast<const char*>(memchr(item, '\n', textEnd - item));
        if (!cursor)
            cursor = textEnd;
        int length = static_cast<int>(cursor - item);
        while (length > 0 && item[length - 1] == '\r')
            length--;
        if (length == 0)
            continue;
        if (length >= 2 && item[0] == '/' && item[1] == '/')
            continue;
        // "#" starts a comment, except for the table's own two lines.
        if (item[0] == '#' && !StartsWithNoCase(item, "#Handle=") && !StartsWithNoCase(item, "#Key="))
            continue;
        const char* equals = static_cast<const char*>(memchr(item, '=', length));
        if (!TARVO_CHECK_FORMAT(equals, "item.Find(\"=\")", "%.*s", length, item))
            continue;

        // The key is the text before the first "=", the raw value all after it. Neither is
        // trimmed: blanks around "=" belong to the key and the value.
        STRING key = TextOfBytes(item, static_cast<int>(equals - item));
        STRING raw = TextOfBytes(equals + 1, static_cast<int>(item + length - equals - 1));
        STRING value;
        if (raw.StrLen >= 5 && memcmp(raw.Buffer, "={{", 3) == 0 && memcmp(raw.Buffer + raw.StrLen - 2, "}}", 2) == 0) {
            value = BINARY(raw.Buffer + 3, raw.StrLen - 5).FromBase64();
            value.Flags |= STRINGFLAG_BINARY;
        } else if (raw.Find("\\")) {
            value = Unescape(raw, false);
        } else {
            value = std::move(raw); // nothing to unescape
        }

        if (key.EqualsNoCase("#Handle")) {
            Handle = static_cast<int>(atol(value.c_str()));
        } else if (key.EqualsNoCase("#Key")) {
            Key = value;
        } else {
            Keys.Add(std::move(key));
            Values.Add(std::move(value));
        }
    }
    SortEntries();
    return Keys.ItemCount;
}

void HASH::ToText(STRING& text) const
{
    REFUSEDKEYS refused;
    WriteTable(*this, text, false, refused);
    refused.Report();
}

bool HASH::Load(const char* path)
{
    LogPrint("HASH::Load %s\n", path ? path : "<NULL>");
    STRING content;
    bool ok = content.Load(path, "r");
    if (ok) {
        HASH loaded;
        loaded.FromString(content);
        if (loaded.Key.IsNull())
            loaded.Key = Key;
        MUTEXHOLD hold(Keys.pLock.get());
        Keys.SwapItems(loaded.Keys);
        Values.SwapItems(loaded.Values);
        Handle = loaded.Handle;
        Spare = loaded.Spare;
        LockTable = loaded.LockTable;
        Key = loaded.Key;
    }
    LogPrint("HASH::Load returns ok= %d, %s\n", ok ? 1 : 0, OSYS::GetErrorText().c_str());
    return ok;
}

bool HASH::Save(const char* path) const
{
    STRING text;
    REFUSEDKEYS refused;
    WriteTable(*this, text, false, refused);
    refused.Report();
    LogPrint("HASH::Save %s\n", path ? path : "<NULL>");
    // A file without some of the keys would read back as a different table: the file is
    // left as it is.
    bool ok = false;
    if (refused.count > 0)
        LogPrint("HASH::Save refused: %d key(s) cannot be written\n", refused.count);
    else
        ok = text.Save(path, "w");
    LogPrint("HASH::Save returns ok= %d\n", ok ? 1 : 0);
    return ok;
}

// ---------------------------------------------------------------------------------------
// HASHLIST and METAHASH

HASHLIST::HASHLIST() : HASHLIST("HASHLIST", 0) {}

HASHLIST::HASHLIST(const char* typeName, int newKeysAllowed) : DYNARRAY<HASH>(64, 64), NewKeysAllowed(newKeysAllowed)
{
    SetTypeName(typeName);
}

HASHLIST::HASHLIST(const STRING& data) : HASHLIST()
{
    if (!data.IsFilled())
        return;
    if (!TARVO_CHECK(data.ToInt() == 0, "(int)data==0", nullptr))
        return;
    FromString(data);
}

METAHASH::METAHASH() : HASHLIST("METAHASH", 1) {}

int HASHLIST::Compare(const HASH& a, const HASH& b, int flags)
{
    for (int k = 0; k < SortKeyCount; k++) {
        const STRING* left = ValueOf(a, SortKeyNames[k]);
        const STRING* right = ValueOf(b, SortKeyNames[k]);
        int order;
        if (flags & SORTFLAG_BYVALUE)
            order = Sign(static_cast<long long>(left ? left->ToInt() : 0) - (right ? right->ToInt() : 0));
        else
            order = Sign(strcmp(left ? left->c_str() : "", right ? right->c_str() : ""));
        if (order != 0)
            return order;
    }
    return 0;
}

void HASHLIST::SortByKeys(const char* const* names, int count, int flags)
{
    MUTEXHOLD hold(pLock.get());
    SortKeyNames = names;
    SortKeyCount = names ? count : 0;
    Sort(flags);
    // The names belong to the caller; they are not kept beyond the sort.
    SortKeyNames = nullptr;
    SortKeyCount = 0;
}

int HASHLIST::IndexOfKey(const char* name) const
{
    MUTEXHOLD hold(pLock.get());
    for (int i = 0; i < ItemCount; i++)
        if (CompareNoCase(ppItems[i]->Key.Buffer, name, true) == 0)
            return i;
    return -1;
}

HASH& HASHLIST::Record(const char* name)
{
    MUTEXHOLD hold(pLock.get());
    int idx = IndexOfKey(name);
    if (idx != -1)
        return *ppItems[idx];
    TARVO_CHECK_FORMAT(NewKeysAllowed, "this->NewKeysAllowed", "%s", name ? name : "<NULL>");
    HASH record;
    record.SetKey(name);
    int added = Add(record);
    idx = IndexOfKey(name);
    TARVO_CHECK_FORMAT(idx != -1, "idx!=-1", "%s", name ? name : "<NULL>");
    if (idx == -1)
        idx = added;
    return *ppItems[idx];
}

int HASHLIST::RemoveRecord(const char* name)
{
    MUTEXHOLD hold(pLock.get());
    int idx = IndexOfKey(name);
    if (!TARVO_CHECK_FORMAT(idx != -1, "idx!=-1", "%s", name ? name : "<NULL>"))
        return 0;
    DeleteItem(idx);
    return 1;
}

int HASHLIST::IndexOfValue(const char* key, const char* value, bool exact) const
{
    MUTEXHOLD hold(pLock.get());
    for (int i = 0; i < ItemCount; i++) {
        const STRING* found = ValueOf(*ppItems[i], key);
        const char* text = found ? found->Buffer : nullptr;
        bool match = exact ? CompareNoCase(text, value, true) == 0 : StartsWithNoCase(text, value);
        if (match)
            return i;
    }
    return -1;
}

STRINGARRAY HASHLIST::Names() const
{
    MUTEXHOLD hold(pLock.get());
    STRINGARRAY names(ItemCount > 0 ? ItemCount : 1);
    for (int i = 0; i < ItemCount; i++)
        names.Add(ppItems[i]->Key);
    return names;
}

void HASHLIST::ToText(STRING& text) const
{
    WriteList(*this, text);
}

int HASHLIST::Save(const char* path) const
{
    LogPrint("HASHLIST::Save %s\n", path ? path : "<NULL>");
    MUTEXHOLD hold(pLock.get());
    STRING text;
    int rc = 0;
    // As for a table: a file that would lose keys is not written.
    if (!WriteList(*this, text)) {
        LogPrint("HASHLIST::Save refused: a key cannot be written\n");
    } else {
        SAVEFILE file(path, "w");
        if (file) {
            file.Write(text.Buffer, text.StrLen);
            if (file.Close(false))
                rc = ItemCount > 0 ? ItemCount : 1;
            else
                LogPrint("HASHLIST::Save failed: %s\n", file.Failure().c_str());
        }
    }
    LogPrint("HASHLIST::Save returns rc %d\n", rc);
    return rc;
}

int HASHLIST::FromString(const STRING& text)
{
    STRINGARRAY lines(text, "\n", CountLines(text));
    LogPrintLevel(LOGLEVEL_PARSE, "HASHLIST::FromString after lines constructor\n");
    MUTEXHOLD hold(pLock.get());
    DeleteAll();
    SECTIONREADER reader(*this);
    for (int i = 0; i < lines.ItemCount; i++)
        reader.TakeLine(lines.ppItems[i]->Buffer, lines.ppItems[i]->StrLen);
    reader.Finish();
    return ItemCount;
}

int HASHLIST::Load(const char* path)
{
    long size = path ? static_cast<long>(FILENAME(path).Size()) : -1;
    LogPrint("HASHLIST::Load %s (%ld bytes)\n", path ? path : "<NULL>", size);
    MUTEXHOLD hold(pLock.get());
    DeleteAll();
    UNIQUEFILE file(FILENAME::fsopen(path, "r"));
    if (file) {
        SECTIONREADER reader(*this);
        std::unique_ptr<char[]> buffer(new char[HASHLIST_READ]);
        STRING line;
        while (fgets(buffer.get(), HASHLIST_READ, file.get())) {
            int length = static_cast<int>(strlen(buffer.get()));
            line.Append(buffer.get(), length);
            // A line longer than the buffer is joined from several reads.
            if (length > 0 && buffer[length - 1] == '\n') {
                reader.TakeLine(line.Buffer, line.StrLen);
                line.Truncate(0);
            }
        }
        if (line.Length() > 0)
            reader.TakeLine(line.Buffer, line.StrLen);
        reader.Finish();
    }
    LogPrint("HASHLIST::Load returns %d, %s\n", ItemCount, OSYS::GetErrorText().c_str());
    return ItemCount;
}
