// virs-cli archive against the simulator: each family and archive kind, a
// time-out and a stop in the middle of a walk, a ВИРС-Д2 error, the remembered
// workbook and a workbook that cannot be written.

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

#include "tests/cli/SimHarness.h"
#include "workbook/Workbook.h"

namespace virs::test {
namespace {

constexpr const char* Now = "2024-03-15T10:00:00";

std::string Scenario(bool pacing) {
    return R"({"seed": 11, "now": ")" + std::string(Now) + R"(", "pacing": )" +
           (pacing ? "true" : "false") + R"(,
      "sites": [{"name": "A", "devices": [
        {"type": "ВИРС-Ш", "address": 1, "serial": 1111},
        {"type": "ВИРС-Д", "address": 2, "serial": 2222},
        {"type": "ВИРС-ДК", "address": 3, "serial": 3333},
        {"type": "ВИРС-Д2", "address": 4, "serial": 4444}]}],
      "lines": [{"com": 7, "kind": "direct", "site": "A"}]})";
}

class ArchiveCliTest : public TStationFolderTest {
protected:
    void SetUp() override {
        TStationFolderTest::SetUp();
        TTestNode node;
        node.ComPort = 7;
        node.Devices = {{DeviceVirsSh, 1}, {DeviceVirsD, 2}, {DeviceVirsDK, 3}, {DeviceVirsD2, 4}};
        SaveStation(MakeStation({node}), Base);
    }
    std::filesystem::path WriteScenario(bool pacing = true) {
        const std::filesystem::path file = Folder.Path / "scenario.json";
        WriteText(file, Scenario(pacing));
        return file;
    }
    std::vector<std::string> Args(int device, const char* kind, const char* from, const char* to,
                                  const char* mode = nullptr) {
        std::vector<std::string> a = {
            "archive", "--dir", Base.string(), "--node", "0",    "--device", std::to_string(device),
            "--kind",  kind,    "--from",      from,     "--to", to,         "--now",
            Now};
        if (mode) {
            a.push_back("--mode");
            a.push_back(mode);
        }
        return a;
    }
    TRunResult Archive(int device, const char* kind, const char* from, const char* to,
                       const char* mode = nullptr) {
        return RunCli(Args(device, kind, from, to, mode), Folder.Path);
    }
    TRunResult Render(int device, int view) {
        return RunCli({"render", "--dir", Base.string(), "--node", "0", "--device",
                       std::to_string(device), "--view", std::to_string(view)},
                      Folder.Path);
    }
    std::string StoredFile(int device) {
        return LoadStation(Base).Devices[0][device].ArchiveFile.Get();
    }
};

// Lines of the view that begin with a date: the data rows.
int DataRows(const std::string& view) {
    int rows = 0;
    std::stringstream in(view);
    std::string line;
    while (std::getline(in, line))
        if (line.size() >= 10 && line[2] == '.' && line[5] == '.' && line[0] >= '0' &&
            line[0] <= '9')
            ++rows;
    return rows;
}

struct TKindCase {
    int Device;
    const char* Kind;
    const char* From;
    const char* To;
    const char* Mode;
    const char* File;  // the workbook's name
    const char* Title; // the first line of the view
    int Rows;          // data rows, or -1 for "at least one"
};

class ArchiveKindTest : public ArchiveCliTest, public ::testing::WithParamInterface<TKindCase> {};

TEST_P(ArchiveKindTest, ReadsSavesAndShows) {
    const TKindCase& c = GetParam();
    TSimProcess sim(WriteScenario());
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    const TRunResult r = Archive(c.Device, c.Kind, c.From, c.To, c.Mode);
    ASSERT_EQ(r.Exit, 0) << r.Err;
    EXPECT_NE(r.Err.find("Выполнено..."), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("Завершено успешно\n"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("Узел закрыт"), std::string::npos) << r.Err;
    EXPECT_EQ(r.Out.rfind(c.Title, 0), 0u) << r.Out;
    if (c.Rows >= 0)
        EXPECT_EQ(DataRows(r.Out), c.Rows) << r.Out;
    else
        EXPECT_GT(DataRows(r.Out), 0) << r.Out;
    EXPECT_EQ(StoredFile(c.Device), c.File);
    EXPECT_TRUE(std::filesystem::exists(Base / c.File));
    // The stored workbook renders to the very text the job printed.
    const TRunResult rendered = Render(c.Device, std::string(c.Kind) == "daily"    ? 1
                                                 : std::string(c.Kind) == "hourly" ? 2
                                                                                   : 3);
    EXPECT_EQ(rendered.Exit, 0);
    EXPECT_EQ(rendered.Out, r.Out);
}

INSTANTIATE_TEST_SUITE_P(
    EveryFamily, ArchiveKindTest,
    ::testing::Values(
        // ВИРС-Ш: up to yesterday; records the meter marks invalid leave no row.
        TKindCase{0, "daily", "2024-03-08", "2024-03-14", nullptr, "узел 1 [прибор 1].xls",
                  "Суточный архив с 08.03.2024 по 14.03.2024", -1},
        TKindCase{0, "hourly", "2024-03-15", "2024-03-15", nullptr, "узел 1 [прибор 1].xls",
                  "Часовой архив с 15.03.2024 по 15.03.2024", -1},
        // ВИРС-Д: every record gives a row, and a totals row ends the averages.
        TKindCase{1, "daily", "2024-03-01", "2024-03-14", nullptr, "узел 1 [прибор 2].xls",
                  "Суточный архив средних значений с 01.03.2024 по 14.03.2024", 14},
        TKindCase{1, "hourly", "2024-03-14", "2024-03-14", "integrators", "узел 1 [прибор 2].xls",
                  "Часовой архив интеграторов с 14.03.2024 по 14.03.2024", 23},
        TKindCase{2, "monthly", "2024-01-10", "2024-03-15", nullptr, "узел 1 [прибор 3].xls",
                  "Месячный архив средних значений с 10.01.2024 по 15.03.2024", 3},
        // ВИРС-Д2: the day before the first is read for the differences.
        TKindCase{3, "daily", "2024-03-10", "2024-03-14", "integrators", "узел 1 [прибор 4].xls",
                  "Суточный архив с 10.03.2024 по 14.03.2024", -1},
        TKindCase{3, "hourly", "2024-03-14", "2024-03-14", nullptr, "узел 1 [прибор 4].xls",
                  "Часовой архив с 14.03.2024 по 14.03.2024", -1}),
    [](const ::testing::TestParamInfo<TKindCase>& p) {
        return "Device" + std::to_string(p.param.Device) + "_" + p.param.Kind;
    });

// Registers read with virs-cli exchange, one "<register> <HEX>" line each.
std::vector<unsigned> Registers(const std::string& out) {
    std::vector<unsigned> regs;
    std::stringstream in(out);
    std::string line;
    std::getline(in, line); // "<code> <text>"
    while (std::getline(in, line)) {
        const std::size_t space = line.find(' ');
        if (space != std::string::npos)
            regs.push_back(static_cast<unsigned>(std::stoul(line.substr(space + 1), nullptr, 16)));
    }
    return regs;
}

// The cells of a row agree with the meter's registers decoded here by hand.
TEST_F(ArchiveCliTest, RowValuesAreTheMetersRegisters) {
    TSimProcess sim(WriteScenario(false));
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    auto exchange = [&](const std::vector<std::string>& tail) {
        std::vector<std::string> a = {"exchange", "--port", "COM7", "--retries", "2"};
        a.insert(a.end(), tail.begin(), tail.end());
        const TRunResult r = RunCli(a, Folder.Path);
        EXPECT_EQ(r.Exit, 0) << r.Out << r.Err;
        return Registers(r.Out);
    };
    // ВИРС-Ш, 14.03.2024: day 8839 of the meter, slot 8839 mod 1461 = 73, address 1074.
    const std::vector<unsigned> sh =
        exchange({"--address", "1", "--function", "3", "--start", "1074", "--count", "5"});
    ASSERT_EQ(sh.size(), 5u);
    ASSERT_TRUE(sh[4] & 0x80) << "the record of the day is not valid";
    const double volume =
        static_cast<double>((std::uint64_t{sh[2]} << 32) | (sh[1] << 16) | sh[0]) / 1e6;
    ASSERT_EQ(Archive(0, "daily", "2024-03-14", "2024-03-14").Exit, 0);
    TWorkbook sheet;
    ASSERT_TRUE(sheet.Read((Base / "узел 1 [прибор 1].xls").string()).Ok);
    EXPECT_EQ(sheet.GetNumber(SheetDays, 0, 9), 45365); // 14.03.2024
    EXPECT_EQ(sheet.GetNumber(SheetDays, 1, 9), volume);
    EXPECT_EQ(sheet.GetNumber(SheetDays, 2, 9), sh[3] / 1800.0);

    // ВИРС-Д, 13.03.2024 daily averages: selector 0x1803 0x0D00 0x0001.
    const std::vector<unsigned> scales =
        exchange({"--address", "2", "--function", "3", "--start", "56", "--count", "8"});
    ASSERT_EQ(scales.size(), 8u);
    exchange({"--address", "2", "--function", "16", "--start", "0", "--count", "3", "--data",
              "1803", "0D00", "0001"});
    const std::vector<unsigned> rec =
        exchange({"--address", "2", "--function", "3", "--start", "200", "--count", "26"});
    ASSERT_EQ(rec.size(), 26u);
    ASSERT_EQ(Archive(1, "daily", "2024-03-13", "2024-03-13").Exit, 0);
    TWorkbook d;
    ASSERT_TRUE(d.Read((Base / "узел 1 [прибор 2].xls").string()).Ok);
    for (int k = 0; k < 4; ++k) {
        std::uint32_t bits = scales[2 * k] | scales[2 * k + 1] << 16;
        float code;
        std::memcpy(&code, &bits, 4);
        const double multiplier = code == 1   ? 1
                                  : code == 2 ? 0.1
                                  : code == 3 ? 0.01
                                  : code == 4 ? 0.001
                                              : 10;
        std::uint32_t counter = rec[2 * k] | rec[2 * k + 1] << 16;
        if (counter >= 0xFFFF0000u)
            counter = 0;
        EXPECT_EQ(d.GetNumber(SheetDays, 1 + k, 8), counter * multiplier) << k;
        std::uint32_t time = rec[8 + 2 * k] | rec[9 + 2 * k] << 16;
        if (time >= 0xFFFF0000u)
            time = 0;
        EXPECT_EQ(d.GetNumber(SheetDays, 5 + k, 8), time / 1e4) << k;
    }
    const std::uint32_t mains = rec[16] | rec[17] << 16;
    EXPECT_EQ(d.GetNumber(SheetDays, 9, 8), 24 - mains / 1e4);
    EXPECT_EQ(d.GetText(SheetDays, 0, 9), "Итого:");
}

TEST_F(ArchiveCliTest, ATimeOutMidWalkSavesTheRowsSoFar) {
    // The ВИРС-Ш answers its first three record requests, then falls silent.
    TSimProcess sim(WriteScenario(), {"--fault", "device=1,kind=silence,on_request=4,times=100"});
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    const TRunResult r = Archive(0, "daily", "2024-03-01", "2024-03-14");
    EXPECT_EQ(r.Exit, 1);
    EXPECT_NE(r.Err.find("Превышен тайм-аут ожидания ответа"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("Узел закрыт"), std::string::npos) << r.Err;
    TWorkbook xls;
    ASSERT_TRUE(xls.Read((Base / "узел 1 [прибор 1].xls").string()).Ok);
    int rows = 0;
    while (xls.GetNumber(SheetDays, 0, 9 + rows) > 0)
        ++rows;
    EXPECT_GE(rows, 1);
    EXPECT_LE(rows, 3);
    EXPECT_EQ(DataRows(r.Out), rows);
}

TEST_F(ArchiveCliTest, D2SavesNothingOnAnError) {
    TSimProcess sim(WriteScenario(), {"--fault", "device=4,kind=silence,on_request=5,times=100"});
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    const TRunResult r = Archive(3, "daily", "2024-03-01", "2024-03-14", "integrators");
    EXPECT_EQ(r.Exit, 1);
    EXPECT_NE(r.Err.find("Превышен тайм-аут ожидания ответа"), std::string::npos) << r.Err;
    EXPECT_FALSE(std::filesystem::exists(Base / "узел 1 [прибор 4].xls"));
    EXPECT_TRUE(r.Out.empty()) << r.Out;
}

TEST_F(ArchiveCliTest, AStopSavesTheRowsSoFar) {
    TSimProcess sim(WriteScenario());
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    // A long hourly walk of a ВИРС-Д, stopped as soon as it shows progress.
    std::vector<std::string> args = Args(1, "hourly", "2024-03-01", "2024-03-14");
    args.insert(args.begin(), (BinaryDir() / "cli" / "virs-cli").string());
    const std::string errFile = (Folder.Path / "stop.err").string();
    const std::string outFile = (Folder.Path / "stop.out").string();
    const pid_t pid = SpawnProgram(args, outFile, errFile);
    ASSERT_GT(pid, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (ReadText(errFile).find("Выполнено...") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        usleep(20000);
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    const std::string err = ReadText(errFile);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << err;
    EXPECT_NE(err.find("Прервано пользователем"), std::string::npos) << err;
    EXPECT_NE(err.find("Узел закрыт"), std::string::npos) << err;
    const int rows = DataRows(ReadText(outFile));
    EXPECT_GE(rows, 1);
    EXPECT_LT(rows, 14 * 24 - 1);
    TWorkbook xls;
    ASSERT_TRUE(xls.Read((Base / "узел 1 [прибор 2].xls").string()).Ok);
    EXPECT_GT(xls.GetNumber(SheetHours, 0, 8), 0);
}

TEST_F(ArchiveCliTest, TheRememberedWorkbookKeepsItsOtherSheets) {
    TSimProcess sim(WriteScenario(false));
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    const TRunResult daily = Archive(1, "daily", "2024-03-10", "2024-03-12");
    ASSERT_EQ(daily.Exit, 0) << daily.Err;
    // Another file has taken the name the first export would have.
    WriteText(Base / "узел 1 [прибор 3].xls", "not mine");
    const TRunResult monthly = Archive(1, "monthly", "2024-01-01", "2024-02-01");
    ASSERT_EQ(monthly.Exit, 0) << monthly.Err;
    EXPECT_EQ(StoredFile(1), "узел 1 [прибор 2].xls");
    const TRunResult again = Render(1, 1);
    EXPECT_EQ(again.Out, daily.Out);
    EXPECT_EQ(Render(1, 3).Out, monthly.Out);
    TWorkbook xls;
    ASSERT_TRUE(xls.Read((Base / "узел 1 [прибор 2].xls").string()).Ok);
    // The second export wrote its cells with the formats raised by 16.
    ASSERT_NE(xls.FindCell(SheetMonths, 1, 8), nullptr);
    EXPECT_EQ(xls.FindCell(SheetMonths, 1, 8)->Format, 16 + 2);

    // The ВИРС-ДК's first export finds its name taken: _0.
    const TRunResult dk = Archive(2, "daily", "2024-03-10", "2024-03-10");
    ASSERT_EQ(dk.Exit, 0) << dk.Err;
    EXPECT_EQ(StoredFile(2), "узел 1 [прибор 3]_0.xls");
    EXPECT_EQ(ReadText(Base / "узел 1 [прибор 3].xls"), "not mine");
}

TEST_F(ArchiveCliTest, AWorkbookThatCannotBeWrittenShowsTheMessageAndTheJobEnds) {
    TSimProcess sim(WriteScenario(false));
    ASSERT_TRUE(sim.Ready) << sim.Banner;
    // The workbook is written through a temporary file beside it whose name is
    // the workbook's and a suffix. A device name of 115 Cyrillic letters
    // (230 bytes) leaves the workbook's own name within the 255 bytes a file
    // name may have here, but not the temporary one: the write fails for any
    // user, after the name was checked and taken.
    std::string longName;
    for (int i = 0; i < 115; ++i)
        longName += "п";
    TTestNode node;
    node.ComPort = 7;
    node.Devices = {{DeviceVirsSh, 1}, {DeviceVirsD, 2}, {DeviceVirsDK, 3}, {DeviceVirsD2, 4}};
    StationBase station = MakeStation({node});
    station.Devices[0][0].NameSlot.Value.Set(longName);
    SaveStation(station, Base);
    const TRunResult r = Archive(0, "daily", "2024-03-12", "2024-03-14");
    EXPECT_EQ(r.Exit, 0) << r.Err;
    EXPECT_NE(r.Err.find("Не удалось сохранить файл с полученным архивом. / Возможно, он открыт "
                         "в другом приложении"),
              std::string::npos)
        << r.Err;
    EXPECT_NE(r.Err.find("Завершено успешно"), std::string::npos) << r.Err;
    EXPECT_FALSE(std::filesystem::exists(Base / ("узел 1 [" + longName + "].xls")));
    EXPECT_TRUE(r.Out.empty());
}

// Over a modem: the call, the archive, then the escape and hang-up.
TEST_F(ArchiveCliTest, OverDialUpAndGsmModems) {
    for (const TLinkType link : {LinkDialUp, LinkGsm}) {
        TTestNode node;
        node.LinkType = link;
        node.ComPort = 7;
        node.Phone = "100";
        node.ReplyTimeoutMs = 2000;
        node.Devices = {{DeviceVirsD, 2}};
        SaveStation(MakeStation({node}), Base);
        std::filesystem::remove(Base / "узел 1 [прибор 1].xls");
        const std::filesystem::path scenario = Folder.Path / "modem.json";
        WriteText(scenario,
                  R"({"seed": 3, "now": ")" + std::string(Now) +
                      R"(", "sites": [{"name": "A", "devices": [{"type": "ВИРС-Д", "address": 2}]}],
          "lines": [{"com": 7, "kind": "modem", "modem": {"echo": false, "type": ")" +
                      (link == LinkGsm ? "gsm" : "dialup") + R"(", "baud": 9600,
            "phone_book": [{"number": "100", "outcome": "connect", "site": "A",
                            "delay_ms": 300}]}}]})");
        TSimProcess sim(scenario);
        ASSERT_TRUE(sim.Ready) << sim.Banner;
        const TRunResult r = Archive(0, "daily", "2024-03-12", "2024-03-14");
        EXPECT_EQ(r.Exit, 0) << r.Err;
        std::size_t at = 0;
        for (const char* part :
             {"Соединение с узлом установлено", "Выполнено...33%", "Выполнено...66%",
              "Завершено успешно", "Закрытие соединения...", "Узел закрыт"}) {
            const std::size_t found = r.Err.find(part, at);
            EXPECT_NE(found, std::string::npos) << "'" << part << "' missing in:\n" << r.Err;
            if (found != std::string::npos)
                at = found;
        }
        EXPECT_EQ(DataRows(r.Out), 3) << r.Out;
        EXPECT_TRUE(std::filesystem::exists(Base / "узел 1 [прибор 1].xls"));
    }
}

TEST_F(ArchiveCliTest, DatesTheDialogWouldNotAllow) {
    struct {
        int Device;
        const char* Kind;
        const char* From;
        const char* To;
        const char* Said;
    } const cases[] = {
        {0, "daily", "2024-03-14", "2024-03-15", "после 2024-03-14"}, // ВИРС-Ш: up to yesterday
        {1, "daily", "2024-03-16", "2024-03-16", "после 2024-03-15"},
        {1, "daily", "2024-03-10", "2024-03-09", "Дата начала не может быть больше даты окончания"},
        {0, "monthly", "2024-03-10", "2024-03-10", "нет такого архива"},
        {1, "daily", "2024-02-30", "2024-03-01", "ГГГГ-ММ-ДД"},
    };
    for (const auto& c : cases) {
        const TRunResult r = Archive(c.Device, c.Kind, c.From, c.To);
        EXPECT_EQ(r.Exit, 2) << c.From;
        EXPECT_NE(r.Err.find(c.Said), std::string::npos) << r.Err;
    }
}

} // namespace
} // namespace virs::test
