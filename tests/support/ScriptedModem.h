#pragma once
// A scripted Hayes modem on a scripted line: the test answers each command
// with a list of reads (an empty string is a read that brings nothing). The
// modem understands only its own line settings (none given: any), takes the
// speed of "AT+IPR=" after its answer, keeps what it has sent across a purge,
// and gives one answer element per read.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/ScriptedPort.h"

namespace virs::test {

class TScriptedModem final : public TScriptedLine {
public:
    TScriptedModem() {
        StreamReads = false;
        PurgeClearsInput = false;
        Peer = [this](const Bytes& written, const TLineSettings& line) {
            std::vector<Bytes> reads;
            const std::string command = Text(written);
            const bool understood =
                ModemBaud == 0 || (line.BaudRate == ModemBaud && line.Parity == ModemParity &&
                                   line.StopBits == ModemStop);
            if (!understood)
                return reads;
            if (Answer)
                for (const std::string& read : Answer(command))
                    reads.push_back(Of(read));
            if (command.rfind("AT+IPR=", 0) == 0 && ModemBaud != 0)
                ModemBaud = static_cast<std::uint32_t>(std::stoul(command.substr(7)));
            return reads;
        };
    }
    TScriptedModem(const TScriptedModem&) = delete;
    TScriptedModem& operator=(const TScriptedModem&) = delete;

    // The modem's answer to one command line, as the reads that bring it.
    std::function<std::vector<std::string>(const std::string& command)> Answer;
    std::uint32_t ModemBaud = 0; // 0: understands any line settings
    std::uint8_t ModemParity = 0, ModemStop = 0;
};

} // namespace virs::test
