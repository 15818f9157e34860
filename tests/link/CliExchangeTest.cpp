// virs-cli exchange end to end: the program against a slave device on a
// pseudo-terminal, its output, exit status and protocol log.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>

#include "tests/link/ExchangeFixture.h"

namespace virs {
namespace {

using test::Answer;
using test::Bytes;
using test::Frame;
using test::ReadAnswer;
using test::TReply;
using test::TSlaveDevice;

struct TRun {
    int Status = -1;
    std::string Output; // stdout and stderr
};

TRun RunCli(const std::filesystem::path& dir, const std::string& arguments) {
    std::string command =
        "cd '" + dir.string() + "' && '" VIRS_CLI_PATH "' exchange " + arguments + " 2>&1";
    TRun run;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.Output.append(buffer, n);
    int status = ::pclose(pipe);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

struct TCliCase {
    const char* Name;
    std::string Arguments; // after --port <pty>
    int Status;
    std::string Output; // expected at the start of the output
    std::size_t LogLines;
};

class CliExchange : public ::testing::TestWithParam<TCliCase> {};

TEST_P(CliExchange, PrintsTheResultAndExits) {
    const TCliCase& c = GetParam();
    test::TPty pty;
    test::TTempDir dir;
    TSlaveDevice slave(pty, [](const Bytes& r) {
        if (r[1] == 3 && test::RequestStart(r) >= 1000)
            return Answer(Frame({r[0], 0x83, 2}));
        if (r[1] == 3)
            return Answer(ReadAnswer(r));
        if (r[1] == 16)
            return Answer(Frame({r[0], 16, r[2], r[3], r[4], r[5]}));
        return Answer(Frame({r[0], 0x43, 0x01, 0x34, 0x12}));
    });
    TRun run = RunCli(dir.Path, "--port " + pty.SlavePath + " --baud 115200 " + c.Arguments);
    EXPECT_EQ(run.Status, c.Status) << run.Output;
    EXPECT_EQ(run.Output.substr(0, c.Output.size()), c.Output) << run.Output;
    std::ifstream in(dir.Path / ProtocolLogFileName, std::ios::binary);
    std::string log{std::istreambuf_iterator<char>(in), {}};
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = log.find("\r\n", at)) != std::string::npos; at += 2)
        ++lines;
    EXPECT_EQ(lines, c.LogLines);
}

INSTANTIATE_TEST_SUITE_P(
    Cli, CliExchange,
    ::testing::Values(
        TCliCase{"ReadPrintsRegistersInHex",
                 "--address 1 --function 3 --start 10 --count 3 --chunk 2", 0,
                 "0 Завершено успешно\n10 011F\n11 0122\n12 0125\n", 4},
        TCliCase{"WriteTakesHexData",
                 "--address 7 --function 16 --start 5 --count 3 --data 1 0xBEEF,ab", 0,
                 "0 Завершено успешно\n", 2},
        TCliCase{"RecordHeaderPrintsThreeBytes", "--address 1 --function 67 --start 4 --count 1", 0,
                 "0 Завершено успешно\n01 34 12\n", 2},
        TCliCase{"ExceptionExitsOne", "--address 1 --function 3 --start 1000 --count 2 --retries 2",
                 1, "2 Адрес данных указанный в запросе не доступен данному подчиненному\n", 4},
        TCliCase{"ZeroRetriesIsResult14",
                 "--address 1 --function 3 --start 0 --count 2 --retries 0", 1,
                 "14 Кол-во попыток запросов или длина пакета равны 0\n", 0},
        TCliCase{"WriteWithTooFewValues", "--address 1 --function 16 --start 0 --count 2 --data 1",
                 2, "virs-cli exchange: ", 0},
        TCliCase{"UnknownFunction", "--address 1 --function 4 --start 0 --count 2", 2,
                 "virs-cli exchange: ", 0},
        TCliCase{"MissingCount", "--address 1 --function 3 --start 0", 2, "virs-cli exchange: ", 0},
        TCliCase{"BadBaud", "--baud 1000 --address 1 --function 3 --start 0 --count 1", 2,
                 "virs-cli exchange: ", 0}),
    [](const ::testing::TestParamInfo<TCliCase>& p) { return std::string(p.param.Name); });

TEST(CliExchangePort, MissingPortExitsTwoWithAMessage) {
    test::TTempDir dir;
    TRun run = RunCli(dir.Path, "--port " + (dir.Path / "nothing").string() +
                                    " --address 1 --function 3 --start 0 --count 1");
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Output.find("не удалось открыть порт"), std::string::npos) << run.Output;
}

TEST(CliExchangePort, SilentDeviceGivesTimeoutAfterEachAttempt) {
    test::TPty pty;
    test::TTempDir dir;
    TSlaveDevice slave(pty, [](const Bytes&) { return TReply{}; });
    TRun run = RunCli(dir.Path, "--port " + pty.SlavePath +
                                    " --address 1 --function 3 --start 0 --count 1 --retries 2 "
                                    "--timeout 100");
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Output, "12 Превышен тайм-аут ожидания ответа\n");
    EXPECT_EQ(slave.Requests().size(), 2u);
}

// COM200 as an alias to the slave's line: used from the user's own 0700 folder;
// from a folder anyone may write to it is ignored, the slave gets nothing and
// standard error says why.
TEST(CliExchangePort, AliasFolderIsUsedOnlyWhenNoOneElseCanChangeIt) {
    for (const bool openToOthers : {false, true}) {
        test::TPty pty;
        test::TTempDir dir;
        TSlaveDevice slave(pty, [](const Bytes& r) { return Answer(ReadAnswer(r)); });
        const std::filesystem::path ports = dir.Path / "ports";
        std::filesystem::create_directory(ports);
        ::chmod(ports.c_str(), openToOthers ? 0777 : 0700);
        std::filesystem::create_symlink(pty.SlavePath, ports / "COM200");
        ::setenv("VIRS_PORTS_DIR", ports.c_str(), 1);
        TRun run = RunCli(dir.Path, "--port COM200 --address 1 --function 3 --start 0 --count 1 "
                                    "--retries 1 --timeout 200");
        ::unsetenv("VIRS_PORTS_DIR");
        if (!openToOthers) {
            EXPECT_EQ(run.Status, 0) << run.Output;
            EXPECT_EQ(run.Output, "0 Завершено успешно\n0 0101\n");
            EXPECT_EQ(slave.Requests().size(), 1u);
            continue;
        }
        EXPECT_EQ(run.Status, 2) << run.Output;
        EXPECT_NE(run.Output.find("virs-cli exchange: Псевдонимы портов в " + ports.string() +
                                  " не используются: в папку могут писать другие пользователи "
                                  "(права 0777); другого устройства для COM200 нет\n"),
                  std::string::npos)
            << run.Output;
        EXPECT_TRUE(slave.Requests().empty());
    }
}

} // namespace
} // namespace virs
