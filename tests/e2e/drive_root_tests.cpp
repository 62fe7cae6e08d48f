// service.exe at the root of a drive: its folder is the root ("T:\"), not the drive's current
// directory ("T:"), whichever directory the controller or the manager starts it in.
#include <windows.h>

#include "e2e_support.h"
#include "wine.h"

namespace e2e {
namespace {

// The files a test puts at a drive root, deleted again at its end.
class RootFiles {
public:
    explicit RootFiles(std::string root) : root(std::move(root)) {}
    ~RootFiles()
    {
        for (const std::string& name : names)
            DeleteFileA((root + name).c_str());
    }
    RootFiles(const RootFiles&) = delete;
    RootFiles& operator=(const RootFiles&) = delete;

    // Refuses to replace a file the test did not put there.
    bool Copy(const std::string& source, const std::string& name)
    {
        names.push_back(name);
        return CopyFileA(source.c_str(), (root + name).c_str(), TRUE) != 0;
    }
    bool Write(const std::string& name, const std::string& bytes)
    {
        if (GetFileAttributesA((root + name).c_str()) != INVALID_FILE_ATTRIBUTES)
            return false;
        names.push_back(name);
        return rig::WriteFileBytes(root + name, bytes);
    }

private:
    std::string root;
    std::vector<std::string> names;
};

rig::RunResult RunAt(const std::string& root, const std::vector<std::string>& args, const std::string& workdir)
{
    rig::RunResult result = rig::RunProgram(root + "service.exe", args, workdir, kRunTimeoutMs, rig::BoxAnswer::Ok);
    EXPECT_TRUE(result.started) << "CreateProcess error " << result.startError;
    return result;
}

// The service started from the root runs the application there and stops on request.
void ExpectServiceCycle(const std::string& root, const std::string& name, const std::string& workdir)
{
    rig::StopServiceByName(name);
    ASSERT_TRUE(rig::WaitForServiceState(name, SERVICE_STOPPED, kStateTimeoutMs));
    ExpectNoBox(RunAt(root, {"/start"}, workdir), kExitOk);
    ASSERT_TRUE(rig::WaitForServiceState(name, SERVICE_RUNNING, kStateTimeoutMs))
        << rig::ServiceStateName(rig::QueryServiceState(name));
    ASSERT_TRUE(WaitForRecordKey(root + "TarvoSample.record", "window", kStateTimeoutMs));
    EXPECT_EQ(Lower(ReadRecord(root + "TarvoSample.record").Value("cwd")), Lower(root));
    ExpectNoBox(RunAt(root, {"/stop"}, workdir), kExitOk);
    EXPECT_EQ(rig::QueryServiceState(name), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(ReadRecord(root + "TarvoSample.record").Value("end"), "WM_QUIT");
}

// A drive letter of its own names a scratch folder; the controller runs from a folder
// below the root, so "T:" would stay there.
TEST(DriveRoot, InstallStartStopUninstallAtTheRootOfADrive)
{
    if (!rig::RunningUnderWine())
        GTEST_SKIP() << "a drive letter the Service Control Manager sees is made in Wine's drive table only";
    rig::ScratchFolder folder("drive-root");
    ASSERT_TRUE(folder.Valid());
    rig::MappedDrive drive(folder.Path());
    ASSERT_TRUE(drive.Valid()) << drive.Error();
    const std::string root = drive.Root();
    const std::string name = rig::UniqueServiceName("DriveRoot");
    ASSERT_TRUE(folder.CopyIn(ServiceExe()));
    ASSERT_TRUE(folder.CopyIn(SampleExe()));
    ASSERT_TRUE(folder.Write("service.cfg", ConfigText(RequiredEntries(name))));
    ASSERT_TRUE(folder.MakeFolder("below"));
    const std::string below = root + "below";
    RemoveOnExit cleanup(name);

    ExpectNoBox(RunAt(root, {"/install"}, below), kExitOk);
    ASSERT_NE(rig::QueryServiceState(name), 0u);
    ExpectServiceCycle(root, name, below);
    ExpectNoBox(RunAt(root, {"/uninstall"}, below), kExitOk);
    EXPECT_EQ(rig::QueryServiceState(name), 0u);
}

// The manager starts a service in its own directory on the system drive; a service.exe at
// that drive's root must still find its service.cfg there.
TEST(DriveRoot, ServiceAtTheRootOfTheSystemDrive)
{
    if (!rig::RunningUnderWine())
        GTEST_SKIP() << "puts files into the system drive's root: run in a test prefix of Wine only";
    char system[MAX_PATH] = {};
    ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 2u);
    const std::string root = std::string(system, 2) + "\\";
    const std::string name = rig::UniqueServiceName("SystemRoot");
    RootFiles files(root);
    ASSERT_TRUE(files.Copy(ServiceExe(), "service.exe"));
    ASSERT_TRUE(files.Copy(SampleExe(), "TarvoSample.exe"));
    ASSERT_TRUE(files.Write("service.cfg", ConfigText(RequiredEntries(name))));
    ASSERT_TRUE(files.Write("TarvoSample.record", ""));
    rig::ServiceGuard service(name, root + "service.exe");
    ASSERT_TRUE(service.Created()) << service.CreateError();

    ExpectServiceCycle(root, name, system);
}

} // namespace
} // namespace e2e
