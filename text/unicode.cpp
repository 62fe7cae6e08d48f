#include "text/unicode.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/osys_win32.h"
#include "text/binary.h"
#include "text/textinternal.h"
#include "text/unicodetables.h"
#include "text/wstring.h"

namespace {

using textlayer::CheckedSize;

static_assert(unicodetables::TABLE_PAGES == UNICODE_PAGES);

constexpr int LATIN_PAGE = 0; // 1252, and the page of the control bytes of every other page
constexpr int OEM_PAGE = 1;   // 437
constexpr int CONTROL_BYTE_MAX = 0x1F;
constexpr int UPPER_HALF_START = 0x80;
constexpr int INDEX_SELF_MAX = 254; // index entries 1..254 that no row produces point to page 0
constexpr wchar_t NO_ROW_VALUE = 0x7F;
constexpr wchar_t UNLISTED_VALUE = L'@';
constexpr wchar_t OWN_VALUE_MAX = 32; // below 33 a value without a byte is its own byte

// name, number, alternative name, character set, entry number
const CODEPAGEENTRY PAGE_LIST[UNICODE_PAGES] = {
    {"Latin I", 1252, "8859-1", 0, 513},
    {"DOS/OEM", 437, "0", 255, 1024},
    {"Latin Central Europe", 1250, "8859-2", 238, 514},
    {"Latin Cyrillic", 1251, "8859-5", 204, 517},
    {"Latin Greek", 1253, "8859-7", 161, 519},
    {"DOS Greek", 737, "0", 255, 1029},
    {"DOS Russian", 866, "0", 255, 1051},
    {"DOS Central European (Slavic)", 852, "0", 255, 1042},
    {"MAC Roman", 999, "0", 0, 0},
    {"KOI8R", 878, "0", 255, 2562},
};

// Box drawing characters that have no byte in a page, and their ASCII stand-ins.
struct SUBSTITUTE {
    wchar_t value;
    char replacement;
};
constexpr wchar_t SUBSTITUTE_FIRST = 0x2500;
constexpr wchar_t SUBSTITUTE_LAST = 0x2569;
constexpr SUBSTITUTE SUBSTITUTES[] = {
    {0x2500, '-'}, {0x2502, '|'}, {0x2550, '='}, {0x2551, '"'}, {0x250C, '+'}, {0x2514, '+'}, {0x2510, '+'},
    {0x2518, '+'}, {0x253C, '+'}, {0x252C, '+'}, {0x251C, '+'}, {0x2524, '+'}, {0x2534, '+'}, {0x2554, '+'},
    {0x255A, '+'}, {0x2557, '+'}, {0x255D, '+'}, {0x2566, '+'}, {0x2560, '+'}, {0x2563, '+'}, {0x2569, '+'},
};

// Code pages whose characters the platform's OEM code page converts when the tables have none.
bool IsOemCodePage(int codepage)
{
    return codepage == 437 || codepage == 737 || codepage == 852 || codepage == 866 || codepage == 878;
}

bool CountsAs1252(int codepage)
{
    return codepage == 1252 || codepage == 850 || codepage == 1000;
}

constexpr unsigned char UTF8_TWO_FIRST = 0xC0;
constexpr unsigned char UTF8_THREE_FIRST = 0xE0;
constexpr unsigned char UTF8_THREE_LAST = 0xEF;
constexpr int UTF8_MAX_BYTES = 3;
constexpr int WIDE_BYTES = static_cast<int>(sizeof(wchar_t));

bool IsContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

int Utf8Length(wchar_t value)
{
    return value < 0x80 ? 1 : (value < 0x800 ? 2 : 3);
}

// One UTF-16 value as UTF-8 into out; the number of bytes.
int EncodeUtf8(wchar_t value, unsigned char* out)
{
    if (value < 0x80) {
        out[0] = static_cast<unsigned char>(value);
        return 1;
    }
    if (value < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 + (value >> 6));
        out[1] = static_cast<unsigned char>(0x80 + (value & 0x3F));
        return 2;
    }
    out[0] = static_cast<unsigned char>(0xE0 + (value >> 12));
    out[1] = static_cast<unsigned char>(0x80 + ((value >> 6) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 + (value & 0x3F));
    return 3;
}

// Each byte through a 256-entry table. The output is wide text like the table, so the compiler
// has to assume each store may change the table: eight loads go before their eight stores.
void MapBytes(const unsigned char* in, int length, const wchar_t* table, wchar_t* out)
{
    constexpr int STEP = 8;
    int i = 0;
    for (; i + STEP <= length; i += STEP) {
        wchar_t values[STEP];
        for (int k = 0; k < STEP; k++)
            values[k] = table[in[i + k]];
        for (int k = 0; k < STEP; k++)
            out[i + k] = values[k];
    }
    for (; i < length; i++)
        out[i] = table[in[i]];
}

// The owner of the single object: Instance creates it, Shutdown deletes it.
std::atomic<UNICODE*> instance{nullptr};
std::mutex instanceLock;

} // namespace

UNICODE& UNICODE::Instance()
{
    UNICODE* existing = instance.load(std::memory_order_acquire);
    if (existing)
        return *existing;
    std::lock_guard<std::mutex> hold(instanceLock);
    existing = instance.load(std::memory_order_relaxed);
    if (!existing) {
        existing = new UNICODE;
        instance.store(existing, std::memory_order_release);
    }
    return *existing;
}

void UNICODE::Shutdown()
{
    UNICODE* owned = nullptr;
    {
        std::lock_guard<std::mutex> hold(instanceLock);
        owned = instance.exchange(nullptr, std::memory_order_acq_rel);
    }
    delete owned;
}

UNICODE::UNICODE()
{
    LogPrint("UNICODE::UNICODE\n");
    memset(Rows, 0, sizeof(Rows));
    memset(CodePages, 0, sizeof(CodePages));
    LogPrint("UNICODE::UNICODE init tables\n");

    for (const CODEPAGEENTRY& entry : PAGE_LIST) {
        int page = PageCount;
        CodePages[page] = entry;
        CODEPAGEROW* rows = Rows + page * UNICODE_PAGE_ROWS;
        for (int byte = 0; byte < UNICODE_PAGE_ROWS; byte++)
            rows[byte] = {static_cast<uint8_t>(byte), static_cast<uint16_t>(entry.CodePage),
                          static_cast<uint16_t>(byte)};
        for (int byte = UPPER_HALF_START; byte < UNICODE_PAGE_ROWS; byte++)
            rows[byte].Value = unicodetables::UPPER_HALVES[page][byte - UPPER_HALF_START];
        PageCount++;
    }
    LogPrint("UNICODE::UNICODE init done\n");

    int largest = 0;
    for (const CODEPAGEROW& row : Rows)
        largest = std::max(largest, static_cast<int>(row.Value));
    IndexCount = std::min(largest + 1, UNICODE_INDEX_MAX);
    Index = std::make_unique<uint16_t[]>(IndexCount);
    // Entry 0 holds row 0, which cannot be told from an empty entry: it is taken as set.
    for (int row = 1; row < UNICODE_ROWS; row++) {
        int value = Rows[row].Value;
        if (Rows[row].CodePage != 0 && value != 0 && value < IndexCount && Index[value] == 0)
            Index[value] = static_cast<uint16_t>(row);
    }
    for (int value = 1; value <= INDEX_SELF_MAX && value < IndexCount; value++)
        if (Index[value] == 0)
            Index[value] = static_cast<uint16_t>(value);

    for (int page = 0; page < UNICODE_PAGES; page++) {
        for (int byte = 0; byte < UNICODE_PAGE_ROWS; byte++) {
            // Control bytes come from page 0 for every page but 437's.
            int from = (byte <= CONTROL_BYTE_MAX && page != OEM_PAGE) ? LATIN_PAGE : page;
            const CODEPAGEROW& row = Rows[from * UNICODE_PAGE_ROWS + byte];
            PageChars[page][byte] = row.CodePage != 0 ? row.Value : NO_ROW_VALUE;
            SortedValues[page][byte] = static_cast<uint32_t>(Rows[page * UNICODE_PAGE_ROWS + byte].Value) << 8 | byte;
        }
        std::sort(SortedValues[page], SortedValues[page] + UNICODE_PAGE_ROWS);
    }
    // The system code page cannot change while the process runs.
    for (int byte = 0; byte < UNICODE_PAGE_ROWS; byte++)
        SystemChars[byte] = OSYS::SystemByteToWide(static_cast<unsigned char>(byte));
    LogPrint("UNICODE::UNICODE done\n");
}

UNICODE::~UNICODE()
{
    LogPrint("UNICODE::~UNICODE\n");
    Index.reset();
    LogPrint("UNICODE::~UNICODE done\n");
}

int UNICODE::IndexOfCodePage(int codepage) const
{
    if (codepage == 1252)
        return LATIN_PAGE;
    if (codepage == 850)
        codepage = 1252;
    for (int page = 0; page < PageCount; page++)
        if (CodePages[page].CodePage == codepage)
            return page;
    return -1;
}

const CODEPAGEENTRY* UNICODE::CodePageEntry(int codepage) const
{
    int page = IndexOfCodePage(codepage);
    return page < 0 ? nullptr : &CodePages[page];
}

int UNICODE::PageOf(int codepage) const
{
    if (codepage == 437)
        return OEM_PAGE;
    if (CountsAs1252(codepage))
        return LATIN_PAGE;
    return IndexOfCodePage(codepage);
}

wchar_t UNICODE::ByteToWide(unsigned char byte, int codepage) const
{
    TARVO_CHECK(codepage != UNICODE_CPUTF8, "cp!=UNICODE_CPUTF8", nullptr);
    if (codepage == UNICODE_CPFLAT)
        return byte;
    if (codepage == UNICODE_CPSYSTEM)
        return SystemChars[byte];
    int page = PageOf(codepage);
    if (page < 0 && byte <= CONTROL_BYTE_MAX)
        page = LATIN_PAGE;
    if (!TARVO_CHECK_FORMAT(page >= 0, "idx!=-1", "codepage :%d", codepage))
        return UNLISTED_VALUE;
    return PageChars[page][byte];
}

void UNICODE::BytesToWide(const char* bytes, int length, int codepage, wchar_t* out) const
{
    const unsigned char* in = reinterpret_cast<const unsigned char*>(bytes);
    const wchar_t* chars = nullptr;
    if (codepage == UNICODE_CPSYSTEM)
        chars = SystemChars;
    else if (codepage != UNICODE_CPFLAT && codepage != UNICODE_CPUTF8 && PageOf(codepage) >= 0)
        chars = PageChars[PageOf(codepage)];
    if (codepage == UNICODE_CPFLAT) {
        for (int i = 0; i < length; i++)
            out[i] = in[i];
    } else if (chars) {
        MapBytes(in, length, chars, out);
    } else {
        for (int i = 0; i < length; i++)
            out[i] = ByteToWide(in[i], codepage);
    }
}

int UNICODE::TableByte(wchar_t value, int codepage) const
{
    if (value < IndexCount) {
        int row = Index[value];
        if ((row != 0 || value == 0) && Rows[row].CodePage == codepage)
            return Rows[row].Byte;
    }
    int page = IndexOfCodePage(codepage);
    if (page < 0)
        return -1;
    // The first byte of the page with that value: the smallest pair from value << 8 on.
    const uint32_t* pairs = SortedValues[page];
    const uint32_t* found = std::lower_bound(pairs, pairs + UNICODE_PAGE_ROWS, static_cast<uint32_t>(value) << 8);
    if (found == pairs + UNICODE_PAGE_ROWS || (*found >> 8) != value)
        return -1;
    return static_cast<int>(*found & 0xFF);
}

unsigned char UNICODE::FallbackByte(wchar_t value, int codepage) const
{
    if (value >= SUBSTITUTE_FIRST && value <= SUBSTITUTE_LAST)
        for (const SUBSTITUTE& substitute : SUBSTITUTES)
            if (substitute.value == value)
                return static_cast<unsigned char>(substitute.replacement);
    if (value < OWN_VALUE_MAX + 1)
        return static_cast<unsigned char>(value);
    unsigned int platform = static_cast<unsigned int>(codepage);
    if (IsOemCodePage(codepage))
        platform = CP_OEMCP;
    else if (CountsAs1252(codepage) || codepage == UNICODE_CPSYSTEM)
        platform = CP_ACP;
    return OSYS::SystemWideToByte(value, platform);
}

unsigned char UNICODE::WideToByte(wchar_t value, int codepage) const
{
    TARVO_CHECK(codepage != UNICODE_CPUTF8, "cp!=UNICODE_CPUTF8", nullptr);
    if (codepage == UNICODE_CPFLAT)
        return static_cast<unsigned char>(value & 0xFF);
    if (codepage != UNICODE_CPSYSTEM) {
        int byte = TableByte(value, codepage);
        if (byte >= 0)
            return static_cast<unsigned char>(byte);
    }
    return FallbackByte(value, codepage);
}

void UNICODE::WideToBytes(const wchar_t* text, int length, int codepage, char* out) const
{
    if (codepage == UNICODE_CPFLAT) {
        for (int i = 0; i < length; i++)
            out[i] = static_cast<char>(text[i] & 0xFF);
        return;
    }
    for (int i = 0; i < length; i++)
        out[i] = static_cast<char>(WideToByte(text[i], codepage));
}

void UNICODE::Utf8ToWide(const char* text, int length, WSTRING& target, UTF8STATE& state) const
{
    if (!text)
        return;
    if (length < 0)
        length = static_cast<int>(strlen(text));
    // A negative count would index before the remembered bytes: such a state is reset too.
    if (state.Expected < 0 || state.Expected > 2 || state.CharCount < 0)
        state = UTF8STATE{};
    // Each byte gives at most one character, and a broken sequence at most the bytes it was
    // given: at most two bytes come from the previous piece.
    int start = target.Length();
    target.Data.Make(CheckedSize((static_cast<long long>(start) + length + 2) * WIDE_BYTES));
    wchar_t* first = reinterpret_cast<wchar_t*>(target.Data.Buffer) + start;
    wchar_t* out = first;

    // Locals rather than the caller's state, which the compiler would reload after each write.
    UTF8STATE s = state;
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text);
    for (int i = 0; i < length; i++) {
        if (s.Expected == 0) {
            // Runs of ASCII, the bulk of most texts, in a loop of their own.
            while (i < length && in[i] < 0x80)
                *out++ = in[i++];
            if (i == length)
                break;
        }
        unsigned char byte = in[i];
        if (s.Expected == 0) {
            // A whole sequence inside this piece needs no state.
            if (byte >= UTF8_TWO_FIRST && byte < UTF8_THREE_FIRST && i + 1 < length && IsContinuation(in[i + 1])) {
                *out++ = static_cast<wchar_t>((byte & 0x1F) << 6 | (in[i + 1] & 0x3F));
                i++;
                continue;
            }
            if (byte >= UTF8_THREE_FIRST && byte <= UTF8_THREE_LAST && i + 2 < length && IsContinuation(in[i + 1]) &&
                IsContinuation(in[i + 2])) {
                *out++ = static_cast<wchar_t>((byte & 0x0F) << 12 | (in[i + 1] & 0x3F) << 6 | (in[i + 2] & 0x3F));
                i += 2;
                continue;
            }
            if (byte >= UTF8_TWO_FIRST && byte <= UTF8_THREE_LAST) {
                bool three = byte >= UTF8_THREE_FIRST;
                s.Value = static_cast<uint16_t>(byte & (three ? 0x0F : 0x1F));
                s.Expected = three ? 2 : 1;
                s.Bytes[0] = byte;
                s.CharCount = 1;
            } else {
                *out++ = byte;
            }
            continue;
        }
        if (!TARVO_CHECK(s.CharCount < UTF8_MAX_BYTES, "pstateutf->CharCount<3", nullptr)) {
            // A state no call of this decoder leaves behind: drop it and take the byte afresh.
            s = UTF8STATE{};
            i--;
            continue;
        }
        s.Bytes[s.CharCount++] = byte;
        if (IsContinuation(byte)) {
            s.Value = static_cast<uint16_t>(s.Value << 6 | (byte & 0x3F));
            if (--s.Expected == 0) {
                *out++ = s.Value;
                s = UTF8STATE{};
            }
        } else {
            for (int k = 0; k < s.CharCount; k++)
                *out++ = s.Bytes[k];
            s = UTF8STATE{};
        }
    }
    state = s;
    target.Data.Make((start + static_cast<int>(out - first)) * WIDE_BYTES);
}

BINARY UNICODE::WideToUtf8(wchar_t value) const
{
    unsigned char bytes[UTF8_MAX_BYTES];
    int n = EncodeUtf8(value, bytes);
    return BINARY(bytes, n);
}

void UNICODE::WideToUtf8Text(const wchar_t* text, int length, BINARY& bytes) const
{
    long long needed = bytes.Length();
    for (int i = 0; i < length; i++)
        needed += Utf8Length(text[i]);
    int start = bytes.Length();
    bytes.Make(CheckedSize(needed));
    unsigned char* out = reinterpret_cast<unsigned char*>(bytes.Buffer) + start;
    for (int i = 0; i < length; i++)
        out += EncodeUtf8(text[i], out);
}
