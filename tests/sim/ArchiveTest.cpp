// Archive addressing and content of the three archive families, ring wraps included.

#include <gtest/gtest.h>

#include <cmath>

#include "sim/MeterD.h"
#include "sim/MeterD2.h"
#include "sim/MeterSh.h"
#include "sim/SimTime.h"

namespace virs::sim {
namespace {

SimSeconds At(const char* text) {
    SimSeconds t = 0;
    EXPECT_TRUE(ParseSimTime(text, t)) << text;
    return t;
}

TMeterConfig MeterConfigOf(TMeterKind kind, u8 address,
                           const char* commissioned = "2019-06-01T00:00:00") {
    TMeterConfig s;
    s.Kind = kind;
    s.Address = address;
    s.Commissioned = At(commissioned);
    return s;
}

const SimSeconds Now = At("2024-03-15T10:20:00");
const i64 Today = DayOf(Now);

// ---- ВИРС-Ш ----

struct ShAddressCase {
    i64 Day;
    int Hour; // -1: daily
    u16 Address;
};

class ShAddressing : public ::testing::TestWithParam<ShAddressCase> {};

TEST_P(ShAddressing, RecordNumbers) {
    const auto& c = GetParam();
    EXPECT_EQ(c.Hour < 0 ? ShDailyAddress(c.Day) : ShHourlyAddress(c.Day, c.Hour), c.Address);
}

INSTANTIATE_TEST_SUITE_P(
    Sim, ShAddressing,
    ::testing::Values(ShAddressCase{0, -1, 1001}, ShAddressCase{1459, -1, 2460},
                      ShAddressCase{1460, -1, 1000}, ShAddressCase{1461, -1, 1001},
                      ShAddressCase{0, 0, 2461}, ShAddressCase{279, 23, 9180},
                      ShAddressCase{280, 0, 2461}, ShAddressCase{281, 5, 2490}));

TEST(ShArchive, DailyRecordIsTheDayWholeAndItsPredecessorTheDayBefore) {
    TMeterSh m(MeterConfigOf(TMeterKind::Sh, 1), 3, Now);
    const u16 a = ShDailyAddress(Today - 1);
    SimSeconds from = 0, to = 0, from1 = 0, to1 = 0;
    ASSERT_TRUE(m.RecordPeriod(a, Now, from, to));
    EXPECT_EQ(from, (Today - 1) * SecondsPerDay);
    EXPECT_EQ(to, Today * SecondsPerDay);
    ASSERT_TRUE(m.RecordPeriod(static_cast<u16>(a - 1), Now, from1, to1));
    EXPECT_EQ(to1, from);
    // A read of 5 registers at A is record A only; a read at A − 1 is the record before.
    std::vector<u16> r0, r1;
    ASSERT_EQ(m.ReadRegisters(a, 5, Now, r0), 0);
    ASSERT_EQ(m.ReadRegisters(static_cast<u16>(a - 1), 5, Now, r1), 0);
    u16 direct[5];
    ASSERT_TRUE(m.ArchiveRecord(a, Now, direct));
    EXPECT_EQ(r0, std::vector<u16>(direct, direct + 5));
    EXPECT_NE(r0, r1);
    if (r0[4] & 0x80) {
        const u64 volume = r0[0] | static_cast<u64>(r0[1]) << 16 | static_cast<u64>(r0[2]) << 32;
        EXPECT_EQ(volume,
                  static_cast<u64>(std::llround(VolumeBetween(m.Channel(0), from, to) * 1e6)));
        EXPECT_LE(r0[3], 43200); // 2-second units of one day
    }
}

TEST(ShArchive, RingsWrapAtTheirEnds) {
    TMeterSh m(MeterConfigOf(TMeterKind::Sh, 1), 3, Now);
    SimSeconds from = 0, to = 0, wrapFrom = 0, wrapTo = 0;
    // Hourly: the record before 2461 is 9180.
    ASSERT_TRUE(m.RecordPeriod(ShHourlyFirst, Now, from, to));
    ASSERT_TRUE(m.RecordPeriod(ShHourlyLast, Now, wrapFrom, wrapTo));
    EXPECT_EQ(wrapTo, from);
    // Daily: the record before 1000 is 2460.
    ASSERT_TRUE(m.RecordPeriod(ShDailyFirst, Now, from, to));
    ASSERT_TRUE(m.RecordPeriod(ShDailyLast, Now, wrapFrom, wrapTo));
    EXPECT_EQ(wrapTo, from);
    // The slot of the current hour still holds the hour 280 days back.
    const int hour = 11; // not written yet at 10:20
    ASSERT_TRUE(m.RecordPeriod(ShHourlyAddress(Today, hour), Now, from, to));
    EXPECT_EQ(to, (Today - 280) * SecondsPerDay + hour * 3600);
    // The hour just ended (9:00–10:00) is in the slot of 10:00 today.
    ASSERT_TRUE(m.RecordPeriod(ShHourlyAddress(Today, 10), Now, from, to));
    EXPECT_EQ(to, Today * SecondsPerDay + 10 * 3600);
    // Today's daily slot still holds the day four years back.
    ASSERT_TRUE(m.RecordPeriod(ShDailyAddress(Today), Now, from, to));
    EXPECT_EQ(from, (Today - ShDailySlots) * SecondsPerDay);
}

TEST(ShArchive, SomeRecordsInvalidMostValidEmptyBeforeCommissioning) {
    TMeterSh m(MeterConfigOf(TMeterKind::Sh, 1, "2021-01-01T00:00:00"), 3, Now);
    int valid = 0, invalid = 0;
    for (i64 d = Today - 400; d < Today; ++d) {
        u16 rec[5];
        ASSERT_TRUE(m.ArchiveRecord(ShDailyAddress(d), Now, rec));
        (rec[4] & 0x80 ? valid : invalid) += 1;
    }
    EXPECT_GT(invalid, 0);
    EXPECT_GT(valid, 350);
    // Four years back is before commissioning: the slot was never written.
    u16 rec[5];
    ASSERT_TRUE(m.ArchiveRecord(ShDailyAddress(Today), Now, rec));
    EXPECT_EQ(rec[4], 0);
    EXPECT_EQ(rec[0] | rec[1] | rec[2] | rec[3], 0);
}

TEST(ShAdapter, BroadcastGivesAPairOfAddresses) {
    TMeterSh m(MeterConfigOf(TMeterKind::Sh, 1), 3, Now);
    EXPECT_TRUE(m.AnswersAt(1));
    EXPECT_FALSE(m.TakeBroadcast(20, {0x0503})); // low byte must be 2
    EXPECT_FALSE(m.TakeBroadcast(21, {0x0502}));
    EXPECT_TRUE(m.TakeBroadcast(20, {0x0502}));
    EXPECT_FALSE(m.AnswersAt(1));
    EXPECT_TRUE(m.AnswersAt(5));
    EXPECT_TRUE(m.AnswersAt(6));
    EXPECT_EQ(m.CurrentRegisters(Now)[20], 0x0502);
    EXPECT_TRUE(m.TakeBroadcast(20, {254 << 8 | 2}));
    EXPECT_TRUE(m.AnswersAt(254) && m.AnswersAt(255));
}

// ---- ВИРС-Д / ВИРС-ДК ----

std::vector<u16> Record(TMeterD& m, int y, int mo, int d, int h, int mode, TDArchiveKind kind) {
    const std::vector<u16> sel = {static_cast<u16>(y << 8 | mo), static_cast<u16>(d << 8 | h),
                                  static_cast<u16>(mode << 8 | static_cast<int>(kind))};
    EXPECT_EQ(m.WriteRegisters(0, sel, Now), 0);
    std::vector<u16> out;
    EXPECT_EQ(m.ReadRegisters(200, 26, Now, out), 0);
    return out;
}

u32 U32(const std::vector<u16>& r, int reg) {
    return r[reg - 200] | static_cast<u32>(r[reg - 199]) << 16;
}

TEST(DArchive, DailyPeriodValuesAndIntegrators) {
    TMeterConfig config = MeterConfigOf(TMeterKind::D, 2);
    config.ScaleCodes = {2, 3, 2, 2};
    TMeterD m(config, 3, Now);
    const SimSeconds from = (Today - 1) * SecondsPerDay, to = Today * SecondsPerDay;
    const auto r = Record(m, 24, 3, 14, 0, 0, TDArchiveKind::Daily);
    u32 expected[8];
    m.PeriodCounters(from, to, 0, expected);
    for (int k = 0; k < 8; ++k) {
        if (U32(r, 200 + 2 * k) == DMissingCounter)
            continue; // a counter the meter lost that day
        EXPECT_EQ(U32(r, 200 + 2 * k), expected[k]) << k;
    }
    // Counter 1 in 0.1 m3 (ScaleCode 2), counter 2 in 0.01 m3 (ScaleCode 3).
    EXPECT_NEAR(expected[0], VolumeBetween(m.Channel(0), from, to) * 10, 1);
    EXPECT_NEAR(expected[1], VolumeBetween(m.Channel(1), from, to) * 100, 1);
    EXPECT_EQ(expected[4], 235200u); // 24 h × 0.98 forward time, in 10^-4 h
    EXPECT_EQ(U32(r, 216),
              static_cast<u32>(std::llround((24 - m.OutageMinutes(Today - 1) / 60.0) * 1e4)));
    // Integrators: the counters as they read at the end of the day.
    const auto integ = Record(m, 24, 3, 14, 0, 1, TDArchiveKind::Daily);
    u32 readings[8];
    m.CounterReadings(to, readings);
    EXPECT_EQ(U32(integ, 200), U32(r, 200) == DMissingCounter ? DMissingCounter : readings[0]);
    EXPECT_GT(readings[0], expected[0]);
}

TEST(DArchive, MonthlyLeapFebruaryAndHourlyEventRegisters) {
    TMeterD m(MeterConfigOf(TMeterKind::DK, 3), 5, Now);
    const auto feb = Record(m, 24, 2, 1, 0, 0, TDArchiveKind::Monthly);
    double outage = 0;
    for (i64 d = DaysFromCivil(2024, 2, 1); d < DaysFromCivil(2024, 3, 1); ++d)
        outage += m.OutageMinutes(d) / 60.0;
    EXPECT_EQ(U32(feb, 216), static_cast<u32>(std::llround((696 - outage) * 1e4)));
    // Hourly rows keep channels 1-2 in register 220 and channels 3-4 in 222.
    int low = 0;
    for (int h = 0; h < 24; ++h)
        for (int d = 1; d <= 10; ++d) {
            const auto r = Record(m, 24, 3, d, h, 0, TDArchiveKind::Hourly);
            EXPECT_EQ(r[222 - 200] & 0x3F, 0);
            EXPECT_EQ(r[220 - 200] & ~0x3F, 0);
            low += r[220 - 200] != 0;
        }
    EXPECT_GT(low, 0);
}

TEST(DArchive, MissingRecordsReadAllOnes) {
    TMeterD m(MeterConfigOf(TMeterKind::D, 2), 3, Now);
    // Today is not finished; an hour 70 days back is beyond the hourly ring.
    for (const auto& r : {Record(m, 24, 3, 15, 0, 0, TDArchiveKind::Daily),
                          Record(m, 24, 1, 5, 3, 0, TDArchiveKind::Hourly),
                          Record(m, 20, 1, 1, 0, 0, TDArchiveKind::Daily)})
        for (int k = 0; k < 8; ++k)
            EXPECT_EQ(U32(r, 200 + 2 * k), DMissingCounter);
    // Now and then a single counter of a stored day reads 0xFFFFFFFF.
    int lost = 0;
    for (int back = 1; back <= 300; ++back) {
        int y = 0, mo = 0, d = 0;
        CivilFromDays(Today - back, y, mo, d);
        const auto r = Record(m, y - 2000, mo, d, 0, 0, TDArchiveKind::Daily);
        for (int k = 0; k < 8; ++k)
            lost += U32(r, 200 + 2 * k) == DMissingCounter;
    }
    EXPECT_GT(lost, 0);
    EXPECT_LT(lost, 40);
}

TEST(DArchive, SelectorRefusesImpossibleDates) {
    TMeterD m(MeterConfigOf(TMeterKind::D, 2), 3, Now);
    EXPECT_EQ(m.WriteRegisters(0, {24 << 8 | 2, 30 << 8, 1}, Now), ExIllegalValue);     // 30 Feb
    EXPECT_EQ(m.WriteRegisters(0, {24 << 8 | 3, 1 << 8 | 24, 0}, Now), ExIllegalValue); // hour 24
    EXPECT_EQ(m.WriteRegisters(0, {24 << 8 | 3, 1 << 8, 3}, Now), ExIllegalValue);      // kind 3
    EXPECT_EQ(m.WriteRegisters(0, {24 << 8 | 3, 1 << 8, 2 << 8 | 1}, Now),
              ExIllegalValue); // mode 2
}

// ---- ВИРС-Д2 ----

TEST(D2Archive, HeadersNameTheDayOfTheirSlot) {
    TMeterD2 m(MeterConfigOf(TMeterKind::D2, 4), 9, Now);
    std::array<u8, 3> h{};
    auto day = [&] { return h[1] | h[2] << 8; };
    // Yesterday's daily slot; today's slot still holds the day 512 days back.
    for (i64 back : {1, 2, 3}) {
        const i64 d = Today - back;
        ASSERT_EQ(m.ReadRecordHeader(static_cast<u16>(d % 512), Now, h), 0);
        if (h[0] == 0) {
            EXPECT_EQ(day(), d);
        }
    }
    ASSERT_EQ(m.ReadRecordHeader(static_cast<u16>(Today % 512), Now, h), 0);
    if (h[0] == 0) {
        EXPECT_EQ(day(), Today - 512);
    }
    // Hourly: the hour 9:00-10:00 has ended, 10:00-11:00 not (its slot is 64 days old).
    const auto hourly = [](i64 d, int hour) { return static_cast<u16>(d % 64 * 24 + hour + 512); };
    const TD2Record r9 = m.Record(hourly(Today, 9), Now);
    const TD2Record r10 = m.Record(hourly(Today, 10), Now);
    EXPECT_EQ(r9.Day, Today);
    EXPECT_EQ(r9.Hour, 9);
    EXPECT_EQ(r10.Day, Today - 64);
    EXPECT_EQ(m.ReadRecordHeader(2048, Now, h), ExIllegalAddress);
}

TEST(D2Archive, MissingDaysAndClearedCounters) {
    TMeterD2 m(MeterConfigOf(TMeterKind::D2, 4), 9, Now);
    int missing = 0, cleared = 0;
    for (i64 d = Today - 500; d < Today; ++d) {
        std::array<u8, 3> h{};
        ASSERT_EQ(m.ReadRecordHeader(static_cast<u16>(d % 512), Now, h), 0);
        if (h[0] != 0) {
            EXPECT_EQ(h[0], D2EmptySlot);
            ++missing;
            continue;
        }
        std::vector<u16> rec;
        ASSERT_EQ(m.ReadRegisters(0, 64, Now, rec), 0);
        const u32 whole = rec[0] | static_cast<u32>(rec[1]) << 16;
        const u32 micro = rec[2] | static_cast<u32>(rec[3]) << 16;
        EXPECT_LT(micro, 1000000u);
        EXPECT_NEAR(whole + micro / 1e6, m.Accumulated(0, (d + 1) * SecondsPerDay), 1e-5);
        if (rec[56] & D2EvCleared) {
            ++cleared;
            EXPECT_TRUE(m.ClearedOn(d));
            // Counters restarted at midnight: one day's volume at most.
            EXPECT_NEAR(whole + micro / 1e6,
                        VolumeBetween(m.Channel(0), d * SecondsPerDay, (d + 1) * SecondsPerDay),
                        1e-5);
        }
    }
    EXPECT_GT(missing, 0);
    EXPECT_GT(cleared, 0);
}

} // namespace
} // namespace virs::sim
