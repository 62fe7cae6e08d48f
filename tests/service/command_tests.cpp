// ServiceCommand on its own, against the real Service Control Manager; whether a command
// opened the manager is read from the log.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "diag/logit.h"
#include "scratch.h"
#include "service/main.h"
#include "services.h"
#include "testlog.h"

namespace {

// The log of one test, in a file of its own.
class CommandLog : public rig::TestLog {
public:
    CommandLog() : TestLog("tarvo_command_" + std::to_string(GetCurrentProcessId()) + ".log") {}
    bool OpenedTheManager() const { return Contains("] ServiceCommand manager ok="); }
};

void Configure(const std::string& serviceName)
{
    ServiceConfig().Lookup("AppName") = serviceName.c_str();
    ServiceConfig().Lookup("AppWinClass") = "TarvoSampleMainWindow";
    ServiceConfig().Lookup("AppExe") = "TarvoSample.exe";
}

TEST(ServiceCommand, OtherWordsDoNothingWithoutTheManager)
{
    Configure("TarvoTestNoSuchService");
    {
        CommandLog log;
        for (const char* word :
             {"", "PAUSE", "STARTX", "START ", "QUERY", "STATUS", "LAUNCH2", "UNINSTAL", "INSTALL:x"}) {
            SCOPED_TRACE(word);
            EXPECT_EQ(ServiceCommand(word), 0);
        }
        EXPECT_FALSE(log.OpenedTheManager());
    }
    // The same log does show the manager for a word it knows, in any case.
    CommandLog log;
    EXPECT_EQ(ServiceCommand("query_status"), 0);
    EXPECT_TRUE(log.OpenedTheManager());
}

SC_HANDLE RefuseManager()
{
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
}

// QUERY_STATUS cannot tell a service it cannot read from one that is not there: both are 0.
TEST(ServiceCommand, WhatCannotBeOpenedFails)
{
    rig::ServiceGuard service(rig::UniqueServiceName("Command"), "C:\\no\\such\\service.exe");
    ASSERT_TRUE(service.Created()) << service.CreateError();
    struct Case {
        const char* serviceName;
        bool managerRefused;
        int stop, queryStatus;
    } cases[] = {
        {service.Name().c_str(), false, 7, SERVICE_STOPPED},
        {"TarvoTestNoSuchService", false, 7, 0},
        {service.Name().c_str(), true, 7, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.serviceName) + (c.managerRefused ? ", manager refused" : ""));
        Configure(c.serviceName);
        ServiceManagerOpener previous = c.managerRefused ? SetServiceManagerOpener(RefuseManager) : nullptr;
        EXPECT_EQ(ServiceCommand("QUERY_STATUS"), c.queryStatus);
        EXPECT_EQ(ServiceCommand("STOP"), c.stop);
        if (c.managerRefused)
            SetServiceManagerOpener(previous);
        EXPECT_EQ(ServiceCommand("QUERY_STATUS"), c.managerRefused ? SERVICE_STOPPED : c.queryStatus);
    }
}

} // namespace
