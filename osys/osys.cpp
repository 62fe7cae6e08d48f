#include "osys/osys.h"

#include <windows.h>

#include <cstdio>
#include <ctime>

#include "diag/assert.h"
#include "osys/processvalues.h"

namespace {

constexpr int64_t SECONDS_PER_DAY = 86400;
constexpr int64_t FILETIME_TICKS_PER_SECOND = 10000000;
// The years a SYSTEMTIME converts to a file time and back.
constexpr int RECORD_YEAR_MIN = 1601;
constexpr int RECORD_YEAR_MAX = 30827;
constexpr int CALENDAR_YEAR_MIN = 1970;
// The fixed time pattern of the calendar-time texts, whatever the locale's own.
constexpr const char* TIME_PATTERN = "HH:mm:ss";

int64_t Now()
{
    return _time64(nullptr);
}

// The C library's broken-down time of a calendar time (0 = now); false when it has none.
bool BreakDown(int64_t calendar, bool local, struct tm& fields)
{
    fields = {};
    __time64_t when = calendar ? calendar : Now();
    if (!TARVO_ASSERT(when >= 0 && when <= OSYS::CALENDAR_MAX))
        return false;
    errno_t failed = local ? _localtime64_s(&fields, &when) : _gmtime64_s(&fields, &when);
    return TARVO_CHECK(failed == 0, "_localtime64_s/_gmtime64_s", nullptr);
}

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool IsValidRecord(const SYSTEMTIME& record)
{
    static constexpr int DAYS_IN_MONTH[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (record.wYear < RECORD_YEAR_MIN || record.wYear > RECORD_YEAR_MAX || record.wMonth < 1 || record.wMonth > 12)
        return false;
    int days = DAYS_IN_MONTH[record.wMonth - 1] + (record.wMonth == 2 && IsLeapYear(record.wYear) ? 1 : 0);
    return record.wDay >= 1 && record.wDay <= days && record.wHour < 24 && record.wMinute < 60 && record.wSecond < 60 &&
           record.wMilliseconds < 1000;
}

struct tm FieldsFromRecord(const SYSTEMTIME& record)
{
    struct tm fields = {};
    fields.tm_year = record.wYear - 1900;
    fields.tm_mon = record.wMonth - 1;
    fields.tm_mday = record.wDay;
    fields.tm_hour = record.wHour;
    fields.tm_min = record.wMinute;
    fields.tm_sec = record.wSecond;
    return fields;
}

bool RecordFromCalendar(int64_t calendar, bool local, SYSTEMTIME& record)
{
    record = {};
    struct tm fields;
    if (!BreakDown(calendar, local, fields))
        return false;
    SYSTEMTIME clock;
    GetSystemTime(&clock);
    record.wYear = static_cast<WORD>(fields.tm_year + 1900);
    record.wMonth = static_cast<WORD>(fields.tm_mon + 1);
    record.wDayOfWeek = static_cast<WORD>(fields.tm_wday);
    record.wDay = static_cast<WORD>(fields.tm_mday);
    record.wHour = static_cast<WORD>(fields.tm_hour);
    record.wMinute = static_cast<WORD>(fields.tm_min);
    record.wSecond = static_cast<WORD>(fields.tm_sec);
    record.wMilliseconds = clock.wMilliseconds;
    return true;
}

int64_t CheckedCalendar(__time64_t calendar)
{
    return calendar >= 0 && calendar <= OSYS::CALENDAR_MAX ? calendar : -1;
}

// A date (record null: today) in the user's locale; pattern null: the locale's short date.
STRING FormatDate(const SYSTEMTIME* record, const char* pattern)
{
    char text[OSYS::DATE_TEXT_MAX + 1] = {};
    if (GetDateFormatA(LOCALE_USER_DEFAULT, 0, record, pattern, text, sizeof(text)) <= 0)
        return STRING(OSYS::DATE_ERROR_TEXT);
    return STRING(text);
}

STRING FormatTime(const SYSTEMTIME* record, const char* pattern)
{
    char text[OSYS::DATE_TEXT_MAX + 1] = {};
    if (GetTimeFormatA(LOCALE_USER_DEFAULT, 0, record, pattern, text, sizeof(text)) <= 0)
        return STRING(OSYS::DATE_ERROR_TEXT);
    return STRING(text);
}

STRING DateTimeErrorText()
{
    return STRING(OSYS::DATE_ERROR_TEXT) + "  " + OSYS::DATE_ERROR_TEXT;
}

} // namespace

namespace OSYS {

STRING GetTimeText()
{
    struct tm now;
    BreakDown(0, true, now);
    STRING text;
    text.Format("%02d:%02d:%02d", now.tm_hour, now.tm_min, now.tm_sec);
    return text;
}

STRING GetDateText()
{
    struct tm now;
    BreakDown(0, true, now);
    STRING text;
    text.Format("%04d-%02d-%02d", now.tm_year + 1900, now.tm_mon + 1, now.tm_mday);
    return text;
}

STRING GetDateTimeText(int64_t calendar)
{
    STRING text;
    struct tm when;
    if (BreakDown(calendar, true, when))
        text.Format("%04d-%02d-%02d  %02d:%02d:%02d", when.tm_year + 1900, when.tm_mon + 1, when.tm_mday, when.tm_hour,
                    when.tm_min, when.tm_sec);
    return text;
}

STRING GetLocaleDateText()
{
    return FormatDate(nullptr, nullptr);
}

STRING GetLocaleLongDateText()
{
    char pattern[DATE_TEXT_MAX + 1] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SLONGDATE, pattern, sizeof(pattern)) <= 0)
        return STRING(DATE_ERROR_TEXT);
    return FormatDate(nullptr, pattern);
}

STRING GetLocaleTimeText()
{
    char pattern[DATE_TEXT_MAX + 1] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, pattern, sizeof(pattern)) <= 0)
        snprintf(pattern, sizeof(pattern), "%s", TIME_PATTERN);
    return FormatTime(nullptr, pattern);
}

STRING GetLocaleDateTimeText(int64_t calendar)
{
    SYSTEMTIME local;
    if (!GetLocalRecord(calendar, local))
        return DateTimeErrorText();
    return FormatDate(&local, nullptr) + "  " + FormatTime(&local, TIME_PATTERN);
}

STRING GetRelativeDateTimeText(int64_t calendar)
{
    return GetRelativeDateTimeText(calendar, Now());
}

STRING GetRelativeDateTimeText(int64_t calendar, int64_t now)
{
    if (calendar == 0)
        calendar = now;
    SYSTEMTIME local;
    if (!GetLocalRecord(calendar, local))
        return DateTimeErrorText();
    // Days are counted in UTC, so away from Greenwich "Today" turns into "Yesterday" at UTC
    // midnight, not at local midnight.
    int64_t daysBack = now / SECONDS_PER_DAY - calendar / SECONDS_PER_DAY;
    STRING text;
    // A later day than today gets its date: no day name would fit it.
    if (daysBack > 6 || daysBack < 0)
        text = FormatDate(&local, "dddd").Left(2) + " " + FormatDate(&local, nullptr);
    else if (daysBack > 1)
        text = FormatDate(&local, "dddd");
    else if (daysBack == 1)
        text = IsGerman() ? "Gestern" : "Yesterday";
    else
        text = IsGerman() ? "Heute" : "Today";
    return text + "  " + FormatTime(&local, TIME_PATTERN);
}

bool GetUtcRecord(int64_t calendar, SYSTEMTIME& record)
{
    return RecordFromCalendar(calendar, false, record);
}

bool GetLocalRecord(int64_t calendar, SYSTEMTIME& record)
{
    return RecordFromCalendar(calendar, true, record);
}

int64_t CalendarFromUtcRecord(const SYSTEMTIME& record)
{
    if (record.wYear < CALENDAR_YEAR_MIN || !TARVO_ASSERT(IsValidRecord(record)))
        return -1;
    struct tm fields = FieldsFromRecord(record);
    return CheckedCalendar(_mkgmtime64(&fields));
}

int64_t CalendarFromLocalRecord(const SYSTEMTIME& record)
{
    if (record.wYear < CALENDAR_YEAR_MIN || !TARVO_ASSERT(IsValidRecord(record)))
        return -1;
    struct tm fields = FieldsFromRecord(record);
    // The record carries no daylight-saving state; the current one is taken, so a record
    // from the other season of the year comes out one daylight-saving hour off.
    struct tm now;
    BreakDown(0, true, now);
    fields.tm_isdst = now.tm_isdst;
    return CheckedCalendar(_mktime64(&fields));
}

STRING AddDateTime(const char* text, const SYSTEMTIME& duration, int factor)
{
    short year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!TARVO_ASSERT(text &&
                      sscanf(text, "%hd-%hd-%hd  %hd:%hd:%hd", &year, &month, &day, &hour, &minute, &second) == 6))
        return STRING();
    SYSTEMTIME record = {};
    record.wYear = static_cast<WORD>(year);
    record.wMonth = static_cast<WORD>(month);
    record.wDay = static_cast<WORD>(day);
    record.wHour = static_cast<WORD>(hour);
    record.wMinute = static_cast<WORD>(minute);
    record.wSecond = static_cast<WORD>(second);
    ULARGE_INTEGER ticks = {};
    FILETIME start = {};
    // Checked here too: some systems convert years past 30827 that they cannot convert back.
    if (!TARVO_ASSERT(IsValidRecord(record)) || !TARVO_ASSERT(SystemTimeToFileTime(&record, &start)))
        return STRING();
    ticks.LowPart = start.dwLowDateTime;
    ticks.HighPart = start.dwHighDateTime;

    int64_t seconds = duration.wDay * SECONDS_PER_DAY + duration.wHour * int64_t{3600} +
                      duration.wMinute * int64_t{60} + duration.wSecond;
    int64_t offset = 0;
    int64_t result = 0;
    // A large factor can carry the offset past the 64-bit tick range.
    bool overflow = __builtin_mul_overflow(seconds, static_cast<int64_t>(factor), &offset) ||
                    __builtin_mul_overflow(offset, FILETIME_TICKS_PER_SECOND, &offset) ||
                    __builtin_add_overflow(static_cast<int64_t>(ticks.QuadPart), offset, &result);
    if (!TARVO_ASSERT(!overflow && result >= 0))
        return STRING();
    ticks.QuadPart = static_cast<ULONGLONG>(result);
    FILETIME end = {ticks.LowPart, ticks.HighPart};
    SYSTEMTIME sum = {};
    if (!TARVO_ASSERT(FileTimeToSystemTime(&end, &sum) && sum.wYear <= RECORD_YEAR_MAX))
        return STRING();
    STRING written;
    written.Format("%02hd-%02hd-%02hd %02hd:%02hd:%02hd", static_cast<short>(sum.wYear), static_cast<short>(sum.wMonth),
                   static_cast<short>(sum.wDay), static_cast<short>(sum.wHour), static_cast<short>(sum.wMinute),
                   static_cast<short>(sum.wSecond));
    return written;
}

} // namespace OSYS
