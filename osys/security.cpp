#include "osys/security.h"

#include <aclapi.h>

#include <cctype>
#include <cstring>

#include "diag/logit.h"
#include "osys/handles.h"
#include "osys/osys_win32.h"

namespace {

// Every user of the machine is in Everyone; the other three hold (nearly) every user too.
struct BroadGroup {
    WELL_KNOWN_SID_TYPE type;
    const char* name;
};
const BroadGroup BROAD_GROUPS[] = {
    {WinWorldSid, "Everyone"},
    {WinAuthenticatedUserSid, "Authenticated Users"},
    {WinBuiltinUsersSid, "Users"},
    {WinInteractiveSid, "Interactive"},
};
constexpr int GROUP_COUNT = sizeof(BROAD_GROUPS) / sizeof(BROAD_GROUPS[0]);
constexpr int EVERYONE = 0;

struct RightName {
    DWORD right;
    const char* name;
};
const RightName RIGHT_NAMES[] = {
    {FILE_WRITE_DATA, "write data (add a file)"},
    {FILE_APPEND_DATA, "append data (add a subfolder)"},
    {FILE_DELETE_CHILD, "delete a child"},
    {DELETE, "delete"},
    {WRITE_DAC, "write the DACL"},
    {WRITE_OWNER, "take ownership"},
    {GENERIC_WRITE, "generic write"},
    {GENERIC_ALL, "generic all"},
};

constexpr DWORD GENERIC_WRITE_RIGHTS = GENERIC_WRITE | GENERIC_ALL;

// The specific write-like rights of a mask, its generic rights mapped as the file system maps them.
DWORD SpecificWriteRights(DWORD mask)
{
    if (mask & GENERIC_ALL)
        mask |= FILE_ALL_ACCESS;
    if (mask & GENERIC_WRITE)
        mask |= FILE_GENERIC_WRITE;
    return mask & OSYS::WRITE_LIKE_RIGHTS & ~GENERIC_WRITE_RIGHTS;
}

STRING RightNames(DWORD mask)
{
    STRING names("");
    for (const RightName& right : RIGHT_NAMES) {
        if (!(mask & right.right))
            continue;
        if (names.Length() > 0)
            names.Append(", ");
        names.Append(right.name);
    }
    return names;
}

// The four groups' SIDs, made once per judgement (CreateWellKnownSid needs no lookup).
class BroadGroupSids {
public:
    BroadGroupSids()
    {
        for (int i = 0; i < GROUP_COUNT; i++) {
            DWORD size = sizeof(sids[i]);
            made[i] = CreateWellKnownSid(BROAD_GROUPS[i].type, nullptr, sids[i], &size) != FALSE;
        }
    }

    // The group's index, -1 for any other SID.
    int Find(PSID sid) const
    {
        for (int i = 0; i < GROUP_COUNT; i++)
            if (made[i] && sid && IsValidSid(sid) && EqualSid(sid, const_cast<BYTE*>(sids[i])))
                return i;
        return -1;
    }

private:
    BYTE sids[GROUP_COUNT][SECURITY_MAX_SID_SIZE] = {};
    bool made[GROUP_COUNT] = {};
};

OSYS::WritableCheck Answer(OSYS::Writable answer, const STRING& reason)
{
    OSYS::WritableCheck check;
    check.answer = answer;
    check.reason = reason;
    return check;
}

OSYS::WritableCheck Unknown(const char* format, const char* detail, DWORD error)
{
    STRING reason;
    reason.Format(format, detail, static_cast<unsigned long>(error), OSYS::GetErrorText(static_cast<int>(error)).c_str());
    return Answer(OSYS::Writable::Unknown, reason);
}

const char* AnswerText(OSYS::Writable answer)
{
    switch (answer) {
    case OSYS::Writable::No:
        return "no";
    case OSYS::Writable::Yes:
        return "yes";
    default:
        return "could not tell";
    }
}

// The root "X:\" of a full path on a drive letter; false for UNC and device paths.
bool DriveRoot(const char* full, char (&root)[4])
{
    if (!isalpha(static_cast<unsigned char>(full[0])) || full[1] != ':' || full[2] != '\\')
        return false;
    root[0] = full[0];
    root[1] = ':';
    root[2] = '\\';
    root[3] = 0;
    return true;
}

OSYS::WritableCheck Examine(const char* path)
{
    if (!path || !*path)
        return Answer(OSYS::Writable::Unknown, STRING("no path"));
    char full[MAX_PATH] = {};
    DWORD n = strlen(path) < MAX_PATH ? GetFullPathNameA(path, MAX_PATH, full, nullptr) : MAX_PATH;
    if (n >= MAX_PATH)
        return Answer(OSYS::Writable::Unknown, STRING("longer than MAX_PATH"));
    if (n == 0)
        return Unknown("%s: GetFullPathName error %lu (%s)", "no full path", GetLastError());
    // A share's own permissions and the server's administrators are out of this machine's sight.
    char root[4];
    if (!DriveRoot(full, root))
        return Answer(OSYS::Writable::Unknown, STRING("not on a local drive"));
    UINT driveType = GetDriveTypeA(root);
    if (driveType == DRIVE_REMOTE)
        return Answer(OSYS::Writable::Unknown, STRING("on a network drive"));
    if (driveType == DRIVE_UNKNOWN || driveType == DRIVE_NO_ROOT_DIR)
        return Answer(OSYS::Writable::Unknown, STRING("on no known drive"));
    DWORD volumeFlags = 0;
    if (!GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, &volumeFlags, nullptr, 0))
        return Unknown("%s: volume error %lu (%s)", root, GetLastError());

    // Whoever may create a missing path in the nearest folder that exists decides what it will hold.
    STRING target(full);
    while (GetFileAttributesA(target.c_str()) == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return Unknown("%s: attributes error %lu (%s)", target.c_str(), error);
        const char* slash = strrchr(target.c_str(), '\\');
        int cut = slash ? static_cast<int>(slash - target.c_str()) : 0;
        if (target.Length() <= 3 || cut < 2)
            return Answer(OSYS::Writable::Unknown, STRING("no part of it exists"));
        // The drive's root keeps its backslash.
        target.Truncate(cut == 2 ? 3 : cut);
    }

    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD error = GetNamedSecurityInfoA(target.c_str(), SE_FILE_OBJECT,
                                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr, &dacl,
                                        nullptr, &descriptor);
    UniqueLocalMemory descriptorMemory(descriptor);
    if (error != ERROR_SUCCESS)
        return Unknown("%s: security descriptor error %lu (%s)", target.c_str(), error);
    OSYS::WritableCheck check = OSYS::JudgeSecurity(volumeFlags, owner, dacl);
    if (!target.Equals(full)) {
        STRING reason;
        reason.Format("missing; its folder %s: %s", target.c_str(), check.reason.c_str());
        check.reason = reason;
    }
    return check;
}

} // namespace

namespace OSYS {

WritableCheck JudgeSecurity(DWORD volumeFlags, PSID owner, const ACL* dacl)
{
    if (!(volumeFlags & FILE_PERSISTENT_ACLS))
        return Answer(Writable::Yes, STRING("the file system keeps no security descriptors"));
    if (!dacl)
        return Answer(Writable::Yes, STRING("NULL DACL: everyone may do everything"));
    BroadGroupSids groups;
    int ownerGroup = groups.Find(owner);
    if (ownerGroup >= 0) {
        STRING reason;
        reason.Format("owned by %s, who may write the DACL", BROAD_GROUPS[ownerGroup].name);
        return Answer(Writable::Yes, reason);
    }
    // The system reads the entries in order: a right denied before it is granted stays denied.
    DWORD denied[GROUP_COUNT] = {};
    for (DWORD i = 0; i < dacl->AceCount; i++) {
        void* entry = nullptr;
        if (!GetAce(const_cast<ACL*>(dacl), i, &entry))
            return Answer(Writable::Unknown, STRING("an unreadable DACL entry"));
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (header->AceFlags & INHERIT_ONLY_ACE)
            continue;
        bool allows = header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
        // A conditional deny may not apply: it is not counted.
        bool denies = header->AceType == ACCESS_DENIED_ACE_TYPE;
        if (!allows && !denies)
            continue;
        // The allowed, denied and callback entries share this start: header, mask, SID.
        const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        int group = groups.Find(const_cast<DWORD*>(&ace->SidStart));
        if (group < 0)
            continue;
        DWORD rights = SpecificWriteRights(ace->Mask);
        if (denies) {
            denied[group] |= rights;
            continue;
        }
        DWORD granted = rights & ~denied[group] & ~denied[EVERYONE];
        if (granted) {
            STRING reason;
            reason.Format("%s may %s", BROAD_GROUPS[group].name,
                          RightNames(granted | (ace->Mask & GENERIC_WRITE_RIGHTS)).c_str());
            return Answer(Writable::Yes, reason);
        }
    }
    return Answer(Writable::No, STRING("no write-like right for Everyone, Authenticated Users, Users or Interactive"));
}

WritableCheck CheckWritableByEveryone(const char* path)
{
    WritableCheck check = Examine(path);
    LogPrint("OSYS::CheckWritableByEveryone %s answers %s: %s\n", path ? path : "(null)", AnswerText(check.answer),
             check.reason.c_str());
    return check;
}

} // namespace OSYS
