// The demo station: base.dat from make-demo and the demo scenario agree, so
// every node reaches its meters through the simulator.

#include <gtest/gtest.h>

#include <cstdlib>

#include "model/StationBase.h"
#include "sim/Scenario.h"
#include "tests/sim/SimTestSupport.h"

namespace virs::sim {
namespace {

TEST(DemoStation, BaseMatchesTheDemoScenario) {
    test::TempFolder dir;
    const std::string cmd =
        std::string(VIRS_CLI_EXE) + " make-demo " + dir.Path().string() + " --com 150 > /dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    // A second run keeps what is there.
    EXPECT_NE(std::system((cmd + " 2>&1").c_str()), 0);

    StationBase base;
    TStationFileGuard guard;
    ASSERT_EQ(LoadStationBase(base, guard, dir.Path()).Outcome, TLoadOutcome::Loaded);
    TScenario sc;
    std::string error;
    const std::string root = std::getenv("VIRS_SOURCE_DIR") ? std::getenv("VIRS_SOURCE_DIR") : ".";
    ASSERT_TRUE(LoadScenario(root + "/sim/scenarios/demo.json", sc, error)) << error;
    ASSERT_EQ(base.NodeCount(), 3);
    ASSERT_EQ(sc.Lines.size(), 3u);
    for (int n = 0; n < 3; ++n) {
        const TNode& node = base.Nodes[n];
        const TLineConfig& line = sc.Lines[n];
        EXPECT_EQ(node.LinkType, n);
        EXPECT_EQ(node.ComPort, 150 + n);
        EXPECT_EQ(line.Modem, n != 0);
        std::string site = line.Site;
        if (line.Modem) {
            EXPECT_EQ(line.ModemConfig.Gsm, n == 2);
            EXPECT_EQ(line.ModemConfig.Baud, BaudRates[node.BaudIndex]);
            for (const TPhoneEntry& e : line.ModemConfig.PhoneBook)
                if (e.Number == node.Phone.Get()) {
                    EXPECT_EQ(e.Outcome, TDialOutcome::Connect);
                    site = e.Site;
                }
        }
        const TSiteConfig* config = nullptr;
        for (const TSiteConfig& s : sc.Sites)
            if (s.Name == site)
                config = &s;
        ASSERT_NE(config, nullptr) << "node " << n << " reaches no site";
        ASSERT_EQ(base.DeviceCount(n), 4);
        for (int d = 0; d < 4; ++d) {
            bool found = false;
            for (const TMeterConfig& m : config->Meters)
                found |= m.Address == base.Devices[n][d].NetAddress &&
                         static_cast<int>(m.Kind) == base.Devices[n][d].DeviceType;
            EXPECT_TRUE(found) << "node " << n << " device " << d;
        }
    }
}

} // namespace
} // namespace virs::sim
