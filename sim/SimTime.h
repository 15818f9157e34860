#pragma once
// Calendar arithmetic of the simulated meters and the simulated clock.
// Days are counted from 2000-01-01 (day 0), as the meters count them; the
// program's day numbers are these plus 36526.

#include <atomic>
#include <chrono>
#include <string>

#include "sim/SimTypes.h"

namespace virs::sim {

inline constexpr i64 DayNumberOf2000 = 36526; // 2000-01-01 as days from 1899-12-30
inline constexpr i64 SecondsPerDay = 86400;

struct TCivilTime {
    int Year = 2000, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0;
};

i64 DaysFromCivil(int year, int month, int day);
void CivilFromDays(i64 days, int& year, int& month, int& day);
SimSeconds SecondsFromCivil(const TCivilTime& t);
TCivilTime CivilFromSeconds(SimSeconds s);
int DaysInMonth(int year, int month);
inline i64 DayOf(SimSeconds s) {
    return s >= 0 ? s / SecondsPerDay : (s - SecondsPerDay + 1) / SecondsPerDay;
}

// "2024-03-15T10:00:00", "2024-03-15 10:00" or "2024-03-15"; false when not a valid time.
bool ParseSimTime(const std::string& text, SimSeconds& out);
std::string FormatSimTime(SimSeconds s); // "2024-03-15T10:00:00"
// The host's local time now, as simulated seconds.
SimSeconds HostLocalNow();

// The meters' clock: either standing still at a fixed moment (tests predict the
// values) or running from a start moment at the host's pace.
class TSimClock {
public:
    TSimClock(SimSeconds start, bool running);
    SimSeconds Now() const;
    bool Running() const { return Running_; }

private:
    SimSeconds Start_;
    bool Running_;
    std::chrono::steady_clock::time_point Origin_;
};

} // namespace virs::sim
