#pragma once
// The archive range dialog (TForm7) as data and rules: which dates it offers,
// what it accepts, and the archive range of the job that follows. The window
// shows it; the rules live here so that every caller and test shares them.
//
// All dates are whole day numbers (days since 1899-12-30); times of day are
// whole milliseconds. The range of a job is computed from those integers, so a
// time built from whole hours and taken apart again always gives those hours.

#include <cstdint>

#include "acquisition/DeviceViews.h"
#include "model/DateTime.h"
#include "model/Records.h"

namespace virs {

// The state TForm7 keeps for the whole run (it is created on first use and
// kept, so it remembers the last chosen dates and value mode).
struct TArchiveRangeDialog {
    bool Created = false;
    std::int64_t FirstDay = 0; // MonthCalendar1, "Начало"
    std::int64_t LastDay = 0;  // MonthCalendar2, "Конец"
    std::int64_t MaxDay = 0;   // the latest selectable date of both calendars
    bool RadioVisible = true;  // RadioButton1/2 shown
    bool Integrators = false; // RadioButton2 "Интеграторы" checked (else "Средние значения")
};

// What view `view` of a device of `type` reads: an archive kind, or None for
// current values and parameters (and for types that are not read).
TArchiveKind ArchiveKindOf(TDeviceType type, std::uint8_t view);
// True for the parameters tab of the type (4 for ВИРС-Д / ВИРС-ДК, 3 for ВИРС-Д2).
bool IsSettingsView(TDeviceType type, std::uint8_t view);

// Prepares the dialog before it is shown for an archive job of `type`:
// the dates set when it is first created, the latest selectable date and (for
// ВИРС-Ш hourly) the dates set at every use, and whether the value-mode radio
// buttons are shown. `today` is the current day number.
void PrepareArchiveDialog(TArchiveRangeDialog& dialog, TDeviceType type, TArchiveKind kind,
                          std::int64_t today);

// OK accepts when the end date is not before the start date; otherwise this
// text is shown and the dialog stays open.
inline constexpr const char* ArchiveRangeRefusal =
    "Дата начала не может быть больше даты окончания";
inline bool ArchiveRangeAcceptable(std::int64_t firstDay, std::int64_t lastDay) {
    return lastDay >= firstDay;
}

// The range of an archive job, from the chosen dates and the moment of the start.
struct TArchiveJobRange {
    TDateTime StartDate = 0;
    TDateTime EndDate = 0;
    std::int32_t RecordsTotal = 0;
    // The same dates as whole days and milliseconds of the day (EndMs may be
    // negative: the hour before midnight of EndDay), for exact use by the
    // first request.
    std::int64_t StartDay = 0;
    std::int64_t EndDay = 0;
    std::int64_t EndMs = 0;
};
TArchiveJobRange ArchiveJobRange(TDeviceType type, TArchiveKind kind, std::int64_t firstDay,
                                 std::int64_t lastDay, TDateTime now);

// The first day of the month of a day number.
std::int64_t FirstOfMonth(std::int64_t day);

} // namespace virs
