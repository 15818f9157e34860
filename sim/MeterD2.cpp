#include "sim/MeterD2.h"

#include <cmath>

#include "sim/Noise.h"
#include "sim/RegisterImage.h"
#include "sim/SimTime.h"

namespace virs::sim {

namespace {
constexpr u16 ImageFirst = 64, ImageCount = 222; // registers 64..285
constexpr u16 RecordCount = 64;
// Flow channels of each channel scheme (bit k = channel k + 1).
constexpr u8 SchemeChannels[7] = {0x1, 0x3, 0x1, 0xF, 0xD, 0x5, 0x1};
// Channel and device event bits of the archive records.
constexpr u8 EvOverflow = 0x10, EvAbove = 0x08, EvBelow = 0x04, EvReverse = 0x02, EvError = 0x01;
constexpr u8 DevSettings = 0x08, DevInterface = 0x04, DevPowerUp = 0x01;

i64 Mod(i64 a, i64 m) {
    return ((a % m) + m) % m;
}

u32 WholeOf(double v) {
    return v > 0 ? static_cast<u32>(std::floor(v)) : 0;
}
u32 MicroOf(double v) {
    if (v <= 0)
        return 0;
    const double frac = v - std::floor(v);
    return std::min<u32>(999999u, static_cast<u32>(std::llround(frac * 1e6)));
}
} // namespace

TMeterD2::TMeterD2(const TMeterConfig& config, u64 seed, SimSeconds startNow)
    : TSimMeter(config, seed, startNow) {}

bool TMeterD2::ChannelActive(int k) const {
    const u8 scheme = Config_.ChannelScheme <= 6 ? Config_.ChannelScheme : 1;
    return (SchemeChannels[scheme] >> k & 1) != 0;
}

bool TMeterD2::ClearedOn(i64 day) const {
    return day > DayOf(Commissioned_) && HashOf(Seed_, 40, static_cast<u64>(day)) % 97 == 0;
}

bool TMeterD2::MissingDay(i64 day) const {
    return !ClearedOn(day) && HashOf(Seed_, 41, static_cast<u64>(day)) % 23 == 0;
}

// The counters start at commissioning and are cleared at midnight of a clearing day.
SimSeconds TMeterD2::LastClearing(SimSeconds at) const {
    const i64 first = DayOf(Commissioned_);
    for (i64 d = DayOf(at); d > first && d > DayOf(at) - 1200; --d)
        if (ClearedOn(d) && d * SecondsPerDay <= at)
            return d * SecondsPerDay;
    return Commissioned_;
}

double TMeterD2::Accumulated(int k, SimSeconds at) const {
    return VolumeBetween(Channel(k), LastClearing(at), at);
}

// Six u32 at regs[0..11]: +V whole, +V fraction, +T, −V whole, −V fraction, −T.
void TMeterD2::PutTotals(u16* regs, int k, SimSeconds at) const {
    u32 values[6] = {0, 0, 0, 0, 0, 0};
    if (ChannelActive(k) && at > Commissioned_) {
        const SimSeconds since = LastClearing(at);
        const double forward = VolumeBetween(Channel(k), since, at);
        const double reverse = forward * Channel(k).ReverseShare;
        const double seconds = static_cast<double>(at - since);
        values[0] = WholeOf(forward);
        values[1] = MicroOf(forward);
        values[2] = static_cast<u32>(seconds * 0.99);
        values[3] = WholeOf(reverse);
        values[4] = MicroOf(reverse);
        values[5] = static_cast<u32>(seconds * 0.01);
    }
    for (int i = 0; i < 6; ++i) {
        regs[2 * i] = static_cast<u16>(values[i] & 0xFFFF);
        regs[2 * i + 1] = static_cast<u16>(values[i] >> 16);
    }
}

std::vector<u16> TMeterD2::ImageRegisters(SimSeconds now) const {
    TRegisterImage img(ImageFirst, ImageCount);
    for (int k = 0; k < 4; ++k) {
        const bool live = ChannelActive(k) && !ChannelFailed(k);
        img.U8(2 + k, live ? 0x01 : 0x00);
        img.F32(6 + 4u * k, live ? static_cast<float>(MeasuredFlow(Channel(k), now)) : 0.0f);
        const bool pressure = k < 2;
        const double pa =
            pressure
                ? 300000.0 + 20000.0 * (UnitOf(HashOf(Seed_, 42, k, static_cast<u64>(now))) - 0.5)
                : 0.0;
        img.F32(22 + 4u * k, static_cast<float>(pa));
    }
    img.U16(38, 0x0203); // firmware 2.3
    const TCivilTime load = CivilFromSeconds(Commissioned_ - 20 * SecondsPerDay);
    img.U8(40, static_cast<u8>(load.Year % 100));
    img.U8(41, static_cast<u8>(load.Month));
    img.U8(42, static_cast<u8>(load.Day));
    img.U16(44, Serial_);
    const TCivilTime made = CivilFromSeconds(Commissioned_ - 30 * SecondsPerDay);
    img.U8(46, static_cast<u8>(made.Year % 100));
    img.U8(47, static_cast<u8>(made.Month));
    img.U8(48, static_cast<u8>(made.Day));
    for (int k = 0; k < 4; ++k) {
        u16 regs[12];
        PutTotals(regs, k, now);
        for (int i = 0; i < 12; ++i)
            img.U16(50 + 24u * k + 2u * i, regs[i]);
    }
    const TCivilTime t = CivilFromSeconds(now);
    img.U8(178, static_cast<u8>(t.Year % 100));
    img.U8(179, static_cast<u8>(t.Month));
    img.U8(180, static_cast<u8>(t.Day));
    img.U8(181, static_cast<u8>(t.Hour));
    img.U8(182, static_cast<u8>(t.Minute));
    img.U8(183, static_cast<u8>(t.Second));
    // Settings, from register 156 (byte 184 of the image).
    constexpr std::size_t S = 184;
    img.U8(S + 0, Config_.ChannelScheme);
    img.U8(S + 1, Config_.Address);
    img.U8(S + 2, 3); // 9600
    img.U8(S + 3, 0); // one stop bit
    img.U8(S + 4, 0); // no parity
    for (int k = 0; k < 4; ++k) {
        const std::size_t c = S + 16 + 20u * k;
        const double mean = Channel(k).BaseFlow;
        img.F32(c + 0, static_cast<float>(std::round(mean * 0.05 * 10) / 10));
        img.F32(c + 4, static_cast<float>(std::round(mean * 3)));
        img.F32(c + 8, 0.2f);
        img.U32(c + 12, 10000); // 10 l per pulse
        img.U8(c + 16, k == 0 ? 1 : 0);
        img.U8(c + 17, static_cast<u8>(k % 3));
        img.U8(c + 18, 0);
        const std::size_t p = S + 96 + 34u * k;
        const u16 diameter = static_cast<u16>(1000 + 500 * (HashOf(Seed_, 43, k) % 3));
        img.U16(p + 0, diameter);
        img.U16(p + 2, static_cast<u16>(diameter * 141 / 100));
        img.U16(p + 4, 450);
        img.U8(p + 6, 0);
        img.U8(p + 7, 0);
        img.U16(p + 8, 100);
        img.F32(p + 10, static_cast<float>(0.01 + UnitOf(HashOf(Seed_, 44, k)) * 0.03));
        img.F32(p + 14, 1.0012f);
        img.F32(p + 18, 0.0f);
        img.F32(p + 22, 1.0f);
        img.F32(p + 26, 0.0f);
        img.U16(p + 30, 60);
        img.U8(p + 32, 10);
        const std::size_t q = S + 232 + 7u * k; // packed, straddles registers
        img.U8(q + 0, 1);                       // MPa
        img.U8(q + 1, 1);                       // 4-20 mA
        img.U16(q + 2, 16);                     // 1.6 MPa
        img.U16(q + 4, 1500);                   // 150.0 ohm
    }
    std::vector<u16> regs(ImageCount);
    for (u16 r = 0; r < ImageCount; ++r)
        regs[r] = img.Register(static_cast<u16>(ImageFirst + r));
    return regs;
}

TD2Record TMeterD2::Record(u16 index, SimSeconds now) const {
    TD2Record rec;
    rec.Registers.assign(RecordCount, 0);
    SimSeconds at = 0; // the moment the record's counters were taken
    if (index < D2DailySlots) {
        const i64 lastDone = DayOf(now) - 1;
        rec.Day = lastDone - Mod(lastDone - index, D2DailySlots);
        at = (rec.Day + 1) * SecondsPerDay;
    } else if (index < D2DailySlots + D2HourlySlots) {
        const i64 slot = index - D2DailySlots;
        const i64 nowHour = (now - 3600) / 3600; // the newest hour that has ended
        const i64 hour = nowHour - Mod(nowHour - slot, D2HourlySlots);
        rec.Day = DayOf(hour * 3600);
        rec.Hour = static_cast<int>(hour - rec.Day * 24);
        at = (hour + 1) * 3600;
    } else {
        return rec;
    }
    if (at <= Commissioned_ || MissingDay(rec.Day))
        return rec;
    rec.Present = true;
    for (int k = 0; k < 4; ++k)
        PutTotals(&rec.Registers[12u * k], k, at);
    const bool clearedInRecord = ClearedOn(rec.Day) && rec.Hour <= 0;
    u8 channelEvents[4] = {0, 0, 0, 0};
    for (int k = 0; k < 4; ++k) {
        if (!ChannelActive(k))
            continue;
        const u64 h =
            HashOf(Seed_, 45 + k, static_cast<u64>(rec.Day), static_cast<u64>(rec.Hour + 1));
        u8 ev = clearedInRecord ? D2EvCleared : 0;
        if (h % 17 == 0)
            ev |= EvBelow;
        if (h % 31 == 1)
            ev |= EvAbove;
        if (h % 47 == 2)
            ev |= EvReverse;
        if (h % 89 == 3)
            ev |= EvOverflow;
        if (h % 61 == 4 || ChannelFailed(k))
            ev |= EvError;
        channelEvents[k] = ev;
    }
    rec.Registers[56] = static_cast<u16>(channelEvents[0] | channelEvents[1] << 8);
    rec.Registers[57] = static_cast<u16>(channelEvents[2] | channelEvents[3] << 8);
    u8 device = 0;
    if (clearedInRecord)
        device |= DevSettings;
    if (MissingDay(rec.Day - 1) && rec.Hour <= 0)
        device |= DevPowerUp;
    if (HashOf(Seed_, 49, static_cast<u64>(rec.Day)) % 5 == 0)
        device |= DevInterface;
    rec.Registers[58] = device;
    return rec;
}

u8 TMeterD2::ReadRecordHeader(u16 index, SimSeconds now, std::array<u8, 3>& header) {
    if (index >= D2DailySlots + D2HourlySlots)
        return ExIllegalAddress;
    Selected_ = Record(index, now);
    if (!Selected_.Present) {
        header = {D2EmptySlot, 0xFF, 0xFF};
        return 0;
    }
    header = {0, static_cast<u8>(Selected_.Day & 0xFF), static_cast<u8>(Selected_.Day >> 8 & 0xFF)};
    return 0;
}

u8 TMeterD2::ReadRegisters(u16 start, u16 count, SimSeconds now, std::vector<u16>& out) {
    if (count == 0)
        return ExIllegalValue;
    const u32 end = static_cast<u32>(start) + count;
    if (end <= RecordCount) {
        // The record buffer: what the last header named (zeros before any header).
        if (Selected_.Registers.empty())
            Selected_.Registers.assign(RecordCount, 0);
        out.assign(Selected_.Registers.begin() + start, Selected_.Registers.begin() + end);
        return 0;
    }
    if (start >= ImageFirst && end <= ImageFirst + ImageCount) {
        const std::vector<u16> img = ImageRegisters(now);
        out.assign(img.begin() + (start - ImageFirst), img.begin() + (end - ImageFirst));
        return 0;
    }
    return ExIllegalAddress;
}

} // namespace virs::sim
