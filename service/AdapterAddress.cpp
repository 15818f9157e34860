#include "service/AdapterAddress.h"

#include "link/ModbusExchange.h"

namespace virs {

namespace {

constexpr std::uint8_t AdapterRegister = 20;

void AppendCrc(std::vector<std::uint8_t>& frame) {
    const std::uint16_t crc = ModbusCrc(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
}

} // namespace

TServiceMessage AdapterMessage(TAdapterResult result) {
    switch (result) {
    case TAdapterResult::PortFailed:
        return {TServiceIcon::Error, "Ошибка", "Не удалось открыть порт"};
    case TAdapterResult::Silent:
        return {TServiceIcon::Error, "Ошибка", "Устройство не отвечает"};
    case TAdapterResult::BadCrc:
        return {TServiceIcon::Error, "Ошибка", "Неверная контрольная сумма. Попробуйте повторить"};
    case TAdapterResult::Assigned:
        return {TServiceIcon::Information, "Успешно", "Устройству назначен новый адрес"};
    case TAdapterResult::OtherAnswer:
        break;
    }
    return {TServiceIcon::Error, "Ошибка", "Не удалось. Попробуйте повторить"};
}

std::vector<std::uint8_t> AdapterAssignmentFrame(std::uint8_t n) {
    std::vector<std::uint8_t> frame = {0x00, 0x10, 0x00, AdapterRegister, 0x00, 0x01,
                                       0x02, n,    0x02};
    AppendCrc(frame);
    return frame;
}

std::vector<std::uint8_t> AdapterCheckFrame(std::uint8_t n) {
    std::vector<std::uint8_t> frame = {n, 0x03, 0x00, AdapterRegister, 0x00, 0x01};
    AppendCrc(frame);
    return frame;
}

TAdapterResult JudgeAdapterAnswer(const std::uint8_t* answer, std::size_t count, std::uint8_t n) {
    if (count == 0)
        return TAdapterResult::Silent;
    // One or two bytes leave nothing to check the CRC over.
    if (count < 3)
        return TAdapterResult::BadCrc;
    const std::uint16_t crc = ModbusCrc(answer, count - 2);
    if (answer[count - 2] != (crc & 0xFF) || answer[count - 1] != (crc >> 8))
        return TAdapterResult::BadCrc;
    return answer[0] == n ? TAdapterResult::Assigned : TAdapterResult::OtherAnswer;
}

TAdapterResult RunAdapterAssignment(const std::string& portName, const TServicePortOpener& open,
                                    TLineSettings& line, std::uint8_t n) {
    TPortOpenResult opened = open(portName);
    if (!opened.Port)
        return TAdapterResult::PortFailed;
    TSerialPort& port = *opened.Port;
    port.SetQueues(256, 32);
    port.GetLineSettings(line);
    line.BaudRate = 9600;
    line.ByteSize = 8;
    line.Parity = 0;
    line.StopBits = 0;
    line.Flags = 0;
    port.SetLineSettings(line);
    port.SetTimeouts({50, 0, 1000});

    port.Purge(PurgeTxClear | PurgeRxClear);
    const std::vector<std::uint8_t> assignment = AdapterAssignmentFrame(n);
    port.Write(assignment.data(), assignment.size());
    // Nobody answers a broadcast; the adapter needs the time to take the pair.
    port.Sleep(1000);

    port.Purge(PurgeTxClear | PurgeRxClear);
    const std::vector<std::uint8_t> check = AdapterCheckFrame(n);
    port.Write(check.data(), check.size());
    std::uint8_t answer[256];
    const TPortIo io = port.Read(answer, sizeof answer);
    const TAdapterResult result = JudgeAdapterAnswer(answer, io.Ok ? io.Count : 0, n);
    port.Close();
    return result;
}

} // namespace virs
