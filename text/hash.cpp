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
#include "text/textinternal.h"

namespace {

using textlayer::BeginsNoCase;
using textlayer::FoldCase;
using textlayer::Sign;

constexpr int HASHLIST_READ = 32786;

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

// Header lines of the sectioned form: "[#n]". Reports a malformed one; returns n.
int ParseHeader(const STRING& line)
{
    int end = line.Length();
    while (end > 0 && (line.Buffer[end - 1] == '\n' || line.Buffer[end - 1] == '\r'))
        end--;
    TARVO_CHECK_FORMAT(end > 1 && line.Buffer[1] == '#', "buf[1]=='#'", "%s", line.c_str());
    TARVO_CHECK_FORMAT(end > 0 && line.Buffer[end - 1] == ']', "buf[buf.Length()-2]==']'", "%s", line.c_str());
    return end > 2 ? atoi(line.Buffer + 2) : 0;
}

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

HASH::HASH(const HASH& other)
    : Handle(other.Handle), Spare(other.Spare), Keys(other.Keys), Values(other.Values), LockTable(other.LockTable),
      Key(other.Key)
{
}

HASH& HASH::operator=(const HASH& other)
{
    if (this == &other)
        return *this;
    MUTEXHOLD holdTarget(Keys.pLock.get());
    MUTEXHOLD holdSource(other.Keys.pLock.get());
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
    MUTEXHOLD holdThis(Keys.pLock.get());
    MUTEXHOLD holdOther(other.Keys.pLock.get());
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
        if (item[0] == '#' && !BeginsNoCase(item, "#Handle=") && !BeginsNoCase(item, "#Key="))
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
    MUTEXHOLD hold(Keys.pLock.get());
    long long total = 0;
    for (int i = 0; i < Keys.ItemCount; i++)
        total += Keys.ppItems[i]->Length() + Values.ppItems[i]->Length() + 2;
    text = STRING();
    // One granule for (nearly) the whole text.
    text.BlockSize = static_cast<int>(std::min<long long>((total + 65535) / 65536 * 65536, 1LL << 30));
    text.MakeNotNull();
    if (Handle != 0)
        text.AppendFormat("#Handle=%d\n", Handle);
    if (!Key.IsNull()) {
        text.Append("#Key=");
        text.Append(Key);
        text.Append('\n');
    }
    for (int i = 0; i < Keys.ItemCount; i++) {
        const STRING& value = *Values.ppItems[i];
        text.Append(*Keys.ppItems[i]);
        text.Append('=');
        // A key without a value is written as key= and reads back as the empty text.
        if (!value.IsNull() && (value.Flags & STRINGFLAG_BINARY)) {
            text.Append("={{");
            text.Append(value.ToBase64(false));
            text.Append("}}");
        } else if (!value.IsNull()) {
            text.Append(Escape(value, "={}"));
        }
        text.Append('\n');
    }
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
    ToText(text);
    LogPrint("HASH::Save %s\n", path ? path : "<NULL>");
    bool ok = text.Save(path, "w");
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
        if (flags & 0x01)
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
        bool match = exact ? CompareNoCase(text, value, true) == 0 : (text && value && BeginsNoCase(text, value));
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
    MUTEXHOLD hold(pLock.get());
    text = STRING();
    text.MakeNotNull();
    for (int i = 0; i < ItemCount; i++) {
        text.AppendFormat("[#%d]\n", i);
        STRING record;
        ppItems[i]->ToText(record);
        text.Append(record);
        text.Append('\n');
    }
}

int HASHLIST::Save(const char* path) const
{
    LogPrint("HASHLIST::Save %s\n", path ? path : "<NULL>");
    int rc = 0;
    FILE* file = FILENAME::fsopen(path, "w");
    if (file) {
        MUTEXHOLD hold(pLock.get());
        for (int i = 0; i < ItemCount; i++) {
            STRING record;
            ppItems[i]->ToText(record);
            fprintf(file, "[#%d]\n", i);
            fwrite(record.c_str(), 1, record.Length(), file);
            fputc('\n', file);
        }
        rc = ItemCount > 0 ? ItemCount : 1;
        fclose(file);
    }
    LogPrint("HASHLIST::Save returns rc %d\n", rc);
    return rc;
}

int HASHLIST::FromString(const STRING& text)
{
    STRINGARRAY lines(text, "\n", CountLines(text));
    LogPrintLevel(2, "HASHLIST::FromString after lines constructor\n");
    MUTEXHOLD hold(pLock.get());
    DeleteAll();
    STRING section;
    section.MakeNotNull();
    int lastHeader = 0;
    for (int i = 0; i < lines.ItemCount; i++) {
        const STRING& buf = *lines.ppItems[i];
        if (buf.Length() > 0 && buf.Buffer[0] == '[') {
            int n = ParseHeader(buf);
            // Header n closes record n - 1; before the first record nothing may be collected.
            if (n < 1)
                TARVO_CHECK(section.Length() == 0, "Section.Length()==0", nullptr);
            else
                Insert(n - 1, HASH(section));
            section.Truncate(0);
            lastHeader = n;
        } else {
            section.Append(buf);
            section.Append('\n');
        }
    }
    if (section.Length() > 0)
        Insert(lastHeader, HASH(section));
    return ItemCount;
}

int HASHLIST::Load(const char* path)
{
    long size = path ? static_cast<long>(FILENAME(path).Size()) : -1;
    LogPrint("HASHLIST::Load %s (%ld bytes)\n", path ? path : "<NULL>", size);
    MUTEXHOLD hold(pLock.get());
    DeleteAll();
    FILE* file = FILENAME::fsopen(path, "r");
    if (file) {
        STRING section;
        section.MakeNotNull();
        int headers = 0;
        auto takeLine = [&](const STRING& buf) {
            if (buf.Length() < 2)
                return; // an empty line
            if (buf.Buffer[0] != '[') {
                section.Append(buf);
                return;
            }
            ParseHeader(buf);
            // The k-th header closes record k - 1; the first one must have nothing before it.
            if (headers == 0)
                TARVO_CHECK(section.Length() == 0, "Section.Length()==0", nullptr);
            else
                Insert(headers - 1, HASH(section));
            section.Truncate(0);
            headers++;
        };
        std::unique_ptr<char[]> buffer(new char[HASHLIST_READ]);
        STRING line;
        while (fgets(buffer.get(), HASHLIST_READ, file)) {
            int length = static_cast<int>(strlen(buffer.get()));
            line.Append(buffer.get(), length);
            // A line longer than the buffer is joined from several reads.
            if (length > 0 && buffer[length - 1] == '\n') {
                takeLine(line);
                line.Truncate(0);
            }
        }
        if (line.Length() > 0) {
            line.Append('\n');
            takeLine(line);
        }
        if (headers > 0)
            Insert(headers - 1, HASH(section));
        else if (section.Length() > 0)
            Insert(0, HASH(section));
        fclose(file);
    }
    LogPrint("HASHLIST::Load returns %d, %s\n", ItemCount, OSYS::GetErrorText().c_str());
    return ItemCount;
}
