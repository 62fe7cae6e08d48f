#include "planting.h"

namespace rig {

std::string PlantedMarkerOf(const std::string& libraryPath)
{
    return libraryPath + ".loaded";
}

} // namespace rig
