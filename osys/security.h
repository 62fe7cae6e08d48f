// OSYS::CheckWritableByEveryone: whether users other than the owner and the administrators
// can change a file or folder, read from its security descriptor. Whatever such a path
// decides (a configuration, a program, a folder searched for libraries) must not steer code
// that runs with system rights.
#pragma once

#include <windows.h>

#include "text/strings.h"

namespace OSYS {

enum class Writable {
    No,      // no write-like right for any of the broad groups
    Yes,     // a broad group may change it, or nothing guards it
    Unknown, // the descriptor or the volume could not be read; callers treat it like Yes
};

struct WritableCheck {
    Writable answer = Writable::Unknown;
    STRING reason; // the group and its rights, or why nothing guards the path, or why it could not be told
};

// Rights that let a holder change a file or a folder's content: write or append data (add a
// file or a subfolder), delete, delete a child, write the DACL, take ownership, generic
// write or all.
constexpr DWORD WRITE_LIKE_RIGHTS = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                    WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// Asks the path's security descriptor whether Everyone, Authenticated Users, Users or
// Interactive may change it. A path that does not exist is judged by its nearest existing
// folder, where someone would have to create it. A path longer than MAX_PATH, one that is not
// on a local drive, or a descriptor or volume that cannot be read answers Unknown. Logs the
// path and the answer with its reason.
WritableCheck CheckWritableByEveryone(const char* path);

// The judgement itself, for a descriptor already read: volumeFlags as GetVolumeInformation
// gives them (without FILE_PERSISTENT_ACLS nothing guards the path), the owner (may be null)
// and the DACL (null: a NULL DACL, which grants everything to everyone). Deny entries are
// honoured in the order the system honours them; entries that only pass to children are not
// the path's own.
WritableCheck JudgeSecurity(DWORD volumeFlags, PSID owner, const ACL* dacl);

} // namespace OSYS
