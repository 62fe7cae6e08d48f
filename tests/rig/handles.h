// The rig's names for the library's handle owners.
#pragma once

#include "osys/handles.h"

namespace rig {

using ::UniqueFileHandle;
using ::UniqueFindHandle;
using ::UniqueHandle;
using ::UniqueLocalMemory;
using ::UniqueRegKey;
using ::UniqueScHandle;

} // namespace rig
