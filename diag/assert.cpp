#include "diag/assert.h"

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "diag/crashdump.h"
#include "diag/logit.h"
#include "osys/osys.h"
#include "osys/osys_win32.h"
#include "osys/osysfile.h"
#include "osys/processvalues.h"

namespace {

std::atomic<AssertObserver> observer{nullptr};

// Exit code of a program ended by a declined assertion when no crash handler is installed.
constexpr UINT ASSERT_EXIT_CODE = 255;

// The dialog text is shared by all threads, as its size is fixed.
char dialogText[2500];

const char* LastComponent(const char* file)
{
    const char* component = file;
    for (const char* p = file; *p; p++)
        if (*p == '/' || *p == '\\' || *p == ':')
            component = p + 1;
    return component;
}

} // namespace

int AssertCheckFormat(const char* condition, const char* file, int line, const char* format, ...)
{
    char info[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(info, sizeof(info), format, args);
    va_end(args);
    AssertCheck(0, condition, file, line, info, 0);
    return 0;
}

AssertObserver SetAssertObserver(AssertObserver newObserver)
{
    return observer.exchange(newObserver);
}

int AssertCheck(int ok, const char* condition, const char* file, int line, const char* info, int soft)
{
    if (ok)
        return 1;
    // Read first, so that the report shows the caller's error and not one of ours.
    DWORD error = GetLastError();

    if (AssertObserver current = observer.load())
        current(condition ? condition : "", info);

    char identity[300];
    snprintf(identity, sizeof(identity), "Tarvo %s (%s)", gAppName.c_str(), VersionText());
    char errorText[512] = {};
    if (error != 0)
        snprintf(errorText, sizeof(errorText), "%s", OSYS::GetErrorText(static_cast<int>(error)).c_str());

    char report[2048];
    snprintf(report, sizeof(report) - 1,
             IsGerman() ? "    Bedingung: %s\n    Datei: %s Zeile %d\n    Code : %ldL (%s)\n    Info : %s\n"
                        : "    Condition: %s\n    Location : %s line %d\n    Last Err.: %ldL (%s)\n    Add. Info: %s\n",
             condition ? condition : "", LastComponent(file ? file : ""), line, static_cast<long>(error), errorText,
             info ? info : "<null>");

    LogPrint("*** ASSERTION FAILED: \n%s\n", report);

    if (FILE* f = FILENAME::fsopen(FILENAME("assert.log").c_str(), "a")) {
        fprintf(f, "--- %s --- %s %s ---\n\n", identity, OSYS::GetDateText().c_str(), OSYS::GetTimeText().c_str());
        fprintf(f, "%s\n\n", report);
        fclose(f);
    }

    if (LogNoAssert() || soft) {
        SetLastError(error);
        return 1;
    }

    snprintf(dialogText, sizeof(dialogText) - 1,
             IsGerman() ? "Es ist eine unerwartete Situation aufgetreten.\n\nBitte melden Sie die Umstaende des "
                          "Fehlers und die folgenden\nInformationen an uns (Datei %s):\n\n%s\nWollen Sie jetzt "
                          "versuchen mit dem Programm fortzufahren?"
                        : "An unexpected condition has been encountered.\n\nPlease contact us via our web site and "
                          "provide the following information (logged in the %s file):\n\n%s\nDo you want to try "
                          "to continue with the program?",
             "assert.log", report);
    STRING title = STRING(identity) + " / " + OSYS::GetLocaleTimeText();
    if (MessageBoxA(nullptr, dialogText, title.c_str(), MB_YESNO | MB_ICONERROR) == IDNO) {
        // Declined: the program ends here. An installed crash handler writes a dump of this
        // point; without one the exit code is one that no orderly end returns.
        if (CrashDumpLevel() > 0)
            RaiseCrashFault();
        LogSwitch("/LOGITCLOSE");
        ExitProcess(ASSERT_EXIT_CODE);
    }
    SetLastError(error);
    return 1;
}
