#pragma once
// The request/result block shared by the main thread and the exchange thread,
// the result codes and their texts, and the Modbus RTU framing helpers.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace virs {

// Outcome of an exchange job. 1-8 (and any other code a device sends in an
// exception answer) are the device's exception codes.
enum TExchangeResult : std::uint8_t {
    ResultSuccess = 0,
    ResultOtherAddress = 9,
    ResultBadCrc = 10,
    ResultLostData = 11,
    ResultTimeout = 12,
    ResultUserStop = 13,
    ResultNoRetriesOrChunk = 14,
};

inline constexpr std::size_t ExchangeResultTextCount = 22;
extern const char* const ExchangeResultText[ExchangeResultTextCount];
// The text of any code: the table's text, or a neutral text naming an unknown
// code above 21.
std::string ExchangeResultMessage(std::uint8_t code);

inline constexpr std::uint8_t FunctionReadRegisters = 3;
inline constexpr std::uint8_t FunctionWriteRegisters = 16;
inline constexpr std::uint8_t FunctionReadRecordHeader = 67;

// Written by the main thread while the worker is parked or waits inside the
// completion call; read by the worker when a job starts. AbortRequested is the
// one field the main thread writes while a job runs.
struct TModbusExchange {
    std::uint8_t SlaveAddress = 0;
    std::uint8_t FunctionCode = 0;
    std::uint16_t StartRegister = 0; // function 67: the archive record index
    std::uint16_t RegisterCount = 0; // 0: nothing is sent
    std::uint8_t MaxRegistersPerRequest = 32;
    std::uint8_t RetryCount = 0;
    TExchangeResult ResultCode = ResultSuccess;
    std::atomic<bool> AbortRequested{false};
    bool JobFinished = false;
    // Function 3: where the next chunk is stored; function 16: where it is
    // taken from. Advanced by 2 bytes per register.
    std::uint8_t* DataCursor = nullptr;
    std::uint8_t RecordHeader[3] = {};
    // Drive the transmit/receive lamps; written by the worker, read by a timer.
    std::atomic<std::int32_t> TxActivity{0};
    std::atomic<std::int32_t> RxActivity{0};
};

// CRC-16/MODBUS (initial 0xFFFF, reflected polynomial 0xA001); sent low byte first.
std::uint16_t ModbusCrc(const std::uint8_t* data, std::size_t count);
// "0x01 0x03 ... (8 байт)" - the protocol log rendering of a frame (UTF-8).
std::string HexDump(const std::uint8_t* data, std::size_t count);
// Copies byteCount / 2 16-bit words, exchanging the two bytes of each.
void SwapCopyWords(const std::uint8_t* source, std::uint8_t* destination, std::size_t byteCount);

} // namespace virs
