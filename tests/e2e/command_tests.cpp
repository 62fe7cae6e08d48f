// The command-line service commands /start and /stop against the real Service Control
// Manager, on a registered test service (TarvoTestService.exe) named by the cfg's AppName.
#include <windows.h>

#include <thread>

#include "e2e_support.h"

namespace e2e {
namespace {

// A controller folder whose service.cfg names a freshly registered test service; the guard
// removes the service again, also when the test fails.
class ServiceCommands : public ::testing::Test {
protected:
    ServiceCommands()
        : controller("commands"), service(rig::UniqueServiceName("Cmd"), controller.PathOf("TarvoTestService.exe"))
    {
    }

    void SetUp() override
    {
        ASSERT_TRUE(controller.Folder().CopyIn(TestServiceExe()));
        ASSERT_TRUE(service.Created()) << "CreateService error " << service.CreateError();
        ASSERT_TRUE(controller.WriteConfig(ConfigText(RequiredEntries(service.Name()))));
        ASSERT_EQ(rig::QueryServiceState(service.Name()), static_cast<DWORD>(SERVICE_STOPPED));
    }

    DWORD State() const { return rig::QueryServiceState(service.Name()); }
    std::string StateName() const { return rig::ServiceStateName(State()); }
    Record ServiceRecord() const { return ReadRecord(controller.PathOf("TarvoTestService.record")); }
    void SetStopDelay(DWORD ms)
    {
        ASSERT_TRUE(controller.Folder().Write("TarvoTestService.ini", "StopDelayMs=" + std::to_string(ms) + "\r\n"));
    }

    ControllerFolder controller;
    rig::ServiceGuard service;
};

// Each command says in one line what it did, or what failed with the system's error.
TEST_F(ServiceCommands, StartAndStopCycleWithResultCodes)
{
    const std::string name = service.Name();
    rig::RunResult run = controller.Run({"/start"});
    ExpectNoBox(run, kExitOk);
    EXPECT_EQ(run.output, "Service " + name + " started.\r\n");
    EXPECT_TRUE(rig::WaitForServiceState(name, SERVICE_RUNNING, kStateTimeoutMs)) << StateName();

    // Starting a running service fails in the manager.
    run = controller.Run({"/start"});
    ExpectNoBox(run, kExitStartFailed);
    EXPECT_EQ(run.output.rfind("Service " + name + " could not be started: error 1056: ", 0), 0u) << run.output;
    EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_RUNNING));

    // /stop returns once the service has left the running states.
    run = controller.Run({"/stop"});
    ExpectNoBox(run, kExitOk);
    EXPECT_EQ(run.output, "Service " + name + " stopped.\r\n");
    EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_STOPPED)) << StateName();

    run = controller.Run({"/stop", "/LANG:GER"});
    ExpectNoBox(run, kExitStopFailed);
    EXPECT_EQ(run.output.rfind("Service " + name + " konnte nicht gestoppt werden: Fehler 1062: ", 0), 0u)
        << run.output;
    EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_STOPPED));

    // The service saw one start and one stop request, in order.
    const std::vector<std::string> expected = {"START_PENDING", "RUNNING", "STOP_PENDING", "STOPPED"};
    EXPECT_EQ(ServiceRecord().Values("state"), expected);
    EXPECT_EQ(ServiceRecord().Values("control"), std::vector<std::string>{"STOP"});
}

// START is tested before STOP, whatever their order on the command line; the switch name is
// matched without regard to case, with "/" or "-".
TEST_F(ServiceCommands, StartSwitchSpellings)
{
    const std::vector<std::vector<std::string>> spellings = {{"/start"}, {"/START"},          {"-START"},
                                                             {"-Start"}, {"/stop", "/start"}, {"-stop", "-start"}};
    for (const auto& switches : spellings) {
        SCOPED_TRACE(switches[0] + (switches.size() > 1 ? " " + switches[1] : std::string()));
        ExpectNoBox(controller.Run(switches), kExitOk);
        EXPECT_TRUE(rig::WaitForServiceState(service.Name(), SERVICE_RUNNING, kStateTimeoutMs)) << StateName();
        ASSERT_TRUE(rig::StopServiceByName(service.Name()));
        ASSERT_TRUE(rig::WaitForServiceState(service.Name(), SERVICE_STOPPED, kStateTimeoutMs)) << StateName();
    }
}

// An argument that only starts with the switch name is not the switch: with no switch the
// program runs as the service process, and from a prompt the dispatcher connection fails (4)
// because the Service Control Manager did not start it. The service itself is not started.
TEST_F(ServiceCommands, NotASwitchRunsAsTheServiceProcess)
{
    const std::vector<std::vector<std::string>> argumentSets = {{"/start:x"}, {}};
    for (const auto& arguments : argumentSets) {
        SCOPED_TRACE(arguments.empty() ? std::string("no argument") : arguments[0]);
        ExpectNoBox(controller.Run(arguments), kExitDispatcherFailed);
        EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_STOPPED)) << StateName();
    }
    EXPECT_FALSE(ServiceRecord().Has("state"));
}

// /stop polls once a second while the service is stop pending and returns once it stopped.
TEST_F(ServiceCommands, StopWaitsWhileStopPending)
{
    SetStopDelay(2500);
    ExpectNoBox(controller.Run({"/start"}), kExitOk);
    ASSERT_TRUE(rig::WaitForServiceState(service.Name(), SERVICE_RUNNING, kStateTimeoutMs)) << StateName();

    rig::RunResult stop = controller.Run({"/stop"});
    ExpectNoBox(stop, kExitOk);
    EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_STOPPED)) << StateName();
    EXPECT_GE(stop.seconds, 2.5);
    EXPECT_LT(stop.seconds, 10.0);
}

// A service that stays stop pending: /stop gives up after 21 seconds and says so with its own
// exit code, through the console companion as well. /status meanwhile reports the pending stop.
TEST_F(ServiceCommands, StopPastItsWaitIsAFailure)
{
    SetStopDelay(25000);
    ExpectNoBox(controller.Run({"/start"}), kExitOk);
    ASSERT_TRUE(rig::WaitForServiceState(service.Name(), SERVICE_RUNNING, kStateTimeoutMs)) << StateName();

    rig::RunResult stop;
    std::thread stopping([&] { stop = controller.RunCompanion({"/stop"}); });
    EXPECT_TRUE(rig::WaitForServiceState(service.Name(), SERVICE_STOP_PENDING, kStateTimeoutMs)) << StateName();
    rig::RunResult status = controller.RunCompanion({"/status"});
    stopping.join();
    EXPECT_EQ(status.exitCode, kStatusPending);
    EXPECT_EQ(status.output, "Service " + service.Name() + " is stop pending.\r\n");
    ExpectNoBox(stop, kExitStopTimedOut);
    EXPECT_EQ(stop.output, "Service " + service.Name() + " did not stop within 21 seconds; it is stop pending.\r\n");
    EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_STOP_PENDING)) << StateName();
    EXPECT_GE(stop.seconds, 21.0);
    EXPECT_LT(stop.seconds, 26.0);
    EXPECT_TRUE(rig::WaitForServiceState(service.Name(), SERVICE_STOPPED, kStateTimeoutMs)) << StateName();
}

// /status through the console companion: the state in one line and as the exit code; it
// changes nothing.
TEST_F(ServiceCommands, StatusNamesEachStateAndAnswersItsCode)
{
    ASSERT_TRUE(controller.Folder().Write("TarvoTestService.ini", "StartDelayMs=3000\r\nStopDelayMs=3000\r\n"));
    const std::string prefix = "Service " + service.Name();
    auto expectStatus = [&](DWORD code, const std::string& line) {
        rig::RunResult status = controller.RunCompanion({"/status"});
        ExpectNoBox(status, code);
        EXPECT_EQ(status.output, line + "\r\n");
    };
    rig::RunResult status = controller.RunCompanion({"/status"});
    ExpectNoBox(status, kStatusStopped);
    EXPECT_EQ(status.output.rfind(prefix + " is stopped", 0), 0u) << status.output;

    ExpectNoBox(controller.Run({"/start"}), kExitOk);
    expectStatus(kStatusPending, prefix + " is start pending.");
    ASSERT_TRUE(rig::WaitForServiceState(service.Name(), SERVICE_RUNNING, kStateTimeoutMs)) << StateName();
    // The test service starts no application.
    expectStatus(kStatusRunning, prefix + " is running (service process " + ServiceRecord().Value("process pid") +
                                     ", no application).");

    ASSERT_TRUE(rig::StopServiceByName(service.Name()));
    expectStatus(kStatusPending, prefix + " is stop pending.");
    ASSERT_TRUE(rig::WaitForServiceState(service.Name(), SERVICE_STOPPED, kStateTimeoutMs)) << StateName();
    expectStatus(kStatusStopped, prefix + " is stopped (it ended without an error).");

    // German, and nothing changed: one start, one stop.
    status = controller.RunCompanion({"/status", "/LANG:GER"});
    EXPECT_EQ(status.output, prefix + " ist gestoppt (ohne Fehler beendet).\r\n");
    EXPECT_EQ(ServiceRecord().Values("control"), std::vector<std::string>{"STOP"});
}

struct MissingCase {
    std::vector<std::string> args;
    DWORD exitCode;
};

// Commands on a service that is not registered fail with their own codes and show nothing.
TEST(ServiceCommandsMissing, ResultCodesForAServiceThatDoesNotExist)
{
    ControllerFolder controller("missing");
    const std::string name = rig::UniqueServiceName("Missing");
    ASSERT_TRUE(controller.WriteConfig(ConfigText(RequiredEntries(name))));
    const MissingCase cases[] = {
        {{"/start"}, kExitStartFailed},    {{"/stop"}, kExitStopFailed},       {{}, kExitNotInstalled},
        {{"/start:x"}, kExitNotInstalled}, {{"/status"}, kStatusNotInstalled},
    };
    for (const MissingCase& missing : cases) {
        SCOPED_TRACE(missing.args.empty() ? std::string("no argument") : missing.args[0]);
        ExpectNoBox(controller.Run(missing.args), missing.exitCode);
        ExpectNoBox(controller.RunCompanion(missing.args), missing.exitCode);
    }
    EXPECT_EQ(controller.RunCompanion({"-STATUS"}).output, "Service " + name + " is not installed.\r\n");
    EXPECT_EQ(controller.Run({}).output,
              "Without a switch this program is the service process: Service " + name +
                  " is not installed or its configuration is refused. /? shows the switches.\r\n");
    EXPECT_EQ(rig::QueryServiceState(name), 0u);
}

} // namespace
} // namespace e2e
