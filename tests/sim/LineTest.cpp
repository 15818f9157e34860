// The simulator on real pseudo-terminals: aliases, line pacing, the adapter,
// the modem at its line settings, the loader, and the program as a process.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <thread>

#include "sim/Station.h"
#include "tests/sim/SimTestSupport.h"

namespace virs::sim {
namespace {

using namespace std::chrono;
using test::ReadRequest;
using test::TestPort;

class SimLine : public ::testing::Test {
protected:
    void SetUp() override { setenv("VIRS_PORTS_DIR", Ports.Path().c_str(), 1); }
    void TearDown() override { unsetenv("VIRS_PORTS_DIR"); }
    std::unique_ptr<TSimStation> Start(const TScenario& sc, bool pacing,
                                       std::vector<unsigned> coms = {}) {
        auto station = std::make_unique<TSimStation>(sc, Log, pacing, pacing ? 0 : -1);
        std::string error;
        EXPECT_TRUE(station->Open(coms, false, error)) << error;
        station->Start();
        return station;
    }
    test::TempFolder Ports;
    TSimLog Log;
};

TScenario Fixed() {
    TScenario sc = DefaultScenario();
    SimSeconds now = 0;
    ParseSimTime("2024-03-15T10:00:00", now);
    sc.Now = now;
    sc.ClockRuns = false;
    return sc;
}

TEST_F(SimLine, AliasLeadsToThePtyAndGoesAway) {
    auto station = Start(Fixed(), false, {41});
    const auto alias = Ports.Path() / "COM41";
    ASSERT_TRUE(std::filesystem::is_symlink(alias));
    EXPECT_EQ(std::filesystem::read_symlink(alias).string(), station->Line(0).Pty().SlavePath());
    {
        TestPort port(alias.string());
        ASSERT_TRUE(port.Ok());
        port.Configure(B9600);
        port.Write(ReadRequest(1, 3, 0, 22));
        const Bytes a = port.Read(1000);
        ASSERT_EQ(a.size(), 49u);
        EXPECT_TRUE(test::GoodCrc(a));
    }
    // A second simulator cannot take the same number while the first lives.
    TSimStation other(Fixed(), Log, false);
    std::string error;
    EXPECT_FALSE(other.Open({41}, false, error));
    EXPECT_NE(error.find("COM41"), std::string::npos);
    station->Stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(alias)));
}

TEST_F(SimLine, StaleAliasOfADeadSimulatorIsReplacedAHandMadeOneIsNot) {
    std::string error;
    auto other = TPtyPort::Open(error); // a pty of some other program, alive
    ASSERT_TRUE(other) << error;
    // COM43: left by a simulator that was killed outright (its process is gone).
    const pid_t dead = fork();
    if (dead == 0)
        _exit(0);
    waitpid(dead, nullptr, 0);
    std::filesystem::create_symlink(other->SlavePath(), Ports.Path() / "COM43");
    std::ofstream(Ports.Path() / ".COM43.owner") << dead << "\n";
    // COM44: made by hand, no owner.
    std::filesystem::create_symlink(other->SlavePath(), Ports.Path() / "COM44");
    {
        auto station = Start(Fixed(), false, {43});
        EXPECT_EQ(std::filesystem::read_symlink(Ports.Path() / "COM43").string(),
                  station->Line(0).Pty().SlavePath());
        station->Stop();
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Ports.Path() / "COM43")));
    EXPECT_FALSE(std::filesystem::exists(Ports.Path() / ".COM43.owner"));
    TSimStation station(Fixed(), Log, false);
    EXPECT_FALSE(station.Open({44}, false, error));
    EXPECT_NE(error.find("COM44"), std::string::npos);
    EXPECT_EQ(std::filesystem::read_symlink(Ports.Path() / "COM44").string(), other->SlavePath());
}

struct PacingCase {
    const char* Name;
    speed_t Speed;
    double Baud;
    char Parity;
    int Stop;
    int Bits;
};

class SimPacing : public SimLine, public ::testing::WithParamInterface<PacingCase> {};

// Bytes per millisecond of one 255-byte answer, measured on arrival from a
// quarter of the answer to its end (the first bytes may be handed over a few
// milliseconds early); 0 when the answer did not come whole.
double MeasureRate(TestPort& port) {
    // 125 registers of the ВИРС-Д2: a 255-byte answer.
    port.Write(ReadRequest(4, 3, 64, 125));
    const auto sent = steady_clock::now();
    Bytes got;
    steady_clock::time_point last, mark;
    std::size_t marked = 0;
    while (got.size() < 255 && steady_clock::now() - sent < seconds(5)) {
        pollfd p{port.Fd(), POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        u8 buf[300];
        const ssize_t n = ::read(port.Fd(), buf, sizeof buf);
        if (n <= 0)
            break;
        last = steady_clock::now();
        got.insert(got.end(), buf, buf + n);
        if (!marked && got.size() >= 64) {
            marked = got.size();
            mark = last;
        }
    }
    if (got.size() != 255 || !test::GoodCrc(got))
        return 0;
    return static_cast<double>(255 - marked) / duration<double, std::milli>(last - mark).count();
}

TEST_P(SimPacing, BytesComeAtTheBaudRate) {
    const auto& c = GetParam();
    auto station = Start(Fixed(), true);
    TestPort port(station->Line(0).Pty().SlavePath());
    port.Configure(c.Speed, c.Parity, c.Stop);
    const double expected = c.Baud / c.Bits / 1000.0; // bytes per millisecond
    // A busy machine can delay the reading side now and then: the best of three
    // answers counts; a wrong pace (say 10 bits for 11) misses in all three.
    double best = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const double rate = MeasureRate(port);
        if (std::abs(rate - expected) < std::abs(best - expected))
            best = rate;
    }
    EXPECT_NEAR(best, expected, expected * 0.04) << "bytes per second " << best * 1000;
}

INSTANTIATE_TEST_SUITE_P(Sim, SimPacing,
                         ::testing::Values(PacingCase{"At9600_8N1", B9600, 9600, 'N', 1, 10},
                                           PacingCase{"At4800_8O1", B4800, 4800, 'O', 1, 11},
                                           PacingCase{"At19200_8N2", B19200, 19200, 'N', 2, 11}),
                         [](const auto& row) { return std::string(row.param.Name); });

TEST_F(SimLine, AdapterTakesBroadcastAddresses) {
    auto station = Start(Fixed(), false);
    TestPort port(station->Line(0).Pty().SlavePath());
    port.Configure(B9600);
    // The assignment frame for N = 7 and the check read of register 20.
    port.Write(test::WriteRequest(0, 20, {7 << 8 | 2}));
    EXPECT_TRUE(port.Read(300).empty()); // nobody answers a broadcast
    port.Write(ReadRequest(7, 3, 20, 1));
    const Bytes a = port.Read(1000);
    ASSERT_EQ(a.size(), 7u);
    EXPECT_EQ(a[0], 7);
    EXPECT_EQ(test::AnswerRegisters(a), std::vector<u16>{7 << 8 | 2});
    port.Write(ReadRequest(8, 3, 0, 1));
    EXPECT_EQ(port.Read(1000).size(), 7u);
    port.Write(ReadRequest(1, 3, 0, 1));
    EXPECT_TRUE(port.Read(300).empty());
}

TScenario ModemScenario(bool gsm, TParity parity, bool twoStop) {
    TScenario sc = Fixed();
    TLineConfig line;
    line.Modem = true;
    line.ModemConfig.Gsm = gsm;
    line.ModemConfig.Parity = parity;
    line.ModemConfig.TwoStopBits = twoStop;
    line.ModemConfig.PhoneBook = {{"84951234567", TDialOutcome::Connect, sc.Sites[0].Name, 300, 0},
                                  {"84950000000", TDialOutcome::Busy, "", 300, 0}};
    line.ModemConfig.DataDelayMs = 0;
    sc.Lines = {line};
    return sc;
}

TEST_F(SimLine, ModemAnswersAtItsSettingsDialsAndCarriesModbus) {
    auto station = Start(ModemScenario(true, TParity::Odd, true), true);
    TestPort port(station->Line(0).Pty().SlavePath());
    port.Configure(B9600, 'N', 1);
    port.Write("AT&FE0\r");
    EXPECT_EQ(port.ReadText(500), ""); // wrong parity and stop bits: nothing
    port.Configure(B9600, 'O', 1);
    port.Write("AT&FE0\r");
    EXPECT_EQ(port.ReadText(500), "");
    port.Configure(B9600, 'O', 2);
    port.Write("AT&FE0\r");
    // Echo and answer in one piece: the program's modem search reads with gaps of 2..20 ms.
    EXPECT_EQ(port.ReadText(1000, 4), "AT&FE0\r\r\nOK\r\n");
    port.Write("AT+CREG?\r");
    EXPECT_EQ(port.ReadText(1000), "\r\n+CREG: 0,1\r\n\r\nOK\r\n");
    port.Write("ATD 84950000000\r");
    EXPECT_EQ(port.ReadText(2000, 100), "\r\nBUSY\r\n");
    port.Write("ATD 84951234567\r");
    EXPECT_EQ(port.ReadText(2000, 4), "\r\nCONNECT 9600\r\n");
    port.Write(ReadRequest(2, 3, 56, 8));
    const Bytes a = port.Read(1000);
    EXPECT_EQ(a.size(), 21u);
    EXPECT_TRUE(test::GoodCrc(a));
    std::this_thread::sleep_for(milliseconds(1100));
    port.Write("+++");
    EXPECT_EQ(port.ReadText(3000, 200), "\r\nOK\r\n");
    port.Write("ATH0\r");
    EXPECT_EQ(port.ReadText(1000), "\r\nOK\r\n");
    port.Write(ReadRequest(2, 3, 56, 8));
    EXPECT_TRUE(port.Read(400).empty()); // hung up: no meters behind the modem
}

TEST_F(SimLine, LoaderOverThePty) {
    TScenario sc = Fixed();
    sc.Lines[0].Boot.Enabled = true;
    sc.Lines[0].Boot.ImageFile = Ports.Path() / "image.vrs";
    auto station = Start(sc, false);
    TestPort port(station->Line(0).Pty().SlavePath());
    port.Configure(B9600);
    port.Write(Bytes{BootHandshake});
    EXPECT_TRUE(port.Read(300).empty()); // the loader runs at 115200 only
    port.Configure(B115200);
    port.Write(Bytes{BootHandshake});
    ASSERT_EQ(port.Read(100, 20), Bytes{BootHandshake});
    port.Write(Bytes{BootStart});
    std::this_thread::sleep_for(milliseconds(250));
    Bytes image;
    for (int k = 0; k < BootBlocks; ++k) {
        Bytes block(BootBlockSize, static_cast<u8>(k));
        port.Write(block);
        image.insert(image.end(), block.begin(), block.end());
        ASSERT_EQ(port.Read(1000, 5), Bytes{static_cast<u8>(k)}) << k;
    }
    std::this_thread::sleep_for(milliseconds(50));
    std::ifstream in(sc.Lines[0].Boot.ImageFile, std::ios::binary);
    EXPECT_EQ(Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), image);
    // Back to Modbus afterwards.
    port.Write(ReadRequest(2, 3, 0, 2));
    EXPECT_EQ(port.Read(1000).size(), 9u);
}

// The program as a process: prints its line, registers the alias, removes it on SIGTERM.
TEST_F(SimLine, ProcessCleansUpOnSigterm) {
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        execl(VIRS_SIM_EXE, VIRS_SIM_EXE, "--com", "42", "--no-pacing", "--now",
              "2024-03-15T10:00:00", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buf[256];
    while (text.find("готов") == std::string::npos) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0)
            break;
        const ssize_t n = read(out[0], buf, sizeof buf);
        if (n <= 0)
            break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    EXPECT_NE(text.find("COM42  /dev/pts/"), std::string::npos) << text;
    const auto alias = Ports.Path() / "COM42";
    EXPECT_TRUE(std::filesystem::is_symlink(alias));
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    close(out[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(alias)));
}

TEST_F(SimLine, ProcessRefusesABadScenario) {
    const auto file = Ports.Path() / "bad.json";
    std::ofstream(file) << "{\n \"lines\": [ {\"kind\": \"radio\"} ]\n}\n";
    const std::string cmd = std::string(VIRS_SIM_EXE) + " --scenario " + file.string() + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string text;
    char buf[256];
    while (fgets(buf, sizeof buf, p))
        text += buf;
    const int status = pclose(p);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(text.find("bad.json: lines[0].kind: вид линии \"radio\""), std::string::npos) << text;
}

TEST_F(SimLine, AliasFolderIsMadeForTheUserAlone) {
    const auto folder = Ports.Path() / "run" / "virs-ports";
    setenv("VIRS_PORTS_DIR", folder.c_str(), 1);
    const mode_t before = ::umask(0); // the mode must not depend on the umask
    auto station = Start(Fixed(), false, {45});
    ::umask(before);
    struct stat st {};
    ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "COM45"));
    station->Stop();
}

// A folder the program would not take aliases from is refused, by the
// station and by the process, which exits with status 2.
TEST_F(SimLine, RefusesAFolderTheProgramWouldNotTrust) {
    const struct {
        const char* Name;
        std::function<std::filesystem::path(const std::filesystem::path&)> Make;
        const char* Why;
    } cases[] = {
        {"open to others",
         [](const std::filesystem::path& base) {
             std::filesystem::create_directory(base / "open");
             ::chmod((base / "open").c_str(), 0777);
             return base / "open";
         },
         "в папку могут писать другие пользователи (права 0777)"},
        {"a symlink",
         [](const std::filesystem::path& base) {
             std::filesystem::create_directory(base / "real");
             ::chmod((base / "real").c_str(), 0700);
             std::filesystem::create_directory_symlink(base / "real", base / "link");
             return base / "link";
         },
         "это символическая ссылка, а не папка"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::filesystem::path folder = c.Make(Ports.Path());
        setenv("VIRS_PORTS_DIR", folder.c_str(), 1);
        const std::string message =
            "папка псевдонимов портов " + folder.string() + " не подходит: " + c.Why;
        TSimStation station(Fixed(), Log, false);
        std::string error;
        EXPECT_FALSE(station.Open({46}, false, error));
        EXPECT_EQ(error.substr(0, message.size()), message) << error;
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(folder / "COM46")));

        const std::string cmd = std::string(VIRS_SIM_EXE) + " --com 46 --no-pacing 2>&1";
        FILE* p = popen(cmd.c_str(), "r");
        ASSERT_NE(p, nullptr);
        std::string text;
        char buf[256];
        while (fgets(buf, sizeof buf, p))
            text += buf;
        const int status = pclose(p);
        EXPECT_EQ(WEXITSTATUS(status), 2);
        EXPECT_NE(text.find("virs-sim: " + message), std::string::npos) << text;
    }
}

} // namespace
} // namespace virs::sim
