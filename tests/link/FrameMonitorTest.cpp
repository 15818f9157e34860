// What the exchange thread tells the traffic monitor: the decoding of single
// frames, the frame queue between the threads, and the frames the worker
// reports against a scripted slave on a pseudo-terminal.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <atomic>
#include <thread>

#include "link/FrameDecoding.h"
#include "link/FrameMonitor.h"
#include "tests/link/ExchangeFixture.h"

namespace virs {
namespace {

using test::Bytes;
using test::Frame;

// ---- one frame at a time ----
//
// The frames and their CRC bytes were worked out by hand from the frame
// layouts (CRC-16/MODBUS, low byte first; the CRCs checked with a separate
// CRC routine); the expected fields are read off the bytes.

constexpr std::uint16_t None = 0xFFFF; // "this field is absent"

struct TDecodeCase {
    const char* Name;
    TFrameDirection Direction;
    Bytes Raw;
    TFrameRequest Request; // slave, function, start, count, expected answer length
    std::size_t Offset;
    std::uint16_t Address; // None: absent
    std::uint16_t Function;
    bool Exception;
    std::uint16_t ExceptionCode;
    std::uint16_t Start;
    std::uint16_t Count;
    bool CrcOk;
};

const TFrameRequest ReadOf2At100{1, 3, 100, 2, 9};

std::vector<TDecodeCase> DecodeCases() {
    const auto out = TFrameDirection::Out;
    const auto in = TFrameDirection::In;
    return {
        // 22 registers from 0 of slave 1: the request of the protocol's own example.
        {"ReadRequest",
         out,
         {0x01, 0x03, 0x00, 0x00, 0x00, 0x16, 0xC4, 0x04},
         {},
         0,
         1,
         3,
         false,
         None,
         0,
         22,
         true},
        // Write of registers 10 and 11 (values 1 and 2) to slave 2.
        {"WriteRequest",
         out,
         {0x02, 0x10, 0x00, 0x0A, 0x00, 0x02, 0x04, 0x00, 0x01, 0x00, 0x02, 0xAC, 0x95},
         {},
         0,
         2,
         16,
         false,
         None,
         10,
         2,
         true},
        // Archive record 512 of slave 4: the count field says 1 record.
        {"RecordHeaderRequest",
         out,
         {0x04, 0x43, 0x02, 0x00, 0x00, 0x01, 0x84, 0x28},
         {},
         0,
         4,
         67,
         false,
         None,
         512,
         1,
         true},
        // Two registers answered: the start comes from the request (100).
        {"ReadAnswer",
         in,
         {0x01, 0x03, 0x04, 0x00, 0x01, 0x00, 0x02, 0x2A, 0x32},
         ReadOf2At100,
         0,
         1,
         3,
         false,
         None,
         100,
         2,
         true},
        // The same answer behind two zero bytes of line noise.
        {"ReadAnswerAfterZeros",
         in,
         {0x00, 0x00, 0x01, 0x03, 0x04, 0x00, 0x01, 0x00, 0x02, 0x2A, 0x32},
         ReadOf2At100,
         2,
         1,
         3,
         false,
         None,
         100,
         2,
         true},
        // Zero bytes after the expected nine are not part of the frame.
        {"ReadAnswerWithTrailingZeros",
         in,
         {0x01, 0x03, 0x04, 0x00, 0x01, 0x00, 0x02, 0x2A, 0x32, 0x00, 0x00},
         ReadOf2At100,
         0,
         1,
         3,
         false,
         None,
         100,
         2,
         true},
        {"BadCrc",
         in,
         {0x01, 0x03, 0x04, 0x00, 0x01, 0x00, 0x02, 0x2A, 0x33},
         ReadOf2At100,
         0,
         1,
         3,
         false,
         None,
         100,
         2,
         false},
        // Exception 2 to a read: function 3 with bit 7 set.
        {"Exception",
         in,
         {0x01, 0x83, 0x02, 0xC0, 0xF1},
         ReadOf2At100,
         0,
         1,
         3,
         true,
         2,
         None,
         None,
         true},
        {"WriteAnswer",
         in,
         {0x02, 0x10, 0x00, 0x0A, 0x00, 0x02, 0x61, 0xF9},
         {2, 16, 10, 2, 8},
         0,
         2,
         16,
         false,
         None,
         10,
         2,
         true},
        {"RecordHeaderAnswer",
         in,
         {0x04, 0x43, 0x01, 0x10, 0x22, 0x1C, 0x5D},
         {4, 67, 512, 1, 7},
         0,
         4,
         67,
         false,
         None,
         512,
         1,
         true},
        // A read answer to a write request: the count is known, the start is not.
        {"ReadAnswerToAWrite",
         in,
         {0x01, 0x03, 0x04, 0x00, 0x01, 0x00, 0x02, 0x2A, 0x32},
         {1, 16, 10, 2, 8},
         0,
         1,
         3,
         false,
         None,
         None,
         2,
         true},
        {"Nothing", in, {}, ReadOf2At100, 0, None, None, false, None, None, None, false},
        {"OnlyZeros",
         in,
         {0x00, 0x00, 0x00},
         ReadOf2At100,
         3,
         None,
         None,
         false,
         None,
         None,
         None,
         false},
        {"OneByte", in, {0x01}, ReadOf2At100, 0, 1, None, false, None, None, None, false},
    };
}

class FrameDecoding : public ::testing::TestWithParam<TDecodeCase> {};

TEST_P(FrameDecoding, FieldsAsTheBytesSay) {
    const TDecodeCase& c = GetParam();
    const TFrameDecoding d = DecodeModbusFrame(c.Raw.data(), c.Raw.size(), c.Direction, c.Request);
    EXPECT_EQ(d.Offset, c.Offset);
    EXPECT_EQ(d.HasAddress, c.Address != None);
    if (c.Address != None) {
        EXPECT_EQ(d.Address, c.Address);
    }
    EXPECT_EQ(d.HasFunction, c.Function != None);
    if (c.Function != None) {
        EXPECT_EQ(d.Function, c.Function);
    }
    EXPECT_EQ(d.Exception, c.Exception);
    EXPECT_EQ(d.HasExceptionCode, c.ExceptionCode != None);
    if (c.ExceptionCode != None) {
        EXPECT_EQ(d.ExceptionCode, c.ExceptionCode);
    }
    EXPECT_EQ(d.HasStart, c.Start != None);
    if (c.Start != None) {
        EXPECT_EQ(d.Start, c.Start);
    }
    EXPECT_EQ(d.HasCount, c.Count != None);
    if (c.Count != None) {
        EXPECT_EQ(d.Count, c.Count);
    }
    EXPECT_EQ(d.CrcOk, c.CrcOk);
}

INSTANTIATE_TEST_SUITE_P(Frames, FrameDecoding, ::testing::ValuesIn(DecodeCases()),
                         [](const auto& p) { return std::string(p.param.Name); });

// ---- the columns the monitor shows ----

TFrameEvent Event(TFrameDirection direction, const Bytes& bytes, TFrameRequest request,
                  std::uint8_t attempt, TExchangeResult result) {
    TFrameEvent e;
    e.TimeMs = 1710496805123; // 15.03.2024 10:00:05.123 UTC
    e.Direction = direction;
    e.Attempt = attempt;
    e.Result = result;
    e.Request = request;
    e.Length = static_cast<std::uint16_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), e.Bytes);
    return e;
}

TEST(FrameColumns, RequestAnswerExceptionAndSilenceRead) {
    const char* zone = getenv("TZ");
    const std::string savedZone = zone ? zone : "";
    setenv("TZ", "UTC", 1);
    tzset();

    struct TCase {
        TFrameEvent Frame;
        TFrameColumns Expected;
    } cases[] = {
        {Event(TFrameDirection::Out, {0x01, 0x03, 0x00, 0x00, 0x00, 0x16, 0xC4, 0x04}, {}, 1,
               ResultSuccess),
         {"10:00:05.123", "запрос", "01 03 00 00 00 16 C4 04", "1", "3 чтение регистров", "0-21",
          "22", ""}},
        // A repeated request names its attempt.
        {Event(TFrameDirection::Out, {0x04, 0x43, 0x02, 0x00, 0x00, 0x01, 0x84, 0x28}, {}, 3,
               ResultSuccess),
         {"10:00:05.123", "запрос", "04 43 02 00 00 01 84 28", "4", "67 заголовок архивной записи",
          "запись 512", "1", "попытка 3"}},
        {Event(TFrameDirection::In, {0x01, 0x03, 0x04, 0x00, 0x01, 0x00, 0x02, 0x2A, 0x32},
               ReadOf2At100, 1, ResultSuccess),
         {"10:00:05.123", "ответ", "01 03 04 00 01 00 02 2A 32", "1", "3 чтение регистров",
          "100-101", "2", "Завершено успешно"}},
        {Event(TFrameDirection::In, {0x01, 0x83, 0x02, 0xC0, 0xF1}, ReadOf2At100, 1,
               static_cast<TExchangeResult>(2)),
         {"10:00:05.123", "ответ", "01 83 02 C0 F1", "1", "3 чтение регистров: исключение", "", "",
          "Адрес данных указанный в запросе не доступен данному подчиненному"}},
        {Event(TFrameDirection::In, {}, ReadOf2At100, 2, ResultTimeout),
         {"10:00:05.123", "ответ", "", "", "", "", "", "Превышен тайм-аут ожидания ответа"}},
    };
    for (const TCase& c : cases) {
        const TFrameColumns got = FrameColumns(c.Frame);
        EXPECT_EQ(got.Time, c.Expected.Time);
        EXPECT_EQ(got.Direction, c.Expected.Direction);
        EXPECT_EQ(got.Bytes, c.Expected.Bytes);
        EXPECT_EQ(got.Address, c.Expected.Address);
        EXPECT_EQ(got.Function, c.Expected.Function);
        EXPECT_EQ(got.Registers, c.Expected.Registers);
        EXPECT_EQ(got.Count, c.Expected.Count);
        EXPECT_EQ(got.Result, c.Expected.Result);
    }
    EXPECT_EQ(FrameLine(FrameColumns(cases[2].Frame)),
              "10:00:05.123\tответ\t01 03 04 00 01 00 02 2A 32\t1\t3 чтение регистров\t"
              "100-101\t2\tЗавершено успешно");

    if (zone)
        setenv("TZ", savedZone.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

// ---- the queue between the exchange thread and the window ----

TFrameEvent Numbered(std::uint32_t n) {
    TFrameEvent e;
    e.TimeMs = n;
    e.Length = 4;
    for (int i = 0; i < 4; ++i)
        e.Bytes[i] = static_cast<std::uint8_t>(n >> (8 * i));
    return e;
}

TEST(FrameQueue, KeepsOrderAndDropsWhatFindsItFull) {
    TFrameQueue queue(4);
    for (std::uint32_t n = 1; n <= 6; ++n)
        queue.OnFrame(Numbered(n));
    EXPECT_EQ(queue.Dropped(), 2u); // 5 and 6 found the ring full
    std::vector<TFrameEvent> got;
    EXPECT_EQ(queue.Drain(got), 4u);
    ASSERT_EQ(got.size(), 4u);
    for (std::uint32_t n = 1; n <= 4; ++n) {
        EXPECT_EQ(got[n - 1].TimeMs, n);
        EXPECT_EQ(got[n - 1].Bytes[0], n);
    }
    // Emptied, it takes frames again, in order across the ring's end.
    for (std::uint32_t n = 7; n <= 9; ++n)
        queue.OnFrame(Numbered(n));
    got.clear();
    EXPECT_EQ(queue.Drain(got), 3u);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].TimeMs, 7);
    EXPECT_EQ(got[2].TimeMs, 9);
    EXPECT_EQ(queue.Dropped(), 2u);
    EXPECT_EQ(queue.Drain(got), 0u);
}

TEST(FrameQueue, ProducerAndConsumerOnTwoThreadsLoseNothingTheyKeep) {
    TFrameQueue queue(64);
    constexpr std::uint32_t Frames = 20000;
    std::atomic<bool> produced{false};
    std::thread producer([&] {
        for (std::uint32_t n = 1; n <= Frames; ++n)
            queue.OnFrame(Numbered(n));
        produced = true;
    });
    std::vector<TFrameEvent> got;
    while (!produced.load())
        queue.Drain(got);
    producer.join();
    queue.Drain(got);
    // Every frame either arrived whole and in order, or was counted as dropped.
    EXPECT_EQ(got.size() + queue.Dropped(), Frames);
    for (std::size_t i = 1; i < got.size(); ++i) {
        ASSERT_LT(got[i - 1].TimeMs, got[i].TimeMs);
        const auto n = static_cast<std::uint32_t>(got[i].TimeMs);
        ASSERT_EQ(got[i].Bytes[0], static_cast<std::uint8_t>(n));
        ASSERT_EQ(got[i].Bytes[1], static_cast<std::uint8_t>(n >> 8));
    }
}

// ---- what the worker reports ----

struct TRecorder final : TExchangeObserver {
    std::vector<TFrameEvent> Frames;
    void OnFrame(const TFrameEvent& frame) noexcept override { Frames.push_back(frame); }
};

using FrameReports = test::ExchangeFixture;

TEST_F(FrameReports, EveryAttemptIsReportedAsTheLogShowsIt) {
    int n = 0;
    // First attempt: exception 6; second: a silent device; third: the answer.
    test::TSlaveDevice slave(Pty, [&](const Bytes& r) {
        ++n;
        if (n == 1)
            return test::Answer(Frame({1, 0x83, 6}));
        if (n == 2)
            return test::TReply{};
        return test::Answer(test::ReadAnswer(r));
    });
    TRecorder recorder;
    StartWorker();
    Worker->SetObserver(&recorder);
    Job(3, 10, 2, 3);
    const auto before = std::chrono::system_clock::now();
    Run();
    const auto after = std::chrono::system_clock::now();
    ASSERT_EQ(X.ResultCode, 0);

    // The request 01 03 00 0A 00 02 with its CRC, worked out by hand: E4 09.
    const Bytes request = {0x01, 0x03, 0x00, 0x0A, 0x00, 0x02, 0xE4, 0x09};
    const Bytes exception = Frame({1, 0x83, 6});
    const Bytes answer = test::ReadAnswer(request);
    const struct {
        TFrameDirection Direction;
        std::uint8_t Attempt;
        TExchangeResult Result;
        Bytes Raw;
    } expected[] = {
        {TFrameDirection::Out, 1, ResultSuccess, request},
        {TFrameDirection::In, 1, static_cast<TExchangeResult>(6), exception},
        {TFrameDirection::Out, 2, ResultSuccess, request},
        {TFrameDirection::In, 2, ResultTimeout, {}},
        {TFrameDirection::Out, 3, ResultSuccess, request},
        {TFrameDirection::In, 3, ResultSuccess, answer},
    };
    ASSERT_EQ(recorder.Frames.size(), std::size(expected));
    const std::vector<std::string> log = LogLines();
    ASSERT_EQ(log.size(), std::size(expected)); // the log is as it always was
    const auto ms = [](auto t) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
    };
    std::int64_t previous = ms(before);
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        const TFrameEvent& f = recorder.Frames[i];
        EXPECT_EQ(f.Direction, expected[i].Direction);
        EXPECT_EQ(f.Attempt, expected[i].Attempt);
        if (f.Direction == TFrameDirection::In) {
            EXPECT_EQ(f.Result, expected[i].Result);
        }
        EXPECT_EQ(Bytes(f.Bytes, f.Bytes + f.Length), expected[i].Raw);
        EXPECT_EQ(f.Request.Slave, 1);
        EXPECT_EQ(f.Request.Function, 3);
        EXPECT_EQ(f.Request.Start, 10);
        EXPECT_EQ(f.Request.Count, 2);
        EXPECT_EQ(f.Request.ExpectedLength, 9);
        // The same bytes as the log line of the frame.
        EXPECT_EQ(log[i], (f.Direction == TFrameDirection::Out ? "OUT: " : "IN:  ") +
                              HexDump(f.Bytes, f.Length));
        // Stamped in order, within the job.
        EXPECT_GE(f.TimeMs, previous);
        EXPECT_LE(f.TimeMs, ms(after));
        previous = f.TimeMs;
    }
    // The silent attempt waited its reply time-out (300 ms) before its answer
    // line was stamped.
    EXPECT_GE(recorder.Frames[3].TimeMs - recorder.Frames[2].TimeMs, 290);

    // Removed, the watcher hears nothing of the next job.
    Worker->SetObserver(nullptr);
    Job(3, 10, 2, 1);
    Run();
    EXPECT_EQ(recorder.Frames.size(), std::size(expected));
}

} // namespace
} // namespace virs
