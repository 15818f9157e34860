#pragma once
// Archive records of the three meter families turned into the values of one
// workbook row, and the addressing of the records. Plain functions of the
// register images; the walk that calls them is the archive sequencer.
//
// Moments of the walk are whole milliseconds since 1899-12-30 (TArchiveMs), so
// a walk that steps by hours or days never drifts: TDateTime doubles appear
// only where a row is written.

#include <cstdint>
#include <string>

#include "acquisition/DeviceViews.h"
#include "acquisition/WorkArea.h"

namespace virs {

using TArchiveMs = std::int64_t;
inline constexpr TArchiveMs ArchiveMsPerHour = 3'600'000;
inline constexpr TArchiveMs ArchiveMsPerDay = 24 * ArchiveMsPerHour;

// A TDateTime built from a day and whole milliseconds, and back (exact for
// every value that was built that way).
TArchiveMs ArchiveMsOf(TDateTime t);
TDateTime ArchiveDateOf(TArchiveMs ms);
inline std::int64_t ArchiveDayOf(TArchiveMs ms) {
    return ms >= 0 ? ms / ArchiveMsPerDay : -((-ms + ArchiveMsPerDay - 1) / ArchiveMsPerDay);
}
inline int ArchiveHourOf(TArchiveMs ms) {
    return static_cast<int>((ms - ArchiveDayOf(ms) * ArchiveMsPerDay) / ArchiveMsPerHour);
}

// ---- ВИРС-Ш ----

// The address of the record before `address`: one lower, except at the bottom
// of an area, where the walk goes on at its top (hourly 2461 → 9180, daily
// 1000 → 2460).
std::uint16_t ShPreviousAddress(std::uint16_t address, bool hourly);

struct TShArchiveRow {
    bool Valid = false; // status bit 7; an invalid record gives no row
    double Volume = 0;  // m3
    double Hours = 0;
    std::string Events; // UTF-8
};
TShArchiveRow DecodeShRecord(const TShArchiveRecord& record, bool hourly);
// The event text of a status byte.
std::string ShEventText(std::uint8_t status);

// ---- ВИРС-Д / ВИРС-ДК ----

// The selector of one record: year, month, day and hour of `moment`, the value
// mode and the archive kind (a monthly record is asked for by its month alone).
void FillArchiveSelector(TArchiveSelector& selector, TArchiveMs moment, TArchiveKind kind,
                         bool integrators);

// The multiplier of a volume column for a scale code: Round(code) 1 → 1,
// 2 → 0.1, 3 → 0.01, 4 → 0.001, anything else (NaN included) → 10.
double ScaleMultiplier(float code);

struct TDArchiveRow {
    std::uint32_t Counters[8] = {}; // after the 0xFFFF0000 rule
    double Volumes[4] = {};         // m3
    double Times[4] = {};           // hours
    double Absence = 0;             // hours without mains power
    std::string Events;             // UTF-8
};
// `scaleCodes` is the block read by the first request (DCurrentBlock, registers
// 56..63). `recordDay` is the day of the record (its month gives the period of
// a monthly record).
TDArchiveRow DecodeDRecord(const TDArchiveRecord& record, const TDCurrentBlock& scaleCodes,
                           TArchiveKind kind, bool dk, std::int64_t recordDay);
std::string DEventText(std::uint16_t channels12, std::uint16_t channels34, bool dk);

void ClearArchiveTotals(TArchiveTotals& totals);
// Adds a row's counters (modulo 2^32) and absence hours (as f32) to the sums.
void AddToArchiveTotals(TArchiveTotals& totals, const TDArchiveRow& row);
// The totals row: the sums converted as the row values are.
TDArchiveRow ArchiveTotalsRow(const TArchiveTotals& totals, const TDCurrentBlock& scaleCodes);

// ---- ВИРС-Д2 ----

std::uint16_t D2DailyIndex(std::int64_t day);
std::uint16_t D2HourlyIndex(std::int64_t day, int hour);
// The header of function 67 names the record of `day` with status 0.
bool D2HeaderMatches(const std::uint8_t header[3], std::int64_t day);

struct TD2ArchiveRow {
    double Volumes[8] = {}; // +V1, -V1, +V2, -V2 … m3
    double Times[8] = {};   // +T1, -T1, … hours
    std::string ChannelEvents[4];
    std::string DeviceEvents;
};
// Decodes a record. With `integrators` the accumulated values are the row;
// otherwise the differences against `previous` (a channel whose "C" bit is set
// shows its accumulated values), and without a usable previous record there is
// no row. In the differences mode the record's channel part becomes `previous`
// and `havePrevious` is set, row or not. Returns whether there is a row.
bool DecodeD2Record(const TD2ArchiveRecord& record, bool integrators, TD2PreviousRecord& previous,
                    bool& havePrevious, TD2ArchiveRow& row);
std::string D2ChannelEventText(std::uint8_t bits);
std::string D2DeviceEventText(std::uint8_t bits);

} // namespace virs
