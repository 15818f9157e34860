#pragma once
// Deterministic randomness: every simulated quantity is a pure function of the
// scenario seed, the device and the moment, so a fixed clock and seed give the
// same answers on every run and a test can predict them.

#include "sim/SimTypes.h"

namespace virs::sim {

inline u64 MixBits(u64 x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

inline u64 HashOf(u64 seed, u64 a, u64 b = 0, u64 c = 0) {
    return MixBits(seed ^ MixBits(a ^ MixBits(b ^ MixBits(c))));
}

// Uniform in [0, 1).
inline double UnitOf(u64 hash) {
    return static_cast<double>(hash >> 11) * 0x1.0p-53;
}

} // namespace virs::sim
