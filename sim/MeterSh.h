#pragma once
// ВИРС-Ш: current values in registers 0..21 and two rings of five-register
// archive records addressed by record number. The daily ring holds 1461 days
// (four years) at addresses 1000..2460: the day with (day mod 1461) = s is kept
// at 1001 + s, except s = 1460, kept at 1000, because 2461 starts the hourly
// ring. The hourly ring holds 280 days of 24 hours at 2461..9180; the record at
// slot (day mod 280)·24 + h covers the hour that ends at h:00 of that day.

#include "sim/Meter.h"

namespace virs::sim {

inline constexpr u16 ShDailyFirst = 1000, ShDailyLast = 2460;
inline constexpr u16 ShHourlyFirst = 2461, ShHourlyLast = 9180;
inline constexpr int ShDailySlots = 1461, ShHourlySlots = 280 * 24;

u16 ShDailyAddress(i64 day);            // day: days from 2000-01-01
u16 ShHourlyAddress(i64 day, int hour); // the record written at hour:00 of day

class TMeterSh : public TSimMeter {
public:
    TMeterSh(const TMeterConfig& config, u64 seed, SimSeconds startNow);
    bool AnswersAt(u8 address) const override;
    u8 ReadRegisters(u16 start, u16 count, SimSeconds now, std::vector<u16>& out) override;
    u8 WriteRegisters(u16 start, const std::vector<u16>& values, SimSeconds now) override;
    bool TakeBroadcast(u16 start, const std::vector<u16>& values) override;

    std::vector<u16> CurrentRegisters(SimSeconds now) const; // registers 0..21
    // The five registers of the record at an archive address (false: not an archive address).
    bool ArchiveRecord(u16 address, SimSeconds now, u16 out[5]) const;
    // The period the record at an address covers, [from, to); false for an empty slot.
    bool RecordPeriod(u16 address, SimSeconds now, SimSeconds& from, SimSeconds& to) const;
    u8 FirstAddress() const { return First_; }
    u8 SecondAddressNow() const { return Second_; }

private:
    u8 First_;
    u8 Second_; // 0: answers at one address only
};

} // namespace virs::sim
