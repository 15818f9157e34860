// virs-cli poll against the simulator: the jobs by result code, the node's
// settings overridden for the run only, the process figures, and the stop.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <sstream>

#include "tests/cli/SimHarness.h"

namespace virs::test {
namespace {

class PollTest : public TStationFolderTest {
protected:
    void SetUp() override {
        TStationFolderTest::SetUp();
        WriteText(Folder.Path / "scenario.json",
                  R"({"seed": 7, "now": "2024-03-15T10:00:00",
                      "sites": [{"name": "A", "devices": [{"type": "ВИРС-Д", "address": 2}]}],
                      "lines": [{"com": 7, "kind": "direct", "site": "A"}]})");
        TTestNode node;
        node.ComPort = 7;
        node.Retries = 3;
        node.ReplyTimeoutMs = 3000;
        node.Devices = {{DeviceVirsD, 2}};
        SaveStation(MakeStation({node}), Base);
    }

    std::vector<std::string> PollArgs(std::vector<std::string> extra) {
        std::vector<std::string> args = {"poll",     "--dir", Base.string(), "--node", "0",
                                         "--device", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    // The number after `key=` in the figures line that begins with `line`.
    static long Figure(const std::string& out, const std::string& line, const std::string& key) {
        const std::regex pattern("^" + line + ":.* " + key + "=(-?[0-9]+)");
        std::smatch m;
        long value = -2;
        std::istringstream lines(out);
        for (std::string l; std::getline(lines, l);)
            if (std::regex_search(l, m, pattern))
                value = std::stol(m[1]);
        return value;
    }
};

// Five jobs of two frames each (64 registers in frames of 32); the third
// request on the line, the first frame of the second job, goes unanswered
// and with one attempt per frame that job ends with the time-out.
TEST_F(PollTest, CountsTheJobsByResultAndKeepsTheNodesSettings) {
    TSimProcess sim(Folder.Path / "scenario.json",
                    {"--no-pacing", "--fault", "device=2,kind=silence,on_request=3"});
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    const auto started = std::chrono::steady_clock::now();
    const TRunResult r = RunCli(PollArgs({"--jobs", "5", "--interval", "0", "--timeout", "200",
                                          "--retries", "1", "--report", "1"}),
                                Folder.Path);
    const auto took = std::chrono::steady_clock::now() - started;
    ASSERT_EQ(r.Exit, 0) << r.Err;
    EXPECT_NE(r.Out.find("заданий: 5 за "), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("\n  Завершено успешно (0): 4\n"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("\n  Превышен тайм-аут ожидания ответа (12): 1\n"), std::string::npos)
        << r.Out;
    EXPECT_NE(r.Err.find("Узел закрыт"), std::string::npos) << r.Err;
    // The silent frame cost the 200 ms given, not the node's 3 × 3000 ms.
    EXPECT_LT(took, std::chrono::seconds(6));

    // Threads and descriptors: the exchange thread only while connected, and
    // nothing left after the link. Counted from the figure while connected: a
    // sanitizer's runtime starts a thread of its own with the first thread and
    // keeps it.
    const long threadsBefore = Figure(r.Out, "замер до связи", "потоков");
    const long threadsOnLink = Figure(r.Out, "замер на связи", "потоков");
    EXPECT_GE(threadsBefore, 1) << r.Out;
    EXPECT_GT(threadsOnLink, threadsBefore) << r.Out;
    EXPECT_EQ(Figure(r.Out, "замер после связи", "потоков"), threadsOnLink - 1) << r.Out;
    EXPECT_EQ(Figure(r.Out, "замер после связи", "дескрипторов"),
              Figure(r.Out, "замер до связи", "дескрипторов"))
        << r.Out;
    EXPECT_GT(Figure(r.Out, "замер после связи", "RSS"), 0) << r.Out;

    // The last job's image is stored; the run's time-out and retries are not.
    const StationBase after = LoadStation(Base);
    EXPECT_GT(after.Devices[0][0].DataReadAt, 0.0);
    EXPECT_EQ(after.Nodes[0].ReplyTimeoutMs, 3000);
    EXPECT_EQ(after.Nodes[0].Retries, 3);
    EXPECT_EQ(after.Nodes[0].ComPort, 7);
}

TEST_F(PollTest, CtrlCEndsAnEndlessPollAndClosesTheLink) {
    TSimProcess sim(Folder.Path / "scenario.json", {"--no-pacing"});
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    std::vector<std::string> args = PollArgs({"--interval", "50"});
    args.insert(args.begin(), (BinaryDir() / "cli" / "virs-cli").string());
    const std::string outFile = (Folder.Path / "poll.out").string();
    const std::string errFile = (Folder.Path / "poll.err").string();
    const pid_t pid = SpawnProgram(args, outFile, errFile);
    ASSERT_GT(pid, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ReadText(errFile).find("Соединение с узлом установлено") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        usleep(20000);
    usleep(700000);
    kill(pid, SIGINT);
    int status = 0;
    bool ended = false;
    for (int i = 0; i < 1000 && !ended; ++i) {
        ended = waitpid(pid, &status, WNOHANG) == pid;
        if (!ended)
            usleep(20000);
    }
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    ASSERT_TRUE(ended) << "poll did not end within 20 s of Ctrl+C";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(ReadText(errFile).find("Узел закрыт"), std::string::npos) << ReadText(errFile);
    const std::string out = ReadText(outFile);
    const std::regex jobs("заданий: ([0-9]+) за");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(out, m, jobs)) << out;
    EXPECT_GE(std::stol(m[1]), 2) << out;
    EXPECT_EQ(out.find("(12)"), std::string::npos) << out;
}

} // namespace
} // namespace virs::test
