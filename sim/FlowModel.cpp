#include "sim/FlowModel.h"

#include <cmath>
#include <numbers>

#include "sim/Noise.h"

namespace virs::sim {

namespace {
constexpr double Omega = 2 * std::numbers::pi / 24.0; // one swing a day, t in hours
double Hours(SimSeconds t) {
    return static_cast<double>(t) / 3600.0;
}
// Integral of the smooth flow from 2000-01-01 to t, m3.
double Integral(const TFlowChannel& ch, SimSeconds t) {
    const double h = Hours(t);
    return ch.BaseFlow * (h - ch.Swing / Omega * std::cos(Omega * h + ch.Phase));
}
} // namespace

double SmoothFlow(const TFlowChannel& ch, SimSeconds t) {
    return ch.BaseFlow * (1 + ch.Swing * std::sin(Omega * Hours(t) + ch.Phase));
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
