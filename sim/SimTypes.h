#pragma once
// Basic types of the simulator. The simulator is a separate program: it shares
// no decoding code with the meter link program, only the port alias folder.

#include <cstdint>
#include <vector>

namespace virs::sim {

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using u64 = std::uint64_t;
using i64 = std::int64_t;
using Bytes = std::vector<u8>;

// Simulated time: whole seconds since 2000-01-01 00:00 (meter local time).
using SimSeconds = i64;

enum class TMeterKind : u8 { Sh = 3, D = 4, DK = 5, D2 = 6 };
const char* MeterKindName(TMeterKind kind); // "ВИРС-Ш" …

enum class TParity : u8 { None, Odd, Even };

} // namespace virs::sim
