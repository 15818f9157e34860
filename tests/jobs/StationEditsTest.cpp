// Station edits with a connected node and a job: the connected node and the
// job's node and device stay on the same records through inserts, clones,
// deletes and moves, and what must be refused is refused with its text.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "jobs/StationEdits.h"

namespace virs {
namespace {

// Nodes named N0, N1, N2 with 2, 3 and 1 devices named N<k>D<d>.
void Station(TProgramState& s) {
    const int counts[] = {2, 3, 1};
    for (int k = 0; k < 3; ++k) {
        TNode node = NewNodeRecord();
        node.NameSlot.Value.Set("N" + std::to_string(k));
        node.DeviceCount = static_cast<u8>(counts[k]);
        s.Base.Nodes.push_back(node);
        s.Base.Devices.emplace_back();
        for (int d = 0; d < counts[k]; ++d) {
            TDevice dev = NewDeviceRecord();
            dev.DeviceType = DeviceVirsD;
            dev.NameSlot.Value.Set("N" + std::to_string(k) + "D" + std::to_string(d));
            s.Base.Devices.back().push_back(dev);
        }
    }
    s.LinkOpen = true;
    s.LinkNode = 1;
    s.JobNode = 1;
    s.JobDevice = 1; // N1D1
}

std::string LinkName(const TProgramState& s) {
    return s.Base.Nodes[s.LinkNode].NameSlot.Value.Get();
}
std::string JobName(const TProgramState& s) {
    const TDevice* d = s.Base.Device(s.JobNode, s.JobDevice);
    return d ? d->NameSlot.Value.Get() : "";
}

TEST(StationEditsTest, LinkAndJobFollowTheirRecords) {
    struct TCase {
        const char* Name;
        std::function<TEditOutcome(TProgramState&)> Edit;
    };
    const TCase cases[] = {
        {"InsertNodeBefore", [](TProgramState& s) { return InsertNodeAt(s, 0); }},
        {"InsertNodeAtLinkNode", [](TProgramState& s) { return InsertNodeAt(s, 1); }},
        {"InsertNodeAfter", [](TProgramState& s) { return InsertNodeAt(s, 2); }},
        {"InsertDeviceBeforeJob", [](TProgramState& s) { return InsertDeviceAt(s, 1, 0); }},
        {"InsertDeviceAtJob", [](TProgramState& s) { return InsertDeviceAt(s, 1, 1); }},
        {"InsertDeviceAfterJob", [](TProgramState& s) { return InsertDeviceAt(s, 1, 2); }},
        {"InsertDeviceOtherNode", [](TProgramState& s) { return InsertDeviceAt(s, 0, 0); }},
        {"CloneBeforeJob", [](TProgramState& s) { return CloneDeviceAt(s, 1, 0); }},
        {"CloneJobDevice", [](TProgramState& s) { return CloneDeviceAt(s, 1, 1); }},
        {"DeleteNodeBefore", [](TProgramState& s) { return DeleteItem(s, 0, NoDevice, false); }},
        {"DeleteNodeAfter", [](TProgramState& s) { return DeleteItem(s, 2, NoDevice, false); }},
        {"DeleteDeviceBeforeJob", [](TProgramState& s) { return DeleteItem(s, 1, 0, false); }},
        {"DeleteDeviceAfterJob", [](TProgramState& s) { return DeleteItem(s, 1, 2, false); }},
        {"MoveNodeFromBeforeToAfter",
         [](TProgramState& s) { return MoveItem(s, 0, NoDevice, 2, 2, false); }},
        {"MoveNodeFromAfterToBefore",
         [](TProgramState& s) { return MoveItem(s, 2, NoDevice, 0, 0, false); }},
        {"MoveJobDeviceDown", [](TProgramState& s) { return MoveItem(s, 1, 1, 1, 2, false); }},
        {"MoveDeviceOverJob", [](TProgramState& s) { return MoveItem(s, 1, 2, 1, 0, false); }},
        {"MoveJobDeviceAway", [](TProgramState& s) { return MoveItem(s, 1, 1, 0, 0, false); }},
        {"MoveDeviceOutBeforeJob", [](TProgramState& s) { return MoveItem(s, 1, 0, 2, 0, false); }},
        {"MoveDeviceInBeforeJob", [](TProgramState& s) { return MoveItem(s, 0, 0, 1, 0, false); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TProgramState s;
        Station(s);
        const TEditOutcome r = c.Edit(s);
        EXPECT_TRUE(r.Done) << r.Refusal;
        EXPECT_EQ(LinkName(s), "N1");
        EXPECT_EQ(JobName(s), "N1D1");
    }
}

TEST(StationEditsTest, RefusalsLeaveTheStationAlone) {
    struct TCase {
        const char* Name;
        std::function<TEditOutcome(TProgramState&)> Edit;
        const char* Refusal;
    };
    const TCase cases[] = {
        {"DeleteConnectedNode", [](TProgramState& s) { return DeleteItem(s, 1, NoDevice, false); },
         RefuseDeleteLinkNode},
        {"MoveConnectedNode",
         [](TProgramState& s) { return MoveItem(s, 1, NoDevice, 0, 0, false); },
         RefuseMoveLinkNode},
        {"DeleteWhileJob", [](TProgramState& s) { return DeleteItem(s, 0, 0, true); },
         RefuseWhilePolling},
        {"MoveWhileJob", [](TProgramState& s) { return MoveItem(s, 0, 0, 0, 1, true); },
         RefuseWhilePolling},
        {"DeleteJobDeviceWhileRunning",
         [](TProgramState& s) {
             s.JobRunning = true;
             return DeleteItem(s, 1, 1, false);
         },
         RefuseWhilePolling},
        {"BadIndex", [](TProgramState& s) { return InsertNodeAt(s, 9); },
         ModelStatusText(TModelStatus::BadIndex)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TProgramState s;
        Station(s);
        const std::string before = StationBaseImage(s.Base);
        const TEditOutcome r = c.Edit(s);
        EXPECT_FALSE(r.Done);
        EXPECT_EQ(r.Refusal, c.Refusal);
        EXPECT_EQ(StationBaseImage(s.Base), before);
        EXPECT_EQ(s.LinkNode, 1);
        EXPECT_EQ(s.JobDevice, 1);
    }
}

// A closed link keeps no node: deleting the node that was connected last is
// allowed and LinkNode is left alone.
TEST(StationEditsTest, ClosedLinkRefusesNothing) {
    TProgramState s;
    Station(s);
    s.LinkOpen = false;
    EXPECT_TRUE(DeleteItem(s, 1, NoDevice, false).Done);
    EXPECT_EQ(s.Base.NodeCount(), 2);
    EXPECT_EQ(s.LinkNode, 1);
}

TEST(StationEditsTest, DeviceLookup) {
    TProgramState s;
    Station(s);
    EXPECT_EQ(s.Base.Device(2, 0)->NameSlot.Value.Get(), "N2D0");
    EXPECT_EQ(s.Base.Device(2, 1), nullptr);
    EXPECT_EQ(s.Base.Device(3, 0), nullptr);
    EXPECT_EQ(s.Base.Device(-1, 0), nullptr);
    EXPECT_EQ(s.Base.Device(0, NoDevice), nullptr);
    EXPECT_EQ(s.Base.Device(0, -1), nullptr);
}

} // namespace
} // namespace virs
