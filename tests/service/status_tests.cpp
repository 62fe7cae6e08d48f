#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "diag/logit.h"
#include "osys/handles.h"
#include "service/servicelauncher.h"
#include "testlog.h"

namespace {

// A service whose control handlers only count their calls.
class CountingService : public SERVICEWRAPPER {
public:
    explicit CountingService(const char* name = "TarvoCountingService")
        : SERVICEWRAPPER(nullptr, name, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN)
    {
    }
    void Run() override {}
    void OnStop() override { stops++; }
    void OnInterrogate() override { interrogates++; }
    void OnShutdown() override { shutdowns++; }
    int OnUserControl(DWORD code) override
    {
        userCodes.push_back(code);
        return 0;
    }
    int stops = 0, interrogates = 0, shutdowns = 0;
    std::vector<DWORD> userCodes;

    // True when another thread can take the status lock at this moment.
    bool LockIsFree()
    {
        bool free = false;
        std::thread other([&] {
            free = TryEnterCriticalSection(statusLock.pCritSect.get()) != FALSE;
            if (free)
                LeaveCriticalSection(statusLock.pCritSect.get());
        });
        other.join();
        return free;
    }
};

// Publishes nothing; notes for each report whether another thread could take the lock.
CountingService* watched = nullptr;
std::vector<std::pair<DWORD, bool>> published;

BOOL WINAPI NoteLockAtPublish(SERVICE_STATUS_HANDLE, LPSERVICE_STATUS record)
{
    published.emplace_back(record->dwCurrentState, watched->LockIsFree());
    return TRUE;
}

// A service whose stop handler stays inside until the test lets it go.
class BlockingStopService : public CountingService {
public:
    void OnStop() override
    {
        SetEvent(entered.get());
        WaitForSingleObject(release.get(), INFINITE);
        CountingService::OnStop();
    }
    using SERVICEWRAPPER::DetachEntryPoints;
    UniqueHandle entered{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    UniqueHandle release{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
};

// Reads the states that the service reported, from the log lines of its status reports.
class ReportLog : public rig::TestLog {
public:
    ReportLog() : TestLog("tarvo_status_" + std::to_string(GetCurrentProcessId()) + ".log") {}
    std::vector<int> States() const
    {
        std::ifstream in(path);
        std::vector<int> states;
        std::string line;
        const std::string marker = "SERVICEWRAPPER::ReportStatus state= ";
        while (std::getline(in, line)) {
            size_t at = line.find(marker);
            if (at != std::string::npos)
                states.push_back(std::stoi(line.substr(at + marker.size())));
        }
        return states;
    }
};

using States = std::vector<int>;

TEST(ServiceStatus, InitialRecord)
{
    CountingService service;
    const SERVICE_STATUS& status = service.Status();
    EXPECT_EQ(status.dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(status.dwControlsAccepted, static_cast<DWORD>(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN));
    EXPECT_EQ(status.dwServiceSpecificExitCode, 0u);
}

TEST(ServiceStatus, StoppedIsReportedOnceAndNeverLeft)
{
    ReportLog log;
    CountingService service;
    service.ReportStatus(SERVICE_RUNNING);
    service.ReportStatus(SERVICE_STOPPED);
    EXPECT_EQ(service.Status().dwServiceSpecificExitCode, 1u);
    service.ReportStatus(SERVICE_STOPPED);
    service.ReportStatus(SERVICE_STOP_PENDING);
    SERVICEWRAPPER::ControlHandler(SERVICE_CONTROL_STOP);
    EXPECT_EQ(service.Status().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(log.States(), States({SERVICE_RUNNING, SERVICE_STOPPED}));
}

// Once stopped is published the dispatcher may return and the owner destroy the object with
// its lock: the report must not hold the lock then.
TEST(ServiceStatus, StoppedIsPublishedWithTheLockLeft)
{
    CountingService service;
    watched = &service;
    SERVICEWRAPPER::publishStatus = NoteLockAtPublish;
    service.ReportStatus(SERVICE_STOPPED);
    SERVICEWRAPPER::publishStatus = SetServiceStatus;
    ASSERT_EQ(published.size(), 1u);
    EXPECT_EQ(published[0], std::make_pair(static_cast<DWORD>(SERVICE_STOPPED), true));
}

// When the dispatcher returns, the owner destroys the object; a control handler still running
// (the manager may call it on a thread of its own) must have left the object by then.
TEST(ServiceStatus, DetachWaitsForAControlInFlight)
{
    BlockingStopService service;
    std::thread handler([] { SERVICEWRAPPER::ControlHandler(SERVICE_CONTROL_STOP); });
    ASSERT_EQ(WaitForSingleObject(service.entered.get(), 5000), WAIT_OBJECT_0);
    std::atomic<bool> detached{false};
    std::thread owner([&] {
        service.DetachEntryPoints();
        detached = true;
    });
    Sleep(300);
    EXPECT_FALSE(detached) << "detached while a control handler was inside the object";
    SetEvent(service.release.get());
    handler.join();
    owner.join();
    EXPECT_EQ(service.stops, 1);
    // Afterwards no control reaches the object.
    SERVICEWRAPPER::ControlHandler(SERVICE_CONTROL_STOP);
    EXPECT_EQ(service.stops, 1);
}

TEST(ServiceStatus, ControlsReachTheirHandlersAndReportTheState)
{
    ReportLog log;
    CountingService service;
    service.ReportStatus(SERVICE_RUNNING);

    SERVICEWRAPPER::ControlHandler(SERVICE_CONTROL_INTERROGATE);
    EXPECT_EQ(service.interrogates, 1);
    SERVICEWRAPPER::ControlHandler(200);
    EXPECT_EQ(service.userCodes, std::vector<DWORD>({200}));
    // Shutdown asks the service to end without a stop-pending report first.
    SERVICEWRAPPER::ControlHandler(SERVICE_CONTROL_SHUTDOWN);
    EXPECT_EQ(service.shutdowns, 1);
    SERVICEWRAPPER::ControlHandler(SERVICE_CONTROL_STOP);
    EXPECT_EQ(service.stops, 1);

    EXPECT_EQ(log.States(), States({SERVICE_RUNNING, SERVICE_RUNNING, SERVICE_RUNNING, SERVICE_RUNNING,
                                    SERVICE_STOP_PENDING, SERVICE_STOP_PENDING}));
    EXPECT_EQ(service.Status().dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
}

// Publishes nothing; keeps each report's state, check point and wait hint.
std::vector<std::tuple<DWORD, DWORD, DWORD>> reports;
BOOL WINAPI KeepReport(SERVICE_STATUS_HANDLE, LPSERVICE_STATUS record)
{
    reports.emplace_back(record->dwCurrentState, record->dwCheckPoint, record->dwWaitHint);
    return TRUE;
}

// A pending stop, whether a stop or a preshutdown asked for it, shows a rising check point with
// a wait hint until the stopped report, which carries neither and comes once.
TEST(ServiceStatus, APendingStopShowsItsProgress)
{
    using Report = std::tuple<DWORD, DWORD, DWORD>;
    const DWORD hint = SERVICEWRAPPER::STOP_WAIT_HINT_MS;
    for (DWORD control : {SERVICE_CONTROL_STOP, SERVICE_CONTROL_PRESHUTDOWN}) {
        SCOPED_TRACE(control);
        CountingService service;
        reports.clear();
        SERVICEWRAPPER::publishStatus = KeepReport;
        service.ReportStatus(SERVICE_RUNNING);
        service.ReportStopProgress(); // not pending: nothing
        SERVICEWRAPPER::ControlHandler(control);
        service.ReportStopProgress();
        service.ReportStopProgress();
        SERVICEWRAPPER::ControlHandler(SERVICE_CONTROL_INTERROGATE);
        service.ReportStatus(SERVICE_STOPPED);
        service.ReportStopProgress();
        SERVICEWRAPPER::publishStatus = SetServiceStatus;
        EXPECT_EQ(service.stops, 1);
        EXPECT_EQ(reports, (std::vector<Report>{{SERVICE_RUNNING, 0, 0},
                                                {SERVICE_STOP_PENDING, 1, hint},
                                                {SERVICE_STOP_PENDING, 1, hint}, // after the handler
                                                {SERVICE_STOP_PENDING, 2, hint},
                                                {SERVICE_STOP_PENDING, 3, hint},
                                                {SERVICE_STOP_PENDING, 3, hint}, // the interrogation
                                                {SERVICE_STOPPED, 0, 0}}));
    }
}

// The launcher takes the preshutdown control where the system has it, so that the application
// gets the registration's preshutdown time to save before the system goes down.
TEST(ServiceLauncher, AcceptsStopShutdownAndPreshutdown)
{
    SERVICELAUNCHER launcher(nullptr, "TarvoTestControls", "TarvoWindow", "TarvoSample.exe");
    EXPECT_EQ(launcher.Status().dwControlsAccepted,
              static_cast<DWORD>(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PRESHUTDOWN));
}

TEST(ServiceStatus, TheLastConstructedObjectIsTheCurrentService)
{
    CountingService first("TarvoFirst");
    EXPECT_EQ(currentService, &first);
    {
        CountingService second("TarvoSecond");
        EXPECT_EQ(currentService, &second);
        SERVICEWRAPPER::ControlHandler(SERVICE_CONTROL_INTERROGATE);
        EXPECT_EQ(second.interrogates, 1);
        EXPECT_EQ(first.interrogates, 0);
    }
    // A destroyed object is never reached through the static entry points.
    EXPECT_EQ(currentService, nullptr);
    SERVICEWRAPPER::ControlHandler(SERVICE_CONTROL_INTERROGATE);
    EXPECT_EQ(first.interrogates, 0);
}

TEST(ServiceLauncher, FieldsThatDoNotFitAreRefused)
{
    std::string path259(259, 'p'), path260(260, 'p');
    std::string class127 = "Tarvo" + std::string(122, 'c'), class128 = class127 + "c";
    EXPECT_TRUE(SERVICELAUNCHER(nullptr, "x", class127.c_str(), path259.c_str()).IsConfigValid());
    EXPECT_FALSE(SERVICELAUNCHER(nullptr, "x", class127.c_str(), path260.c_str()).IsConfigValid());
    EXPECT_FALSE(SERVICELAUNCHER(nullptr, "x", class128.c_str(), path259.c_str()).IsConfigValid());
}

// A window of the class in a process the launcher did not start (here the test's own) is never
// asked to quit: any program on the desktop may register the class first.
TEST(ServiceLauncher, StopPassesOverAWindowOfAProcessItDidNotStart)
{
    const char* windowClass = "TarvoTestForeignWindow";
    WNDCLASSA windowType = {};
    windowType.lpfnWndProc = DefWindowProcA;
    windowType.hInstance = GetModuleHandleA(nullptr);
    windowType.lpszClassName = windowClass;
    ASSERT_TRUE(RegisterClassA(&windowType));
    HWND window = CreateWindowA(windowClass, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                windowType.hInstance, nullptr);
    ASSERT_TRUE(window);
    SERVICELAUNCHER launcher(nullptr, "TarvoTestForeign", windowClass, "TarvoSample.exe");
    launcher.OnStop();
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    DestroyWindow(window);
    UnregisterClassA(windowClass, windowType.hInstance);
}

TEST(ServiceLauncher, WorkingDirectoryLeavesBuildFoldersOfTheSourceTree)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string root = std::string(temp) + "tarvo_workdir_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(root.c_str(), nullptr);
    EXPECT_STREQ(SERVICELAUNCHER::WorkingDirectory(STRING((root + "\\Debug").c_str())).c_str(),
                 (root + "\\Debug").c_str());
    std::ofstream(root + "\\main.cpp") << "// source\n";
    EXPECT_STREQ(SERVICELAUNCHER::WorkingDirectory(STRING((root + "\\Debug").c_str())).c_str(), root.c_str());
    EXPECT_STREQ(SERVICELAUNCHER::WorkingDirectory(STRING((root + "\\release").c_str())).c_str(), root.c_str());
    EXPECT_STREQ(SERVICELAUNCHER::WorkingDirectory(STRING((root + "\\Release64").c_str())).c_str(),
                 (root + "\\Release64").c_str());
    DeleteFileA((root + "\\main.cpp").c_str());
    RemoveDirectoryA(root.c_str());
}

} // namespace
