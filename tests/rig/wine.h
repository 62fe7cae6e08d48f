// What the rig knows of Wine, for tests that need Wine's own facilities:
//   RunningUnderWine - whether the tests run under Wine rather than on Windows
//   MappedDrive      - a free drive letter naming a folder for every process of the prefix
//   WineProgramSetting - one of Wine's per-program settings, for as long as the object lives
//   WineVersionFor     - the Windows version Wine reports to one program
#pragma once

#include <string>

namespace rig {

// True under Wine: its ntdll exports wine_get_version.
bool RunningUnderWine();

// Maps the first free letter from T: on to an existing folder (Windows path), through a
// link in the prefix's drive table, so that the Service Control Manager's processes see it
// too; the link goes with the object. Wine only: on Windows it stays invalid.
class MappedDrive {
public:
    explicit MappedDrive(const std::string& folder);
    ~MappedDrive();
    MappedDrive(const MappedDrive&) = delete;
    MappedDrive& operator=(const MappedDrive&) = delete;

    bool Valid() const { return valid; }
    std::string Root() const { return std::string(1, letter) + ":\\"; } // "T:\"
    const std::string& Error() const { return error; }                  // why it is not valid

private:
    char letter = 0;
    std::string link; // the link's host path
    bool valid = false;
    std::string error;
};

// Sets a text value among Wine's settings for the programs of one file name (e.g.
// "service.exe"): HKCU\Software\Wine\AppDefaults\<name>[\<subkey>]; removes the value, and
// the keys it leaves empty, at the end.
class WineProgramSetting {
public:
    WineProgramSetting(const std::string& programName, const std::string& subkey, const std::string& valueName,
                       const std::string& value);
    ~WineProgramSetting();
    WineProgramSetting(const WineProgramSetting&) = delete;
    WineProgramSetting& operator=(const WineProgramSetting&) = delete;

    bool Valid() const { return valid; }

private:
    std::string programKey;
    std::string key;
    std::string valueName;
    bool valid = false;
};

// Makes Wine report a Windows version ("win98", "winxp64", "vista", "win7", "win10") to the
// programs of one file name.
class WineVersionFor : public WineProgramSetting {
public:
    WineVersionFor(const std::string& programName, const std::string& version)
        : WineProgramSetting(programName, "", "Version", version)
    {
    }
};

} // namespace rig
