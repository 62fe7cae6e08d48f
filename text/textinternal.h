// Internal helpers of the text layer: ASCII case folding, hexadecimal digits and comparison signs.
#pragma once

namespace textlayer {

// Case-insensitive comparison throughout the library folds only A-Z (the C locale).
inline char FoldCase(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when text begins with prefix, ignoring case.
inline bool BeginsNoCase(const char* text, const char* prefix)
{
    for (; *prefix; text++, prefix++)
        if (!*text || FoldCase(*text) != FoldCase(*prefix))
            return false;
    return true;
}

// The value of a hexadecimal digit of either case; -1 for any other byte.
inline int HexDigit(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The sign of a difference taken wide, so that it cannot overflow: -1, 0 or 1.
inline int Sign(long long value)
{
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

} // namespace textlayer
