// The first request of every device type and view, and the archive range
// rules: the dialog's dates and the job range, hour by hour.

#include <gtest/gtest.h>

#include "jobs/ArchiveRange.h"
#include "jobs/Jobs.h"

namespace virs {
namespace {

std::int64_t Day(int y, int m, int d) {
    return EncodeDate(y, m, d);
}

struct TFirstCase {
    const char* Name;
    TDeviceType Type;
    u8 View;
    std::int64_t First, Last; // the dialog's dates (archives only)
    TDateTime Now;
    u8 Function;
    std::uint16_t Start, Count;
    std::size_t BlockOffset; // where the data go, from the start of the job buffer
};

// Byte offsets of the blocks inside the work area, for the table below.
const DeviceWorkArea Probe;
std::size_t OffsetOf(const void* p) {
    return static_cast<std::size_t>(static_cast<const std::uint8_t*>(p) -
                                    reinterpret_cast<const std::uint8_t*>(&Probe));
}
const std::size_t ShCurrent = OffsetOf(Probe.ShCurrentBlock.Bytes);
const std::size_t ShRecord = OffsetOf(Probe.ShArchiveRecord.Bytes);
const std::size_t DCurrent = OffsetOf(Probe.DCurrentBlock.Bytes);
const std::size_t DSettings = OffsetOf(Probe.DSettingsBlock.Bytes);
const std::size_t D2Image = OffsetOf(Probe.D2Image.Bytes);
constexpr std::size_t NoData = ~std::size_t{0};

const TDateTime Noon20240315 = EncodeDateTime(2024, 3, 15, 12, 0, 0);

class FirstRequestTest : public ::testing::TestWithParam<TFirstCase> {};

TEST_P(FirstRequestTest, FunctionRegistersAndBuffer) {
    const TFirstCase& c = GetParam();
    DeviceWorkArea buffer;
    const TArchiveKind kind = ArchiveKindOf(c.Type, c.View);
    TArchiveJobRange range;
    if (kind != TArchiveKind::None)
        range = ArchiveJobRange(c.Type, kind, c.First, c.Last, c.Now);
    const TFirstRequest r = FirstRequest(c.Type, c.View, range, buffer);
    ASSERT_TRUE(r.Valid);
    EXPECT_EQ(r.FunctionCode, c.Function);
    EXPECT_EQ(r.StartRegister, c.Start);
    EXPECT_EQ(r.RegisterCount, c.Count);
    if (c.BlockOffset == NoData)
        EXPECT_EQ(r.Data, nullptr);
    else
        EXPECT_EQ(r.Data - reinterpret_cast<std::uint8_t*>(&buffer),
                  static_cast<long>(c.BlockOffset));
}

const std::int64_t Jan1 = Day(2000, 1, 1);
const std::int64_t D = Day(2024, 3, 10); // a past day

INSTANTIATE_TEST_SUITE_P(
    EveryTypeAndView, FirstRequestTest,
    ::testing::Values(
        TFirstCase{"ShCurrent", DeviceVirsSh, 0, 0, 0, Noon20240315, 3, 0, 22, ShCurrent},
        TFirstCase{"ShDaily", DeviceVirsSh, 1, Jan1, Jan1 + 2, Noon20240315, 3, 1003, 5, ShRecord},
        // The last slot of the four-year daily ring lies below the first, at 1000,
        // never at 2461 where the hourly area begins.
        TFirstCase{"ShDailyLastSlot", DeviceVirsSh, 1, Day(2003, 12, 30), Day(2003, 12, 31),
                   Noon20240315, 3, 1000, 5, ShRecord},
        TFirstCase{"ShDailyRingAgain", DeviceVirsSh, 1, Day(2004, 1, 1), Day(2004, 1, 1),
                   Noon20240315, 3, 1001, 5, ShRecord},
        // A past last day: the end is D + 1 = 11.03.2024, device day 8836
        // (24 years with 6 leap days = 8766, plus 31 + 29 + 10); 8836 mod 280 =
        // 156, so 156 * 24 + 2461 = 6205.
        TFirstCase{"ShHourlyPast", DeviceVirsSh, 2, D, D, Noon20240315, 3, 6205, 5, ShRecord},
        // Today 15.03.2024 at noon: device day 8840, 8840 mod 280 = 160, and the
        // hour 12: 160 * 24 + 12 + 2461 = 6313.
        TFirstCase{"ShHourlyToday", DeviceVirsSh, 2, Day(2024, 3, 15), Day(2024, 3, 15),
                   Noon20240315, 3, 6313, 5, ShRecord},
        TFirstCase{"DCurrent", DeviceVirsD, 0, 0, 0, Noon20240315, 3, 0, 64, DCurrent},
        TFirstCase{"DKCurrent", DeviceVirsDK, 0, 0, 0, Noon20240315, 3, 0, 64, DCurrent},
        TFirstCase{"DDaily", DeviceVirsD, 1, D, D, Noon20240315, 3, 56, 8, DCurrent + 112},
        TFirstCase{"DHourly", DeviceVirsD, 2, D, D, Noon20240315, 3, 56, 8, DCurrent + 112},
        TFirstCase{"DKMonthly", DeviceVirsDK, 3, D, D, Noon20240315, 3, 56, 8, DCurrent + 112},
        TFirstCase{"DSettings", DeviceVirsD, 4, 0, 0, Noon20240315, 3, 400, 340, DSettings},
        TFirstCase{"D2Current", DeviceVirsD2, 0, 0, 0, Noon20240315, 3, 64, 93, D2Image},
        // Starting 1 January 2000 the day before is day -1: (-1) and 511 = 511.
        TFirstCase{"D2Daily2000", DeviceVirsD2, 1, Jan1, Jan1, Noon20240315, 67, 511, 1, NoData},
        // The day before D is device day 8834 = 17 * 512 + 130.
        TFirstCase{"D2Daily", DeviceVirsD2, 1, D, D, Noon20240315, 67, 130, 1, NoData},
        TFirstCase{"D2Hourly2000", DeviceVirsD2, 2, Jan1, Jan1, Noon20240315, 67, 512, 1, NoData},
        // D is device day 8835 = 138 * 64 + 3: 3 * 24 + 512 = 584.
        TFirstCase{"D2Hourly", DeviceVirsD2, 2, D, D, Noon20240315, 67, 584, 1, NoData},
        TFirstCase{"D2Settings", DeviceVirsD2, 3, 0, 0, Noon20240315, 3, 156, 130, D2Image + 184}),
    [](const ::testing::TestParamInfo<TFirstCase>& p) { return std::string(p.param.Name); });

TEST(FirstRequestTest, TabsATypeDoesNotHaveStartNothing) {
    DeviceWorkArea buffer;
    EXPECT_FALSE(FirstRequest(DeviceVirsSh, 3, {}, buffer).Valid);
    EXPECT_FALSE(FirstRequest(DeviceVirsD2, 4, {}, buffer).Valid);
    EXPECT_FALSE(FirstRequest(DeviceOff, 0, {}, buffer).Valid);
    EXPECT_FALSE(FirstRequest(DeviceKren, 0, {}, buffer).Valid);
}

// Every hour of several days, including the first and the last hour: the hour
// taken from the job range is the hour of the clock, whatever the floating
// point representation of the time would have given.
TEST(ArchiveRangeTest, EveryHourOfSeveralDaysComesOutExactly) {
    for (const std::int64_t day : {Day(2000, 1, 1), Day(2012, 2, 29), Day(2024, 3, 15),
                                   Day(2024, 12, 31), Day(2031, 7, 4)}) {
        for (int hour = 0; hour < 24; ++hour) {
            const TDate date = DecodeDate(day);
            const TDateTime now = EncodeDateTime(date.Year, date.Month, date.Day, hour, 0, 0);
            SCOPED_TRACE(std::to_string(day) + " " + std::to_string(hour) + ":00");

            // ВИРС-Ш hourly ending today: the first register holds this hour.
            const TArchiveJobRange sh =
                ArchiveJobRange(DeviceVirsSh, TArchiveKind::Hourly, day - 2, day, now);
            EXPECT_EQ(sh.EndDay, day);
            EXPECT_EQ(sh.EndMs, hour * 3'600'000LL);
            EXPECT_EQ(HourOf(sh.EndDate), hour);
            EXPECT_EQ(sh.RecordsTotal, 2 * 24 + 24);
            DeviceWorkArea buffer;
            EXPECT_EQ(FirstRequest(DeviceVirsSh, 2, sh, buffer).StartRegister,
                      (day - 36526) % 280 * 24 + hour + 2461);

            // ВИРС-Д hourly ending today: the last complete hour, counted in
            // whole hours from midnight of the first day.
            const TArchiveJobRange d =
                ArchiveJobRange(DeviceVirsD, TArchiveKind::Hourly, day - 3, day, now);
            EXPECT_EQ(d.RecordsTotal, 3 * 24 + hour - 1);
            EXPECT_EQ(d.EndMs, (hour - 1) * 3'600'000LL);
        }
    }
}

TEST(ArchiveRangeTest, MinutesIntoTheHourDoNotCount) {
    const std::int64_t day = Day(2024, 3, 15);
    const TDateTime now = EncodeDateTime(2024, 3, 15, 1, 59, 59, 999);
    EXPECT_EQ(ArchiveJobRange(DeviceVirsSh, TArchiveKind::Hourly, day, day, now).EndMs, 3'600'000);
    // ВИРС-Д: the end is now less one hour, so 00:59:59.999 of today.
    const TArchiveJobRange d = ArchiveJobRange(DeviceVirsD, TArchiveKind::Hourly, day, day, now);
    EXPECT_EQ(d.RecordsTotal, 0);
    EXPECT_EQ(d.EndMs, 3'599'999);
}

struct TRangeCase {
    const char* Name;
    TDeviceType Type;
    TArchiveKind Kind;
    std::int64_t First, Last;
    std::int64_t StartDay, EndDay, EndMs;
    std::int32_t Total;
};

class JobRangeTest : public ::testing::TestWithParam<TRangeCase> {};

TEST_P(JobRangeTest, DatesAndCount) {
    const TRangeCase& c = GetParam();
    const TArchiveJobRange r = ArchiveJobRange(c.Type, c.Kind, c.First, c.Last, Noon20240315);
    EXPECT_EQ(r.StartDay, c.StartDay);
    EXPECT_EQ(r.EndDay, c.EndDay);
    EXPECT_EQ(r.EndMs, c.EndMs);
    EXPECT_EQ(r.RecordsTotal, c.Total);
    EXPECT_EQ(DayOf(r.StartDate), c.StartDay);
}

const std::int64_t Today = Day(2024, 3, 15);

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, JobRangeTest,
    ::testing::Values(
        TRangeCase{"ShDaily1to3Jan2000", DeviceVirsSh, TArchiveKind::Daily, Jan1, Jan1 + 2, Jan1,
                   Jan1 + 2, 0, 2},
        TRangeCase{"ShHourlyPastDay", DeviceVirsSh, TArchiveKind::Hourly, D, D, D, D + 1, 0, 48},
        TRangeCase{"DDailyOneDay", DeviceVirsD, TArchiveKind::Daily, D, D, D, D, 0, 1},
        TRangeCase{"DHourlyPastDay", DeviceVirsD, TArchiveKind::Hourly, D, D, D, D, 23 * 3'600'000,
                   23},
        TRangeCase{"DHourlyToday", DeviceVirsDK, TArchiveKind::Hourly, Today - 1, Today, Today - 1,
                   Today, 11 * 3'600'000, 35},
        TRangeCase{"DMonthly15Mar20May", DeviceVirsD, TArchiveKind::Monthly, Day(2024, 3, 15),
                   Day(2024, 5, 20), Day(2024, 3, 1), Day(2024, 5, 1), 0, 3},
        TRangeCase{"DMonthlyJanToMar", DeviceVirsD, TArchiveKind::Monthly, Day(2023, 1, 10),
                   Day(2023, 3, 2), Day(2023, 1, 1), Day(2023, 3, 1), 0, 2},
        TRangeCase{"D2DailyFrom1Jan2000", DeviceVirsD2, TArchiveKind::Daily, Jan1, Jan1 + 4,
                   Jan1 - 1, Jan1 + 4, 0, 5},
        TRangeCase{"D2HourlyTwoDays", DeviceVirsD2, TArchiveKind::Hourly, D, D + 1, D, D + 2, 0,
                   48}),
    [](const ::testing::TestParamInfo<TRangeCase>& p) { return std::string(p.param.Name); });

TEST(ArchiveDialogTest, DatesSetAtCreationAndAtEveryUse) {
    const std::int64_t today = Day(2024, 3, 15);
    TArchiveRangeDialog dialog;
    PrepareArchiveDialog(dialog, DeviceVirsSh, TArchiveKind::Daily, today);
    EXPECT_EQ(dialog.FirstDay, today - 1);
    EXPECT_EQ(dialog.LastDay, today - 1);
    EXPECT_EQ(dialog.MaxDay, today - 1);
    EXPECT_FALSE(dialog.RadioVisible);

    // The dialog is kept: the dates chosen last stay.
    dialog.FirstDay = today - 10;
    dialog.LastDay = today - 5;
    PrepareArchiveDialog(dialog, DeviceVirsD, TArchiveKind::Daily, today);
    EXPECT_EQ(dialog.FirstDay, today - 10);
    EXPECT_EQ(dialog.LastDay, today - 5);
    EXPECT_EQ(dialog.MaxDay, today);
    EXPECT_TRUE(dialog.RadioVisible);

    // ВИРС-Ш hourly: both dates jump to today at every use.
    PrepareArchiveDialog(dialog, DeviceVirsSh, TArchiveKind::Hourly, today);
    EXPECT_EQ(dialog.FirstDay, today);
    EXPECT_EQ(dialog.LastDay, today);
    EXPECT_EQ(dialog.MaxDay, today);
    EXPECT_FALSE(dialog.RadioVisible);

    // Back to a ВИРС-Ш daily archive: today is past its latest date.
    PrepareArchiveDialog(dialog, DeviceVirsSh, TArchiveKind::Daily, today);
    EXPECT_EQ(dialog.LastDay, today - 1);
    EXPECT_EQ(dialog.FirstDay, today - 1);

    TArchiveRangeDialog fresh;
    PrepareArchiveDialog(fresh, DeviceVirsD2, TArchiveKind::Hourly, today);
    EXPECT_EQ(fresh.FirstDay, today);
    EXPECT_TRUE(fresh.RadioVisible);
}

TEST(ArchiveDialogTest, OkAcceptsEqualDatesAndRefusesAnEndBeforeTheStart) {
    EXPECT_TRUE(ArchiveRangeAcceptable(100, 100));
    EXPECT_TRUE(ArchiveRangeAcceptable(100, 101));
    EXPECT_FALSE(ArchiveRangeAcceptable(101, 100));
}

TEST(CyclicPollingTest, TimerIntervalCoversOneFailingFrame) {
    TNode node = NewNodeRecord();
    node.ReplyTimeoutMs = 3000;
    node.Retries = 3;
    EXPECT_EQ(CyclicInterval(node), 10000);
    node.ReplyTimeoutMs = 0; // a stored 0 counts as the default 3000 ms
    node.Retries = 2;
    EXPECT_EQ(CyclicInterval(node), 7000);
}

} // namespace
} // namespace virs
