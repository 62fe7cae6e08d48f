// SAVEFILE - the file that the text layer's saves write through
#pragma once

#include <cstddef>
#include <cstdio>

#include "text/strings.h"
#include "text/textinternal.h"

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
