// Operating-system identification: the OS type number that version-dependent code compares.
//   0 Windows 95/98/ME, 1 NT4, 2 Windows 2000, 3 XP, 4 the 2003 family (5.2),
//   5 Vista, 6 Windows 7, 7 anything later.
#pragma once

#include <windows.h>

#include "text/strings.h"

namespace OSYS {

// The type for a version record; GetOSType feeds it the running system's record.
int ClassifyOSVersion(const OSVERSIONINFOA& version);
int GetOSType();
STRING GetOSName();
bool IsWow64();

} // namespace OSYS
