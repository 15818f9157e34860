#include "jobs/ArchiveRange.h"

#include "acquisition/DeviceViews.h"

namespace virs {

namespace {

constexpr std::int64_t MsPerHour = 3'600'000;
constexpr std::int64_t MsPerDay = 24 * MsPerHour;

// A TDateTime from a day and a signed millisecond offset within it.
TDateTime DateOf(std::int64_t day, std::int64_t ms) {
    return static_cast<double>(day) + static_cast<double>(ms) / static_cast<double>(MsPerDay);
}

std::int64_t MillisecondsOfDay(TDateTime t) {
    const TTimeOfDay time = TimeOf(t);
    return ((time.Hour * 60LL + time.Minute) * 60 + time.Second) * 1000 + time.Millisecond;
}

} // namespace

TArchiveKind ArchiveKindOf(TDeviceType type, std::uint8_t view) {
    switch (ViewJobKind(type, view)) {
    case TJobKind::DailyArchive:
        return TArchiveKind::Daily;
    case TJobKind::HourlyArchive:
        return TArchiveKind::Hourly;
    case TJobKind::MonthlyArchive:
        return TArchiveKind::Monthly;
    default:
        return TArchiveKind::None;
    }
}

bool IsSettingsView(TDeviceType type, std::uint8_t view) {
    return ViewJobKind(type, view) == TJobKind::Settings;
}

std::int64_t FirstOfMonth(std::int64_t day) {
    const TDate d = DecodeDate(day);
    return EncodeDate(d.Year, d.Month, 1);
}

void PrepareArchiveDialog(TArchiveRangeDialog& dialog, TDeviceType type, TArchiveKind kind,
                          std::int64_t today) {
    const bool sh = type == DeviceVirsSh;
    if (sh && kind == TArchiveKind::Hourly) {
        // Both calendars jump to today at every use.
        dialog.MaxDay = today;
        dialog.FirstDay = today;
        dialog.LastDay = today;
    } else {
        // Yesterday is the last complete day a ВИРС-Ш holds; the others offer today.
        const std::int64_t latest = sh ? today - 1 : today;
        if (!dialog.Created) {
            dialog.FirstDay = latest;
            dialog.LastDay = latest;
        }
        dialog.MaxDay = latest;
        // A calendar never shows a date past its latest selectable one.
        if (dialog.FirstDay > latest)
            dialog.FirstDay = latest;
        if (dialog.LastDay > latest)
            dialog.LastDay = latest;
    }
    dialog.Created = true;
    dialog.RadioVisible = !sh;
}

TArchiveJobRange ArchiveJobRange(TDeviceType type, TArchiveKind kind, std::int64_t firstDay,
                                 std::int64_t lastDay, TDateTime now) {
    TArchiveJobRange r;
    const std::int64_t today = DayOf(now);
    const std::int64_t nowMs = MillisecondsOfDay(now);
    const bool lastIsToday = lastDay == today;
    r.StartDay = firstDay;
    r.EndDay = lastDay;
    r.EndMs = 0;
    // Trunc(end - start) of two TDateTimes given as day + ms.
    auto wholeDays = [&] {
        const std::int64_t span = (r.EndDay - r.StartDay) * MsPerDay + r.EndMs;
        return span / MsPerDay; // truncates toward zero, as Trunc does
    };

    if (type == DeviceVirsSh) {
        if (kind == TArchiveKind::Daily) {
            r.RecordsTotal = static_cast<std::int32_t>(wholeDays());
        } else {
            if (lastIsToday) {
                r.EndMs = (nowMs / MsPerHour) * MsPerHour;
            } else {
                r.EndDay = lastDay + 1;
            }
            r.RecordsTotal = static_cast<std::int32_t>(wholeDays() * 24 + 24);
        }
    } else if (type == DeviceVirsD || type == DeviceVirsDK) {
        if (kind == TArchiveKind::Daily) {
            r.RecordsTotal = static_cast<std::int32_t>(wholeDays() + 1);
        } else if (kind == TArchiveKind::Hourly) {
            // The last hour ends an hour before now (the hour in progress is
            // not in the archive yet), or at 23:00 of a past last day.
            r.EndMs = (lastIsToday ? nowMs : MsPerDay) - MsPerHour;
            const std::int64_t span = (r.EndDay - r.StartDay) * MsPerDay + r.EndMs;
            r.RecordsTotal = static_cast<std::int32_t>(span / MsPerHour);
        } else {
            r.StartDay = FirstOfMonth(firstDay);
            r.EndDay = FirstOfMonth(lastDay);
            r.RecordsTotal = static_cast<std::int32_t>(wholeDays() / 30 + 1);
        }
    } else if (type == DeviceVirsD2) {
        if (kind == TArchiveKind::Daily) {
            r.StartDay = firstDay - 1;
            r.RecordsTotal = static_cast<std::int32_t>(wholeDays());
        } else {
            r.EndDay = lastDay + 1;
            r.RecordsTotal = static_cast<std::int32_t>(wholeDays() * 24);
        }
    }
    r.StartDate = DateOf(r.StartDay, 0);
    r.EndDate = DateOf(r.EndDay, r.EndMs);
    return r;
}

} // namespace virs
