// Firmware images (cut and keep rules, version and date texts) and the
// loader dialogue against a scripted loader: handshake, stamp, blocks, the
// answer time-out and the cancel between blocks.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>

#include <gtest/gtest.h>

#include "service/FirmwareUpdate.h"
#include "tests/service/FakeLine.h"

namespace virs {
namespace {

using test::Bytes;

class TImageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = std::filesystem::temp_directory_path() /
                 ("virs-fw-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                  "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(Folder);
    }
    void TearDown() override { std::filesystem::remove_all(Folder); }
    // A file of `size` bytes, byte i = (i * 7 + salt) mod 256.
    std::filesystem::path Make(const std::string& name, std::size_t size, int salt) {
        Bytes b(size);
        for (std::size_t i = 0; i < size; ++i)
            b[i] = static_cast<std::uint8_t>((i * 7 + salt) % 256);
        const auto path = Folder / name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
        return path;
    }
    std::filesystem::path Folder;
};

TEST_F(TImageFiles, LongFileIsCutAndItsVersionComesFromTheCutImage) {
    TFirmwareImage image{};
    const TFirmwareLoad load = LoadFirmwareFile(Make("long.vrs", 40000, 3), image);
    ASSERT_TRUE(load.Ok);
    EXPECT_EQ(load.Bytes, 32768u);
    EXPECT_EQ(image[0], 3);
    EXPECT_EQ(image[32767], (32767 * 7 + 3) % 256);
    // 32762·7 + 3 = 229337 → 229337 mod 256 = 217; 32763·7 + 3 = 229344 → 224.
    EXPECT_EQ(FirmwareVersionText(image), "224.217");
}

TEST_F(TImageFiles, ShortFileKeepsTheTailOfTheEarlierImage) {
    TFirmwareImage image{};
    ASSERT_TRUE(LoadFirmwareFile(Make("full.vrs", 32768, 0), image).Ok);
    const TFirmwareLoad load = LoadFirmwareFile(Make("short.vrs", 1000, 100), image);
    ASSERT_TRUE(load.Ok);
    EXPECT_EQ(load.Bytes, 1000u);
    EXPECT_EQ(image[999], (999 * 7 + 100) % 256);
    EXPECT_EQ(image[1000], (1000 * 7) % 256);
    // The version bytes are still those of the full image: 32763·7 mod 256 = 221, 32762·7 → 214.
    EXPECT_EQ(FirmwareVersionText(image), "221.214");
}

TEST_F(TImageFiles, UnreadableFileLeavesTheImage) {
    TFirmwareImage image{};
    ASSERT_TRUE(LoadFirmwareFile(Make("full.vrs", 32768, 5), image).Ok);
    const TFirmwareImage before = image;
    for (const std::filesystem::path& bad : {Folder / "missing.vrs", Folder}) {
        const TFirmwareLoad load = LoadFirmwareFile(bad, image);
        EXPECT_FALSE(load.Ok) << bad;
        EXPECT_FALSE(load.Error.empty());
        EXPECT_EQ(image, before);
    }
    const TServiceMessage m = FirmwareFileMessage("x.vrs", "No such file or directory");
    EXPECT_EQ(m.Text, "Не удалось прочитать файл прошивки x.vrs:\rNo such file or directory");
    EXPECT_EQ(m.Icon, TServiceIcon::Error);
}

struct TLabelCase {
    std::uint8_t Minor, Major, Year, Month, Day;
    const char* Version;
    const char* Date;
};

TEST(FirmwareLabels, VersionAndDate) {
    const TLabelCase cases[] = {
        {5, 1, 9, 3, 7, "1.5", "07.03.09"},
        {5, 2, 0, 0, 0, "2.5", "00.00.00"},
        {12, 10, 26, 12, 31, "10.12", "31.12.26"},
        {0, 255, 99, 10, 10, "255.0", "10.10.99"},
    };
    for (const TLabelCase& c : cases) {
        TFirmwareImage image{};
        image[32762] = c.Minor;
        image[32763] = c.Major;
        image[32764] = c.Year;
        image[32765] = c.Month;
        image[32766] = c.Day;
        EXPECT_EQ(FirmwareVersionText(image), c.Version);
        EXPECT_EQ(FirmwareDateText(image), c.Date);
    }
}

// A loader: answers the handshake with `handshake` (nothing when empty), takes
// 0xA5, then answers blocks with their number until `silentFrom`.
struct TLoader {
    std::optional<std::uint8_t> Handshake = 0xAA;
    int SilentFrom = 1000;
    int Blocks = 0;
    test::TPeer Peer() {
        return [this](const Bytes& written, const TLineSettings& line) -> Bytes {
            if (line.BaudRate != 115200)
                return {};
            if (written.size() == 1 && written[0] == 0xAA)
                return Handshake ? Bytes{*Handshake} : Bytes{};
            if (written.size() == 1 && written[0] == 0xA5)
                return {};
            if (written.size() != 256 || Blocks >= SilentFrom)
                return {};
            return {static_cast<std::uint8_t>(Blocks++)};
        };
    }
};

class TRecordingFirmwareUi : public TFirmwareUi {
public:
    bool Answer = true;
    int CancelAfter = -1;
    bool Confirm(const TServiceMessage& q) override {
        Messages.push_back("? " + q.Text);
        return Answer;
    }
    void ShowMessage(const TServiceMessage& m) override { Messages.push_back(m.Text); }
    void BlockDone(int block, std::uint8_t answer) override {
        Progress.push_back(answer);
        Last = block;
    }
    void ResetProgress() override { Progress.push_back(-1); }
    bool CancelRequested() override { return CancelAfter >= 0 && Last + 1 >= CancelAfter; }
    std::vector<std::string> Messages;
    std::vector<int> Progress;
    int Last = -1;
};

constexpr const char* Question = "? Вы действительно хотите начать прошивку?";
constexpr const char* Warning =
    "Сейчас программа прибора будет перепрошита.\rЖелательно закрыть другие работающие "
    "приложения.\rЭто может занять некоторое время, пожалуйста дождитесь окончания";

TFirmwareImage Pattern() {
    TFirmwareImage image;
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i % 251);
    return image;
}

TEST(FirmwareRun, WholeTransfer) {
    TLoader loader;
    test::TLineRecord record;
    TRecordingFirmwareUi ui;
    TFirmwareImage image = Pattern();
    const auto outcome = RunFirmwareUpdate("COM7", test::FakeOpener(record, loader.Peer()), image,
                                           TDate{2026, 3, 9}, ui);
    EXPECT_EQ(outcome.Result, TFirmwareResult::Done);
    EXPECT_EQ(outcome.BlocksSent, 128);
    EXPECT_EQ(ui.Messages,
              (std::vector<std::string>{Question, Warning, "Программирование завершено"}));
    ASSERT_EQ(ui.Progress.size(), 129u);
    EXPECT_EQ(ui.Progress[57], 57);
    EXPECT_EQ(ui.Progress[127], 127);
    EXPECT_EQ(ui.Progress[128], -1);
    // 0xAA, 0xA5, then the image with the date stamped: day 9, month 3, year 26.
    ASSERT_EQ(record.Writes.size(), 2u + 128u);
    EXPECT_EQ(record.Writes[0].first, Bytes{0xAA});
    EXPECT_EQ(record.Writes[1].first, Bytes{0xA5});
    TFirmwareImage expected = Pattern();
    expected[32766] = 9;
    expected[32765] = 3;
    expected[32764] = 26;
    Bytes sent;
    for (std::size_t i = 2; i < record.Writes.size(); ++i)
        sent.insert(sent.end(), record.Writes[i].first.begin(), record.Writes[i].first.end());
    EXPECT_EQ(sent, Bytes(expected.begin(), expected.end()));
    EXPECT_EQ(image, expected);
    // Purge 15 first; the handshake under 2/2/100; every block answer within 2 s; 250 ms after
    // start.
    const std::vector<std::string> head(record.Events.begin(), record.Events.begin() + 8);
    EXPECT_EQ(head,
              (std::vector<std::string>{"purge 15", "set 115200/0/0", "timeouts 2/2/100", "write 1",
                                        "timeouts 0/0/2000", "write 1", "sleep 250", "write 256"}));
    EXPECT_EQ(record.Events.back(), "close");
}

struct TRefusalCase {
    const char* Name;
    std::optional<std::uint8_t> Handshake;
    bool Yes;
    TFirmwareResult Result;
    std::vector<std::string> Messages;
    std::size_t Writes;
};

class FirmwareRefusal : public ::testing::TestWithParam<TRefusalCase> {};

TEST_P(FirmwareRefusal, EndsWithThePortClosedAndTheImageUnstamped) {
    const TRefusalCase& c = GetParam();
    TLoader loader;
    loader.Handshake = c.Handshake;
    test::TLineRecord record;
    TRecordingFirmwareUi ui;
    ui.Answer = c.Yes;
    TFirmwareImage image = Pattern();
    const auto outcome = RunFirmwareUpdate("COM7", test::FakeOpener(record, loader.Peer()), image,
                                           TDate{2026, 3, 9}, ui);
    EXPECT_EQ(outcome.Result, c.Result);
    EXPECT_EQ(ui.Messages, c.Messages);
    // After a refused or silent handshake no further byte goes out.
    EXPECT_EQ(record.Writes.size(), c.Writes);
    EXPECT_EQ(image, Pattern());
    EXPECT_TRUE(record.Closed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FirmwareRefusal,
    ::testing::Values(
        TRefusalCase{"Refused",
                     std::uint8_t{0x55},
                     true,
                     TFirmwareResult::HandshakeFailed,
                     {Question, "Не удалось войти в режим программирования"},
                     1},
        TRefusalCase{"Silent",
                     std::nullopt,
                     true,
                     TFirmwareResult::HandshakeFailed,
                     {Question, "Не удалось войти в режим программирования"},
                     1},
        TRefusalCase{
            "Declined", std::uint8_t{0xAA}, false, TFirmwareResult::Declined, {Question}, 0}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(FirmwareRun, DeviceSilentAtBlock57) {
    TLoader loader;
    loader.SilentFrom = 57; // blocks 0..56 answered
    test::TLineRecord record;
    TRecordingFirmwareUi ui;
    TFirmwareImage image = Pattern();
    const auto outcome = RunFirmwareUpdate("COM7", test::FakeOpener(record, loader.Peer()), image,
                                           TDate{2026, 3, 9}, ui);
    EXPECT_EQ(outcome.Result, TFirmwareResult::Silent);
    EXPECT_EQ(outcome.BlocksSent, 57);
    EXPECT_EQ(
        ui.Messages.back(),
        "Прибор не ответил на блок 58 из 128.\rПрограммирование прервано, повторите прошивку.");
    EXPECT_EQ(record.Writes.size(), 2u + 58u);
    EXPECT_EQ(ui.Progress.back(), -1);
    EXPECT_EQ(record.Events.back(), "close");
}

TEST(FirmwareRun, CancelBetweenBlocks) {
    TLoader loader;
    test::TLineRecord record;
    TRecordingFirmwareUi ui;
    ui.CancelAfter = 10;
    TFirmwareImage image = Pattern();
    const auto outcome = RunFirmwareUpdate("COM7", test::FakeOpener(record, loader.Peer()), image,
                                           TDate{2026, 3, 9}, ui);
    EXPECT_EQ(outcome.Result, TFirmwareResult::Cancelled);
    EXPECT_EQ(outcome.BlocksSent, 10);
    EXPECT_EQ(record.Writes.size(), 2u + 10u);
    EXPECT_EQ(ui.Messages.back(), "Программирование прервано оператором после блока 10 из "
                                  "128.\rПрограмма прибора не обновлена, повторите прошивку.");
    EXPECT_TRUE(record.Closed);
}

TEST(FirmwareRun, PortThatCannotBeOpened) {
    TLoader loader;
    test::TLineRecord record;
    TRecordingFirmwareUi ui;
    TFirmwareImage image = Pattern();
    const auto outcome = RunFirmwareUpdate("COM8", test::FakeOpener(record, loader.Peer()), image,
                                           TDate{2026, 3, 9}, ui);
    EXPECT_EQ(outcome.Result, TFirmwareResult::PortFailed);
    EXPECT_EQ(ui.Messages, std::vector<std::string>{"Не удаётся открыть порт"});
}

} // namespace
} // namespace virs
