#pragma once
// The water running through one measuring channel: daily, weekly and yearly
// swings around a base flow (less at night and at weekends, more by day) with a
// little measuring noise on the instantaneous value. Volumes are the exact
// integral of the smooth part, so the counters and the archives of one channel
// always agree with each other.

#include "sim/SimTypes.h"

namespace virs::sim {

struct TFlowChannel {
    double BaseFlow = 0; // m3/h, daily mean
    double Swing = 0.3;  // share of the base the flow swings by in a day
    double Phase = 0;    // radians
    double Weekly = 0.1; // share of the base the flow swings by over a week
    double WeeklyPhase = 0;
    double Seasonal = 0.08; // share of the base the flow swings by over a year
    double SeasonalPhase = 0;
    double Noise = 0.01;     // share of the flow, instantaneous value only
    double ReverseShare = 0; // reverse volume as a share of the forward volume
    u64 NoiseSeed = 0;
};

double SmoothFlow(const TFlowChannel& ch, SimSeconds t);                      // m3/h
double MeasuredFlow(const TFlowChannel& ch, SimSeconds t);                    // m3/h, with noise
double VolumeBetween(const TFlowChannel& ch, SimSeconds from, SimSeconds to); // m3, forward

} // namespace virs::sim
