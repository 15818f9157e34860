#pragma once
// The Hayes AT dialogue with a local modem: one write and one read of at most
// 100 bytes per command on the open port, and the turning of a raw answer into
// text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/SerialPort.h"

namespace virs {

inline constexpr std::size_t ModemReplySize = 100;

struct TModemReply {
    std::string Text;        // the answer without control characters (and without a final "OK")
    bool Ok = false;         // the answer ended with "OK"
    std::size_t Count = 0;   // raw bytes read
    std::uint8_t First = 0;  // first raw byte (0 when nothing came)
    bool PortFailed = false; // the port refused the read (a device that has gone)
};

// Every character with code 0..15 is removed; then a final "OK" is removed and
// reported. `raw` is in the modem's code page (Windows-1251); Text is UTF-8.
TModemReply TakeModemReply(const std::uint8_t* raw, std::size_t count);

// Writes `command` as it is (the caller appends the CR) and reads one answer.
TModemReply ModemCommand(TSerialPort& port, std::string_view command);
// One read of an answer without writing anything.
TModemReply ModemRead(TSerialPort& port);
// Writes without reading; false when the port refused.
bool ModemWrite(TSerialPort& port, std::string_view command);

// Character format command for the node's parity and stop bits.
std::string CharacterFormatCommand(std::uint8_t parityIndex, std::uint8_t stopBitsIndex);
// The search progress after a try at stop bits r, parity p, speed s.
int SearchPercent(int r, int p, int s);

} // namespace virs
