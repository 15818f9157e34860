// virs-cli modem-setup, adapter-address and firmware against the simulator on
// pseudo-terminals.

#include <ctime>

#include <gtest/gtest.h>

#include "tests/cli/SimHarness.h"

namespace virs::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

class ServiceCli : public ::testing::Test {
protected:
    void SetUp() override {
        Ports = Folder.Path / "ports";
        std::filesystem::create_directories(Ports);
        setenv("VIRS_PORTS_DIR", Ports.c_str(), 1);
    }
    std::filesystem::path Scenario(const std::string& json) {
        const std::filesystem::path file = Folder.Path / "scenario.json";
        WriteText(file, json);
        return file;
    }
    TRunResult Cli(const std::vector<std::string>& args) { return RunCli(args, Folder.Path); }

    TTempFolder Folder;
    std::filesystem::path Ports;
};

std::string ModemScenario(const std::string& modem) {
    return R"({"pacing": false, "sites": [{"name": "A", "devices": [{"type": "ВИРС-Д", "address": 2}]}],
      "lines": [{"com": 41, "kind": "modem", "modem": )" +
           modem + "}]}";
}

TEST_F(ServiceCli, ModemFoundAt4800FollowsItToTheNewSpeed) {
    TSimProcess sim(Scenario(ModemScenario(R"({"type": "dialup", "baud": 4800})")),
                    {"--com", "41"});
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    const TRunResult r = Cli({"modem-setup", "--port", "COM41"});
    EXPECT_EQ(r.Exit, 0) << r.Err;
    EXPECT_EQ(r.Err, "Поиск модема... 0%\nПоиск модема... 0%\nПоиск модема... 2%\n"
                     "Поиск модема... 100%\nНастройка модема...\nЗавершено успешно\n");
    EXPECT_EQ(r.Out, "Завершено успешно\n");
    // The port was left at 9600 with the modem (the pseudo-terminal keeps its
    // settings between opens), so the next run finds it with the first probe.
    const TRunResult again = Cli({"modem-setup", "--port", "COM41", "--preset", "rx100"});
    EXPECT_EQ(again.Exit, 0) << again.Err;
    EXPECT_EQ(again.Err, "Поиск модема... 0%\nНастройка модема...\nЗавершено успешно\n");
}

TEST_F(ServiceCli, ModemRefusesALineOfTheCommandFile) {
    TSimProcess sim(Scenario(ModemScenario(R"({"type": "gsm", "baud": 9600})")), {"--com", "41"});
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    const std::filesystem::path commands = Folder.Path / "commands.txt";
    WriteText(commands, "ATE0\r\nAT&C1\r\nAT+NOSUCH\r\nAT&W\r\n");
    const TRunResult r = Cli({"modem-setup", "--port", "COM41", "--commands", commands.string()});
    EXPECT_EQ(r.Exit, 1);
    EXPECT_NE(r.Err.find("Ошибка. Неверный параметр: AT+NOSUCH\n"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("Не удалось инициализировать модем\n"), std::string::npos) << r.Err;
}

TEST_F(ServiceCli, ModemSilentAndBadArguments) {
    // A direct line to a meter: no modem answers anywhere.
    TSimProcess sim(
        Scenario(
            R"({"pacing": false, "sites": [{"name": "A", "devices": [{"type": "ВИРС-Д", "address": 2}]}],
        "lines": [{"com": 41, "kind": "direct", "site": "A"}]})"),
        {"--com", "41"});
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    const TRunResult r = Cli({"modem-setup", "--port", "COM41"});
    EXPECT_EQ(r.Exit, 1);
    EXPECT_NE(r.Err.find("Модем не отвечает\n"), std::string::npos) << r.Err;
    EXPECT_EQ(Cli({"modem-setup", "--port", "COM41", "--preset", "other"}).Exit, 2);
    EXPECT_EQ(Cli({"modem-setup"}).Exit, 2);
    const TRunResult missing = Cli({"modem-setup", "--port", (Folder.Path / "nothing").string()});
    EXPECT_EQ(missing.Exit, 1);
    EXPECT_EQ(missing.Err, "Не удалось открыть порт\n");
}

std::string AdapterScenario(const std::string& faults) {
    return R"({"pacing": false, "sites": [{"name": "A", "devices": [
        {"type": "ВИРС-Ш", "address": 1}], "faults": [)" +
           faults + R"(]}], "lines": [{"com": 42, "kind": "direct", "site": "A"}]})";
}

TEST_F(ServiceCli, AdapterTakesTheNewPair) {
    TSimProcess sim(Scenario(AdapterScenario("")), {"--com", "42"});
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    const TRunResult r = Cli({"adapter-address", "--port", "COM42", "--address", "254"});
    EXPECT_EQ(r.Exit, 0) << r.Err;
    EXPECT_EQ(r.Out, "Устройству назначен новый адрес\n");
    // The adapter now answers at 254 and 255, not at 1.
    for (const char* address : {"254", "255"}) {
        const TRunResult read = Cli({"exchange", "--port", "COM42", "--address", address,
                                     "--function", "3", "--start", "20", "--count", "1"});
        EXPECT_EQ(read.Exit, 0) << address << read.Out;
        EXPECT_EQ(read.Out, "0 Завершено успешно\n20 FE02\n") << address;
    }
    const TRunResult old =
        Cli({"exchange", "--port", "COM42", "--address", "1", "--function", "3", "--start", "20",
             "--count", "1", "--retries", "1", "--timeout", "200"});
    EXPECT_EQ(old.Exit, 1);
}

TEST_F(ServiceCli, AdapterOutcomes) {
    struct TCase {
        const char* Faults;
        const char* Text;
    } const cases[] = {
        {R"({"kind": "wrong_address", "address": 9})", "Не удалось. Попробуйте повторить\n"},
        {R"({"kind": "bad_crc"})", "Неверная контрольная сумма. Попробуйте повторить\n"},
        {R"({"kind": "silence"})", "Устройство не отвечает\n"},
    };
    for (const TCase& c : cases) {
        TSimProcess sim(Scenario(AdapterScenario(c.Faults)), {"--com", "42"});
        ASSERT_TRUE(sim.Ready) << sim.Banner;
        const TRunResult r = Cli({"adapter-address", "--port", "COM42", "--address", "7"});
        EXPECT_EQ(r.Exit, 1) << c.Faults;
        EXPECT_EQ(r.Out, c.Text) << c.Faults;
    }
    for (const char* bad : {"0", "255", "x"})
        EXPECT_EQ(Cli({"adapter-address", "--port", "COM42", "--address", bad}).Exit, 2) << bad;
    EXPECT_EQ(
        Cli({"adapter-address", "--port", (Folder.Path / "no").string(), "--address", "3"}).Out,
        "Не удалось открыть порт\n");
}

std::string BootScenario(const std::string& loader) {
    return R"({"pacing": false, "sites": [{"name": "A", "devices": [{"type": "ВИРС-Д", "address": 2}]}],
      "lines": [{"com": 43, "kind": "direct", "site": "A", "bootloader": )" +
           loader + "}]}";
}

Bytes FileBytes(const std::filesystem::path& file) {
    const std::string s = ReadText(file);
    return Bytes(s.begin(), s.end());
}

TEST_F(ServiceCli, FirmwareReachesTheLoaderWithTodaysDate) {
    const std::filesystem::path received = Folder.Path / "received.vrs";
    TSimProcess sim(Scenario(BootScenario(R"({"image_file": ")" + received.string() + R"("})")),
                    {"--com", "43"});
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    // 40 000 bytes; version bytes 5 and 1, date 07.03.09 in the first 32768.
    Bytes file(40000);
    for (std::size_t i = 0; i < file.size(); ++i)
        file[i] = static_cast<std::uint8_t>((i * 13 + 1) % 256);
    file[32762] = 5;
    file[32763] = 1;
    file[32764] = 9;
    file[32765] = 3;
    file[32766] = 7;
    const std::filesystem::path image = Folder.Path / "image.vrs";
    WriteText(image, std::string(file.begin(), file.end()));

    const TRunResult r = Cli({"firmware", "--port", "COM43", "--image", image.string(), "--yes"});
    ASSERT_EQ(r.Exit, 0) << r.Out << r.Err;
    EXPECT_EQ(r.Out, "Версия прошивки: 1.5\nДата создания: 07.03.09\nПрограммирование завершено\n");
    EXPECT_NE(r.Err.find("блок 1 из 128\nблок 2 из 128\n"), std::string::npos);
    EXPECT_NE(r.Err.find("блок 128 из 128\n"), std::string::npos);

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    Bytes expected(file.begin(), file.begin() + 32768);
    expected[32766] = static_cast<std::uint8_t>(local.tm_mday);
    expected[32765] = static_cast<std::uint8_t>(local.tm_mon + 1);
    expected[32764] = static_cast<std::uint8_t>(local.tm_year % 100);
    EXPECT_EQ(FileBytes(received), expected);
}

TEST_F(ServiceCli, FirmwareRefusedSilentAndStopped) {
    const std::filesystem::path image = Folder.Path / "image.vrs";
    WriteText(image, std::string(32768, '\x5A'));
    struct TCase {
        const char* Loader;
        const char* Message;
        const char* LastBlock;
    } const cases[] = {
        {R"({"refuse_handshake": true})", "Не удалось войти в режим программирования\n", nullptr},
        {R"({"handshake_reply": 85})", "Не удалось войти в режим программирования\n", nullptr},
        {R"({"silent_after_block": 57})",
         "Прибор не ответил на блок 58 из 128. Программирование прервано, повторите прошивку.\n",
         "блок 57 из 128\n"},
    };
    for (const TCase& c : cases) {
        TSimProcess sim(Scenario(BootScenario(c.Loader)), {"--com", "43"});
        ASSERT_TRUE(sim.Ready) << sim.Banner;
        const TRunResult r =
            Cli({"firmware", "--port", "COM43", "--image", image.string(), "--yes"});
        EXPECT_EQ(r.Exit, 1) << c.Loader;
        EXPECT_NE(r.Err.find(c.Message), std::string::npos) << c.Loader << r.Err;
        if (c.LastBlock) {
            EXPECT_NE(r.Err.find(c.LastBlock), std::string::npos);
            EXPECT_EQ(r.Err.find("блок 58 из 128\n"), std::string::npos);
        } else {
            EXPECT_EQ(r.Err.find("блок "), std::string::npos);
        }
    }
    // No confirmation (standard input closed): nothing is sent.
    EXPECT_EQ(Cli({"firmware", "--port", "COM43", "--image", (Folder.Path / "none.vrs").string(),
                   "--yes"})
                  .Exit,
              1);
    EXPECT_EQ(Cli({"firmware", "--port", "COM43"}).Exit, 2);
}

} // namespace
} // namespace virs::test
