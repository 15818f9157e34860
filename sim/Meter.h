#pragma once
// One simulated meter on the line: its identity, its flows and the three
// Modbus functions it serves. Each device type has its own class (MeterSh,
// MeterD, MeterD2) that builds its registers from its register tables.

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/FlowModel.h"
#include "sim/SimTypes.h"

namespace virs::sim {

// Modbus exception codes the meters give.
inline constexpr u8 ExIllegalFunction = 1;
inline constexpr u8 ExIllegalAddress = 2;
inline constexpr u8 ExIllegalValue = 3;

// What a scenario says about one meter; everything has a default.
struct TMeterConfig {
    TMeterKind Kind = TMeterKind::D;
    u8 Address = 1;
    u8 SecondAddress = 0; // ВИРС-Ш adapter: the second address of its pair (0 = none)
    u16 Serial = 0;       // 0: derived from the seed
    std::optional<SimSeconds> Commissioned; // start of the counters; default 2-3 years before now
    std::vector<double> Flows;              // m3/h per channel; default derived from the seed
    std::vector<double> ScaleCodes; // ВИРС-Д/ДК: ScaleCode 1..4 (floats as the meter keeps them)
    std::vector<int> FailedChannels; // channels (1-based) in failure
    std::optional<u16> StateWord;    // ВИРС-Ш state word; default 0x0007 (all well)
    u8 ChannelScheme = 1;            // ВИРС-Д2
    double Battery = 3.6;            // ВИРС-Ш, volts
};

class TSimMeter {
public:
    TSimMeter(const TMeterConfig& config, u64 seed, SimSeconds startNow);
    virtual ~TSimMeter() = default;
    TSimMeter(const TSimMeter&) = delete;
    TSimMeter& operator=(const TSimMeter&) = delete;

    TMeterKind Kind() const { return Config_.Kind; }
    const TMeterConfig& Config() const { return Config_; }
    virtual bool AnswersAt(u8 address) const { return address == Config_.Address; }
    u8 Address() const { return Config_.Address; }
    u16 Serial() const { return Serial_; }
    SimSeconds Commissioned() const { return Commissioned_; }
    const TFlowChannel& Channel(int k) const { return Channels_.at(k); }
    bool ChannelFailed(int k) const; // k 0-based

    // Function 3: 0 and the values, or an exception code.
    virtual u8 ReadRegisters(u16 start, u16 count, SimSeconds now, std::vector<u16>& out) = 0;
    // Function 16: 0 or an exception code.
    virtual u8 WriteRegisters(u16 start, const std::vector<u16>& values, SimSeconds now);
    // Function 67 (archive record header): 0 and three bytes, or an exception code.
    virtual u8 ReadRecordHeader(u16 index, SimSeconds now, std::array<u8, 3>& header);
    // A function-16 broadcast (address 0); true when this meter took it.
    virtual bool TakeBroadcast(u16 start, const std::vector<u16>& values);

protected:
    u64 Seed_; // the scenario seed mixed with the device's own identity
    TMeterConfig Config_;
    u16 Serial_;
    SimSeconds Commissioned_;
    std::vector<TFlowChannel> Channels_;
};

std::unique_ptr<TSimMeter> MakeMeter(const TMeterConfig& config, u64 seed, SimSeconds startNow);

// Volume of a channel since commissioning (m3) and operating seconds since then.
double VolumeSince(const TSimMeter& m, int channel, SimSeconds now);

} // namespace virs::sim
