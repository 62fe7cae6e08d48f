#include "osys/registry.h"

#include <shlwapi.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "diag/assert.h"
#include "diag/logit.h"

namespace {

// The first attempt of a text read; longer values are read again with the size they report.
constexpr DWORD READ_TEXT_FIRST = 2048;

const char* Shown(const char* text)
{
    return text ? text : "<NULL>";
}

HKEY RootForUser(int user)
{
    if (user == REGISTRY::LOCAL_MACHINE)
        return HKEY_LOCAL_MACHINE;
    if (user == REGISTRY::CURRENT_USER)
        return HKEY_CURRENT_USER;
    // The predefined roots are 32-bit values that a 64-bit handle holds sign-extended.
    return reinterpret_cast<HKEY>(static_cast<intptr_t>(user));
}

} // namespace

REGISTRY::REGISTRY(const char* app, const char* basekey, int user)
{
    TARVO_CHECK(app == nullptr || app[0] != '<', "app[0]!='<'", app);
    if (!Open(RootForUser(user), basekey, app, OPEN_CREATE))
        LogPrint("REGISTRY::Constructor failed for app=%s, basekey=%s, user=%d\n", Shown(app), Shown(basekey), user);
}

REGISTRY::REGISTRY(HKEY rootKey, const char* basekey, const char* app, int mode)
{
    Open(rootKey, basekey, app, mode);
}

STRING REGISTRY::ComposePath(const char* basekey, const char* app)
{
    STRING composed(basekey ? basekey : "");
    composed.MakeNotNull();
    if (app) {
        if (composed.Length() == 0 || composed[composed.Length() - 1] != '\\')
            composed.Append('\\');
        while (*app == '\\')
            ++app;
        composed.Append(app);
        composed.Trim('R', "\\");
    }
    return composed;
}

bool REGISTRY::KeyExists(HKEY rootKey, const char* basekey, const char* app, int mode)
{
    STRING composed = ComposePath(basekey, app);
    HKEY opened = nullptr;
    REGSAM access = mode == OPEN_READ ? KEY_READ : KEY_WRITE;
    LONG rc = RegOpenKeyExA(rootKey, composed.c_str(), 0, access, &opened);
    UniqueRegKey probe(rc == ERROR_SUCCESS ? opened : nullptr);
    return static_cast<bool>(probe);
}

bool REGISTRY::Open(HKEY rootKey, const char* basekey, const char* app, int mode)
{
    STRING composed = ComposePath(basekey, app);
    HKEY opened = nullptr;
    LONG rc;
    switch (mode) {
    case OPEN_READ:
        rc = RegOpenKeyExA(rootKey, composed.c_str(), 0, KEY_READ, &opened);
        break;
    case OPEN_WRITE:
        rc = RegOpenKeyExA(rootKey, composed.c_str(), 0, KEY_WRITE, &opened);
        break;
    case OPEN_CREATE:
        rc = RegCreateKeyA(rootKey, composed.c_str(), &opened);
        break;
    default:
        TARVO_CHECK(false, "FALSE", nullptr);
        return false;
    }
    if (rc != ERROR_SUCCESS)
        return false;
    key.reset(opened);
    root = rootKey;
    path = composed;
    return true;
}

int REGISTRY::WriteString(const char* value, const char* text)
{
    if (!TARVO_ASSERT(text != nullptr))
        return 0;
    // Stored without the terminating zero; the readers accept both forms. The system counts a
    // zero byte that directly follows the characters into the value, so they are passed from a
    // copy that ends in another byte.
    size_t length = strlen(text);
    std::vector<char> characters(text, text + length);
    characters.push_back('.');
    LONG rc = key ? RegSetValueExA(key.get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(characters.data()),
                                   static_cast<DWORD>(length))
                  : ERROR_INVALID_HANDLE;
    LogPrintLevel(LOGLEVEL_PARSE, "REGISTRY::Write String value= %s; data=%s, error=%08x\n", Shown(value), text,
                  static_cast<unsigned>(rc));
    return rc == ERROR_SUCCESS;
}

int REGISTRY::WriteBinary(const char* value, const void* bytes, DWORD count)
{
    LONG rc = key ? RegSetValueExA(key.get(), value, 0, REG_BINARY, static_cast<const BYTE*>(bytes), count)
                  : ERROR_INVALID_HANDLE;
    LogPrintLevel(LOGLEVEL_PARSE, "REGISTRY::Write binary value= %s, error=%08x\n", Shown(value),
                  static_cast<unsigned>(rc));
    return rc == ERROR_SUCCESS;
}

int REGISTRY::WriteDWORD(const char* value, DWORD number)
{
    LONG rc =
        key ? RegSetValueExA(key.get(), value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number))
            : ERROR_INVALID_HANDLE;
    LogPrintLevel(LOGLEVEL_PARSE, "REGISTRY::Write DWORD value= %s; data=%ld, error=%08x\n", Shown(value),
                  static_cast<long>(number), static_cast<unsigned>(rc));
    return rc == ERROR_SUCCESS;
}

int REGISTRY::Read(const char* value, void* buffer, DWORD* size, DWORD* type)
{
    if (!TARVO_ASSERT(size != nullptr))
        return 0;
    DWORD capacity = *size;
    *size = 0;
    DWORD count = capacity;
    LONG rc = key ? RegQueryValueExA(key.get(), value, nullptr, type, static_cast<BYTE*>(buffer), &count)
                  : ERROR_INVALID_HANDLE;
    bool ok = rc == ERROR_SUCCESS;
    if (ok) {
        // A REG_SZ stored without its zero byte still reads as proper text.
        if (buffer && count < capacity)
            static_cast<BYTE*>(buffer)[count] = 0;
        *size = count;
    }
    LogPrintLevel(LOGLEVEL_PARSE, "REGISTRY::Read key=%s, ok=%d, error=%d\n", Shown(value), ok, static_cast<int>(rc));
    return ok;
}

int REGISTRY::ReadDWORD(const char* value, DWORD* number)
{
    DWORD read = 0;
    DWORD size = sizeof(read);
    if (!Read(value, &read, &size) || size != sizeof(read))
        return 0;
    *number = read;
    return 1;
}

int REGISTRY::ReadString(const char* value, STRING& text)
{
    std::vector<BYTE> data(READ_TEXT_FIRST);
    DWORD count = 0;
    DWORD type = 0;
    LONG rc;
    do {
        count = static_cast<DWORD>(data.size());
        rc = key ? RegQueryValueExA(key.get(), value, nullptr, &type, data.data(), &count) : ERROR_INVALID_HANDLE;
        // The value may grow between the two queries: ask again with the size it reports.
        if (rc == ERROR_MORE_DATA)
            data.resize(count);
    } while (rc == ERROR_MORE_DATA);
    bool ok = rc == ERROR_SUCCESS;
    if (ok) {
        // A text's terminators go, but a text of one zero byte stays that byte.
        if (type == REG_SZ)
            while (count > 1 && data[count - 1] == 0)
                --count;
        text.Make(static_cast<int>(count), data.data());
    }
    LogPrintLevel(LOGLEVEL_PARSE, "REGISTRY::Read key=%s, ok=%d, error=%d\n", Shown(value), ok, static_cast<int>(rc));
    return ok;
}

int REGISTRY::DeleteValue(const char* value)
{
    LONG rc = key ? RegDeleteValueA(key.get(), value) : ERROR_INVALID_HANDLE;
    LogPrintLevel(LOGLEVEL_PARSE, "REGISTRY::delete value= %s, error=%d\n", Shown(value), static_cast<int>(rc));
    return rc == ERROR_SUCCESS;
}

int REGISTRY::DeleteKey(const char* subkey, bool wholeTree)
{
    LONG rc = ERROR_INVALID_HANDLE;
    if (key)
        rc = wholeTree ? static_cast<LONG>(SHDeleteKeyA(key.get(), subkey)) : RegDeleteKeyA(key.get(), subkey);
    LogPrintLevel(LOGLEVEL_PARSE, "REGISTRY::delete key= %s, error=%d\n", Shown(subkey), static_cast<int>(rc));
    return rc == ERROR_SUCCESS;
}

int REGISTRY::GetValueNames(STRINGARRAY& names)
{
    names.DeleteAll();
    if (!key)
        return 0;
    char name[VALUE_NAME_MAX + 1];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof(name);
        if (RegEnumValueA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.Add(STRING(name));
    }
    return names.ItemCount;
}

int REGISTRY::CopyValues(REGISTRY& destination, bool overwrite)
{
    if (!key || !destination.key)
        return 0;
    // Through the wide calls: the bytes are copied as stored, so texts outside the system
    // code page survive the copy.
    wchar_t name[VALUE_NAME_MAX + 1];
    // Two bytes of room beyond the data for a guard (see the write below).
    std::vector<BYTE> data(COPY_VALUE_MAX + 2);
    for (DWORD index = 0;; ++index) {
        DWORD length = VALUE_NAME_MAX + 1;
        if (RegEnumValueW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        DWORD existing = 0;
        if (!overwrite &&
            RegQueryValueExW(destination.key.get(), name, nullptr, nullptr, nullptr, &existing) == ERROR_SUCCESS &&
            existing > 0)
            continue;
        DWORD type = 0;
        DWORD count = COPY_VALUE_MAX;
        if (RegQueryValueExW(key.get(), name, nullptr, &type, data.data(), &count) != ERROR_SUCCESS)
            continue;
        // The system would count a zero character right after a text into the value: a text
        // stored without its terminator keeps that form in the copy.
        data[count] = data[count + 1] = 0xFF;
        if (RegSetValueExW(destination.key.get(), name, 0, type, data.data(), count) != ERROR_SUCCESS)
            return 0;
    }
    return 1;
}

int REGISTRY::CopyValuesTo(HKEY rootKey, const char* destinationPath, bool overwrite)
{
    REGISTRY destination(rootKey, destinationPath, nullptr, OPEN_CREATE);
    return CopyValues(destination, overwrite);
}
