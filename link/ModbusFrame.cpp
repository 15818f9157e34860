#include "link/ModbusFrame.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace virs {

const char* const ExchangeResultText[ExchangeResultTextCount] = {
    "Завершено успешно",
    "Принятый код функции не может быть обработан на подчиненном",
    "Адрес данных указанный в запросе не доступен данному подчиненному",
    "Величина содержащаяся в поле данных запроса является не допустимой величиной для "
    "подчиненного",
    "Невосстанавливаемая ошибка имела место пока подчиненный пытался выполнить затребованное "
    "действие",
    "Подчиненный принял запрос и обрабатывает его, но это требует много времени",
    "Подчиненный занят обработкой команды",
    "Подчиненный не может выполнить программную функцию, принятую в запросе",
    "Подчиненный пытается читать расширенную память, но обнаружил ошибку паритета",
    "Отвечает прибор с другим адресом",
    "Неверная контрольная сумма",
    "Потеряны данные",
    "Превышен тайм-аут ожидания ответа",
    "Прервано пользователем",
    "Кол-во попыток запросов или длина пакета равны 0",
    "В процессе...",
    "Удалённый прибор не отвечает",
    "Ошибка при обмене с удалённым прибором",
    "Неподдерживаемая команда ModBus",
    "Запись запрещена",
    "Архив повреждён",
    "Архивная запись повреждена",
};

std::string ExchangeResultMessage(std::uint8_t code) {
    if (code < ExchangeResultTextCount)
        return ExchangeResultText[code];
    return "Прибор сообщил неизвестный код ошибки " + std::to_string(code);
}

std::uint16_t ModbusCrc(const std::uint8_t* data, std::size_t count) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

std::string HexDump(const std::uint8_t* data, std::size_t count) {
    static const char Digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 5 + 16);
    for (std::size_t i = 0; i < count; ++i) {
        text += "0x";
        text += Digits[data[i] >> 4];
        text += Digits[data[i] & 0x0F];
        text += ' ';
    }
    text += '(';
    text += std::to_string(count);
    text += " байт)";
    return text;
}

void SwapCopyWords(const std::uint8_t* source, std::uint8_t* destination, std::size_t byteCount) {
    for (std::size_t i = 0; i + 1 < byteCount; i += 2) {
        std::uint8_t high = source[i]; // read both first: source and destination may be one buffer
        std::uint8_t low = source[i + 1];
        destination[i] = low;
        destination[i + 1] = high;
    }
}

namespace {

void PutCrc(std::uint8_t* frame, std::size_t length) {
    std::uint16_t crc = ModbusCrc(frame, length);
    frame[length] = static_cast<std::uint8_t>(crc & 0xFF);
    frame[length + 1] = static_cast<std::uint8_t>(crc >> 8);
}

} // namespace

TModbusRequest BuildModbusRequest(std::uint8_t slave, std::uint8_t function, std::uint16_t start,
                                  std::uint16_t count, const std::uint8_t* data) {
    TModbusRequest r;
    r.Bytes[0] = slave;
    r.Bytes[1] = function;
    r.Bytes[2] = static_cast<std::uint8_t>(start >> 8);
    r.Bytes[3] = static_cast<std::uint8_t>(start & 0xFF);
    r.Bytes[4] = static_cast<std::uint8_t>(count >> 8);
    r.Bytes[5] = static_cast<std::uint8_t>(count & 0xFF);
    if (function == FunctionWriteRegisters) {
        std::size_t bytes = std::min<std::size_t>(2u * count, ModbusFrameSize - 9);
        r.Bytes[6] = static_cast<std::uint8_t>(bytes);
        SwapCopyWords(data, r.Bytes + 7, bytes);
        PutCrc(r.Bytes, bytes + 7);
        r.Length = bytes + 9;
        r.ExpectedAnswerLength = 8;
    } else {
        PutCrc(r.Bytes, 6);
        r.Length = 8;
        r.ExpectedAnswerLength = function == FunctionReadRecordHeader ? 7 : 2u * count + 5;
    }
    return r;
}

std::size_t CleanModbusAnswer(const std::uint8_t* buffer, std::size_t& count,
                              std::size_t expectedLength) {
    std::size_t first = 0;
    while (count > 0 && buffer[first] == 0) {
        ++first;
        --count;
    }
    while (count > expectedLength && buffer[first + count - 1] == 0)
        --count;
    return first;
}

TExchangeResult ValidateModbusAnswer(const std::uint8_t* answer, std::size_t count,
                                     std::uint8_t slave, std::size_t expectedLength) {
    if (count == 0)
        return ResultTimeout;
    if (count < 3)
        return ResultBadCrc;
    std::uint16_t crc = ModbusCrc(answer, count - 2);
    if (answer[count - 2] != (crc & 0xFF) || answer[count - 1] != (crc >> 8))
        return ResultBadCrc;
    if (answer[0] != slave)
        return ResultOtherAddress;
    if (answer[1] & 0x80) {
        // Code 0 is no exception at all; taking it as the result would report a
        // failed request as success.
        if (count != 5 || answer[2] == 0)
            return ResultLostData;
        return static_cast<TExchangeResult>(answer[2]);
    }
    if (count != expectedLength)
        return ResultLostData;
    return ResultSuccess;
}

} // namespace virs
