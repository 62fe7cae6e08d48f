// REGISTRY: one open registry key, composed from a root, a base key and an application name,
// with typed value reads and writes.
#pragma once

#include <windows.h>

#include "osys/handles.h"
#include "text/stringarray.h"
#include "text/strings.h"

class REGISTRY {
public:
    // Open modes.
    static constexpr int OPEN_READ = 256;   // an existing key, for reading
    static constexpr int OPEN_WRITE = 257;  // an existing key, for writing
    static constexpr int OPEN_CREATE = 258; // the key, created with its missing parents when absent

    // Values of user in the first constructor that name a root; any other value is a
    // predefined root key itself (0x80000001 is HKEY_CURRENT_USER).
    static constexpr int LOCAL_MACHINE = 0;
    static constexpr int CURRENT_USER = 1;

    // Opens basekey\app under the root chosen by user, creating it when absent.
    REGISTRY(const char* app, const char* basekey, int user);
    // Opens basekey\app under root in one of the open modes; on failure the key stays null.
    REGISTRY(HKEY root, const char* basekey, const char* app, int mode);

    // The key path below the root: basekey, a '\', app without its leading '\' characters,
    // trailing '\' characters removed. Without app, basekey unchanged.
    static STRING ComposePath(const char* basekey, const char* app);
    // Whether the composed key exists and opens for reading (mode OPEN_READ) or writing.
    static bool KeyExists(HKEY root, const char* basekey, const char* app, int mode);

    explicit operator bool() const { return static_cast<bool>(key); }
    HKEY Key() const { return key.get(); }
    HKEY Root() const { return root; }
    const STRING& Path() const { return path; }

    // The writes return 1 on success, 0 on failure. A string is stored as REG_SZ without its
    // terminating zero byte, a number as a 4-byte REG_DWORD.
    int WriteString(const char* value, const char* text);
    int WriteBinary(const char* value, const void* bytes, DWORD count);
    int WriteDWORD(const char* value, DWORD number);

    // Reads a value into buffer, whose capacity *size gives. Returns 1 and sets *size to the
    // byte count; a zero byte follows the data when there is room. On failure returns 0 with
    // *size 0. A null buffer asks only for the size; type (when given) receives the value's type.
    int Read(const char* value, void* buffer, DWORD* size, DWORD* type = nullptr);
    // Succeeds only for a value of exactly 4 bytes; number is left unchanged otherwise.
    int ReadDWORD(const char* value, DWORD* number);
    // Reads a value of any length and type into text (a REG_SZ without its trailing zero
    // bytes, keeping at least one byte); text is left unchanged on failure.
    int ReadString(const char* value, STRING& text);

    int DeleteValue(const char* value);
    // Deletes a subkey: with wholeTree everything below it as well, otherwise only an empty one.
    int DeleteKey(const char* subkey, bool wholeTree);

    // Replaces names by the names of the key's values in index order; returns their count.
    int GetValueNames(STRINGARRAY& names);
    // Copies every value (up to COPY_VALUE_MAX bytes) with its type to destination; without
    // overwrite a value the destination already has (with a size above 0) is kept. Returns 0
    // when a write failed, which ends the copy.
    int CopyValues(REGISTRY& destination, bool overwrite);
    // The same into root\path, created when absent.
    int CopyValuesTo(HKEY root, const char* path, bool overwrite);

    static constexpr DWORD COPY_VALUE_MAX = 65536;
    // Longer value names end the enumeration.
    static constexpr DWORD VALUE_NAME_MAX = 511;

private:
    bool Open(HKEY rootKey, const char* basekey, const char* app, int mode);

    UniqueRegKey key;
    HKEY root = nullptr;
    STRING path;
};
