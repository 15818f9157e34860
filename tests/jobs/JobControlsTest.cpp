// The rules of the job buttons as plain functions of the program state: after
// a job (the completion handler's steps 6 and 7) and the window's own rule
// after a change of the selection or the link.

#include <gtest/gtest.h>

#include "jobs/JobControls.h"

namespace virs {
namespace {

// Two nodes: node 0 with a ВИРС-Д and a device that is off, node 1 with a
// ВИРС-Ш. Node 0 is connected; the job ran on node 0 device 0.
void Station(TProgramState& s) {
    for (const auto& types : {std::vector<TDeviceType>{DeviceVirsD, DeviceOff},
                              std::vector<TDeviceType>{DeviceVirsSh}}) {
        TNode node = NewNodeRecord();
        node.DeviceCount = static_cast<u8>(types.size());
        s.Base.Nodes.push_back(node);
        s.Base.Devices.emplace_back();
        for (TDeviceType t : types) {
            TDevice d = NewDeviceRecord();
            d.DeviceType = t;
            s.Base.Devices.back().push_back(d);
        }
    }
    s.LinkOpen = true;
    s.LinkNode = 0;
    s.JobNode = 0;
    s.JobDevice = 0;
}

struct TAfterCase {
    const char* Name;
    int Node, Device; // the selection
    bool LinkOpen, CyclicDown;
    bool CyclicEnabled, StartEnabled;
};

TEST(JobControlsTest, ButtonsAfterAJob) {
    const TAfterCase cases[] = {
        {"OwnDevice", 0, 0, true, false, true, true},
        {"DeviceOff", 0, 1, true, false, false, false},
        {"OtherNode", 1, 0, true, false, false, false},
        {"NodeRow", 0, NoDevice, true, false, false, false},
        {"LinkClosed", 0, 0, false, false, false, false},
        {"PollingOwnDevice", 0, 0, true, true, true, false},
        {"PollingOtherDevice", 1, 0, true, true, false, false},
        {"PollingDeviceOff", 0, 1, true, true, false, false},
        {"NoSuchDevice", 0, 7, true, false, false, false},
        {"NoSuchNode", 5, 0, true, false, false, false},
    };
    for (const TAfterCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TProgramState s;
        Station(s);
        s.Base.SelNode = static_cast<u8>(c.Node);
        s.Base.SelDevice = static_cast<u8>(c.Device);
        s.LinkOpen = c.LinkOpen;
        const TJobButtons b = ButtonsAfterJob(s, c.CyclicDown);
        EXPECT_FALSE(b.StartDown);
        EXPECT_EQ(b.CyclicEnabled, c.CyclicEnabled);
        EXPECT_EQ(b.StartEnabled, c.StartEnabled);
    }
}

struct TPollCase {
    const char* Name;
    int Node, Device;
    TButtonFacts Facts;
    bool CyclicEnabled, StartEnabled;
};

TEST(JobControlsTest, TheWindowsRuleForASelection) {
    const TButtonFacts idle{true, true, false, false};
    const TButtonFacts busy{true, false, false, true};   // a job runs, its stop button down
    const TButtonFacts polling{true, true, true, false}; // polling on, between jobs
    const TPollCase cases[] = {
        {"IdleOnConnectedNode", 0, 0, idle, true, true},
        {"IdleDeviceOff", 0, 1, idle, false, false},
        {"IdleOtherNode", 1, 0, idle, false, false},
        {"IdleNodeRow", 0, NoDevice, idle, false, false},
        {"NoController", 0, 0, {false, true, false, false}, false, false},
        // While a job runs the stop button stays reachable on its device only.
        {"BusyOwnDevice", 0, 0, busy, false, true},
        {"BusyOtherDevice", 1, 0, busy, false, false},
        {"PollingOwnDevice", 0, 0, polling, true, false},
        {"PollingOtherDevice", 1, 0, polling, false, false},
    };
    for (const TPollCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TProgramState s;
        Station(s);
        s.Base.SelNode = static_cast<u8>(c.Node);
        s.Base.SelDevice = static_cast<u8>(c.Device);
        const TJobButtons b = PollButtons(s, c.Facts);
        EXPECT_EQ(b.CyclicEnabled, c.CyclicEnabled);
        EXPECT_EQ(b.StartEnabled, c.StartEnabled);
        EXPECT_EQ(b.StartDown, c.Facts.StartDown);
    }
    TProgramState closed;
    Station(closed);
    closed.LinkOpen = false;
    closed.Base.SelDevice = 0;
    const TJobButtons b = PollButtons(closed, idle);
    EXPECT_FALSE(b.CyclicEnabled);
    EXPECT_FALSE(b.StartEnabled);
}

} // namespace
} // namespace virs
