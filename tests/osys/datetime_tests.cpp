#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "checkrecorder.h"
#include "osys/osys.h"
#include "osys/processvalues.h"
#include "osys_support.h"

namespace {

const char* const BAD_CALENDAR = "when >= 0 && when <= OSYS::CALENDAR_MAX";
const char* const BAD_RECORD = "IsValidRecord(record)";
const char* const OUT_OF_RANGE = "!overflow && result >= 0";

SYSTEMTIME Record(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int milliseconds = 0)
{
    return {WORD(year), WORD(month), 0, WORD(day), WORD(hour), WORD(minute), WORD(second), WORD(milliseconds)};
}

// The fields of a record but its milliseconds, the day of the week last.
std::string Fields(const SYSTEMTIME& r)
{
    char text[64];
    snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u %u", r.wYear, r.wMonth, r.wDay, r.wHour, r.wMinute,
             r.wSecond, r.wDayOfWeek);
    return text;
}

std::string SystemDate(const SYSTEMTIME* record, const char* pattern, DWORD flags = 0)
{
    char text[256] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, flags, record, pattern, text, sizeof(text));
    return text;
}

std::string SystemTime(const SYSTEMTIME* record, const char* pattern)
{
    char text[256] = {};
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, record, pattern, text, sizeof(text));
    return text;
}

// Compares a reading of the clock with the expected one taken around it, again when a
// second went by between the two.
template <class Actual, class Expected>
void ExpectSameReading(Actual actual, Expected expected)
{
    std::string before, got;
    for (int attempt = 0; attempt < 3; ++attempt) {
        before = expected();
        got = actual().c_str();
        if (before == expected())
            break;
    }
    EXPECT_EQ(got, before);
}

// The C library's local time is the system's only without TZ, which the program's start removes.
class DateTime : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        _putenv("TZ=");
        _tzset();
    }
};

TEST_F(DateTime, DateArithmetic)
{
    struct Case {
        const char* text;
        int day, hour, minute, second, factor;
        const char* result;              // null: refused
        const char* condition = nullptr; // the failed check of a refusal; null: any
    } cases[] = {
        {"2024-02-28  00:00:00", 1, 0, 0, 0, 1, "2024-02-29 00:00:00"},
        {"2023-02-28  00:00:00", 1, 0, 0, 0, 1, "2023-03-01 00:00:00"},
        {"2000-02-28  12:00:00", 1, 0, 0, 0, 1, "2000-02-29 12:00:00"},
        {"1900-02-28  12:00:00", 1, 0, 0, 0, 1, "1900-03-01 12:00:00"},
        {"2100-02-28  23:59:59", 0, 0, 0, 1, 1, "2100-03-01 00:00:00"},
        {"2023-12-31  10:00:00", 1, 0, 0, 0, 1, "2024-01-01 10:00:00"},
        {"2024-03-01  00:00:00", 1, 0, 0, 0, -1, "2024-02-29 00:00:00"},
        {"2023-03-01  06:00:00", 1, 0, 0, 0, -1, "2023-02-28 06:00:00"},
        {"2024-01-01  00:00:00", 0, 0, 0, 1, -1, "2023-12-31 23:59:59"},
        {"2024-01-31  08:00:00", 1, 2, 30, 15, 3, "2024-02-03 15:30:45"},
        {"2024-01-31  08:00:00", 0, 0, 90, 0, -2, "2024-01-31 05:00:00"},
        {"2024-01-31 08:00:00", 365, 0, 0, 0, 1, "2025-01-30 08:00:00"},
        {"30827-12-31  23:59:59", 0, 0, 0, 0, 1, "30827-12-31 23:59:59"},
        {"2023-13-01  00:00:00", 1, 0, 0, 0, 1, nullptr, BAD_RECORD},
        {"2023-01-00  00:00:00", 1, 0, 0, 0, 1, nullptr, BAD_RECORD},
        {"2023-02-29  00:00:00", 1, 0, 0, 0, 1, nullptr, BAD_RECORD},
        {"1900-02-29  00:00:00", 1, 0, 0, 0, 1, nullptr, BAD_RECORD},
        {"2100-02-29  00:00:00", 1, 0, 0, 0, 1, nullptr, BAD_RECORD},
        {"30828-01-01  00:00:00", 0, 0, 0, 0, 1, nullptr, BAD_RECORD},
        {"1600-12-31  23:59:59", 0, 0, 0, 1, 1, nullptr, BAD_RECORD},
        {"30827-12-31  23:59:59", 0, 0, 0, 1, 1, nullptr,
         "FileTimeToSystemTime(&end, &sum) && sum.wYear <= RECORD_YEAR_MAX"},
        {"1601-01-01  00:00:00", 0, 0, 0, 1, -1, nullptr, OUT_OF_RANGE},
        {"2023-01-01  00:00:00", 65535, 0, 0, 0, INT_MAX, nullptr, OUT_OF_RANGE},
        {"2023-01-01", 1, 0, 0, 0, 1, nullptr},
        {nullptr, 1, 0, 0, 0, 1, nullptr},
    };
    for (const Case& c : cases) {
        const char* text = c.text ? c.text : "(null)";
        rig::CheckRecorder checks;
        STRING result = OSYS::AddDateTime(c.text, Record(0, 0, c.day, c.hour, c.minute, c.second), c.factor);
        EXPECT_EQ(result.IsNull(), c.result == nullptr) << text;
        EXPECT_STREQ(result.c_str(), c.result ? c.result : "") << text << " x" << c.factor;
        ASSERT_EQ(checks.Conditions().size(), c.result ? 0u : 1u) << text;
        EXPECT_TRUE(!c.condition || checks.Conditions()[0] == c.condition) << text << ": " << checks.Conditions()[0];
    }
}

TEST_F(DateTime, RecordCalendarRoundTrip)
{
    struct Case {
        int64_t calendar;
        const char* utc; // with the day of the week, 0 = Sunday
    } cases[] = {
        {1, "1970-01-01 00:00:01 4"},
        {951782400, "2000-02-29 00:00:00 2"},
        {1704067199, "2023-12-31 23:59:59 0"},
        {1709164800, "2024-02-29 00:00:00 4"},
        {4107542399, "2100-02-28 23:59:59 0"},
        {4107542400, "2100-03-01 00:00:00 1"},
        {OSYS::CALENDAR_MAX, "3000-12-31 23:59:59 3"},
    };
    TIME_ZONE_INFORMATION zone = {};
    GetTimeZoneInformation(&zone);
    // A local record from the other season comes back off by the daylight-saving hour.
    int64_t seasonSlack = zone.DaylightDate.wMonth ? -60 * int64_t{zone.DaylightBias} : 0;
    for (const Case& c : cases) {
        SYSTEMTIME utc, local, systemLocal;
        ASSERT_TRUE(OSYS::GetUtcRecord(c.calendar, utc)) << c.calendar;
        EXPECT_EQ(Fields(utc), c.utc);
        EXPECT_LT(utc.wMilliseconds, 1000);
        EXPECT_EQ(OSYS::CalendarFromUtcRecord(utc), c.calendar);

        ASSERT_TRUE(OSYS::GetLocalRecord(c.calendar, local)) << c.calendar;
        ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &utc, &systemLocal));
        EXPECT_EQ(Fields(local), Fields(systemLocal)) << c.calendar;
        int64_t back = OSYS::CalendarFromLocalRecord(local);
        if (local.wYear < 1970 || local.wYear > 3000) {
            EXPECT_EQ(back, -1) << c.calendar;
            continue;
        }
        back -= c.calendar;
        EXPECT_TRUE(back == 0 || back == seasonSlack || back == -seasonSlack) << c.calendar << " " << back;
    }
    int64_t now = _time64(nullptr);
    SYSTEMTIME current;
    ASSERT_TRUE(OSYS::GetLocalRecord(now, current));
    EXPECT_EQ(OSYS::CalendarFromLocalRecord(current), now);
}

TEST_F(DateTime, RecordConversionsRefuseBadInput)
{
    for (const SYSTEMTIME& record : {Record(2023, 13, 1), Record(2023, 1, 0), Record(30828, 1, 1),
                                     Record(2023, 1, 1, 24), Record(2023, 1, 1, 0, 60)}) {
        rig::CheckRecorder checks;
        EXPECT_EQ(OSYS::CalendarFromUtcRecord(record), -1) << Fields(record);
        EXPECT_EQ(OSYS::CalendarFromLocalRecord(record), -1) << Fields(record);
        EXPECT_EQ(checks.Conditions(), std::vector<std::string>(2, BAD_RECORD));
    }
    // Outside the calendar's years, but no fault of the caller's.
    for (const SYSTEMTIME& record : {Record(1969, 12, 31, 23, 59, 59), Record(1601, 1, 1), Record(3001, 1, 1)}) {
        rig::CheckRecorder checks;
        EXPECT_EQ(OSYS::CalendarFromUtcRecord(record), -1) << record.wYear;
        EXPECT_EQ(OSYS::CalendarFromLocalRecord(record), -1) << record.wYear;
        EXPECT_TRUE(checks.Conditions().empty()) << record.wYear;
    }
    for (int64_t calendar : {int64_t{-1}, int64_t{-86400}, INT64_MIN, OSYS::CALENDAR_MAX + 1}) {
        rig::CheckRecorder checks;
        SYSTEMTIME record = Record(2000, 1, 1);
        EXPECT_FALSE(OSYS::GetUtcRecord(calendar, record)) << calendar;
        EXPECT_EQ(record.wYear, 0) << calendar;
        EXPECT_FALSE(OSYS::GetLocalRecord(calendar, record)) << calendar;
        EXPECT_TRUE(OSYS::GetDateTimeText(calendar).IsNull()) << calendar;
        EXPECT_STREQ(OSYS::GetLocaleDateTimeText(calendar).c_str(), "<error>  <error>") << calendar;
        EXPECT_STREQ(OSYS::GetRelativeDateTimeText(calendar).c_str(), "<error>  <error>") << calendar;
        EXPECT_EQ(checks.Conditions(), std::vector<std::string>(5, BAD_CALENDAR)) << calendar;
    }
}

TEST_F(DateTime, TextsAsTheSystemWritesThem)
{
    auto localNow = [] {
        SYSTEMTIME now;
        GetLocalTime(&now);
        return SystemDate(&now, "yyyy-MM-dd") + "  " + SystemTime(&now, "HH:mm:ss");
    };
    ExpectSameReading([] { return OSYS::GetDateTimeText(0); }, localNow);
    ExpectSameReading([] { return OSYS::GetDateText() + "  " + OSYS::GetTimeText(); }, localNow);
    ExpectSameReading(OSYS::GetLocaleDateText, [] { return SystemDate(nullptr, nullptr); });
    // The long date pattern read from the locale writes what the system's own long date flag does.
    ExpectSameReading(OSYS::GetLocaleLongDateText, [] { return SystemDate(nullptr, nullptr, DATE_LONGDATE); });
    ExpectSameReading(OSYS::GetLocaleTimeText, [] { return SystemTime(nullptr, nullptr); });
    EXPECT_EQ(OSYS::GetLocaleTimeText().CodePage, 1252);

    for (int64_t calendar : {int64_t{86401}, int64_t{951782400}, int64_t{1709164800}, OSYS::CALENDAR_MAX}) {
        SYSTEMTIME local;
        ASSERT_TRUE(OSYS::GetLocalRecord(calendar, local));
        std::string time = "  " + SystemTime(&local, "HH:mm:ss");
        EXPECT_EQ(OSYS::GetDateTimeText(calendar).c_str(), SystemDate(&local, "yyyy-MM-dd") + time);
        EXPECT_EQ(OSYS::GetLocaleDateTimeText(calendar).c_str(), SystemDate(&local, nullptr) + time);
    }
}

TEST_F(DateTime, RelativeDayNames)
{
    enum Kind { TODAY, YESTERDAY, WEEKDAY, SHORTDATE };
    const int64_t now = 1709208000; // 2024-02-29 12:00:00 UTC; days are counted in UTC
    const int64_t hour = 3600, day = 86400;
    struct Case {
        int64_t offset;
        Kind kind;
    } cases[] = {
        {0, TODAY},          {-12 * hour, TODAY},     {11 * hour, TODAY},        {-12 * hour - 1, YESTERDAY},
        {-day, YESTERDAY},   {-36 * hour, YESTERDAY}, {-36 * hour - 1, WEEKDAY}, {-3 * day, WEEKDAY},
        {-6 * day, WEEKDAY}, {-7 * day, SHORTDATE},   {-10 * day, SHORTDATE},    {day, SHORTDATE},
    };
    struct Language {
        int id;
        std::string today, yesterday;
    } languages[] = {{LANG_ENGLISH, "Today", "Yesterday"}, {LANG_GERMAN, "Heute", "Gestern"}};
    const int previous = gLocale;
    for (const Language& language : languages) {
        gLocale = language.id;
        for (const Case& c : cases) {
            SYSTEMTIME local;
            EXPECT_TRUE(OSYS::GetLocalRecord(now + c.offset, local)); // no early return: gLocale is put back below
            std::string weekday = SystemDate(&local, "dddd");
            std::string names[] = {language.today, language.yesterday, weekday,
                                   weekday.substr(0, 2) + " " + SystemDate(&local, nullptr)};
            EXPECT_EQ(OSYS::GetRelativeDateTimeText(now + c.offset, now).c_str(),
                      names[c.kind] + "  " + SystemTime(&local, "HH:mm:ss"))
                << language.id << " " << c.offset;
        }
        // On the real clock 0 stands for now.
        EXPECT_EQ(std::string(OSYS::GetRelativeDateTimeText(0).c_str()).substr(0, language.today.size() + 2),
                  language.today + "  ");
    }
    gLocale = previous;
}

} // namespace
