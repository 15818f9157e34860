#pragma once
// The line of the service utilities: the scripted line of tests/support, whose
// record keeps everything the utility does to the port in order (line
// settings, time-outs, purges, writes, sleeps) and whose far end, a peer
// function of the test, answers each write seeing the line settings in force
// at that moment.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/SerialPort.h"
#include "service/ServicePort.h"
#include "tests/support/ScriptedPort.h"

namespace virs::test {

using TLineRecord = TScriptedLine;

// The peer's answer to one write; an empty answer reads as silence.
using TPeer = std::function<Bytes(const Bytes& written, const TLineSettings& line)>;

// An opener that hands out the scripted line on the name "COM7" and fails
// otherwise. Each open is a freshly opened port: nothing waiting to be read, the
// speed a new port reports (38400), reads and writes failing once it has been
// closed.
inline TServicePortOpener FakeOpener(TLineRecord& record, TPeer peer) {
    return [&record, peer](const std::string& name) {
        TPortOpenResult r;
        if (name != "COM7") {
            r.Error = "no such port";
            return r;
        }
        ++record.Opens;
        record.Peer = [peer](const Bytes& written, const TLineSettings& line) {
            Bytes answer = peer(written, line);
            return answer.empty() ? std::vector<Bytes>{} : std::vector<Bytes>{std::move(answer)};
        };
        record.StreamReads = true;
        record.PurgeClearsInput = true;
        record.FailWhenClosed = true;
        record.Pending.clear();
        record.Line = TLineSettings{};
        record.Line.BaudRate = 38400;
        r.Port = std::make_unique<TScriptedPort>(record);
        return r;
    };
}

} // namespace virs::test
