#pragma once
// A port double for the service utilities: everything the utility does to the
// port is recorded in order (line settings, time-outs, purges, writes, sleeps),
// and a peer function of the test answers each write, seeing the line settings
// in force at that moment.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/SerialPort.h"
#include "service/ServicePort.h"

namespace virs::test {

using Bytes = std::vector<std::uint8_t>;

struct TLineRecord {
    std::vector<std::string>
        Events; // "set 4800/0/0", "timeouts 20/0/500", "purge 12", "write …", "sleep 1000", "close"
    std::vector<std::pair<Bytes, TLineSettings>> Writes; // each write with the settings it went at
    bool Closed = false;
    int Opens = 0;
};

// The peer's answer to one write; an empty answer reads as silence.
using TPeer = std::function<Bytes(const Bytes& written, const TLineSettings& line)>;

inline std::string Text(const Bytes& b) {
    return std::string(b.begin(), b.end());
}
inline Bytes Of(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

class TFakeLine : public ISerialPort {
public:
    TFakeLine(TLineRecord& record, TPeer peer) : Record(record), Peer(std::move(peer)) {
        Line.BaudRate = 38400; // what a freshly opened port reports
    }
    bool SetQueues(std::uint32_t, std::uint32_t) override { return true; }
    bool GetLineSettings(TLineSettings& s) override {
        s.BaudRate = Line.BaudRate;
        s.ByteSize = Line.ByteSize;
        s.Parity = Line.Parity;
        s.StopBits = Line.StopBits;
        return true;
    }
    bool SetLineSettings(const TLineSettings& s) override {
        Line = s;
        Record.Events.push_back("set " + std::to_string(s.BaudRate) + "/" +
                                std::to_string(s.Parity) + "/" + std::to_string(s.StopBits));
        return true;
    }
    bool SetTimeouts(const TPortTimeouts& t) override {
        Record.Events.push_back("timeouts " + std::to_string(t.ReadInterval) + "/" +
                                std::to_string(t.ReadMultiplier) + "/" +
                                std::to_string(t.ReadConstant));
        return true;
    }
    bool Purge(std::uint32_t flags) override {
        Record.Events.push_back("purge " + std::to_string(flags));
        Pending.clear();
        return true;
    }
    TPortIo Write(const std::uint8_t* data, std::size_t size) override {
        Bytes written(data, data + size);
        Record.Writes.emplace_back(written, Line);
        Record.Events.push_back("write " + std::to_string(size));
        const Bytes answer = Peer(written, Line);
        Pending.insert(Pending.end(), answer.begin(), answer.end());
        return {!Record.Closed, size};
    }
    TPortIo Read(std::uint8_t* buffer, std::size_t size) override {
        std::size_t n = 0;
        while (n < size && !Pending.empty()) {
            buffer[n++] = Pending.front();
            Pending.pop_front();
        }
        return {!Record.Closed, n};
    }
    bool Close() override {
        Record.Closed = true;
        Record.Events.push_back("close");
        return true;
    }
    void Sleep(std::uint32_t ms) override {
        Record.Events.push_back("sleep " + std::to_string(ms));
    }
    void CancelIo() override {}

private:
    TLineRecord& Record;
    TPeer Peer;
    TLineSettings Line;
    std::deque<std::uint8_t> Pending;
};

// An opener that hands out a fake line on the name "COM7" and fails otherwise.
inline TServicePortOpener FakeOpener(TLineRecord& record, TPeer peer) {
    return [&record, peer](const std::string& name) {
        TPortOpenResult r;
        if (name != "COM7") {
            r.Error = "no such port";
            return r;
        }
        ++record.Opens;
        r.Port = std::make_unique<TFakeLine>(record, peer);
        return r;
    };
}

} // namespace virs::test
