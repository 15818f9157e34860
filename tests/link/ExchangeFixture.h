#pragma once
// An exchange worker connected through a pseudo-terminal to a slave device of
// the test, with a main thread played by the test itself.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "link/ExchangeWorker.h"
#include "link/ModbusExchange.h"
#include "model/TextCodec.h"
#include "tests/link/PtyPair.h"

namespace virs::test {

// Appends the CRC, low byte first.
inline Bytes Frame(Bytes body) {
    std::uint16_t crc = ModbusCrc(body.data(), body.size());
    body.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    body.push_back(static_cast<std::uint8_t>(crc >> 8));
    return body;
}

inline std::uint16_t RequestStart(const Bytes& r) {
    return static_cast<std::uint16_t>(r[2] << 8 | r[3]);
}
inline std::uint16_t RequestCount(const Bytes& r) {
    return static_cast<std::uint16_t>(r[4] << 8 | r[5]);
}

// The register contents of the test device: every register tells its number.
inline std::uint16_t DeviceRegister(std::uint16_t r) {
    return static_cast<std::uint16_t>(r * 3 + 0x0101);
}

// A correct function-3 answer with the device's registers.
inline Bytes ReadAnswer(const Bytes& request) {
    Bytes body{request[0], 3, static_cast<std::uint8_t>(2 * RequestCount(request))};
    for (std::uint16_t i = 0; i < RequestCount(request); ++i) {
        std::uint16_t v = DeviceRegister(static_cast<std::uint16_t>(RequestStart(request) + i));
        body.push_back(static_cast<std::uint8_t>(v >> 8));
        body.push_back(static_cast<std::uint8_t>(v & 0xFF));
    }
    return Frame(body);
}

class ExchangeFixture : public ::testing::Test {
protected:
    void SetUp() override {
        TPortOpenResult r = OpenSerialPort(Pty.SlavePath);
        ASSERT_TRUE(r.Port) << r.Error;
        Port = std::move(r.Port);
        TLineSettings line;
        ASSERT_TRUE(Port->GetLineSettings(line));
        line.BaudRate = 115200;
        ASSERT_TRUE(Port->SetLineSettings(line));
        SetReplyTimeout(300);
        LogPath = Dir.Path / ProtocolLogFileName;
        ASSERT_TRUE(Log.Create(LogPath));
    }

    void SetReplyTimeout(std::uint32_t ms) { ASSERT_TRUE(Port->SetTimeouts({50, 0, ms})); }

    // The default completion handler parks the worker: one job, then idle.
    void StartWorker(TCompletionHandler handler = {}) {
        if (!handler)
            handler = [](ExchangeWorker& w) { w.Park(); };
        Worker = std::make_unique<ExchangeWorker>(X, *Port, Log, Main,
                                                  [this, handler](ExchangeWorker& w) {
                                                      ++Completions;
                                                      handler(w);
                                                  });
    }

    void Job(std::uint8_t function, std::uint16_t start, std::uint16_t count,
             std::uint8_t retries = 1, std::uint8_t chunk = 32, std::uint8_t slave = 1) {
        X.SlaveAddress = slave;
        X.FunctionCode = function;
        X.StartRegister = start;
        X.RegisterCount = count;
        X.RetryCount = retries;
        X.MaxRegistersPerRequest = chunk;
        X.AbortRequested = false;
        X.JobFinished = false;
        X.ResultCode = static_cast<TExchangeResult>(0xEE); // not a value any job leaves
        Data.assign(2u * count + 16, 0xEE);
        X.DataCursor = Data.data();
    }

    // Wakes the worker and plays the main thread until the job sequence has
    // parked it again.
    void Run() {
        if (!Worker)
            StartWorker();
        int before = Completions;
        Worker->Wake();
        ASSERT_TRUE(Main.RunUntil([&] { return Completions > before && Worker->IsParked(); },
                                  std::chrono::seconds(20)));
    }

    std::uint16_t Register(std::size_t i) const {
        std::uint16_t v;
        std::memcpy(&v, Data.data() + 2 * i, 2);
        return v;
    }

    std::string LogBytes() const {
        std::ifstream in(LogPath, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // The log's lines in UTF-8 (the file is Windows-1251 with CR LF).
    std::vector<std::string> LogLines() const {
        std::string text = Cp1251ToUtf8(LogBytes());
        std::vector<std::string> lines;
        std::size_t at = 0;
        for (std::size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
            lines.push_back(text.substr(at, end - at));
        EXPECT_EQ(at, text.size()) << "a line without CR LF";
        return lines;
    }

    TPty Pty;
    TTempDir Dir;
    std::filesystem::path LogPath;
    std::unique_ptr<TSerialPort> Port;
    TProtocolLog Log;
    TMainThreadQueue Main;
    TModbusExchange X;
    Bytes Data;
    int Completions = 0;
    std::unique_ptr<ExchangeWorker> Worker; // last: ends before what it uses
};

} // namespace virs::test
