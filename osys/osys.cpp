#include "osys/osys.h"

#include <windows.h>

#include <cstdio>
#include <ctime>

namespace {

struct tm LocalTime(int64_t calendar)
{
    __time64_t t = calendar ? calendar : _time64(nullptr);
    struct tm local = {};
    _localtime64_s(&local, &t);
    return local;
}

} // namespace

namespace OSYS {

STRING GetTimeText()
{
    struct tm now = LocalTime(0);
    STRING text;
    text.Format("%02d:%02d:%02d", now.tm_hour, now.tm_min, now.tm_sec);
    return text;
}

STRING GetDateText()
{
    struct tm now = LocalTime(0);
    STRING text;
    text.Format("%04d-%02d-%02d", now.tm_year + 1900, now.tm_mon + 1, now.tm_mday);
    return text;
}

STRING GetDateTimeText(int64_t calendar)
{
    struct tm when = LocalTime(calendar);
    STRING text;
    text.Format("%04d-%02d-%02d  %02d:%02d:%02d", when.tm_year + 1900, when.tm_mon + 1, when.tm_mday, when.tm_hour,
                when.tm_min, when.tm_sec);
    return text;
}

STRING GetLocaleTimeText()
{
    char pattern[80] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, pattern, sizeof(pattern)) <= 0)
        snprintf(pattern, sizeof(pattern), "HH:mm:ss");
    char text[80] = {};
    if (GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, pattern, text, sizeof(text)) <= 0)
        return STRING("<error>");
    return STRING(text);
}

} // namespace OSYS
