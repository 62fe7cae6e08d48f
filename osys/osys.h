// Date and time texts of OSYS: fixed numeric formats (log headers, assert.log) and the
// user's locale formats (titles).
#pragma once

#include <cstdint>

#include "text/strings.h"

namespace OSYS {

STRING GetTimeText();                     // "%02d:%02d:%02d", local time now
STRING GetDateText();                     // "%04d-%02d-%02d", local date now
STRING GetDateTimeText(int64_t calendar); // local; 0 = now; two blanks between date and time
STRING GetLocaleTimeText();               // the user's time format, "HH:mm:ss" when it cannot be read

} // namespace OSYS
