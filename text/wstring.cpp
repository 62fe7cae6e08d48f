#include "text/wstring.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <cwchar>

#include "diag/assert.h"
#include "text/strings.h"
#include "text/textinternal.h"
#include "text/unicode.h"

namespace {

using textlayer::CheckedSize;
using textlayer::PartLength;

constexpr int WIDE_FORMAT_AREA = 8192; // wide characters
constexpr int WIDE_BYTES = static_cast<int>(sizeof(wchar_t));

} // namespace

// ---------------------------------------------------------------------------------------
// Conversions between 8-bit text and UTF-16

namespace {

// -2 and -3 are the values of two code-page markers: a caller that passes one as a length
// has the arguments mixed up. It is reported and the whole text is taken.
int CheckedLength(int length, const char* condition)
{
    TARVO_CHECK(length != UNICODE_CPSYSTEM && length != UNICODE_CPFLAT, condition, nullptr);
    return length < 0 ? -1 : length;
}

int WideLength(const wchar_t* text, int length)
{
    return length < 0 ? static_cast<int>(wcslen(text)) : length;
}

} // namespace

void STRING::FromWide(const wchar_t* text, int length, int codepage)
{
    CodePage = codepage;
    length = CheckedLength(length, "length!=UNICODE_CPSYSTEM && length!=UNICODE_CPFLAT");
    if (!text)
        return;
    length = WideLength(text, length);
    if (codepage == UNICODE_CPUTF8) {
        Make(0);
        UNICODE::Instance().WideToUtf8Text(text, length, *this);
        return;
    }
    Make(length);
    UNICODE::Instance().WideToBytes(text, length, codepage, Buffer);
}

STRING::STRING(const WSTRING& text, int codepage)
{
    FromWide(text.IsNull() ? nullptr : text.c_str(), text.Length(), codepage);
}

// ---------------------------------------------------------------------------------------
// WSTRING

WSTRING::WSTRING()
{
    Data.Flags = STRINGFLAG_WIDE;
}

WSTRING::WSTRING(const wchar_t* text, int length) : WSTRING()
{
    length = CheckedLength(length, "len!=UNICODE_CPSYSTEM && len!=UNICODE_CPFLAT");
    if (text)
        Assign(text, WideLength(text, length));
}

WSTRING::WSTRING(const char* text, int codepage) : WSTRING(text, -1, codepage) {}

WSTRING::WSTRING(const char* text, int length, int codepage) : WSTRING()
{
    if (!text)
        return;
    if (length < 0)
        length = static_cast<int>(strlen(text));
    if (codepage == UNICODE_CPUTF8) {
        // A fresh state, and a sequence still open at the end is dropped.
        UTF8STATE state;
        Data.Make(0);
        UNICODE::Instance().Utf8ToWide(text, length, *this, state);
        return;
    }
    Data.Make(CheckedSize(static_cast<long long>(length) * WIDE_BYTES));
    UNICODE::Instance().BytesToWide(text, length, codepage, Chars());
}

WSTRING::WSTRING(const STRING& text) : WSTRING(text.Buffer, text.Length(), text.CodePage) {}

WSTRING::WSTRING(const WSTRING& other) = default;

WSTRING::WSTRING(WSTRING&& other) noexcept : Data(std::move(other.Data))
{
    other.Data.Flags = STRINGFLAG_WIDE;
}

WSTRING& WSTRING::operator=(const WSTRING& other) = default;

WSTRING& WSTRING::operator=(WSTRING&& other) noexcept
{
    Data = std::move(other.Data);
    other.Data.Flags = STRINGFLAG_WIDE;
    return *this;
}

WSTRING& WSTRING::operator=(const wchar_t* text)
{
    return *this = WSTRING(text);
}

WSTRING::~WSTRING() = default;

void WSTRING::Assign(const wchar_t* text, int length)
{
    Data.Make(length * WIDE_BYTES, text);
}

const wchar_t* WSTRING::c_str() const
{
    return Data.Buffer ? Chars() : L"";
}

int WSTRING::ToInt() const
{
    const wchar_t* text = NullGuardWide(Data.Buffer ? Chars() : nullptr, "wtoi");
    return text ? static_cast<int>(wcstol(text, nullptr, 10)) : 0;
}

void WSTRING::Append(const wchar_t* text, int n)
{
    text = NullGuardWide(text, "WSTRING::Append");
    if (!text)
        return;
    Data.Append(text, std::max(WideLength(text, n), 0) * WIDE_BYTES);
}

void WSTRING::Append(const WSTRING& other)
{
    Data.Append(other.Data);
}

void WSTRING::Format(const wchar_t* format, ...)
{
    const int nwbufmax = WIDE_FORMAT_AREA;
    wchar_t area[WIDE_FORMAT_AREA];
    area[0] = 0;
    format = NullGuardWide(format, "WSTRING::Format");
    if (!format) {
        Data.Make(0);
        return;
    }
    va_list args;
    va_start(args, format);
    int rc = vswprintf(area, nwbufmax, format, args);
    va_end(args);
    TARVO_CHECK(rc >= 0 && rc < nwbufmax - 1, "rc>=0 && rc<nwbufmax-1", nullptr);
    // An overlong result is cut to the area; what the formatter left there is kept.
    area[nwbufmax - 2] = 0;
    Assign(area, static_cast<int>(wcslen(area)));
}

void WSTRING::Insert(const wchar_t* text, int pos)
{
    const wchar_t* wbuf = Data.Buffer ? Chars() : nullptr;
    if (text && text == wbuf) {
        TARVO_CHECK(false, "wtext!=wbuf", nullptr);
        return;
    }
    text = NullGuardWide(text, "WSTRING::Insert");
    int length = Length();
    if (!text || pos < 0 || pos > length)
        return;
    // A part of this very text is copied before the buffer moves.
    WSTRING copy(text);
    int added = copy.Length();
    Data.Make((length + added) * WIDE_BYTES);
    wchar_t* chars = Chars();
    wmemmove(chars + pos + added, chars + pos, length - pos);
    wmemcpy(chars + pos, copy.c_str(), added);
}

void WSTRING::Trim(char how, const wchar_t* chars)
{
    char mode = (how >= 'a' && how <= 'z') ? static_cast<char>(how - 'a' + 'A') : how;
    if (!TARVO_CHECK(mode == 'L' || mode == 'R' || mode == 'B', "how=='L' || how=='R' || how=='B'", nullptr))
        return;
    int length = Length();
    if (length == 0 || !chars)
        return;
    const wchar_t* text = Chars();
    // A zero character is never in the set, so trimming stops there from either side.
    auto inSet = [&](int i) { return text[i] != 0 && wcschr(chars, text[i]) != nullptr; };
    int begin = 0, end = 0;
    textlayer::TrimBounds(length, mode, inSet, begin, end);
    if (begin == 0 && end == length)
        return;
    Data.Make((end - begin) * WIDE_BYTES, text + begin);
}

void WSTRING::MakeNotNull()
{
    if (!Data.Buffer)
        Data.Make(0);
}

int WSTRING::Pos(const wchar_t* needle, int start) const
{
    needle = NullGuardWide(needle, "WSTRING::Pos");
    if (!needle || !Data.Buffer)
        return -1;
    start = std::max(start, 0);
    if (start >= Length())
        return -1;
    const wchar_t* found = wcsstr(Chars() + start, needle);
    return found ? static_cast<int>(found - Chars()) : -1;
}

WSTRING WSTRING::Mid(int pos, int n) const
{
    WSTRING result;
    if (!TARVO_CHECK(pos >= 0, "pos>=0", nullptr)) {
        result.MakeNotNull();
        return result;
    }
    int length = PartLength(Length(), pos, n);
    result.Assign(length > 0 ? Chars() + pos : L"", length);
    return result;
}

WSTRING WSTRING::Field(int n, const wchar_t* delims, int flags) const
{
    WSTRING result;
    int length = Length();
    if (Data.Buffer && n >= 0) {
        const wchar_t* text = Chars();
        const wchar_t* set = delims ? delims : L"";
        auto delimiterAt = [&](int i) { return text[i] != 0 && wcschr(set, text[i]) != nullptr; };
        int start = 0, end = 0;
        if (textlayer::FieldBounds(length, n, (flags & FIELD_REST_MASK) != 0, delimiterAt, start, end))
            result = Mid(start, end - start);
    }
    if (result.IsNull() && (flags & FIELD_NOTNULL))
        result.MakeNotNull();
    return result;
}
