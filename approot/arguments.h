// Program arguments: the process-wide argument list and the three switch tests.
#pragma once

#include "text/stringarray.h"
#include "text/strings.h"

// Builds the argument list from the start-up vector and the commandline.ini files, hands
// every argument to the log's switch handler and honours STARTUPDELAY.
void BuildArgumentList(int argc, char** argv);
// Adds the commandline.ini files whose lines join the argument list, each once: "commandline.ini"
// and "<program base name>_commandline.ini" in the program's folder and in the start directory.
// existingOnly: only those that exist; else also the places where someone could put one.
void CommandLineFiles(STRINGARRAY& files, bool existingOnly);
// The argument list; filled once during start-up, only read afterwards.
extern STRINGARRAY gArguments;

// 1 when an argument is "/" or "-" followed by exactly the name (any case).
int TestArg(const char* name);
// 1 when the switch with a value ("/NAME:value" or "-NAME value") occurs at least index + 1 times.
int TestArgValue(const char* name, int index);
// The value of the index-th argument that begins with "/" or "-" and the name; NULL when none.
STRING GetArgValue(const char* name, int index);
