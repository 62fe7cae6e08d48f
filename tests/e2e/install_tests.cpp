// /install and /uninstall against the Service Control Manager, checked through the manager's
// own view of the registration, and the service they register run for real.
#include <windows.h>

#include <string>
#include <vector>

#include "e2e_support.h"
#include "service/schandle.h"

namespace e2e {
namespace {

struct Registration {
    bool found = false;
    DWORD type = 0, startType = 0, errorControl = 0;
    std::string binaryPath, displayName, account;
};

Registration QueryRegistration(const std::string& name)
{
    Registration registration;
    ServiceHandles handles = OpenServiceHandles(name.c_str(), SERVICE_QUERY_CONFIG);
    if (!handles)
        return registration;
    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (!QueryServiceConfigA(handles.service.get(), config, static_cast<DWORD>(buffer.size()), &needed))
        return registration;
    registration.found = true;
    registration.type = config->dwServiceType;
    registration.startType = config->dwStartType;
    registration.errorControl = config->dwErrorControl;
    registration.binaryPath = config->lpBinaryPathName ? config->lpBinaryPathName : "";
    registration.displayName = config->lpDisplayName ? config->lpDisplayName : "";
    registration.account = config->lpServiceStartName ? config->lpServiceStartName : "";
    return registration;
}

// An installed service is started automatically: begin each check from the stopped state.
void EnsureStopped(const std::string& name)
{
    rig::StopServiceByName(name);
    rig::WaitForServiceState(name, SERVICE_STOPPED, kStateTimeoutMs);
}

// The whole life from a folder whose path holds a blank: the path is registered in quotes,
// so the manager starts this program and no other.
TEST(Install, RegistersRunsAndRemovesTheServiceFromAFolderWithABlank)
{
    ControllerFolder controller("install with blank");
    ASSERT_NE(controller.Folder().Path().find(' '), std::string::npos);
    ASSERT_TRUE(controller.Folder().CopyIn(SampleExe()));
    std::string name = rig::UniqueServiceName("Install");
    ASSERT_TRUE(controller.WriteConfig(ConfigText(RequiredEntries(name))));
    RemoveOnExit cleanup(name);

    rig::RunResult installed = controller.RunCompanion({"/install"});
    ExpectNoBox(installed, kExitOk);
    EXPECT_EQ(installed.output, "Service " + name + " installed.\r\n");
    Registration registration = QueryRegistration(name);
    ASSERT_TRUE(registration.found);
    EXPECT_EQ(registration.type, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS));
    EXPECT_EQ(registration.startType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(registration.errorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_EQ(registration.displayName, name);
    EXPECT_EQ(Lower(registration.binaryPath), Lower("\"" + controller.Exe() + "\""));
    EXPECT_EQ(Lower(registration.account), "localsystem");

    ExpectNoBox(controller.Run({"/install"}), kExitInstallFailed);

    EnsureStopped(name);
    DeleteFileA(controller.PathOf("TarvoSample.record").c_str());
    ExpectNoBox(controller.Run({"-START"}), kExitOk);
    ASSERT_TRUE(rig::WaitForServiceState(name, SERVICE_RUNNING, kStateTimeoutMs));
    ASSERT_TRUE(WaitForRecordKey(controller.PathOf("TarvoSample.record"), "window", kStateTimeoutMs));
    Record started = ReadRecord(controller.PathOf("TarvoSample.record"));
    EXPECT_EQ(started.Value("argc"), "1");
    EXPECT_EQ(started.Value("arg1"), "/service");
    EXPECT_EQ(Lower(started.Value("cwd")), Lower(controller.Folder().Path()));

    ExpectNoBox(controller.Run({"/stop"}), kExitOk);
    EXPECT_EQ(rig::QueryServiceState(name), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(ReadRecord(controller.PathOf("TarvoSample.record")).Value("end"), "WM_QUIT");

    rig::RunResult removed = controller.RunCompanion({"/uninstall", "/LANG:GER"});
    ExpectNoBox(removed, kExitOk);
    EXPECT_EQ(removed.output, "Service " + name + " deinstalliert.\r\n");
    EXPECT_FALSE(QueryRegistration(name).found);
    ExpectNoBox(controller.Run({"/uninstall"}), kExitUninstallFailed);
}

// An absolute AppExe is started from its own path; the working directory stays the
// controller's folder.
TEST(Install, AbsoluteApplicationPathKeepsTheControllersWorkingDirectory)
{
    ControllerFolder controller("install-absolute");
    ASSERT_TRUE(controller.Folder().MakeFolder("app"));
    ASSERT_TRUE(controller.Folder().CopyIn(SampleExe(), "app\\TarvoSample.exe"));
    std::string name = rig::UniqueServiceName("Absolute");
    std::string application = controller.PathOf("app\\TarvoSample.exe");
    // The configuration format writes every backslash of a value doubled.
    std::string escaped;
    for (char c : application)
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    ASSERT_TRUE(controller.WriteConfig(ConfigText(With(RequiredEntries(name), "AppExe", escaped))));
    RemoveOnExit cleanup(name);

    ExpectNoBox(controller.Run({"/install"}), kExitOk);
    EnsureStopped(name);
    std::string record = controller.PathOf("app\\TarvoSample.record");
    DeleteFileA(record.c_str());
    ExpectNoBox(controller.Run({"/start"}), kExitOk);
    ASSERT_TRUE(WaitForRecordKey(record, "window", kStateTimeoutMs));
    Record started = ReadRecord(record);
    EXPECT_EQ(Lower(started.Value("commandline")), Lower("\"" + application + "\" /service"));
    EXPECT_EQ(Lower(started.Value("cwd")), Lower(controller.Folder().Path()));
    ExpectNoBox(controller.Run({"/stop"}), kExitOk);
    ExpectNoBox(controller.Run({"/uninstall"}), kExitOk);
}

// A program path or window class longer than the launcher's fields is refused: nothing is
// registered, and an existing registration does not run a cut path.
TEST(Install, OverLongApplicationValuesAreRefused)
{
    ControllerFolder controller("install-long");
    std::string name = rig::UniqueServiceName("Long");
    const ConfigEntries longValues[] = {
        With(RequiredEntries(name), "AppExe", std::string(260, 'p') + ".exe"),
        With(RequiredEntries(name), "AppWinClass", "Tarvo" + std::string(123, 'w')),
    };
    const std::string why[] = {"AppExe has 264 characters, at most 259", "AppWinClass has 128 characters, at most 127"};
    for (size_t i = 0; i < std::size(longValues); i++) {
        ASSERT_TRUE(controller.WriteConfig(ConfigText(longValues[i])));
        rig::RunResult run = controller.Run({"/install"});
        ExpectNoBox(run, kExitInstallFailed);
        EXPECT_EQ(run.output, "Service " + name + " could not be installed: " + why[i] + "\r\n");
        EXPECT_FALSE(QueryRegistration(name).found);
    }
    // Exactly at the limits the values are taken.
    ASSERT_TRUE(controller.WriteConfig(
        ConfigText(With(RequiredEntries(name), "AppWinClass", "Tarvo" + std::string(122, 'w')))));
    {
        RemoveOnExit cleanup(name);
        ExpectNoBox(controller.Run({"/install"}), kExitOk);
        EnsureStopped(name);
        ExpectNoBox(controller.Run({"/uninstall"}), kExitOk);
    }

    // The service process with a registration in place but a value that does not fit.
    rig::ServiceGuard service(name, controller.Exe());
    ASSERT_TRUE(service.Created());
    ASSERT_TRUE(controller.WriteConfig(ConfigText(longValues[0])));
    ExpectNoBox(controller.Run({}), kExitNotInstalled);
}

} // namespace
} // namespace e2e
