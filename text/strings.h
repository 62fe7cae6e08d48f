// STRING - 8-bit, length-counted text with a code-page tag: search, replace, fields, trim,
// formatting; and the library's text comparisons and null guard
#pragma once

#include <concepts>

#include "text/binary.h"

#if defined(__GNUC__)
#define TARVO_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define TARVO_PRINTF(fmt, args)
#endif

// Code-page markers that are not Windows code page numbers.
constexpr int UNICODE_CPSYSTEM = -2;
constexpr int UNICODE_CPFLAT = -3;
constexpr int UNICODE_CPUTF8 = -4;

// Flags of STRING::Field. Any bit of the low 16 counts as FIELD_REST.
constexpr int FIELD_REST = 0x0001;
constexpr int FIELD_REST_MASK = 0xFFFF;
constexpr int FIELD_NOTNULL = 0x10000;

class WSTRING;

class STRING : public BINARY {
public:
    int CodePage = 1252;

    STRING();
    STRING(const char* text, int codepage = 1252);
    STRING(const char* text, int blocksize, int codepage);
    explicit STRING(int value);
    explicit STRING(unsigned long value);
    STRING(const STRING& other);
    STRING(STRING&& other) noexcept;
    explicit STRING(const BINARY& bytes);
    // Conversions from UTF-16, one byte per character (UNICODE_CPUTF8: each character on its own
    // as UTF-8); length -1: up to the terminating zero.
    // Templates so that a null literal still picks the 8-bit constructors.
    template <std::same_as<wchar_t> Wide>
    STRING(const Wide* text, int codepage)
    {
        FromWide(text, -1, codepage);
    }
    template <std::same_as<wchar_t> Wide>
    STRING(const Wide* text, int length, int codepage)
    {
        FromWide(text, length, codepage);
    }
    STRING(const WSTRING& text, int codepage);
    STRING& operator=(const STRING& other);
    STRING& operator=(STRING&& other) noexcept;
    STRING& operator=(const char* text);

    // The content as C text; "" in the NULL state, so it is always safe to pass on.
    const char* c_str() const { return Buffer ? Buffer : ""; }
    bool IsFilled() const { return Buffer && StrLen > 0; }
    char& operator[](int i); // 0 <= i < StrLen, checked
    char* Ptr(int i);        // 0 <= i <= StrLen (the terminator may be addressed), checked
    int ToInt() const;
    bool EqualsNoCase(const char* text) const;
    bool NotEqualsNoCase(const char* text) const { return !EqualsNoCase(text); }
    bool Equals(const char* text) const; // exact byte compare up to the first zero byte
    void ToUpper();
    void ToLower();

    int Pos(const char* needle, int start = 0) const;
    int iPos(const char* needle, int start = 0) const;
    bool Find(const char* needle, int* pos = nullptr, int start = 0) const;
    bool iFind(const char* needle, int* pos = nullptr, int start = 0) const;

    void Append(const char* text, int n = -1);
    void Append(const STRING& other);
    void Append(char c);
    STRING& operator+=(const char* text)
    {
        Append(text);
        return *this;
    }
    STRING& operator+=(const STRING& other)
    {
        Append(other);
        return *this;
    }
    STRING& operator+=(char c)
    {
        Append(c);
        return *this;
    }
    void AppendFormat(const char* format, ...) TARVO_PRINTF(2, 3);
    void Format(const char* format, ...) TARVO_PRINTF(2, 3);
    void Insert(const char* text, int pos);
    void Replace(const char* oldtext, const char* newtext, int casesensitive = 1);
    void Trim(char how = 'B', const char* chars = " \t\r\n");
    void Truncate(int n);
    void DeleteLeft(int n);
    void DeleteRight(int n);
    void MakeNotNull();

    STRING Mid(int pos, int n = -1) const;
    STRING Left(int n) const;
    STRING Right(int n) const;
    // The n-th field between delimiter characters; FIELD_REST: up to the end of the text;
    // FIELD_NOTNULL: a missing field gives the empty text instead of NULL.
    STRING Field(int n, const char* delims, int flags = 0) const;

private:
    // In wstring.cpp, with the other conversions between the two.
    void FromWide(const wchar_t* text, int length, int codepage);
};

STRING operator+(const STRING& a, const char* b);
STRING operator+(const STRING& a, const STRING& b);
STRING operator+(const char* a, const STRING& b);

// Library comparisons (ASCII letters folded, then byte order).
int CompareNoCase(const char* a, const char* b, bool nulltolerant);
// Whether text begins (ends) with the part, ASCII letters folded; false when either is null.
bool StartsWithNoCase(const char* text, const char* prefix);
bool EndsWithNoCase(const char* text, const char* ending);
int CompareBytes(const void* a, const void* b, int n);

// Substitute for a missing operand: "<NULL>" unless DOREREDERAZUVAZ says otherwise.
const char* NullGuard(const char* p, const char* context);
// The same for wide text, with L"<NULL>".
const wchar_t* NullGuardWide(const wchar_t* p, const char* context);
