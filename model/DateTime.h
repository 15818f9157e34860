#pragma once
// TDateTime: days since 1899-12-30 as a double, the fraction being the time of
// day. Calendar arithmetic is done on whole days and whole seconds, never by
// taking a double apart with repeated floating-point steps.

#include <cstdint>
#include <functional>

namespace virs {

using TDateTime = double;

inline constexpr int DeviceEpochDay = 36526; // 2000-01-01, the devices' day 0

struct TDate {
    int Year = 1899, Month = 12, Day = 30;
};
struct TTimeOfDay {
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// Day number of a calendar date (proleptic Gregorian). 1899-12-30 is 0.
std::int64_t EncodeDate(int year, int month, int day);
TDate DecodeDate(std::int64_t dayNumber);
bool IsValidDate(int year, int month, int day);
int DaysInMonth(int year, int month);

// A TDateTime from parts; the time is rounded to whole milliseconds.
TDateTime EncodeDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                         int millisecond = 0);
// Whole days of a TDateTime (Trunc for dates after 1899-12-30, floor before, as
// the date part of a negative TDateTime is its integer part).
std::int64_t DayOf(TDateTime t);
// Time of day of a TDateTime, rounded to the nearest millisecond, so that a
// value built from whole hours gives those hours back exactly.
TTimeOfDay TimeOf(TDateTime t);
// Whole hours since midnight, with the same rounding as TimeOf.
int HourOf(TDateTime t);

// The program's clock, a seam for tests: returns the local date and time.
using TClock = std::function<TDateTime()>;
TDateTime SystemNow();

} // namespace virs
