#include "wine.h"

#include <windows.h>

#include "handles.h"

namespace rig {
namespace {

// The host path of a Windows path, through Wine's own converter; empty when there is none.
std::string HostPathOf(const std::string& windowsPath)
{
    using Converter = char*(CDECL*)(const wchar_t*);
    auto convert = reinterpret_cast<Converter>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert)
        return {};
    std::wstring wide(windowsPath.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    if (n <= 0)
        return {};
    char* host = convert(wide.c_str());
    if (!host)
        return {};
    std::string result(host);
    HeapFree(GetProcessHeap(), 0, host);
    return result;
}

// Wine starts a host program named by its host path like any other; it reports no exit
// code for it, so the caller checks the effect.
bool RunHostProgram(std::string commandLine)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    WaitForSingleObject(processHandle.get(), 10000);
    return true;
}

bool IsFolder(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Polls until the path is a folder (wanted) or is gone; the host program may still run.
bool WaitForFolder(const std::string& path, bool wanted)
{
    for (int i = 0; i < 100; i++) {
        if (IsFolder(path) == wanted)
            return true;
        Sleep(50);
    }
    return false;
}

} // namespace

bool RunningUnderWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

MappedDrive::MappedDrive(const std::string& folder)
{
    if (!RunningUnderWine()) {
        error = "drive letters for every process of the system are Wine's drive table here";
        return;
    }
    // "C:\" is found as <prefix>/dosdevices/c:/, beside which the new letter's link goes.
    std::string table = HostPathOf("C:\\");
    std::string target = HostPathOf(folder);
    const std::string systemDrive = "/c:/";
    if (target.empty() || table.size() < systemDrive.size() ||
        table.compare(table.size() - systemDrive.size(), systemDrive.size(), systemDrive) != 0) {
        error = "no host path for C:\\ (" + table + ") or " + folder + " (" + target + ")";
        return;
    }
    table.resize(table.size() - 3);
    DWORD drives = GetLogicalDrives();
    for (char candidate = 'T'; candidate < 'Z' && !letter; candidate++)
        if (!(drives & (1u << (candidate - 'A'))) && !IsFolder(std::string(1, candidate) + ":\\"))
            letter = candidate;
    if (!letter) {
        error = "no free drive letter from T: to Y:";
        return;
    }
    std::string name = std::string(1, static_cast<char>(letter - 'A' + 'a')) + ":";
    link = table + name;
    valid = RunHostProgram("/bin/ln -s \"" + target + "\" \"" + link + "\"") && WaitForFolder(Root(), true);
    if (!valid)
        error = "the link " + link + " -> " + target + " did not make " + Root() + " a folder";
}

MappedDrive::~MappedDrive()
{
    if (!link.empty() && RunHostProgram("/bin/rm -f \"" + link + "\""))
        WaitForFolder(Root(), false);
}

WineProgramSetting::WineProgramSetting(const std::string& programName, const std::string& subkey,
                                       const std::string& valueName, const std::string& value)
    : programKey("Software\\Wine\\AppDefaults\\" + programName),
      key(subkey.empty() ? programKey : programKey + "\\" + subkey), valueName(valueName)
{
    HKEY settings = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &settings, nullptr) !=
        ERROR_SUCCESS)
        return;
    UniqueRegKey owner(settings);
    valid = RegSetValueExA(settings, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

WineProgramSetting::~WineProgramSetting()
{
    RegDeleteKeyValueA(HKEY_CURRENT_USER, key.c_str(), valueName.c_str());
    // Deleting a key fails while it still holds something: another setting's keys stay.
    if (key != programKey)
        RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, programKey.c_str());
}

} // namespace rig
