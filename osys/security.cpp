#include "osys/security.h"

#include <aclapi.h>
#include <sddl.h>

#include <atomic>
#include <cctype>
#include <cstring>

#include "diag/logit.h"
#include "osys/handles.h"
#include "osys/osys_win32.h"

namespace {

// Accounts whose rights never open a path: the system, the administrators and the installer
// service of the system. The installing account joins them per check.
const WELL_KNOWN_SID_TYPE TRUSTED_ACCOUNTS[] = {WinLocalSystemSid, WinBuiltinAdministratorsSid};
constexpr const char* TRUSTED_INSTALLER_SID = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// Names for the accounts a reason most often names; any other is written as its SID.
struct AccountName {
    WELL_KNOWN_SID_TYPE type;
    const char* name;
};
const AccountName ACCOUNT_NAMES[] = {
    {WinWorldSid, "Everyone"},
    {WinAuthenticatedUserSid, "Authenticated Users"},
    {WinBuiltinUsersSid, "Users"},
    {WinInteractiveSid, "Interactive"},
    {WinBuiltinGuestsSid, "Guests"},
    {WinBuiltinPowerUsersSid, "Power Users"},
    {WinLocalSid, "LOCAL"},
    {WinCreatorOwnerSid, "CREATOR OWNER"},
};

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

// The specific rights of a mask that count, its generic rights mapped as the file system maps them.
DWORD SpecificRights(DWORD mask, DWORD counted)
{
    if (mask & GENERIC_ALL)
        mask |= FILE_ALL_ACCESS;
    if (mask & GENERIC_WRITE)
        mask |= FILE_GENERIC_WRITE;
    return mask & counted & ~GENERIC_WRITE_RIGHTS;
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

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type)
{
    BYTE known[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof(known);
    return CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known);
}

STRING AccountOf(PSID sid)
{
    for (const AccountName& account : ACCOUNT_NAMES)
        if (IsWellKnown(sid, account.type))
            return STRING(account.name);
    char* text = nullptr;
    if (!ConvertSidToStringSidA(sid, &text))
        return STRING("an unreadable SID");
    UniqueLocalMemory textMemory(text);
    return STRING(text);
}

// The account this process runs as, read into the caller's buffer; null when it cannot be read.
struct TokenUserBuffer {
    alignas(TOKEN_USER) BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
};
PSID ProcessUser(TokenUserBuffer& buffer)
{
    HANDLE tokenHandle = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &tokenHandle))
        return nullptr;
    UniqueHandle token(tokenHandle);
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenUser, buffer.bytes, sizeof(buffer.bytes), &size))
        return nullptr;
    return reinterpret_cast<TOKEN_USER*>(buffer.bytes)->User.Sid;
}

// A SID made from its text, owned (null when the text is empty or not a SID).
struct OwnedSid {
    explicit OwnedSid(const char* text)
    {
        PSID made = nullptr;
        if (text && *text && ConvertStringSidToSidA(text, &made))
            memory.reset(made);
    }
    PSID get() const { return memory.get(); }
    UniqueLocalMemory memory;
};

class TrustedAccounts {
public:
    explicit TrustedAccounts(PSID installer) : installer(installer), trustedInstaller(TRUSTED_INSTALLER_SID) {}

    bool Trusts(PSID sid) const
    {
        for (WELL_KNOWN_SID_TYPE type : TRUSTED_ACCOUNTS)
            if (IsWellKnown(sid, type))
                return true;
        return (trustedInstaller.get() && EqualSid(sid, trustedInstaller.get())) ||
               (installer && IsValidSid(installer) && EqualSid(sid, installer));
    }

private:
    PSID installer;
    OwnedSid trustedInstaller;
};

// The rights denied so far, per SID; a right denied to Everyone is denied to every SID.
class DeniedRights {
public:
    void Deny(PSID sid, DWORD rights)
    {
        if (IsWellKnown(sid, WinWorldSid)) {
            everyone |= rights;
            return;
        }
        for (Denial& denial : denials)
            if (EqualSid(denial.sid, sid)) {
                denial.rights |= rights;
                return;
            }
        if (count < MAX_DENIALS)
            denials[count++] = {sid, rights};
        // Beyond the table a denial is forgotten, which can only make the answer stricter.
    }
    DWORD Of(PSID sid) const
    {
        DWORD rights = everyone;
        for (int i = 0; i < count; i++)
            if (EqualSid(denials[i].sid, sid))
                rights |= denials[i].rights;
        return rights;
    }

private:
    static constexpr int MAX_DENIALS = 64;
    struct Denial {
        PSID sid;
        DWORD rights;
    };
    Denial denials[MAX_DENIALS] = {};
    int count = 0;
    DWORD everyone = 0;
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

DWORD ReadNamedSecurity(const char* path, PSID* owner, PACL* dacl, PSECURITY_DESCRIPTOR* descriptor)
{
    return GetNamedSecurityInfoA(path, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, owner,
                                 nullptr, dacl, nullptr, descriptor);
}

std::atomic<OSYS::SecurityReader> securityReader{ReadNamedSecurity};

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

// The folder above a path ("X:\" keeps its backslash); false at the root.
bool CutToParent(STRING& path)
{
    const char* slash = strrchr(path.c_str(), '\\');
    int cut = slash ? static_cast<int>(slash - path.c_str()) : 0;
    if (path.Length() <= 3 || cut < 2)
        return false;
    path.Truncate(cut == 2 ? 3 : cut);
    return true;
}

OSYS::WritableCheck JudgePath(const char* path, DWORD volumeFlags, PSID installer, DWORD counted)
{
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD error = securityReader.load()(path, &owner, &dacl, &descriptor);
    UniqueLocalMemory descriptorMemory(descriptor);
    if (error != ERROR_SUCCESS)
        return Unknown("%s: security descriptor error %lu (%s)", path, error);
    return OSYS::JudgeSecurity(volumeFlags, owner, dacl, installer, counted);
}

OSYS::WritableCheck Examine(const char* path, const char* installerSid)
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
        if (!CutToParent(target))
            return Answer(OSYS::Writable::Unknown, STRING("no part of it exists"));
    }

    OwnedSid installer(installerSid);
    OSYS::WritableCheck check = JudgePath(target.c_str(), volumeFlags, installer.get(), OSYS::WRITE_LIKE_RIGHTS);
    if (!target.Equals(full)) {
        STRING reason;
        reason.Format("missing; its folder %s: %s", target.c_str(), check.reason.c_str());
        check.reason = reason;
    }
    // Whoever may remove or rename a folder above it can put another path in its place.
    STRING folder(target);
    while (check.answer == OSYS::Writable::No && CutToParent(folder)) {
        OSYS::WritableCheck above = JudgePath(folder.c_str(), volumeFlags, installer.get(), OSYS::REPLACE_RIGHTS);
        if (above.answer != OSYS::Writable::No) {
            STRING reason;
            reason.Format("the folder above it %s: %s", folder.c_str(), above.reason.c_str());
            return Answer(above.answer, reason);
        }
    }
    return check;
}

} // namespace

namespace OSYS {

WritableCheck JudgeSecurity(DWORD volumeFlags, PSID owner, const ACL* dacl, PSID installer, DWORD counted)
{
    if (!(volumeFlags & FILE_PERSISTENT_ACLS))
        return Answer(Writable::Yes, STRING("the file system keeps no security descriptors"));
    if (!dacl)
        return Answer(Writable::Yes, STRING("NULL DACL: everyone may do everything"));
    TrustedAccounts trusted(installer);
    if (owner && IsValidSid(owner) && !trusted.Trusts(owner)) {
        STRING reason;
        reason.Format("owned by %s, who may write the DACL", AccountOf(owner).c_str());
        return Answer(Writable::Yes, reason);
    }
    // The system reads the entries in order: a right denied before it is granted stays denied.
    DeniedRights denied;
    for (DWORD i = 0; i < dacl->AceCount; i++) {
        void* entry = nullptr;
        if (!GetAce(const_cast<ACL*>(dacl), i, &entry))
            return Answer(Writable::Unknown, STRING("an unreadable DACL entry"));
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (header->AceFlags & INHERIT_ONLY_ACE)
            continue;
        // The allowed and denied entries share this layout: header, mask, SID.
        const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        auto* sid = reinterpret_cast<PSID>(const_cast<DWORD*>(&ace->SidStart));
        if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
            denied.Deny(sid, SpecificRights(ace->Mask, counted));
            continue;
        }
        // A deny of another kind may not apply: not counting it can only be stricter.
        if (header->AceType == ACCESS_DENIED_OBJECT_ACE_TYPE || header->AceType == ACCESS_DENIED_CALLBACK_ACE_TYPE ||
            header->AceType == ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE)
            continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            STRING reason;
            reason.Format("an entry of type %u, which this check does not read", static_cast<unsigned>(header->AceType));
            return Answer(Writable::Yes, reason);
        }
        if (trusted.Trusts(sid))
            continue;
        DWORD granted = SpecificRights(ace->Mask, counted) & ~denied.Of(sid);
        if (granted) {
            STRING reason;
            reason.Format("%s may %s", AccountOf(sid).c_str(),
                          RightNames(granted | (ace->Mask & GENERIC_WRITE_RIGHTS & counted)).c_str());
            return Answer(Writable::Yes, reason);
        }
    }
    return Answer(Writable::No, STRING("only trusted accounts hold a right that counts"));
}

WritableCheck CheckOnlyTrustedWrite(const char* path, const char* installerSid)
{
    WritableCheck check = Examine(path, installerSid);
    LogPrint("OSYS::CheckOnlyTrustedWrite %s answers %s: %s\n", path ? path : "(null)", AnswerText(check.answer),
             check.reason.c_str());
    return check;
}

SecurityReader SetSecurityReader(SecurityReader reader)
{
    return securityReader.exchange(reader ? reader : ReadNamedSecurity);
}

STRING CurrentUserSid()
{
    TokenUserBuffer buffer = {};
    PSID user = ProcessUser(buffer);
    char* text = nullptr;
    if (!user || !ConvertSidToStringSidA(user, &text))
        return STRING("");
    UniqueLocalMemory textMemory(text);
    return STRING(text);
}

} // namespace OSYS

namespace {

bool RunsAsServiceAccount()
{
    TokenUserBuffer buffer = {};
    PSID user = ProcessUser(buffer);
    return user && (IsWellKnown(user, WinLocalSystemSid) || IsWellKnown(user, WinLocalServiceSid) ||
                    IsWellKnown(user, WinNetworkServiceSid));
}

bool RunsOutsideTheInteractiveStation()
{
    char name[64] = {};
    DWORD needed = 0;
    HWINSTA station = GetProcessWindowStation();
    return station && GetUserObjectInformationA(station, UOI_NAME, name, sizeof(name) - 1, &needed) &&
           _stricmp(name, "WinSta0") != 0;
}

} // namespace

namespace OSYS {

bool InServiceRole()
{
    static const bool inServiceRole = [] {
        bool answer = RunsAsServiceAccount() || RunsOutsideTheInteractiveStation();
        LogPrint("OSYS::InServiceRole %d\n", answer);
        return answer;
    }();
    return inServiceRole;
}

} // namespace OSYS
