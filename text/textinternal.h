// Internal helpers of the text layer: ASCII case folding, hexadecimal digits, buffer sizes,
// comparison signs, and the owners of the files that loads and saves open.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdio>
#include <memory>

#include "text/strings.h"

struct FILECLOSER {
    void operator()(FILE* file) const { fclose(file); }
};
// An open stdio file, closed when its owner goes.
using UNIQUEFILE = std::unique_ptr<FILE, FILECLOSER>;

// A file opened for saving. Remembers the first step that failed, so that a save is reported
// as done only when every byte was written and the file was flushed and closed cleanly.
class SAVEFILE {
public:
    // Opens through the file layer's shared open; test the result with operator bool.
    SAVEFILE(const char* path, const char* mode);

    explicit operator bool() const { return file != nullptr; }
    // The stream while it is open, for the log.
    FILE* get() const { return file.get(); }
    // Writes n bytes unless an earlier step failed.
    void Write(const void* bytes, size_t n);
    // Flushes, with commit forces the data to the disk, and closes; true when no step failed.
    bool Close(bool commit);
    // Bytes the stream took.
    size_t Written() const { return written; }
    // The step that failed and the system's error text ("" while none failed).
    const STRING& Failure() const { return failure; }

private:
    void Fail(const char* step);

    UNIQUEFILE file;
    size_t written = 0;
    STRING failure{""};
};

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
