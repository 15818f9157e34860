#include "model/DateTime.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace virs {
namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

TDate CivilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

constexpr std::int64_t UnixEpochDay = 25569; // 1970-01-01 as a day number
constexpr std::int64_t MsPerDay = 86400000;

} // namespace

std::int64_t EncodeDate(int year, int month, int day) {
    return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
           UnixEpochDay;
}

TDate DecodeDate(std::int64_t dayNumber) {
    return CivilFromDays(dayNumber - UnixEpochDay);
}

int DaysInMonth(int year, int month) {
    static constexpr int Days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return Days[month - 1] + (month == 2 && leap ? 1 : 0);
}

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int millisecond) {
    const std::int64_t ms =
        ((static_cast<std::int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
    return static_cast<double>(EncodeDate(year, month, day)) +
           static_cast<double>(ms) / static_cast<double>(MsPerDay);
}

namespace {
// Milliseconds since midnight of day 0, rounded; the day part follows the
// TDateTime convention that the date of a negative value is its integer part
// and the time its absolute fraction.
void Split(TDateTime t, std::int64_t& day, std::int64_t& msOfDay) {
    if (!std::isfinite(t)) {
        day = 0;
        msOfDay = 0;
        return;
    }
    double whole = std::trunc(t);
    double frac = std::fabs(t - whole);
    day = static_cast<std::int64_t>(whole);
    msOfDay = std::llround(frac * static_cast<double>(MsPerDay));
    if (msOfDay >= MsPerDay) { // rounding reached the next midnight
        msOfDay -= MsPerDay;
        day += t >= 0 ? 1 : -1;
    }
}
} // namespace

std::int64_t DayOf(TDateTime t) {
    std::int64_t day, ms;
    Split(t, day, ms);
    return day;
}

TTimeOfDay TimeOf(TDateTime t) {
    std::int64_t day, ms;
    Split(t, day, ms);
    TTimeOfDay tod;
    tod.Millisecond = static_cast<int>(ms % 1000);
    ms /= 1000;
    tod.Second = static_cast<int>(ms % 60);
    ms /= 60;
    tod.Minute = static_cast<int>(ms % 60);
    tod.Hour = static_cast<int>(ms / 60);
    return tod;
}

int HourOf(TDateTime t) {
    return TimeOf(t).Hour;
}

TDateTime SystemNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t secs = system_clock::to_time_t(now);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &secs);
#else
    localtime_r(&secs, &local);
#endif
    const int ms =
        static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec, ms);
}

} // namespace virs
