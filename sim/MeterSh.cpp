#include "sim/MeterSh.h"

#include <cmath>

#include "sim/Noise.h"
#include "sim/RegisterImage.h"
#include "sim/SimTime.h"

namespace virs::sim {

namespace {
constexpr u16 AdapterRegister = 20;
constexpr u16 CurrentCount = 22;
// ВИРС-Ш archive status bits.
constexpr u8 StValid = 0x80, StFault = 0x01, StNoSensors = 0x02, StErrors = 0x04,
             StLowBattery = 0x08, StSerialUsed = 0x10;
constexpr double PipeArea = 3.14159265 * 0.05 * 0.05; // DN100, m2

i64 Mod(i64 a, i64 m) {
    return ((a % m) + m) % m;
}
} // namespace

u16 ShDailyAddress(i64 day) {
    const i64 s = Mod(day, ShDailySlots);
    return static_cast<u16>(s == ShDailySlots - 1 ? ShDailyFirst : ShDailyFirst + 1 + s);
}

u16 ShHourlyAddress(i64 day, int hour) {
    return static_cast<u16>(ShHourlyFirst + Mod(day, 280) * 24 + hour);
}

TMeterSh::TMeterSh(const TMeterConfig& config, u64 seed, SimSeconds startNow)
    : TSimMeter(config, seed, startNow), First_(config.Address), Second_(config.SecondAddress) {}

bool TMeterSh::AnswersAt(u8 address) const {
    return address == First_ || (Second_ != 0 && address == Second_);
}

std::vector<u16> TMeterSh::CurrentRegisters(SimSeconds now) const {
    TRegisterImage img(0, CurrentCount);
    const TFlowChannel& ch = Channel(0);
    const bool failed = ChannelFailed(0);
    const u16 state =
        Config_.StateWord ? *Config_.StateWord : static_cast<u16>(failed ? 0x0003 : 0x0007);
    const double flow = failed ? 0.0 : MeasuredFlow(ch, now);
    img.U16(0, state);
    img.F32(2, static_cast<float>(flow));
    img.F32(6, static_cast<float>(flow / 3600.0 / PipeArea));
    const u64 volume = static_cast<u64>(std::llround(VolumeSince(*this, 0, now) * 1e6));
    img.U32(10, static_cast<u32>(volume & 0xFFFFFFFFu));
    img.U32(14, static_cast<u32>(volume >> 32));
    const SimSeconds service = now > Commissioned_ ? now - Commissioned_ : 0;
    const u32 idle = static_cast<u32>(service / 500); // a few minutes a week without measuring
    img.U32(18, static_cast<u32>(service) - idle);
    img.U32(22, idle);
    const TCivilTime t = CivilFromSeconds(now);
    img.U16(26, static_cast<u16>(DayOf(now) + DayNumberOf2000));
    img.U16(28, static_cast<u16>(t.Hour << 8 | t.Minute));
    // The battery runs down by about a tenth of a volt a year.
    const double years = static_cast<double>(service) / (365.0 * SecondsPerDay);
    img.U16(30, static_cast<u16>(std::lround(std::max(2.8, Config_.Battery - 0.1 * years) * 100)));
    img.U16(32, Serial_);
    img.U16(34, static_cast<u16>(DayOf(Commissioned_) - 30 + DayNumberOf2000));
    img.U16(36, 210);
    img.U16(38, static_cast<u16>(DayOf(Commissioned_) - 20 + DayNumberOf2000));
    img.U16(40, static_cast<u16>(First_ << 8 | 2));
    img.U16(42, 14);
    std::vector<u16> regs(CurrentCount);
    for (u16 r = 0; r < CurrentCount; ++r)
        regs[r] = img.Register(r);
    return regs;
}

bool TMeterSh::RecordPeriod(u16 address, SimSeconds now, SimSeconds& from, SimSeconds& to) const {
    if (address >= ShDailyFirst && address <= ShDailyLast) {
        const i64 slot = address == ShDailyFirst ? ShDailySlots - 1 : address - ShDailyFirst - 1;
        const i64 lastDone = DayOf(now) - 1; // the newest complete day
        const i64 day = lastDone - Mod(lastDone - slot, ShDailySlots);
        from = day * SecondsPerDay;
        to = from + SecondsPerDay;
    } else if (address >= ShHourlyFirst && address <= ShHourlyLast) {
        const i64 slot = address - ShHourlyFirst;
        const i64 nowHour = DayOf(now) * 24 + (now - DayOf(now) * SecondsPerDay) / 3600;
        const i64 hour = nowHour - Mod(nowHour - slot, ShHourlySlots); // written at hour:00
        to = hour * 3600;
        from = to - 3600;
    } else {
        return false;
    }
    return from >= Commissioned_;
}

bool TMeterSh::ArchiveRecord(u16 address, SimSeconds now, u16 out[5]) const {
    if (address < ShDailyFirst || address > ShHourlyLast)
        return false;
    for (int i = 0; i < 5; ++i)
        out[i] = 0;
    SimSeconds from = 0, to = 0;
    if (!RecordPeriod(address, now, from, to))
        return true; // a slot never written: all zero, not valid
    const bool daily = address <= ShDailyLast;
    const u64 h = HashOf(Seed_, daily ? 'D' : 'H', static_cast<u64>(from));
    u8 status = StValid;
    if (h % 37 == 0)
        status = 0; // the meter was being serviced: the record is not valid
    else if (h % 11 == 0)
        status |= StSerialUsed;
    else if (h % 53 == 1)
        status |= StLowBattery;
    else if (h % 71 == 2)
        status |= StErrors;
    if (ChannelFailed(0))
        status |= StNoSensors;
    if (h % 97 == 3)
        status |= StFault;
    const u64 volume = static_cast<u64>(std::llround(VolumeBetween(Channel(0), from, to) * 1e6));
    out[0] = static_cast<u16>(volume & 0xFFFF);
    out[1] = static_cast<u16>(volume >> 16 & 0xFFFF);
    out[2] = static_cast<u16>(volume >> 32 & 0xFFFF);
    // Operating time of the period: daily in units of 2 s, hourly in seconds.
    const u32 stopped = (status & (StErrors | StFault)) ? static_cast<u32>(h % 1800) : 0;
    out[3] = static_cast<u16>(daily ? (SecondsPerDay - stopped) / 2 : 3600 - stopped);
    out[4] = status;
    return true;
}

u8 TMeterSh::ReadRegisters(u16 start, u16 count, SimSeconds now, std::vector<u16>& out) {
    if (count == 0)
        return ExIllegalValue;
    if (start + count <= CurrentCount) {
        const std::vector<u16> all = CurrentRegisters(now);
        out.assign(all.begin() + start, all.begin() + start + count);
        return 0;
    }
    u16 record[5];
    if (count <= 5 && ArchiveRecord(start, now, record)) {
        out.assign(record, record + count); // an address is a record: never spans two
        return 0;
    }
    return ExIllegalAddress;
}

u8 TMeterSh::WriteRegisters(u16 start, const std::vector<u16>& values, SimSeconds) {
    if (start == AdapterRegister && values.size() == 1)
        return TakeBroadcast(start, values) ? 0 : ExIllegalValue;
    return ExIllegalAddress;
}

// The adapter takes a new pair of addresses N, N + 1 from register 20 = N·256 + 2.
bool TMeterSh::TakeBroadcast(u16 start, const std::vector<u16>& values) {
    if (start != AdapterRegister || values.size() != 1 || (values[0] & 0xFF) != 2)
        return false;
    const u8 n = static_cast<u8>(values[0] >> 8);
    if (n < 1 || n > 254)
        return false;
    First_ = n;
    Second_ = static_cast<u8>(n + 1);
    return true;
}

} // namespace virs::sim
