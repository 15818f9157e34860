#pragma once
// Giving the network adapter a new pair of addresses N, N + 1: a broadcast
// write of register 20, then a read of it from the new address N.

#include <cstdint>
#include <string>
#include <vector>

#include "service/ServicePort.h"

namespace virs {

inline constexpr const char* AdapterCaption = "назначение сетевых адресов адаптеру ВИРСШ";
inline constexpr int AdapterAddressMin = 1, AdapterAddressMax = 254;

enum class TAdapterResult { PortFailed, Silent, BadCrc, Assigned, OtherAnswer };

// The message box of each outcome, in the words the operator sees.
TServiceMessage AdapterMessage(TAdapterResult result);

// The broadcast frame (function 16 to address 0, register 20 = N·256 + 2) and
// the check frame (function 3 to N, register 20), CRC low byte first.
std::vector<std::uint8_t> AdapterAssignmentFrame(std::uint8_t n);
std::vector<std::uint8_t> AdapterCheckFrame(std::uint8_t n);

// Judges the answer to the check frame as read (not cleaned, length unchecked).
TAdapterResult JudgeAdapterAnswer(const std::uint8_t* answer, std::size_t count, std::uint8_t n);

// The whole assignment on `portName`: fixed line (9600 8N1, written into the
// run's record `line`), broadcast, 1000 ms, check. The port is closed at the end.
TAdapterResult RunAdapterAssignment(const std::string& portName, const TServicePortOpener& open,
                                    TLineSettings& line, std::uint8_t n);

} // namespace virs
