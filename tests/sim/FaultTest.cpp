// The fault matrix: what each fault puts on the line, and which requests it hits.

#include <gtest/gtest.h>

#include <algorithm>

#include "sim/MeterBus.h"
#include "sim/SimTime.h"
#include "tests/sim/SimTestSupport.h"

namespace virs::sim {
namespace {

using test::ReadRequest;

std::unique_ptr<TMeterBus> BusWith(const TFault& f) {
    auto bus = std::make_unique<TMeterBus>("faults");
    TMeterConfig config;
    config.Kind = TMeterKind::D;
    config.Address = 2;
    bus->AddMeter(MakeMeter(config, 1, 0));
    config.Kind = TMeterKind::Sh;
    config.Address = 1;
    bus->AddMeter(MakeMeter(config, 1, 0));
    bus->Faults().Add(f);
    return bus;
}

struct FaultCase {
    const char* Name;
    TFault Fault;
    // Checks on the bursts against the correct answer.
    void (*Check)(const TReplyPlan& plan, const Bytes& good);
};

TFault F(TFaultKind kind) {
    TFault f;
    f.Kind = kind;
    return f;
}
TFault F(TFaultKind kind, int TFault::*field, int value) {
    TFault f = F(kind);
    f.*field = value;
    return f;
}

const FaultCase FaultCases[] = {
    {"Silence", F(TFaultKind::Silence),
     [](const TReplyPlan& p, const Bytes&) { EXPECT_TRUE(p.empty()); }},
    {"Delay", F(TFaultKind::Delay, &TFault::Ms, 700),
     [](const TReplyPlan& p, const Bytes& good) {
         ASSERT_EQ(p.size(), 1u);
         EXPECT_EQ(p[0].GapBeforeMs, 700);
         EXPECT_EQ(p[0].Data, good);
     }},
    {"WrongAddress", F(TFaultKind::WrongAddress),
     [](const TReplyPlan& p, const Bytes& good) {
         ASSERT_EQ(p.size(), 1u);
         EXPECT_EQ(p[0].Data[0], 3);
         EXPECT_TRUE(test::GoodCrc(p[0].Data)); // a well-formed answer from the wrong meter
         EXPECT_EQ(Bytes(p[0].Data.begin() + 1, p[0].Data.end() - 2),
                   Bytes(good.begin() + 1, good.end() - 2));
     }},
    {"WrongAddressGiven", F(TFaultKind::WrongAddress, &TFault::Address, 77),
     [](const TReplyPlan& p, const Bytes&) { EXPECT_EQ(p[0].Data[0], 77); }},
    {"BadCrc", F(TFaultKind::BadCrc),
     [](const TReplyPlan& p, const Bytes& good) {
         EXPECT_EQ(p[0].Data.size(), good.size());
         EXPECT_FALSE(test::GoodCrc(p[0].Data));
     }},
    {"Exception19", F(TFaultKind::Exception, &TFault::Code, 19),
     [](const TReplyPlan& p, const Bytes&) {
         EXPECT_EQ(p[0].Data, test::WithCrc({2, 0x83, 19}));
     }},
    {"Exception40", F(TFaultKind::Exception, &TFault::Code, 40),
     [](const TReplyPlan& p, const Bytes&) {
         EXPECT_EQ(p[0].Data, test::WithCrc({2, 0x83, 40}));
     }},
    {"Truncate", F(TFaultKind::Truncate, &TFault::Bytes, 3),
     [](const TReplyPlan& p, const Bytes& good) {
         EXPECT_EQ(p[0].Data, Bytes(good.begin(), good.end() - 3));
     }},
    {"LeadingZeros", F(TFaultKind::LeadingZeros, &TFault::Bytes, 2),
     [](const TReplyPlan& p, const Bytes& good) {
         Bytes want{0, 0};
         want.insert(want.end(), good.begin(), good.end());
         EXPECT_EQ(p[0].Data, want);
     }},
    {"TrailingZeros", F(TFaultKind::TrailingZeros, &TFault::Bytes, 3),
     [](const TReplyPlan& p, const Bytes& good) {
         Bytes want = good;
         want.insert(want.end(), 3, 0);
         EXPECT_EQ(p[0].Data, want);
     }},
    {"InnerZeros", F(TFaultKind::InnerZeros, &TFault::At, 4),
     [](const TReplyPlan& p, const Bytes& good) {
         ASSERT_EQ(p[0].Data.size(), good.size() + 1);
         EXPECT_EQ(p[0].Data[4], 0);
         EXPECT_EQ(Bytes(p[0].Data.begin(), p[0].Data.begin() + 4),
                   Bytes(good.begin(), good.begin() + 4));
     }},
    {"Split",
     [] {
         TFault f = F(TFaultKind::Split, &TFault::At, 5);
         f.GapMs = 150;
         return f;
     }(),
     [](const TReplyPlan& p, const Bytes& good) {
         ASSERT_EQ(p.size(), 2u);
         EXPECT_EQ(p[0].Data.size(), 5u);
         EXPECT_EQ(p[1].GapBeforeMs, 150);
         Bytes joined = p[0].Data;
         joined.insert(joined.end(), p[1].Data.begin(), p[1].Data.end());
         EXPECT_EQ(joined, good);
     }},
    {"Noise", F(TFaultKind::Noise, &TFault::Bytes, 12),
     [](const TReplyPlan& p, const Bytes& good) {
         ASSERT_EQ(p[0].Data.size(), 12u);
         EXPECT_NE(p[0].Data, Bytes(good.begin(), good.begin() + 12));
     }},
};

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultMatrix, SpoilsTheAnswerOfTheChosenDeviceOnly) {
    TFault f = GetParam().Fault;
    f.Device = 2;
    auto clean = BusWith(F(TFaultKind::Silence, &TFault::OnRequest, 1000));
    auto bus = BusWith(f);
    const Bytes request = ReadRequest(2, 3, 0, 8);
    const Bytes good = clean->Handle(request, 0)[0].Data;
    GetParam().Check(bus->Handle(request, 0), good);
    // The other meter on the bus answers normally.
    const TReplyPlan other = bus->Handle(ReadRequest(1, 3, 0, 4), 0);
    ASSERT_EQ(other.size(), 1u);
    EXPECT_TRUE(test::GoodCrc(other[0].Data));
    EXPECT_EQ(other[0].Data[0], 1);
}

INSTANTIATE_TEST_SUITE_P(Sim, FaultMatrix, ::testing::ValuesIn(FaultCases),
                         [](const auto& row) { return std::string(row.param.Name); });

TEST(FaultBook, NthRequestForSomeTimes) {
    TFault f = F(TFaultKind::Silence);
    f.Device = 2;
    f.OnRequest = 3;
    f.Times = 2;
    auto bus = BusWith(f);
    std::vector<bool> answered;
    for (int i = 0; i < 6; ++i)
        answered.push_back(!bus->Handle(ReadRequest(2, 3, 0, 1), 0).empty());
    EXPECT_EQ(answered, (std::vector<bool>{true, true, false, false, true, true}));
}

TEST(FaultBook, NthRequestOnTheBusWhenNoDeviceNamed) {
    TFault f = F(TFaultKind::Silence);
    f.OnRequest = 3;
    auto bus = BusWith(f);
    // Requests alternate between the two meters; the third on the bus goes unanswered.
    std::vector<bool> answered;
    for (int i = 0; i < 4; ++i)
        answered.push_back(!bus->Handle(ReadRequest(i % 2 ? 1 : 2, 3, 0, 1), 0).empty());
    EXPECT_EQ(answered, (std::vector<bool>{true, true, false, true}));
}

TEST(FaultBook, AnyDeviceWhenNoneNamed) {
    auto bus = BusWith(F(TFaultKind::BadCrc));
    for (u8 a : {1, 2})
        EXPECT_FALSE(test::GoodCrc(bus->Handle(ReadRequest(a, 3, 0, 1), 0)[0].Data)) << int(a);
}

// Two rules of 10 per mille each over 20 000 requests: each spoils about 200
// (binomial, standard deviation about 14; the bounds are four of them), the
// same requests on every run, and a rule limited to a window of requests
// spoils nothing outside it.
TEST(FaultBook, PerMilleRulesSpoilAboutTheirShareTheSameWayEveryRun) {
    TFault silent = F(TFaultKind::Silence);
    silent.Permille = 10;
    TFault crc = F(TFaultKind::BadCrc);
    crc.Permille = 10;
    const auto run = [&] {
        auto bus = BusWith(silent);
        bus->Faults().Add(crc);
        std::vector<int> outcome; // 0 good, 1 silent, 2 bad CRC
        for (int i = 0; i < 20000; ++i) {
            const auto plan = bus->Handle(ReadRequest(2, 3, 0, 1), 0);
            outcome.push_back(plan.empty() ? 1 : test::GoodCrc(plan[0].Data) ? 0 : 2);
        }
        return outcome;
    };
    const std::vector<int> first = run();
    const auto silentCount = std::count(first.begin(), first.end(), 1);
    const auto crcCount = std::count(first.begin(), first.end(), 2);
    EXPECT_GE(silentCount, 144);
    EXPECT_LE(silentCount, 256);
    EXPECT_GE(crcCount, 142);
    EXPECT_LE(crcCount, 254);
    EXPECT_EQ(run(), first);

    TFault window = F(TFaultKind::Silence);
    window.Permille = 1000;
    window.Device = 2;
    window.OnRequest = 5;
    window.Times = 3;
    auto bus = BusWith(window);
    std::vector<bool> answered;
    for (int i = 0; i < 9; ++i)
        answered.push_back(!bus->Handle(ReadRequest(2, 3, 0, 1), 0).empty());
    EXPECT_EQ(answered,
              (std::vector<bool>{true, true, true, true, false, false, false, true, true}));
}

} // namespace
} // namespace virs::sim
