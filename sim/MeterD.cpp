#include "sim/MeterD.h"

#include <algorithm>
#include <cmath>

#include "sim/Noise.h"
#include "sim/RegisterImage.h"
#include "sim/SimTime.h"

namespace virs::sim {

namespace {
constexpr u16 CurrentCount = 64;
constexpr u16 ArchiveFirst = 200, ArchiveCount = 26;
constexpr u16 SettingsFirst = 400, SettingsCount = 340;
constexpr u16 ChannelBase[4] = {402, 502, 582, 662};
// Event bits of one channel in the archive words; channel k uses bits 3k..3k+2.
constexpr u16 EvBelow = 1, EvAbove = 2, EvFailure = 4;
constexpr double ReverseTimeShare = 0.02;

u32 Clamp32(double v) {
    if (v <= 0)
        return 0;
    if (v >= 4294901760.0) // keep clear of the 0xFFFF0000 marks of missing values
        return 4294901759u;
    return static_cast<u32>(std::llround(v));
}
} // namespace

TMeterD::TMeterD(const TMeterConfig& config, u64 seed, SimSeconds startNow)
    : TSimMeter(config, seed, startNow) {}

double TMeterD::Multiplier(int k) const {
    const double code =
        k < static_cast<int>(Config_.ScaleCodes.size()) ? Config_.ScaleCodes[k] : 2.0;
    const long s = std::lrint(code); // halves to even, as the meter's own display does
    return s >= 0 && s <= 4 ? std::pow(10.0, 1 - static_cast<int>(s)) : 10.0;
}

// Counters of [from, to): volumes in counts of each counter's multiplier, times in 10^-4 h.
void TMeterD::PeriodCounters(SimSeconds from, SimSeconds to, int mode, u32 out[8]) const {
    if (mode == 1) {
        CounterReadings(to, out);
        return;
    }
    from = std::max(from, Commissioned_);
    const double hours = to > from ? static_cast<double>(to - from) / 3600.0 : 0;
    for (int k = 0; k < 4; ++k) {
        if (FourChannels()) {
            const bool live = !ChannelFailed(k);
            out[k] = live ? Clamp32(VolumeBetween(Channel(k), from, to) / Multiplier(k)) : 0;
            out[4 + k] = live ? Clamp32(hours * 1e4) : 0;
        } else {
            const int ch = k % 2;
            const bool live = !ChannelFailed(ch);
            const double v = VolumeBetween(Channel(ch), from, to);
            const bool reverse = k >= 2;
            out[k] =
                live ? Clamp32((reverse ? v * Channel(ch).ReverseShare : v) / Multiplier(k)) : 0;
            const double share = reverse ? ReverseTimeShare : 1 - ReverseTimeShare;
            out[4 + k] = live ? Clamp32(hours * share * 1e4) : 0;
        }
    }
}

void TMeterD::CounterReadings(SimSeconds at, u32 out[8]) const {
    // Readings are the period values since commissioning.
    const SimSeconds from = Commissioned_;
    const double hours = at > from ? static_cast<double>(at - from) / 3600.0 : 0;
    for (int k = 0; k < 4; ++k) {
        const int ch = FourChannels() ? k : k % 2;
        const bool reverse = !FourChannels() && k >= 2;
        const bool live = !ChannelFailed(ch);
        const double v = VolumeBetween(Channel(ch), from, at);
        out[k] = live ? Clamp32((reverse ? v * Channel(ch).ReverseShare : v) / Multiplier(k)) : 0;
        const double share = FourChannels() ? 1.0
                             : reverse      ? ReverseTimeShare
                                            : 1 - ReverseTimeShare;
        out[4 + k] = live ? Clamp32(hours * share * 1e4) : 0;
    }
}

std::vector<u16> TMeterD::CurrentRegisters(SimSeconds now) const {
    TRegisterImage img(0, CurrentCount);
    u32 counters[8];
    CounterReadings(now, counters);
    for (int k = 0; k < 8; ++k)
        img.U32(4u * k, counters[k]);
    const int channels = FourChannels() ? 4 : 2;
    for (int k = 0; k < 4; ++k) {
        const bool live = k < channels && !ChannelFailed(k);
        img.F32(80 + 4u * k, live ? static_cast<float>(MeasuredFlow(Channel(k), now)) : 0.0f);
        img.F32(96 + 4u * k, live ? 1.0f : 0.0f);
        const double code =
            k < static_cast<int>(Config_.ScaleCodes.size()) ? Config_.ScaleCodes[k] : 2.0;
        img.F32(112 + 4u * k, static_cast<float>(code));
    }
    std::vector<u16> regs(CurrentCount);
    for (u16 r = 0; r < CurrentCount; ++r)
        regs[r] = img.Register(r);
    return regs;
}

std::vector<u16> TMeterD::SettingsRegisters() const {
    TRegisterImage img(SettingsFirst, SettingsCount);
    const int channels = FourChannels() ? 4 : 2;
    for (int k = 0; k < channels; ++k) {
        const u16 b = ChannelBase[k];
        const double d =
            100.0 + 50.0 * static_cast<double>(HashOf(Seed_, 20, k) % 3); // 100..200 mm
        const double tDown = 95.0 + UnitOf(HashOf(Seed_, 21, k)) * 10.0;
        const double dt = 0.012 + UnitOf(HashOf(Seed_, 22, k)) * 0.02;
        img.RegF32(b + 0, static_cast<float>(tDown));
        img.RegF32(b + 2, static_cast<float>(tDown + dt));
        img.RegF32(b + 4, static_cast<float>(dt));
        img.RegF32(b + 6, static_cast<float>(d * d * 0.0283)); // full scale about 3 m/s
        img.RegF32(b + 8, 0.25f);
        img.RegF32(b + 10, 3.0f);
        img.RegF32(b + 12, static_cast<float>(d));
        img.RegF32(b + 14, static_cast<float>(d * 1.41));
        img.RegF32(b + 16, 8.0f);
        img.RegF32(b + 18, static_cast<float>(10.0 + UnitOf(HashOf(Seed_, 23, k)) * 20.0));
        img.RegF32(b + 20, 10.0f);
        img.RegF32(b + 22, 1.0012f);
        img.RegF32(b + 24, 0.0f);
        img.RegF32(b + 26, 1.0f);
        img.RegF32(b + 28, 0.0f);
    }
    if (!FourChannels()) {
        img.RegF32(434, 1111.0f);
        img.RegF32(436, 1.0f);
        img.RegF32(438, Config_.Address);
        img.RegF32(440, 3.0f);
        img.RegF32(442, 8.0f);
        img.RegF32(444, 2.0f);
        img.RegF32(446, 10.0f);
        img.RegF32(448, 10.0f);
        img.RegF32(450, 4.0f);
        img.RegF32(452, 20.0f);
        img.RegF32(454, 0.0f);
        img.RegF32(456, 100.0f);
        img.RegF32(458, 1.0f);
        img.RegF32(460, 60.0f);
        img.RegF32(462, 60.0f);
    } else {
        img.RegF32(460, 4.0f);
        img.RegF32(462, 1111.0f);
        img.RegF32(464, 1.0f);
        img.RegF32(466, 1.0f);
        img.RegF32(468, Config_.Address);
        img.RegF32(470, 3.0f);
        img.RegF32(472, 8.0f);
        img.RegF32(474, 2.0f);
        for (int k = 0; k < 4; ++k) {
            img.RegF32(static_cast<u16>(476 + 2 * k), 10.0f);
            img.RegF32(static_cast<u16>(484 + 2 * k), 60.0f);
        }
    }
    std::vector<u16> regs(SettingsCount);
    for (u16 r = 0; r < SettingsCount; ++r)
        regs[r] = img.Register(static_cast<u16>(SettingsFirst + r));
    return regs;
}

int TMeterD::OutageMinutes(i64 day) const {
    const u64 h = HashOf(Seed_, 30, static_cast<u64>(day));
    return h % 19 == 0 ? static_cast<int>(5 + (h >> 8) % 300) : 0;
}

std::vector<u16> TMeterD::ArchiveRegisters(const TDSelector& sel, SimSeconds now) const {
    TRegisterImage img(ArchiveFirst, ArchiveCount);
    const int year = 2000 + sel.Year;
    const i64 day =
        DaysFromCivil(year, sel.Month, sel.Kind == TDArchiveKind::Monthly ? 1 : sel.Day);
    SimSeconds from = day * SecondsPerDay, to = from;
    i64 periodsBack = 0; // how old the period is, in its own units
    switch (sel.Kind) {
    case TDArchiveKind::Hourly:
        from += sel.Hour * 3600;
        to = from + 3600;
        periodsBack = (now - to) / 3600;
        break;
    case TDArchiveKind::Daily:
        to = from + SecondsPerDay;
        periodsBack = (now - to) / SecondsPerDay;
        break;
    case TDArchiveKind::Monthly: {
        const int days = DaysInMonth(year, sel.Month);
        to = from + days * SecondsPerDay;
        const TCivilTime n = CivilFromSeconds(now);
        periodsBack = (n.Year - year) * 12 + n.Month - sel.Month - 1;
        break;
    }
    }
    const int depth = sel.Kind == TDArchiveKind::Hourly  ? DHourlyDepth
                      : sel.Kind == TDArchiveKind::Daily ? DDailyDepth
                                                         : DMonthlyDepth;
    const bool exists = to <= now && to > Commissioned_ && periodsBack < depth;
    u32 counters[8];
    if (!exists) {
        for (u32& c : counters)
            c = DMissingCounter;
    } else {
        PeriodCounters(from, to, sel.Mode, counters);
        // Now and then a counter was not stored: the meter reports it as all ones.
        const u64 h = HashOf(Seed_, 31, static_cast<u64>(from), static_cast<u64>(sel.Kind));
        if (h % 41 == 0)
            counters[(h >> 8) % 8] = DMissingCounter;
    }
    for (int k = 0; k < 8; ++k)
        img.RegU32(static_cast<u16>(200 + 2 * k), counters[k]);
    if (exists) {
        // Mains present in the period, 10^-4 h.
        double outage = 0;
        for (i64 d = DayOf(from); d * SecondsPerDay < to; ++d) {
            const int minutes = OutageMinutes(d);
            if (sel.Kind == TDArchiveKind::Hourly)
                outage += sel.Hour == 3 ? std::min(minutes, 60) / 60.0 : 0;
            else
                outage += minutes / 60.0;
        }
        const double hours = static_cast<double>(to - from) / 3600.0;
        img.RegU32(216, Clamp32((hours - outage) * 1e4));
        // Event bits per channel: the flow under the cut-off at night, over the
        // scale at the peak, a measuring failure now and then.
        u16 events = 0;
        const int channels = FourChannels() ? 4 : 2;
        for (int k = 0; k < channels; ++k) {
            const u64 h = HashOf(Seed_, 32 + k, static_cast<u64>(from), static_cast<u64>(sel.Kind));
            u16 bits = 0;
            if (h % 13 == 0)
                bits |= EvBelow;
            if (h % 29 == 1)
                bits |= EvAbove;
            if (h % 43 == 2 || ChannelFailed(k))
                bits |= EvFailure;
            events = static_cast<u16>(events | bits << (3 * k));
        }
        if (sel.Kind == TDArchiveKind::Daily) {
            img.RegU16(222, events);
        } else {
            img.RegU16(220, static_cast<u16>(events & 0x3F));
            img.RegU16(222, static_cast<u16>(events & 0xFC0));
        }
    }
    std::vector<u16> regs(ArchiveCount);
    for (u16 r = 0; r < ArchiveCount; ++r)
        regs[r] = img.Register(static_cast<u16>(ArchiveFirst + r));
    return regs;
}

u8 TMeterD::ReadRegisters(u16 start, u16 count, SimSeconds now, std::vector<u16>& out) {
    if (count == 0)
        return ExIllegalValue;
    const u32 end = static_cast<u32>(start) + count;
    std::vector<u16> block;
    u16 first = 0;
    if (end <= CurrentCount) {
        block = CurrentRegisters(now);
    } else if (start >= ArchiveFirst && end <= ArchiveFirst + ArchiveCount) {
        if (!HaveSelector_)
            return ExIllegalValue; // no record chosen yet
        block = ArchiveRegisters(Selector_, now);
        first = ArchiveFirst;
    } else if (start >= SettingsFirst && end <= SettingsFirst + SettingsCount) {
        block = SettingsRegisters();
        first = SettingsFirst;
    } else {
        return ExIllegalAddress;
    }
    out.assign(block.begin() + (start - first), block.begin() + (end - first));
    return 0;
}

u8 TMeterD::WriteRegisters(u16 start, const std::vector<u16>& values, SimSeconds) {
    if (start != 0 || values.size() != 3)
        return ExIllegalAddress;
    TDSelector sel;
    sel.Year = values[0] >> 8;
    sel.Month = values[0] & 0xFF;
    sel.Day = values[1] >> 8;
    sel.Hour = values[1] & 0xFF;
    sel.Mode = values[2] >> 8;
    const int kind = values[2] & 0xFF;
    if (sel.Year > 99 || sel.Month < 1 || sel.Month > 12 || sel.Hour > 23 || sel.Mode > 1 ||
        kind > 2)
        return ExIllegalValue;
    sel.Kind = static_cast<TDArchiveKind>(kind);
    if (sel.Kind != TDArchiveKind::Monthly &&
        (sel.Day < 1 || sel.Day > DaysInMonth(2000 + sel.Year, sel.Month)))
        return ExIllegalValue;
    Selector_ = sel;
    HaveSelector_ = true;
    return 0;
}

} // namespace virs::sim
