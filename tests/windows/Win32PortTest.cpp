// The Win32 port layer on a real COM port with a meter behind it (virs-sim
// under Wine, see scripts/wine-tests.sh, which names the port in
// VIRS_TEST_COM). Without a port named the tests are skipped.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "link/ModbusFrame.h"
#include "link/SerialPort.h"

namespace virs {
namespace {

using Clock = std::chrono::steady_clock;

unsigned TestCom() {
    const char* com = std::getenv("VIRS_TEST_COM");
    return com ? static_cast<unsigned>(std::atoi(com)) : 0;
}

class Win32Port : public ::testing::Test {
protected:
    void SetUp() override {
        Com = TestCom();
        if (Com == 0)
            GTEST_SKIP() << "VIRS_TEST_COM names no port";
        TPortOpenResult r = OpenComPort(Com);
        ASSERT_TRUE(r.Port) << r.Error;
        Port = std::move(r.Port);
        TLineSettings line;
        ASSERT_TRUE(Port->SetQueues(256, 32));
        ASSERT_TRUE(Port->GetLineSettings(line));
        line.BaudRate = 115200;
        line.Parity = 0;
        line.StopBits = 0;
        ASSERT_TRUE(Port->SetLineSettings(line));
    }

    // Function 3, one register of the ВИРС-Ш at address 1: 01 03 00 00 00 01 84 0A.
    void SendRead() {
        const std::uint8_t request[] = {1, 3, 0, 0, 0, 1, 0x84, 0x0A};
        ASSERT_TRUE(Port->Purge(PurgeTxClear | PurgeRxClear));
        TPortIo w = Port->Write(request, sizeof request);
        ASSERT_TRUE(w.Ok);
        ASSERT_EQ(w.Count, sizeof request);
    }

    unsigned Com = 0;
    std::unique_ptr<TSerialPort> Port;
};

TEST_F(Win32Port, CloseReleasesThePort) {
    // A second open while the port is open is refused by Windows' serial
    // driver; Wine does not enforce sharing on devices, so it is not checked.
    ASSERT_TRUE(Port->Close());
    EXPECT_FALSE(Port->Close()); // closed once only
    TPortOpenResult again = OpenComPort(Com);
    EXPECT_TRUE(again.Port) << again.Error;
}

TEST_F(Win32Port, LineSettingsComeBackFromThePort) {
    // Speed and stop bits survive a pseudo-terminal; its driver clears the
    // parity enable bit, so parity is not checked here.
    for (auto [baud, stop] :
         {std::pair<std::uint32_t, std::uint8_t>{1200, 0}, {19200, 2}, {115200, 0}}) {
        TLineSettings line;
        ASSERT_TRUE(Port->GetLineSettings(line));
        line.BaudRate = baud;
        line.StopBits = stop;
        ASSERT_TRUE(Port->SetLineSettings(line));
        TLineSettings back;
        ASSERT_TRUE(Port->GetLineSettings(back));
        EXPECT_EQ(back.BaudRate, baud);
        EXPECT_EQ(back.StopBits, stop);
        EXPECT_EQ(back.ByteSize, 8);
    }
}

TEST_F(Win32Port, ReadEndsWhenTheBufferIsFull) {
    // The answer is 7 bytes; a 3-byte read returns at once with 3, the next
    // one brings the other 4 after the interval time-out.
    ASSERT_TRUE(Port->SetTimeouts({50, 0, 1000}));
    SendRead();
    std::uint8_t answer[16] = {};
    const auto start = Clock::now();
    TPortIo first = Port->Read(answer, 3);
    const auto firstMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    ASSERT_TRUE(first.Ok);
    ASSERT_EQ(first.Count, 3u);
    EXPECT_LT(firstMs, 45) << "a full buffer waited for the interval time-out";
    TPortIo rest = Port->Read(answer + 3, sizeof answer - 3);
    ASSERT_TRUE(rest.Ok);
    ASSERT_EQ(rest.Count, 4u);
    EXPECT_EQ(answer[0], 1);
    EXPECT_EQ(answer[1], 3);
    EXPECT_EQ(answer[2], 2);
    const std::uint16_t crc = ModbusCrc(answer, 5);
    EXPECT_EQ(answer[5], crc & 0xFF);
    EXPECT_EQ(answer[6], crc >> 8);
}

TEST_F(Win32Port, TotalTimeoutEndsASilentRead) {
    for (std::uint32_t total : {100u, 300u}) {
        ASSERT_TRUE(Port->SetTimeouts({50, 0, total}));
        std::uint8_t buffer[256];
        const auto start = Clock::now();
        TPortIo r = Port->Read(buffer, sizeof buffer);
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        EXPECT_TRUE(r.Ok);
        EXPECT_EQ(r.Count, 0u);
        EXPECT_GE(ms, static_cast<long long>(total) - 2);
        EXPECT_LT(ms, static_cast<long long>(total) + 200);
    }
}

TEST_F(Win32Port, CancelEndsAReadWithoutTimeouts) {
    // No time-outs at all: the read would wait for ever on a silent line.
    ASSERT_TRUE(Port->SetTimeouts({0, 0, 0}));
    std::uint8_t buffer[16];
    TPortIo r{true, 99};
    std::thread reader([&] { r = Port->Read(buffer, sizeof buffer); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto start = Clock::now();
    Port->CancelIo();
    reader.join();
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Count, 0u);
    EXPECT_LT(ms, 1000);
    // The cancel is used up by the read it ended: the port works on (the
    // hang-up after a stopped job needs it).
    ASSERT_TRUE(Port->SetTimeouts({0, 0, 100}));
    EXPECT_TRUE(Port->Read(buffer, sizeof buffer).Ok);
    // A cancel while no call runs ends the next call, and only that one.
    Port->CancelIo();
    EXPECT_FALSE(Port->Read(buffer, sizeof buffer).Ok);
    EXPECT_TRUE(Port->Read(buffer, sizeof buffer).Ok);
    // A cancel nobody used up is dropped by ClearCancel.
    Port->CancelIo();
    Port->ClearCancel();
    EXPECT_TRUE(Port->Read(buffer, sizeof buffer).Ok);
}

} // namespace
} // namespace virs
