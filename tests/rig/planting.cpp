#include "planting.h"

namespace rig {

std::string PlantedMarkerOf(const std::string& libraryPath)
{
    return libraryPath + ".loaded";
}

PreferFolderLibrary::PreferFolderLibrary(std::string programName, const std::string& libraryName)
    : key("Software\\Wine\\AppDefaults\\" + std::move(programName))
{
    static const char value[] = "native,builtin";
    HKEY overrides = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, (key + "\\DllOverrides").c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &overrides, nullptr) != ERROR_SUCCESS) {
        return;
    }
    set = RegSetValueExA(overrides, libraryName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                         sizeof value) == ERROR_SUCCESS;
    RegCloseKey(overrides);
}

PreferFolderLibrary::~PreferFolderLibrary()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
}

} // namespace rig
