// Date and time texts of OSYS: fixed numeric formats (log headers, assert.log), the user's
// locale formats (titles, lists), and the conversions between calendar times (seconds since
// 1970-01-01 UTC) and date-time records. Every text is in code page 1252.
#pragma once

#include <windows.h>

#include <cstdint>

#include "text/strings.h"

namespace OSYS {

// The text of a part the national-language functions could not format.
constexpr const char* DATE_ERROR_TEXT = "<error>";
// Capacity of a locale date or time text; a longer one cannot be formatted.
constexpr int DATE_TEXT_MAX = 255;
// The last calendar time the C library breaks down: 3000-12-31 23:59:59 UTC.
constexpr int64_t CALENDAR_MAX = 32535215999;

// Fixed formats, local time through the C library. A calendar time of 0 stands for now;
// one the C library cannot break down (negative, after CALENDAR_MAX) gives NULL.
STRING GetTimeText();                     // "%02d:%02d:%02d"
STRING GetDateText();                     // "%04d-%02d-%02d"
STRING GetDateTimeText(int64_t calendar); // "%04d-%02d-%02d  %02d:%02d:%02d"

// The user's locale formats; a part that cannot be formatted reads DATE_ERROR_TEXT.
STRING GetLocaleDateText();                     // short date now
STRING GetLocaleLongDateText();                 // the long date pattern, now
STRING GetLocaleTimeText();                     // the time pattern ("HH:mm:ss" when it cannot be read), now
STRING GetLocaleDateTimeText(int64_t calendar); // short date, two blanks, "HH:mm:ss"; 0 = now
// "Today" or "Yesterday" (German by the process language) for the current and the previous
// UTC day, the weekday name for two to six days back, and beyond that, or on a later day than
// now, the first two letters of the weekday, a blank and the short date; then two blanks and
// "HH:mm:ss". Days are counted in UTC, names and times are local. 0 = now.
STRING GetRelativeDateTimeText(int64_t calendar);
// The same as seen at the calendar time now.
STRING GetRelativeDateTimeText(int64_t calendar, int64_t now);

// Date-time records: SYSTEMTIME (year, month 1-12, day of the week 0 = Sunday, day, hour,
// minute, second, milliseconds). From a calendar time (0 = now) in UTC or local time, the
// milliseconds taken from the system clock; false, with a zero record, for a calendar time
// the C library cannot break down.
bool GetUtcRecord(int64_t calendar, SYSTEMTIME& record);
bool GetLocalRecord(int64_t calendar, SYSTEMTIME& record);
// The calendar time of a record (its day of the week is not read); -1 for a year before 1970,
// a time after CALENDAR_MAX or a record that names no valid date and time. The local one
// takes the daylight-saving state of the current moment, not of the record's date.
int64_t CalendarFromUtcRecord(const SYSTEMTIME& record);
int64_t CalendarFromLocalRecord(const SYSTEMTIME& record);

// Reads text as "year-month-day  hour:minute:second", adds (day, hour, minute, second of
// duration in seconds) times factor and writes the result as "%02hd-%02hd-%02hd
// %02hd:%02hd:%02hd" with one blank. NULL when the text names no valid date and time from
// 1601 to 30827, or the result leaves those years.
STRING AddDateTime(const char* text, const SYSTEMTIME& duration, int factor);

} // namespace OSYS
