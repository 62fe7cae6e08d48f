// The fuzz program: the regression inputs first, then the random phase for as long as asked.
//   fuzz_tests [--seconds=N] [--seed=S] [--input=I] [--stall=N] [GoogleTest options]
// Runs in a scratch folder of its own, so that its files and "assert.log" go with it.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "diag/logit.h"
#include "fuzz_support.h"

namespace {

bool Option(const char* argument, const char* name, const char** value)
{
    size_t n = strlen(name);
    if (strncmp(argument, name, n) != 0)
        return false;
    *value = argument + n;
    return true;
}

void RemoveScratchFolder(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            DeleteFileA((folder + "\\" + found.cFileName).c_str());
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; i++) {
        const char* value;
        if (Option(argv[i], "--seconds=", &value))
            gFuzzOptions.seconds = atof(value);
        else if (Option(argv[i], "--seed=", &value))
            gFuzzOptions.seed = strtoull(value, nullptr, 10);
        else if (Option(argv[i], "--input=", &value))
            gFuzzOptions.onlyInput = atoll(value);
        else if (Option(argv[i], "--stall=", &value))
            gFuzzOptions.stallSeconds = atoi(value);
        else {
            fprintf(stderr, "fuzz: unknown option %s\n", argv[i]);
            return 2;
        }
    }
    // Malformed input is reported by design: recorded, never shown in a box.
    LogSwitch("/NOASSERT");
    FuzzGuardStart();
    RegisterRandomPhase();

    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string scratch = std::string(temp) + "tarvo_fuzz_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(scratch.c_str(), nullptr);
    SetCurrentDirectoryA(scratch.c_str());
    int result = RUN_ALL_TESTS();
    SetCurrentDirectoryA(temp);
    RemoveScratchFolder(scratch);
    return result;
}
