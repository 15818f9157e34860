// A thousand current-value and settings jobs on the real exchange thread, each
// stopped at a random moment, while the main thread renders the device views
// from the shared state as the window does. Run under ThreadSanitizer by CI.
//
// The meter answers every register r of job n with Word(n, r), so the test can
// tell which job's data a stored image holds and whether it is whole. Some
// answers are lost or carry a spoilt CRC, so some jobs fail. The seed is
// printed; VIRS_STRESS_SEED repeats a run.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "acquisition/DeviceViews.h"
#include "jobs/CompletionHandler.h"
#include "link/ExchangeWorker.h"
#include "link/MainThreadCall.h"
#include "tests/support/RecordingJobUi.h"
#include "tests/support/ScriptedPort.h"
#include "tests/support/TempFolder.h"
#include "views/DeviceView.h"

namespace virs {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr int JobCount = 1000;

// Register r as the meter answers it to job n (n = 0: the image the test starts with).
std::uint16_t Word(int n, unsigned r) {
    return static_cast<std::uint16_t>(n * 131 + r * 7 + 0x0203);
}

// True when `words` little-endian words from `bytes` are registers first.. of job n.
bool HoldsJob(const std::uint8_t* bytes, unsigned words, unsigned first, int n) {
    for (unsigned i = 0; i < words; ++i)
        if ((bytes[2 * i] | bytes[2 * i + 1] << 8) != Word(n, first + i))
            return false;
    return true;
}
void PutJob(std::uint8_t* bytes, unsigned words, unsigned first, int n) {
    for (unsigned i = 0; i < words; ++i) {
        bytes[2 * i] = static_cast<std::uint8_t>(Word(n, first + i) & 0xFF);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(Word(n, first + i) >> 8);
    }
}

Bytes Framed(Bytes body) {
    const std::uint16_t crc = ModbusCrc(body.data(), body.size());
    body.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    body.push_back(static_cast<std::uint8_t>(crc >> 8));
    return body;
}

int ThreadCount() {
    int n = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task"))
        ++n;
    return n;
}

// The far end, on the exchange thread only: a function-3 answer of the job the
// test has announced, lost (12 %) or with a spoilt CRC (6 %) now and then.
struct TMeter {
    explicit TMeter(unsigned seed) : Random(seed) {}
    Bytes Answer(const Bytes& request) {
        const unsigned start = request[2] << 8 | request[3];
        const unsigned count = request[4] << 8 | request[5];
        const int fault = std::uniform_int_distribution<int>(0, 99)(Random);
        Silent = fault < 12;
        ReadDelay = std::chrono::microseconds(
            Silent ? 2000 : std::uniform_int_distribution<int>(0, 400)(Random));
        if (Silent)
            return {};
        Bytes body{request[0], 3, static_cast<std::uint8_t>(2 * count)};
        for (unsigned i = 0; i < count; ++i) {
            body.push_back(static_cast<std::uint8_t>(Word(Job.load(), start + i) >> 8));
            body.push_back(static_cast<std::uint8_t>(Word(Job.load(), start + i) & 0xFF));
        }
        Bytes frame = Framed(body);
        if (fault < 18)
            frame.back() ^= 0x5A;
        return frame;
    }
    std::atomic<int> Job{0}; // set by the main thread while the worker is parked
    std::mt19937 Random;
    bool Silent = false;
    std::chrono::microseconds ReadDelay{0};
};

// A read takes the meter's time to answer (a lost answer: the whole reply
// time-out) and is cut short by a cancel, which stays until ClearCancel, as a
// real port's does.
class TMeterPort final : public test::TForwardingPort {
public:
    TMeterPort(TSerialPort& inner, TMeter& meter) : TForwardingPort(inner), Meter(meter) {}
    TPortIo Write(const std::uint8_t* data, std::size_t size) override {
        {
            std::lock_guard lock(Mutex);
            if (Cancelled)
                ++WritesWhileCancelled;
        }
        return TForwardingPort::Write(data, size);
    }
    TPortIo Read(std::uint8_t* buffer, std::size_t size) override {
        {
            std::unique_lock lock(Mutex);
            if (Wake.wait_for(lock, Meter.ReadDelay, [this] { return Cancelled; }))
                return {true, 0};
        }
        return TForwardingPort::Read(buffer, size);
    }
    void CancelIo() override {
        {
            std::lock_guard lock(Mutex);
            Cancelled = true;
        }
        Wake.notify_all();
    }
    void ClearCancel() override {
        std::lock_guard lock(Mutex);
        Cancelled = false;
    }
    // Main thread, worker parked: writes made after a cancel since the last call.
    int TakeWritesWhileCancelled() {
        std::lock_guard lock(Mutex);
        return std::exchange(WritesWhileCancelled, 0);
    }

private:
    TMeter& Meter;
    std::mutex Mutex;
    std::condition_variable Wake;
    bool Cancelled = false;
    int WritesWhileCancelled = 0;
};

// The window's part: controls recorded, and every completion's redraw renders
// the selected device's current tab as the window does.
class TWindowUi final : public TJobUi {
public:
    void Apply(const TJobControls& change) override { Controls.Apply(change); }
    bool CyclicDown() const override { return false; }
    bool RunArchiveDialog(TArchiveRangeDialog&) override { return false; }
    void Render() override { Redraw(); }
    test::TRecordingJobUi Controls;
    std::function<void()> Redraw;
};

struct TStressDevice {
    TDeviceType Type;
    u8 Address;
    // Registers of the current values that the stored image holds whole (the
    // ВИРС-Д2 register 156 is shared with its settings and left out).
    unsigned CurrentFirst, CurrentWords;
};
constexpr TStressDevice Devices[] = {
    {DeviceVirsSh, 1, 0, 22}, {DeviceVirsD, 2, 0, 64}, {DeviceVirsD2, 4, 64, 92}};
// The ВИРС-Д2 settings in the stored image from byte 186 (registers 157..285)
// and the ВИРС-Д settings block (registers 400..739).
constexpr unsigned D2SettingsOffset = 186, D2SettingsFirst = 157, D2SettingsWords = 129;
constexpr unsigned DSettingsFirst = 400, DSettingsWords = 340;

unsigned Seed() {
    if (const char* s = std::getenv("VIRS_STRESS_SEED"))
        return static_cast<unsigned>(std::strtoul(s, nullptr, 10));
    return std::random_device{}();
}

TEST(JobStressTest, JobsStoppedAtRandomWhileTheViewsAreRendered) {
    const unsigned seed = Seed();
    std::printf("seed %u (VIRS_STRESS_SEED repeats it)\n", seed);
    std::mt19937 random(seed);
    const TViewLocale locale = RussianViewLocale();
    // A sanitizer starts a helper thread of its own with the first thread of
    // the process: one thread started and joined first keeps it out of the count.
    std::thread([] {}).join();
    const int threadsBefore = ThreadCount();

    TProgramState state;
    TNode node = NewNodeRecord();
    node.Retries = 2;
    node.DeviceCount = 3;
    state.Base.Nodes.push_back(node);
    state.Base.Devices.emplace_back();
    for (const TStressDevice& sd : Devices) {
        TDevice d = NewDeviceRecord();
        d.DeviceType = sd.Type;
        d.NetAddress = sd.Address;
        d.DataReadAt = 45000;
        PutJob(d.DataImage, sd.CurrentWords, sd.CurrentFirst, 0);
        state.Base.Devices[0].push_back(d);
    }
    TDevice& d2 = state.Base.Devices[0][2];
    PutJob(d2.DataImage + D2SettingsOffset, D2SettingsWords, D2SettingsFirst, 0);
    PutJob(state.WorkArea.DSettingsBlock.Bytes, DSettingsWords, DSettingsFirst, 0);
    state.LinkOpen = true;
    state.LinkNode = 0;
    state.Exchange.MaxRegistersPerRequest = 16; // many frames to a job: many moments to stop

    // The jobs each device can run, as (device, tab).
    std::vector<std::pair<int, int>> jobs;
    for (int d = 0; d < 3; ++d)
        for (int tab = 0; tab < ViewTabCount; ++tab) {
            const TJobKind kind = ViewJobKind(Devices[d].Type, tab);
            if (kind == TJobKind::Current || kind == TJobKind::Settings)
                jobs.emplace_back(d, tab);
        }
    ASSERT_EQ(jobs.size(), 5u); // current values of three, settings of ВИРС-Д and ВИРС-Д2

    TMeter meter(seed + 1);
    test::TScriptedLine line;
    line.AnswerWith([&meter](const Bytes& request) { return meter.Answer(request); });
    test::TScriptedPort scripted(line);
    TMeterPort port(scripted, meter);
    TProtocolLog log;
    TMainThreadQueue mainThread;
    test::TTempFolder folder;
    TWindowUi ui;
    TDateTime stamp = 45000;
    TJobContext job{state,   &ui,
                    log,     folder.Path / ProtocolLogFileName,
                    nullptr, [&stamp] { return stamp; },
                    {},      std::nullopt};

    // The text each (device, tab) showed last: it must not change while a job
    // runs (the exchange thread writes only its own buffer), and is taken
    // afresh after every job's end.
    std::map<std::pair<int, int>, std::string> shown;
    int renders = 0, torn = 0;
    auto render = [&](int d, int tab) {
        const TDeviceViewText view =
            RenderDeviceView(tab, state.Base.Devices[0][d], state.WorkArea, locale);
        ++renders;
        std::string text;
        for (const std::string& l : view.Lines)
            text += l + '\n';
        if (!view.Replaced || view.Lines.size() < 3) {
            ++torn;
            return;
        }
        const auto [it, first] = shown.emplace(std::pair{d, tab}, text);
        if (!first && it->second != text)
            ++torn;
    };
    int selectedTab = 0;
    // A completion stores new data: what the device's views showed is out of date.
    auto forget = [&](int d) {
        std::erase_if(shown, [d](const auto& entry) { return entry.first.first == d; });
    };
    ui.Redraw = [&] {
        forget(state.Base.SelDevice);
        render(state.Base.SelDevice, selectedTab);
    };
    // The window shows each device's current values once it is selected: the
    // work area holds the stored images from then on.
    for (int d = 0; d < 3; ++d)
        render(d, 0);

    auto worker =
        std::make_unique<ExchangeWorker>(state.Exchange, port, log, mainThread,
                                         [&](ExchangeWorker&) { CompletionHandler(job, nullptr); });
    job.Worker = worker.get();
    // After a failed assertion the worker may be waiting for its completion
    // call: it is told to end and that call is run before it is joined.
    struct TWorkerEnd {
        std::unique_ptr<ExchangeWorker>& Worker;
        TMainThreadQueue& Main;
        ~TWorkerEnd() {
            if (!Worker)
                return;
            Worker->Terminate();
            Main.RunUntil([] { return false; }, std::chrono::milliseconds(200));
            Worker.reset();
        }
    } workerEnd{worker, mainThread};

    std::map<int, int> results;
    int stoppedRunning = 0, stoppedAfterEnd = 0, storedCurrent = 0;
    std::chrono::microseconds longestStop{0};
    int lastCurrentJob[3] = {0, 0, 0};
    int lastD2Settings = 0, lastDSettings = 0;
    const auto started = Clock::now();

    int ran = 0;
    for (int n = 1; n <= JobCount; ++n) {
        ++ran;
        SCOPED_TRACE("job " + std::to_string(n));
        const auto [d, tab] = jobs[std::uniform_int_distribution<std::size_t>(0, 4)(random)];
        const bool settings = ViewJobKind(Devices[d].Type, tab) == TJobKind::Settings;
        meter.Job = n;
        stamp = 45000 + n;
        state.Base.SelNode = 0;
        state.Base.SelDevice = static_cast<u8>(d);
        selectedTab = tab;
        job.LastEnd.reset();

        StartStopClick(job, true, tab);
        ASSERT_TRUE(state.JobRunning);

        // Until the stop: completions handled, views of any device rendered.
        const auto pressAt =
            Clock::now() +
            std::chrono::microseconds(std::uniform_int_distribution<int>(0, 4000)(random));
        while (state.JobRunning && Clock::now() < pressAt) {
            mainThread.RunUntil([&] { return !state.JobRunning; }, std::chrono::milliseconds(1));
            const auto [rd, rtab] = jobs[std::uniform_int_distribution<std::size_t>(0, 4)(random)];
            render(rd, rtab);
        }
        const bool runningAtStop = state.JobRunning;
        const auto pressed = Clock::now();
        StartStopClick(job, false, tab);
        ASSERT_TRUE(
            mainThread.RunUntil([&] { return !state.JobRunning; }, std::chrono::seconds(10)))
            << "the job did not end after the stop";
        longestStop =
            std::max(longestStop,
                     std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - pressed));
        ASSERT_TRUE(job.LastEnd.has_value());
        const int result = job.LastEnd->ResultCode;
        ++results[result];

        // How it ended.
        if (runningAtStop) {
            ++stoppedRunning;
            EXPECT_EQ(result, ResultUserStop);
            EXPECT_EQ(ui.Controls.Status, UserStopText);
        } else {
            ++stoppedAfterEnd;
            EXPECT_TRUE(result == ResultSuccess || result == ResultTimeout ||
                        result == ResultBadCrc)
                << result;
        }
        // After a cancel the job sends at most the frame it was about to send.
        EXPECT_LE(port.TakeWritesWhileCancelled(), 1);
        EXPECT_FALSE(ui.Controls.StartDown);
        EXPECT_TRUE(ui.Controls.StartEnabled);
        EXPECT_TRUE(worker->IsParked());
        EXPECT_FALSE(log.IsOpen());

        // What it stored: one job's data whole, this one's or the one before.
        for (int k = 0; k < 3; ++k) {
            const TDevice& dev = state.Base.Devices[0][k];
            const TStressDevice& sd = Devices[k];
            if (k == d && !settings && dev.DataReadAt == stamp) {
                EXPECT_TRUE(result == ResultSuccess || result == ResultUserStop) << result;
                lastCurrentJob[k] = n;
                ++storedCurrent;
            } else if (k == d && !settings) {
                EXPECT_NE(result, ResultSuccess); // a finished job stamps what it stored
            }
            EXPECT_TRUE(
                HoldsJob(dev.DataImage, sd.CurrentWords, sd.CurrentFirst, lastCurrentJob[k]))
                << "device " << k;
        }
        const std::uint8_t* d2Settings = state.Base.Devices[0][2].DataImage + D2SettingsOffset;
        const std::uint8_t* dSettings = state.WorkArea.DSettingsBlock.Bytes;
        if (settings && d == 2 && HoldsJob(d2Settings, D2SettingsWords, D2SettingsFirst, n))
            lastD2Settings = n;
        if (settings && d == 1 && HoldsJob(dSettings, DSettingsWords, DSettingsFirst, n))
            lastDSettings = n;
        if (settings && result == ResultSuccess) {
            EXPECT_EQ(d == 2 ? lastD2Settings : lastDSettings, n);
        }
        EXPECT_TRUE(HoldsJob(d2Settings, D2SettingsWords, D2SettingsFirst, lastD2Settings));
        EXPECT_TRUE(HoldsJob(dSettings, DSettingsWords, DSettingsFirst, lastDSettings));

        // The views are taken afresh from what the job left, then rendered again.
        forget(d);
        render(d, tab);
        if (HasFailure())
            break;
    }
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);

    worker.reset();
    EXPECT_EQ(ThreadCount(), threadsBefore) << "a thread was left behind";
    EXPECT_EQ(torn, 0) << "of " << renders << " renders";

    EXPECT_EQ(ran, JobCount);
    std::printf("%d jobs in %lld ms: %d stopped while running, %d after their end; %d current "
                "images stored; %d renders; longest stop %lld us\n",
                ran, static_cast<long long>(elapsed.count()), stoppedRunning, stoppedAfterEnd,
                storedCurrent, renders, static_cast<long long>(longestStop.count()));
    for (const auto& [code, count] : results)
        std::printf("  result %d: %d\n", code, count);
    // Every kind of end happened: the run exercised what it claims to.
    EXPECT_GT(results[ResultSuccess], 0);
    EXPECT_GT(results[ResultUserStop], 0);
    EXPECT_GT(results[ResultTimeout] + results[ResultBadCrc], 0);
    EXPECT_GT(storedCurrent, 0);
}

} // namespace
} // namespace virs
