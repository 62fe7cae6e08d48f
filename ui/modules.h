// The modules the toolkit loads its resources from and registers its classes with: those the
// application root recorded, or the program itself before (or without) the start routine.
#pragma once

#include <windows.h>

HMODULE ToolkitResourceModule();
HINSTANCE ToolkitProgramModule();
