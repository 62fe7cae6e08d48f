// BINARY - growable byte buffer under STRING and WSTRING: Make, growth granules (small buffers
// from the pool of text/stringpool.h), byte append, whole-file load and save, encodings
#pragma once

#include <cstdint>

constexpr uint32_t STRINGFLAG_BINARY = 0x01;    // raw bytes; the key/value writer stores them in base64
constexpr uint32_t STRINGFLAG_DYNABLOCK = 0x02; // the growth granule follows the buffer size
constexpr uint32_t STRINGFLAG_WIDE = 0x10;      // UTF-16 content, terminated by two zero bytes

constexpr int STRING_DEFAULT_BLOCKSIZE = 96;

class STRING;

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

protected:
    // Mid's copy into result, for BINARY and STRING alike: a negative pos is reported and gives
    // an empty result.
    void CopyPart(BINARY& result, int pos, int n) const;
};

BINARY operator+(const BINARY& a, const BINARY& b);
