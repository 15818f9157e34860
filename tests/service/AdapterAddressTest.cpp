// The adapter's address assignment: the frames on the wire (CRC worked out by
// a second implementation), the order of the port calls and the four outcomes.

#include <gtest/gtest.h>

#include "service/AdapterAddress.h"
#include "tests/service/FakeLine.h"

namespace virs {
namespace {

using test::Bytes;

TEST(AdapterFrames, AssignmentAndCheck) {
    EXPECT_EQ(AdapterAssignmentFrame(1),
              (Bytes{0x00, 0x10, 0x00, 0x14, 0x00, 0x01, 0x02, 0x01, 0x02, 0x28, 0x85}));
    EXPECT_EQ(AdapterAssignmentFrame(254),
              (Bytes{0x00, 0x10, 0x00, 0x14, 0x00, 0x01, 0x02, 0xFE, 0x02, 0x69, 0x75}));
    EXPECT_EQ(AdapterCheckFrame(1), (Bytes{0x01, 0x03, 0x00, 0x14, 0x00, 0x01, 0xC4, 0x0E}));
    EXPECT_EQ(AdapterCheckFrame(254), (Bytes{0xFE, 0x03, 0x00, 0x14, 0x00, 0x01, 0xD0, 0x01}));
}

struct TJudgeCase {
    const char* Name;
    Bytes Answer;
    std::uint8_t N;
    const char* Text;
};

class AdapterJudge : public ::testing::TestWithParam<TJudgeCase> {};

TEST_P(AdapterJudge, OutcomeText) {
    const TJudgeCase& c = GetParam();
    EXPECT_EQ(AdapterMessage(JudgeAdapterAnswer(c.Answer.data(), c.Answer.size(), c.N)).Text,
              c.Text);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AdapterJudge,
    ::testing::Values(
        TJudgeCase{"Nothing", {}, 1, "Устройство не отвечает"},
        TJudgeCase{"OneByte", {0x01}, 1, "Неверная контрольная сумма. Попробуйте повторить"},
        TJudgeCase{"TwoBytes", {0x01, 0x03}, 1, "Неверная контрольная сумма. Попробуйте повторить"},
        TJudgeCase{"FromN",
                   {0x01, 0x03, 0x02, 0x01, 0x02, 0x38, 0x15},
                   1,
                   "Устройству назначен новый адрес"},
        TJudgeCase{"CrcSwapped",
                   {0x01, 0x03, 0x02, 0x01, 0x02, 0x15, 0x38},
                   1,
                   "Неверная контрольная сумма. Попробуйте повторить"},
        TJudgeCase{"FromAnotherAddress",
                   {0x02, 0x03, 0x02, 0x01, 0x02, 0x7C, 0x15},
                   1,
                   "Не удалось. Попробуйте повторить"},
        // A valid answer of any length counts: only the address is looked at.
        TJudgeCase{"ExceptionFromN",
                   {0x01, 0x83, 0x02, 0xC0, 0xF1},
                   1,
                   "Устройству назначен новый адрес"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(AdapterRun, BroadcastWaitCheckOnTheFixedLine) {
    test::TLineRecord record;
    TLineSettings line;
    line.BaudRate = 57600;
    line.Parity = 1;
    line.StopBits = 2;
    const auto peer = [](const Bytes& written, const TLineSettings&) -> Bytes {
        if (written[0] == 0x00)
            return {};                                     // nobody answers a broadcast
        return {0xFE, 0x03, 0x02, 0xFE, 0x02, 0x00, 0x00}; // from 254, CRC filled below
    };
    const auto withCrc = [peer](const Bytes& w, const TLineSettings& l) {
        Bytes a = peer(w, l);
        if (!a.empty()) {
            // CRC of FE 03 02 FE 02 (worked out by a second implementation): 0x6D 0xF1.
            a[5] = 0x6D;
            a[6] = 0xF1;
        }
        return a;
    };
    const TAdapterResult result =
        RunAdapterAssignment("COM7", test::FakeOpener(record, withCrc), line, 254);
    EXPECT_EQ(result, TAdapterResult::Assigned);
    EXPECT_EQ(record.Events,
              (std::vector<std::string>{"set 9600/0/0", "timeouts 50/0/1000", "purge 12",
                                        "write 11", "sleep 1000", "purge 12", "write 8", "close"}));
    ASSERT_EQ(record.Writes.size(), 2u);
    EXPECT_EQ(record.Writes[0].first, AdapterAssignmentFrame(254));
    EXPECT_EQ(record.Writes[1].first, AdapterCheckFrame(254));
    // The record of the run now holds the fixed settings.
    EXPECT_EQ(line.BaudRate, 9600u);
    EXPECT_EQ(line.Parity, 0);
    EXPECT_EQ(line.StopBits, 0);
}

TEST(AdapterRun, PortThatCannotBeOpened) {
    test::TLineRecord record;
    TLineSettings line;
    EXPECT_EQ(
        RunAdapterAssignment(
            "COM3",
            test::FakeOpener(record, [](const Bytes&, const TLineSettings&) { return Bytes{}; }),
            line, 5),
        TAdapterResult::PortFailed);
    EXPECT_EQ(AdapterMessage(TAdapterResult::PortFailed).Text, "Не удалось открыть порт");
    EXPECT_EQ(AdapterMessage(TAdapterResult::PortFailed).Caption, "Ошибка");
    EXPECT_EQ(AdapterMessage(TAdapterResult::Assigned).Caption, "Успешно");
}

} // namespace
} // namespace virs
