// The completion handler after a real exchange thread: what a finished job
// stores, what each failure leaves alone, how a stop ends a job, and that the
// work area only ever sees whole blocks.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>

#include "jobs/CompletionHandler.h"
#include "link/ExchangeWorker.h"
#include "link/MainThreadCall.h"
#include "tests/support/RecordingJobUi.h"
#include "tests/support/ScriptedPort.h"
#include "tests/support/TempFolder.h"

namespace virs {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Framed(Bytes body) {
    const std::uint16_t crc = ModbusCrc(body.data(), body.size());
    body.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    body.push_back(static_cast<std::uint8_t>(crc >> 8));
    return body;
}

std::uint16_t Register(unsigned r) {
    return static_cast<std::uint16_t>(r * 7 + 0x0203);
}

// A correct answer: function 3 with registers that tell their numbers, or a
// function-67 header.
Bytes GoodAnswer(const Bytes& request) {
    const unsigned start = request[2] << 8 | request[3];
    const unsigned count = request[4] << 8 | request[5];
    if (request[1] == FunctionReadRecordHeader)
        return Framed({request[0], request[1], 1, 0x10, 0x20});
    Bytes body{request[0], 3, static_cast<std::uint8_t>(2 * count)};
    for (unsigned i = 0; i < count; ++i) {
        body.push_back(static_cast<std::uint8_t>(Register(start + i) >> 8));
        body.push_back(static_cast<std::uint8_t>(Register(start + i) & 0xFF));
    }
    return Framed(body);
}

using test::TRecordingJobUi;

constexpr TDateTime Clock = 45366.5; // 2024-03-15 12:00
constexpr TDateTime EarlierRead = 45000.25;

class CompletionTest : public ::testing::Test {
protected:
    void SetUp() override {
        TNode node = NewNodeRecord();
        node.Retries = 2;
        node.ReplyTimeoutMs = 100;
        node.DeviceCount = 3;
        State.Base.Nodes.push_back(node);
        State.Base.Devices.emplace_back();
        for (const auto& [type, address] :
             {std::pair<TDeviceType, u8>{DeviceVirsSh, 1}, {DeviceVirsD, 2}, {DeviceVirsD2, 4}}) {
            TDevice d = NewDeviceRecord();
            d.DeviceType = type;
            d.NetAddress = address;
            d.DataReadAt = EarlierRead;
            std::memset(d.DataImage, 0xAA, DataImageSize);
            State.Base.Devices[0].push_back(d);
        }
        State.LinkOpen = true;
        State.LinkNode = 0;
        State.Exchange.MaxRegistersPerRequest = 32;
        Folder = Temp.Path;
        Job.LogPath = Folder / ProtocolLogFileName;
        Worker = std::make_unique<ExchangeWorker>(
            State.Exchange, Port, Log, Main,
            [this](ExchangeWorker&) { CompletionHandler(Job, nullptr); });
        Job.Worker = Worker.get();
    }
    void TearDown() override {
        Worker.reset();
        Log.Close();
    }

    // Starts a job as the start button does and runs it to its end.
    void Run(int device, int view) {
        State.Base.SelNode = 0;
        State.Base.SelDevice = static_cast<u8>(device);
        StartStopClick(Job, true, view);
        ASSERT_TRUE(Main.RunUntil([&] { return !State.JobRunning; }, std::chrono::seconds(10)));
    }
    TDevice& Device(int d) { return State.Base.Devices[0][d]; }

    TProgramState State;
    TRecordingJobUi Ui;
    TProtocolLog Log;
    // The line: every request is answered at once by the test's function.
    test::TScriptedLine Slave = [] {
        test::TScriptedLine line;
        line.AnswerWith(GoodAnswer);
        return line;
    }();
    test::TScriptedPort Port{Slave};
    TMainThreadQueue Main;
    test::TTempFolder Temp;
    std::filesystem::path Folder;
    TJobContext Job{State, &Ui, Log, {}, nullptr, [] { return Clock; }, {}, std::nullopt};
    std::unique_ptr<ExchangeWorker> Worker;
};

TEST_F(CompletionTest, CurrentValuesOfEveryTypeAreStoredAndStamped) {
    struct TCase {
        int Device;
        std::size_t Bytes;
        unsigned FirstRegister;
        int IdleImage;
    };
    for (const TCase& c : {TCase{0, 44, 0, 11}, TCase{1, 128, 0, 9}, TCase{2, 186, 64, 13}}) {
        SCOPED_TRACE(c.Device);
        Ui = {};
        Run(c.Device, 0);
        EXPECT_EQ(Ui.Status, "Завершено успешно");
        EXPECT_EQ(Device(c.Device).DataReadAt, Clock);
        for (std::size_t i = 0; i < c.Bytes / 2; ++i) {
            const std::uint16_t stored = static_cast<std::uint16_t>(
                Device(c.Device).DataImage[2 * i] | Device(c.Device).DataImage[2 * i + 1] << 8);
            ASSERT_EQ(stored, Register(c.FirstRegister + static_cast<unsigned>(i))) << i;
        }
        EXPECT_EQ(Device(c.Device).DataImage[c.Bytes + (c.Device == 1 ? 36 : 0)], 0xAA);
        EXPECT_EQ(Ui.DeviceImage, c.IdleImage);
        EXPECT_FALSE(Ui.StartDown);
        EXPECT_EQ(Ui.StartImage, 21);
        EXPECT_TRUE(Ui.StartEnabled);
        EXPECT_TRUE(Ui.CyclicEnabled);
        EXPECT_FALSE(Ui.Lamps);
        EXPECT_EQ(Ui.Renders, 1);
        EXPECT_FALSE(Log.IsOpen());
        EXPECT_TRUE(Worker->IsParked());
    }
    // Two frames for ВИРС-Д, one for the others: the log holds the last job only.
    EXPECT_NE(std::filesystem::file_size(Job.LogPath), 0u);
}

TEST_F(CompletionTest, SettingsJobs) {
    // ВИРС-Д2: the settings part of the image changes, the time stamp does not.
    Run(2, 3);
    EXPECT_EQ(Ui.Status, "Завершено успешно");
    EXPECT_EQ(Device(2).DataReadAt, EarlierRead);
    EXPECT_EQ(Device(2).DataImage[183], 0xAA);
    EXPECT_EQ(Device(2).DataImage[184], Register(156) & 0xFF);
    EXPECT_EQ(Device(2).DataImage[443], Register(285) >> 8);
    EXPECT_EQ(Device(2).DataImage[444], 0xAA);

    // ВИРС-Д: the parameters go to the work area only, all 340 registers.
    std::memset(State.WorkArea.DSettingsBlock.Bytes, 0xEE, TDSettingsBlock::Size);
    Run(1, 4);
    EXPECT_EQ(Ui.Status, "Завершено успешно");
    EXPECT_EQ(Device(1).DataImage[0], 0xAA);
    EXPECT_EQ(Device(1).DataReadAt, EarlierRead);
    for (unsigned r = 400; r <= 739; ++r)
        ASSERT_EQ(State.WorkArea.DSettingsBlock.Bytes[2 * (r - 400)], Register(r) & 0xFF) << r;
}

struct TFailure {
    const char* Name;
    std::function<Bytes(const Bytes&)> Answer;
    std::string Status;
};

class CompletionFailureTest : public CompletionTest,
                              public ::testing::WithParamInterface<TFailure> {};

TEST_P(CompletionFailureTest, LeavesTheStoredImageAndTheWorkAreaAlone) {
    const TFailure& f = GetParam();
    Slave.AnswerWith(f.Answer);
    Bytes before(Device(1).DataImage, Device(1).DataImage + DataImageSize);
    std::memset(State.WorkArea.DCurrentBlock.Bytes, 0x55, TDCurrentBlock::Size);
    Run(1, 0);
    EXPECT_EQ(Ui.Status, f.Status);
    EXPECT_EQ(Device(1).DataReadAt, EarlierRead);
    EXPECT_EQ(Bytes(Device(1).DataImage, Device(1).DataImage + DataImageSize), before);
    EXPECT_EQ(State.WorkArea.DCurrentBlock.Bytes[0], 0x55);
    EXPECT_EQ(State.WorkArea.DCurrentBlock.Bytes[127], 0x55);
    EXPECT_EQ(Ui.Renders, 0);
    EXPECT_EQ(Ui.DeviceImage, 9);
    EXPECT_FALSE(Ui.StartDown);
    EXPECT_TRUE(Ui.StartEnabled);
    EXPECT_FALSE(State.JobRunning);
    EXPECT_FALSE(Log.IsOpen());
}

Bytes Exception(const Bytes& request, std::uint8_t code) {
    return Framed({request[0], static_cast<std::uint8_t>(request[1] | 0x80), code});
}

INSTANTIATE_TEST_SUITE_P(
    EachErrorClass, CompletionFailureTest,
    ::testing::Values(TFailure{"Timeout", [](const Bytes&) { return Bytes{}; },
                               "Превышен тайм-аут ожидания ответа"},
                      TFailure{"BadCrc",
                               [](const Bytes& r) {
                                   Bytes a = GoodAnswer(r);
                                   a.back() ^= 0x5A;
                                   return a;
                               },
                               "Неверная контрольная сумма"},
                      TFailure{"OtherAddress",
                               [](const Bytes& r) {
                                   Bytes request = r;
                                   request[0] = 9;
                                   return GoodAnswer(request);
                               },
                               "Отвечает прибор с другим адресом"},
                      TFailure{"LostData",
                               [](const Bytes& r) {
                                   Bytes request = r;
                                   request[5] = static_cast<std::uint8_t>(request[5] - 1);
                                   return GoodAnswer(request);
                               },
                               "Потеряны данные"},
                      // The second frame fails: the first frame's data never reach the work area.
                      TFailure{"SecondFrameTimesOut",
                               [](const Bytes& r) { return r[3] == 0 ? GoodAnswer(r) : Bytes{}; },
                               "Превышен тайм-аут ожидания ответа"},
                      TFailure{"Exception2", [](const Bytes& r) { return Exception(r, 2); },
                               "Адрес данных указанный в запросе не доступен данному подчиненному"},
                      TFailure{"Exception21", [](const Bytes& r) { return Exception(r, 21); },
                               "Архивная запись повреждена"},
                      TFailure{"ExceptionUnknown", [](const Bytes& r) { return Exception(r, 40); },
                               ExchangeResultMessage(40)}),
    [](const ::testing::TestParamInfo<TFailure>& p) { return std::string(p.param.Name); });

TEST_F(CompletionTest, StopIsHonouredAtTheNextCompletion) {
    // The stop comes while the exchange runs: the answer is stored all the
    // same, and the job ends with the stop text.
    Slave.AnswerWith([this](const Bytes& r) {
        State.Exchange.AbortRequested = true;
        return GoodAnswer(r);
    });
    Run(1, 0);
    EXPECT_EQ(Ui.Status, "Прервано пользователем");
    EXPECT_EQ(State.Exchange.ResultCode, ResultUserStop);
    EXPECT_EQ(Device(1).DataReadAt, Clock);
    EXPECT_EQ(Ui.Renders, 1);

    // A stop during a failing frame cuts the retries short.
    int requests = 0;
    Slave.AnswerWith([&](const Bytes&) {
        ++requests;
        State.Exchange.AbortRequested = true;
        return Bytes{};
    });
    Run(0, 0);
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(Ui.Status, "Прервано пользователем");
}

TEST_F(CompletionTest, WorkAreaSeesOnlyWholeBlocks) {
    std::memset(State.WorkArea.DCurrentBlock.Bytes, 0x55, TDCurrentBlock::Size);
    bool untouchedDuringJob = true;
    Slave.AnswerWith([&](const Bytes& r) {
        // The main thread's work area while the job is being read.
        if (State.WorkArea.DCurrentBlock.Bytes[0] != 0x55)
            untouchedDuringJob = false;
        return GoodAnswer(r);
    });
    Run(1, 0);
    EXPECT_TRUE(untouchedDuringJob);
    EXPECT_EQ(State.WorkArea.DCurrentBlock.Bytes[0], Register(0) & 0xFF);
    EXPECT_EQ(State.WorkArea.DCurrentBlock.Bytes[127], Register(63) >> 8);
}

TEST_F(CompletionTest, ArchiveJobWithoutAWalkEndsAfterItsFirstExchange) {
    Run(2, 1); // ВИРС-Д2 daily: one function-67 request
    EXPECT_EQ(Ui.Status, ArchiveWalkMissingText);
    EXPECT_EQ(State.Exchange.RecordHeader[0], 1);
    EXPECT_FALSE(State.JobRunning);
    EXPECT_EQ(Ui.DeviceImage, 13);

    Ui.DialogOk = false; // the date dialog cancelled: no job at all
    Run(1, 1);
    EXPECT_EQ(Ui.Status, "");
    EXPECT_EQ(Ui.DeviceImage, 9);
    EXPECT_FALSE(Ui.StartDown);
    EXPECT_TRUE(Ui.CyclicEnabled);
    EXPECT_FALSE(Log.IsOpen());
}

TEST_F(CompletionTest, SettingsJobClearsTheWholeBlockBeforeTheFirstFrame) {
    std::memset(State.JobBuffer.DSettingsBlock.Bytes, 0xFF, TDSettingsBlock::Size);
    bool cleared = false;
    Slave.AnswerWith([&](const Bytes&) {
        cleared = std::all_of(std::begin(State.JobBuffer.DSettingsBlock.Bytes),
                              std::end(State.JobBuffer.DSettingsBlock.Bytes),
                              [](std::uint8_t b) { return b == 0; });
        return Bytes{};
    });
    Run(1, 4);
    EXPECT_TRUE(cleared);
}

TEST_F(CompletionTest, DeviceTypesThatAreNotReadStartNothing) {
    Device(0).DeviceType = DeviceKren;
    Run(0, 0);
    EXPECT_FALSE(State.JobRunning);
    EXPECT_FALSE(Ui.StartDown);
    EXPECT_TRUE(Worker->IsParked());
}

} // namespace
} // namespace virs
