#pragma once
// ВИРС-Д (two channels, forward and reverse counters) and ВИРС-ДК (four
// channels): current values in registers 0..63, settings in 400..739 and an
// archive read through a selector: the master writes year/month, day/hour and
// value mode/archive kind into registers 0..2 with function 16, then reads the
// 26-register record at 200..225.

#include "sim/Meter.h"

namespace virs::sim {

enum class TDArchiveKind : u8 { Hourly = 0, Daily = 1, Monthly = 2 };

struct TDSelector {
    int Year = 0, Month = 0, Day = 0, Hour = 0; // Year: two digits
    int Mode = 0;                               // 0 period values, 1 counter readings
    TDArchiveKind Kind = TDArchiveKind::Daily;
};

// Ring depths: hours, days and months the meter keeps.
inline constexpr int DHourlyDepth = 62 * 24, DDailyDepth = 730, DMonthlyDepth = 60;
inline constexpr u32 DMissingCounter = 0xFFFFFFFFu;

class TMeterD : public TSimMeter {
public:
    TMeterD(const TMeterConfig& config, u64 seed, SimSeconds startNow);
    u8 ReadRegisters(u16 start, u16 count, SimSeconds now, std::vector<u16>& out) override;
    u8 WriteRegisters(u16 start, const std::vector<u16>& values, SimSeconds now) override;

    bool FourChannels() const { return Kind() == TMeterKind::DK; }
    double Multiplier(int k) const;                          // m3 per count of counter k (0..3)
    std::vector<u16> CurrentRegisters(SimSeconds now) const; // 0..63
    std::vector<u16> SettingsRegisters() const;              // 400..739
    std::vector<u16> ArchiveRegisters(const TDSelector& sel, SimSeconds now) const; // 200..225
    // The eight counters of a period [from, to) in the given mode.
    void PeriodCounters(SimSeconds from, SimSeconds to, int mode, u32 out[8]) const;
    // Counter readings at a moment (mode 1) as the current block shows them.
    void CounterReadings(SimSeconds at, u32 out[8]) const;
    const TDSelector& Selector() const { return Selector_; }
    // Minutes without mains on a day.
    int OutageMinutes(i64 day) const;

private:
    TDSelector Selector_;
    bool HaveSelector_ = false;
};

} // namespace virs::sim
