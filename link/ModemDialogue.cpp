#include "link/ModemDialogue.h"

#include <cmath>

#include "model/TextCodec.h"

namespace virs {

TModemReply TakeModemReply(const std::uint8_t* raw, std::size_t count) {
    TModemReply r;
    r.Count = count;
    r.First = count > 0 ? raw[0] : 0;
    std::string text;
    for (std::size_t i = 0; i < count && i < ModemReplySize; ++i)
        if (raw[i] > 15)
            text.push_back(static_cast<char>(raw[i]));
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "OK") == 0) {
        text.resize(text.size() - 2);
        r.Ok = true;
    }
    r.Text = Cp1251ToUtf8(text);
    return r;
}

bool ModemWrite(TSerialPort& port, std::string_view command) {
    const TPortIo io =
        port.Write(reinterpret_cast<const std::uint8_t*>(command.data()), command.size());
    return io.Ok && io.Count == command.size();
}

TModemReply ModemRead(TSerialPort& port) {
    std::uint8_t buffer[ModemReplySize];
    const TPortIo io = port.Read(buffer, sizeof buffer);
    TModemReply reply = TakeModemReply(buffer, io.Ok ? io.Count : 0);
    reply.PortFailed = !io.Ok;
    return reply;
}

TModemReply ModemCommand(TSerialPort& port, std::string_view command) {
    ModemWrite(port, command);
    return ModemRead(port);
}

std::string CharacterFormatCommand(std::uint8_t parityIndex, std::uint8_t stopBitsIndex) {
    if (stopBitsIndex != 0)
        return "AT+ICF=1,0";
    switch (parityIndex) {
    case 1:
        return "AT+ICF=2,0";
    case 2:
        return "AT+ICF=2,1";
    default:
        return "AT+ICF=3,0";
    }
}

int SearchPercent(int r, int p, int s) {
    // Round to the nearest, halves to even, then the share of 99 as a whole percent.
    const double weight = std::nearbyint(50.0 * r + 16.66 * p + 2.38 * s);
    return static_cast<int>(weight / 99.0 * 100.0);
}

} // namespace virs
