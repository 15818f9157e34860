// The exchange worker against a scripted slave device on a pseudo-terminal.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "link/ModbusFrame.h"
#include "tests/link/ExchangeFixture.h"
#include "tests/support/ScriptedPort.h"

namespace virs {
namespace {

using namespace std::chrono;
using test::Bytes;
using test::ExchangeFixture;
using test::Frame;
using test::ReadAnswer;
using test::TReply;
using test::TSlaveDevice;

// --- One answer to a two-register read of slave 1, and what it must yield ---

Bytes Good() {
    return Frame({1, 3, 4, 0x12, 0x34, 0x56, 0x78});
}
Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
// Register values whose answer has a CRC ending in 0x00: that zero lies
// inside the expected length and must stay.
Bytes CrcEndingInZero() {
    for (unsigned v = 0;; ++v) {
        Bytes a = Frame({1, 3, 4, static_cast<std::uint8_t>(v >> 8),
                         static_cast<std::uint8_t>(v & 0xFF), 0x00, 0x01});
        if (a.back() == 0)
            return a;
    }
}

struct TAnswerCase {
    const char* Name;
    std::vector<Bytes> Bursts;
    int GapMs;
    int DelayMs;
    // By name; an exception answer's code is the device's own byte.
    std::uint8_t Result;
    std::size_t RxActivity; // cleaned length; 0 when nothing came
};

std::vector<TAnswerCase> AnswerCases() {
    Bytes bad = Good();
    bad.back() ^= 1;
    Bytes good = Good();
    Bytes head(good.begin(), good.begin() + 4), tail(good.begin() + 4, good.end());
    return {
        {"Correct", {Good()}, 0, 0, ResultSuccess, 9},
        {"Silence", {}, 0, 0, ResultTimeout, 0},
        {"LateBeyondTotalTimeout", {Good()}, 0, 450, ResultTimeout, 0},
        {"BadCrc", {bad}, 0, 0, ResultBadCrc, 9},
        {"OneByte", {{0x01}}, 0, 0, ResultBadCrc, 1},
        {"TwoBytesFFFF", {{0xFF, 0xFF}}, 0, 0, ResultBadCrc, 2},
        {"OtherAddressWithRightCrc",
         {Frame({2, 3, 4, 0x12, 0x34, 0x56, 0x78})},
         0,
         0,
         ResultOtherAddress,
         9},
        {"Exception2", {Frame({1, 0x83, 2})}, 0, 0, 2, 5},
        {"Exception21", {Frame({1, 0x83, 21})}, 0, 0, 21, 5},
        {"Exception200", {Frame({1, 0x83, 200})}, 0, 0, 200, 5},
        {"ExceptionCode0IsNoSuccess", {Frame({1, 0x83, 0})}, 0, 0, ResultLostData, 5},
        {"ExceptionNotFiveBytes", {Frame({1, 0x83, 2, 7})}, 0, 0, ResultLostData, 6},
        {"TooShort", {Frame({1, 3, 2, 0x12, 0x34})}, 0, 0, ResultLostData, 7},
        {"TooLong",
         {Frame({1, 3, 6, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC})},
         0,
         0,
         ResultLostData,
         11},
        {"FunctionByteNotCompared",
         {Frame({1, 4, 4, 0x12, 0x34, 0x56, 0x78})},
         0,
         0,
         ResultSuccess,
         9},
        {"LeadingZerosDropped", {Cat({0, 0, 0}, Good())}, 0, 0, ResultSuccess, 9},
        {"TrailingZerosDropped", {Cat(Good(), {0, 0, 0, 0})}, 0, 0, ResultSuccess, 9},
        {"ZerosAroundDropped", {Cat(Cat({0}, Good()), {0})}, 0, 0, ResultSuccess, 9},
        {"ZerosInsideKept", {Frame({1, 3, 4, 0, 0, 0, 0})}, 0, 0, ResultSuccess, 9},
        {"CrcEndingInZeroKept", {CrcEndingInZero()}, 0, 0, ResultSuccess, 9},
        {"OnlyZeros", {{0, 0, 0}}, 0, 0, ResultTimeout, 0},
        {"TwoBursts30msApart", {head, tail}, 30, 0, ResultSuccess, 9},
        {"TwoBursts80msApart", {head, tail}, 80, 0, ResultBadCrc, 4},
    };
}

class AnswerValidation : public ExchangeFixture,
                         public ::testing::WithParamInterface<TAnswerCase> {};

TEST_P(AnswerValidation, GivesTheResultCode) {
    const TAnswerCase& c = GetParam();
    TSlaveDevice slave(Pty, [&](const Bytes&) {
        TReply r;
        r.Bursts = c.Bursts;
        r.BurstGapMs = c.GapMs;
        r.DelayMs = c.DelayMs;
        return r;
    });
    Job(3, 0, 2);
    Run();
    EXPECT_EQ(X.ResultCode, c.Result);
    EXPECT_EQ(Completions, 1);
    EXPECT_EQ(X.TxActivity, 8);
    EXPECT_EQ(X.RxActivity, static_cast<std::int32_t>(c.RxActivity));
    std::vector<std::string> log = LogLines();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "OUT: 0x01 0x03 0x00 0x00 0x00 0x02 0xC4 0x0B (8 байт)");
    // The IN line shows the raw bytes, zeros included, before any clean-up.
    if (c.Bursts.size() == 1 && c.DelayMs == 0) {
        EXPECT_EQ(log[1], "IN:  " + HexDump(c.Bursts[0].data(), c.Bursts[0].size()));
    }
    if (c.Result == 0) {
        EXPECT_EQ(X.DataCursor, Data.data() + 4);
        const Bytes& a = c.Bursts.size() == 1 ? c.Bursts[0] : Good();
        std::size_t at = 0;
        while (a[at] == 0)
            ++at;
        EXPECT_EQ(Register(0), a[at + 3] << 8 | a[at + 4]);
        EXPECT_EQ(Register(1), a[at + 5] << 8 | a[at + 6]);
    } else {
        EXPECT_EQ(X.DataCursor, Data.data()); // nothing stored
    }
}

INSTANTIATE_TEST_SUITE_P(Exchange, AnswerValidation, ::testing::ValuesIn(AnswerCases()),
                         [](const ::testing::TestParamInfo<TAnswerCase>& p) {
                             return std::string(p.param.Name);
                         });

// --- Jobs that send nothing ---

struct TNothingSentCase {
    const char* Name;
    std::uint8_t Retries, Chunk;
    std::uint16_t Count;
    std::uint8_t Result;
};

class NothingSent : public ExchangeFixture,
                    public ::testing::WithParamInterface<TNothingSentCase> {};

TEST_P(NothingSent, StillCallsTheHandler) {
    const TNothingSentCase& c = GetParam();
    TSlaveDevice slave(Pty, [](const Bytes& r) { return test::Answer(ReadAnswer(r)); });
    Job(3, 0, c.Count, c.Retries, c.Chunk);
    Run();
    EXPECT_EQ(X.ResultCode, c.Result);
    EXPECT_EQ(Completions, 1);
    EXPECT_TRUE(slave.Requests().empty());
    EXPECT_TRUE(LogLines().empty());
    EXPECT_EQ(X.TxActivity, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Exchange, NothingSent,
    ::testing::Values(TNothingSentCase{"ZeroRetries", 0, 32, 10, ResultNoRetriesOrChunk},
                      TNothingSentCase{"ZeroChunk", 3, 0, 10, ResultNoRetriesOrChunk},
                      TNothingSentCase{"ZeroRetriesAndNoRegisters", 0, 32, 0,
                                       ResultNoRetriesOrChunk},
                      TNothingSentCase{"NoRegisters", 3, 32, 0, ResultSuccess}),
    [](const ::testing::TestParamInfo<TNothingSentCase>& p) { return std::string(p.param.Name); });

// --- Chunking ---

struct TChunkCase {
    const char* Name;
    std::uint16_t Start, Count;
    std::uint8_t Chunk;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> Frames; // start, count
};

std::vector<TChunkCase> ChunkCases() {
    std::vector<std::pair<std::uint16_t, std::uint16_t>> many;
    for (std::uint16_t i = 0; i < 10; ++i)
        many.push_back({static_cast<std::uint16_t>(100 + 32 * i), 32});
    many.push_back({420, 20});
    return {
        {"SixtyFourInTwo", 0, 64, 32, {{0, 32}, {32, 32}}},
        {"ThreeHundredFortyInEleven", 100, 340, 32, many},
        {"ModemChunkOfEight", 7, 20, 8, {{7, 8}, {15, 8}, {23, 4}}},
        {"SmallerThanChunk", 5, 3, 32, {{5, 3}}},
    };
}

class Chunking : public ExchangeFixture, public ::testing::WithParamInterface<TChunkCase> {};

TEST_P(Chunking, SplitsAndStoresEveryRegister) {
    const TChunkCase& c = GetParam();
    TSlaveDevice slave(Pty, [](const Bytes& r) { return test::Answer(ReadAnswer(r)); });
    Job(3, c.Start, c.Count, 3, c.Chunk);
    Run();
    ASSERT_EQ(X.ResultCode, ResultSuccess);
    std::vector<std::pair<std::uint16_t, std::uint16_t>> frames;
    for (const Bytes& r : slave.Requests())
        frames.push_back({test::RequestStart(r), test::RequestCount(r)});
    EXPECT_EQ(frames, c.Frames);
    for (std::uint16_t i = 0; i < c.Count; ++i)
        ASSERT_EQ(Register(i), test::DeviceRegister(static_cast<std::uint16_t>(c.Start + i)))
            << "register " << i;
    EXPECT_EQ(X.DataCursor, Data.data() + 2 * c.Count);
    EXPECT_EQ(Data[2 * c.Count], 0xEE) << "written past the job's registers";
    EXPECT_EQ(LogLines().size(), 2 * c.Frames.size());
}

INSTANTIATE_TEST_SUITE_P(Exchange, Chunking, ::testing::ValuesIn(ChunkCases()),
                         [](const ::testing::TestParamInfo<TChunkCase>& p) {
                             return std::string(p.param.Name);
                         });

// --- Retries, stop and the log ---

using Exchange = ExchangeFixture;

TEST_F(Exchange, SilentDeviceIsAskedRetryCountTimesAndEachAttemptLogged) {
    TSlaveDevice slave(Pty, [](const Bytes&) { return TReply{}; });
    Job(3, 0, 22, 3);
    Run();
    EXPECT_EQ(X.ResultCode, ResultTimeout);
    ASSERT_EQ(slave.Requests().size(), 3u);
    const std::vector<std::string> expected = {
        "OUT: 0x01 0x03 0x00 0x00 0x00 0x16 0xC4 0x04 (8 байт)", "IN:  (0 байт)",
        "OUT: 0x01 0x03 0x00 0x00 0x00 0x16 0xC4 0x04 (8 байт)", "IN:  (0 байт)",
        "OUT: 0x01 0x03 0x00 0x00 0x00 0x16 0xC4 0x04 (8 байт)", "IN:  (0 байт)"};
    EXPECT_EQ(LogLines(), expected);
    // On disk: Windows-1251, CR LF.
    EXPECT_NE(LogBytes().find("IN:  (0 \xE1\xE0\xE9\xF2)\r\n"), std::string::npos);
}

TEST_F(Exchange, RetryAfterFailureThenSuccess) {
    int n = 0;
    TSlaveDevice slave(Pty, [&](const Bytes& r) {
        return ++n == 1 ? test::Answer(Frame({1, 0x83, 6})) : test::Answer(ReadAnswer(r));
    });
    Job(3, 10, 2, 3);
    Run();
    EXPECT_EQ(X.ResultCode, ResultSuccess);
    EXPECT_EQ(slave.Requests().size(), 2u);
    EXPECT_EQ(Register(1), test::DeviceRegister(11));
    std::vector<std::string> log = LogLines();
    ASSERT_EQ(log.size(), 4u);
    Bytes exception = Frame({1, 0x83, 6});
    EXPECT_EQ(log[1], "IN:  " + HexDump(exception.data(), exception.size()));
    EXPECT_EQ(log[0], log[2]);
}

TEST_F(Exchange, LastAttemptsExceptionIsTheResult) {
    TSlaveDevice slave(Pty, [](const Bytes&) { return test::Answer(Frame({1, 0x83, 2})); });
    Job(3, 0, 4, 3);
    Run();
    EXPECT_EQ(X.ResultCode, 2);
    EXPECT_EQ(slave.Requests().size(), 3u);
    EXPECT_EQ(LogLines().size(), 6u);
}

TEST_F(Exchange, StopDuringRetriesEndsAfterTheCurrentAttempt) {
    TSlaveDevice slave(Pty, [&](const Bytes&) {
        TReply r;
        r.OnRequest = [&] { X.AbortRequested = true; }; // the user presses stop
        return r;
    });
    Job(3, 0, 4, 5);
    Run();
    EXPECT_EQ(X.ResultCode, ResultTimeout);
    EXPECT_EQ(slave.Requests().size(), 1u);
    EXPECT_EQ(LogLines().size(), 2u);
}

TEST_F(Exchange, StopWhileChunksSucceedRunsTheJobToItsEnd) {
    TSlaveDevice slave(Pty, [&](const Bytes& r) {
        TReply reply = test::Answer(ReadAnswer(r));
        reply.OnRequest = [&] { X.AbortRequested = true; };
        return reply;
    });
    Job(3, 0, 64, 3);
    Run();
    EXPECT_EQ(X.ResultCode, ResultSuccess);
    EXPECT_EQ(slave.Requests().size(), 2u);
}

TEST_F(Exchange, FailedChunkEndsTheJobKeepingEarlierChunks) {
    TSlaveDevice slave(Pty, [](const Bytes& r) {
        return test::RequestStart(r) == 0 ? test::Answer(ReadAnswer(r)) : TReply{};
    });
    Job(3, 0, 96, 2);
    Run();
    EXPECT_EQ(X.ResultCode, ResultTimeout);
    EXPECT_EQ(slave.Requests().size(), 3u); // chunk 1 once, chunk 2 twice, no chunk 3
    EXPECT_EQ(X.DataCursor, Data.data() + 64);
    EXPECT_EQ(Register(31), test::DeviceRegister(31));
    EXPECT_EQ(Register(32), 0xEEEE);
}

TEST_F(Exchange, WriteRetrySendsTheIdenticalFrame) {
    int n = 0;
    TSlaveDevice slave(Pty, [&](const Bytes& r) {
        if (++n == 1)
            return TReply{}; // the first frame gets no answer
        return test::Answer(Frame({r[0], 16, r[2], r[3], r[4], r[5]}));
    });
    Job(16, 0x0200, 40, 3);
    for (std::uint16_t i = 0; i < 40; ++i) {
        std::uint16_t v = static_cast<std::uint16_t>(0xA000 + i);
        std::memcpy(Data.data() + 2 * i, &v, 2);
    }
    Run();
    EXPECT_EQ(X.ResultCode, ResultSuccess);
    std::vector<Bytes> frames = slave.Requests();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0], frames[1]);
    ASSERT_EQ(frames[0].size(), 2u * 32 + 9);
    EXPECT_EQ(frames[0][6], 64);
    EXPECT_EQ(frames[2].size(), 2u * 8 + 9);
    EXPECT_EQ(test::RequestStart(frames[2]), 0x0220);
    // Registers on the wire high byte first.
    EXPECT_EQ(frames[0][7], 0xA0);
    EXPECT_EQ(frames[0][8], 0x00);
    EXPECT_EQ(frames[2][7], 0xA0);
    EXPECT_EQ(frames[2][8], 32);
    EXPECT_EQ(X.DataCursor, Data.data() + 80);
}

TEST_F(Exchange, WriteCursorHasMovedPastAFailedChunk) {
    TSlaveDevice slave(Pty, [](const Bytes&) { return TReply{}; });
    Job(16, 0, 10, 2);
    Run();
    EXPECT_EQ(X.ResultCode, ResultTimeout);
    EXPECT_EQ(X.DataCursor, Data.data() + 20);
}

TEST_F(Exchange, RecordHeaderIsStoredUnchanged) {
    TSlaveDevice slave(Pty, [](const Bytes& r) {
        EXPECT_EQ(r.size(), 8u);
        return test::Answer(Frame({r[0], 0x43, 0x05, 0x34, 0x12}));
    });
    Job(67, 513, 1, 1, 32, 9);
    Run();
    EXPECT_EQ(X.ResultCode, ResultSuccess);
    EXPECT_EQ(Bytes(X.RecordHeader, X.RecordHeader + 3), (Bytes{0x05, 0x34, 0x12}));
    EXPECT_EQ(X.DataCursor, Data.data());
    ASSERT_EQ(slave.Requests().size(), 1u);
    EXPECT_EQ(test::RequestStart(slave.Requests()[0]), 513);
}

TEST_F(Exchange, LogThatCannotBeWrittenDoesNotStopTheJob) {
    TSlaveDevice slave(Pty, [](const Bytes& r) { return test::Answer(ReadAnswer(r)); });
    ASSERT_TRUE(Log.Create("/dev/full")); // every write fails: disk full
    Job(3, 0, 64, 1);
    Run();
    EXPECT_EQ(X.ResultCode, ResultSuccess);
    EXPECT_EQ(Completions, 1);
    EXPECT_EQ(Log.LostLines(), 4u);
    Log.Close(); // and a closed log loses the lines the same way
    Job(3, 0, 2, 1);
    Run();
    EXPECT_EQ(X.ResultCode, ResultSuccess);
    EXPECT_EQ(Completions, 2);
}

// --- Worker life cycle ---

TEST_F(Exchange, HandlerLeavingAFollowOnJobIsServedAtOnce) {
    TSlaveDevice slave(Pty, [](const Bytes& r) { return test::Answer(ReadAnswer(r)); });
    std::vector<std::uint16_t> seen;
    StartWorker([&](ExchangeWorker& w) {
        seen.push_back(Register(0));
        if (seen.size() < 3) {
            X.StartRegister = static_cast<std::uint16_t>(X.StartRegister + 100);
            X.DataCursor = Data.data(); // follow-on: not parked
        } else {
            w.Park();
        }
    });
    EXPECT_TRUE(Worker->IsParked());
    Job(3, 1, 1);
    Run();
    EXPECT_EQ(Completions, 3);
    EXPECT_EQ(seen, (std::vector<std::uint16_t>{test::DeviceRegister(1), test::DeviceRegister(101),
                                                test::DeviceRegister(201)}));
    EXPECT_TRUE(Worker->IsParked());
    // And parked means idle until the next wake.
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_EQ(slave.Requests().size(), 3u);
}

TEST_F(Exchange, TerminateWhileParkedEndsAtOnce) {
    StartWorker();
    auto start = steady_clock::now();
    Worker.reset();
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 500);
    EXPECT_EQ(Completions, 0);
}

TEST_F(Exchange, TerminateWhileReadingEndsWithoutWaitingForTheTimeout) {
    SetReplyTimeout(20000);
    std::atomic<bool> asked{false};
    TSlaveDevice slave(Pty, [&](const Bytes&) {
        TReply r;
        r.OnRequest = [&] { asked = true; };
        return r;
    });
    StartWorker();
    Job(3, 0, 2, 3);
    Worker->Wake();
    while (!asked)
        std::this_thread::sleep_for(milliseconds(5));
    std::this_thread::sleep_for(milliseconds(20)); // now inside the read
    auto start = steady_clock::now();
    Worker->Terminate();
    Worker.reset();
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 1000);
    Main.RunPending();
    EXPECT_EQ(Completions, 0);
    EXPECT_EQ(slave.Requests().size(), 1u);
}

// A reply time-out of 0 is a read without a total limit: only the interrupt
// of the stop button can end it.
TEST_F(Exchange, StopEndsAReadWithoutTotalTimeoutAtOnce) {
    SetReplyTimeout(0);
    std::atomic<bool> asked{false};
    std::atomic<bool> answer{false};
    TSlaveDevice slave(Pty, [&](const Bytes& r) {
        if (answer)
            return test::Answer(ReadAnswer(r));
        TReply silent;
        silent.OnRequest = [&] { asked = true; };
        return silent;
    });
    StartWorker();
    Job(3, 0, 2, 5);
    Worker->Wake();
    while (!asked)
        std::this_thread::sleep_for(milliseconds(5));
    std::this_thread::sleep_for(milliseconds(100)); // inside the read
    auto start = steady_clock::now();
    X.AbortRequested = true;
    Worker->InterruptJob();
    ASSERT_TRUE(Main.RunUntil([&] { return Completions == 1 && Worker->IsParked(); },
                              std::chrono::seconds(3)));
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 1000);
    EXPECT_EQ(X.ResultCode, ResultTimeout);
    EXPECT_EQ(slave.Requests().size(), 1u); // no further attempt after the stop

    // The port is whole again: the next job is answered.
    answer = true;
    SetReplyTimeout(300);
    Job(3, 0, 2, 1);
    Run();
    EXPECT_EQ(X.ResultCode, ResultSuccess);
    EXPECT_EQ(Register(1), test::DeviceRegister(1));
}

// The stop may come while the request is being handed to the port; the write
// then takes the cancel, and a read without a total time-out that still began
// would wait for ever on a silent device.
TEST_F(Exchange, StopDuringTheWriteKeepsTheReadFromStarting) {
    class TStopOnWrite final : public test::TOwningForwardingPort {
    public:
        TStopOnWrite(std::unique_ptr<TSerialPort> inner, std::function<void()> stop)
            : TOwningForwardingPort(std::move(inner)), Stop(std::move(stop)) {}
        TPortIo Write(const std::uint8_t* data, std::size_t size) override {
            if (Stop)
                std::exchange(Stop, nullptr)();
            return TOwningForwardingPort::Write(data, size);
        }

    private:
        std::function<void()> Stop;
    };
    SetReplyTimeout(0);
    TSlaveDevice slave(Pty, [](const Bytes&) { return TReply{}; }); // never answers
    Port = std::make_unique<TStopOnWrite>(std::move(Port), [this] {
        X.AbortRequested = true;
        Worker->InterruptJob();
    });
    StartWorker();
    Job(3, 0, 2, 5);
    Worker->Wake();
    const auto start = steady_clock::now();
    ASSERT_TRUE(Main.RunUntil([&] { return Completions == 1 && Worker->IsParked(); },
                              std::chrono::seconds(3)));
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 1000);
    EXPECT_EQ(X.ResultCode, ResultTimeout);
}

// Closing the link 300 ms into a job on a silent device: the hang-up that
// follows uses the same port and must get its answer.
TEST_F(Exchange, PortWorksForTheHangUpAfterTerminateInAJob) {
    SetReplyTimeout(20000);
    std::atomic<bool> asked{false};
    TSlaveDevice slave(Pty, [&](const Bytes&) {
        TReply r;
        r.OnRequest = [&] { asked = true; };
        return r;
    });
    StartWorker();
    Job(3, 0, 2, 3);
    Worker->Wake();
    while (!asked)
        std::this_thread::sleep_for(milliseconds(5));
    std::this_thread::sleep_for(milliseconds(300));
    Worker->Terminate();
    Worker.reset();
    Main.RunPending();

    ASSERT_TRUE(Port->SetTimeouts({200, 0, 2000}));
    const std::uint8_t plus[] = {'+', '+', '+'};
    TPortIo written = Port->Write(plus, sizeof plus);
    EXPECT_TRUE(written.Ok);
    Pty.Send({'\r', '\n', 'O', 'K', '\r', '\n'});
    std::uint8_t buffer[64];
    TPortIo read = Port->Read(buffer, sizeof buffer);
    EXPECT_TRUE(read.Ok);
    EXPECT_EQ(read.Count, 6u);
}

TEST_F(Exchange, TerminateFromInsideTheHandler) {
    TSlaveDevice slave(Pty, [](const Bytes& r) { return test::Answer(ReadAnswer(r)); });
    StartWorker([](ExchangeWorker& w) { w.Terminate(); });
    Job(3, 0, 2);
    Worker->Wake();
    ASSERT_TRUE(Main.RunUntil([&] { return Completions == 1; }, seconds(10)));
    Worker->Join();
    EXPECT_EQ(X.ResultCode, ResultSuccess);
    // The port was not cancelled: a parked or ended worker leaves it usable.
    EXPECT_TRUE(Port->Write(Data.data(), 1).Ok);
}

} // namespace
} // namespace virs
