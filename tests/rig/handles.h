// The rig's names for the library's handle owners.
#pragma once

#include "osys/handles.h"

namespace rig {

using ::UniqueFileHandle;
using ::UniqueFindHandle;
using ::UniqueHandle;
using ::UniqueLocalMemory;
using ::UniqueScHandle;

struct HkeyTraits {
    using Handle = HKEY;
    static Handle Empty() { return nullptr; }
    static void Close(Handle handle) { RegCloseKey(handle); }
};
// An open registry key, null when empty.
using UniqueHkey = UniqueResource<HkeyTraits>;

} // namespace rig
