// Request frames of functions 3, 16 and 67 as the meters of one bus answer them.

#include <gtest/gtest.h>

#include "sim/MeterBus.h"
#include "sim/SimCrc.h"
#include "sim/SimTime.h"
#include "tests/sim/SimTestSupport.h"

namespace virs::sim {
namespace {

using test::ReadRequest;
using test::WithCrc;
using test::WriteRequest;

SimSeconds Now() {
    SimSeconds t = 0;
    ParseSimTime("2024-03-15T10:00:00", t);
    return t;
}

std::unique_ptr<TMeterBus> MakeBus() {
    auto bus = std::make_unique<TMeterBus>("test");
    const TMeterKind kinds[] = {TMeterKind::Sh, TMeterKind::D, TMeterKind::DK, TMeterKind::D2};
    for (int i = 0; i < 4; ++i) {
        TMeterConfig config;
        config.Kind = kinds[i];
        config.Address = static_cast<u8>(i + 1);
        config.Serial = static_cast<u16>(4100 + i);
        bus->AddMeter(MakeMeter(config, 7, Now()));
    }
    return bus;
}

TEST(SimCrc, AgreesWithTableCrcAndTheKnownFrame) {
    // 01 03 00 00 00 16 is sent as 01 03 00 00 00 16 C4 04.
    const Bytes frame = ReadRequest(1, 3, 0, 22);
    EXPECT_EQ(frame, (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x16, 0xC4, 0x04}));
    Bytes data;
    for (int i = 0; i < 300; ++i) {
        data.push_back(static_cast<u8>(i * 37 + 11));
        EXPECT_EQ(FrameCrc(data.data(), data.size()), test::TableCrc(data, data.size())) << i;
    }
}

struct FrameCase {
    const char* Name;
    Bytes Request;
    std::size_t AnswerLength; // 0: no answer
    u8 Function;              // function byte of the answer
    int Exception;            // -1: a normal answer
};

class FrameHandling : public ::testing::TestWithParam<FrameCase> {};

TEST_P(FrameHandling, AnswersAsTheMeterWould) {
    auto bus = MakeBus();
    const FrameCase& c = GetParam();
    const TReplyPlan plan = bus->Handle(c.Request, Now());
    if (c.AnswerLength == 0) {
        EXPECT_TRUE(plan.empty());
        return;
    }
    ASSERT_EQ(plan.size(), 1u);
    const Bytes& a = plan[0].Data;
    ASSERT_EQ(a.size(), c.AnswerLength);
    EXPECT_TRUE(test::GoodCrc(a));
    EXPECT_EQ(a[0], c.Request[0]);
    EXPECT_EQ(a[1], c.Function);
    if (c.Exception >= 0) {
        EXPECT_EQ(a[2], c.Exception);
    }
}

const FrameCase FrameCases[] = {
    {"ShCurrent", ReadRequest(1, 3, 0, 22), 49, 3, -1},
    {"ShCurrentTail", ReadRequest(1, 3, 20, 2), 9, 3, -1},
    {"ShPastCurrent", ReadRequest(1, 3, 0, 23), 5, 0x83, 2},
    {"ShBetweenAreas", ReadRequest(1, 3, 500, 5), 5, 0x83, 2},
    {"ShArchiveRecord", ReadRequest(1, 3, 1500, 5), 15, 3, -1},
    {"ShArchiveTooLong", ReadRequest(1, 3, 1500, 6), 5, 0x83, 2},
    {"ShBeyondHourly", ReadRequest(1, 3, 9181, 5), 5, 0x83, 2},
    {"ShNoHeaders", ReadRequest(1, 67, 10, 1), 5, 0xC3, 1},
    {"DCurrentChunk1", ReadRequest(2, 3, 0, 32), 69, 3, -1},
    {"DCurrentChunk2", ReadRequest(2, 3, 32, 32), 69, 3, -1},
    {"DSettingsLast", ReadRequest(2, 3, 720, 20), 45, 3, -1},
    {"DPastSettings", ReadRequest(2, 3, 730, 20), 5, 0x83, 2},
    {"DGap", ReadRequest(2, 3, 64, 8), 5, 0x83, 2},
    {"DRecordWithoutSelector", ReadRequest(2, 3, 200, 26), 5, 0x83, 3},
    {"DSelector", WriteRequest(2, 0, {0x1803, 0x0E00, 0x0001}), 8, 16, -1},
    {"DSelectorBadMonth", WriteRequest(3, 0, {0x180D, 0x0E00, 0x0001}), 5, 0x90, 3},
    {"DWriteElsewhere", WriteRequest(2, 400, {1, 2}), 5, 0x90, 2},
    {"DKCurrent", ReadRequest(3, 3, 56, 8), 21, 3, -1},
    {"D2Current", ReadRequest(4, 3, 64, 93), 191, 3, -1},
    {"D2Settings", ReadRequest(4, 3, 156, 125), 255, 3, -1},
    {"D2PastSettings", ReadRequest(4, 3, 280, 10), 5, 0x83, 2},
    {"D2Header", ReadRequest(4, 67, 100, 1), 7, 67, -1},
    {"D2HeaderPastRings", ReadRequest(4, 67, 2048, 1), 5, 0xC3, 2},
    {"D2Record", ReadRequest(4, 3, 0, 32), 69, 3, -1},
    {"UnknownFunction", WithCrc({2, 0x11}), 5, 0x91, 1},
    {"ZeroCount", ReadRequest(2, 3, 0, 0), 5, 0x83, 3},
    {"TooMany", ReadRequest(4, 3, 64, 126), 5, 0x83, 3},
    {"NoSuchMeter", ReadRequest(9, 3, 0, 1), 0, 0, -1},
    {"Broadcast", WriteRequest(0, 20, {0x0502}), 0, 0, -1},
};

INSTANTIATE_TEST_SUITE_P(Sim, FrameHandling, ::testing::ValuesIn(FrameCases),
                         [](const auto& row) { return std::string(row.param.Name); });

TEST(FrameHandling, BadCrcGetsNoAnswer) {
    auto bus = MakeBus();
    Bytes f = ReadRequest(1, 3, 0, 22);
    f[7] ^= 1;
    EXPECT_TRUE(bus->Handle(f, Now()).empty());
}

TEST(FrameHandling, CurrentValuesCarryClockAndSerial) {
    auto bus = MakeBus();
    // 2024-03-15 is day 45366 of the program's calendar (36526 + 8840).
    const Bytes sh = bus->Handle(ReadRequest(1, 3, 13, 4), Now())[0].Data;
    const std::vector<u16> regs = test::AnswerRegisters(sh);
    EXPECT_EQ(regs[0], 45366);
    EXPECT_EQ(regs[1], 0x0A00);
    EXPECT_GE(regs[2], 280); // battery, hundredths of a volt
    EXPECT_LE(regs[2], 360);
    EXPECT_EQ(regs[3], 4100);
    // ВИРС-Д2 clock: 153 = year | month << 8, 154 = day | hour << 8, 155 = minute | second << 8.
    const Bytes d2 = bus->Handle(ReadRequest(4, 3, 153, 4), Now())[0].Data;
    const std::vector<u16> clock = test::AnswerRegisters(d2);
    EXPECT_EQ(clock[0], 24 | 3 << 8);
    EXPECT_EQ(clock[1], 15 | 10 << 8);
    EXPECT_EQ(clock[2], 0);
    EXPECT_EQ(clock[3] >> 8, 4); // network address in the high byte of register 156
}

TEST(FrameHandling, ScanFindsFrameLengths) {
    std::size_t len = 0;
    EXPECT_EQ(ScanRequest({1}, len), TFrameScan::Incomplete);
    EXPECT_EQ(ScanRequest(ReadRequest(1, 3, 0, 1), len), TFrameScan::Complete);
    EXPECT_EQ(len, 8u);
    Bytes w = WriteRequest(2, 0, {1, 2, 3});
    EXPECT_EQ(ScanRequest(Bytes(w.begin(), w.begin() + 10), len), TFrameScan::Incomplete);
    EXPECT_EQ(ScanRequest(w, len), TFrameScan::Complete);
    EXPECT_EQ(len, 15u);
    EXPECT_EQ(ScanRequest({1, 0x55, 0}, len), TFrameScan::Unknown);
}

} // namespace
} // namespace virs::sim

namespace virs::sim {
namespace {

// Whatever comes down the line, the bus answers with well-formed frames or not at all.
TEST(FrameHandling, GarbageGetsWellFormedAnswersOrNone) {
    auto bus = MakeBus();
    u64 x = 0x1234567;
    auto next = [&x] {
        x = x * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<u8>(x >> 56);
    };
    int answered = 0;
    for (int i = 0; i < 3000; ++i) {
        Bytes f{static_cast<u8>(next() % 6), static_cast<u8>(i % 3 == 0   ? 16
                                                             : i % 3 == 1 ? 3
                                                                          : 67)};
        const int len = next() % 40;
        for (int k = 0; k < len; ++k)
            f.push_back(next());
        if (i % 2)
            f = WithCrc(f);
        for (const TBurst& b : bus->Handle(f, Now())) {
            EXPECT_TRUE(test::GoodCrc(b.Data));
            EXPECT_EQ(b.Data[0], f[0]);
            ++answered;
        }
    }
    EXPECT_GT(answered, 100);
}

} // namespace
} // namespace virs::sim
