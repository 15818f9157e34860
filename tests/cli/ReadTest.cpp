// virs-cli read against the simulator: every link type, the dial and GSM
// outcomes, the modem search, a time-out that must leave the stored image alone.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>

#include "tests/cli/SimHarness.h"

namespace virs::test {
namespace {

constexpr const char* Now = "2024-03-15T10:00:00";

class ReadTest : public TStationFolderTest {
protected:
    std::filesystem::path Scenario(const std::string& json) {
        const std::filesystem::path file = Folder.Path / "scenario.json";
        WriteText(file, json);
        return file;
    }

    TRunResult Read(int node, int device, const char* view) {
        return RunCli({"read", "--dir", Base.string(), "--node", std::to_string(node), "--device",
                       std::to_string(device), "--view", view},
                      Folder.Path);
    }
};

// A direct line to one meter of each type (addresses 1..4), the default
// scenario of the simulator.
std::string DirectScenario() {
    return R"({"seed": 7, "now": ")" + std::string(Now) + R"(",
      "sites": [{"name": "A", "devices": [
        {"type": "ВИРС-Ш", "address": 1, "serial": 1111},
        {"type": "ВИРС-Д", "address": 2, "serial": 2222},
        {"type": "ВИРС-ДК", "address": 3, "serial": 3333},
        {"type": "ВИРС-Д2", "address": 4, "serial": 4444}]}],
      "lines": [{"com": 7, "kind": "direct", "site": "A"}]})";
}

TTestNode DirectNode() {
    TTestNode n;
    n.ComPort = 7;
    n.Devices = {{DeviceVirsSh, 1}, {DeviceVirsD, 2}, {DeviceVirsDK, 3}, {DeviceVirsD2, 4}};
    return n;
}

struct TDirectCase {
    int Device;
    const char* View;
    const char* Expected; // a part of the rendered text that comes from the meter
};

class DirectReadTest : public ReadTest, public ::testing::WithParamInterface<TDirectCase> {};

TEST_P(DirectReadTest, ReadsStoresAndRenders) {
    const TDirectCase& c = GetParam();
    SaveStation(MakeStation({DirectNode()}), Base);
    TSimProcess sim(Scenario(DirectScenario()));
    ASSERT_TRUE(sim.Ready) << sim.Banner;

    const TRunResult r = Read(0, c.Device, c.View);
    ASSERT_EQ(r.Exit, 0) << r.Err;
    EXPECT_NE(r.Out.find(c.Expected), std::string::npos) << r.Out;
    EXPECT_NE(r.Err.find("Соединение с узлом установлено"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("Узел закрыт"), std::string::npos) << r.Err;
    // The job's frames are in the protocol log beside base.dat.
    const std::string log = ReadText(Base / "ModBus_protocol.txt");
    EXPECT_NE(log.find("OUT: "), std::string::npos);

    const StationBase after = LoadStation(Base);
    const TDevice& stored = after.Devices[0][c.Device];
    if (std::strcmp(c.View, "current") == 0) {
        EXPECT_GT(stored.DataReadAt, 0.0);
        // The stored image renders to the very text the read printed.
        const TRunResult rendered = RunCli({"render", "--dir", Base.string(), "--node", "0",
                                            "--device", std::to_string(c.Device), "--view", "0"},
                                           Folder.Path);
        EXPECT_EQ(rendered.Out, r.Out);
    } else {
        EXPECT_EQ(stored.DataReadAt, 0.0); // a settings job stamps nothing
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryType, DirectReadTest,
    ::testing::Values(TDirectCase{0, "current", "серийный номер прибора: 1111"},
                      TDirectCase{1, "current", "накопленный объем V2, реверс, м3 = "},
                      TDirectCase{2, "current", "объёмный расход F4, м3/час = "},
                      TDirectCase{3, "current", "Серийный номер прибора: 4444"},
                      TDirectCase{1, "settings", "ОБЩИЕ ПАРАМЕТРЫ"},
                      TDirectCase{3, "settings", "ПАРАМЕТРЫ ДАТЧИКОВ ДАВЛЕНИЯ"}));

TEST_F(ReadTest, TimeoutLeavesTheStoredImageUntouched) {
    SaveStation(MakeStation({DirectNode()}), Base);
    {
        TSimProcess sim(Scenario(DirectScenario()));
        ASSERT_TRUE(sim.Ready) << sim.Banner;
        ASSERT_EQ(Read(0, 1, "current").Exit, 0);
    }
    const StationBase before = LoadStation(Base);
    TSimProcess sim(Scenario(DirectScenario()), {"--fault", "device=2,kind=silence"});
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    const TRunResult r = Read(0, 1, "current");
    EXPECT_EQ(r.Exit, 1);
    EXPECT_NE(r.Err.find("Превышен тайм-аут ожидания ответа"), std::string::npos) << r.Err;
    EXPECT_TRUE(r.Out.empty());
    const StationBase after = LoadStation(Base);
    const TDevice& b = before.Devices[0][1];
    const TDevice& a = after.Devices[0][1];
    EXPECT_EQ(a.DataReadAt, b.DataReadAt);
    EXPECT_EQ(std::memcmp(a.DataImage, b.DataImage, DataImageSize), 0);
}

TEST_F(ReadTest, PortThatCannotBeOpened) {
    TTestNode node = DirectNode();
    node.ComPort = 0;
    SaveStation(MakeStation({node}), Base);
    const TRunResult r = Read(0, 1, "current");
    EXPECT_EQ(r.Exit, 1);
    EXPECT_NE(r.Err.find("Не выбран порт для подключения"), std::string::npos) << r.Err;
    node.ComPort = 9; // nothing behind COM9
    SaveStation(MakeStation({node}), Base);
    const TRunResult r9 = Read(0, 1, "current");
    EXPECT_EQ(r9.Exit, 1);
    EXPECT_NE(r9.Err.find("Не удалось открыть порт COM9"), std::string::npos) << r9.Err;
    // A path given with --port is named, with the system's reason.
    const std::string missing = (Folder.Path / "no-such-tty").string();
    const TRunResult rp = RunCli({"read", "--dir", Base.string(), "--node", "0", "--device", "1",
                                  "--view", "current", "--port", missing},
                                 Folder.Path);
    EXPECT_EQ(rp.Exit, 1);
    EXPECT_NE(rp.Err.find("Не удалось открыть порт " + missing + ": "), std::string::npos)
        << rp.Err;
    EXPECT_NE(rp.Err.find(std::strerror(ENOENT)), std::string::npos) << rp.Err;
    EXPECT_EQ(rp.Err.find("COM9"), std::string::npos) << rp.Err;
}

// A modem line on COM7 whose phone book holds one number per outcome. The
// modems answer without echo: the short gaps allowed between bytes in the
// faster tries of the search may part an echo from the "OK" behind it.
std::string ModemScenario(const std::string& modem) {
    return R"({"seed": 3, "now": ")" + std::string(Now) + R"(",
      "sites": [{"name": "A", "devices": [{"type": "ВИРС-Д", "address": 2, "serial": 2222}]}],
      "lines": [{"com": 7, "kind": "modem", "modem": )" +
           modem + R"(}]})";
}

std::string PhoneBook() {
    return R"("phone_book": [
        {"number": "100", "outcome": "connect", "site": "A", "delay_ms": 300},
        {"number": "200", "outcome": "busy", "delay_ms": 300},
        {"number": "300", "outcome": "no_carrier", "delay_ms": 300},
        {"number": "400", "outcome": "voice", "delay_ms": 300},
        {"number": "500", "outcome": "single_byte", "site": "A", "delay_ms": 300}])";
}

struct TModemCase {
    const char* Name;
    const char* ModemJson; // the "modem" object without the phone book
    TLinkType LinkType;
    const char* Phone;
    int Exit;
    std::vector<const char*> ErrParts; // in this order in the output
};

class ModemReadTest : public ReadTest, public ::testing::WithParamInterface<TModemCase> {};

TEST_P(ModemReadTest, DialogueAndOutcome) {
    const TModemCase& c = GetParam();
    TTestNode node;
    node.LinkType = c.LinkType;
    node.ComPort = 7;
    node.Phone = c.Phone;
    node.ReplyTimeoutMs = 2000;
    node.Devices = {{DeviceVirsD, 2}};
    SaveStation(MakeStation({node}), Base);
    TSimProcess sim(Scenario(
        ModemScenario(std::string("{\"echo\": false, ") + c.ModemJson + ", " + PhoneBook() + "}")));
    ASSERT_TRUE(sim.Ready) << sim.Banner;

    const TRunResult r = Read(0, 0, "current");
    EXPECT_EQ(r.Exit, c.Exit) << r.Err;
    std::size_t at = 0;
    for (const char* part : c.ErrParts) {
        const std::size_t found = r.Err.find(part, at);
        EXPECT_NE(found, std::string::npos)
            << "'" << part << "' missing after offset " << at << " in:\n"
            << r.Err;
        if (found != std::string::npos)
            at = found;
    }
    if (c.Exit == 0) {
        EXPECT_NE(r.Out.find("ВИРС-Д"), std::string::npos) << r.Out;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ModemReadTest,
    ::testing::Values(
        TModemCase{"DialUpConnect",
                   R"("type": "dialup", "baud": 9600)",
                   LinkDialUp,
                   "100",
                   0,
                   {"Поиск модема...", "Инициализация модема...", "Набор номера...Вызов...",
                    "[Соединение с узлом] Соединение с узлом установлено / COM7",
                    "Закрытие соединения...", "[Соединение с узлом] Соединение прервано",
                    "Узел закрыт"}},
        TModemCase{"DialUpBusy",
                   R"("type": "dialup", "baud": 9600)",
                   LinkDialUp,
                   "200",
                   1,
                   {"Набор номера...Вызов...", "[Соединение с узлом] Абонент занят. / COM7",
                    "Ошибка соединения с узлом"}},
        TModemCase{"DialUpNoCarrier",
                   R"("type": "dialup", "baud": 9600)",
                   LinkDialUp,
                   "300",
                   1,
                   {"[Соединение с узлом] Нет соединения. / COM7", "Ошибка соединения с узлом"}},
        TModemCase{"DialUpVoice",
                   R"("type": "dialup", "baud": 9600)",
                   LinkDialUp,
                   "400",
                   1,
                   {"[Соединение с узлом] Соединение в голосовом режиме!",
                    "[Соединение с узлом] Соединение прервано / COM7",
                    "Ошибка соединения с узлом"}},
        TModemCase{"DialUpSingleByteIsNotAConnection",
                   R"("type": "dialup", "baud": 9600)",
                   LinkDialUp,
                   "500",
                   1,
                   {"[Соединение с узлом] COM7 / ", "Ошибка соединения с узлом"}},
        TModemCase{"FoundOnlyBySearch",
                   R"("type": "dialup", "baud": 2400)",
                   LinkDialUp,
                   "100",
                   0,
                   {"Поиск модема...0%", "Поиск модема...98%", "Инициализация модема...",
                    "Соединение с узлом установлено / COM7"}},
        TModemCase{"GsmConnect",
                   R"("type": "gsm", "baud": 9600)",
                   LinkGsm,
                   "100",
                   0,
                   {"Инициализация модема...",
                    "[Соединение с узлом] Соединение с узлом установлено / модем: SIMCOM_Ltd "
                    "SIMCOM_SIM900 / оператор: \"MTS RUS\"",
                    "Узел закрыт"}},
        TModemCase{"GsmSingleByteConnects",
                   R"("type": "gsm", "baud": 9600)",
                   LinkGsm,
                   "500",
                   0,
                   {"Соединение с узлом установлено / модем: "}},
        TModemCase{"GsmNoSim",
                   R"("type": "gsm", "baud": 9600, "pin": "NO SIM")",
                   LinkGsm,
                   "100",
                   1,
                   {"[Соединение с узлом] SIM-карта отсутствует. / модем: SIMCOM_Ltd SIMCOM_SIM900",
                    "Ошибка соединения с узлом"}},
        TModemCase{"GsmRoaming",
                   R"("type": "gsm", "baud": 9600, "registration": 5)",
                   LinkGsm,
                   "100",
                   0,
                   {"оператор: \"MTS RUS\", роуминг", "Узел закрыт"}},
        TModemCase{"GsmNotRegistered",
                   R"("type": "gsm", "baud": 9600, "registration": 3)",
                   LinkGsm,
                   "100",
                   1,
                   {"Регистрация отклонена. / Попробуйте повторить позже. / модем: SIMCOM_Ltd",
                    "Ошибка соединения с узлом"}}),
    [](const ::testing::TestParamInfo<TModemCase>& param) {
        return std::string(param.param.Name);
    });

// A modem line whose number 900 is dialled but never answered (the modem would
// answer after ten minutes), and 100 that connects to a silent meter, for the
// stops of a command nobody sits at.
class UnattendedModemTest : public ReadTest {
protected:
    void SetUp() override {
        ReadTest::SetUp();
        SimLog = Folder.Path / "sim.log";
    }

    void SaveNode(const char* phone) {
        TTestNode node;
        node.LinkType = LinkDialUp;
        node.ComPort = 7;
        node.Phone = phone;
        node.ReplyTimeoutMs = 2000;
        node.Devices = {{DeviceVirsD, 2}};
        SaveStation(MakeStation({node}), Base);
    }

    std::unique_ptr<TSimProcess> StartSim(std::vector<std::string> extra = {}) {
        extra.insert(extra.end(), {"--log", SimLog.string()});
        auto sim = std::make_unique<TSimProcess>(
            Scenario(ModemScenario(R"({"echo": false, "type": "dialup", "baud": 9600,
                "phone_book": [
                  {"number": "900", "outcome": "connect", "site": "A", "delay_ms": 600000},
                  {"number": "100", "outcome": "connect", "site": "A", "delay_ms": 300}]})")),
            extra);
        return sim;
    }

    // virs-cli read in the background; the test waits for it with a bound of
    // its own, so a command that hangs fails the test instead of holding it.
    // `archive` reads a short daily archive instead of the current values.
    void Start(std::vector<std::string> extra = {}, bool archive = false) {
        std::vector<std::string> args = {(BinaryDir() / "cli" / "virs-cli").string(),
                                         archive ? "archive" : "read",
                                         "--dir",
                                         Base.string(),
                                         "--node",
                                         "0",
                                         "--device",
                                         "0"};
        const std::vector<std::string> what =
            archive ? std::vector<std::string>{"--kind",     "daily", "--from",
                                               "2024-03-10", "--to",  "2024-03-11"}
                    : std::vector<std::string>{"--view", "current"};
        args.insert(args.end(), what.begin(), what.end());
        args.insert(args.end(), extra.begin(), extra.end());
        ErrFile = (Folder.Path / "read.err").string();
        Pid = SpawnProgram(args, (Folder.Path / "read.out").string(), ErrFile);
        ASSERT_GT(Pid, 0);
        StartedAt = std::chrono::steady_clock::now();
    }

    bool WaitForErr(const std::string& part, std::chrono::seconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (ReadText(ErrFile).find(part) == std::string::npos) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            usleep(20000);
        }
        return true;
    }

    // The exit status, or -1 when the command had not ended within `limit`
    // (it is killed then).
    int Finish(std::chrono::seconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (waitpid(Pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                kill(Pid, SIGKILL);
                waitpid(Pid, &status, 0);
                Pid = -1;
                return -1;
            }
            usleep(20000);
        }
        Pid = -1;
        Took = std::chrono::steady_clock::now() - StartedAt;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    void TearDown() override {
        if (Pid > 0) {
            kill(Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
        }
    }

    // What the simulated modem received, as the simulator logs it.
    std::string ModemHeard() { return ReadText(SimLog); }

    std::filesystem::path SimLog;
    std::string ErrFile;
    pid_t Pid = -1;
    std::chrono::steady_clock::time_point StartedAt;
    std::chrono::steady_clock::duration Took{};
};

constexpr const char* HangUpBytes = "41 54 48 30 0D"; // "ATH0\r"
constexpr const char* EscapeBytes = "2B 2B 2B";       // "+++"

struct TDialStopCase {
    const char* Name;
    std::vector<std::string> Options;
    int Signal; // 0: none, the time-out ends the call
    std::vector<const char*> ErrParts;
    bool Archive = false; // virs-cli archive instead of read
};

class DialStopTest : public UnattendedModemTest,
                     public ::testing::WithParamInterface<TDialStopCase> {};

// The call is abandoned with "ATH0" and the command ends with 1, by the dial
// time-out or by a signal while the modem is still dialling.
TEST_P(DialStopTest, TheCallIsAbandonedAndHungUp) {
    const TDialStopCase& c = GetParam();
    SaveNode("900");
    auto sim = StartSim();
    ASSERT_TRUE(sim->Ready) << sim->Banner;
    Start(c.Options, c.Archive);
    ASSERT_TRUE(WaitForErr("Набор номера...Вызов...", std::chrono::seconds(40)))
        << ReadText(ErrFile);
    if (c.Signal != 0) {
        usleep(300000);
        kill(Pid, c.Signal);
    }
    const int exit = Finish(std::chrono::seconds(30));
    const std::string err = ReadText(ErrFile);
    ASSERT_EQ(exit, 1) << err;
    std::size_t at = 0;
    for (const char* part : c.ErrParts) {
        const std::size_t found = err.find(part, at);
        EXPECT_NE(found, std::string::npos) << "'" << part << "' missing in:\n" << err;
        if (found != std::string::npos)
            at = found;
    }
    EXPECT_EQ(err.find("Соединение с узлом установлено"), std::string::npos) << err;
    const std::string heard = ModemHeard();
    const std::size_t dialled = heard.find("41 54 44 54"); // "ATDT"
    ASSERT_NE(dialled, std::string::npos) << heard;
    EXPECT_NE(heard.find(HangUpBytes, dialled), std::string::npos) << heard;
}

INSTANTIATE_TEST_SUITE_P(
    Unattended, DialStopTest,
    ::testing::Values(
        TDialStopCase{"DialTimeOut",
                      {"--dial-timeout", "2"},
                      0,
                      {"Набор номера...Вызов...",
                       "Вызов прерван: модем не ответил на вызов за 2 с (--dial-timeout)"}},
        TDialStopCase{"CtrlC", {}, SIGINT, {"Набор номера...Вызов...", "Вызов прерван"}},
        TDialStopCase{"Sigterm", {}, SIGTERM, {"Набор номера...Вызов...", "Вызов прерван"}},
        TDialStopCase{"ArchiveDialTimeOut",
                      {"--dial-timeout", "2"},
                      0,
                      {"Набор номера...Вызов...",
                       "Вызов прерван: модем не ответил на вызов за 2 с (--dial-timeout)"},
                      true},
        TDialStopCase{
            "ArchiveCtrlC", {}, SIGINT, {"Набор номера...Вызов...", "Вызов прерван"}, true}),
    [](const ::testing::TestParamInfo<TDialStopCase>& param) {
        return std::string(param.param.Name);
    });

TEST_F(UnattendedModemTest, TheDialTimeOutIsKept) {
    SaveNode("900");
    auto sim = StartSim();
    ASSERT_TRUE(sim->Ready) << sim->Banner;
    Start({"--dial-timeout", "3"});
    ASSERT_TRUE(WaitForErr("Набор номера...Вызов...", std::chrono::seconds(40)));
    const auto dialledAt = std::chrono::steady_clock::now();
    ASSERT_EQ(Finish(std::chrono::seconds(30)), 1) << ReadText(ErrFile);
    const auto waited = std::chrono::steady_clock::now() - dialledAt;
    // Three seconds of the call, then the hang-up (one read of at most 500 ms).
    EXPECT_GE(waited, std::chrono::milliseconds(2500));
    EXPECT_LT(waited, std::chrono::seconds(8));
}

TEST_F(UnattendedModemTest, ASignalDuringTheReadHangsUpAndSaves) {
    SaveNode("100");
    // The meter never answers: the job is in its reads when the signal comes.
    auto sim = StartSim({"--fault", "device=2,kind=silence"});
    ASSERT_TRUE(sim->Ready) << sim->Banner;
    // Made to look an hour old, so that the save at the end shows.
    const auto anHourAgo = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    std::filesystem::last_write_time(Base / "base.dat", anHourAgo);
    Start();
    ASSERT_TRUE(WaitForErr("Соединение с узлом установлено / COM7", std::chrono::seconds(40)))
        << ReadText(ErrFile);
    usleep(500000);
    kill(Pid, SIGTERM);
    const int exit = Finish(std::chrono::seconds(30));
    const std::string err = ReadText(ErrFile);
    ASSERT_EQ(exit, 1) << err;
    std::size_t at = 0;
    for (const char* part : {"Закрытие соединения...", "[Соединение с узлом] Соединение прервано",
                             "Узел закрыт", "Прервано пользователем"}) {
        const std::size_t found = err.find(part, at);
        EXPECT_NE(found, std::string::npos) << "'" << part << "' missing in:\n" << err;
        if (found != std::string::npos)
            at = found;
    }
    // The stop came long before the 2 × 2 s of the two attempts were over.
    EXPECT_LT(Took, std::chrono::seconds(12));
    const std::string heard = ModemHeard();
    const std::size_t escape = heard.find(EscapeBytes);
    ASSERT_NE(escape, std::string::npos) << heard;
    EXPECT_NE(heard.find(HangUpBytes, escape), std::string::npos) << heard;
    // base.dat was written again, and still loads with its node and device.
    EXPECT_GT(std::filesystem::last_write_time(Base / "base.dat"),
              anHourAgo + std::chrono::minutes(30));
    const StationBase after = LoadStation(Base);
    ASSERT_EQ(after.NodeCount(), 1);
    EXPECT_EQ(after.Devices[0][0].DataReadAt, 0.0);
}

} // namespace
} // namespace virs::test
