#include "sim/SimTime.h"

#include <cstdio>
#include <ctime>

namespace virs::sim {

// Days from 2000-01-01 of a proleptic Gregorian date (era arithmetic).
i64 DaysFromCivil(int year, int month, int day) {
    const i64 y = static_cast<i64>(year) - (month <= 2 ? 1 : 0);
    const i64 era = (y >= 0 ? y : y - 399) / 400;
    const i64 yoe = y - era * 400;
    const i64 mp = (month + 9) % 12;
    const i64 doy = (153 * mp + 2) / 5 + day - 1;
    const i64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 - 10957; // 10957 = days from 1970 to 2000
}

void CivilFromDays(i64 days, int& year, int& month, int& day) {
    const i64 z = days + 10957 + 719468;
    const i64 era = (z >= 0 ? z : z - 146096) / 146097;
    const i64 doe = z - era * 146097;
    const i64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const i64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const i64 mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

SimSeconds SecondsFromCivil(const TCivilTime& t) {
    return DaysFromCivil(t.Year, t.Month, t.Day) * SecondsPerDay + t.Hour * 3600 + t.Minute * 60 +
           t.Second;
}

TCivilTime CivilFromSeconds(SimSeconds s) {
    TCivilTime t;
    const i64 day = DayOf(s);
    CivilFromDays(day, t.Year, t.Month, t.Day);
    const i64 rest = s - day * SecondsPerDay;
    t.Hour = static_cast<int>(rest / 3600);
    t.Minute = static_cast<int>(rest / 60 % 60);
    t.Second = static_cast<int>(rest % 60);
    return t;
}

int DaysInMonth(int year, int month) {
    static const int Days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : Days[(month - 1) % 12];
}

bool ParseSimTime(const std::string& text, SimSeconds& out) {
    TCivilTime t;
    char sep = 0;
    int used = 0;
    const int n = std::sscanf(text.c_str(), "%4d-%2d-%2d%n%c%2d:%2d:%2d", &t.Year, &t.Month, &t.Day,
                              &used, &sep, &t.Hour, &t.Minute, &t.Second);
    if (n < 3)
        return false;
    if (n == 3 && static_cast<std::size_t>(used) != text.size())
        return false;
    if (n > 3 && ((sep != 'T' && sep != ' ') || n < 6))
        return false;
    if (t.Month < 1 || t.Month > 12 || t.Day < 1 || t.Day > DaysInMonth(t.Year, t.Month) ||
        t.Hour < 0 || t.Hour > 23 || t.Minute < 0 || t.Minute > 59 || t.Second < 0 ||
        t.Second > 59 || t.Year < 2000 || t.Year > 2099)
        return false;
    out = SecondsFromCivil(t);
    return true;
}

std::string FormatSimTime(SimSeconds s) {
    const TCivilTime t = CivilFromSeconds(s);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", t.Year, t.Month, t.Day, t.Hour,
                  t.Minute, t.Second);
    return buf;
}

SimSeconds HostLocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    TCivilTime t{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                 local.tm_hour,        local.tm_min,     local.tm_sec > 59 ? 59 : local.tm_sec};
    return SecondsFromCivil(t);
}

TSimClock::TSimClock(SimSeconds start, bool running)
    : Start_(start), Running_(running), Origin_(std::chrono::steady_clock::now()) {}

SimSeconds TSimClock::Now() const {
    if (!Running_)
        return Start_;
    const auto elapsed = std::chrono::steady_clock::now() - Origin_;
    return Start_ + std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
}

} // namespace virs::sim
