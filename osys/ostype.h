// Operating-system identification: the OS type number that version-dependent code compares.
#pragma once

#include <windows.h>

#include "text/strings.h"

namespace OSYS {

// The OS types, in the order of the systems' release.
constexpr int OSTYPE_WIN9X = 0; // Windows 95/98/ME
constexpr int OSTYPE_NT4 = 1;
constexpr int OSTYPE_WIN2000 = 2;
constexpr int OSTYPE_XP = 3;
constexpr int OSTYPE_2003 = 4; // the 2003 family (5.2)
constexpr int OSTYPE_VISTA = 5;
constexpr int OSTYPE_WIN7 = 6;
constexpr int OSTYPE_LATER = 7; // anything after Windows 7

// The type for a version record; GetOSType feeds it the running system's record.
int ClassifyOSVersion(const OSVERSIONINFOA& version);
int GetOSType();
STRING GetOSName();
bool IsWow64();

} // namespace OSYS
