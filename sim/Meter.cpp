#include "sim/Meter.h"

#include <algorithm>
#include <numbers>

#include "sim/MeterD.h"
#include "sim/MeterD2.h"
#include "sim/MeterSh.h"
#include "sim/Noise.h"
#include "sim/SimTime.h"

namespace virs::sim {

TSimMeter::TSimMeter(const TMeterConfig& config, u64 seed, SimSeconds startNow)
    : Seed_(HashOf(seed, static_cast<u64>(config.Kind), config.Address)), Config_(config) {
    Serial_ = config.Serial ? config.Serial : static_cast<u16>(1000 + HashOf(Seed_, 1) % 9000);
    if (config.Commissioned) {
        Commissioned_ = *config.Commissioned;
    } else {
        // Two to three years of service, starting at midnight.
        const i64 days = 730 + static_cast<i64>(HashOf(Seed_, 2) % 365);
        Commissioned_ = (DayOf(startNow) - days) * SecondsPerDay;
    }
    for (int k = 0; k < 4; ++k) {
        TFlowChannel ch;
        if (k < static_cast<int>(config.Flows.size()))
            ch.BaseFlow = config.Flows[k];
        else
            ch.BaseFlow = 5 + static_cast<int>(HashOf(Seed_, 3, k) % 4500) / 100.0; // 5..50 m3/h
        ch.Swing = 0.2 + UnitOf(HashOf(Seed_, 4, k)) * 0.2;
        ch.Phase = UnitOf(HashOf(Seed_, 5, k)) * 2 * std::numbers::pi;
        ch.Weekly = 0.05 + UnitOf(HashOf(Seed_, 8, k)) * 0.1;
        ch.WeeklyPhase = UnitOf(HashOf(Seed_, 9, k)) * 2 * std::numbers::pi;
        ch.Seasonal = 0.05 + UnitOf(HashOf(Seed_, 10, k)) * 0.1;
        ch.SeasonalPhase = UnitOf(HashOf(Seed_, 11, k)) * 2 * std::numbers::pi;
        ch.Noise = 0.01;
        ch.ReverseShare = 0.002 + UnitOf(HashOf(Seed_, 6, k)) * 0.004;
        ch.NoiseSeed = HashOf(Seed_, 7, k);
        Channels_.push_back(ch);
    }
}

bool TSimMeter::ChannelFailed(int k) const {
    return std::find(Config_.FailedChannels.begin(), Config_.FailedChannels.end(), k + 1) !=
           Config_.FailedChannels.end();
}

u8 TSimMeter::WriteRegisters(u16, const std::vector<u16>&, SimSeconds) {
    return ExIllegalAddress;
}

u8 TSimMeter::ReadRecordHeader(u16, SimSeconds, std::array<u8, 3>&) {
    return ExIllegalFunction;
}

bool TSimMeter::TakeBroadcast(u16, const std::vector<u16>&) {
    return false;
}

std::unique_ptr<TSimMeter> MakeMeter(const TMeterConfig& config, u64 seed, SimSeconds startNow) {
    switch (config.Kind) {
    case TMeterKind::Sh:
        return std::make_unique<TMeterSh>(config, seed, startNow);
    case TMeterKind::D:
    case TMeterKind::DK:
        return std::make_unique<TMeterD>(config, seed, startNow);
    case TMeterKind::D2:
        return std::make_unique<TMeterD2>(config, seed, startNow);
    }
    return nullptr;
}

double VolumeSince(const TSimMeter& m, int channel, SimSeconds now) {
    return VolumeBetween(m.Channel(channel), m.Commissioned(), now);
}

} // namespace virs::sim
