#include <gtest/gtest.h>

#include <windows.h>

#include <sddl.h>

#include <string>
#include <utility>
#include <vector>

#include "osys/handles.h"
#include "osys/security.h"
#include "osys/syssettings.h"
#include "planting.h"
#include "process.h"
#include "scratch.h"
#include "testlog.h"

namespace {

using OSYS::Writable;

constexpr DWORD NTFS = FILE_PERSISTENT_ACLS | FILE_CASE_PRESERVED_NAMES;
// The installing account of the cases, and another user.
constexpr const char* INSTALLER = "S-1-5-21-7-7-7-1000";
constexpr const char* OTHER_USER = "S-1-5-21-7-7-7-1001";

// A security descriptor built from its text by the system's own parser.
class Descriptor {
public:
    explicit Descriptor(const std::string& sddl)
    {
        PSECURITY_DESCRIPTOR made = nullptr;
        ok = ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &made, nullptr);
        memory.reset(made);
        BOOL present = FALSE, defaulted = FALSE;
        ok = ok && GetSecurityDescriptorOwner(made, &owner, &defaulted) &&
             GetSecurityDescriptorDacl(made, &present, &dacl, &defaulted);
        if (!present)
            dacl = nullptr;
    }
    bool ok = false;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    UniqueLocalMemory memory;
};

// A SID from its text, owned.
class Sid {
public:
    explicit Sid(const char* text)
    {
        PSID made = nullptr;
        ConvertStringSidToSidA(text, &made);
        memory.reset(made);
    }
    PSID get() const { return memory.get(); }

private:
    UniqueLocalMemory memory;
};

TEST(JudgeSecurity, OnlyTrustedAccountsMayWrite)
{
    const std::string installer = INSTALLER, user = OTHER_USER;
    const std::string trustedInstaller = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
    struct Case {
        const char* what;
        std::string sddl;
        Writable answer;
        const char* reason; // a part of the reason
        DWORD counted = OSYS::WRITE_LIKE_RIGHTS;
    } cases[] = {
        {"system and administrators", "O:BAD:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FRFX;;;WD)", Writable::No, "only trusted"},
        {"TrustedInstaller owns and writes", "O:" + trustedInstaller + "D:(A;;FA;;;" + trustedInstaller + ")",
         Writable::No, "only trusted"},
        {"the installer owns and writes", "O:" + installer + "D:(A;;FA;;;" + installer + ")", Writable::No,
         "only trusted"},
        {"empty DACL", "O:SYD:", Writable::No, "only trusted"},
        {"owned by a user", "O:" + user + "D:(A;;FA;;;SY)", Writable::Yes,
         "owned by S-1-5-21-7-7-7-1001, who may write the DACL"},
        {"owned by Users", "O:BUD:(A;;FA;;;SY)", Writable::Yes, "owned by Users"},
        {"a named user may write", "O:SYD:(A;;FW;;;" + user + ")", Writable::Yes,
         "S-1-5-21-7-7-7-1001 may write data"},
        {"Guests append", "O:SYD:(A;;0x4;;;BG)", Writable::Yes, "Guests may append data"},
        {"LOCAL deletes", "O:SYD:(A;;SD;;;S-1-2-0)", Writable::Yes, "LOCAL may delete"},
        {"Power Users write the DACL", "O:SYD:(A;;WD;;;PU)", Writable::Yes, "Power Users may write the DACL"},
        {"Everyone generic all", "O:SYD:(A;;GA;;;WD)", Writable::Yes, "Everyone may"},
        {"Users generic write", "O:SYD:(A;;GW;;;BU)", Writable::Yes, "generic write"},
        {"Interactive deletes children", "O:SYD:(A;;0x40;;;IU)", Writable::Yes, "Interactive may delete a child"},
        {"everyone reads and runs", "O:SYD:(A;;FRFX;;;WD)", Writable::No, "only trusted"},
        {"for children only", "O:SYD:(A;OICIIO;FA;;;WD)", Writable::No, "only trusted"},
        {"denied to everyone before Users' grant", "O:SYD:(D;;FA;;;WD)(A;;FA;;;BU)", Writable::No, "only trusted"},
        {"denied to the user before the user's grant",
         "O:SYD:(D;;FW;;;" + user + ")(A;;FW;;;" + user + ")", Writable::No, "only trusted"},
        {"denied to Users only, granted to a user", "O:SYD:(D;;FW;;;BU)(A;;FW;;;" + user + ")", Writable::Yes,
         "may write data"},
        {"granted before it is denied", "O:SYD:(A;;FW;;;WD)(D;;FW;;;WD)", Writable::Yes, "Everyone may write data"},
        {"write data denied, generic write still appends", "O:SYD:(D;;0x2;;;WD)(A;;GW;;;WD)", Writable::Yes,
         "append data"},
        // The rights that replace a path from a folder above it.
        {"above: Users may add folders", "O:SYD:(A;;0x6;;;BU)", Writable::No, "only trusted", OSYS::REPLACE_RIGHTS},
        {"above: Everyone deletes children", "O:SYD:(A;;0x40;;;WD)", Writable::Yes, "Everyone may delete a child",
         OSYS::REPLACE_RIGHTS},
        {"above: a user renames it", "O:SYD:(A;;SD;;;" + user + ")", Writable::Yes, "may delete",
         OSYS::REPLACE_RIGHTS},
        {"above: owned by a user", "O:" + user + "D:(A;;FA;;;SY)", Writable::Yes, "owned by", OSYS::REPLACE_RIGHTS},
    };
    Sid installerSid(INSTALLER);
    ASSERT_NE(installerSid.get(), nullptr);
    for (const Case& c : cases) {
        Descriptor descriptor(c.sddl);
        ASSERT_TRUE(descriptor.ok) << c.what << ": " << c.sddl;
        OSYS::WritableCheck check =
            OSYS::JudgeSecurity(NTFS, descriptor.owner, descriptor.dacl, installerSid.get(), c.counted);
        EXPECT_EQ(check.answer, c.answer) << c.what << ": " << check.reason.c_str();
        EXPECT_NE(std::string(check.reason.c_str()).find(c.reason), std::string::npos)
            << c.what << ": " << check.reason.c_str();
    }
    // Without the installer recorded, its own files count as another user's.
    Descriptor installers("O:" + installer + "D:(A;;FA;;;SY)");
    ASSERT_TRUE(installers.ok);
    EXPECT_EQ(OSYS::JudgeSecurity(NTFS, installers.owner, installers.dacl).answer, Writable::Yes);
}

// Object, callback and conditional entries carry conditions this check does not read: whatever
// their account, they count as granting every right.
TEST(JudgeSecurity, EntriesOfOtherKindsCountAsWritable)
{
    for (BYTE type : {ACCESS_ALLOWED_OBJECT_ACE_TYPE, ACCESS_ALLOWED_CALLBACK_ACE_TYPE,
                      ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE}) {
        // The parser knows none of them: a plain entry for SYSTEM is given the kind afterwards.
        Descriptor descriptor("O:SYD:(A;;FR;;;SY)");
        ASSERT_TRUE(descriptor.ok);
        void* entry = nullptr;
        ASSERT_TRUE(GetAce(descriptor.dacl, 0, &entry));
        static_cast<ACE_HEADER*>(entry)->AceType = type;
        OSYS::WritableCheck check = OSYS::JudgeSecurity(NTFS, descriptor.owner, descriptor.dacl);
        EXPECT_EQ(check.answer, Writable::Yes) << int(type);
        EXPECT_EQ(std::string(check.reason.c_str()),
                  "an entry of type " + std::to_string(type) + ", which this check does not read");
    }
}

TEST(JudgeSecurity, NothingGuardsThePath)
{
    Descriptor admins("O:BAD:(A;;FA;;;BA)");
    ASSERT_TRUE(admins.ok);
    EXPECT_EQ(OSYS::JudgeSecurity(NTFS, nullptr, nullptr).answer, Writable::Yes); // a NULL DACL
    OSYS::WritableCheck fat = OSYS::JudgeSecurity(FILE_CASE_PRESERVED_NAMES, admins.owner, admins.dacl);
    EXPECT_EQ(fat.answer, Writable::Yes);
    EXPECT_STREQ(fat.reason.c_str(), "the file system keeps no security descriptors");
}

// The descriptors the walk reads, by path; every other path gets the guarded one.
std::vector<std::pair<std::string, std::string>> plannedDescriptors;
constexpr const char* GUARDED = "O:SYD:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FRFX;;;WD)";

DWORD ReadPlanned(const char* path, PSID* owner, PACL* dacl, PSECURITY_DESCRIPTOR* descriptor)
{
    std::string sddl = GUARDED;
    for (const auto& [planned, text] : plannedDescriptors)
        if (lstrcmpiA(planned.c_str(), path) == 0)
            sddl = text;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, descriptor, nullptr))
        return GetLastError();
    BOOL present = FALSE, defaulted = FALSE;
    GetSecurityDescriptorOwner(*descriptor, owner, &defaulted);
    GetSecurityDescriptorDacl(*descriptor, &present, dacl, &defaulted);
    return ERROR_SUCCESS;
}

// Folders above a path: the rights that replace it count there, adding entries does not.
TEST(CheckOnlyTrustedWrite, FoldersAboveThePath)
{
    rig::ScratchFolder folder("walk");
    ASSERT_TRUE(folder.MakeFolder("Apps"));
    ASSERT_TRUE(folder.MakeFolder("Apps\\Tarvo"));
    ASSERT_TRUE(folder.Write("Apps\\Tarvo\\service.cfg", "x"));
    const std::string apps = folder.PathOf("Apps"), cfg = folder.PathOf("Apps\\Tarvo\\service.cfg");
    struct Case {
        const char* what;
        std::string path, sddl;
        Writable answer;
        std::string reason;
    } cases[] = {
        {"all guarded", apps, GUARDED, Writable::No, "only trusted"},
        {"users may add to the grandparent", apps, "O:SYD:(A;;FA;;;SY)(A;;0x6;;;BU)", Writable::No, "only trusted"},
        {"everyone deletes children of the grandparent", apps, "O:SYD:(A;;FA;;;SY)(A;;0x40;;;WD)", Writable::Yes,
         "the folder above it " + apps + ": Everyone may delete a child"},
        {"a user owns the grandparent", apps, std::string("O:") + OTHER_USER + "D:(A;;FA;;;SY)", Writable::Yes,
         "the folder above it " + apps + ": owned by"},
        {"the volume's root writable", folder.Path().substr(0, 3), "O:SYD:(A;;FA;;;SY)(A;;WD;;;BU)", Writable::Yes,
         "Users may write the DACL"},
        {"the file itself", cfg, "O:SYD:(A;;FA;;;SY)(A;;FW;;;BU)", Writable::Yes, "Users may write data"},
    };
    OSYS::SecurityReader previous = OSYS::SetSecurityReader(ReadPlanned);
    for (const Case& c : cases) {
        plannedDescriptors = {{c.path, c.sddl}};
        OSYS::WritableCheck check = OSYS::CheckOnlyTrustedWrite(cfg.c_str(), INSTALLER);
        EXPECT_EQ(check.answer, c.answer) << c.what << ": " << check.reason.c_str();
        EXPECT_NE(std::string(check.reason.c_str()).find(c.reason), std::string::npos)
            << c.what << ": " << check.reason.c_str();
    }
    plannedDescriptors.clear();
    OSYS::SetSecurityReader(previous);
}

// Real files and folders of a fresh scratch folder: only their owner, this process's account
// (here the installing one), may write them.
class TrustedWrite : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.Valid());
        ASSERT_TRUE(folder.Write("file.txt", "x"));
        ASSERT_TRUE(folder.MakeFolder("sub"));
    }

    Writable Check(const std::string& path, std::string* reason = nullptr)
    {
        OSYS::WritableCheck check = OSYS::CheckOnlyTrustedWrite(path.c_str(), OSYS::CurrentUserSid().c_str());
        if (reason)
            *reason = check.reason.c_str();
        return check.answer;
    }

    rig::ScratchFolder folder{"security"};
};

TEST_F(TrustedWrite, OwnerOnlyFilesAndFolders)
{
    EXPECT_EQ(Check(folder.Path()), Writable::No);
    EXPECT_EQ(Check(folder.PathOf("file.txt")), Writable::No);
    EXPECT_EQ(Check(folder.PathOf("sub")), Writable::No);
    // A missing file is judged by the folder it would be created in.
    EXPECT_EQ(Check(folder.PathOf("sub\\missing\\app.exe")), Writable::No);
}

TEST_F(TrustedWrite, EveryoneWriteOnTheFileOrTheFolder)
{
    for (const char* name : {"file.txt", "sub"}) {
        ASSERT_TRUE(rig::GrantEveryoneWrite(folder.PathOf(name))) << name;
        rig::TestLog log("tarvo-security-check.log");
        std::string reason;
        EXPECT_EQ(Check(folder.PathOf(name), &reason), Writable::Yes) << name;
        EXPECT_NE(reason.find("Everyone may write data"), std::string::npos) << reason;
        EXPECT_TRUE(log.Contains("] OSYS::CheckOnlyTrustedWrite " + folder.PathOf(name) + " answers yes: " + reason))
            << log.Bytes();
    }
    std::string reason;
    EXPECT_EQ(Check(folder.PathOf("sub\\planted.dll"), &reason), Writable::Yes);
    EXPECT_NE(reason.find("missing; its folder " + folder.PathOf("sub") + ": Everyone"), std::string::npos) << reason;
    // Write access to the folder does not make its other files writable.
    EXPECT_EQ(Check(folder.Path()), Writable::No);
}

// Under Wine the file security is the Unix mode: the host's own chmod o+w is seen as Everyone.
TEST_F(TrustedWrite, HostChmodUnderWine)
{
    using UnixNameFn = char*(CDECL*)(const WCHAR*);
    auto unixName = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName)
        GTEST_SKIP() << "not under Wine";
    std::string file = folder.PathOf("file.txt");
    std::wstring path(file.begin(), file.end());
    char* unixPath = unixName(path.c_str());
    ASSERT_NE(unixPath, nullptr);
    std::string target = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    rig::RunResult chmod =
        rig::RunProgram("/bin/chmod", {"o+w", rig::QuoteArgument(target)}, "", 10000, rig::BoxAnswer::Ok);
    ASSERT_TRUE(chmod.started && !chmod.timedOut && chmod.exitCode == 0) << chmod.startError;
    // Wine may report a host program ended before the program itself is done: give the
    // mode change a moment to land.
    std::string reason;
    Writable answer = Writable::No;
    for (int attempt = 0; attempt < 50 && answer != Writable::Yes; attempt++) {
        if (attempt > 0)
            Sleep(100);
        answer = Check(folder.PathOf("file.txt"), &reason);
    }
    EXPECT_EQ(answer, Writable::Yes);
    EXPECT_NE(reason.find("Everyone"), std::string::npos) << reason;
}

TEST(CheckOnlyTrustedWrite, PathsItCannotJudge)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    struct Case {
        std::string path;
        const char* reason;
    } cases[] = {
        {std::string(temp) + std::string(MAX_PATH, 'x'), "longer than MAX_PATH"},
        {"\\\\nosuchserver\\share\\service.cfg", "not on a local drive"},
        {"", "no path"},
    };
    for (const Case& c : cases) {
        OSYS::WritableCheck check = OSYS::CheckOnlyTrustedWrite(c.path.c_str(), nullptr);
        EXPECT_EQ(check.answer, Writable::Unknown) << c.path;
        EXPECT_STREQ(check.reason.c_str(), c.reason) << c.path;
    }
    EXPECT_EQ(OSYS::CheckOnlyTrustedWrite(nullptr, nullptr).answer, Writable::Unknown);
}

// A library planted under the shell library's name in the program's folder is never loaded
// by the library's bare-name load of it.
TEST(LoadSystemLibrary, IgnoresALibraryPlantedBesideTheProgram)
{
    rig::ScratchFolder folder("planted");
    ASSERT_TRUE(folder.CopyIn(rig::WindowsPathOf(SHELL_PROBE_EXE), "shell_probe.exe"));
    ASSERT_TRUE(folder.CopyIn(rig::WindowsPathOf(PLANTED_LIBRARY), "shell32.dll"));
    rig::PreferFolderLibrary prefer("shell_probe.exe", "shell32");
    ASSERT_TRUE(prefer.Valid());

    rig::RunResult run =
        rig::RunProgram(folder.PathOf("shell_probe.exe"), {}, folder.Path(), 30000, rig::BoxAnswer::Ok);
    ASSERT_TRUE(run.started && !run.timedOut);
    EXPECT_EQ(run.exitCode, 0u) << "the probe did not load the system's shell library";
    EXPECT_EQ(GetFileAttributesA(rig::PlantedMarkerOf(folder.PathOf("shell32.dll")).c_str()), INVALID_FILE_ATTRIBUTES);
}

// A library is found present without any of its code being run.
TEST(LibraryPresent, RunsNoCodeOfTheLibrary)
{
    rig::ScratchFolder folder("present");
    ASSERT_TRUE(folder.CopyIn(rig::WindowsPathOf(PLANTED_LIBRARY), "present.dll"));
    EXPECT_TRUE(OSYS::LibraryPresent(folder.PathOf("present.dll").c_str()));
    EXPECT_FALSE(OSYS::LibraryPresent(folder.PathOf("absent.dll").c_str()));
    EXPECT_EQ(GetFileAttributesA(rig::PlantedMarkerOf(folder.PathOf("present.dll")).c_str()), INVALID_FILE_ATTRIBUTES);
}

} // namespace
