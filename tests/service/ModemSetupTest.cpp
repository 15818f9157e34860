// The remote modem set-up against a scripted modem: search progress, the
// speed each command goes at, which answers are accepted, and the outcomes.

#include <map>

#include <gtest/gtest.h>

#include "service/ModemSetup.h"
#include "tests/service/FakeLine.h"

namespace virs {
namespace {

using test::Bytes;
using test::Of;
using test::Text;

class TRecordingUi : public TModemSetupUi {
public:
    void SetLabel(const std::string& text) override { Labels.push_back(text); }
    void ShowMessage(const TServiceMessage& message) override { Messages.push_back(message.Text); }
    std::vector<std::string> Labels, Messages;
};

const std::vector<std::string> DefaultLines = {"AT&F",        "AT&S1", "ATS0=1", "AT&D0",
                                               "AT+IPR=9600", "ATE0",  "AT&W"};

// A modem at `baud` 8N1 that answers OK to everything and moves to the speed of
// an accepted AT+IPR; `reply` overrides the answer of single commands.
test::TPeer Modem(std::uint32_t& baud, std::map<std::string, std::string> reply = {}) {
    return [&baud, reply](const Bytes& written, const TLineSettings& line) -> Bytes {
        if (line.BaudRate != baud || line.Parity != 0 || line.StopBits != 0)
            return {};
        std::string command = Text(written);
        if (!command.empty() && command.back() == '\r')
            command.pop_back();
        if (auto it = reply.find(command); it != reply.end())
            return Of(it->second);
        if (command == "AT+IPR=9600")
            baud = 9600;
        return Of("\r\nOK\r\n");
    };
}

// The speed each written command went at, as "command@speed".
std::vector<std::string> CommandsWithSpeed(const test::TLineRecord& record, std::size_t from) {
    std::vector<std::string> out;
    for (std::size_t i = from; i < record.Writes.size(); ++i) {
        std::string c = Text(record.Writes[i].first);
        c.pop_back();
        out.push_back(c + "@" + std::to_string(record.Writes[i].second.BaudRate));
    }
    return out;
}

TEST(ModemSetup, FoundAt4800ShowsTheSearchAndFollowsTheNewSpeed) {
    std::uint32_t modemBaud = 4800;
    test::TLineRecord record;
    TRecordingUi ui;
    TLineSettings line; // never read: the first probe goes at the port's own 38400
    const TModemSetupOutcome outcome =
        RunModemSetup("COM7", test::FakeOpener(record, Modem(modemBaud)), line, DefaultLines, ui);

    EXPECT_EQ(outcome.Result, TModemSetupResult::Done);
    EXPECT_EQ(outcome.FoundBaud, 4800u);
    EXPECT_EQ(ui.Labels, (std::vector<std::string>{"Поиск модема... 0%", "Поиск модема... 0%",
                                                   "Поиск модема... 2%", "Поиск модема... 100%",
                                                   "Настройка модема...", "Завершено успешно"}));
    EXPECT_EQ(ui.Messages, std::vector<std::string>{"Завершено успешно"});
    // Probe at 38400, then at 1200, 2400, 4800; the commands after them.
    ASSERT_EQ(record.Writes.size(), 4u + 7u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(Text(record.Writes[i].first), "AT&FE0\r");
    EXPECT_EQ(CommandsWithSpeed(record, 4),
              (std::vector<std::string>{"AT&F@4800", "AT&S1@4800", "ATS0=1@4800", "AT&D0@4800",
                                        "AT+IPR=9600@4800", "ATE0@9600", "AT&W@9600"}));
    EXPECT_TRUE(record.Closed);
    EXPECT_EQ(record.Events.back(), "close");
    // The run's record keeps where the modem was left.
    EXPECT_EQ(line.BaudRate, 9600u);
}

TEST(ModemSetup, SearchTimeoutsAndCommandTimeouts) {
    std::uint32_t modemBaud = 2400;
    test::TLineRecord record;
    TRecordingUi ui;
    TLineSettings line;
    RunModemSetup("COM7", test::FakeOpener(record, Modem(modemBaud)), line, {"AT"}, ui);
    const std::vector<std::string> expected = {"timeouts 200/0/2000",
                                               "write 7",
                                               "timeouts 20/0/500",
                                               "set 1200/0/0",
                                               "write 7",
                                               "timeouts 10/0/500",
                                               "set 2400/0/0",
                                               "write 7",
                                               "timeouts 200/0/5000",
                                               "write 3",
                                               "close"};
    EXPECT_EQ(record.Events, expected);
}

struct TAnswerCase {
    const char* Name;
    std::string Answer; // the modem's answer to "ATS0=1"
    bool Accepted;
};

class ModemAnswer : public ::testing::TestWithParam<TAnswerCase> {};

TEST_P(ModemAnswer, AcceptedWhenItHoldsAts0OrOk) {
    std::uint32_t modemBaud = 9600;
    test::TLineRecord record;
    TRecordingUi ui;
    TLineSettings line;
    line.BaudRate = 9600; // the first probe already finds it
    RunModemSetup("COM7",
                  test::FakeOpener(record, Modem(modemBaud, {{"ATS0=1", GetParam().Answer}})), line,
                  DefaultLines, ui);
    if (GetParam().Accepted) {
        EXPECT_EQ(ui.Labels.back(), "Завершено успешно");
        EXPECT_EQ(record.Writes.size(), 1u + 7u);
    } else {
        EXPECT_EQ(ui.Labels.back(), "Ошибка. Неверный параметр: ATS0=1");
        EXPECT_EQ(ui.Messages, std::vector<std::string>{"Не удалось инициализировать модем"});
        // Nothing after the refused line.
        EXPECT_EQ(record.Writes.size(), 1u + 3u);
    }
    EXPECT_TRUE(record.Closed);
}

INSTANTIATE_TEST_SUITE_P(Answers, ModemAnswer,
                         ::testing::Values(TAnswerCase{"EchoOnly", "ATS0=1\r", true},
                                           TAnswerCase{"EchoAndOk", "ATS0=1\r\r\nOK\r\n", true},
                                           TAnswerCase{"OkInside", "\r\nOKAY\r\n", true},
                                           TAnswerCase{"Error", "\r\nERROR\r\n", false},
                                           TAnswerCase{"Silence", "", false},
                                           TAnswerCase{"LowerCase", "\r\nok\r\n", false}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(ModemSetup, SilentModemTriesEverySettingThenReports) {
    test::TLineRecord record;
    TRecordingUi ui;
    TLineSettings line;
    const auto outcome = RunModemSetup(
        "COM7",
        test::FakeOpener(record, [](const Bytes&, const TLineSettings&) { return Bytes{}; }), line,
        DefaultLines, ui);
    EXPECT_EQ(outcome.Result, TModemSetupResult::Silent);
    EXPECT_EQ(record.Writes.size(), 1u + 2u * 3u * 7u);
    // The last try (two stop bits, even parity, 57600) shows 100 %, then the label empties.
    ASSERT_GE(ui.Labels.size(), 2u);
    EXPECT_EQ(ui.Labels[ui.Labels.size() - 2], "Поиск модема... 100%");
    EXPECT_EQ(ui.Labels.back(), "");
    EXPECT_EQ(ui.Messages, std::vector<std::string>{"Модем не отвечает"});
    // Second try of the second stop-bit pass: r = 1, p = 0, s = 1 gives 2200/41 = 53 %.
    EXPECT_EQ(ui.Labels[1 + 21 + 1], "Поиск модема... 53%");
    EXPECT_TRUE(record.Closed);
}

TEST(ModemSetup, PortThatCannotBeOpenedOnlyTellsTheLabel) {
    test::TLineRecord record;
    TRecordingUi ui;
    TLineSettings line;
    std::uint32_t baud = 9600;
    const auto outcome =
        RunModemSetup("COM9", test::FakeOpener(record, Modem(baud)), line, DefaultLines, ui);
    EXPECT_EQ(outcome.Result, TModemSetupResult::PortFailed);
    EXPECT_EQ(ui.Labels, std::vector<std::string>{"Не удалось открыть порт"});
    EXPECT_TRUE(ui.Messages.empty());
}

TEST(ModemSetup, EmptyListSendsNothingAndSaysSo) {
    for (const std::vector<std::string>& lines :
         {std::vector<std::string>{}, std::vector<std::string>{"", "  ", "\t"}}) {
        test::TLineRecord record;
        TRecordingUi ui;
        TLineSettings line;
        std::uint32_t baud = 9600;
        const auto outcome =
            RunModemSetup("COM7", test::FakeOpener(record, Modem(baud)), line, lines, ui);
        EXPECT_EQ(outcome.Result, TModemSetupResult::EmptyList);
        EXPECT_EQ(record.Opens, 0);
        EXPECT_TRUE(record.Writes.empty());
        EXPECT_EQ(ui.Labels,
                  std::vector<std::string>{"Список команд пуст, модему ничего не отправлено"});
    }
}

TEST(ModemSetup, Presets) {
    EXPECT_EQ(ModemPreset(0), DefaultLines);
    EXPECT_EQ(ModemPreset(1), std::vector<std::string>{"AT&FE0V1;&K0"});
}

} // namespace
} // namespace virs
