#pragma once
// Building one request frame and judging one answer: the pure part of the
// exchange, kept apart from the thread so it can be tested frame by frame.

#include <cstddef>
#include <cstdint>

#include "link/ModbusExchange.h"

namespace virs {

inline constexpr std::size_t ModbusFrameSize = 256;

struct TModbusRequest {
    std::uint8_t Bytes[ModbusFrameSize] = {};
    std::size_t Length = 0;
    std::size_t ExpectedAnswerLength = 0;
};

// One chunk's request. For function 16 the chunk's data are taken from `data`
// (2 * count bytes, native words); other functions ignore it. count must be at
// most 123 so that a function-16 frame fits.
TModbusRequest BuildModbusRequest(std::uint8_t slave, std::uint8_t function, std::uint16_t start,
                                  std::uint16_t count, const std::uint8_t* data);

// Drops leading zero bytes, then trailing zero bytes beyond the expected length.
// Returns the offset of the cleaned answer in `buffer`; `count` becomes its length.
std::size_t CleanModbusAnswer(const std::uint8_t* buffer, std::size_t& count,
                              std::size_t expectedLength);

// Checks a cleaned answer in the fixed order: nothing, CRC, address, exception,
// length. An exception answer carrying code 0 counts as a malformed answer (11).
TExchangeResult ValidateModbusAnswer(const std::uint8_t* answer, std::size_t count,
                                     std::uint8_t slave, std::size_t expectedLength);

} // namespace virs
