#include <gtest/gtest.h>

#include <ctime>

#include "model/DateTime.h"

namespace virs {
namespace {

TEST(DateTime, KnownDayNumbers) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
    EXPECT_EQ(EncodeDate(2000, 1, 1), DeviceEpochDay);
    EXPECT_EQ(EncodeDate(1999, 12, 31), 36525);
    EXPECT_EQ(EncodeDate(2024, 2, 29), 45351);
    EXPECT_EQ(EncodeDate(1970, 1, 1), 25569);
}

TEST(DateTime, DecodeInvertsEncodeAgainstTheCLibrary) {
    // timegm's calendar is the independent reference for every day of 1970..2100.
    for (std::int64_t day = 25569; day < EncodeDate(2100, 12, 31); day += 1) {
        const std::time_t secs = static_cast<std::time_t>((day - 25569) * 86400);
        std::tm tm{};
#ifdef _WIN32
        gmtime_s(&tm, &secs);
#else
        gmtime_r(&secs, &tm);
#endif
        const TDate d = DecodeDate(day);
        ASSERT_EQ(d.Year, tm.tm_year + 1900) << day;
        ASSERT_EQ(d.Month, tm.tm_mon + 1) << day;
        ASSERT_EQ(d.Day, tm.tm_mday) << day;
        ASSERT_EQ(EncodeDate(d.Year, d.Month, d.Day), day);
    }
}

TEST(DateTime, WholeHoursComeBackExactly) {
    // Built from whole hours, a date-time must give the same hour back for every
    // hour of every day, also after adding hours one at a time in floating point.
    int mismatches = 0;
    for (std::int64_t day = EncodeDate(2000, 1, 1); day < EncodeDate(2030, 1, 1); day += 37) {
        TDateTime stepped = static_cast<double>(day);
        for (int h = 0; h < 24; ++h) {
            const TDateTime t = static_cast<double>(day) + h / 24.0;
            mismatches += HourOf(t) != h || DayOf(t) != day;
            mismatches += HourOf(stepped) != h || DayOf(stepped) != day;
            stepped += 1.0 / 24.0;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(DateTime, PartsOfDateTimes) {
    const TDateTime t = EncodeDateTime(2024, 3, 15, 23, 59, 59, 999);
    EXPECT_EQ(DayOf(t), EncodeDate(2024, 3, 15));
    const TTimeOfDay tod = TimeOf(t);
    EXPECT_EQ(tod.Hour, 23);
    EXPECT_EQ(tod.Minute, 59);
    EXPECT_EQ(tod.Second, 59);
    EXPECT_EQ(tod.Millisecond, 999);
    // A value a hair below midnight rounds to the next day's 00:00, consistently.
    const TDateTime nearlyMidnight = EncodeDate(2024, 3, 16) - 1e-10;
    EXPECT_EQ(DayOf(nearlyMidnight), EncodeDate(2024, 3, 16));
    EXPECT_EQ(HourOf(nearlyMidnight), 0);
    // Before 1899-12-30 the date is the integer part and the time the fraction.
    EXPECT_EQ(DayOf(-1.25), -1);
    EXPECT_EQ(HourOf(-1.25), 6);
    EXPECT_FALSE(IsValidDate(2023, 2, 29));
    EXPECT_TRUE(IsValidDate(2024, 2, 29));
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
}

} // namespace
} // namespace virs
