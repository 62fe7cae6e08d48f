#include "text/strings.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "diag/assert.h"
#include "text/textinternal.h"

namespace {

using textlayer::ConcatBuffers;
using textlayer::ConcatInto;
using textlayer::FoldCase;
using textlayer::GuardedLength;
using textlayer::PartLength;

constexpr int FORMAT_AREA = 8192;
constexpr int FORMAT_MAX = FORMAT_AREA - 2; // characters kept of one formatted text

std::atomic<int> nullGuardMode{0};

bool EqualNoCase(const char* a, const char* b, int n)
{
    for (int i = 0; i < n; i++)
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    return true;
}

// Formats into the bounded area; returns the number of characters to keep.
int FormatBounded(char (&area)[FORMAT_AREA], const char* format, va_list args)
{
    format = NullGuard(format, "Format");
    if (!format)
        return 0;
    int rc = vsnprintf(area, sizeof(area), format, args);
    TARVO_CHECK(rc >= 0 && rc < static_cast<int>(sizeof(area)) - 1, "rc>=0 && rc<sizeof(buf)-1", format);
    if (rc < 0)
        return 0;
    return std::min(rc, FORMAT_MAX);
}

// Whether a missing operand is replaced by the "<NULL>" text; otherwise it is reported when
// DOREREDERAZUVAZ asks for it and stays missing.
bool NullGuardSubstitutes(const char* context)
{
    if (const char* mode = getenv("DOREREDERAZUVAZ"))
        nullGuardMode.store(atoi(mode));
    int mode = nullGuardMode.load();
    if (!(mode & 1))
        return true;
    if (mode & 2)
        TARVO_CHECK(false, "p!=NULL", context ? context : "<none>");
    return false;
}

} // namespace

const char* NullGuard(const char* p, const char* context)
{
    if (p)
        return p;
    return NullGuardSubstitutes(context) ? "<NULL>" : nullptr;
}

const wchar_t* NullGuardWide(const wchar_t* p, const char* context)
{
    if (p)
        return p;
    return NullGuardSubstitutes(context) ? L"<NULL>" : nullptr;
}

bool StartsWithNoCase(const char* text, const char* prefix)
{
    if (!text || !prefix)
        return false;
    for (; *prefix; text++, prefix++)
        if (!*text || FoldCase(*text) != FoldCase(*prefix))
            return false;
    return true;
}

bool EndsWithNoCase(const char* text, const char* ending)
{
    if (!text || !ending)
        return false;
    size_t length = strlen(text), endingLength = strlen(ending);
    return length >= endingLength && StartsWithNoCase(text + length - endingLength, ending);
}

int CompareNoCase(const char* a, const char* b, bool nulltolerant)
{
    if (nulltolerant) {
        if (!a || !b)
            return (!a && !b) ? 0 : 1;
    } else {
        a = NullGuard(a, "stricmp p1");
        b = NullGuard(b, "stricmp p2");
        if (!a || !b)
            return (!a && !b) ? 0 : 1;
    }
    for (;; a++, b++) {
        unsigned char ca = static_cast<unsigned char>(FoldCase(*a));
        unsigned char cb = static_cast<unsigned char>(FoldCase(*b));
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (!ca)
            return 0;
    }
}

int CompareBytes(const void* a, const void* b, int n)
{
    const char* left = NullGuard(static_cast<const char*>(a), "memcmp p1");
    const char* right = NullGuard(static_cast<const char*>(b), "memcmp p2");
    if (!left || !right || n <= 0)
        return 0;
    return memcmp(left, right, n);
}

// ---------------------------------------------------------------------------------------
// STRING

STRING::STRING() = default;

STRING::STRING(const char* text, int codepage) : CodePage(codepage)
{
    if (text)
        Make(static_cast<int>(strlen(text)), text);
}

STRING::STRING(const char* text, int blocksize, int codepage) : CodePage(codepage)
{
    BlockSize = blocksize;
    Make(text ? static_cast<int>(strlen(text)) : -1, text);
}

STRING::STRING(int value)
{
    BlockSize = 16;
    char digits[16];
    int length = snprintf(digits, sizeof(digits), "%d", value);
    Make(length, digits);
}

STRING::STRING(unsigned long value)
{
    BlockSize = 16;
    char digits[24];
    int length = snprintf(digits, sizeof(digits), "%lu", value);
    Make(length, digits);
}

STRING::STRING(const STRING& other) : BINARY(other), CodePage(other.CodePage) {}

STRING::STRING(STRING&& other) noexcept : BINARY(std::move(other)), CodePage(other.CodePage) {}

STRING::STRING(const BINARY& bytes)
{
    if (bytes.Buffer)
        Make(bytes.StrLen, bytes.Buffer);
}

STRING& STRING::operator=(const STRING& other)
{
    if (this == &other)
        return *this;
    BINARY::operator=(other);
    CodePage = other.CodePage;
    return *this;
}

STRING& STRING::operator=(STRING&& other) noexcept
{
    if (this == &other)
        return *this;
    BINARY::operator=(std::move(other));
    CodePage = other.CodePage;
    return *this;
}

STRING& STRING::operator=(const char* text)
{
    return *this = STRING(text);
}

char& STRING::operator[](int i)
{
    return At(i);
}

char* STRING::Ptr(int i)
{
    thread_local char scratch = 0;
    if (i >= 0 && i <= StrLen && Buffer)
        return Buffer + i;
    if (!Buffer && i == 0) {
        scratch = 0;
        return &scratch; // the terminator of a text without a buffer
    }
    TARVO_CHECK_FORMAT(false, "i>=0 && i<=this->StrLen", "i= %d, len= %d, buf= %s", i, StrLen,
                       Buffer ? Buffer : "<NULL>");
    scratch = 0;
    return &scratch;
}

int STRING::ToInt() const
{
    const char* text = NullGuard(Buffer, "ToInt");
    return text ? atoi(text) : 0;
}

bool STRING::EqualsNoCase(const char* text) const
{
    return CompareNoCase(Buffer, text, true) == 0;
}

bool STRING::Equals(const char* text) const
{
    if (!Buffer || !text)
        return !Buffer && !text;
    return strcmp(Buffer, text) == 0;
}

void STRING::ToUpper()
{
    if (!Buffer) {
        NullGuard(Buffer, "ToUpper");
        return;
    }
    for (char* p = Buffer; *p; p++)
        if (*p >= 'a' && *p <= 'z')
            *p = static_cast<char>(*p - 'a' + 'A');
}

void STRING::ToLower()
{
    if (!Buffer) {
        NullGuard(Buffer, "ToLower");
        return;
    }
    for (char* p = Buffer; *p; p++)
        *p = FoldCase(*p);
}

int STRING::Pos(const char* needle, int start) const
{
    const char* text = NullGuard(Buffer, "Pos Buffer");
    needle = NullGuard(needle, "Pos str");
    if (!text || !needle || !Buffer)
        return -1;
    start = std::max(start, 0);
    if (start >= StrLen)
        return -1;
    const char* found = strstr(Buffer + start, needle);
    return found ? static_cast<int>(found - Buffer) : -1;
}

int STRING::iPos(const char* needle, int start) const
{
    const char* text = NullGuard(Buffer, "iPos Buffer");
    needle = NullGuard(needle, "iPos str");
    if (!text || !needle || !Buffer)
        return -1;
    start = std::max(start, 0);
    if (start >= StrLen)
        return -1;
    int length = static_cast<int>(strlen(needle));
    if (length == 0)
        return start;
    char first = FoldCase(needle[0]);
    for (int i = start; i <= StrLen - length; i++)
        if (FoldCase(Buffer[i]) == first && EqualNoCase(Buffer + i, needle, length))
            return i;
    return -1;
}

bool STRING::Find(const char* needle, int* pos, int start) const
{
    int found = Pos(needle, start);
    if (pos)
        *pos = found;
    return found != -1;
}

bool STRING::iFind(const char* needle, int* pos, int start) const
{
    int found = iPos(needle, start);
    if (pos)
        *pos = found;
    return found != -1;
}

void STRING::Append(const char* text, int n)
{
    text = NullGuard(text, "STRING::Append op1");
    if (!text)
        return;
    if (n == -1)
        n = static_cast<int>(strlen(text));
    BINARY::Append(text, std::max(n, 0));
}

void STRING::Append(const STRING& other)
{
    BINARY::Append(other);
}

void STRING::Append(char c)
{
    BINARY::Append(&c, 1);
}

void STRING::AppendFormat(const char* format, ...)
{
    char area[FORMAT_AREA];
    va_list args;
    va_start(args, format);
    int length = FormatBounded(area, format, args);
    va_end(args);
    BINARY::Append(area, length);
}

void STRING::Format(const char* format, ...)
{
    char area[FORMAT_AREA];
    va_list args;
    va_start(args, format);
    int length = FormatBounded(area, format, args);
    va_end(args);
    Make(length, area);
    CodePage = 1252;
}

void STRING::Insert(const char* text, int pos)
{
    if (text && text == Buffer) {
        TARVO_CHECK(false, "text!=this->Buffer", nullptr);
        return;
    }
    text = NullGuard(text, "Insert");
    if (!text || pos < 0 || pos > StrLen)
        return;
    if (pos == StrLen) {
        Append(text);
        return;
    }
    // A part of this very text is copied before the buffer moves.
    STRING copy;
    if (Buffer && text > Buffer && text < Buffer + BufLen) {
        copy = STRING(text);
        text = copy.Buffer;
    }
    int length = static_cast<int>(strlen(text));
    int oldLength = StrLen;
    Make(oldLength + length);
    memmove(Buffer + pos + length, Buffer + pos, oldLength - pos);
    memcpy(Buffer + pos, text, length);
}

void STRING::Replace(const char* oldtext, const char* newtext, int casesensitive)
{
    if (!oldtext)
        return;
    if (!newtext)
        newtext = "<NULL>";
    if (!*oldtext || strcmp(oldtext, newtext) == 0)
        return;
    int oldLength = static_cast<int>(strlen(oldtext));
    int newLength = static_cast<int>(strlen(newtext));
    // One pass over the original text: the search goes on behind each inserted text, so what
    // was inserted is never searched again.
    int found = casesensitive ? Pos(oldtext, 0) : iPos(oldtext, 0);
    if (found < 0)
        return;
    BINARY result;
    int copied = 0;
    while (found >= 0) {
        result.Append(Buffer + copied, found - copied);
        result.Append(newtext, newLength);
        copied = found + oldLength;
        found = casesensitive ? Pos(oldtext, copied) : iPos(oldtext, copied);
    }
    result.Append(Buffer + copied, StrLen - copied);
    Make(result.StrLen, result.Buffer);
}

void STRING::Trim(char how, const char* chars)
{
    char mode = (how >= 'a' && how <= 'z') ? static_cast<char>(how - 'a' + 'A') : how;
    if (!TARVO_CHECK(mode == 'L' || mode == 'R' || mode == 'B', "how=='L' || how=='R' || how=='B'", nullptr))
        return;
    if (!IsFilled() || !chars)
        return;
    // A zero byte is never in the set, so trimming stops there from either side.
    auto inSet = [&](int i) { return Buffer[i] != 0 && strchr(chars, Buffer[i]) != nullptr; };
    int begin = 0, end = 0;
    textlayer::TrimBounds(StrLen, mode, inSet, begin, end);
    if (begin == 0 && end == StrLen)
        return;
    int length = end - begin;
    memmove(Buffer, Buffer + begin, length);
    memset(Buffer + length, 0, StrLen - length);
    StrLen = length;
}

void STRING::Truncate(int n)
{
    if (!TARVO_CHECK(n >= 0, "newlength>=0", nullptr))
        return;
    if (Buffer && n < StrLen) {
        memset(Buffer + n, 0, StrLen - n);
        StrLen = n;
    }
}

void STRING::DeleteLeft(int n)
{
    if (!TARVO_CHECK(n >= 0, "howmany>=0", nullptr) || n == 0)
        return;
    if (n < StrLen) {
        memmove(Buffer, Buffer + n, StrLen - n);
        memset(Buffer + StrLen - n, 0, n);
        StrLen -= n;
    } else {
        Truncate(0);
    }
}

void STRING::DeleteRight(int n)
{
    if (!TARVO_CHECK(n >= 0, "howmany>=0", nullptr))
        return;
    Truncate(n >= StrLen ? 0 : StrLen - n);
}

void STRING::MakeNotNull()
{
    if (!Buffer)
        Make(0);
}

STRING STRING::Mid(int pos, int n) const
{
    STRING result;
    CopyPart(result, pos, n);
    return result;
}

STRING STRING::Left(int n) const
{
    return Mid(0, n);
}

STRING STRING::Right(int n) const
{
    // A negative n starts past the end (the empty text); computed without Length() - n,
    // which overflows for the most negative numbers.
    int start = n < 0 ? Length() : std::max(Length() - n, 0);
    return Mid(start, n);
}

STRING STRING::Field(int n, const char* delims, int flags) const
{
    STRING result;
    if (Buffer && n >= 0) {
        bool isDelimiter[256] = {};
        for (const char* d = delims ? delims : ""; *d; d++)
            isDelimiter[static_cast<unsigned char>(*d)] = true;
        auto delimiterAt = [&](int i) { return isDelimiter[static_cast<unsigned char>(Buffer[i])]; };
        int start = 0, end = 0;
        if (textlayer::FieldBounds(StrLen, n, (flags & FIELD_REST_MASK) != 0, delimiterAt, start, end))
            result = Mid(start, end - start);
    }
    if (!result.Buffer && (flags & FIELD_NOTNULL))
        result.Make(0);
    return result;
}

STRING operator+(const STRING& a, const char* b)
{
    const char* left = NullGuard(a.Buffer, "STR::op1||");
    const char* right = NullGuard(b, "STR::op2||");
    STRING result;
    ConcatInto(result, left, GuardedLength(a, left), right, right ? static_cast<int>(strlen(right)) : 0);
    return result;
}

STRING operator+(const STRING& a, const STRING& b)
{
    return ConcatBuffers(a, b, "STR::op1||", "STR::op2||");
}

STRING operator+(const char* a, const STRING& b)
{
    const char* left = NullGuard(a, "STR::op1||");
    const char* right = NullGuard(b.Buffer, "STR::op2||");
    STRING result;
    ConcatInto(result, left, left ? static_cast<int>(strlen(left)) : 0, right, GuardedLength(b, right));
    return result;
}
