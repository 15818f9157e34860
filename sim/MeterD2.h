#pragma once
// ВИРС-Д2: current values and settings in registers 64..285; archives of
// accumulated counters read in two steps: function 67 with the record index
// gives the record's header (status, day), then function 3 reads the 64
// registers of that record from register 0. Daily records are slots 0..511
// (day mod 512); hourly records slots 512..2047 ((day mod 64)·24 + hour + 512),
// the record of an hour holding the counters at the end of that hour.

#include "sim/Meter.h"

namespace virs::sim {

inline constexpr int D2DailySlots = 512, D2HourlySlots = 64 * 24;
inline constexpr u8 D2EmptySlot = 0xFF; // header status of a slot never written
inline constexpr u8 D2EvCleared = 0x20;

struct TD2Record {
    bool Present = false;
    i64 Day = 0;                // days from 2000-01-01
    int Hour = -1;              // -1 for a daily record
    std::vector<u16> Registers; // 64
};

class TMeterD2 : public TSimMeter {
public:
    TMeterD2(const TMeterConfig& config, u64 seed, SimSeconds startNow);
    u8 ReadRegisters(u16 start, u16 count, SimSeconds now, std::vector<u16>& out) override;
    u8 ReadRecordHeader(u16 index, SimSeconds now, std::array<u8, 3>& header) override;

    bool ChannelActive(int k) const;
    std::vector<u16> ImageRegisters(SimSeconds now) const; // 64..285
    TD2Record Record(u16 index, SimSeconds now) const;
    // Days on which the counters were cleared (counted from their start) and days missing.
    bool ClearedOn(i64 day) const;
    bool MissingDay(i64 day) const;
    // Accumulated forward volume of channel k at a moment (m3), since the last clearing.
    double Accumulated(int k, SimSeconds at) const;

private:
    SimSeconds LastClearing(SimSeconds at) const;
    void PutTotals(u16* regs, int k, SimSeconds at) const;
    TD2Record Selected_; // the record named by the last header
};

} // namespace virs::sim
