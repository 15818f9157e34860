#include "sim/FlowModel.h"

#include <cmath>
#include <numbers>

#include "sim/Noise.h"

namespace virs::sim {

namespace {
// Angular speeds of the three swings, t in hours.
constexpr double Daily = 2 * std::numbers::pi / 24.0;
constexpr double Weekly = 2 * std::numbers::pi / (24.0 * 7);
constexpr double Yearly = 2 * std::numbers::pi / (24.0 * 365.25);
double Hours(SimSeconds t) {
    return static_cast<double>(t) / 3600.0;
}
// Integral of the smooth flow from 2000-01-01 to t, m3.
double Integral(const TFlowChannel& ch, SimSeconds t) {
    const double h = Hours(t);
    return ch.BaseFlow * (h - ch.Swing / Daily * std::cos(Daily * h + ch.Phase) -
                          ch.Weekly / Weekly * std::cos(Weekly * h + ch.WeeklyPhase) -
                          ch.Seasonal / Yearly * std::cos(Yearly * h + ch.SeasonalPhase));
}
} // namespace

double SmoothFlow(const TFlowChannel& ch, SimSeconds t) {
    const double h = Hours(t);
    return ch.BaseFlow * (1 + ch.Swing * std::sin(Daily * h + ch.Phase) +
                          ch.Weekly * std::sin(Weekly * h + ch.WeeklyPhase) +
                          ch.Seasonal * std::sin(Yearly * h + ch.SeasonalPhase));
}

double MeasuredFlow(const TFlowChannel& ch, SimSeconds t) {
    const double jitter = UnitOf(HashOf(ch.NoiseSeed, static_cast<u64>(t))) * 2 - 1;
    return SmoothFlow(ch, t) * (1 + ch.Noise * jitter);
}

double VolumeBetween(const TFlowChannel& ch, SimSeconds from, SimSeconds to) {
    if (to <= from)
        return 0;
    return Integral(ch, to) - Integral(ch, from);
}

} // namespace virs::sim
