// Cyclic polling and its stop, and closing the link under a running job, with
// the link session in this process and the simulator on a pseudo-terminal.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "jobs/LinkSession.h"
#include "tests/cli/SimHarness.h"
#include "tests/support/RecordingJobUi.h"
#include "tests/support/ScriptedPort.h"

namespace virs::test {
namespace {

class TSilentConnectionUi final : public TConnectionUi {
public:
    void SetStatus(const std::string& text) override { Statuses.push_back(text); }
    void ShowMessage(TMessageIcon, const std::string& text) override { Messages.push_back(text); }
    bool ButtonDown() override { return true; }
    std::vector<std::string> Statuses, Messages;
};

class CyclicTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::filesystem::path ports = Folder.Path / "ports";
        std::filesystem::create_directories(ports);
        setenv("VIRS_PORTS_DIR", ports.c_str(), 1);
        WriteText(Folder.Path / "scenario.json",
                  R"({"seed": 5, "now": "2024-03-15T10:00:00",
                      "sites": [{"name": "A", "devices": [{"type": "ВИРС-Д2", "address": 4}]}],
                      "lines": [{"com": 8, "kind": "direct", "site": "A"}]})");
        TTestNode node;
        node.ComPort = 8;
        node.Retries = 2;
        node.ReplyTimeoutMs = 300;
        node.Devices = {{DeviceVirsD2, 4}};
        State.Base = MakeStation({node});
        State.Base.SelNode = 0;
        State.Base.SelDevice = 0;
    }

    TTempFolder Folder;
    TProgramState State;
    TRecordingJobUi Ui;
    TSilentConnectionUi ConnectionUi;
    TMainThreadQueue MainThread;
};

TEST_F(CyclicTest, PollsUntilStoppedAndTheStopEndsTheRunningJob) {
    TSimProcess sim(Folder.Path / "scenario.json");
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    TLinkSession session(State, MainThread, Ui, Folder.Path);
    ASSERT_TRUE(session.Connect(0, ConnectionUi).Connected);
    ASSERT_TRUE(State.LinkOpen);

    Ui.Cyclic = true;
    CyclicClick(session.Job(), true);
    EXPECT_TRUE(Ui.TimerOn);
    EXPECT_EQ(Ui.Interval, 300 * 2 + 1000);
    EXPECT_EQ(State.JobView, 0);

    // Timer3 ticks: one job per tick; a tick while a job runs starts nothing.
    int started = 1, refused = 0;
    for (int tick = 0; tick < 4; ++tick) {
        if (CyclicTick(session.Job()))
            ++started;
        else
            ++refused;
        ASSERT_TRUE(
            MainThread.RunUntil([&] { return !State.JobRunning; }, std::chrono::seconds(10)));
        EXPECT_EQ(Ui.Statuses.back(), "Завершено успешно");
        EXPECT_FALSE(Ui.StartEnabled); // polling on: the start button stays off
        EXPECT_TRUE(Ui.CyclicEnabled);
    }
    EXPECT_GE(refused, 1); // the first tick came while the first job ran
    EXPECT_GE(started, 4);
    EXPECT_GE(Ui.Renders, started);
    EXPECT_GT(State.Base.Devices[0][0].DataReadAt, 0.0);

    // Released while the next job runs: the job ends with the stop text at its
    // next completion, the timer is off and nothing more starts.
    ASSERT_TRUE(CyclicTick(session.Job()));
    Ui.Cyclic = false;
    CyclicClick(session.Job(), false);
    EXPECT_FALSE(Ui.TimerOn);
    ASSERT_TRUE(MainThread.RunUntil([&] { return !State.JobRunning; }, std::chrono::seconds(10)));
    EXPECT_EQ(Ui.Statuses.back(), "Прервано пользователем");
    EXPECT_TRUE(session.WorkerParked());
    EXPECT_TRUE(Ui.StartEnabled);

    const TDisconnectOutcome closed =
        session.Disconnect(ConnectionUi, [&] { MainThread.RunPending(); });
    EXPECT_TRUE(closed.Closed);
    EXPECT_FALSE(State.LinkOpen);
}

TEST_F(CyclicTest, ClosingTheLinkStopsARunningJobFirst) {
    TSimProcess sim(Folder.Path / "scenario.json", {"--fault", "device=4,kind=silence"});
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    TLinkSession session(State, MainThread, Ui, Folder.Path);
    ASSERT_TRUE(session.Connect(0, ConnectionUi).Connected);
    StartStopClick(session.Job(), true, 0);
    ASSERT_TRUE(State.JobRunning);
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // inside the first read
    const TDisconnectOutcome closed =
        session.Disconnect(ConnectionUi, [&] { MainThread.RunPending(); });
    EXPECT_TRUE(closed.Closed);
    EXPECT_FALSE(State.JobRunning);
    EXPECT_FALSE(State.LinkOpen);
    EXPECT_EQ(Ui.Statuses.back(), "Прервано пользователем");
    EXPECT_EQ(Ui.DeviceImage, 13); // the idle picture of a ВИРС-Д2
    EXPECT_FALSE(Ui.Lamps);
    EXPECT_EQ(State.Base.Devices[0][0].DataReadAt, 0.0);
}

// A port whose first close is refused by the system.
class TStubbornPort final : public test::TOwningForwardingPort {
public:
    using TOwningForwardingPort::TOwningForwardingPort;
    bool Close() override { return Refused++ > 0 && TOwningForwardingPort::Close(); }

private:
    int Refused = 0;
};

TEST_F(CyclicTest, AFailedCloseKeepsTheLinkAndANewPressTakesItUpAgain) {
    TSimProcess sim(Folder.Path / "scenario.json");
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    TLinkSession session(State, MainThread, Ui, Folder.Path);
    session.PortOpener = [](unsigned n) {
        TPortOpenResult r = OpenComPort(n);
        if (r.Port)
            r.Port = std::make_unique<TStubbornPort>(std::move(r.Port));
        return r;
    };
    ASSERT_TRUE(session.Connect(0, ConnectionUi).Connected);
    const auto pump = [&] { MainThread.RunPending(); };
    const TDisconnectOutcome refused = session.Disconnect(ConnectionUi, pump);
    EXPECT_FALSE(refused.Closed);
    EXPECT_EQ(refused.Status, "Не удалось закрыть узел");
    EXPECT_TRUE(State.LinkOpen);
    EXPECT_EQ(session.Worker(), nullptr); // the exchange thread has ended with the close

    // Pressed again: the open port is used as it is, with a new exchange thread.
    session.Reattach();
    ASSERT_NE(session.Worker(), nullptr);
    StartStopClick(session.Job(), true, 0);
    ASSERT_TRUE(MainThread.RunUntil([&] { return !State.JobRunning; }, std::chrono::seconds(10)));
    EXPECT_EQ(Ui.Statuses.back(), "Завершено успешно");
    EXPECT_TRUE(session.Disconnect(ConnectionUi, pump).Closed);
    EXPECT_FALSE(State.LinkOpen);
}

} // namespace
} // namespace virs::test
