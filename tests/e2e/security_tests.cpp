// What service.exe runs as LocalSystem stays the trusted accounts' choice: /install refuses, and
// the service process launches nothing, when anyone else may change service.exe, its folder,
// service.cfg, a commandline.ini, the application, its language libraries or a folder above
// them; libraries it loads by bare name never come from its folder, and language libraries run
// no code.
#include <windows.h>

#include <string>

#include "e2e_support.h"
#include "planting.h"

namespace e2e {
namespace {

// The paths a writer could use to choose what the service runs; "" is the folder itself.
const char* const kGuardedPaths[] = {"",     "service.cfg",       "TarvoSample.exe",
                                     "service.exe", "lang",        "lang\\english.dll", "commandline.ini"};

std::string PathIn(ControllerFolder& controller, const std::string& name)
{
    return name.empty() ? controller.Folder().Path() : controller.PathOf(name);
}

// The whole log of a finished run; it is complete once the farewell line is in.
std::string WaitForLog(const std::string& path, DWORD timeoutMs)
{
    std::string log;
    for (DWORD waited = 0; waited <= timeoutMs; waited += 100) {
        log = rig::ReadFileBytes(path);
        if (log.find("Over and out.") != std::string::npos)
            break;
        Sleep(100);
    }
    return log;
}

TEST(InstallSecurity, RefusesPathsOthersMayChange)
{
    for (const char* target : kGuardedPaths) {
        SCOPED_TRACE(std::string("writable by everyone: ") + (*target ? target : "the folder"));
        ControllerFolder controller("secure-install");
        ASSERT_TRUE(controller.Folder().CopyIn(SampleExe()));
        ASSERT_TRUE(controller.Folder().MakeFolder("lang"));
        ASSERT_TRUE(controller.Folder().CopyIn(rig::WindowsPathOf(TARVO_SAMPLE_LANG) + "\\english.dll",
                                               "lang\\english.dll"));
        ASSERT_TRUE(controller.Folder().Write("commandline.ini", "/LANG:GER\r\n"));
        std::string name = rig::UniqueServiceName("Secure");
        ASSERT_TRUE(controller.WriteConfig(ConfigText(RequiredEntries(name))));
        std::string path = PathIn(controller, target);
        ASSERT_TRUE(rig::GrantEveryoneWrite(path));
        std::string logPath = controller.PathOf("install.log");

        ExpectNoBox(controller.Run({"/LOGIT:" + logPath, "/install"}), kExitInstallFailed);
        EXPECT_EQ(rig::QueryServiceState(name), 0u) << "registered";
        std::string log = rig::ReadFileBytes(logPath);
        EXPECT_NE(log.find("SERVICELAUNCHER refuses " + path + ": Everyone may "), std::string::npos) << log;
        rig::RemoveService(name, kStateTimeoutMs);
    }
}

// A guarded folder inside one that others may change can be replaced as a whole: /install
// refuses when the folder above it, or the one above that, lets Everyone delete its children.
TEST(InstallSecurity, RefusesAFolderInsideOneOthersMayChange)
{
    for (const char* opened : {"Apps", ""}) {
        SCOPED_TRACE(std::string("writable by everyone: ") + (*opened ? opened : "the folder above Apps"));
        rig::ScratchFolder folder("secure-above");
        ASSERT_TRUE(folder.MakeFolder("Apps") && folder.MakeFolder("Apps\\Tarvo"));
        ASSERT_TRUE(folder.CopyIn(ServiceExe(), "Apps\\Tarvo\\service.exe"));
        ASSERT_TRUE(folder.CopyIn(SampleExe(), "Apps\\Tarvo\\TarvoSample.exe"));
        std::string name = rig::UniqueServiceName("Above");
        ASSERT_TRUE(folder.Write("Apps\\Tarvo\\service.cfg", ConfigText(RequiredEntries(name))));
        std::string openedPath = *opened ? folder.PathOf(opened) : folder.Path();
        ASSERT_TRUE(rig::GrantEveryoneWrite(openedPath));
        std::string tarvo = folder.PathOf("Apps\\Tarvo"), logPath = folder.PathOf("install.log");

        rig::RunResult run = rig::RunProgram(tarvo + "\\service.exe", {"/LOGIT:" + logPath, "/install"}, tarvo,
                                             kRunTimeoutMs, rig::BoxAnswer::Ok);
        ExpectNoBox(run, kExitInstallFailed);
        EXPECT_EQ(rig::QueryServiceState(name), 0u) << "registered";
        std::string log = rig::ReadFileBytes(logPath);
        EXPECT_NE(log.find("SERVICELAUNCHER refuses " + tarvo + ": the folder above it " + openedPath +
                           ": Everyone may delete a child"),
                  std::string::npos)
            << log;
        rig::RemoveService(name, kStateTimeoutMs);
    }
}

// An installed service whose files are opened later launches nothing at its next start and
// stops at once, as for an application that cannot be started. (The same installation with
// nothing opened runs the application: the service-role tests.)
TEST(ServiceSecurity, LaunchesNothingWhenAPathBecameWritableByEveryone)
{
    for (const char* target : {"service.cfg", "TarvoSample.exe", ""}) {
        SCOPED_TRACE(std::string("writable by everyone: ") + (*target ? target : "the folder"));
        ControllerFolder controller("secure-run");
        // The service process takes no diagnostic switch from files beside it: the registration gives its log.
        std::string logPath = controller.PathOf("service.log");
        rig::ServiceGuard service(rig::UniqueServiceName("SecureRun"), controller.Exe() + " /LOGIT:" + logPath);
        ASSERT_TRUE(service.Created()) << "CreateService error " << service.CreateError();
        ASSERT_TRUE(controller.Folder().CopyIn(SampleExe()));
        ASSERT_TRUE(controller.WriteConfig(ConfigText(RequiredEntries(service.Name()))));
        std::string record = controller.PathOf("TarvoSample.record");
        ASSERT_TRUE(rig::GrantEveryoneWrite(PathIn(controller, target)));

        // The service stops at once; now and then before the manager has answered the start,
        // which Wine then reports as a failed start. What counts is the stopped report below.
        rig::StartServiceByName(service.Name());
        EXPECT_TRUE(rig::WaitForServiceState(service.Name(), SERVICE_STOPPED, kStateTimeoutMs));
        // The stopped report of an application that cannot be started, with the refusal's error.
        SERVICE_STATUS status = ServiceStatusOf(service.Name());
        EXPECT_EQ(status.dwWin32ExitCode, static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_EQ(status.dwServiceSpecificExitCode, 1u);
        std::string log = WaitForLog(logPath, kStateTimeoutMs);
        EXPECT_NE(log.find("SERVICELAUNCHER refuses " + PathIn(controller, target) + ": Everyone may "),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find("SERVICELAUNCHER::Run does not start"), std::string::npos) << log;
        EXPECT_EQ(GetFileAttributesA(record.c_str()), INVALID_FILE_ATTRIBUTES) << "the application was started";
    }
}

// A library named like one service.exe loads delay-loaded by bare name (user32, for its message
// boxes), planted beside it, is never loaded. (Wine's preference for the folder's library is set
// for a copy of its own name, so that the copies other tests run at the same time keep Wine's.)
TEST(LibraryPlanting, WindowLibraryPlantedBesideServiceExeIsNotLoaded)
{
    constexpr const char* program = "serviceplanted.exe";
    ControllerFolder controller("planted-user32", program);
    ASSERT_TRUE(controller.WriteConfig(ConfigText(RequiredEntries("TarvoTestNoSuchService"))));
    ASSERT_TRUE(controller.Folder().CopyIn(rig::WindowsPathOf(TARVO_PLANTED_LIBRARY), "user32.dll"));
    rig::PreferFolderLibrary prefer(program, "user32");
    ASSERT_TRUE(prefer.Valid());

    ExpectSingleBox(controller.Run({"/?"}), kExitSyntax, kTitle, kSyntax);
    EXPECT_EQ(GetFileAttributesA(rig::PlantedMarkerOf(controller.PathOf("user32.dll")).c_str()),
              INVALID_FILE_ATTRIBUTES);
}

// A language library is read as data: a library planted as lang\\french.dll is loaded for its
// resources when the application's language is French, and never runs its code.
TEST(LibraryPlanting, PlantedLanguageLibraryRunsNoCode)
{
    rig::ScratchFolder folder("planted-lang");
    ASSERT_TRUE(folder.CopyIn(SampleExe()));
    ASSERT_TRUE(folder.MakeFolder("lang"));
    ASSERT_TRUE(folder.CopyIn(rig::WindowsPathOf(TARVO_PLANTED_LIBRARY), "lang\\french.dll"));
    ASSERT_TRUE(folder.Write("TarvoSample.ini", "Language=" + std::to_string(LANG_FRENCH) + "\r\nExitAfterMs=300\r\n"));

    rig::RunResult run = rig::RunProgram(folder.PathOf("TarvoSample.exe"), {}, folder.Path(), kRunTimeoutMs,
                                         rig::BoxAnswer::Ok);
    ASSERT_TRUE(run.started && !run.timedOut);
    EXPECT_EQ(ReadRecord(folder.PathOf("TarvoSample.record")).Value("language"), "english") << "not loaded";
    EXPECT_EQ(GetFileAttributesA(rig::PlantedMarkerOf(folder.PathOf("lang\\french.dll")).c_str()),
              INVALID_FILE_ATTRIBUTES);
}

} // namespace
} // namespace e2e
