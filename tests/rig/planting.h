// Planting a library where a program would find it by its bare name: a library that leaves a
// marker file beside itself when it is loaded, and the Wine setting that makes one program
// prefer such a library in its folder over Wine's own, as Windows does for any library that
// is not one of its known system libraries.
#pragma once

#include <string>

#include "wine.h"

namespace rig {

// The marker the planted library leaves beside itself when loaded: its own path + ".loaded".
std::string PlantedMarkerOf(const std::string& libraryPath);

// While it lives, Wine loads the library found in the program's folder before its own copy
// (the program's DllOverrides setting). Windows ignores the setting.
class PreferFolderLibrary : public WineProgramSetting {
public:
    PreferFolderLibrary(const std::string& programName, const std::string& libraryName)
        : WineProgramSetting(programName, "DllOverrides", libraryName, "native,builtin")
    {
    }
};

} // namespace rig
