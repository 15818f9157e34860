// virs-cli collect against the simulator: a station of five nodes on four
// lines (three direct, one dial-up shared by two nodes) with a silent meter, a
// busy number and a time-out in the middle of an archive; the second run of
// --since last; the station lock.

#include <gtest/gtest.h>

#include <chrono>

#include <nlohmann/json.hpp>

#include "tests/cli/SimHarness.h"
#include "workbook/Workbook.h"

namespace virs::test {
namespace {

constexpr const char* Now = "2024-03-15T10:00:00";
constexpr const char* TimeOut = "Превышен тайм-аут ожидания ответа";
constexpr const char* Success = "Завершено успешно";

// Four direct lines (COM21..24) and a dial-up line (COM25). The ВИРС-Ш of site
// A never answers; the ВИРС-Ш of site B answers its current values and the
// first of the three archive records, then falls silent.
std::string Scenario() {
    return R"({"seed": 5, "now": ")" + std::string(Now) + R"(", "pacing": false,
      "sites": [
        {"name": "A", "devices": [{"type": "ВИРС-Д", "address": 2, "serial": 1},
                                  {"type": "ВИРС-Ш", "address": 1, "serial": 2}],
         "faults": [{"kind": "silence", "device": 1}]},
        {"name": "B", "devices": [{"type": "ВИРС-Ш", "address": 1, "serial": 3}],
         "faults": [{"kind": "silence", "device": 1, "on_request": 3, "times": 1000}]},
        {"name": "C", "devices": [{"type": "ВИРС-Д2", "address": 4, "serial": 4}]},
        {"name": "D", "devices": [{"type": "ВИРС-ДК", "address": 3, "serial": 5}]},
        {"name": "E", "devices": [{"type": "ВИРС-Д", "address": 2, "serial": 6}]}],
      "lines": [
        {"com": 21, "kind": "direct", "site": "A"},
        {"com": 22, "kind": "direct", "site": "B"},
        {"com": 23, "kind": "direct", "site": "C"},
        {"com": 24, "kind": "direct", "site": "D"},
        {"com": 25, "kind": "modem", "modem": {"type": "dialup", "baud": 9600, "echo": false,
          "phone_book": [{"number": "100", "outcome": "connect", "site": "E", "delay_ms": 300},
                         {"number": "200", "outcome": "busy", "delay_ms": 300},
                         {"number": "300", "outcome": "connect", "site": "E",
                          "delay_ms": 600000}]}}]})";
}

class CollectTest : public TStationFolderTest {
protected:
    void SetUp() override {
        TStationFolderTest::SetUp();
        TTestNode a, b, c, e, busy;
        a.ComPort = 21;
        a.Devices = {{DeviceVirsD, 2}, {DeviceVirsSh, 1}};
        b.ComPort = 22;
        b.Devices = {{DeviceVirsSh, 1}};
        c.ComPort = 23;
        c.Devices = {{DeviceVirsD2, 4}};
        e.ComPort = 25;
        e.LinkType = LinkDialUp;
        e.Phone = "100";
        e.ReplyTimeoutMs = 2000;
        e.Devices = {{DeviceVirsD, 2}};
        busy = e;
        busy.Phone = "200";
        SaveStation(MakeStation({a, b, c, e, busy}), Base);
        WriteText(Folder.Path / "scenario.json", Scenario());
    }
    TRunResult Collect(std::vector<std::string> extra) {
        std::vector<std::string> a = {"collect",
                                      "--dir",
                                      Base.string(),
                                      "--now",
                                      Now,
                                      "--summary",
                                      (Folder.Path / "summary.json").string()};
        a.insert(a.end(), extra.begin(), extra.end());
        return RunCli(a, Folder.Path);
    }
    nlohmann::json Summary() {
        return nlohmann::json::parse(ReadText(Folder.Path / "summary.json"));
    }
    // The summary entry of (node, device, what); null when there is none.
    static nlohmann::json Entry(const nlohmann::json& s, int node, int device,
                                const std::string& what) {
        for (const nlohmann::json& e : s["entries"])
            if (e["node"] == node && e["what"] == what &&
                (device < 0 ? e["device"].is_null() : e["device"] == device))
                return e;
        return nullptr;
    }
};

struct TExpected {
    int Node, Device;
    const char* What;
    bool Ok;
    const char* Outcome;
};

TEST_F(CollectTest, EveryOtherDeviceIsReadAndTheFailuresAreListed) {
    TSimProcess sim(Folder.Path / "scenario.json");
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    const TRunResult r =
        Collect({"--since", "2024-03-10", "--to", "2024-03-12", "--parallel", "3"});
    EXPECT_EQ(r.Exit, 1) << r.Err;
    const nlohmann::json s = Summary();
    EXPECT_FALSE(s["ok"].get<bool>());
    const TExpected expected[] = {
        {0, 0, "текущие", true, Success},
        {0, 0, "параметры", true, Success},
        {0, 0, "архив", true, Success},
        {0, 1, "текущие", false, TimeOut}, // the silent meter
        {0, 1, "архив", false, TimeOut},
        {1, 0, "текущие", true, Success},
        {1, 0, "архив", false, TimeOut}, // silent from its third request on
        {2, 0, "текущие", true, Success},
        {2, 0, "параметры", true, Success},
        {2, 0, "архив", true, Success},
        {3, 0, "текущие", true, Success},
        {3, 0, "параметры", true, Success},
        {3, 0, "архив", true, Success},
        {4, -1, "соединение", false, "Абонент занят. / COM25"},
    };
    for (const TExpected& x : expected) {
        const nlohmann::json e = Entry(s, x.Node, x.Device, x.What);
        ASSERT_FALSE(e.is_null()) << x.Node << "/" << x.Device << " " << x.What << "\n" << r.Err;
        EXPECT_EQ(e["ok"].get<bool>(), x.Ok) << x.Node << "/" << x.Device << " " << x.What;
        EXPECT_EQ(e["outcome"].get<std::string>(), x.Outcome)
            << x.Node << "/" << x.Device << " " << x.What;
    }
    EXPECT_EQ(s["entries"].size(), std::size(expected)) << s.dump(1);
    // Rows: ВИРС-Д and ВИРС-ДК one per day of 10..12 March; the ВИРС-Ш of
    // node 1 kept what it read before the time-out (one record, if valid).
    EXPECT_EQ(Entry(s, 0, 0, "архив")["rows"], 3);
    EXPECT_EQ(Entry(s, 3, 0, "архив")["rows"], 3);
    const int cut = Entry(s, 1, 0, "архив")["rows"];
    EXPECT_GE(cut, 0);
    EXPECT_LE(cut, 1);
    // Progress, the table, the stored images of every node, the node logs.
    EXPECT_NE(r.Err.find("Выполнено..."), std::string::npos) << r.Err;
    EXPECT_NE(r.Out.find("Абонент занят."), std::string::npos) << r.Out;
    const StationBase stored = LoadStation(Base);
    for (int node : {0, 1, 2, 3})
        EXPECT_GT(stored.Devices[node][0].DataReadAt, 0) << node;
    EXPECT_EQ(stored.Devices[0][1].DataReadAt, 0);
    for (int node : {0, 1, 2, 3})
        EXPECT_TRUE(std::filesystem::exists(
            Base / ("ModBus_protocol_node" + std::to_string(node) + ".txt")))
            << node;
    EXPECT_FALSE(std::filesystem::exists(Base / "ModBus_protocol.txt"));
    EXPECT_FALSE(std::filesystem::exists(Base / "base.lock"));
}

TEST_F(CollectTest, SinceLastReadsOnlyTheNewDays) {
    TSimProcess sim(Folder.Path / "scenario.json");
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    const std::vector<std::string> nodes = {"--nodes", "0,3", "--what", "archives"};
    std::vector<std::string> first = nodes;
    first.insert(first.end(), {"--since", "2024-03-08", "--to", "2024-03-11"});
    const TRunResult r1 = Collect(first);
    // The silent ВИРС-Ш of node 0 fails; the ВИРС-Д of node 0 and the ВИРС-ДК of node 3 read.
    EXPECT_EQ(r1.Exit, 1) << r1.Err;
    EXPECT_EQ(Entry(Summary(), 0, 0, "архив")["rows"], 4);
    std::vector<std::string> second = nodes;
    second.insert(second.end(), {"--since", "last", "--parallel", "2"});
    const TRunResult r2 = Collect(second);
    EXPECT_EQ(r2.Exit, 1) << r2.Err;
    // From the day after the last row (11 March) up to today, 15 March.
    EXPECT_NE(r2.Err.find("прибор 0 «прибор 1», архив: с 2024-03-12 по 2024-03-15"),
              std::string::npos)
        << r2.Err;
    const nlohmann::json s = Summary();
    EXPECT_EQ(Entry(s, 0, 0, "архив")["rows"], 4);
    EXPECT_EQ(Entry(s, 3, 0, "архив")["rows"], 4);
    TWorkbook xls;
    ASSERT_TRUE(xls.Read((Base / LoadStation(Base).Devices[0][0].ArchiveFile.Get()).string()).Ok);
    EXPECT_EQ(xls.GetNumber(SheetDays, 0, 8), 45363.0); // 12.03.2024
    // A third run finds nothing new and succeeds for the devices that answer.
    std::vector<std::string> third = {"--nodes", "3", "--what", "archives"};
    const TRunResult r3 = Collect(third);
    EXPECT_EQ(r3.Exit, 0) << r3.Err;
    EXPECT_EQ(Entry(Summary(), 3, 0, "архив")["outcome"], "новых дней нет");
}

// The hourly sheet: a day read to its last hour is done; a day read up to the
// hour of the run (today, 10:00) is read again from its start.
TEST_F(CollectTest, HourlySinceLastGoesOnWithAnOpenDay) {
    TSimProcess sim(Folder.Path / "scenario.json");
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    struct TCase {
        const char* Since;
        const char* To;
        const char* Next; // the range of the following --since last run
    } cases[] = {
        {"2024-03-13", "2024-03-13", "с 2024-03-14 по 2024-03-15"},
        {"2024-03-15", "2024-03-15", "с 2024-03-15 по 2024-03-15"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Since);
        const std::vector<std::string> common = {"--nodes",  "0",      "--what",
                                                 "archives", "--kind", "hourly"};
        std::vector<std::string> first = common;
        first.insert(first.end(), {"--since", c.Since, "--to", c.To});
        const TRunResult r1 = Collect(first);
        EXPECT_EQ(Entry(Summary(), 0, 0, "архив")["outcome"], Success) << r1.Err;
        const TRunResult r2 = Collect(common);
        EXPECT_NE(r2.Err.find(std::string("прибор 0 «прибор 1», архив: ") + c.Next),
                  std::string::npos)
            << r2.Err;
    }
}

TEST_F(CollectTest, CtrlCStopsTheJobsKeepsTheRowsAndHangsUp) {
    TSimProcess sim(Folder.Path / "scenario.json");
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    // Two long hourly walks at once, one on a direct line, one over the modem.
    std::vector<std::string> args = {(BinaryDir() / "cli" / "virs-cli").string(),
                                     "collect",
                                     "--dir",
                                     Base.string(),
                                     "--now",
                                     Now,
                                     "--nodes",
                                     "0,3",
                                     "--what",
                                     "archives",
                                     "--kind",
                                     "hourly",
                                     "--since",
                                     "2024-03-01",
                                     "--parallel",
                                     "2",
                                     "--summary",
                                     (Folder.Path / "summary.json").string()};
    const std::string errFile = (Folder.Path / "stop.err").string();
    const pid_t pid = SpawnProgram(args, "/dev/null", errFile);
    ASSERT_GT(pid, 0);
    const std::string direct = "узел 0 «узел 1»: прибор 0 «прибор 1», архив: Выполнено...";
    const std::string modem = "узел 3 «узел 4»: прибор 0 «прибор 1», архив: Выполнено...";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((ReadText(errFile).find(direct) == std::string::npos ||
            ReadText(errFile).find(modem) == std::string::npos) &&
           std::chrono::steady_clock::now() < deadline)
        usleep(20000);
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    const std::string err = ReadText(errFile);
    ASSERT_TRUE(WIFEXITED(status)) << err;
    EXPECT_EQ(WEXITSTATUS(status), 1) << err;
    const nlohmann::json s = Summary();
    for (int node : {0, 3}) {
        SCOPED_TRACE(node);
        const nlohmann::json e = Entry(s, node, 0, "архив");
        ASSERT_FALSE(e.is_null()) << err;
        EXPECT_EQ(e["outcome"], "Прервано пользователем");
        EXPECT_GT(e["rows"].get<int>(), 0); // the rows read so far are in the workbook
        EXPECT_NE(err.find("узел " + std::to_string(node) + " «узел " + std::to_string(node + 1) +
                           "»: Узел закрыт"),
                  std::string::npos)
            << err;
    }
    EXPECT_FALSE(std::filesystem::exists(Base / "base.lock"));
}

// Two nodes of one name on two lines: read one after the other, so the second
// device's workbook gets a name of its own instead of overwriting the first.
// A number the modem dials for ten minutes: the call is given up after the
// dial time-out and the node is listed with the reason.
TEST_F(CollectTest, ACallNeverAnsweredIsGivenUpAfterTheDialTimeOut) {
    TTestNode silent;
    silent.ComPort = 25;
    silent.LinkType = LinkDialUp;
    silent.Phone = "300";
    silent.ReplyTimeoutMs = 2000;
    silent.Devices = {{DeviceVirsD, 2}};
    SaveStation(MakeStation({silent}), Base);
    TSimProcess sim(Folder.Path / "scenario.json");
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    const auto started = std::chrono::steady_clock::now();
    const TRunResult r = Collect({"--what", "current", "--dial-timeout", "2"});
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    EXPECT_EQ(r.Exit, 1) << r.Err;
    const nlohmann::json e = Entry(Summary(), 0, -1, "соединение");
    ASSERT_FALSE(e.is_null()) << Summary().dump(2);
    EXPECT_EQ(e["outcome"], "Вызов прерван: модем не ответил на вызов за 2 с (--dial-timeout)");
    EXPECT_TRUE(Entry(Summary(), 0, 0, "текущие").is_null());
}

TEST_F(CollectTest, NodesOfOneNameDoNotShareAWorkbook) {
    StationBase station = LoadStation(Base);
    station.Nodes[2].NameSlot.Value.Set("узел");
    station.Nodes[3].NameSlot.Value.Set("узел");
    station.Nodes[3].LinkType = LinkDirect;
    station.Nodes[3].ComPort = 24; // site D, a ВИРС-ДК at address 3
    station.Devices[3][0].DeviceType = DeviceVirsDK;
    station.Devices[3][0].NetAddress = 3;
    SaveStation(station, Base);
    TSimProcess sim(Folder.Path / "scenario.json");
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    const TRunResult r = Collect({"--nodes", "2,3", "--what", "archives", "--since", "2024-03-10",
                                  "--to", "2024-03-12", "--parallel", "2"});
    EXPECT_EQ(r.Exit, 0) << r.Err;
    const StationBase stored = LoadStation(Base);
    const std::string first = stored.Devices[2][0].ArchiveFile.Get();
    const std::string second = stored.Devices[3][0].ArchiveFile.Get();
    EXPECT_NE(first, second);
    EXPECT_EQ(first, "узел [прибор 1].xls");
    TWorkbook a, b;
    ASSERT_TRUE(a.Read((Base / first).string()).Ok) << first;
    ASSERT_TRUE(b.Read((Base / second).string()).Ok) << second;
    EXPECT_NE(a.GetText(SheetDays, 0, 4), b.GetText(SheetDays, 0, 4)); // "прибор: ВИРС-…"
}

TEST_F(CollectTest, OneWriterOfTheStation) {
    TSimProcess sim(Folder.Path / "scenario.json");
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    // A process that has ended: its number is free (or reused by an unrelated
    // process only after a long while).
    pid_t dead = -1;
    char arg0[] = "/bin/true";
    char* argv[] = {arg0, nullptr};
    ASSERT_EQ(posix_spawn(&dead, arg0, nullptr, nullptr, argv, environ), 0);
    int status = 0;
    waitpid(dead, &status, 0);

    struct TCase {
        const char* Name;
        long Owner;
        int Exit;
        bool Read;
    } cases[] = {
        {"held by this live test process", static_cast<long>(getpid()), 1, false},
        {"stale lock of a dead process", static_cast<long>(dead), 0, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteText(Base / "base.lock", std::to_string(c.Owner) + "\n");
        const TRunResult r = Collect({"--nodes", "2", "--what", "current"});
        EXPECT_EQ(r.Exit, c.Exit) << r.Err;
        EXPECT_EQ(LoadStation(Base).Devices[2][0].DataReadAt > 0, c.Read);
        if (!c.Read) {
            EXPECT_NE(r.Err.find("занята другой программой (процесс " + std::to_string(c.Owner)),
                      std::string::npos)
                << r.Err;
            EXPECT_EQ(ReadText(Base / "base.lock"), std::to_string(c.Owner) + "\n");
            // The other commands that write base.dat are refused the same way.
            const std::vector<std::vector<std::string>> writers = {
                {"read", "--dir", Base.string(), "--node", "2", "--device", "0", "--view",
                 "current"},
                {"archive", "--dir", Base.string(), "--node", "2", "--device", "0", "--kind",
                 "daily", "--from", "2024-03-10", "--to", "2024-03-12", "--now", Now}};
            for (const std::vector<std::string>& w : writers) {
                const TRunResult other = RunCli(w, Folder.Path);
                EXPECT_EQ(other.Exit, 1) << w[0];
                EXPECT_NE(other.Err.find("занята другой программой"), std::string::npos)
                    << other.Err;
            }
            EXPECT_EQ(LoadStation(Base).Devices[2][0].DataReadAt, 0);
        } else {
            EXPECT_FALSE(std::filesystem::exists(Base / "base.lock"));
        }
    }
}

} // namespace
} // namespace virs::test
