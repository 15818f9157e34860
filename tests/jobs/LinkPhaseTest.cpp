// The connection's phases in the core: idle → connecting → open → closing →
// idle, the node taken at the press, and the station standing still while a
// connection is being made or closed.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "jobs/LinkSession.h"
#include "jobs/StationEdits.h"
#include "tests/link/PtyPair.h"
#include "tests/support/TempFolder.h"

namespace virs {
namespace {

void Station(TProgramState& s, int nodes) {
    for (int k = 0; k < nodes; ++k) {
        TNode node = NewNodeRecord();
        node.NameSlot.Value.Set("N" + std::to_string(k));
        node.ComPort = static_cast<u16>(k + 1);
        node.DeviceCount = 1;
        s.Base.Nodes.push_back(node);
        s.Base.Devices.emplace_back(1, NewDeviceRecord());
    }
}

class TQuietUi final : public TConnectionUi {
public:
    void SetStatus(const std::string&) override {}
    void ShowMessage(TMessageIcon, const std::string& text) override { Messages.push_back(text); }
    bool ButtonDown() override { return true; }
    std::vector<std::string> Messages;
};

// Runs queued main-thread calls at once (nothing is queued on a parked link).
class TDirectCall final : public TMainThreadCall {
public:
    void CallAndWait(std::function<void()> call) override { call(); }
};

// Every structural edit, on a station of three nodes with one device each.
const struct {
    const char* Name;
    std::function<TEditOutcome(TProgramState&)> Edit;
} Edits[] = {
    {"InsertNode", [](TProgramState& s) { return InsertNodeAt(s, 0); }},
    {"InsertDevice", [](TProgramState& s) { return InsertDeviceAt(s, 2, 0); }},
    {"Clone", [](TProgramState& s) { return CloneDeviceAt(s, 2, 0); }},
    {"DeleteOtherNode", [](TProgramState& s) { return DeleteItem(s, 0, NoDevice, false); }},
    {"DeleteDevice", [](TProgramState& s) { return DeleteItem(s, 2, 0, false); }},
    {"MoveOtherNode", [](TProgramState& s) { return MoveItem(s, 2, NoDevice, 0, 0, false); }},
    {"MoveDevice", [](TProgramState& s) { return MoveItem(s, 2, 0, 0, 0, false); }},
};

TEST(LinkPhaseTest, NoEditWhileConnectingOrClosing) {
    for (TLinkPhase phase : {TLinkPhase::Connecting, TLinkPhase::Closing}) {
        for (const auto& c : Edits) {
            SCOPED_TRACE(std::string(c.Name) +
                         (phase == TLinkPhase::Connecting ? " connecting" : " closing"));
            TProgramState s;
            Station(s, 3);
            s.LinkPhase = phase;
            s.LinkNode = 1;
            const std::string before = StationBaseImage(s.Base);
            const TEditOutcome r = c.Edit(s);
            EXPECT_FALSE(r.Done);
            EXPECT_EQ(r.Refusal, RefuseWhileLinkBusy);
            EXPECT_EQ(StationBaseImage(s.Base), before);
            EXPECT_EQ(s.LinkNode, 1);
        }
    }
}

// Open, every edit is allowed again (the connected node's own delete and move
// keep their refusals), and the link follows its node.
TEST(LinkPhaseTest, OpenLinkFollowsItsNode) {
    for (const auto& c : Edits) {
        SCOPED_TRACE(c.Name);
        TProgramState s;
        Station(s, 3);
        s.LinkPhase = TLinkPhase::Open;
        s.LinkOpen = true;
        s.LinkNode = 1;
        EXPECT_TRUE(c.Edit(s).Done);
        EXPECT_EQ(s.Base.Nodes[s.LinkNode].NameSlot.Value.Get(), "N1");
    }
}

TEST(LinkPhaseTest, ConnectTakesTheNodeOfThePress) {
    test::TPty pty;
    test::TTempFolder folder;
    TProgramState s;
    Station(s, 3);
    TDirectCall mainThread;
    TLinkSession session(s, mainThread, folder.Path);
    unsigned opened = 0;
    session.PortOpener = [&](unsigned com) {
        opened = com;
        return OpenSerialPort(pty.SlavePath);
    };
    TQuietUi ui;
    ASSERT_TRUE(session.BeginConnect(2));
    EXPECT_EQ(s.LinkPhase, TLinkPhase::Connecting);
    EXPECT_EQ(s.LinkNode, 2);
    EXPECT_FALSE(session.BeginConnect(0)); // one connection at a time
    // The record was taken at the press: an edit of the node afterwards does
    // not change what is dialled.
    s.Base.Nodes[2].ComPort = 9;
    TConnectOutcome outcome = session.RunConnect(ui);
    EXPECT_EQ(opened, 3u);
    session.FinishConnect(outcome);
    ASSERT_TRUE(outcome.Connected);
    EXPECT_EQ(s.LinkPhase, TLinkPhase::Open);
    EXPECT_TRUE(s.LinkOpen);
    EXPECT_EQ(s.LinkNode, 2);
    EXPECT_FALSE(session.BeginConnect(1));

    ASSERT_TRUE(session.BeginDisconnect());
    EXPECT_EQ(s.LinkPhase, TLinkPhase::Closing);
    EXPECT_FALSE(session.BeginDisconnect());
    session.WaitWorkerEnded();
    const TDisconnectOutcome closed = session.RunDisconnect(ui);
    session.FinishDisconnect(closed);
    EXPECT_TRUE(closed.Closed);
    EXPECT_EQ(s.LinkPhase, TLinkPhase::Idle);
    EXPECT_FALSE(s.LinkOpen);
    EXPECT_FALSE(session.HasPort());
}

// Should the station change under the dialogue after all, the link follows
// its node by identity: after an insert before it, the node's new index; when
// the node is gone, no link at all (the port closed again).
TEST(LinkPhaseTest, TheLinkFollowsItsNodeByIdentity) {
    for (bool deleted : {false, true}) {
        SCOPED_TRACE(deleted ? "deleted" : "moved on by an insert");
        test::TPty pty;
        test::TTempFolder folder;
        TProgramState s;
        Station(s, 3);
        TDirectCall mainThread;
        TLinkSession session(s, mainThread, folder.Path);
        session.PortOpener = [&](unsigned) { return OpenSerialPort(pty.SlavePath); };
        TQuietUi ui;
        ASSERT_TRUE(session.BeginConnect(1));
        TConnectOutcome outcome = session.RunConnect(ui);
        ASSERT_TRUE(outcome.Connected);
        s.LinkPhase = TLinkPhase::Idle; // an edit the refusal did not stop
        s.LinkOpen = false;
        ASSERT_TRUE(deleted ? DeleteItem(s, 1, NoDevice, false).Done : InsertNodeAt(s, 0).Done);
        s.LinkPhase = TLinkPhase::Connecting;
        session.FinishConnect(outcome);
        if (deleted) {
            EXPECT_FALSE(outcome.Connected);
            EXPECT_EQ(outcome.Status, NodeGoneText);
            EXPECT_EQ(s.LinkPhase, TLinkPhase::Idle);
            EXPECT_FALSE(s.LinkOpen);
            EXPECT_FALSE(session.HasPort());
        } else {
            EXPECT_TRUE(outcome.Connected);
            EXPECT_EQ(s.LinkNode, 2);
            EXPECT_EQ(s.Base.Nodes[s.LinkNode].NameSlot.Value.Get(), "N1");
            TQuietUi closing;
            EXPECT_TRUE(session.Disconnect(closing).Closed);
        }
    }
}

// Identities stay with their nodes through inserts, deletes and moves.
TEST(LinkPhaseTest, NodeKeysFollowTheEdits) {
    TProgramState s;
    Station(s, 3);
    const u32 k0 = NodeKeyOf(s, 0), k1 = NodeKeyOf(s, 1), k2 = NodeKeyOf(s, 2);
    EXPECT_NE(k0, k1);
    EXPECT_NE(k1, k2);
    EXPECT_EQ(NodeKeyOf(s, 3), 0u);
    ASSERT_TRUE(InsertNodeAt(s, 1).Done);                    // N0 new N1 N2
    ASSERT_TRUE(MoveItem(s, 3, NoDevice, 0, 0, false).Done); // N2 N0 new N1
    ASSERT_TRUE(DeleteItem(s, 2, NoDevice, false).Done);     // N2 N0 N1
    EXPECT_EQ(NodeWithKey(s, k2), 0);
    EXPECT_EQ(NodeWithKey(s, k0), 1);
    EXPECT_EQ(NodeWithKey(s, k1), 2);
    EXPECT_EQ(s.Base.Nodes[NodeWithKey(s, k1)].NameSlot.Value.Get(), "N1");
    EXPECT_EQ(NodeWithKey(s, 0), -1);
}

TEST(LinkPhaseTest, AFailedConnectReturnsToIdle) {
    test::TTempFolder folder;
    TProgramState s;
    Station(s, 1);
    TDirectCall mainThread;
    TLinkSession session(s, mainThread, folder.Path);
    session.PortOpener = [](unsigned) { return TPortOpenResult{}; };
    TQuietUi ui;
    const TConnectOutcome outcome = session.Connect(0, ui);
    EXPECT_FALSE(outcome.Connected);
    EXPECT_EQ(outcome.Status, "Не удалось открыть порт COM1");
    EXPECT_EQ(s.LinkPhase, TLinkPhase::Idle);
    EXPECT_FALSE(s.LinkOpen);
    // A node that does not exist is not taken.
    EXPECT_FALSE(session.BeginConnect(1));
    EXPECT_EQ(s.LinkPhase, TLinkPhase::Idle);
}

} // namespace
} // namespace virs
