// Internal helpers of the text layer: ASCII case folding, hexadecimal digits, buffer sizes,
// the parts and joins that the text types share, comparison signs, and the owner of an open
// file (saves go through SAVEFILE).
#pragma once

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

#include "text/binary.h"
#include "text/strings.h"

struct FILECLOSER {
    void operator()(FILE* file) const { fclose(file); }
};
// An open stdio file, closed when its owner goes.
using UNIQUEFILE = std::unique_ptr<FILE, FILECLOSER>;

namespace textlayer {

// Without memory no text operation can go on; the report is the record of why the program
// ends here.
[[noreturn]] void OutOfMemory(long long size);

// A buffer size in bytes that must fit the library's int sizes; ends the program otherwise.
inline int CheckedSize(long long size)
{
    if (size > INT_MAX)
        OutOfMemory(size);
    return static_cast<int>(size);
}

// Case-insensitive comparison throughout the library folds only A-Z (the C locale).
inline char FoldCase(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline wchar_t FoldCase(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// The bounds [start, end) of the n-th field of a text of length characters, where
// delimiterAt(i) tells whether character i separates fields; with rest the field runs to the
// end of the text. False when the text has fewer fields.
template <class DelimiterAt>
bool FieldBounds(int length, int n, bool rest, DelimiterAt delimiterAt, int& start, int& end)
{
    auto next = [&](int from) {
        while (from < length && !delimiterAt(from))
            from++;
        return from;
    };
    start = 0;
    for (int skipped = 0; skipped < n; skipped++) {
        int delimiter = next(start);
        if (delimiter >= length)
            return false;
        start = delimiter + 1;
    }
    end = rest ? length : next(start);
    return true;
}

// The bounds [begin, end) of a text of length characters once the characters for which
// inSet(i) holds are trimmed: from the left with mode 'L', the right with 'R', both with 'B'.
template <class InSet>
void TrimBounds(int length, char mode, InSet inSet, int& begin, int& end)
{
    begin = 0;
    end = length;
    if (mode == 'L' || mode == 'B')
        while (begin < end && inSet(begin))
            begin++;
    if (mode == 'R' || mode == 'B')
        while (end > begin && inSet(end - 1))
            end--;
}

// Clips a part [pos, pos + n) to the text; n = -1 or beyond the end means up to the end.
inline int PartLength(int length, int pos, int n)
{
    if (pos >= length)
        return 0;
    if (n == -1 || n > length - pos)
        return length - pos;
    return std::max(n, 0);
}

inline void ConcatInto(BINARY& result, const char* left, int leftLength, const char* right, int rightLength)
{
    result.Make(leftLength + rightLength);
    if (leftLength > 0)
        memcpy(result.Buffer, left, leftLength);
    if (rightLength > 0)
        memcpy(result.Buffer + leftLength, right, rightLength);
}

// Length of an operand after the null guard: the counted length of a present buffer,
// the C length of a substitute, 0 when the guard handed back nothing.
inline int GuardedLength(const BINARY& operand, const char* guarded)
{
    if (operand.Buffer)
        return operand.StrLen;
    return guarded ? static_cast<int>(strlen(guarded)) : 0;
}

// a + b for two buffers of one type (BINARY or STRING); a NULL operand goes through the null
// guard, reported with its check text.
template <class T>
T ConcatBuffers(const T& a, const T& b, const char* leftCheck, const char* rightCheck)
{
    const char* left = NullGuard(a.Buffer, leftCheck);
    const char* right = NullGuard(b.Buffer, rightCheck);
    T result;
    ConcatInto(result, left, GuardedLength(a, left), right, GuardedLength(b, right));
    return result;
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
