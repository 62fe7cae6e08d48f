#include "text/stringarray.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "diag/assert.h"
#include "diag/logit.h"
#include "osys/osys_win32.h"
#include "osys/osysfile.h"
#include "text/textinternal.h"

namespace {

using textlayer::HexDigit;
using textlayer::Sign;

constexpr int LINE_READ = 32767; // a read takes at most 32766 characters

} // namespace

STRINGARRAY::STRINGARRAY(int initial) : DYNARRAY<STRING>(initial, 64)
{
    SetTypeName("STRINGARRAY");
}

STRINGARRAY::STRINGARRAY(const STRING& source, const char* token, int initial) : DYNARRAY<STRING>(initial, 64)
{
    SetTypeName("STRINGARRAY");
    LogPrintLevel(LOGLEVEL_DETAIL, "STRINGARRAY::STRINGARRAY source= %s, token= %s\n", source.IsNull() ? "<NULL>" : source.c_str(),
                  token ? token : "<NULL>");
    if (source.IsNull())
        return;
    bool isToken[256] = {};
    for (const char* t = token ? token : ""; *t; t++)
        isToken[static_cast<unsigned char>(*t)] = true;
    MUTEXHOLD hold(pLock.get());
    const char* text = source.Buffer;
    int start = 0;
    // The terminating zero ends the last field, so n delimiters always give n + 1 items.
    for (int i = 0;; i++) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c != 0 && !isToken[c])
            continue;
        Add(source.Mid(start, i - start));
        start = i + 1;
        if (c == 0)
            break;
    }
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
    MUTEXHOLD hold(pLock.get());
    const char* wanted = text ? text : "";
    for (int i = 0; i < ItemCount; i++) {
        const STRING& item = *ppItems[i];
        bool match = false;
        switch (mode) {
        case 0:
            match = CompareNoCase(item.Buffer, text, true) == 0;
            break;
        case 1:
            match = StartsWithNoCase(item.c_str(), wanted);
            break;
        case 2:
            match = item.iPos(wanted, 0) != -1;
            break;
        case 3:
            match = atoi(item.c_str()) == atoi(wanted);
            break;
        default:
            break;
        }
        if (match)
            return i;
    }
    return -1;
}

STRING STRINGARRAY::Join(const char* separator) const
{
    STRING result(nullptr, 1024, 1252);
    result.MakeNotNull();
    MUTEXHOLD hold(pLock.get());
    for (int i = 0; i < ItemCount; i++) {
        result.Append(*ppItems[i]);
        result.Append(separator ? separator : "");
    }
    if (separator && *separator)
        result.Trim('R', separator);
    return result;
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
