// Helper of the osys tests: QueryRaw, a registry value as the system's own calls read it.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

struct RawValue {
    LONG rc = ERROR_FILE_NOT_FOUND;
    DWORD type = 0;
    std::string bytes;
    DWORD wideSize = 0; // the size the system stores, in UTF-16 for texts
};

// A value as the system's own calls read it.
inline RawValue QueryRaw(HKEY root, const std::string& path, const char* value)
{
    RawValue raw;
    HKEY key = nullptr;
    if ((raw.rc = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key)) != ERROR_SUCCESS)
        return raw;
    DWORD size = 0;
    raw.rc = RegQueryValueExA(key, value, nullptr, &raw.type, nullptr, &size);
    raw.bytes.resize(size);
    if (raw.rc == ERROR_SUCCESS)
        raw.rc = RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(raw.bytes.data()), &size);
    raw.bytes.resize(size);
    std::wstring name(value, value + strlen(value));
    RegQueryValueExW(key, name.c_str(), nullptr, nullptr, nullptr, &raw.wideSize);
    RegCloseKey(key);
    return raw;
}
