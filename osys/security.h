// OSYS::CheckOnlyTrustedWrite: whether anyone but the trusted accounts can change a file or
// folder, or replace it through a folder above it, read from the security descriptors. Whatever
// such a path decides (a configuration, a program, a folder searched for libraries) must not
// steer code that runs with system rights.
#pragma once

#include <windows.h>

#include "text/strings.h"

namespace OSYS {

enum class Writable {
    No,      // only trusted accounts hold a right that counts
    Yes,     // someone else holds one, or nothing guards the path
    Unknown, // a descriptor or the volume could not be read; callers treat it like Yes
};

struct WritableCheck {
    Writable answer = Writable::Unknown;
    STRING reason; // the account and its rights, or why nothing guards the path, or why it could not be told
};

// Rights that let a holder change a file or a folder's content: write or append data (add a
// file or a subfolder), delete, delete a child, write the DACL, take ownership, generic
// write or all.
constexpr DWORD WRITE_LIKE_RIGHTS = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                    WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
// Rights on a folder above a path that let a holder replace the path: delete or rename the
// folder, grant themselves more, or delete (and so rename) a child. Adding entries is not one.
constexpr DWORD REPLACE_RIGHTS = DELETE | WRITE_DAC | WRITE_OWNER | FILE_DELETE_CHILD | GENERIC_ALL;

// Judges the path itself for every write-like right, then each folder above it up to the
// volume's root for the rights that replace it. Trusted are SYSTEM, Administrators,
// TrustedInstaller and installerSid (the account that installed the service, as a SID text;
// null or empty for none); anyone else who owns one of these paths or holds a right that
// counts through an entry that applies to it makes the answer Yes. A path that does not exist
// is judged by its nearest existing folder, where someone would have to create it. A path
// longer than MAX_PATH, one that is not on a local drive, or a descriptor or volume that
// cannot be read answers Unknown. Logs the path and the answer with its reason.
WritableCheck CheckOnlyTrustedWrite(const char* path, const char* installerSid);

// The judgement of one descriptor: volumeFlags as GetVolumeInformation gives them (without
// FILE_PERSISTENT_ACLS nothing guards the path), the owner (may be null: not judged), the DACL
// (null: a NULL DACL, which grants everything to everyone), the installer's SID (may be null)
// and the rights that count. Deny entries are honoured in the order the system honours them;
// entries that only pass to children are not the path's own; an entry of a kind this does not
// read (object, callback, conditional) counts as granting every right.
WritableCheck JudgeSecurity(DWORD volumeFlags, PSID owner, const ACL* dacl, PSID installer = nullptr,
                            DWORD counted = WRITE_LIKE_RIGHTS);

// Test seam: reads a path's owner and DACL into a descriptor allocated with LocalAlloc
// (GetNamedSecurityInfoA by default). Returns the previous reader; null restores the default.
using SecurityReader = DWORD (*)(const char* path, PSID* owner, PACL* dacl, PSECURITY_DESCRIPTOR* descriptor);
SecurityReader SetSecurityReader(SecurityReader reader);

// The SID of the account this process runs as, as text ("" when it cannot be read).
STRING CurrentUserSid();

// True in the service role: this process runs as one of the service accounts (LocalSystem,
// LocalService, NetworkService) or in a window station other than the interactive WinSta0, as
// a process the Service Control Manager started (and what it starts) does. Such a process shows
// nothing to a user and opens nothing for one: there is no user who asked. Read once.
bool InServiceRole();

} // namespace OSYS
