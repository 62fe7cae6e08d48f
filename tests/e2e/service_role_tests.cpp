// service.exe as the service process: registered with its own path, started by the Service
// Control Manager, it runs the sample application with "/service" in its own folder and asks
// it to quit through its main window when the service is stopped. TarvoSample.record shows how
// the application was started and how it ended.
#include <windows.h>

#include "e2e_support.h"

namespace e2e {
namespace {

class ServiceRole : public ::testing::Test {
protected:
    ServiceRole()
        : controller("role"), service(rig::UniqueServiceName("Role"), controller.Exe()),
          // A class of this test alone, so that no other window can answer for the application.
          windowClass("TarvoTestWindow" + std::to_string(GetCurrentProcessId()))
    {
    }

    void SetUp() override
    {
        ASSERT_TRUE(controller.Folder().CopyIn(SampleExe()));
        ASSERT_TRUE(service.Created()) << "CreateService error " << service.CreateError();
        ASSERT_TRUE(
            controller.WriteConfig(ConfigText(With(RequiredEntries(service.Name()), "AppWinClass", windowClass))));
        controller.Watch("TarvoSample.ini");
    }

    void WriteSampleSettings(const std::string& extra)
    {
        ASSERT_TRUE(controller.Folder().Write("TarvoSample.ini", "WindowClass=" + windowClass + "\r\n" + extra));
    }

    DWORD State() const { return rig::QueryServiceState(service.Name()); }
    std::string StateName() const { return rig::ServiceStateName(State()); }
    std::string RecordPath() const { return controller.PathOf("TarvoSample.record"); }
    Record SampleRecord() const { return ReadRecord(RecordPath()); }

    ControllerFolder controller;
    rig::ServiceGuard service;
    std::string windowClass;
};

TEST_F(ServiceRole, RunsTheApplicationAndStopsItThroughItsWindow)
{
    WriteSampleSettings("");
    ExpectNoBox(controller.Run({"/start"}), kExitOk);
    ASSERT_TRUE(rig::WaitForServiceState(service.Name(), SERVICE_RUNNING, kStateTimeoutMs)) << StateName();
    ASSERT_TRUE(WaitForRecordKey(RecordPath(), "window", kStateTimeoutMs));

    Record started = SampleRecord();
    EXPECT_EQ(started.Value("argc"), "1");
    EXPECT_EQ(started.Value("arg1"), "/service");
    EXPECT_EQ(Lower(started.Value("cwd")), Lower(controller.Folder().Path()));
    std::string commandLine = "\"";
    commandLine += controller.PathOf("TarvoSample.exe");
    commandLine += "\" /service";
    EXPECT_EQ(Lower(started.Value("commandline")), Lower(commandLine));
    // The window itself lives on the services' desktop, out of this process's reach; the
    // application records that it created it.
    EXPECT_EQ(started.Value("window"), windowClass);
    // /status finds the application as the service process's child.
    rig::RunResult status = controller.Run({"/status"});
    ExpectNoBox(status, kStatusRunning);
    EXPECT_NE(status.output.find(", application process " + started.Value("start pid") + ").\r\n"), std::string::npos)
        << status.output;

    // While the application runs, the service keeps running, and holds the application file:
    // what was checked cannot be replaced.
    Sleep(500);
    EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_RUNNING)) << StateName();
    EXPECT_FALSE(MoveFileA(controller.PathOf("TarvoSample.exe").c_str(), controller.PathOf("moved.exe").c_str()));

    ExpectNoBox(controller.Run({"/stop"}), kExitOk);
    EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_STOPPED)) << StateName();
    Record ended = SampleRecord();
    EXPECT_EQ(ended.Value("end"), "WM_QUIT");
    EXPECT_EQ(ended.Values("start pid").size(), 1u);
}

// The quit request reaches the application's main loop even while a modal dialog is open.
TEST_F(ServiceRole, StopEndsAnApplicationThatShowsAModalDialog)
{
    WriteSampleSettings("ModalDialog=1\r\n");
    ExpectNoBox(controller.Run({"/start"}), kExitOk);
    ASSERT_TRUE(WaitForRecordKey(RecordPath(), "modal", kStateTimeoutMs));
    ASSERT_EQ(SampleRecord().Value("modal"), "open");
    ExpectNoBox(controller.Run({"/stop"}), kExitOk);
    EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_STOPPED)) << StateName();
    Record ended = SampleRecord();
    EXPECT_EQ(ended.Value("modal end"), "0");
    EXPECT_EQ(ended.Value("end"), "WM_QUIT");
}

// A stop right after the start can come before the application has opened its window: the
// service looks for it until it can ask it to quit, and the stop completes.
TEST_F(ServiceRole, StopBeforeTheApplicationHasItsWindowStillEndsIt)
{
    WriteSampleSettings("WindowAfterMs=1500\r\n");
    ExpectNoBox(controller.Run({"/start"}), kExitOk);
    ASSERT_TRUE(WaitForRecordKey(RecordPath(), "language", kStateTimeoutMs));
    EXPECT_FALSE(SampleRecord().Has("window"));
    ExpectNoBox(controller.Run({"/stop"}), kExitOk);
    EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_STOPPED)) << StateName();
    EXPECT_EQ(SampleRecord().Value("end"), "WM_QUIT");
}

// The service runs exactly as long as the application: when it ends by itself, the service stops.
TEST_F(ServiceRole, ApplicationEndingStopsTheService)
{
    WriteSampleSettings("ExitAfterMs=1500\r\n");
    ExpectNoBox(controller.Run({"/start"}), kExitOk);
    ASSERT_TRUE(WaitForRecordKey(RecordPath(), "window", kStateTimeoutMs));
    EXPECT_TRUE(WaitForRecordKey(RecordPath(), "end", kStateTimeoutMs));
    EXPECT_TRUE(rig::WaitForServiceState(service.Name(), SERVICE_STOPPED, kStateTimeoutMs)) << StateName();
    EXPECT_EQ(SampleRecord().Value("end"), "timer");
}

// An application without a window of the configured class cannot be asked to quit: the
// service stays stop pending until the application ends by itself, and /stop waits for that.
TEST_F(ServiceRole, ApplicationWithoutWindowKeepsTheServiceStopPending)
{
    WriteSampleSettings("NoWindow=1\r\nExitAfterMs=4000\r\n");
    ExpectNoBox(controller.Run({"/start"}), kExitOk);
    ASSERT_TRUE(rig::WaitForServiceState(service.Name(), SERVICE_RUNNING, kStateTimeoutMs)) << StateName();
    ASSERT_TRUE(WaitForRecordKey(RecordPath(), "window", kStateTimeoutMs));
    EXPECT_EQ(SampleRecord().Value("window"), "none");

    rig::RunResult stop = controller.Run({"/stop"});
    ExpectNoBox(stop, kExitOk);
    EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_STOPPED)) << StateName();
    EXPECT_EQ(SampleRecord().Value("end"), "timer");
    EXPECT_GE(stop.seconds, 1.0);
}

// An application that cannot be started ends the service at once.
TEST_F(ServiceRole, MissingApplicationEndsTheServiceAtOnce)
{
    ASSERT_TRUE(controller.WriteConfig(ConfigText(
        With(With(RequiredEntries(service.Name()), "AppWinClass", windowClass), "AppExe", "NoSuchProgram.exe"))));
    ExpectNoBox(controller.Run({"/start"}), kExitOk);
    EXPECT_TRUE(rig::WaitForServiceState(service.Name(), SERVICE_STOPPED, kStateTimeoutMs)) << StateName();
    EXPECT_FALSE(SampleRecord().Has("start pid"));
}

} // namespace
} // namespace e2e
