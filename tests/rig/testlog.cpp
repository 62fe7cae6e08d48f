#include "testlog.h"

#include <windows.h>

#include "diag/logit.h"
#include "scratch.h"

namespace rig {

std::string TempPath(const std::string& name)
{
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

TestLog::TestLog(const std::string& name, const char* openSwitch) : path(TempPath(name))
{
    DeleteFileA(path.c_str());
    LogSwitch((openSwitch + path).c_str());
}

TestLog::~TestLog()
{
    LogSwitch("/LOGITCLOSE");
    DeleteFileA(path.c_str());
}

std::string TestLog::Bytes() const
{
    return ReadFileBytes(path);
}

} // namespace rig
