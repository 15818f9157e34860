// The POSIX port on pseudo-terminals: the read returns on a full buffer, on the
// gap after the first byte and on the total time-out, like a Windows port.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "link/PortNames.h"
#include "link/SerialPort.h"
#include "tests/link/PtyPair.h"

namespace virs {
namespace {

using namespace std::chrono;
using test::Bytes;
using test::TPty;

std::unique_ptr<TSerialPort> OpenPty(const TPty& pty, TPortTimeouts timeouts) {
    TPortOpenResult r = OpenSerialPort(pty.SlavePath);
    if (!r.Port)
        throw std::runtime_error(r.Error);
    TLineSettings line;
    EXPECT_TRUE(r.Port->GetLineSettings(line));
    line.BaudRate = 9600;
    EXPECT_TRUE(r.Port->SetLineSettings(line));
    EXPECT_TRUE(r.Port->SetTimeouts(timeouts));
    return std::move(r.Port);
}

long ElapsedMs(steady_clock::time_point since) {
    return static_cast<long>(duration_cast<milliseconds>(steady_clock::now() - since).count());
}

// Bursts sent by the far end with gaps between them, and the reads that the
// program sees.
struct TBurstCase {
    const char* Name;
    std::vector<int> GapsMs;        // before each burst after the first
    std::vector<std::size_t> Reads; // bytes returned by consecutive reads
};

class BurstReads : public ::testing::TestWithParam<TBurstCase> {};

TEST_P(BurstReads, GapAfterFirstByteEndsRead) {
    const TBurstCase& c = GetParam();
    TPty pty;
    auto port = OpenPty(pty, {50, 0, 1000});
    std::thread sender([&] {
        pty.Send(Bytes(5, 0x11));
        for (int gap : c.GapsMs) {
            std::this_thread::sleep_for(milliseconds(gap));
            pty.Send(Bytes(5, 0x22));
        }
    });
    std::vector<std::size_t> reads;
    for (std::size_t i = 0; i < c.Reads.size(); ++i) {
        std::uint8_t buffer[256];
        TPortIo io = port->Read(buffer, sizeof buffer);
        EXPECT_TRUE(io.Ok);
        reads.push_back(io.Count);
    }
    sender.join();
    EXPECT_EQ(reads, c.Reads);
}

INSTANTIATE_TEST_SUITE_P(
    Port, BurstReads,
    ::testing::Values(TBurstCase{"OneBurst", {}, {5}},
                      TBurstCase{"TwoBursts30msApartAreOneRead", {30}, {10}},
                      TBurstCase{"ThreeBursts30msApartAreOneRead", {30, 30}, {15}},
                      TBurstCase{"TwoBursts80msApartAreTwoReads", {80}, {5, 5}}),
    [](const ::testing::TestParamInfo<TBurstCase>& p) { return std::string(p.param.Name); });

TEST(Port, NothingComingEndsAtTotalTimeoutWithZeroBytes) {
    TPty pty;
    auto port = OpenPty(pty, {50, 0, 200});
    std::uint8_t buffer[256];
    auto start = steady_clock::now();
    TPortIo io = port->Read(buffer, sizeof buffer);
    long ms = ElapsedMs(start);
    EXPECT_TRUE(io.Ok);
    EXPECT_EQ(io.Count, 0u);
    EXPECT_GE(ms, 199);
    EXPECT_LT(ms, 400);
}

TEST(Port, TotalTimeoutCutsAStreamWithoutGaps) {
    TPty pty;
    auto port = OpenPty(pty, {50, 0, 150});
    std::atomic<bool> stop{false};
    std::thread sender([&] {
        while (!stop) {
            pty.Send(Bytes{0x55});
            std::this_thread::sleep_for(milliseconds(10));
        }
    });
    std::uint8_t buffer[256];
    auto start = steady_clock::now();
    TPortIo io = port->Read(buffer, sizeof buffer);
    long ms = ElapsedMs(start);
    stop = true;
    sender.join();
    EXPECT_TRUE(io.Ok);
    EXPECT_GT(io.Count, 3u);
    EXPECT_LT(io.Count, 30u);
    EXPECT_GE(ms, 149);
    EXPECT_LT(ms, 350);
}

TEST(Port, TotalTimeoutCountsMultiplierPerRequestedByte) {
    TPty pty;
    auto port = OpenPty(pty, {0, 10, 20}); // 10 * 10 + 20 = 120 ms for a 10-byte read
    std::uint8_t buffer[10];
    auto start = steady_clock::now();
    TPortIo io = port->Read(buffer, sizeof buffer);
    long ms = ElapsedMs(start);
    EXPECT_EQ(io.Count, 0u);
    EXPECT_GE(ms, 119);
    EXPECT_LT(ms, 320);
}

// The two Windows special settings of the interval time-out MAXDWORD.
TEST(Port, MaxIntervalSettingsReturnWithoutWaitingForAGap) {
    const std::uint32_t maxWord = 0xFFFFFFFFu;
    TPty pty;
    auto port = OpenPty(pty, {maxWord, 0, 0}); // what has come, at once
    std::uint8_t buffer[256];
    auto start = steady_clock::now();
    EXPECT_EQ(port->Read(buffer, sizeof buffer).Count, 0u);
    pty.Send(Bytes{1, 2, 3});
    std::this_thread::sleep_for(milliseconds(20));
    EXPECT_EQ(port->Read(buffer, sizeof buffer).Count, 3u);
    EXPECT_LT(ElapsedMs(start), 200);

    port->SetTimeouts({maxWord, maxWord, 300}); // the first bytes, or nothing after 300 ms
    std::thread sender([&] {
        std::this_thread::sleep_for(milliseconds(40));
        pty.Send(Bytes{4, 5});
    });
    start = steady_clock::now();
    TPortIo io = port->Read(buffer, sizeof buffer);
    long ms = ElapsedMs(start);
    sender.join();
    EXPECT_EQ(io.Count, 2u);
    EXPECT_GE(ms, 30);
    EXPECT_LT(ms, 250);
    start = steady_clock::now();
    EXPECT_EQ(port->Read(buffer, sizeof buffer).Count, 0u);
    EXPECT_GE(ElapsedMs(start), 299);
}

TEST(Port, FullBufferReturnsAtOnceAndLeavesTheRestQueued) {
    TPty pty;
    auto port = OpenPty(pty, {500, 0, 5000});
    pty.Send(Bytes{1, 2, 3, 4, 5, 6});
    std::this_thread::sleep_for(milliseconds(20));
    std::uint8_t buffer[4];
    auto start = steady_clock::now();
    TPortIo io = port->Read(buffer, sizeof buffer);
    EXPECT_LT(ElapsedMs(start), 100);
    ASSERT_EQ(io.Count, 4u);
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{1, 2, 3, 4}));
    port->SetTimeouts({20, 0, 100});
    io = port->Read(buffer, sizeof buffer);
    ASSERT_EQ(io.Count, 2u);
    EXPECT_EQ(Bytes(buffer, buffer + 2), (Bytes{5, 6}));
}

TEST(Port, PurgeDiscardsWhatHasArrived) {
    TPty pty;
    auto port = OpenPty(pty, {20, 0, 100});
    pty.Send(Bytes(40, 0x77));
    std::this_thread::sleep_for(milliseconds(30));
    EXPECT_TRUE(port->Purge(PurgeTxClear | PurgeRxClear));
    std::uint8_t buffer[256];
    TPortIo io = port->Read(buffer, sizeof buffer);
    EXPECT_TRUE(io.Ok);
    EXPECT_EQ(io.Count, 0u);
    // Purging with the abort bits as well (value 15) is accepted too.
    EXPECT_TRUE(port->Purge(15));
}

TEST(Port, WriteReachesTheFarEnd) {
    TPty pty;
    auto port = OpenPty(pty, {20, 0, 100});
    Bytes frame{0x01, 0x03, 0x00, 0x00, 0x00, 0x16, 0xC4, 0x04};
    TPortIo io = port->Write(frame.data(), frame.size());
    EXPECT_TRUE(io.Ok);
    EXPECT_EQ(io.Count, frame.size());
    EXPECT_EQ(pty.Receive(50), frame);
}

TEST(Port, LineSettingsComeBackAsApplied) {
    TPty pty;
    TPortOpenResult r = OpenSerialPort(pty.SlavePath);
    ASSERT_TRUE(r.Port) << r.Error;
    struct TCase {
        std::uint32_t Baud;
        std::uint8_t Parity, StopBits;
    };
    for (TCase c :
         {TCase{1200, 0, 0}, TCase{19200, 1, 2}, TCase{115200, 2, 0}, TCase{9600, 0, 2}}) {
        TLineSettings set;
        set.BaudRate = c.Baud;
        set.Parity = c.Parity;
        set.StopBits = c.StopBits;
        ASSERT_TRUE(r.Port->SetLineSettings(set));
        TLineSettings got;
        got.BaudRate = 1;
        ASSERT_TRUE(r.Port->GetLineSettings(got));
        EXPECT_EQ(got.BaudRate, c.Baud);
        EXPECT_EQ(got.ByteSize, 8);
        // The pseudo-terminal driver forces 8 bits without parity, so the
        // parity cannot come back here; it is applied like the stop bits.
        EXPECT_EQ(got.StopBits, c.StopBits);
    }
    TLineSettings bad;
    bad.BaudRate = 12345;
    EXPECT_FALSE(r.Port->SetLineSettings(bad));
    bad.BaudRate = 9600;
    bad.Parity = 3;
    EXPECT_FALSE(r.Port->SetLineSettings(bad));
    bad.Parity = 0;
    bad.StopBits = 1; // one and a half: not a setting of this program
    EXPECT_FALSE(r.Port->SetLineSettings(bad));
}

TEST(Port, CancelEndsABlockedReadPromptly) {
    TPty pty;
    auto port = OpenPty(pty, {50, 0, 10000});
    std::thread canceller([&] {
        std::this_thread::sleep_for(milliseconds(50));
        port->CancelIo();
    });
    std::uint8_t buffer[256];
    auto start = steady_clock::now();
    TPortIo io = port->Read(buffer, sizeof buffer);
    canceller.join();
    EXPECT_FALSE(io.Ok);
    EXPECT_LT(ElapsedMs(start), 1000);
}

// The cancel ends the call it meets and no more: the hang-up after a stopped
// job must find a working port.
TEST(Port, CancelIsUsedUpByTheCallItEnds) {
    TPty pty;
    auto port = OpenPty(pty, {50, 0, 10000});
    std::thread canceller([&] {
        std::this_thread::sleep_for(milliseconds(50));
        port->CancelIo();
    });
    std::uint8_t buffer[256];
    EXPECT_FALSE(port->Read(buffer, sizeof buffer).Ok);
    canceller.join();

    const Bytes plus = {'+', '+', '+'};
    TPortIo written = port->Write(plus.data(), plus.size());
    EXPECT_TRUE(written.Ok);
    EXPECT_EQ(pty.Receive(100), plus);
    pty.Send({'O', 'K'});
    ASSERT_TRUE(port->SetTimeouts({50, 0, 2000}));
    TPortIo read = port->Read(buffer, sizeof buffer);
    EXPECT_TRUE(read.Ok);
    EXPECT_EQ(read.Count, 2u);
}

TEST(Port, CancelWithNoCallRunningEndsTheNextOneOnlyUnlessCleared) {
    TPty pty;
    auto port = OpenPty(pty, {50, 0, 300});
    std::uint8_t buffer[16];
    const Bytes at = {'A', 'T', '\r'};

    port->CancelIo(); // came after the last call of its operation
    auto start = steady_clock::now();
    EXPECT_FALSE(port->Read(buffer, sizeof buffer).Ok);
    EXPECT_LT(ElapsedMs(start), 200);
    start = steady_clock::now();
    TPortIo io = port->Read(buffer, sizeof buffer);
    EXPECT_TRUE(io.Ok);
    EXPECT_GE(ElapsedMs(start), 250); // a normal read again: waited its time-out

    port->CancelIo();
    port->CancelIo(); // two cancels are still one
    EXPECT_FALSE(port->Write(at.data(), at.size()).Ok);
    EXPECT_TRUE(port->Write(at.data(), at.size()).Ok);
    EXPECT_EQ(pty.Receive(100), at);

    port->CancelIo();
    port->ClearCancel();
    EXPECT_TRUE(port->Write(at.data(), at.size()).Ok);
    EXPECT_EQ(pty.Receive(100), at);
}

TEST(Port, HangUpOfTheFarEndFailsTheReadInsteadOfWaiting) {
    auto pty = std::make_unique<TPty>();
    auto port = OpenPty(*pty, {50, 0, 5000});
    pty.reset();
    std::uint8_t buffer[256];
    auto start = steady_clock::now();
    TPortIo io = port->Read(buffer, sizeof buffer);
    EXPECT_FALSE(io.Ok);
    EXPECT_LT(ElapsedMs(start), 1000);
}

TEST(Port, CloseIsReportedAndEndsUse) {
    TPty pty;
    auto port = OpenPty(pty, {20, 0, 50});
    EXPECT_TRUE(port->Close());
    EXPECT_FALSE(port->Close());
    std::uint8_t buffer[4];
    EXPECT_FALSE(port->Read(buffer, sizeof buffer).Ok);
    EXPECT_FALSE(port->Write(buffer, sizeof buffer).Ok);
    // Closed means free again: the device opens anew.
    EXPECT_TRUE(OpenSerialPort(pty.SlavePath).Port);
}

TEST(Port, OpenIsExclusiveAndRefusesWhatIsNoPort) {
    TPty pty;
    TPortOpenResult first = OpenSerialPort(pty.SlavePath);
    ASSERT_TRUE(first.Port) << first.Error;
    TPortOpenResult second = OpenSerialPort(pty.SlavePath);
    EXPECT_FALSE(second.Port);
    EXPECT_FALSE(second.Error.empty());

    test::TTempDir dir;
    std::ofstream(dir.Path / "plain.txt") << "x";
    EXPECT_FALSE(OpenSerialPort(dir.Path / "plain.txt").Port);
    EXPECT_FALSE(OpenSerialPort(dir.Path / "missing").Port);
}

TEST(Port, OpenByComNumberFollowsTheAliasFolder) {
    TPty pty;
    test::TTempDir dir;
    std::filesystem::create_symlink(pty.SlavePath, dir.Path / "COM7");
    ::setenv("VIRS_PORTS_DIR", dir.Path.c_str(), 1);
    TPortOpenResult byNumber = OpenComPort(7);
    auto listed = EnumerateSerialPorts();
    ::unsetenv("VIRS_PORTS_DIR");
    ASSERT_TRUE(byNumber.Port) << byNumber.Error;
    byNumber.Port->SetTimeouts({20, 0, 100});
    pty.Send(Bytes{0x42});
    std::uint8_t b = 0;
    EXPECT_EQ(byNumber.Port->Read(&b, 1).Count, 1u);
    EXPECT_EQ(b, 0x42);
    auto it = std::find_if(listed.begin(), listed.end(),
                           [](const TSerialPortInfo& p) { return p.Number == 7; });
    ASSERT_NE(it, listed.end());
    EXPECT_NE(it->Description.find(pty.SlavePath), std::string::npos);
    EXPECT_FALSE(OpenComPort(0).Port);
    EXPECT_FALSE(OpenComPort(256).Port);
}

} // namespace
} // namespace virs
