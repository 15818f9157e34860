#include "link/FrameDecoding.h"

#include <cstdio>
#include <ctime>

#include "link/ModbusFrame.h"

namespace virs {

namespace {

std::uint16_t Word(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

bool CrcHolds(const std::uint8_t* frame, std::size_t length) {
    if (length < 3)
        return false;
    const std::uint16_t crc = ModbusCrc(frame, length - 2);
    return frame[length - 2] == (crc & 0xFF) && frame[length - 1] == (crc >> 8);
}

} // namespace

TFrameDecoding DecodeModbusFrame(const std::uint8_t* bytes, std::size_t length,
                                 TFrameDirection direction, const TFrameRequest& request) {
    TFrameDecoding d;
    std::size_t count = length;
    if (direction == TFrameDirection::In)
        d.Offset = CleanModbusAnswer(bytes, count, request.ExpectedLength);
    d.Length = count;
    const std::uint8_t* f = bytes + d.Offset;
    if (count == 0)
        return d;
    d.HasAddress = true;
    d.Address = f[0];
    d.CrcOk = CrcHolds(f, count);
    if (count < 2)
        return d;
    d.HasFunction = true;
    d.Exception = (f[1] & 0x80) != 0;
    d.Function = static_cast<std::uint8_t>(f[1] & 0x7F);
    if (d.Exception) {
        if (count >= 3) {
            d.HasExceptionCode = true;
            d.ExceptionCode = f[2];
        }
        return d;
    }

    if (direction == TFrameDirection::Out) {
        // Every request the program sends names its first register and count.
        if (count >= 6 &&
            (d.Function == FunctionReadRegisters || d.Function == FunctionWriteRegisters ||
             d.Function == FunctionReadRecordHeader)) {
            d.HasStart = d.HasCount = true;
            d.Start = Word(f + 2);
            d.Count = d.Function == FunctionReadRecordHeader ? 1 : Word(f + 4);
        }
        return d;
    }

    switch (d.Function) {
    case FunctionReadRegisters:
        // The answer counts bytes; where they start only the request says.
        if (count >= 3) {
            d.HasStart = request.Function == FunctionReadRegisters;
            d.Start = d.HasStart ? request.Start : 0;
            d.HasCount = true;
            d.Count = static_cast<std::uint16_t>(f[2] / 2);
        }
        break;
    case FunctionWriteRegisters:
        if (count >= 6) {
            d.HasStart = d.HasCount = true;
            d.Start = Word(f + 2);
            d.Count = Word(f + 4);
        }
        break;
    case FunctionReadRecordHeader:
        if (request.Function == FunctionReadRecordHeader) {
            d.HasStart = d.HasCount = true;
            d.Start = request.Start;
            d.Count = 1;
        }
        break;
    default:
        break;
    }
    return d;
}

std::string ModbusFunctionName(std::uint8_t function) {
    switch (function) {
    case FunctionReadRegisters:
        return "чтение регистров";
    case FunctionWriteRegisters:
        return "запись регистров";
    case FunctionReadRecordHeader:
        return "заголовок архивной записи";
    default:
        return {};
    }
}

TFrameColumns FrameColumns(const TFrameEvent& frame) {
    TFrameColumns c;
    const std::time_t seconds = static_cast<std::time_t>(frame.TimeMs / 1000);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char time[32];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(frame.TimeMs % 1000));
    c.Time = time;
    const bool in = frame.Direction == TFrameDirection::In;
    c.Direction = in ? "ответ" : "запрос";

    static const char Digits[] = "0123456789ABCDEF";
    c.Bytes.reserve(frame.Length * 3u);
    for (std::size_t i = 0; i < frame.Length; ++i) {
        if (i > 0)
            c.Bytes += ' ';
        c.Bytes += Digits[frame.Bytes[i] >> 4];
        c.Bytes += Digits[frame.Bytes[i] & 0x0F];
    }

    const TFrameDecoding d =
        DecodeModbusFrame(frame.Bytes, frame.Length, frame.Direction, frame.Request);
    if (d.HasAddress)
        c.Address = std::to_string(d.Address);
    if (d.HasFunction) {
        c.Function = std::to_string(d.Function);
        const std::string name = ModbusFunctionName(d.Function);
        if (!name.empty())
            c.Function += " " + name;
        if (d.Exception)
            c.Function += ": исключение";
    }
    if (d.HasStart) {
        if (d.Function == FunctionReadRecordHeader)
            c.Registers = "запись " + std::to_string(d.Start);
        else if (d.HasCount && d.Count > 1)
            c.Registers = std::to_string(d.Start) + "-" + std::to_string(d.Start + d.Count - 1);
        else
            c.Registers = std::to_string(d.Start);
    }
    if (d.HasCount)
        c.Count = std::to_string(d.Count);
    if (in)
        c.Result = ExchangeResultMessage(frame.Result);
    else if (frame.Attempt > 1)
        c.Result = "попытка " + std::to_string(frame.Attempt);
    return c;
}

const TFrameColumns& FrameColumnTitles() {
    static const TFrameColumns Titles{"Время",   "Направление", "Байты",  "Адрес",
                                      "Функция", "Регистры",    "Кол-во", "Результат"};
    return Titles;
}

std::string FrameLine(const TFrameColumns& c) {
    std::string line;
    for (const std::string* part : {&c.Time, &c.Direction, &c.Bytes, &c.Address, &c.Function,
                                    &c.Registers, &c.Count, &c.Result}) {
        if (!line.empty() || part != &c.Time)
            line += '\t';
        line += *part;
    }
    return line;
}

} // namespace virs
