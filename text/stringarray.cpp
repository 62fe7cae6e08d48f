#include "text/stringarray.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <type_traits>

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/osys_win32.h"
#include "osys/osysfile.h"
#include "text/savefile.h"
#include "text/textinternal.h"
#include "text/wstring.h"

namespace {

using textlayer::FoldCase;
using textlayer::HexDigit;
using textlayer::Sign;

constexpr int LINE_READ = 32767; // a read takes at most 32766 characters
constexpr int JOIN_BLOCKSIZE = 1024;

// The delimiter characters of a split: a table for the byte range, the text for the rest.
template <class Char>
class TOKENSET {
public:
    explicit TOKENSET(const Char* token) : all(token ? token : empty)
    {
        for (const Char* t = all; *t; t++)
            if (Value(*t) < 256)
                low[Value(*t)] = true;
    }
    bool Contains(Char c) const
    {
        if (Value(c) < 256)
            return low[Value(c)];
        for (const Char* t = all; *t; t++)
            if (*t == c)
                return true;
        return false;
    }

private:
    // Bytes above 0x7F are negative chars: they are taken as unsigned values.
    static unsigned Value(Char c) { return static_cast<std::make_unsigned_t<Char>>(c); }

    static constexpr Char empty[1] = {};
    bool low[256] = {};
    const Char* all;
};

// Splits the text of source at the token characters into items of array.
template <class Text, class Char>
void SplitInto(DYNARRAY<Text>& array, const Text& source, const Char* token)
{
    if (source.IsNull())
        return;
    TOKENSET<Char> tokens(token);
    MUTEXHOLD hold(array.pLock.get());
    const Char* text = source.c_str();
    int start = 0;
    // The terminating zero ends the last field, so n delimiters always give n + 1 items.
    for (int i = 0;; i++) {
        Char c = text[i];
        if (c != 0 && !tokens.Contains(c))
            continue;
        array.Add(source.Mid(start, i - start));
        start = i + 1;
        if (c == 0)
            break;
    }
}

// First position of array whose item matches text in the IndexOf mode; Match supplies the
// item type's comparisons.
template <class Match, class Text, class Char>
int IndexOfIn(const DYNARRAY<Text>& array, const Char* text, int mode)
{
    MUTEXHOLD hold(array.pLock.get());
    static constexpr Char empty[1] = {};
    const Char* wanted = text ? text : empty;
    for (int i = 0; i < array.ItemCount; i++) {
        const Text& item = *array.ppItems[i];
        bool match = false;
        switch (mode) {
        case 0:
            match = Match::EqualNoCase(item, text);
            break;
        case 1:
            match = Match::StartsWithNoCase(item, wanted);
            break;
        case 2:
            match = Match::ContainsNoCase(item, wanted);
            break;
        case 3:
            match = Match::Value(item.c_str()) == Match::Value(wanted);
            break;
        default:
            break;
        }
        if (match)
            return i;
    }
    return -1;
}

// Every item of array followed by the separator, into result; trailing separator characters
// are trimmed.
template <class Text, class Char>
Text JoinInto(const DYNARRAY<Text>& array, const Char* separator, Text result)
{
    static constexpr Char empty[1] = {};
    result.MakeNotNull();
    MUTEXHOLD hold(array.pLock.get());
    for (int i = 0; i < array.ItemCount; i++) {
        result.Append(*array.ppItems[i]);
        result.Append(separator ? separator : empty);
    }
    if (separator && *separator)
        result.Trim('R', separator);
    return result;
}

struct NARROWMATCH {
    static bool EqualNoCase(const STRING& item, const char* text)
    {
        return CompareNoCase(item.Buffer, text, true) == 0;
    }
    static bool StartsWithNoCase(const STRING& item, const char* text)
    {
        return ::StartsWithNoCase(item.c_str(), text);
    }
    static bool ContainsNoCase(const STRING& item, const char* text) { return item.iPos(text, 0) != -1; }
    static int Value(const char* text) { return atoi(text); }
};

// Wide text folds A-Z only, as the 8-bit comparisons do.
int CompareNoCaseWide(const wchar_t* a, const wchar_t* b)
{
    for (;; a++, b++) {
        wchar_t ca = FoldCase(*a);
        wchar_t cb = FoldCase(*b);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (!ca)
            return 0;
    }
}

bool StartsWithNoCaseWide(const wchar_t* text, const wchar_t* prefix)
{
    for (; *prefix; text++, prefix++)
        if (!*text || FoldCase(*text) != FoldCase(*prefix))
            return false;
    return true;
}

struct WIDEMATCH {
    static bool EqualNoCase(const WSTRING& item, const wchar_t* text)
    {
        if (item.IsNull() || !text)
            return item.IsNull() && !text;
        return CompareNoCaseWide(item.c_str(), text) == 0;
    }
    static bool StartsWithNoCase(const WSTRING& item, const wchar_t* text)
    {
        return StartsWithNoCaseWide(item.c_str(), text);
    }
    // Like STRING::iPos: the empty text is found in any item that is not empty.
    static bool ContainsNoCase(const WSTRING& item, const wchar_t* text)
    {
        const wchar_t* chars = item.c_str();
        for (int i = 0; i < item.Length(); i++)
            if (StartsWithNoCaseWide(chars + i, text))
                return true;
        return false;
    }
    static int Value(const wchar_t* text) { return static_cast<int>(wcstol(text, nullptr, 10)); }
};

} // namespace

STRINGARRAY::STRINGARRAY(int initial) : DYNARRAY<STRING>(initial, 64)
{
    SetTypeName("STRINGARRAY");
}

STRINGARRAY::STRINGARRAY(const STRING& source, const char* token, int initial) : DYNARRAY<STRING>(initial, 64)
{
    SetTypeName("STRINGARRAY");
    LogPrintLevel(LOGLEVEL_DETAIL, "STRINGARRAY::STRINGARRAY source= %s, token= %s\n",
                  source.IsNull() ? "<NULL>" : source.c_str(), token ? token : "<NULL>");
    SplitInto(*this, source, token);
}

int STRINGARRAY::Compare(const STRING& a, const STRING& b, int flags)
{
    if (flags & SORTFLAG_BYVALUE)
        return Sign(static_cast<long long>(a.ToInt()) - b.ToInt());
    if (flags & SORTFLAG_NOCASE)
        return CompareNoCase(a.c_str(), b.c_str(), true);
    return Sign(strcmp(a.c_str(), b.c_str()));
}

int STRINGARRAY::IndexOf(const char* text, int mode) const
{
    return IndexOfIn<NARROWMATCH>(*this, text, mode);
}

STRING STRINGARRAY::Join(const char* separator) const
{
    return JoinInto(*this, separator, STRING(nullptr, JOIN_BLOCKSIZE, 1252));
}

int STRINGARRAY::Load(const char* path, bool unescape)
{
    long size = path ? static_cast<long>(FILENAME(path).Size()) : -1;
    LogPrint("STRINGARRAY::Load %s (%ld bytes)\n", path ? path : "<NULL>", size);
    MUTEXHOLD hold(pLock.get());
    int added = 0;
    UNIQUEFILE file(FILENAME::fsopen(path, "r"));
    if (file) {
        auto addLine = [&](const STRING& line) {
            if (Insert(added, unescape ? Unescape(line, false) : line) != -1)
                added++;
        };
        std::unique_ptr<char[]> buffer(new char[LINE_READ]);
        STRING line;
        while (fgets(buffer.get(), LINE_READ, file.get())) {
            int length = static_cast<int>(strlen(buffer.get()));
            if (length > 0 && buffer[length - 1] == '\n') {
                line.Append(buffer.get(), length - 1);
                addLine(line);
                line.Truncate(0);
            } else {
                // A line longer than one read, or a last line without a line end.
                line.Append(buffer.get(), length);
            }
        }
        if (line.IsFilled())
            addLine(line);
    }
    LogPrint("STRINGARRAY::Load returns %d, %s\n", added, OSYS::GetErrorText().c_str());
    return added;
}

int STRINGARRAY::Save(const char* path, bool escape) const
{
    LogPrint("STRINGARRAY::Save %s\n", path ? path : "<NULL>");
    int written = 0;
    SAVEFILE file(path, "w");
    if (file) {
        MUTEXHOLD hold(pLock.get());
        for (int i = 0; i < ItemCount; i++) {
            STRING escaped = escape ? Escape(*ppItems[i], "") : STRING();
            const char* line = escape ? escaped.c_str() : ppItems[i]->c_str();
            // Each line up to its first zero byte.
            file.Write(line, strlen(line));
            file.Write("\n", 1);
        }
        if (file.Close(false))
            written = ItemCount > 0 ? ItemCount : 1;
        else
            LogPrint("STRINGARRAY::Save failed: %s\n", file.Failure().c_str());
    }
    LogPrint("STRINGARRAY::Save returns %d\n", written);
    return written;
}

WSTRINGARRAY::WSTRINGARRAY(int initial) : DYNARRAY<WSTRING>(initial, 64)
{
    SetTypeName("WSTRINGARRAY");
}

WSTRINGARRAY::WSTRINGARRAY(const WSTRING& source, const wchar_t* token, int initial) : DYNARRAY<WSTRING>(initial, 64)
{
    SetTypeName("WSTRINGARRAY");
    // The texts are converted for the log only when the line is written.
    if (LogPrintLevel(LOGLEVEL_DETAIL, nullptr)) {
        STRING sourceText(source, UNICODE_CPSYSTEM);
        STRING tokenText(token, UNICODE_CPSYSTEM);
        LogPrintLevel(LOGLEVEL_DETAIL, "WSTRINGARRAY::WSTRINGARRAY source= %s, token= %s\n",
                      source.IsNull() ? "<NULL>" : sourceText.c_str(), token ? tokenText.c_str() : "<NULL>");
    }
    SplitInto(*this, source, token);
}

int WSTRINGARRAY::Compare(const WSTRING& a, const WSTRING& b, int flags)
{
    if (flags & SORTFLAG_BYVALUE)
        return Sign(static_cast<long long>(a.ToInt()) - b.ToInt());
    if (flags & SORTFLAG_NOCASE)
        return CompareNoCaseWide(a.c_str(), b.c_str());
    return Sign(wcscmp(a.c_str(), b.c_str()));
}

int WSTRINGARRAY::IndexOf(const wchar_t* text, int mode) const
{
    return IndexOfIn<WIDEMATCH>(*this, text, mode);
}

WSTRING WSTRINGARRAY::Join(const wchar_t* separator) const
{
    WSTRING result;
    result.Data.BlockSize = JOIN_BLOCKSIZE;
    return JoinInto(*this, separator, std::move(result));
}

STRING Escape(const STRING& text, const char* extra)
{
    if (text.IsNull())
        return STRING();
    // 0: copied; 1: a named escape; 2: backslash, x and two hexadecimal digits.
    unsigned char kind[256];
    char named[256] = {};
    for (int c = 0; c < 256; c++)
        kind[c] = (c >= 0x20 && c <= 0x7F) ? 0 : 2;
    for (const char* e = extra ? extra : ""; *e; e++)
        kind[static_cast<unsigned char>(*e)] = 2;
    const char names[][2] = {{'\\', '\\'}, {0x00, '0'}, {0x09, 't'}, {0x0A, 'n'}, {0x0D, 'r'}, {0x1A, 'z'}};
    for (const auto& name : names) {
        kind[static_cast<unsigned char>(name[0])] = 1;
        named[static_cast<unsigned char>(name[0])] = name[1];
    }

    int n = text.StrLen;
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text.Buffer);
    long long length = 0;
    for (int i = 0; i < n; i++)
        length += kind[in[i]] == 0 ? 1 : (kind[in[i]] == 1 ? 2 : 4);

    STRING result;
    result.BlockSize = (n + n / 4 + 255) & ~255;
    result.Make(static_cast<int>(length));
    static constexpr char digits[] = "0123456789abcdef";
    char* out = result.Buffer;
    for (int i = 0; i < n; i++) {
        unsigned char c = in[i];
        if (kind[c] == 0) {
            *out++ = static_cast<char>(c);
        } else if (kind[c] == 1) {
            *out++ = '\\';
            *out++ = named[c];
        } else {
            *out++ = '\\';
            *out++ = 'x';
            *out++ = digits[c >> 4];
            *out++ = digits[c & 0x0F];
        }
    }
    return result;
}

STRING Unescape(const STRING& text, bool keepOthers)
{
    if (text.IsNull())
        return STRING();
    int n = text.StrLen;
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text.Buffer);
    STRING result;
    result.Make(n); // never longer than the escaped text
    char* out = result.Buffer;
    for (int i = 0; i < n; i++) {
        if (in[i] != '\\') {
            *out++ = static_cast<char>(in[i]);
            continue;
        }
        if (i + 1 >= n) {
            // A lone backslash at the end has no second character to keep.
            if (keepOthers)
                *out++ = '\\';
            else
                TARVO_CHECK_FORMAT(false, "FALSE", "%s", text.Buffer);
            continue;
        }
        unsigned char next = in[++i];
        switch (next) {
        case '0':
            *out++ = 0x00;
            break;
        case '\\':
            *out++ = '\\';
            break;
        case 'n':
            *out++ = 0x0A;
            break;
        case 'r':
            *out++ = 0x0D;
            break;
        case 't':
            *out++ = 0x09;
            break;
        case 'z':
            *out++ = 0x1A;
            break;
        case 'x': {
            // Two characters are taken as digits (fewer at the end of the text); the value
            // comes from the leading characters that are hexadecimal digits.
            unsigned char xdigit[2] = {0, 0};
            for (int d = 0; d < 2 && i + 1 < n; d++)
                xdigit[d] = in[++i];
            bool first = TARVO_CHECK(HexDigit(xdigit[0]) >= 0, "isxdigit(xdigit[0])", nullptr);
            bool second = TARVO_CHECK(HexDigit(xdigit[1]) >= 0, "isxdigit(xdigit[1])", nullptr);
            int value = 0;
            if (first) {
                value = HexDigit(xdigit[0]);
                if (second)
                    value = value * 16 + HexDigit(xdigit[1]);
            }
            *out++ = static_cast<char>(value);
            break;
        }
        default:
            if (keepOthers) {
                *out++ = '\\';
            } else {
                TARVO_CHECK_FORMAT(false, "FALSE", "%s", text.Buffer);
            }
            *out++ = static_cast<char>(next);
            break;
        }
    }
    result.Truncate(static_cast<int>(out - result.Buffer));
    return result;
}
