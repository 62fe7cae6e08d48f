#include "approot/arguments.h"

#include <windows.h>

#include <cstring>

#include "approot/approot.h"
#include "diag/logit.h"
#include "osys/osysfile.h"
#include "osys/processvalues.h"

STRINGARRAY gArguments(64);

namespace {

const char* ArgumentAt(int i)
{
    const STRING* item = gArguments.Get(i);
    return item ? item->c_str() : "";
}

bool IsSwitch(const char* argument)
{
    return argument[0] == '/' || argument[0] == '-';
}

// The program's file name without ".exe" or ".app"; NULL when it has neither ending.
STRING ProgramBaseName()
{
    STRING path = FILENAME("<self>").Text();
    path.Trim('R', "/.");
    if (!EndsWithNoCase(path.c_str(), ".exe") && !EndsWithNoCase(path.c_str(), ".app"))
        return STRING();
    path.DeleteRight(4);
    return FILENAME(path.c_str()).GetName();
}

void SleepForStartupDelay()
{
    if (!TestArgValue("STARTUPDELAY", 0))
        return;
    LogPrint("TARVOAPP sleeping for startupdelay\n");
    long long seconds = GetArgValue("STARTUPDELAY", 0).ToInt();
    // A negative value would turn into a practically endless wait; it means no delay.
    if (seconds <= 0)
        return;
    long long milliseconds = seconds * 1000;
    if (milliseconds > static_cast<long long>(INFINITE - 1))
        milliseconds = INFINITE - 1;
    Sleep(static_cast<DWORD>(milliseconds));
}

} // namespace

void CommandLineFiles(STRINGARRAY& files, bool existingOnly)
{
    // Without a base name there is no per-program file.
    STRING base = ProgramBaseName();
    STRING perProgram = base.IsFilled() ? base + "_commandline.ini" : STRING();
    const char* folders[2] = {gExeDir.c_str(), gWorkDir.c_str()};
    for (const char* folder : folders) {
        for (const STRING& name : {STRING("commandline.ini"), perProgram}) {
            if (!name.IsFilled())
                continue;
            FILENAME candidate(folder, name.c_str());
            // A file found twice (start directory = program directory) is read once.
            if ((!existingOnly || candidate.IsFile()) && files.IndexOf(candidate.c_str(), 0) == -1)
                files.Add(candidate.Text());
        }
    }
}

void BuildArgumentList(int argc, char** argv)
{
    bool isServiceExe = FILENAME("<self>").GetName().EqualsNoCase("service.exe");
    STRINGARRAY candidates(4);
    CommandLineFiles(candidates, true);

    gArguments.DeleteAll();
    for (int i = 0; i < argc && argv[i]; i++) {
        LogSwitch(argv[i]);
        gArguments.Add(STRING(argv[i]));
    }

    for (int c = 0; c < candidates.ItemCount; c++) {
        const char* path = candidates.Get(c)->c_str();
        STRINGARRAY lines(64);
        lines.Load(path, false);
        for (int i = 0; i < lines.ItemCount; i++) {
            STRING line = *lines.Get(i);
            if (!line.IsFilled())
                continue;
            line.Trim('B', " \t\r");
            // service.exe runs as a service with whatever file lies beside it; diagnostic
            // switches from there are not honoured for it.
            if (!isServiceExe)
                LogSwitch(line.c_str());
            gArguments.Add(line);
        }
        LogPrint("TARVOAPP processing of %s done\n", path);
    }

    LogPrint("TARVOAPP arguments acquired\n");
    for (int i = 0; i < gArguments.ItemCount; i++)
        LogPrint("TARVOAPP program argument %d= '%s'\n", i, ArgumentAt(i));

    SleepForStartupDelay();
}

int TestArg(const char* name)
{
    int result = 0;
    for (int i = 0; i < gArguments.ItemCount && !result; i++) {
        const char* argument = ArgumentAt(i);
        result = IsSwitch(argument) && _stricmp(argument + 1, name) == 0;
    }
    LogPrint("TestArg(\"%s\") returned %d\n", name, result);
    return result;
}

int TestArgValue(const char* name, int index)
{
    size_t length = strlen(name);
    int found = 0;
    for (int i = 0; i < gArguments.ItemCount; i++) {
        const char* argument = ArgumentAt(i);
        if (argument[0] == '-' && _stricmp(argument + 1, name) == 0)
            found++;
        else if (argument[0] == '/' && StartsWithNoCase(argument + 1, name) && argument[1 + length] == ':')
            found++;
    }
    int result = found >= index + 1;
    LogPrint("TestArgValue(\"%s\", %d) returned %d\n", name, index, result);
    return result;
}

STRING GetArgValue(const char* name, int index)
{
    size_t length = strlen(name);
    STRING value;
    int seen = 0;
    for (int i = 0; i < gArguments.ItemCount; i++) {
        const char* argument = ArgumentAt(i);
        if (!IsSwitch(argument) || !StartsWithNoCase(argument + 1, name))
            continue;
        if (seen++ != index)
            continue;
        if (argument[0] == '/') {
            const char* rest = argument + 1 + length;
            value = (*rest == ':') ? rest + 1 : rest;
        } else if (i + 1 < gArguments.ItemCount) {
            // A "-NAME" as the last argument has no value.
            value = ArgumentAt(i + 1);
        }
        break;
    }
    LogPrint("GetArgValue(\"%s\", %d) returned %s\n", name, index, value.IsFilled() ? value.c_str() : "<NULL>");
    return value;
}
