// WSTRING - UTF-16 companion of STRING for the wide window functions, and the conversions
// between the two
#pragma once

#include "text/binary.h"
// The code-page markers the conversions take and the flags of Field.
#include "text/strings.h"

// UTF-16 text held in a BINARY with STRINGFLAG_WIDE; lengths and positions count characters.
// Like STRING it tells the NULL state (no buffer) from the empty text.
class WSTRING {
public:
    WSTRING();
    // length -1: up to the terminating zero.
    WSTRING(const wchar_t* text, int length = -1);
    // Conversions from 8-bit text, one character per byte (UNICODE_CPUTF8: decoded).
    WSTRING(const char* text, int codepage);
    WSTRING(const char* text, int length, int codepage);
    explicit WSTRING(const STRING& text); // with the text's own CodePage
    WSTRING(const WSTRING& other);
    WSTRING(WSTRING&& other) noexcept;
    WSTRING& operator=(const WSTRING& other);
    WSTRING& operator=(WSTRING&& other) noexcept;
    WSTRING& operator=(const wchar_t* text);
    virtual ~WSTRING();

    int Length() const { return Data.Buffer ? Data.StrLen / 2 : 0; }
    bool IsNull() const { return Data.Buffer == nullptr; }
    // The content as wide C text; L"" in the NULL state, so it is always safe to pass on.
    const wchar_t* c_str() const;
    int ToInt() const;

    void Append(const wchar_t* text, int n = -1);
    void Append(const WSTRING& other);
    WSTRING& operator+=(const wchar_t* text)
    {
        Append(text);
        return *this;
    }
    WSTRING& operator+=(const WSTRING& other)
    {
        Append(other);
        return *this;
    }
    // No compile-time check of the arguments: the compiler checks no wide formats.
    void Format(const wchar_t* format, ...);
    // Refuses the text's own buffer; positions outside 0 .. Length() change nothing.
    void Insert(const wchar_t* text, int pos);
    void Trim(char how = 'B', const wchar_t* chars = L" \t\r\n");
    void MakeNotNull();

    int Pos(const wchar_t* needle, int start = 0) const;
    WSTRING Mid(int pos, int n = -1) const;
    // As STRING::Field, on wide delimiter characters.
    WSTRING Field(int n, const wchar_t* delims, int flags = 0) const;

    BINARY Data; // 2 bytes a character, terminated by two zero bytes

private:
    wchar_t* Chars() const { return reinterpret_cast<wchar_t*>(Data.Buffer); }
    void Assign(const wchar_t* text, int length);
};
