#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "osys/security.h"
#include "planting.h"
#include "process.h"
#include "scratch.h"
#include "testlog.h"

namespace {

using OSYS::Writable;

struct Entry {
    BYTE type; // ACCESS_ALLOWED_ACE_TYPE or ACCESS_DENIED_ACE_TYPE
    WELL_KNOWN_SID_TYPE sid;
    DWORD mask;
    BYTE flags = 0;
};

// A DACL of the entries, built by the system's own ACL functions.
class TestAcl {
public:
    explicit TestAcl(const std::vector<Entry>& entries) : memory(4096)
    {
        acl = reinterpret_cast<ACL*>(memory.data());
        ok = InitializeAcl(acl, static_cast<DWORD>(memory.size()), ACL_REVISION) != FALSE;
        for (const Entry& entry : entries) {
            BYTE sid[SECURITY_MAX_SID_SIZE] = {};
            DWORD size = sizeof sid;
            ok = ok && CreateWellKnownSid(entry.sid, nullptr, sid, &size);
            ok = ok && (entry.type == ACCESS_ALLOWED_ACE_TYPE
                            ? AddAccessAllowedAceEx(acl, ACL_REVISION, entry.flags, entry.mask, sid)
                            : AddAccessDeniedAceEx(acl, ACL_REVISION, entry.flags, entry.mask, sid));
        }
    }
    bool ok = false;
    ACL* acl = nullptr;

private:
    std::vector<BYTE> memory;
};

constexpr BYTE ALLOW = ACCESS_ALLOWED_ACE_TYPE;
constexpr BYTE DENY = ACCESS_DENIED_ACE_TYPE;
constexpr DWORD READ_AND_RUN = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
constexpr DWORD NTFS = FILE_PERSISTENT_ACLS | FILE_CASE_PRESERVED_NAMES;

TEST(JudgeSecurity, DaclEntries)
{
    struct Case {
        const char* what;
        std::vector<Entry> entries;
        Writable answer;
        const char* reason; // a part of the reason
    } cases[] = {
        {"administrators and system only",
         {{ALLOW, WinBuiltinAdministratorsSid, FILE_ALL_ACCESS}, {ALLOW, WinLocalSystemSid, GENERIC_ALL}},
         Writable::No,
         "no write-like right"},
        {"everyone reads and runs", {{ALLOW, WinWorldSid, READ_AND_RUN}}, Writable::No, "no write-like right"},
        {"empty DACL", {}, Writable::No, "no write-like right"},
        {"everyone writes data",
         {{ALLOW, WinWorldSid, READ_AND_RUN | FILE_WRITE_DATA}},
         Writable::Yes,
         "Everyone may write data"},
        {"users append", {{ALLOW, WinBuiltinUsersSid, FILE_APPEND_DATA}}, Writable::Yes, "Users may append data"},
        {"authenticated users delete",
         {{ALLOW, WinAuthenticatedUserSid, DELETE}},
         Writable::Yes,
         "Authenticated Users may delete"},
        {"interactive deletes children",
         {{ALLOW, WinInteractiveSid, FILE_DELETE_CHILD}},
         Writable::Yes,
         "Interactive may delete a child"},
        {"everyone writes the DACL", {{ALLOW, WinWorldSid, WRITE_DAC}}, Writable::Yes, "write the DACL"},
        {"everyone takes ownership", {{ALLOW, WinWorldSid, WRITE_OWNER}}, Writable::Yes, "take ownership"},
        {"users generic write", {{ALLOW, WinBuiltinUsersSid, GENERIC_WRITE}}, Writable::Yes, "generic write"},
        {"everyone generic all", {{ALLOW, WinWorldSid, GENERIC_ALL}}, Writable::Yes, "generic all"},
        {"another user's full access", {{ALLOW, WinCreatorOwnerSid, GENERIC_ALL}}, Writable::No, "no write-like"},
        {"denied to everyone before users' grant",
         {{DENY, WinWorldSid, GENERIC_WRITE | DELETE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER},
          {ALLOW, WinBuiltinUsersSid, FILE_GENERIC_WRITE | DELETE}},
         Writable::No,
         "no write-like right"},
        {"granted before it is denied",
         {{ALLOW, WinWorldSid, FILE_WRITE_DATA}, {DENY, WinWorldSid, FILE_WRITE_DATA}},
         Writable::Yes,
         "Everyone may write data"},
        {"denied to users only, granted to everyone",
         {{DENY, WinBuiltinUsersSid, FILE_WRITE_DATA}, {ALLOW, WinWorldSid, FILE_WRITE_DATA}},
         Writable::Yes,
         "Everyone may write data"},
        {"generic write denied, append still granted",
         {{DENY, WinWorldSid, FILE_WRITE_DATA}, {ALLOW, WinWorldSid, GENERIC_WRITE}},
         Writable::Yes,
         "append data"},
        {"for children only",
         {{ALLOW, WinWorldSid, GENERIC_ALL, OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE}},
         Writable::No,
         "no write-like right"},
    };
    for (const Case& c : cases) {
        TestAcl dacl(c.entries);
        ASSERT_TRUE(dacl.ok) << c.what;
        OSYS::WritableCheck check = OSYS::JudgeSecurity(NTFS, nullptr, dacl.acl);
        EXPECT_EQ(check.answer, c.answer) << c.what << ": " << check.reason.c_str();
        EXPECT_NE(std::string(check.reason.c_str()).find(c.reason), std::string::npos)
            << c.what << ": " << check.reason.c_str();
    }
}

TEST(JudgeSecurity, NothingGuardsThePath)
{
    TestAcl ownerOnly({{ALLOW, WinBuiltinAdministratorsSid, FILE_ALL_ACCESS}});
    ASSERT_TRUE(ownerOnly.ok);
    EXPECT_EQ(OSYS::JudgeSecurity(NTFS, nullptr, nullptr).answer, Writable::Yes); // a NULL DACL
    OSYS::WritableCheck fat = OSYS::JudgeSecurity(FILE_CASE_PRESERVED_NAMES, nullptr, ownerOnly.acl);
    EXPECT_EQ(fat.answer, Writable::Yes);
    EXPECT_STREQ(fat.reason.c_str(), "the file system keeps no security descriptors");

    // The owner may always rewrite the DACL: a broad group as owner opens the path.
    BYTE users[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof users;
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &size));
    OSYS::WritableCheck owned = OSYS::JudgeSecurity(NTFS, users, ownerOnly.acl);
    EXPECT_EQ(owned.answer, Writable::Yes);
    EXPECT_STREQ(owned.reason.c_str(), "owned by Users, who may write the DACL");
}

// Real files and folders of a fresh scratch folder: only their owner may write them.
class WritableByEveryone : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.Valid());
        ASSERT_TRUE(folder.Write("file.txt", "x"));
        ASSERT_TRUE(folder.MakeFolder("sub"));
    }

    Writable Check(const std::string& path, std::string* reason = nullptr)
    {
        OSYS::WritableCheck check = OSYS::CheckWritableByEveryone(path.c_str());
        if (reason)
            *reason = check.reason.c_str();
        return check.answer;
    }

    rig::ScratchFolder folder{"security"};
};

TEST_F(WritableByEveryone, OwnerOnlyFilesAndFolders)
{
    EXPECT_EQ(Check(folder.Path()), Writable::No);
    EXPECT_EQ(Check(folder.PathOf("file.txt")), Writable::No);
    EXPECT_EQ(Check(folder.PathOf("sub")), Writable::No);
    // A missing file is judged by the folder it would be created in.
    EXPECT_EQ(Check(folder.PathOf("sub\\missing\\app.exe")), Writable::No);
}

TEST_F(WritableByEveryone, EveryoneWriteOnTheFileOrTheFolder)
{
    for (const char* name : {"file.txt", "sub"}) {
        ASSERT_TRUE(rig::GrantEveryoneWrite(folder.PathOf(name))) << name;
        rig::TestLog log("tarvo-security-check.log");
        std::string reason;
        EXPECT_EQ(Check(folder.PathOf(name), &reason), Writable::Yes) << name;
        EXPECT_NE(reason.find("Everyone may write data"), std::string::npos) << reason;
        EXPECT_TRUE(log.Contains("] OSYS::CheckWritableByEveryone " + folder.PathOf(name) + " answers yes: " + reason))
            << log.Bytes();
    }
    std::string reason;
    EXPECT_EQ(Check(folder.PathOf("sub\\planted.dll"), &reason), Writable::Yes);
    EXPECT_NE(reason.find("missing; its folder " + folder.PathOf("sub") + ": Everyone"), std::string::npos) << reason;
    // Write access to the folder does not make its other files writable.
    EXPECT_EQ(Check(folder.Path()), Writable::No);
}

// Under Wine the file security is the Unix mode: the host's own chmod o+w is seen as Everyone.
TEST_F(WritableByEveryone, HostChmodUnderWine)
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

TEST(CheckWritableByEveryone, PathsItCannotJudge)
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
        OSYS::WritableCheck check = OSYS::CheckWritableByEveryone(c.path.c_str());
        EXPECT_EQ(check.answer, Writable::Unknown) << c.path;
        EXPECT_STREQ(check.reason.c_str(), c.reason) << c.path;
    }
    EXPECT_EQ(OSYS::CheckWritableByEveryone(nullptr).answer, Writable::Unknown);
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

} // namespace
