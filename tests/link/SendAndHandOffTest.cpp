// What the exchange's cheaper path must keep: a request handed to the port
// without waiting for the line still gives the answer its whole reply time-out
// after the last bit has left, and the main-thread call releases each caller
// only when its own call has returned.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "link/MainThreadCall.h"
#include "link/SerialPort.h"
#include "tests/link/PtyPair.h"

namespace virs {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::unique_ptr<TSerialPort> PortAt(const test::TPty& pty, std::uint32_t baud) {
    TPortOpenResult r = OpenSerialPort(pty.SlavePath);
    EXPECT_TRUE(r.Port) << r.Error;
    if (!r.Port)
        return nullptr;
    TLineSettings line;
    EXPECT_TRUE(r.Port->GetLineSettings(line));
    line.BaudRate = baud;
    line.ByteSize = 8;
    line.Parity = 0;
    line.StopBits = 0;
    EXPECT_TRUE(r.Port->SetLineSettings(line));
    EXPECT_TRUE(r.Port->SetTimeouts({50, 0, 100}));
    return std::move(r.Port);
}

// 120 bytes at 1200 bit/s, 10 bits a character (start, 8 data, stop), take
// 1000 ms on the line; a pseudo-terminal passes them at once, so only the
// port's own reckoning can make the read wait for them.
TEST(PortSend, ReplyTimeOutCountsFromWhenTheRequestHasLeft) {
    struct TCase {
        const char* Name;
        std::uint32_t Baud;
        std::size_t Bytes;
        int EarliestMs; // the reply time-out (100) after the bytes have left
        int LatestMs;
    } cases[] = {
        {"slow line, long frame", 1200, 120, 1100 - 5, 1700},
        {"fast line, short frame", 115200, 8, 100 - 5, 600},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        test::TPty pty;
        auto port = PortAt(pty, c.Baud);
        ASSERT_TRUE(port);
        const std::vector<std::uint8_t> frame(c.Bytes, 0x55);
        const auto start = Clock::now();
        TPortIo sent = port->Send(frame.data(), frame.size());
        EXPECT_TRUE(sent.Ok);
        EXPECT_EQ(sent.Count, frame.size());
        std::uint8_t buffer[256];
        TPortIo got = port->Read(buffer, sizeof buffer); // nobody answers
        const auto waited = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
        EXPECT_TRUE(got.Ok);
        EXPECT_EQ(got.Count, 0u);
        EXPECT_GE(waited.count(), c.EarliestMs);
        EXPECT_LE(waited.count(), c.LatestMs);
        EXPECT_EQ(pty.Receive(50).size(), frame.size()); // all of it went out
    }
}

// An answer that comes while the request is still (by the reckoning) on the
// line is read at once, and a Write (which waits for the line) does not move
// the next read's time-out.
TEST(PortSend, AnswerEndsTheWaitAndWriteLeavesTheTimeOutAlone) {
    test::TPty pty;
    auto port = PortAt(pty, 1200);
    ASSERT_TRUE(port);
    const std::vector<std::uint8_t> frame(120, 0x55);
    ASSERT_TRUE(port->Send(frame.data(), frame.size()).Ok);
    pty.Send({0x01, 0x02, 0x03});
    std::uint8_t buffer[256];
    auto start = Clock::now();
    TPortIo got = port->Read(buffer, sizeof buffer);
    EXPECT_EQ(got.Count, 3u);
    EXPECT_LT(Clock::now() - start, milliseconds(600)); // the 50 ms gap, not the reckoning

    test::TPty other;
    auto written = PortAt(other, 1200);
    ASSERT_TRUE(written);
    ASSERT_TRUE(written->Write(frame.data(), frame.size()).Ok);
    start = Clock::now();
    got = written->Read(buffer, sizeof buffer);
    EXPECT_EQ(got.Count, 0u);
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, milliseconds(95));
    EXPECT_LT(waited, milliseconds(600));
}

// A call run by the main thread from inside another call (the main thread
// serves queued calls while it is busy) must not release the first caller.
TEST(MainThreadQueue, EachCallerWaitsForItsOwnCall) {
    TMainThreadQueue queue;
    std::atomic<bool> firstReturned{false}, secondReturned{false};
    bool firstReturnedEarly = true;
    std::thread second;
    std::thread first([&] {
        queue.CallAndWait([&] {
            // Inside the first call another thread's call comes and is served.
            second = std::thread([&] {
                queue.CallAndWait([] {});
                secondReturned = true;
            });
            const auto until = Clock::now() + std::chrono::seconds(10);
            while (!secondReturned.load() && Clock::now() < until)
                queue.RunUntil([] { return false; }, milliseconds(10));
            std::this_thread::sleep_for(milliseconds(30));
            firstReturnedEarly = firstReturned.load();
        });
        firstReturned = true;
    });
    // The main thread serves calls until the first caller is back (it sets
    // its flag outside any call, so the queue is asked again and again).
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!firstReturned.load() && Clock::now() < deadline)
        queue.RunUntil([] { return false; }, milliseconds(10));
    ASSERT_TRUE(firstReturned.load());
    first.join();
    second.join();
    EXPECT_TRUE(secondReturned);
    EXPECT_FALSE(firstReturnedEarly);
}

} // namespace
} // namespace virs
