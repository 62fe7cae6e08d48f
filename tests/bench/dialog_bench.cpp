// The controller dialog's timing under the system's window manager and Service Control Manager:
// - from starting "service.exe /config /ADVGUI" to the dialog's state line showing its first
//   text, next to "service.exe /?" to its message box (the floor of any window of the program);
// - one refresh of the running dialog (a WM_TIMER sent from here: one state query and the
//   buttons and state line set from it), next to the same query made by this process
//   (OpenSCManager, OpenService, QueryServiceStatus) and next to "sc query" run as a process;
// - the dialog's state query alone, ServiceCommand("QUERY_STATUS") called in this process,
//   next to the same bare query.
// Usage: dialog_bench <service.exe> [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "process.h"
#include "scratch.h"
#include "services.h"
#include "windowfind.h"
#include "service/main.h"
#include "service/schandle.h"
#include "benchclock.h"

namespace {

constexpr int kStateItem = 1104;
constexpr UINT_PTR kRefreshTimer = 1;
constexpr int kQueriesPerRound = 20;
constexpr DWORD kTimeoutMs = 30000;
constexpr DWORD kSettleMs = 20;

double Median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// A run of service.exe that shows a window; the process is killed if it outlives the object.
class WindowRun {
public:
    WindowRun(const rig::ScratchFolder& folder, const std::string& args)
    {
        std::string exe = folder.PathOf("service.exe");
        std::string commandLine = rig::QuoteArgument(exe) + " " + args;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        start = Seconds();
        if (CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           folder.Path().c_str(), &startup, &info)) {
            process.reset(info.hProcess);
            UniqueHandle thread(info.hThread);
            processId = info.dwProcessId;
        }
    }
    ~WindowRun()
    {
        if (process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT)
            TerminateProcess(process.get(), 1);
    }
    WindowRun(const WindowRun&) = delete;
    WindowRun& operator=(const WindowRun&) = delete;

    // Milliseconds from the start to the box (and, with an item, to that item's first text);
    // -1 when it does not come in time.
    double MillisecondsToWindow(int item)
    {
        while (process && (Seconds() - start) * 1000 < kTimeoutMs) {
            HWND found = rig::FindVisibleWindow(processId, "#32770");
            if (found && (item == 0 || !rig::WindowText(GetDlgItem(found, item)).empty())) {
                window = found;
                return (Seconds() - start) * 1000;
            }
            Sleep(1);
        }
        return -1;
    }
    // Closes the box or dialog, and waits for the program's end.
    void Close()
    {
        if (window)
            PostMessageA(window, WM_CLOSE, 0, 0);
        if (process)
            WaitForSingleObject(process.get(), kTimeoutMs);
    }

    HWND window = nullptr;

private:
    double start = 0;
    UniqueHandle process;
    DWORD processId = 0;
};

// Milliseconds of one message sent to the dialog and handled there.
double MillisecondsToSend(HWND window, UINT message, WPARAM wParam)
{
    double begin = Seconds();
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &result))
        return -1;
    return (Seconds() - begin) * 1000;
}

double MillisecondsToQuery(const std::string& service)
{
    double begin = Seconds();
    {
        // Closing the two handles is part of the query: the block ends before the clock is read.
        ServiceHandles handles = OpenServiceHandles(service.c_str(), SERVICE_QUERY_STATUS);
        SERVICE_STATUS status = {};
        if (!handles || !QueryServiceStatus(handles.service.get(), &status))
            return -1;
    }
    return (Seconds() - begin) * 1000;
}

double MillisecondsToServiceCommand()
{
    double begin = Seconds();
    if (ServiceCommand("QUERY_STATUS") != SERVICE_STOPPED)
        return -1;
    return (Seconds() - begin) * 1000;
}

void AddValid(std::vector<double>& values, double value)
{
    if (value >= 0)
        values.push_back(value);
}

double Ratio(double value, double floor)
{
    return value >= 0 && floor > 0 ? value / floor : -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: dialog_bench <service.exe> [rounds]\n");
        return 2;
    }
    int rounds = argc > 2 ? atoi(argv[2]) : 7;
    rig::ScratchFolder folder("dialogbench");
    folder.CopyIn(argv[1], "service.exe");
    // The dialog queries an installed, stopped service: the state line is its usual one.
    rig::ServiceGuard service(rig::UniqueServiceName("DialogBench"), folder.PathOf("service.exe"));
    if (!service.Created()) {
        fprintf(stderr, "dialog_bench: the service could not be created (error %lu)\n", service.CreateError());
        return 1;
    }
    folder.Write("service.cfg", "AppName=" + service.Name() +
                                    "\r\nAppExe=TarvoSample.exe\r\nAppHelp=|1\r\nAppRegKey=TarvoBench\r\n"
                                    "AppWinClass=TarvoSampleMainWindow\r\n");

    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    std::string sc = std::string(system) + "\\sc.exe";

    ServiceConfig().Lookup("AppName") = service.Name().c_str();

    std::vector<double> syntaxBox, dialog, refresh, roundTrip, query, command, scQuery;
    for (int round = 0; round < rounds; round++) {
        {
            WindowRun syntax(folder, "/?");
            AddValid(syntaxBox, syntax.MillisecondsToWindow(0));
            syntax.Close();
        }
        WindowRun run(folder, "/config /ADVGUI");
        AddValid(dialog, run.MillisecondsToWindow(kStateItem));
        if (!run.window)
            continue;
        // A pause before each measurement, so that none starts while the manager may still be
        // finishing the one before.
        for (int i = 0; i < kQueriesPerRound; i++) {
            Sleep(kSettleMs);
            AddValid(refresh, MillisecondsToSend(run.window, WM_TIMER, kRefreshTimer));
            Sleep(kSettleMs);
            AddValid(roundTrip, MillisecondsToSend(run.window, WM_NULL, 0));
            Sleep(kSettleMs);
            AddValid(query, MillisecondsToQuery(service.Name()));
            Sleep(kSettleMs);
            AddValid(command, MillisecondsToServiceCommand());
        }
        run.Close();
        rig::RunResult result = rig::RunProgram(sc, {"query", service.Name()}, "", kTimeoutMs, rig::BoxAnswer::Ok);
        if (result.started && !result.timedOut && result.exitCode == 0)
            scQuery.push_back(result.seconds * 1000);
    }

    double boxMs = Median(syntaxBox), dialogMs = Median(dialog);
    double refreshMs = Median(refresh), roundTripMs = Median(roundTrip), queryMs = Median(query);
    double commandMs = Median(command), scMs = Median(scQuery);
    printf("dialog benchmark, medians of %d rounds (%d refreshes and queries per round), ms\n", rounds,
           kQueriesPerRound);
    printf("  start /config /ADVGUI -> state line shown  %8.1f    /? -> box shown      %8.1f  (%.2fx)\n", dialogMs,
           boxMs, Ratio(dialogMs, boxMs));
    printf("  one refresh (WM_TIMER sent from here)      %8.3f    the query made here  %8.3f  (%.2fx)\n", refreshMs,
           queryMs, Ratio(refreshMs, queryMs));
    printf("  the refresh less a WM_NULL round trip      %8.3f    (round trip %.3f)             (%.2fx)\n",
           refreshMs - roundTripMs, roundTripMs, Ratio(refreshMs - roundTripMs, queryMs));
    printf("  one refresh                                %8.3f    sc query as a process %7.1f  (%.3fx)\n", refreshMs,
           scMs, Ratio(refreshMs, scMs));
    printf("  ServiceCommand(\"QUERY_STATUS\") here       %8.3f    the query made here  %8.3f  (%.2fx)\n", commandMs,
           queryMs, Ratio(commandMs, queryMs));
    return 0;
}
