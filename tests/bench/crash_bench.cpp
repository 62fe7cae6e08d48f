// Cost of the crash dump's compression: the handler's dump call and the gzip copy that follows
// it (which then deletes the dump), timed apart, for the dump kinds TINY, TARVO and MAXI, with
// a synthetic access-violation record; "added" is the copy's time over the dump's. 32 MiB of
// half-random data give the full dump something to carry.
//   crash_bench [rounds]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "diag/crashdump.h"
#include "benchclock.h"

namespace {

long long FileSize(const char* path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? atoi(argv[1]) : 3;
    if (rounds < 1)
        rounds = 1;

    constexpr size_t ballastSize = 32u << 20;
    auto ballast = std::make_unique<unsigned char[]>(ballastSize);
    unsigned seed = 12345;
    for (size_t i = 0; i < ballastSize; i++) {
        seed = seed * 1103515245u + 12345u;
        ballast[i] = (i & 1) ? static_cast<unsigned char>(seed >> 24) : static_cast<unsigned char>(i >> 10);
    }

    EXCEPTION_RECORD record = {};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    record.ExceptionAddress = reinterpret_cast<void*>(&main);
    CONTEXT context = {};
    RtlCaptureContext(&context);
    EXCEPTION_POINTERS exception = {&record, &context};

    char folder[MAX_PATH];
    GetTempPathA(sizeof(folder), folder);
    char path[MAX_PATH + 64], compressed[MAX_PATH + 68];
    snprintf(path, sizeof(path), "%scrash_bench_%lu.dmp", folder, GetCurrentProcessId());
    snprintf(compressed, sizeof(compressed), "%s.gz", path);

    printf("%-6s %12s %12s %10s %10s %9s\n", "kind", "dump bytes", "gz bytes", "dump s", "gzip s", "added");
    for (int level : {0, 2, 4}) {
        double bestDump = 1e30, bestGzip = 1e30;
        long long dumpBytes = 0, gzBytes = 0;
        for (int round = 0; round < rounds; round++) {
            double start = Seconds();
            bool dumped = WriteMiniDump(path, CrashDumpType(level), &exception);
            double dumpEnd = Seconds();
            dumpBytes = FileSize(path);
            bool packed = dumped && CompressDumpFile(path);
            double gzipEnd = Seconds();
            gzBytes = FileSize(compressed);
            DeleteFileA(compressed);
            DeleteFileA(path);
            if (!packed) {
                printf("%-6s the dump or its compression failed\n", CrashDumpKindName(level));
                return 1;
            }
            bestDump = dumpEnd - start < bestDump ? dumpEnd - start : bestDump;
            bestGzip = gzipEnd - dumpEnd < bestGzip ? gzipEnd - dumpEnd : bestGzip;
        }
        printf("%-6s %12lld %12lld %10.3f %10.3f %8.1f%%\n", CrashDumpKindName(level), dumpBytes, gzBytes, bestDump,
               bestGzip, bestGzip * 100 / bestDump);
    }
    // The ballast stays alive (and in the dumps) up to here.
    asm volatile("" : : "r"(ballast.get()) : "memory");
    return 0;
}
