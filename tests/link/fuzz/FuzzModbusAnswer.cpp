// Fuzz target: whatever comes down the line, the answer clean-up stays inside
// the receive buffer and the validation gives success only to an answer of
// the expected length, from the asked slave, with a right CRC, and an
// exception code only for a five-byte exception answer.
//
// Input: byte 0 = slave address, byte 1 = registers asked (the expected
// length is 2n + 5), byte 2 bit 0 = a function-16 answer (expected length 8);
// the rest is what the read returned (at most 256 bytes).

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "link/ModbusFrame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace virs;
    if (size < 3)
        return 0;
    const std::uint8_t slave = data[0];
    const std::size_t expected = (data[2] & 1) ? 8 : 2u * (data[1] % 126) + 5;
    std::uint8_t buffer[ModbusFrameSize];
    std::size_t count = std::min<std::size_t>(size - 3, sizeof buffer);
    std::memcpy(buffer, data + 3, count);
    const std::size_t raw = count;

    std::size_t offset = CleanModbusAnswer(buffer, count, expected);
    if (offset + count > raw)
        std::abort();
    if (count > 0 && buffer[offset] == 0)
        std::abort(); // a leading zero survived
    if (count > expected && buffer[offset + count - 1] == 0)
        std::abort(); // a trailing zero beyond the expected length survived

    const TExchangeResult result = ValidateModbusAnswer(buffer + offset, count, slave, expected);
    const std::uint8_t* a = buffer + offset;
    if (result == ResultSuccess) {
        if (count != expected || a[0] != slave || (a[1] & 0x80))
            std::abort();
        const std::uint16_t crc = ModbusCrc(a, count - 2);
        if (a[count - 2] != (crc & 0xFF) || a[count - 1] != (crc >> 8))
            std::abort();
    } else if (result != ResultTimeout && result != ResultBadCrc && result != ResultOtherAddress &&
               result != ResultLostData) {
        if (count != 5 || !(a[1] & 0x80) || a[2] != result || result == 0)
            std::abort(); // an exception code taken from anything but an exception answer
    }
    return 0;
}
