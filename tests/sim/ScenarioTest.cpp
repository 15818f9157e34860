// Scenario files: what they describe, and the place named when they are wrong.

#include <gtest/gtest.h>

#include "sim/Scenario.h"
#include "sim/SimTime.h"

namespace virs::sim {
namespace {

TEST(Scenario, DefaultIsOneMeterOfEachTypeOnADirectLine) {
    const TScenario sc = DefaultScenario();
    ASSERT_EQ(sc.Lines.size(), 1u);
    EXPECT_FALSE(sc.Lines[0].Modem);
    ASSERT_EQ(sc.Sites.size(), 1u);
    ASSERT_EQ(sc.Sites[0].Meters.size(), 4u);
    const TMeterKind kinds[] = {TMeterKind::Sh, TMeterKind::D, TMeterKind::DK, TMeterKind::D2};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(sc.Sites[0].Meters[i].Kind, kinds[i]);
        EXPECT_EQ(sc.Sites[0].Meters[i].Address, i + 1);
    }
}

TEST(Scenario, ReadsSitesLinesModemAndFaults) {
    const std::string text = R"({
      "seed": 42, "now": "2024-03-15T10:00:00",
      "sites": [ {"name": "Котельная", "devices": [ {"type": "ВИРС-Д", "address": 7, "scale_codes": [3, 2]} ],
                  "faults": [ {"device": 7, "kind": "exception", "code": 20, "on_request": 2} ]} ],
      "lines": [
        {"com": 12, "devices": [ {"type": 6, "address": 1, "channel_scheme": 3} ],
         "bootloader": {"silent_after_block": 4}},
        {"kind": "modem", "modem": {"type": "gsm", "baud": 19200, "parity": "odd", "stop_bits": 2,
          "phone_book": [ {"number": "+79001234567", "site": "Котельная", "delay_ms": 100},
                          {"number": "1", "outcome": "busy"} ]}}
      ] })";
    TScenario sc;
    std::string error;
    ASSERT_TRUE(ParseScenario(text, "s.json", sc, error)) << error;
    EXPECT_EQ(sc.Seed, 42u);
    ASSERT_TRUE(sc.Now);
    EXPECT_EQ(FormatSimTime(*sc.Now), "2024-03-15T10:00:00");
    EXPECT_FALSE(sc.ClockRuns);
    ASSERT_EQ(sc.Sites.size(), 2u);
    EXPECT_EQ(sc.Sites[0].Faults.at(0).Code, 20);
    EXPECT_EQ(sc.Sites[0].Meters.at(0).ScaleCodes, (std::vector<double>{3, 2}));
    EXPECT_EQ(sc.Lines[0].Com, 12u);
    EXPECT_EQ(sc.Lines[0].Site, sc.Sites[1].Name);
    EXPECT_EQ(sc.Sites[1].Meters.at(0).ChannelScheme, 3);
    EXPECT_EQ(sc.Lines[0].Boot.SilentAfterBlock, 4);
    EXPECT_TRUE(sc.Lines[0].Boot.Enabled);
    const TModemConfig& m = sc.Lines[1].ModemConfig;
    EXPECT_TRUE(sc.Lines[1].Modem);
    EXPECT_TRUE(m.Gsm);
    EXPECT_EQ(m.Baud, 19200u);
    EXPECT_EQ(m.Parity, TParity::Odd);
    EXPECT_TRUE(m.TwoStopBits);
    ASSERT_EQ(m.PhoneBook.size(), 2u);
    EXPECT_EQ(m.PhoneBook[1].Outcome, TDialOutcome::Busy);
}

TEST(Scenario, AdapterAddressesUpTo255) {
    // The adapter takes the pair N, N + 1 for N up to 254.
    TScenario sc;
    std::string error;
    ASSERT_TRUE(ParseScenario(
        R"({"lines": [{"devices": [{"type": "ВИРС-Ш", "address": 254, "second_address": 255},
                                   {"type": "ВИРС-Д", "address": 250}]}]})",
        "s.json", sc, error))
        << error;
    ASSERT_EQ(sc.Sites.size(), 1u);
    ASSERT_EQ(sc.Sites[0].Meters.size(), 2u);
    EXPECT_EQ(sc.Sites[0].Meters[0].Address, 254);
    EXPECT_EQ(sc.Sites[0].Meters[0].SecondAddress, 255);
    EXPECT_EQ(sc.Sites[0].Meters[1].Address, 250);
    TFault f;
    EXPECT_TRUE(ParseFaultOption("device=255,kind=silence", f, error)) << error;
    EXPECT_FALSE(ParseFaultOption("device=256,kind=silence", f, error));
    EXPECT_TRUE(ParseFaultOption("kind=silence,permille=1000", f, error)) << error;
    EXPECT_EQ(f.Permille, 1000);
    EXPECT_FALSE(ParseFaultOption("kind=silence,permille=1001", f, error));
}

struct BadCase {
    const char* Name;
    std::string Text;
    std::string Message; // the start of the error
};

class ScenarioErrors : public ::testing::TestWithParam<BadCase> {};

TEST_P(ScenarioErrors, NameThePlace) {
    TScenario sc;
    std::string error;
    EXPECT_FALSE(ParseScenario(GetParam().Text, "bad.json", sc, error));
    EXPECT_EQ(error.substr(0, GetParam().Message.size()), GetParam().Message) << error;
}

const BadCase BadCases[] = {
    BadCase{"MissingComma", "{\n  \"seed\": 1\n  \"lines\": []\n}",
            "bad.json:3:9: ошибка синтаксиса JSON"},
    BadCase{"Truncated", "{\"lines\": [", "bad.json:1:12: ошибка синтаксиса JSON"},
    BadCase{"CyrillicColumn", "{\"sites\": [{\"name\": \"Узел\" ]}", "bad.json:1:28:"},
    BadCase{"UnknownKey", R"({"lines": [{"devices": []}], "sede": 1})",
            "bad.json: sede: неизвестный ключ"},
    BadCase{"NoLines", R"({"seed": 1})", "bad.json: нужна хотя бы одна линия"},
    BadCase{"BadType", R"({"lines": [{"devices": [{"type": "ВИРС-X", "address": 1}]}]})",
            "bad.json: lines[0].devices[0].type: неизвестный тип прибора"},
    BadCase{"AddressRange", R"({"lines": [{"devices": [{"type": "ВИРС-Д", "address": 300}]}]})",
            "bad.json: lines[0].devices[0].address: значение 300 вне диапазона 1..255"},
    BadCase{"DuplicateAddress",
            R"({"lines": [{"devices": [{"type": 3, "address": 2}, {"type": 4, "address": 2}]}]})",
            "bad.json: lines[0].devices[1].address: адрес 2 уже занят"},
    BadCase{"UnknownSite", R"({"lines": [{"site": "нет"}]})",
            "bad.json: lines[0].site: нет узла \"нет\""},
    BadCase{
        "BadOutcome",
        R"({"lines": [{"kind": "modem", "modem": {"phone_book": [{"number": "1", "outcome": "maybe"}]}}]})",
        "bad.json: lines[0].modem.phone_book[0].outcome: неизвестный исход вызова"},
    BadCase{"BadFault",
            R"({"sites": [{"faults": [{"kind": "exception"}]}], "lines": [{"site": "узел 1"}]})",
            "bad.json: sites[0].faults[0]: для сбоя exception нужен код"},
    BadCase{"BadNow", R"({"now": "2024-02-30", "lines": [{"devices": []}]})",
            "bad.json: now: \"2024-02-30\""},
    BadCase{"SameCom", R"({"lines": [{"com": 3, "devices": []}, {"com": 3, "devices": []}]})",
            "bad.json: lines[1].com: COM3 уже занят"},
};

INSTANTIATE_TEST_SUITE_P(Sim, ScenarioErrors, ::testing::ValuesIn(BadCases),
                         [](const auto& row) { return std::string(row.param.Name); });

TEST(Scenario, FaultOption) {
    TFault f;
    std::string error;
    ASSERT_TRUE(ParseFaultOption("device=2,kind=split,at=4,gap_ms=120,on_request=3", f, error))
        << error;
    EXPECT_EQ(*f.Device, 2);
    EXPECT_EQ(f.Kind, TFaultKind::Split);
    EXPECT_EQ(f.At, 4);
    EXPECT_EQ(f.GapMs, 120);
    EXPECT_EQ(f.OnRequest, 3);
    EXPECT_FALSE(ParseFaultOption("kind=flood", f, error));
    EXPECT_NE(error.find("неизвестный вид сбоя"), std::string::npos);
    EXPECT_FALSE(ParseFaultOption("device", f, error));
}

TEST(Scenario, ShippedScenariosLoad) {
    const std::string root = std::getenv("VIRS_SOURCE_DIR") ? std::getenv("VIRS_SOURCE_DIR") : ".";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root + "/sim/scenarios")) {
        if (entry.path().extension() != ".json")
            continue;
        TScenario sc;
        std::string error;
        EXPECT_TRUE(LoadScenario(entry.path(), sc, error)) << error;
        ++files;
    }
    EXPECT_GE(files, 2);
}

} // namespace
} // namespace virs::sim
