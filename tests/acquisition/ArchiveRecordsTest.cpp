// Archive records decoded into row values, worked out by hand from the record
// layouts: the ВИРС-Ш address walk and status texts, the ВИРС-Д selector, scale
// codes, missing counters, mains absence and totals, the ВИРС-Д2 indexes,
// headers, differences and the "C" bit.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>

#include "acquisition/ArchiveRecords.h"

namespace virs {
namespace {

void PutU16(std::uint8_t* at, std::uint16_t v) {
    at[0] = static_cast<std::uint8_t>(v);
    at[1] = static_cast<std::uint8_t>(v >> 8);
}
void PutU32(std::uint8_t* at, std::uint32_t v) {
    PutU16(at, static_cast<std::uint16_t>(v));
    PutU16(at + 2, static_cast<std::uint16_t>(v >> 16));
}

TEST(ShArchive, AddressWalkWrapsAtTheBottomOfEachArea) {
    struct {
        std::uint16_t From;
        bool Hourly;
        std::uint16_t To;
    } const cases[] = {
        {2462, true, 2461},  {2461, true, 9180},  {9180, true, 9179},  {1002, false, 1001},
        {1001, false, 1000}, {1000, false, 2460}, {2460, false, 2459},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShPreviousAddress(c.From, c.Hourly), c.To) << c.From << " " << c.Hourly;
}

TEST(ShArchive, RecordValuesAndStatusTexts) {
    struct {
        std::uint16_t R[5];
        bool Hourly;
        bool Valid;
        double Volume, Hours;
        const char* Events;
    } const cases[] = {
        // 12 500 000 · 10^-6 m3; 43 200 × 2 s = 24 h
        {{0xBC20, 0x00BE, 0, 43200, 0x80}, false, true, 12.5, 24.0, ""},
        // bits 2, 3, 5: the measurement error with its Latin O, then the independent ones
        {{0, 0, 1, 3600, 0xAC},
         true,
         true,
         4294967296.0 / 1e6,
         1.0,
         " Oшибки в измерениях. Низкое напряжение питания. Режим программирования"},
        // bits 0..2 exclusive: bit 0 wins; bit 4 follows; no bit 7: not valid
        {{1, 0, 0, 1800, 0x17},
         false,
         false,
         1e-6,
         1.0,
         " Прибор неисправен. Задействован последовательный интерфейс RS232."},
        {{0, 0, 0, 0, 0x82}, false, true, 0, 0, " Датчики не подключены."},
        // the high byte of register 4 is not used
        {{0xFFFF, 0xFFFF, 0xFFFF, 65535, 0xFF80},
         true,
         true,
         281474976710655.0 / 1e6,
         65535.0 / 3600.0,
         ""},
    };
    for (const auto& c : cases) {
        TShArchiveRecord record{};
        for (int i = 0; i < 5; ++i)
            PutU16(record.Bytes + 2 * i, c.R[i]);
        const TShArchiveRow row = DecodeShRecord(record, c.Hourly);
        EXPECT_EQ(row.Valid, c.Valid);
        EXPECT_DOUBLE_EQ(row.Volume, c.Volume);
        EXPECT_DOUBLE_EQ(row.Hours, c.Hours);
        EXPECT_EQ(row.Events, c.Events);
    }
}

TEST(DArchive, SelectorBytes) {
    struct {
        int Y, M, D, H;
        TArchiveKind Kind;
        bool Integrators;
        std::uint8_t Bytes[6]; // month, year, hour, day, kind, mode (low byte first)
    } const cases[] = {
        {2024, 2, 29, 13, TArchiveKind::Hourly, true, {2, 24, 13, 29, 0, 1}},
        {2024, 3, 15, 0, TArchiveKind::Daily, false, {3, 24, 0, 15, 1, 0}},
        {2023, 12, 31, 0, TArchiveKind::Monthly, false, {12, 23, 0, 1, 2, 0}},
        {2000, 1, 1, 23, TArchiveKind::Hourly, false, {1, 0, 23, 1, 0, 0}},
    };
    for (const auto& c : cases) {
        TArchiveSelector s{};
        const TArchiveMs at = EncodeDate(c.Y, c.M, c.D) * ArchiveMsPerDay + c.H * ArchiveMsPerHour;
        FillArchiveSelector(s, at, c.Kind, c.Integrators);
        EXPECT_EQ(std::memcmp(s.Bytes, c.Bytes, 6), 0) << c.Y << "-" << c.M << "-" << c.D;
    }
}

TEST(DArchive, ScaleMultipliers) {
    struct {
        float Code;
        double Multiplier;
    } const cases[] = {{1, 1},      {2, 0.1},      {3, 0.01},      {4, 0.001}, {2.4f, 0.1},
                       {2.5f, 0.1}, {3.5f, 0.001}, {0.6f, 1},      {0, 10},    {5, 10},
                       {-1, 10},    {NAN, 10},     {INFINITY, 10}, {1e30f, 10}};
    for (const auto& c : cases)
        EXPECT_EQ(ScaleMultiplier(c.Code), c.Multiplier) << c.Code;
}

TDCurrentBlock Scales(float a, float b, float c, float d) {
    TDCurrentBlock block{};
    const float codes[4] = {a, b, c, d};
    for (int k = 0; k < 4; ++k)
        PutU32(block.Bytes + TDCurrentBlock::ScaleCodes + 4 * k,
               std::bit_cast<std::uint32_t>(codes[k]));
    return block;
}

TEST(DArchive, MissingCountersScalesAndMonthlyAbsenceOfALeapFebruary) {
    TDArchiveRecord record{};
    const std::uint32_t counters[8] = {12345,  0xFFFFFFFF, 0xFFFF0000, 0xFFFEFFFF,
                                       240000, 0xFFFF0001, 10000,      5};
    for (int k = 0; k < 8; ++k)
        PutU32(record.Bytes + 4 * k, counters[k]);
    PutU32(record.Bytes + 32, 6950000); // 695 h of mains in February 2024
    const TDCurrentBlock scales = Scales(1, 2, 3, 4);
    const TDArchiveRow row =
        DecodeDRecord(record, scales, TArchiveKind::Monthly, false, EncodeDate(2024, 2, 1));
    EXPECT_DOUBLE_EQ(row.Volumes[0], 12345);
    EXPECT_DOUBLE_EQ(row.Volumes[1], 0);
    EXPECT_DOUBLE_EQ(row.Volumes[2], 0);
    EXPECT_DOUBLE_EQ(row.Volumes[3], 0xFFFEFFFF * 0.001);
    EXPECT_DOUBLE_EQ(row.Times[0], 24);
    EXPECT_DOUBLE_EQ(row.Times[1], 0);
    EXPECT_DOUBLE_EQ(row.Times[2], 1);
    EXPECT_DOUBLE_EQ(row.Times[3], 0.0005);
    EXPECT_DOUBLE_EQ(row.Absence, 696 - 695); // 29 days × 24 h
    EXPECT_EQ(row.Counters[1], 0u);

    // The same record as February 2023 (28 days), as a day and as an hour.
    EXPECT_DOUBLE_EQ(
        DecodeDRecord(record, scales, TArchiveKind::Monthly, false, EncodeDate(2023, 2, 1)).Absence,
        672 - 695);
    EXPECT_DOUBLE_EQ(
        DecodeDRecord(record, scales, TArchiveKind::Daily, false, EncodeDate(2023, 2, 1)).Absence,
        24 - 695);
    EXPECT_DOUBLE_EQ(
        DecodeDRecord(record, scales, TArchiveKind::Hourly, false, EncodeDate(2023, 2, 1)).Absence,
        1 - 695);
}

TEST(DArchive, TotalsWrapAndSkipMissingCounters) {
    TArchiveTotals totals{};
    std::memset(totals.Bytes, 0xAB, sizeof totals.Bytes);
    ClearArchiveTotals(totals);
    TDArchiveRecord record{};
    PutU32(record.Bytes + 0, 0xFFFFFFFF); // missing: adds nothing
    PutU32(record.Bytes + 4, 0xFFFEFFFF); // twice: wraps modulo 2^32
    PutU32(record.Bytes + 16, 36000);     // 3.6 h
    PutU32(record.Bytes + 32, 230000);    // 23 h of mains in a day: 1 h absent
    const TDCurrentBlock scales = Scales(2, 1, 1, 1);
    for (int i = 0; i < 2; ++i)
        AddToArchiveTotals(totals,
                           DecodeDRecord(record, scales, TArchiveKind::Daily, false, 45000));
    const TDArchiveRow sum = ArchiveTotalsRow(totals, scales);
    EXPECT_EQ(sum.Counters[0], 0u);
    EXPECT_EQ(sum.Counters[1], 0xFFFDFFFEu);
    EXPECT_DOUBLE_EQ(sum.Volumes[0], 0);
    EXPECT_DOUBLE_EQ(sum.Volumes[1], 0xFFFDFFFEu * 1.0);
    EXPECT_DOUBLE_EQ(sum.Times[0], 7.2);
    EXPECT_DOUBLE_EQ(sum.Absence, 2.0);
}

TEST(DArchive, EventTexts) {
    struct {
        std::uint16_t R220, R222;
        TArchiveKind Kind;
        bool Dk;
        const char* Text;
    } const cases[] = {
        // daily: ch1 "<" and "X", ch2 ">"; all from register 222 (groups X, <, >)
        {0xFFFF, 0x0015, TArchiveKind::Daily, false,
         "X "
         "< "
         "   "
         "  "
         "  "
         "> "},
        {0, 0, TArchiveKind::Daily, false,
         "  "
         "  "
         "   "
         "  "
         "  "
         "  "},
        // ВИРС-ДК daily: ch3 ">" (bit 7), ch4 "X" (bit 11)
        {0, 0x0880, TArchiveKind::Daily, true,
         "  "
         "  "
         "   "
         "  "
         "  "
         "  "
         "  "
         "  "
         "> "
         "X "
         "  "
         "  "},
        // hourly: ch1-2 from register 220, ch3-4 from 222 (its ch1-2 bits ignored)
        {0x0002, 0x0107, TArchiveKind::Hourly, true,
         "  "
         "  "
         ">  "
         "  "
         "  "
         "  "
         "X "
         "  "
         "  "
         "  "
         "  "
         "  "},
        {0x003F, 0x0FFF, TArchiveKind::Monthly, false,
         "X "
         "< "
         ">  "
         "X "
         "< "
         "> "},
    };
    for (const auto& c : cases) {
        TDArchiveRecord record{};
        PutU16(record.Bytes + 40, c.R220);
        PutU16(record.Bytes + 44, c.R222);
        const TDArchiveRow row = DecodeDRecord(record, Scales(1, 1, 1, 1), c.Kind, c.Dk, 45000);
        EXPECT_EQ(row.Events, c.Text) << c.R220 << " " << c.R222;
    }
}

TEST(D2Archive, IndexesAndHeaders) {
    const std::int64_t day = EncodeDate(2024, 3, 15); // 8840 days after 2000-01-01
    EXPECT_EQ(day - DeviceEpochDay, 8840);
    EXPECT_EQ(D2DailyIndex(day), 136);      // 8840 mod 512
    EXPECT_EQ(D2HourlyIndex(day, 13), 717); // (8840 mod 64) × 24 + 13 + 512
    EXPECT_EQ(D2HourlyIndex(day, 0), 704);
    EXPECT_EQ(D2DailyIndex(DeviceEpochDay + 511), 511);
    EXPECT_EQ(D2DailyIndex(DeviceEpochDay + 512), 0);
    EXPECT_EQ(D2HourlyIndex(DeviceEpochDay + 63, 23), 63 * 24 + 23 + 512);

    const std::uint8_t match[3] = {0, 0x88, 0x22};
    const std::uint8_t busy[3] = {1, 0x88, 0x22};
    const std::uint8_t other[3] = {0, 0x89, 0x22};
    EXPECT_TRUE(D2HeaderMatches(match, day));
    EXPECT_FALSE(D2HeaderMatches(busy, day));
    EXPECT_FALSE(D2HeaderMatches(other, day));
    EXPECT_TRUE(D2HeaderMatches(other, day + 1));
}

TEST(D2Archive, EventLetters) {
    EXPECT_EQ(D2ChannelEventText(0x3F), "CO><RE");
    EXPECT_EQ(D2ChannelEventText(0x21), "C    E");
    EXPECT_EQ(D2ChannelEventText(0x0C), "  ><  ");
    EXPECT_EQ(D2ChannelEventText(0xC0), "      ");
    EXPECT_EQ(D2DeviceEventText(0x0F), "EIUS");
    EXPECT_EQ(D2DeviceEventText(0x05), " I S");
}

// One channel's six u32: +V whole, +V 10^-6, +T s, -V whole, -V 10^-6, -T s.
void PutChannel(TD2ArchiveRecord& r, int c, std::uint32_t pw, std::uint32_t pf, std::uint32_t pt,
                std::uint32_t nw, std::uint32_t nf, std::uint32_t nt) {
    const std::uint32_t v[6] = {pw, pf, pt, nw, nf, nt};
    for (int i = 0; i < 6; ++i)
        PutU32(r.Bytes + 24 * c + 4 * i, v[i]);
}

TEST(D2Archive, IntegratorsDifferencesAndTheClearBit) {
    TD2ArchiveRecord first{}, second{};
    PutChannel(first, 0, 100, 250000, 7200, 3, 0, 360);
    PutChannel(first, 1, 50, 0, 3600, 0, 0, 0);
    PutChannel(second, 0, 101, 500000, 10800, 3, 500000, 720);
    PutChannel(second, 1, 2, 125000, 1800, 0, 0, 0);
    second.Bytes[112] = 0x04; // channel 1 "<"
    second.Bytes[113] = 0x20; // channel 2 cleared: its accumulated values are shown
    second.Bytes[116] = 0x09; // device "E" and "S"

    TD2PreviousRecord previous{};
    bool have = false;
    TD2ArchiveRow row;
    // Integrators: the accumulated values; the previous record is left alone.
    ASSERT_TRUE(DecodeD2Record(first, true, previous, have, row));
    EXPECT_FALSE(have);
    EXPECT_DOUBLE_EQ(row.Volumes[0], 100.25);
    EXPECT_DOUBLE_EQ(row.Volumes[1], 3);
    EXPECT_DOUBLE_EQ(row.Times[0], 2);
    EXPECT_DOUBLE_EQ(row.Times[1], 0.1);

    // Differences: no row without a previous record, which it then becomes.
    TD2ArchiveRow none;
    EXPECT_FALSE(DecodeD2Record(first, false, previous, have, none));
    EXPECT_TRUE(have);
    EXPECT_EQ(std::memcmp(previous.Bytes, first.Bytes, 96), 0);

    TD2ArchiveRow diff;
    ASSERT_TRUE(DecodeD2Record(second, false, previous, have, diff));
    EXPECT_DOUBLE_EQ(diff.Volumes[0], 101.5 - 100.25);
    EXPECT_DOUBLE_EQ(diff.Volumes[1], 3.5 - 3);
    EXPECT_DOUBLE_EQ(diff.Times[0], 1);
    EXPECT_DOUBLE_EQ(diff.Times[1], 0.1);
    EXPECT_DOUBLE_EQ(diff.Volumes[2], 2.125); // "C": not 2.125 - 50
    EXPECT_DOUBLE_EQ(diff.Times[2], 0.5);
    EXPECT_EQ(diff.ChannelEvents[0], "   <  ");
    EXPECT_EQ(diff.ChannelEvents[1], "C     ");
    EXPECT_EQ(diff.ChannelEvents[2], "      ");
    EXPECT_EQ(diff.DeviceEvents, "E  S");
    EXPECT_EQ(std::memcmp(previous.Bytes, second.Bytes, 96), 0);
}

TEST(ArchiveMoments, WholeMillisecondsRoundTrip) {
    // A year of hourly steps from whole numbers lands exactly on each hour.
    const std::int64_t day = EncodeDate(2024, 1, 1);
    TArchiveMs ms = day * ArchiveMsPerDay;
    for (int h = 0; h < 366 * 24; ++h, ms += ArchiveMsPerHour) {
        ASSERT_EQ(ArchiveMsOf(ArchiveDateOf(ms)), ms);
        ASSERT_EQ(ArchiveHourOf(ms), h % 24);
    }
    EXPECT_EQ(ArchiveDayOf(ms), EncodeDate(2025, 1, 1));
    EXPECT_EQ(ArchiveMsOf(EncodeDateTime(2024, 3, 15, 13)),
              EncodeDate(2024, 3, 15) * ArchiveMsPerDay + 13 * ArchiveMsPerHour);
}

} // namespace
} // namespace virs
