#include <gtest/gtest.h>

#include "model/StationBase.h"
#include "tests/cli/CliRunner.h"
#include "tests/model/TestFolder.h"

namespace virs {
namespace {

using test::ReadBytes;
using test::RunCli;
using test::TempFolder;

// A small station: a direct node with two devices, a GSM node with none.
void WriteStation(const std::filesystem::path& dir) {
    StationBase base;
    ASSERT_EQ(base.InsertNode(0), TModelStatus::Ok);
    base.Nodes[0].NameSlot.Value.Set("Котельная");
    base.Nodes[0].ComPort = 5;
    ASSERT_EQ(base.InsertDevice(0), TModelStatus::Ok);
    base.Devices[0][0].DeviceType = DeviceVirsD;
    base.Devices[0][0].NameSlot.Value.Set("Ввод 1");
    ASSERT_EQ(base.InsertDevice(1), TModelStatus::Ok);
    base.Devices[0][1].DeviceType = DeviceVirsD2;
    ASSERT_EQ(base.InsertNode(1), TModelStatus::Ok);
    base.Nodes[1].LinkType = LinkGsm;
    base.Nodes[1].Phone.Set("+79001234567");
    TStationFileGuard guard;
    ASSERT_TRUE(SaveStationBase(base, guard, dir).Ok);
}

TEST(StationCli, PrintsTheTree) {
    TempFolder dir;
    WriteStation(dir.Path);
    const auto r = RunCli("station " + dir.Path.string());
    EXPECT_EQ(r.ExitCode, 0) << r.Out;
    for (const char* expected :
         {"узлов: 2, приборов: 2", "узел 0: Котельная", "связь: прямое RS232/RS485",
          "порт: COM5, 9600 бит/с, чётность: нет, 1 стоп-бит",
          "прибор 0: Ввод 1 — ВИРС-Д, сетевой номер 1",
          "прибор 1: новый прибор — ВИРС-Д2, сетевой номер 2", "связь: GSM модем",
          "телефон: +79001234567 (тоновый), инициализация: AT&FE0V1"})
        EXPECT_NE(r.Out.find(expected), std::string::npos) << expected << "\n" << r.Out;
}

TEST(StationCli, CopyIsByteIdentical) {
    TempFolder dir;
    WriteStation(dir.Path);
    // Stale bytes behind a short string must survive the copy.
    std::string bytes = ReadBytes(dir / "base.dat");
    bytes[2 + 1 + 42 + 200] = '\x7F';
    test::WriteBytes(dir / "base.dat", bytes);
    const auto r =
        RunCli("station-copy " + (dir / "base.dat").string() + " " + (dir / "copy.dat").string());
    EXPECT_EQ(r.ExitCode, 0) << r.Out;
    EXPECT_EQ(ReadBytes(dir / "copy.dat"), bytes);
}

TEST(StationCli, BadInputGivesAMessageAndNonZeroExit) {
    TempFolder dir;
    struct Case {
        std::string Args;
        int Exit;
    } cases[] = {
        {"station " + dir.Path.string(), 1},                           // no base.dat
        {"station a b", 2},                                            // too many arguments
        {"station-copy " + (dir / "none.dat").string() + " x.dat", 1}, // missing source
        {"station-copy only-one", 2},
        {"no-such-command", 2},
        {"", 2},
    };
    for (const Case& c : cases) {
        const auto r = RunCli(c.Args);
        EXPECT_EQ(r.ExitCode, c.Exit) << c.Args << "\n" << r.Out;
        EXPECT_FALSE(r.Out.empty()) << c.Args;
    }
}

// A source that does not load cleanly never replaces a good destination unless
// --force asks for it; what is not a regular file is refused even then.
TEST(StationCli, CopyRefusesASourceThatDoesNotLoadCleanly) {
    TempFolder dir;
    WriteStation(dir.Path);
    const std::string good = ReadBytes(dir / "base.dat");
    const std::string dst = (dir / "dst.dat").string();
    test::WriteBytes(dir / "dst.dat", good);
    test::WriteBytes(dir / "empty.dat", "");
    test::WriteBytes(dir / "text.dat", "это не база станции\n");
    test::WriteBytes(dir / "cut.dat", good.substr(0, good.size() - 1));
    struct Case {
        std::string Source;
        bool Force;
        int Exit;
        bool Replaced;
    } cases[] = {
        {(dir / "empty.dat").string(), false, 1, false},
        {(dir / "text.dat").string(), false, 1, false},
        {(dir / "cut.dat").string(), false, 1, false},
        {"/dev/null", false, 1, false},
        {"/dev/null", true, 1, false},
        {(dir / "text.dat").string(), true, 0, true},
    };
    for (const Case& c : cases) {
        test::WriteBytes(dir / "dst.dat", good);
        const auto r = RunCli(std::string("station-copy ") + (c.Force ? "--force " : "") +
                              c.Source + " " + dst);
        EXPECT_EQ(r.ExitCode, c.Exit) << c.Source << "\n" << r.Out;
        EXPECT_FALSE(r.Out.empty()) << c.Source;
        EXPECT_EQ(ReadBytes(dst) != good, c.Replaced) << c.Source;
    }
}

TEST(StationCli, StoredZeroTimeoutAndControlBytesInNamesAreShown) {
    TempFolder dir;
    StationBase base;
    ASSERT_EQ(base.InsertNode(0), TModelStatus::Ok);
    base.Nodes[0].NameSlot.Value.Set("Узел\x1b[31m\tА");
    base.Nodes[0].ReplyTimeoutMs = 0;
    ASSERT_EQ(base.InsertDevice(0), TModelStatus::Ok);
    base.Devices[0][0].NameSlot.Value.Set("Ввод\r\x7f");
    TStationFileGuard guard;
    ASSERT_TRUE(SaveStationBase(base, guard, dir.Path).Ok);
    const auto r = RunCli("station " + dir.Path.string());
    EXPECT_EQ(r.ExitCode, 0) << r.Out;
    // ESC, TAB, CR and DEL as their pictures U+241B, U+2409, U+240D, U+2421.
    for (const char* expected : {"узел 0: Узел\u241b[31m\u2409А", "прибор 0: Ввод\u240d\u2421",
                                 "тайм-аут: 3000 мс (в файле 0)"})
        EXPECT_NE(r.Out.find(expected), std::string::npos) << expected << "\n" << r.Out;
    EXPECT_EQ(r.Out.find('\x1b'), std::string::npos);
    EXPECT_EQ(r.Out.find('\x7f'), std::string::npos);
}

} // namespace
} // namespace virs
