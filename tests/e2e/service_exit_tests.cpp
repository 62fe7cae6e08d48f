// How the service process tells the Service Control Manager why it stopped: an application
// that cannot be started, or that ends by itself with a non-zero exit code, stops the service
// with an error (the condition for the manager's recovery actions); a stop request or a clean
// end stops it without one. The codes are read back with QueryServiceStatus.
#include <windows.h>

#include "e2e_support.h"
#include "service/schandle.h"

namespace e2e {
namespace {

struct ExitCodes {
    DWORD win32;
    DWORD serviceSpecific;
};

// Waits until the service has stopped and expects the codes of its stopped report.
void ExpectStoppedWith(const std::string& name, ExitCodes expected)
{
    EXPECT_TRUE(rig::WaitForServiceState(name, SERVICE_STOPPED, kStateTimeoutMs))
        << rig::ServiceStateName(rig::QueryServiceState(name));
    SERVICE_STATUS status = ServiceStatusOf(name);
    EXPECT_EQ(status.dwWin32ExitCode, expected.win32);
    EXPECT_EQ(status.dwServiceSpecificExitCode, expected.serviceSpecific);
}

class ServiceExit : public ::testing::Test {
protected:
    ServiceExit() : controller("exit"), service(rig::UniqueServiceName("Exit"), controller.Exe()) {}

    void SetUp() override
    {
        ASSERT_TRUE(controller.Folder().CopyIn(SampleExe()));
        ASSERT_TRUE(service.Created()) << "CreateService error " << service.CreateError();
        ASSERT_TRUE(WriteConfig(service.Name(), "TarvoSample.exe"));
    }

    bool WriteConfig(const std::string& name, const std::string& program)
    {
        return controller.WriteConfig(
            ConfigText(With(With(RequiredEntries(name), "AppWinClass", windowClass), "AppExe", program)));
    }

    // Knobs of the sample application for its next run; the record of earlier runs goes.
    bool PrepareSample(const std::string& settings)
    {
        DeleteFileA(RecordPath().c_str());
        return controller.Folder().Write("TarvoSample.ini", "WindowClass=" + windowClass + "\r\n" + settings);
    }

    std::string RecordPath() const { return controller.PathOf("TarvoSample.record"); }

    ControllerFolder controller;
    rig::ServiceGuard service;
    // A class of this test alone, so that no other window can answer for the application.
    std::string windowClass = "TarvoTestWindow" + std::to_string(GetCurrentProcessId());
};

// The start's system error goes to the manager, also when the log (which writes between the
// failed start and the reading of the error) is on: a service registered with a log switch.
TEST_F(ServiceExit, ApplicationThatCannotBeStartedStopsWithTheStartError)
{
    std::string logPath = controller.PathOf("service.log");
    for (const std::string& switches : {std::string(), " /LOGIT:" + logPath}) {
        SCOPED_TRACE("service.exe" + switches);
        rig::ServiceGuard logged(rig::UniqueServiceName("Exit"), rig::QuoteArgument(controller.Exe()) + switches);
        ASSERT_TRUE(logged.Created()) << "CreateService error " << logged.CreateError();
        ASSERT_TRUE(WriteConfig(logged.Name(), "NoSuchProgram.exe"));
        ExpectNoBox(controller.Run({"/start"}), kExitOk);
        ExpectStoppedWith(logged.Name(), {ERROR_FILE_NOT_FOUND, 1});
    }
    EXPECT_NE(rig::ReadFileBytes(logPath).find(
                  "] SERVICELAUNCHER::Run application not started, stopping with win32 exit code 2\r\n"),
              std::string::npos);
}

// Only an end by itself with a non-zero code is a failure. After a stop request the end is
// normal whatever its code: without a window to ask, the application ends later by itself.
TEST_F(ServiceExit, OnlyAnEndByItselfWithANonZeroCodeIsAFailure)
{
    struct Case {
        const char* settings;
        bool stop;
        const char* end;
        ExitCodes expected;
    };
    const Case cases[] = {
        {"ExitAfterMs=500\r\nExitCode=3\r\n", false, "timer", {ERROR_SERVICE_SPECIFIC_ERROR, 3}},
        {"ExitAfterMs=500\r\nExitCode=0\r\n", false, "timer", {NO_ERROR, 1}},
        {"", true, "WM_QUIT", {NO_ERROR, 1}},
        {"NoWindow=1\r\nExitAfterMs=3000\r\nExitCode=3\r\n", true, "timer", {NO_ERROR, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        ASSERT_TRUE(PrepareSample(c.settings));
        ExpectNoBox(controller.Run({"/start"}), kExitOk);
        ASSERT_TRUE(WaitForRecordKey(RecordPath(), "window", kStateTimeoutMs));
        if (c.stop) {
            ExpectNoBox(controller.Run({"/stop"}), kExitOk);
        }
        ASSERT_TRUE(WaitForRecordKey(RecordPath(), "end", kStateTimeoutMs));
        ExpectStoppedWith(service.Name(), c.expected);
        EXPECT_EQ(ReadRecord(RecordPath()).Value("end"), c.end);
        if (c.expected.win32 == ERROR_SERVICE_SPECIFIC_ERROR) {
            EXPECT_EQ(controller.Run({"/status"}).output,
                      "Service " + service.Name() +
                          " is stopped (Win32 exit code 1066, service-specific exit code 3: the application ended by "
                          "itself with exit code 3).\r\n");
        }
    }
}

// Restart one second after a failure. Wine 8's manager keeps the setting but does not act on
// it (no restart follows; and it refuses SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, with which
// Windows applies the actions to a service that stops with an error, as invalid), so only the
// acceptance and the failure report are checked.
TEST_F(ServiceExit, RestartOnFailureIsAccepted)
{
    {
        ServiceHandles configured = OpenServiceHandles(service.Name().c_str(), SERVICE_CHANGE_CONFIG | SERVICE_START);
        ASSERT_TRUE(configured);
        SC_ACTION restart{SC_ACTION_RESTART, 1000};
        SERVICE_FAILURE_ACTIONSA actions{INFINITE, nullptr, nullptr, 1, &restart};
        ASSERT_TRUE(ChangeServiceConfig2A(configured.service.get(), SERVICE_CONFIG_FAILURE_ACTIONS, &actions))
            << "error " << GetLastError();
    }
    ASSERT_TRUE(PrepareSample("ExitAfterMs=500\r\nExitCode=3\r\n"));
    ExpectNoBox(controller.Run({"/start"}), kExitOk);
    ASSERT_TRUE(WaitForRecordKey(RecordPath(), "end", kStateTimeoutMs));
    ExpectStoppedWith(service.Name(), {ERROR_SERVICE_SPECIFIC_ERROR, 3});
}

} // namespace
} // namespace e2e
