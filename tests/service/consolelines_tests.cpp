// The console lines of the command-line roads: the states and last-run codes /status words,
// and the exit code it answers for each.
#include <gtest/gtest.h>

#include <string>

#include "service/consolelines.h"

namespace {

TEST(ConsoleLines, StatusWordsEachStateAndAnswersItsCode)
{
    SERVICESTATE notInstalled;
    SERVICESTATE unreadable;
    unreadable.queryError = ERROR_ACCESS_DENIED;
    SERVICESTATE running;
    running.installed = true;
    running.state = SERVICE_RUNNING;
    running.serviceProcess = 12;
    running.applicationProcess = 34;
    SERVICESTATE paused = running;
    paused.state = SERVICE_PAUSED;
    SERVICESTATE ended = running;
    ended.state = SERVICE_STOPPED;
    ended.win32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
    ended.specificExitCode = 3;
    SERVICESTATE refused = ended;
    refused.win32ExitCode = ERROR_ACCESS_DENIED;
    refused.specificExitCode = 0;
    const struct {
        SERVICESTATE state;
        int code;
        std::string english;
        std::string german;
    } cases[] = {
        {notInstalled, 12, "Service S is not installed.", "Service S ist nicht installiert."},
        {running, 0, "Service S is running (service process 12, application process 34).",
         "Service S l\xE4uft (Service-Prozess 12, Anwendungsprozess 34)."},
        {paused, 11, "Service S is paused.", "Service S ist angehalten."},
        {ended, 10,
         "Service S is stopped (Win32 exit code 1066, service-specific exit code 3: the application ended by itself "
         "with exit code 3).",
         "Service S ist gestoppt (Win32-Exitcode 1066, servicespezifischer Exitcode 3: die Anwendung hat sich selbst "
         "mit Exitcode 3 beendet)."},
        {refused, 10,
         "Service S is stopped (Win32 exit code 5, service-specific exit code 0: the application was not started "
         "because an untrusted account can change one of its files or folders (the log names it)).",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.english);
        EXPECT_EQ(StatusExitCode(c.state), c.code);
        EXPECT_EQ(StatusLine("S", c.state, false).c_str(), c.english);
        if (!c.german.empty()) {
            EXPECT_EQ(StatusLine("S", c.state, true).c_str(), c.german);
        }
    }
    EXPECT_EQ(StatusExitCode(unreadable), 13);
    EXPECT_EQ(std::string(StatusLine("S", unreadable, false).c_str())
                  .rfind("The state of service S cannot be read: error 5: ", 0),
              0u);
}

} // namespace
