// Text types of the class library.
//   BINARY - growable byte buffer: Make, growth granules, buffer pool, byte append, encodings
//   STRING - 8-bit, length-counted text with a code-page tag: search, replace, fields, trim,
//            formatting
//   WSTRING - UTF-16 companion of STRING for the wide window functions, and the conversions
//             between the two
#pragma once

#include <concepts>
#include <cstdint>

#if defined(__GNUC__)
#define TARVO_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define TARVO_PRINTF(fmt, args)
#endif

constexpr uint32_t STRINGFLAG_BINARY = 0x01;    // raw bytes; the key/value writer stores them in base64
constexpr uint32_t STRINGFLAG_DYNABLOCK = 0x02; // the growth granule follows the buffer size
constexpr uint32_t STRINGFLAG_WIDE = 0x10;      // UTF-16 content, terminated by two zero bytes

// Code-page markers that are not Windows code page numbers.
constexpr int UNICODE_CPSYSTEM = -2;
constexpr int UNICODE_CPFLAT = -3;
constexpr int UNICODE_CPUTF8 = -4;

constexpr int STRING_DEFAULT_BLOCKSIZE = 96;

// Flags of STRING::Field. Any bit of the low 16 counts as FIELD_REST.
constexpr int FIELD_REST = 0x0001;
constexpr int FIELD_REST_MASK = 0xFFFF;
constexpr int FIELD_NOTNULL = 0x10000;

class STRING;
class WSTRING;

class BINARY {
public:
    char* Buffer = nullptr; // null in the NULL state
    int StrLen = 0;         // bytes in use
    int BufLen = 0;         // bytes allocated
    int BlockSize = STRING_DEFAULT_BLOCKSIZE;
    uint32_t Flags = 0;

    BINARY();
    BINARY(const void* data, int length, int blocksize = STRING_DEFAULT_BLOCKSIZE);
    BINARY(double value, int precision); // "%1.*lf"; precision -1: 4 decimals, trailing zeros cut
    BINARY(const BINARY& other);
    BINARY(BINARY&& other) noexcept;
    BINARY& operator=(const BINARY& other);
    BINARY& operator=(BINARY&& other) noexcept;
    ~BINARY();

    void Free();
    // Sets the length to n (n < 0: only fixes the granule); copies n bytes when data is given,
    // otherwise keeps the content and zero-fills new bytes.
    void Make(int n, const void* data = nullptr);
    void Append(const void* bytes, int n);
    void Append(const BINARY& other);

    int Length() const { return Buffer ? StrLen : 0; }
    bool IsNull() const { return Buffer == nullptr; }
    char& At(int i); // checked byte access; out of range gives a scratch zero byte
    BINARY Mid(int pos, int n = -1) const;

    bool Load(const char* path, const char* mode = "r");
    // True when every byte was written, flushed to the disk and the file closed cleanly.
    bool Save(const char* path, const char* mode = "w") const;

    STRING ToHex() const;
    BINARY FromHex() const;
    STRING ToBase64(bool linebreaks) const;
    STRING FromBase64() const;
    STRING FromQuotedPrintable() const;
    STRING Latin1ToUtf8() const;
    STRING Utf8ToLatin1() const;
};

BINARY operator+(const BINARY& a, const BINARY& b);

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
    void FromWide(const wchar_t* text, int length, int codepage);
};

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

// Releases the pooled 96-byte buffers; called once at program exit.
void StringPoolShutdown();
