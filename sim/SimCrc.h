#pragma once
// CRC-16 of Modbus RTU frames (initial 0xFFFF, reflected polynomial 0xA001),
// sent low byte first.

#include <cstddef>

#include "sim/SimTypes.h"

namespace virs::sim {

u16 FrameCrc(const u8* data, std::size_t count);
// Appends the CRC of the whole buffer, low byte first.
void AppendCrc(Bytes& frame);
// True when the last two bytes are the CRC of the ones before them.
bool CrcMatches(const Bytes& frame);

} // namespace virs::sim
