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

} // namespace
} // namespace virs
