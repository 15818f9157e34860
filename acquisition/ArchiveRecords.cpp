#include "acquisition/ArchiveRecords.h"

#include <cmath>

#include "acquisition/RegisterImage.h"

namespace virs {

namespace {

constexpr std::uint16_t ShDailyBottom = 1000, ShDailyTop = 2460;
constexpr std::uint16_t ShHourlyBottom = 2461, ShHourlyTop = 9180;
constexpr std::uint32_t MissingCounter = 0xFFFF0000u;

} // namespace

TArchiveMs ArchiveMsOf(TDateTime t) {
    return static_cast<TArchiveMs>(std::llround(t * static_cast<double>(ArchiveMsPerDay)));
}

TDateTime ArchiveDateOf(TArchiveMs ms) {
    const std::int64_t day = ArchiveDayOf(ms);
    return static_cast<double>(day) +
           static_cast<double>(ms - day * ArchiveMsPerDay) / static_cast<double>(ArchiveMsPerDay);
}

// ---- ВИРС-Ш ----

std::uint16_t ShPreviousAddress(std::uint16_t address, bool hourly) {
    if (hourly)
        return address <= ShHourlyBottom ? ShHourlyTop : static_cast<std::uint16_t>(address - 1);
    return address <= ShDailyBottom ? ShDailyTop : static_cast<std::uint16_t>(address - 1);
}

std::string ShEventText(std::uint8_t status) {
    std::string text;
    if (status & 0x01)
        text += " Прибор неисправен.";
    else if (status & 0x02)
        text += " Датчики не подключены.";
    else if (status & 0x04)
        text += " Oшибки в измерениях."; // the O is a Latin capital, as the meters' texts have it
    if (status & 0x08)
        text += " Низкое напряжение питания.";
    if (status & 0x10)
        text += " Задействован последовательный интерфейс RS232.";
    if (status & 0x20)
        text += " Режим программирования";
    return text;
}

TShArchiveRow DecodeShRecord(const TShArchiveRecord& record, bool hourly) {
    const TImageReader r(record.Bytes);
    TShArchiveRow row;
    const std::uint8_t status = r.U8(8);
    row.Valid = (status & 0x80) != 0;
    const std::uint64_t count = static_cast<std::uint64_t>(r.U16(4)) << 32 |
                                static_cast<std::uint64_t>(r.U16(2)) << 16 | r.U16(0);
    row.Volume = static_cast<double>(count) / 1e6;
    row.Hours = r.U16(6) / (hourly ? 3600.0 : 1800.0);
    row.Events = ShEventText(status);
    return row;
}

// ---- ВИРС-Д / ВИРС-ДК ----

void FillArchiveSelector(TArchiveSelector& selector, TArchiveMs moment, TArchiveKind kind,
                         bool integrators) {
    const TDate d = DecodeDate(ArchiveDayOf(moment));
    const int hour = kind == TArchiveKind::Hourly ? ArchiveHourOf(moment) : 0;
    const int day = kind == TArchiveKind::Monthly ? 1 : d.Day;
    const int kindCode = kind == TArchiveKind::Hourly ? 0 : kind == TArchiveKind::Daily ? 1 : 2;
    std::uint8_t* b = selector.Bytes;
    b[0] = static_cast<std::uint8_t>(d.Month);
    b[1] = static_cast<std::uint8_t>(((d.Year % 100) + 100) % 100);
    b[2] = static_cast<std::uint8_t>(hour);
    b[3] = static_cast<std::uint8_t>(day);
    b[4] = static_cast<std::uint8_t>(kindCode);
    b[5] = integrators ? 1 : 0;
}

double ScaleMultiplier(float code) {
    if (!std::isfinite(code))
        return 10;
    switch (static_cast<long long>(std::nearbyint(static_cast<double>(code)))) {
    case 1:
        return 1;
    case 2:
        return 0.1;
    case 3:
        return 0.01;
    case 4:
        return 0.001;
    default:
        return 10;
    }
}

std::string DEventText(std::uint16_t channels12, std::uint16_t channels34, bool dk) {
    auto group = [](bool set, const char* on, const char* off) { return set ? on : off; };
    auto bit = [](std::uint16_t word, int n) { return (word >> n & 1) != 0; };
    std::string text;
    text += group(bit(channels12, 2), "X ", "  ");
    text += group(bit(channels12, 0), "< ", "  ");
    text += group(bit(channels12, 1), ">  ", "   ");
    text += group(bit(channels12, 5), "X ", "  ");
    text += group(bit(channels12, 3), "< ", "  ");
    text += group(bit(channels12, 4), "> ", "  ");
    if (dk) {
        for (int channel = 2; channel < 4; ++channel) {
            const int b = 3 * channel;
            text += group(bit(channels34, b + 2), "X ", "  ");
            text += group(bit(channels34, b), "< ", "  ");
            text += group(bit(channels34, b + 1), "> ", "  ");
        }
    }
    return text;
}

namespace {

void ConvertCounters(const std::uint32_t counters[8], const TDCurrentBlock& scaleCodes,
                     TDArchiveRow& row) {
    const TImageReader scales(scaleCodes.Bytes);
    for (int k = 0; k < 4; ++k) {
        row.Volumes[k] =
            counters[k] * ScaleMultiplier(scales.F32(TDCurrentBlock::ScaleCodes + 4 * k));
        row.Times[k] = counters[4 + k] / 1e4;
    }
}

} // namespace

TDArchiveRow DecodeDRecord(const TDArchiveRecord& record, const TDCurrentBlock& scaleCodes,
                           TArchiveKind kind, bool dk, std::int64_t recordDay) {
    const TImageReader r(record.Bytes);
    TDArchiveRow row;
    for (int k = 0; k < 8; ++k) {
        const std::uint32_t c = r.U32(4 * k);
        row.Counters[k] = c >= MissingCounter ? 0 : c;
    }
    ConvertCounters(row.Counters, scaleCodes, row);
    double period = 24;
    if (kind == TArchiveKind::Hourly) {
        period = 1;
    } else if (kind == TArchiveKind::Monthly) {
        const TDate d = DecodeDate(recordDay);
        period = DaysInMonth(d.Year, d.Month) * 24.0;
    }
    row.Absence = period - r.U32(32) / 1e4;
    const std::uint16_t word222 = r.U16(44);
    const std::uint16_t channels12 = kind == TArchiveKind::Daily ? word222 : r.U8(40);
    row.Events = DEventText(channels12, word222, dk);
    return row;
}

void ClearArchiveTotals(TArchiveTotals& totals) {
    for (std::uint8_t& b : totals.Bytes)
        b = 0;
}

namespace {

void PutU32(std::uint8_t* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

} // namespace

void AddToArchiveTotals(TArchiveTotals& totals, const TDArchiveRow& row) {
    const TImageReader r(totals.Bytes);
    for (int k = 0; k < 8; ++k)
        PutU32(totals.Bytes + TArchiveTotals::Sums + 4 * k,
               r.U32(TArchiveTotals::Sums + 4 * k) + row.Counters[k]);
    const float sum = r.F32(TArchiveTotals::AbsenceHours) + static_cast<float>(row.Absence);
    PutU32(totals.Bytes + TArchiveTotals::AbsenceHours, std::bit_cast<std::uint32_t>(sum));
}

TDArchiveRow ArchiveTotalsRow(const TArchiveTotals& totals, const TDCurrentBlock& scaleCodes) {
    const TImageReader r(totals.Bytes);
    TDArchiveRow row;
    for (int k = 0; k < 8; ++k)
        row.Counters[k] = r.U32(TArchiveTotals::Sums + 4 * k);
    ConvertCounters(row.Counters, scaleCodes, row);
    row.Absence = r.F32(TArchiveTotals::AbsenceHours);
    return row;
}

// ---- ВИРС-Д2 ----

std::uint16_t D2DailyIndex(std::int64_t day) {
    const std::int64_t d = day - DeviceEpochDay;
    return static_cast<std::uint16_t>(((d % 512) + 512) % 512);
}

std::uint16_t D2HourlyIndex(std::int64_t day, int hour) {
    const std::int64_t d = day - DeviceEpochDay;
    return static_cast<std::uint16_t>(((d % 64) + 64) % 64 * 24 + hour + 512);
}

bool D2HeaderMatches(const std::uint8_t header[3], std::int64_t day) {
    const std::int64_t recordDay = header[1] | header[2] << 8;
    return header[0] == 0 && recordDay + DeviceEpochDay == day;
}

std::string D2ChannelEventText(std::uint8_t bits) {
    static const char Letters[] = "CO><RE";
    std::string text;
    for (int i = 0; i < 6; ++i)
        text += (bits & (0x20 >> i)) ? Letters[i] : ' ';
    return text;
}

std::string D2DeviceEventText(std::uint8_t bits) {
    static const char Letters[] = "EIUS";
    std::string text;
    for (int i = 0; i < 4; ++i)
        text += (bits & (0x08 >> i)) ? Letters[i] : ' ';
    return text;
}

bool DecodeD2Record(const TD2ArchiveRecord& record, bool integrators, TD2PreviousRecord& previous,
                    bool& havePrevious, TD2ArchiveRow& row) {
    const TImageReader r(record.Bytes);
    const TImageReader p(previous.Bytes);
    // Whole and 10^-6 parts of a volume; seconds of a time.
    auto volume = [](const TImageReader& img, std::size_t at) {
        return img.U32(at) + img.U32(at + 4) / 1e6;
    };
    auto hours = [](const TImageReader& img, std::size_t at) { return img.U32(at) / 3600.0; };
    std::uint8_t channelBits[4];
    for (int c = 0; c < 4; ++c)
        channelBits[c] = r.U8(112 + c);
    bool hasRow = integrators || havePrevious;
    if (hasRow) {
        for (int c = 0; c < 4; ++c) {
            const std::size_t base = 24 * static_cast<std::size_t>(c);
            const bool accumulated = integrators || (channelBits[c] & 0x20) != 0;
            const double values[4] = {volume(r, base), volume(r, base + 12), hours(r, base + 8),
                                      hours(r, base + 20)};
            double shown[4];
            for (int i = 0; i < 4; ++i)
                shown[i] = values[i];
            if (!accumulated) {
                shown[0] -= volume(p, base);
                shown[1] -= volume(p, base + 12);
                shown[2] -= hours(p, base + 8);
                shown[3] -= hours(p, base + 20);
            }
            row.Volumes[2 * c] = shown[0];
            row.Volumes[2 * c + 1] = shown[1];
            row.Times[2 * c] = shown[2];
            row.Times[2 * c + 1] = shown[3];
            row.ChannelEvents[c] = D2ChannelEventText(channelBits[c]);
        }
        row.DeviceEvents = D2DeviceEventText(r.U8(116));
    }
    if (!integrators) {
        for (std::size_t i = 0; i < TD2PreviousRecord::Size; ++i)
            previous.Bytes[i] = record.Bytes[i];
        havePrevious = true;
    }
    return hasRow;
}

} // namespace virs
