#pragma once
// Reading a Modbus RTU frame back into what it asks or answers: the slave
// address, the function, the registers and their count, an exception code and
// whether the CRC holds. Used by the traffic monitor to show each frame that
// the exchange thread reports; the exchange itself judges answers with
// ValidateModbusAnswer.

#include <cstddef>
#include <cstdint>
#include <string>

#include "link/FrameMonitor.h"

namespace virs {

struct TFrameDecoding {
    // Leading zero bytes of an answer skipped before the frame (the exchange
    // drops them the same way); the decoded frame starts there.
    std::size_t Offset = 0;
    std::size_t Length = 0; // bytes of the decoded frame after the clean-up
    bool HasAddress = false;
    std::uint8_t Address = 0;
    bool HasFunction = false;
    std::uint8_t Function = 0; // without the exception bit
    bool Exception = false;
    bool HasExceptionCode = false;
    std::uint8_t ExceptionCode = 0;
    // First register and count (function 67: the archive record index and 1).
    // An answer to a read names only its count; the first register is the
    // request's, when the request was a read.
    bool HasStart = false;
    std::uint16_t Start = 0;
    bool HasCount = false;
    std::uint16_t Count = 0;
    bool CrcOk = false; // the last two bytes are the CRC of the bytes before
};

// `request` is the request the frame belongs to (for an answer: the one it
// answers); a request is decoded from its own bytes.
TFrameDecoding DecodeModbusFrame(const std::uint8_t* bytes, std::size_t length,
                                 TFrameDirection direction, const TFrameRequest& request);

// "чтение регистров", "запись регистров", "заголовок архивной записи", or ""
// for a function the program does not speak.
std::string ModbusFunctionName(std::uint8_t function);

// One frame as the traffic monitor lists it, column by column (UTF-8).
struct TFrameColumns {
    std::string Time;      // local time "чч:мм:сс.ммм"
    std::string Direction; // "запрос" or "ответ"
    std::string Bytes;     // "01 03 00 00 00 20 44 12"
    std::string Address;
    std::string Function; // "3 чтение регистров", "3 чтение регистров: исключение"
    std::string Registers; // "0-31"; "запись 512" for function 67
    std::string Count;
    std::string Result; // an answer: the attempt's result; a repeated request: its attempt
};
TFrameColumns FrameColumns(const TFrameEvent& frame);
// The column titles, and a frame as one line of text: the columns joined by
// tabs, without a line end.
const TFrameColumns& FrameColumnTitles();
std::string FrameLine(const TFrameColumns& columns);

} // namespace virs
