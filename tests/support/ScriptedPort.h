#pragma once
// Port doubles of the tests: a scripted line whose far end is a function of
// the test, and a port that forwards to another one so that a test can spoil
// one of its calls.
//
// TScriptedLine is the far end and the record of what the code under test did
// to the port (line settings, time-outs, purges, writes, sleeps, the close, in
// order). It belongs to the test and outlives every TScriptedPort opened on it,
// so the test can look at it after the code has released its port.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "link/SerialPort.h"

namespace virs::test {

using Bytes = std::vector<std::uint8_t>;

inline std::string Text(const Bytes& b) {
    return std::string(b.begin(), b.end());
}
inline Bytes Of(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

struct TScriptedLine {
    // The far end: what it sends back to one write, given the line settings in
    // force. Each element is what one read returns when reads are not a
    // stream (an empty element: a read that brings nothing).
    using TPeer = std::function<std::vector<Bytes>(const Bytes& written, const TLineSettings&)>;
    TPeer Peer;

    // A read takes whatever has come, across answers, up to its size (a byte
    // stream); otherwise one element of an answer per read.
    bool StreamReads = true;
    // A purge drops what has come and not been read.
    bool PurgeClearsInput = true;
    // What Close reports.
    bool CloseOk = true;
    // Reads and writes report failure once the port is closed.
    bool FailWhenClosed = false;
    // Sleep really sleeps (it is only recorded otherwise).
    bool RealSleeps = false;

    TLineSettings Line{9600, 8, 0, 0, 0}; // what GetLineSettings reports

    // The record, in order: "set 4800/0/0", "timeouts 20/0/500", "purge 12",
    // "write N", "sleep 1000", "close".
    std::vector<std::string> Events;
    std::vector<std::pair<Bytes, TLineSettings>> Writes; // each with the settings it went at
    std::vector<TPortTimeouts> TimeoutsSet;
    std::vector<std::uint32_t> Sleeps;
    bool Closed = false;
    int Opens = 0;
    std::deque<Bytes> Pending; // sent by the far end, not read yet

    // The far end answers each write with one answer (none when it is empty).
    void AnswerWith(std::function<Bytes(const Bytes&)> answer) {
        Peer = [answer = std::move(answer)](const Bytes& written, const TLineSettings&) {
            Bytes a = answer(written);
            return a.empty() ? std::vector<Bytes>{} : std::vector<Bytes>{std::move(a)};
        };
    }
    // The writes as text (modem commands).
    std::vector<std::string> Written() const {
        std::vector<std::string> w;
        for (const auto& [bytes, line] : Writes)
            w.push_back(Text(bytes));
        return w;
    }
};

class TScriptedPort final : public TSerialPort {
public:
    explicit TScriptedPort(TScriptedLine& line) : L(line) {}

    bool SetQueues(std::uint32_t, std::uint32_t) override { return true; }
    bool GetLineSettings(TLineSettings& s) override {
        s.BaudRate = L.Line.BaudRate;
        s.ByteSize = L.Line.ByteSize;
        s.Parity = L.Line.Parity;
        s.StopBits = L.Line.StopBits;
        return true;
    }
    bool SetLineSettings(const TLineSettings& s) override {
        L.Line = s;
        L.Events.push_back("set " + std::to_string(s.BaudRate) + "/" + std::to_string(s.Parity) +
                           "/" + std::to_string(s.StopBits));
        return true;
    }
    bool SetTimeouts(const TPortTimeouts& t) override {
        L.TimeoutsSet.push_back(t);
        L.Events.push_back("timeouts " + std::to_string(t.ReadInterval) + "/" +
                           std::to_string(t.ReadMultiplier) + "/" + std::to_string(t.ReadConstant));
        return true;
    }
    bool Purge(std::uint32_t flags) override {
        L.Events.push_back("purge " + std::to_string(flags));
        if (L.PurgeClearsInput)
            L.Pending.clear();
        return true;
    }
    TPortIo Write(const std::uint8_t* data, std::size_t size) override {
        const Bytes written(data, data + size);
        L.Writes.emplace_back(written, L.Line);
        L.Events.push_back("write " + std::to_string(size));
        if (L.Peer)
            for (Bytes& read : L.Peer(written, L.Line))
                L.Pending.push_back(std::move(read));
        return {Usable(), size};
    }
    TPortIo Read(std::uint8_t* buffer, std::size_t size) override {
        std::size_t n = 0;
        if (L.StreamReads) {
            while (n < size && !L.Pending.empty()) {
                Bytes& front = L.Pending.front();
                const std::size_t take = std::min(size - n, front.size());
                if (take > 0)
                    std::memcpy(buffer + n, front.data(), take);
                n += take;
                front.erase(front.begin(), front.begin() + static_cast<std::ptrdiff_t>(take));
                if (front.empty())
                    L.Pending.pop_front();
            }
        } else if (!L.Pending.empty()) {
            const Bytes read = std::move(L.Pending.front());
            L.Pending.pop_front();
            n = std::min(size, read.size());
            if (n > 0) // an empty answer has no bytes to copy (and no data pointer)
                std::memcpy(buffer, read.data(), n);
        }
        return {Usable(), n};
    }
    bool Close() override {
        L.Events.push_back("close");
        L.Closed = L.CloseOk;
        return L.CloseOk;
    }
    void Sleep(std::uint32_t ms) override {
        L.Sleeps.push_back(ms);
        L.Events.push_back("sleep " + std::to_string(ms));
        if (L.RealSleeps)
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    void CancelIo() override {}

private:
    bool Usable() const { return !(L.FailWhenClosed && L.Closed); }
    TScriptedLine& L;
};

// Forwards every call to another port; a test overrides the call it spoils.
class TForwardingPort : public TSerialPort {
public:
    explicit TForwardingPort(TSerialPort& inner) : Inner(inner) {}
    bool SetQueues(std::uint32_t i, std::uint32_t o) override { return Inner.SetQueues(i, o); }
    bool GetLineSettings(TLineSettings& s) override { return Inner.GetLineSettings(s); }
    bool SetLineSettings(const TLineSettings& s) override { return Inner.SetLineSettings(s); }
    bool SetTimeouts(const TPortTimeouts& t) override { return Inner.SetTimeouts(t); }
    bool Purge(std::uint32_t f) override { return Inner.Purge(f); }
    TPortIo Write(const std::uint8_t* d, std::size_t n) override { return Inner.Write(d, n); }
    TPortIo Read(std::uint8_t* b, std::size_t n) override { return Inner.Read(b, n); }
    bool Close() override { return Inner.Close(); }
    void Sleep(std::uint32_t ms) override { Inner.Sleep(ms); }
    void CancelIo() override { Inner.CancelIo(); }
    void ClearCancel() override { Inner.ClearCancel(); }

private:
    TSerialPort& Inner;
};

// The same over a port it owns (one the code under test opened).
class TOwningForwardingPort : public TForwardingPort {
public:
    explicit TOwningForwardingPort(std::unique_ptr<TSerialPort> inner)
        : TForwardingPort(*inner), Owned(std::move(inner)) {}

private:
    std::unique_ptr<TSerialPort> Owned;
};

} // namespace virs::test
