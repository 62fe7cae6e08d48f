// Cost of the diagnostic log: a print call while the log is off (the common case in every
// class of the library) next to an empty function call, and one line written to a file.
#include <windows.h>

#include <cstdio>
#include <string>

#include "diag/logit.h"
#include "benchclock.h"

namespace {

// Kept out of line so that the comparison is with a real call.
__attribute__((noinline)) int EmptyCall(const char* format, int value)
{
    asm volatile("" : : "r"(format), "r"(value) : "memory");
    return 0;
}

template <class Call>
double NanosecondsPerCall(int calls, Call call)
{
    double best = 1e30;
    for (int round = 0; round < 5; round++) {
        double start = Seconds();
        for (int i = 0; i < calls; i++)
            call(i);
        double perCall = (Seconds() - start) * 1e9 / calls;
        if (perCall < best)
            best = perCall;
    }
    return best;
}

} // namespace

int main()
{
    const int calls = 20000000;
    volatile int sink = 0;
    double empty = NanosecondsPerCall(calls, [&](int i) { sink = sink + EmptyCall("x %d\n", i); });
    double offPrint = NanosecondsPerCall(calls, [&](int i) { sink = sink + LogPrint("HASH::Load %d\n", i); });
    double offLevel = NanosecondsPerCall(calls, [&](int i) { sink = sink + LogPrintLevel(11, "MUTEXSEM %d\n", i); });

    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    std::string path = std::string(folder) + "tarvo_log_bench.log";
    LogSwitch(("/LOGIT:" + path).c_str());
    const int lines = 200000;
    double written = NanosecondsPerCall(lines, [&](int i) { LogPrint("HASH::Load line %d of the benchmark\n", i); });
    double filtered =
        NanosecondsPerCall(calls / 10, [&](int i) { sink = sink + LogPrintLevel(11, "MUTEXSEM %d\n", i); });
    LogSwitch("/LOGITCLOSE");
    DeleteFileA(path.c_str());

    printf("log benchmark (best of 5 rounds, ns per call)\n");
    printf("  empty function call              %8.2f\n", empty);
    printf("  LogPrint, log off                %8.2f  (%.2fx the empty call)\n", offPrint, offPrint / empty);
    printf("  LogPrintLevel, log off           %8.2f  (%.2fx the empty call)\n", offLevel, offLevel / empty);
    printf("  LogPrintLevel, on, level masked  %8.2f\n", filtered);
    printf("  LogPrint, one line to a file     %8.2f\n", written);
    printf("target: off-cost within 3x of the empty call: %s\n",
           offPrint <= 3 * empty && offLevel <= 3 * empty ? "met" : "NOT met");
    return 0;
}
