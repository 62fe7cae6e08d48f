#include "osys/ostype.h"

#include "osys/osys_win32.h"

namespace OSYS {

int ClassifyOSVersion(const OSVERSIONINFOA& version)
{
    if (version.dwPlatformId != VER_PLATFORM_WIN32_NT)
        return OSTYPE_WIN9X;
    if (version.dwMajorVersion > 6)
        return OSTYPE_LATER;
    if (version.dwMajorVersion == 6)
        return version.dwMinorVersion == 0 ? OSTYPE_VISTA : version.dwMinorVersion == 1 ? OSTYPE_WIN7 : OSTYPE_LATER;
    if (version.dwMajorVersion != 5)
        return OSTYPE_NT4;
    return version.dwMinorVersion == 0 ? OSTYPE_WIN2000 : version.dwMinorVersion == 1 ? OSTYPE_XP : OSTYPE_2003;
}

int GetOSType()
{
    // A failing call leaves the record cleared: platform 0, the Windows 95/98/ME family.
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    return ClassifyOSVersion(version);
}

STRING GetOSName()
{
    static const char* const names[] = {"Windows 95/98",       "Windows NT4",   "Windows 2000", "Windows XP",
                                        "Windows 2003 family", "Windows Vista", "Windows 7"};
    int type = GetOSType();
    STRING name("");
    if (type >= 0 && type < static_cast<int>(sizeof(names) / sizeof(names[0])))
        name = names[type];
    else
        name.Format("<unknown type %d>", type);
    return name;
}

bool IsWow64()
{
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64Process = GetFunction<IsWow64ProcessFn>(GetModuleHandleA("kernel32"), "IsWow64Process");
    BOOL wow64 = FALSE;
    if (isWow64Process && !isWow64Process(GetCurrentProcess(), &wow64))
        wow64 = FALSE;
    return wow64 != FALSE;
}

} // namespace OSYS
