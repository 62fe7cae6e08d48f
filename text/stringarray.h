// STRINGARRAY: the list of STRING used for argument lists, file lines and splits of a text;
// WSTRINGARRAY: the same for WSTRING; and the backslash escaping of the key/value file
// format (Escape, Unescape).
#pragma once

#include "text/dynarray.h"
#include "text/strings.h"
#include "text/wstring.h"

class STRINGARRAY : public DYNARRAY<STRING> {
public:
    explicit STRINGARRAY(int initial = 64);
    // One item per field of source between bytes of token: n delimiters give n + 1 items.
    STRINGARRAY(const STRING& source, const char* token, int initial = 64);

    // SORTFLAG_BYVALUE: by decimal value; else SORTFLAG_NOCASE: ignoring case; else exact bytes.
    int Compare(const STRING& a, const STRING& b, int flags) override;

    // First matching position or -1. mode 0: equal ignoring case; 1: the item begins with
    // text; 2: the item contains text (both ignoring case); 3: equal decimal values.
    int IndexOf(const char* text, int mode) const;
    // Every item followed by the separator; trailing separator characters are trimmed.
    STRING Join(const char* separator) const;
    // Lines of a text file, put before the present items in file order; returns the count.
    int Load(const char* path, bool unescape);
    // One line per item; returns the lines written (1 for an empty array), 0 when the file
    // cannot be opened or a write, the flush or the close fails.
    int Save(const char* path, bool escape) const;
};

class WSTRINGARRAY : public DYNARRAY<WSTRING> {
public:
    explicit WSTRINGARRAY(int initial = 64);
    // One item per field of source between characters of token: n delimiters give n + 1 items.
    WSTRINGARRAY(const WSTRING& source, const wchar_t* token, int initial = 64);

    // As STRINGARRAY::Compare, on wide text.
    int Compare(const WSTRING& a, const WSTRING& b, int flags) override;

    // The modes of STRINGARRAY::IndexOf, on wide text.
    int IndexOf(const wchar_t* text, int mode) const;
    // Every item followed by the separator; trailing separator characters are trimmed.
    WSTRING Join(const wchar_t* separator) const;
};

// Backslash escaping of the key/value format: the result holds only bytes 0x20-0x7F and
// never a byte of extra; control bytes, the bytes of extra and bytes above 0x7F are escaped.
STRING Escape(const STRING& text, const char* extra);
// The reverse. An unknown escape is kept as it stands with keepOthers, otherwise it is
// reported and only its second character is kept.
STRING Unescape(const STRING& text, bool keepOthers);
