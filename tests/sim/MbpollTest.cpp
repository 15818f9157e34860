// An independent master reads the current values of every type over the
// pseudo-terminal: mbpoll must see what the scenario (fixed now + seed) predicts.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

#include "sim/MeterD.h"
#include "sim/Station.h"
#include "tests/sim/SimTestSupport.h"

namespace virs::sim {
namespace {

const char* const ScenarioText = R"({
  "seed": 2024, "now": "2024-03-15T10:00:00",
  "lines": [ {"devices": [
    {"type": "ВИРС-Ш", "address": 11, "serial": 3101},
    {"type": "ВИРС-Д", "address": 12, "serial": 3102, "scale_codes": [2, 2, 3, 3]},
    {"type": "ВИРС-ДК", "address": 13, "serial": 3103, "flows": [12.5, 30, 8, 4]},
    {"type": "ВИРС-Д2", "address": 14, "serial": 3104, "channel_scheme": 3}
  ]} ] })";

bool HaveMbpoll() {
    return std::system("mbpoll -V > /dev/null 2>&1") == 0;
}

// "[n]: \tvalue" lines of mbpoll, by reference number.
std::map<int, std::string> Mbpoll(const std::string& port, int address, int start, int count,
                                  const char* type) {
    std::ostringstream cmd;
    cmd << "mbpoll -m rtu -b 19200 -P none -s 1 -o 2 -1 -0 -a " << address << " -r " << start
        << " -c " << count << " -t " << type << " " << port << " 2>&1";
    std::map<int, std::string> values;
    FILE* p = popen(cmd.str().c_str(), "r");
    if (!p)
        return values;
    char line[256];
    while (std::fgets(line, sizeof line, p)) {
        int ref = 0;
        char value[64];
        if (std::sscanf(line, "[%d]: %63s", &ref, value) == 2)
            values[ref] = value;
    }
    pclose(p);
    return values;
}

class SimMbpoll : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveMbpoll())
            GTEST_SKIP() << "mbpoll is not installed";
        std::string error;
        ASSERT_TRUE(ParseScenario(ScenarioText, "mbpoll.json", Scenario, error)) << error;
        Station = std::make_unique<TSimStation>(Scenario, Log, true);
        ASSERT_TRUE(Station->Open({}, false, error)) << error;
        Station->Start();
        Port = Station->Line(0).Pty().SlavePath();
    }
    // The same meter built afresh from the scenario predicts the registers.
    std::unique_ptr<TSimMeter> Predict(int index) const {
        return MakeMeter(Scenario.Sites[0].Meters[index], Scenario.Seed, *Scenario.Now);
    }
    TScenario Scenario;
    TSimLog Log;
    std::unique_ptr<TSimStation> Station;
    std::string Port;
};

struct Block {
    int Index, Address, Start, Count;
};

TEST_F(SimMbpoll, CurrentValueRegistersOfEveryType) {
    for (const Block& b :
         {Block{0, 11, 0, 22}, Block{1, 12, 0, 64}, Block{2, 13, 0, 64}, Block{3, 14, 64, 93}}) {
        std::vector<u16> expected;
        ASSERT_EQ(Predict(b.Index)->ReadRegisters(static_cast<u16>(b.Start),
                                                  static_cast<u16>(b.Count), *Scenario.Now,
                                                  expected),
                  0);
        const auto got = Mbpoll(Port, b.Address, b.Start, b.Count, "4");
        ASSERT_EQ(got.size(), static_cast<std::size_t>(b.Count)) << "address " << b.Address;
        for (int i = 0; i < b.Count; ++i)
            EXPECT_EQ(std::stoul(got.at(b.Start + i)), expected[i])
                << "address " << b.Address << " register " << b.Start + i;
    }
}

TEST_F(SimMbpoll, FloatsAndCountersAsTheTablesDescribe) {
    // ВИРС-ДК flows F1..F4 at registers 40..47 as floats, low word first.
    const auto meter = Predict(2);
    const auto flows = Mbpoll(Port, 13, 40, 4, "4:float");
    ASSERT_EQ(flows.size(), 4u);
    for (int k = 0; k < 4; ++k) {
        const double want = MeasuredFlow(meter->Channel(k), *Scenario.Now);
        EXPECT_NEAR(std::stod(flows.at(40 + 2 * k)), want, std::abs(want) * 1e-5) << k;
    }
    EXPECT_NEAR(meter->Channel(0).BaseFlow, 12.5, 1e-9);
    // ВИРС-Д counters V1..-B2 at registers 0..15 as 32-bit integers.
    auto* d = dynamic_cast<TMeterD*>(Predict(1).release());
    ASSERT_NE(d, nullptr);
    std::unique_ptr<TMeterD> owner(d);
    u32 counters[8];
    d->CounterReadings(*Scenario.Now, counters);
    const auto ints = Mbpoll(Port, 12, 0, 8, "4:int");
    ASSERT_EQ(ints.size(), 8u);
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(std::stoll(ints.at(2 * k)), counters[k]) << k;
    // V1 in tenths of a cubic metre: within a count of the volume since commissioning.
    EXPECT_NEAR(counters[0], VolumeSince(*d, 0, *Scenario.Now) * 10, 1);
    // ВИРС-Ш serial number and clock registers straight from the scenario.
    const auto sh = Mbpoll(Port, 11, 13, 4, "4");
    EXPECT_EQ(sh.at(13), "45366");
    EXPECT_EQ(sh.at(14), "2560"); // 10:00
    EXPECT_EQ(sh.at(16), "3101");
}

} // namespace
} // namespace virs::sim
