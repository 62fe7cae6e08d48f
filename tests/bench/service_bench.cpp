// Service timing against the system's Service Control Manager: from service.exe /start to
// the running state and from /stop to the stopped state, next to sc start / sc stop of the
// same service, and the peak working set of the service process while the application runs.
// Usage: service_bench <service.exe> <TarvoSample.exe> [rounds]
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "process.h"
#include "scratch.h"
#include "services.h"
#include "service/schandle.h"
#include "benchclock.h"

namespace {

// Runs a command and returns the milliseconds until the service reached the state.
double MillisecondsUntil(const std::string& exe, const std::vector<std::string>& args, const std::string& service,
                         DWORD state)
{
    double start = Seconds();
    rig::RunResult result = rig::RunProgram(exe, args, "", 60000, rig::BoxAnswer::Ok);
    if (!result.started || result.timedOut || !rig::WaitForServiceState(service, state, 60000))
        return -1;
    return (Seconds() - start) * 1000;
}

SIZE_T PeakWorkingSet(const std::string& service)
{
    SERVICE_STATUS_PROCESS status = {};
    {
        ServiceHandles handles = OpenServiceHandles(service.c_str(), SERVICE_QUERY_STATUS);
        DWORD needed = 0;
        if (!handles || !QueryServiceStatusEx(handles.service.get(), SC_STATUS_PROCESS_INFO,
                                              reinterpret_cast<BYTE*>(&status), sizeof(status), &needed))
            return 0;
    }
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, status.dwProcessId));
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    bool read = process && GetProcessMemoryInfo(process.get(), &counters, sizeof(counters));
    return read ? counters.PeakWorkingSetSize : 0;
}

struct Mean {
    double sum = 0;
    int count = 0;
    void Add(double value)
    {
        if (value >= 0) {
            sum += value;
            count++;
        }
    }
    double Value() const { return count ? sum / count : -1; }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: service_bench <service.exe> <TarvoSample.exe> [rounds]\n");
        return 2;
    }
    int rounds = argc > 3 ? atoi(argv[3]) : 5;
    std::string name = rig::UniqueServiceName("Bench");
    rig::ScratchFolder folder("bench");
    folder.CopyIn(argv[1], "service.exe");
    folder.CopyIn(argv[2], "TarvoSample.exe");
    folder.Write("service.cfg", "AppName=" + name +
                                    "\r\nAppExe=TarvoSample.exe\r\nAppHelp=x|1\r\nAppRegKey=TarvoBench\r\n"
                                    "AppWinClass=TarvoSampleMainWindow\r\n");
    std::string exe = folder.PathOf("service.exe");
    rig::RunResult install = rig::RunProgram(exe, {"/install"}, folder.Path(), 60000, rig::BoxAnswer::Ok);
    if (install.exitCode != 0) {
        fprintf(stderr, "service_bench: /install gave %lu\n", install.exitCode);
        return 1;
    }
    // Installed as an automatic service: it may already have been started; begin stopped.
    rig::StopServiceByName(name);
    rig::WaitForServiceState(name, SERVICE_STOPPED, 60000);

    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    std::string sc = std::string(system) + "\\sc.exe";

    Mean start, stop, scStart, scStop;
    SIZE_T peak = 0;
    for (int round = 0; round < rounds; round++) {
        start.Add(MillisecondsUntil(exe, {"/start"}, name, SERVICE_RUNNING));
        Sleep(500); // the application's window is up
        SIZE_T now = PeakWorkingSet(name);
        if (now > peak)
            peak = now;
        stop.Add(MillisecondsUntil(exe, {"/stop"}, name, SERVICE_STOPPED));
        scStart.Add(MillisecondsUntil(sc, {"start", name}, name, SERVICE_RUNNING));
        Sleep(500);
        scStop.Add(MillisecondsUntil(sc, {"stop", name}, name, SERVICE_STOPPED));
    }
    rig::RunProgram(exe, {"/uninstall"}, folder.Path(), 60000, rig::BoxAnswer::Ok);
    rig::RemoveService(name, 30000);

    printf("service benchmark, mean of %d rounds (ms from starting the command to the state)\n", rounds);
    printf("  service.exe /start -> running  %8.1f    sc start -> running  %8.1f  (%.2fx)\n", start.Value(),
           scStart.Value(), start.Value() / scStart.Value());
    printf("  service.exe /stop  -> stopped  %8.1f    sc stop  -> stopped  %8.1f  (%.2fx)\n", stop.Value(),
           scStop.Value(), stop.Value() / scStop.Value());
    printf("  (/stop returns after its first poll, every 10 ms, that sees the service stopped)\n");
    printf("  peak working set of the service process while the application runs: %.1f MiB\n",
           static_cast<double>(peak) / (1024 * 1024));
    return 0;
}
