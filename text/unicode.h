// UNICODE: the process-wide converter between 8-bit code pages and UTF-16 - ten built-in code
// page tables, the system code page through the platform, and a streaming UTF-8 decoder.
#pragma once

#include <cstdint>
#include <memory>

#include "text/binary.h"
#include "text/strings.h"
#include "text/wstring.h"

constexpr int UNICODE_PAGES = 10;      // built-in code pages
constexpr int UNICODE_PAGE_ROWS = 256; // one row a byte
constexpr int UNICODE_ROWS = UNICODE_PAGES * UNICODE_PAGE_ROWS;
constexpr int UNICODE_INDEX_MAX = 9728; // the reverse index covers at most U+0000..U+25FF
constexpr int UNICODE_NAME_MAX = 64;
constexpr int UNICODE_ALTNAME_MAX = 16;

// One entry of the code page list.
struct CODEPAGEENTRY {
    char Name[UNICODE_NAME_MAX];
    int CodePage;
    char AltName[UNICODE_ALTNAME_MAX]; // "0" when there is none
    int CharSet;                       // the platform's font character set
    int EntryNumber;
};

// Byte Byte of the page of code page CodePage (0: a row never set) is the UTF-16 value Value.
struct CODEPAGEROW {
    uint8_t Byte;
    uint16_t CodePage;
    uint16_t Value;
};

// What the streaming UTF-8 decoder carries from one piece of text to the next; the zero state
// is the fresh one.
struct UTF8STATE {
    uint16_t Value = 0;    // the character being assembled
    uint8_t Bytes[3] = {}; // the bytes of the current sequence
    int CharCount = 0;     // bytes collected
    int Expected = 0;      // continuation bytes still expected; outside 0..2 the state is reset
};

class UNICODE {
public:
    // The single object, created on first use; safe when several threads get there at once.
    static UNICODE& Instance();
    // Destroys the object at program exit. A later conversion would create it again.
    static void Shutdown();

    UNICODE(const UNICODE&) = delete;
    UNICODE& operator=(const UNICODE&) = delete;

    // One byte to one UTF-16 value: U+0040 for an unlisted code page or a failed system
    // conversion.
    wchar_t ByteToWide(unsigned char byte, int codepage) const;
    // One UTF-16 value to one byte: the table's byte, else an ASCII replacement of a box
    // drawing character, the value itself below 33, the platform's byte, or the low 8 bits.
    unsigned char WideToByte(wchar_t value, int codepage) const;
    // The list position of a code page (850 counts as 1252), or -1.
    int IndexOfCodePage(int codepage) const;
    // The list entry of a code page, or null.
    const CODEPAGEENTRY* CodePageEntry(int codepage) const;

    // Appends UTF-8 text (length -1: the C length) to target. A sequence that the text ends in
    // the middle of stays in state and is completed by the next piece. Broken sequences come
    // out byte by byte as the characters of those byte values.
    void Utf8ToWide(const char* text, int length, WSTRING& target, UTF8STATE& state) const;
    // One UTF-16 value as 1 to 3 bytes of UTF-8; a surrogate is encoded on its own.
    BINARY WideToUtf8(wchar_t value) const;

    // Whole texts, one character a byte: the results of ByteToWide and WideToByte for every
    // character, with the code page resolved once. UNICODE_CPUTF8 is no single-byte code page:
    // it is reported once a character as there.
    void BytesToWide(const char* bytes, int length, int codepage, wchar_t* out) const;
    void WideToBytes(const wchar_t* text, int length, int codepage, char* out) const;
    // Whole text to UTF-8, WideToUtf8 for each character, appended to bytes.
    void WideToUtf8Text(const wchar_t* text, int length, BINARY& bytes) const;

    // The tables, read-only.
    const CODEPAGEROW& Row(int row) const { return Rows[row]; }
    int IndexSize() const { return IndexCount; }
    // The first row whose value is value (0 also when none does), for values below IndexSize.
    int IndexRow(int value) const { return Index[value]; }

private:
    UNICODE();
    ~UNICODE();
    // The page a byte of a code page is read from, -1 when the code page is not listed.
    int PageOf(int codepage) const;
    // The byte of a table page for value, -1 when the page has none.
    int TableByte(wchar_t value, int codepage) const;
    unsigned char FallbackByte(wchar_t value, int codepage) const;

    CODEPAGEROW Rows[UNICODE_ROWS];
    CODEPAGEENTRY CodePages[UNICODE_PAGES];
    int PageCount = 0;
    std::unique_ptr<uint16_t[]> Index;
    int IndexCount = 0;
    // Derived once from the rows for the whole-text loops: every byte of every page as UTF-16,
    // the system code page's bytes, and each page's (value, byte) pairs sorted for the way back.
    wchar_t PageChars[UNICODE_PAGES][UNICODE_PAGE_ROWS];
    wchar_t SystemChars[UNICODE_PAGE_ROWS];
    uint32_t SortedValues[UNICODE_PAGES][UNICODE_PAGE_ROWS]; // value << 8 | byte
};
