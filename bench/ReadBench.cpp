// read-bench: from pressing start to the rendered text, per device type and
// view, against the simulator on a pseudo-terminal with line pacing at 9600
// and 115200 bit/s, compared with the ideal time of the same frames (wire time
// of request and answer, the meter's turnaround and the 50 ms interval
// time-out that ends every read); then the CPU time this process spends on
// cyclic polling.
//
//   read-bench [--cyclic-seconds N]   (default 60; the figure is scaled to ten minutes)

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "jobs/LinkSession.h"
#include "tests/cli/SimHarness.h"
#include "views/DeviceView.h"

using namespace virs;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int TurnaroundMs = 15; // the simulator's default
constexpr int IntervalMs = 50;   // Modbus interval time-out of the link

class TBenchUi final : public TJobUi {
public:
    explicit TBenchUi(TProgramState& state) : State(state) {}
    // Only the status text and the polling timer matter to the figures.
    void Apply(const TJobControls& change) override {
        if (change.Status)
            Status = *change.Status;
        if (change.CyclicTimerInterval) {
            TimerOn = *change.CyclicTimerInterval > 0;
            if (TimerOn)
                IntervalMs = *change.CyclicTimerInterval;
        }
    }
    bool CyclicDown() const override { return Cyclic; }
    bool RunArchiveDialog(TArchiveRangeDialog&) override { return false; }
    void Render() override {
        const TDevice& d = State.Base.Devices[State.JobNode][State.JobDevice];
        const TDeviceViewText text =
            RenderDeviceView(State.JobView, d, State.WorkArea, RussianViewLocale());
        Lines = text.Lines.size();
        RenderedAt = Clock::now();
        ++Renders;
    }
    TProgramState& State;
    std::string Status;
    std::size_t Lines = 0;
    Clock::time_point RenderedAt;
    int Renders = 0, IntervalMs = 0;
    bool Cyclic = false, TimerOn = false;
};

class TQuietConnectionUi final : public TConnectionUi {
public:
    void SetStatus(const std::string&) override {}
    void ShowMessage(TMessageIcon, const std::string& text) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    bool ButtonDown() override { return true; }
};

struct TCase {
    const char* Name;
    int Device;
    int View;
    int Registers;
};

double IdealMs(int registers, int chunk, std::uint32_t baud) {
    const double byteMs = 10.0 * 1000.0 / baud; // 8N1
    double total = 0;
    for (int left = registers; left > 0; left -= chunk) {
        const int n = std::min(left, chunk);
        total += 8 * byteMs + TurnaroundMs + (2 * n + 5) * byteMs + IntervalMs;
    }
    return total;
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    int cyclicSeconds = 60;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--cyclic-seconds")
            cyclicSeconds = std::max(1, std::atoi(argv[++i]));
    if (!std::getenv("VIRS_BINARY_DIR"))
        setenv("VIRS_BINARY_DIR", VIRS_BUILD_DIR, 1);

    test::TTempFolder folder;
    const std::filesystem::path ports = folder.Path / "ports";
    std::filesystem::create_directories(ports);
    setenv("VIRS_PORTS_DIR", ports.c_str(), 1);
    test::WriteText(folder.Path / "scenario.json",
                    R"({"seed": 1, "now": "2024-03-15T10:00:00",
      "sites": [{"name": "A", "devices": [
        {"type": "ВИРС-Ш", "address": 1}, {"type": "ВИРС-Д", "address": 2},
        {"type": "ВИРС-ДК", "address": 3}, {"type": "ВИРС-Д2", "address": 4}]}],
      "lines": [{"com": 9, "kind": "direct", "site": "A"}]})");
    test::TSimProcess sim(folder.Path / "scenario.json");
    if (!sim.Ready) {
        std::fprintf(stderr, "virs-sim did not start:\n%s\n", sim.Banner.c_str());
        return 1;
    }

    const TCase cases[] = {{"ВИРС-Ш current", 0, 0, 22},   {"ВИРС-Д current", 1, 0, 64},
                           {"ВИРС-ДК current", 2, 0, 64},  {"ВИРС-Д2 current", 3, 0, 93},
                           {"ВИРС-Д settings", 1, 4, 340}, {"ВИРС-Д2 settings", 3, 3, 130}};
    constexpr int Repeats = 5;
    std::printf("start to rendered text, direct link, chunk 32, median of %d\n", Repeats);
    std::printf("%-18s %8s %10s %10s %7s\n", "job", "bit/s", "measured", "ideal", "ratio");
    for (const u8 baudIndex : {u8{3}, u8{7}}) {
        TProgramState state;
        test::TTestNode node;
        node.ComPort = 9;
        node.BaudIndex = baudIndex;
        node.Retries = 1;
        node.ReplyTimeoutMs = 1000;
        node.Devices = {{DeviceVirsSh, 1}, {DeviceVirsD, 2}, {DeviceVirsDK, 3}, {DeviceVirsD2, 4}};
        state.Base = test::MakeStation({node});
        TBenchUi ui(state);
        TQuietConnectionUi connectionUi;
        TMainThreadQueue mainThread;
        TLinkSession session(state, mainThread, ui, folder.Path);
        if (!session.Connect(0, connectionUi).Connected) {
            std::fprintf(stderr, "no connection\n");
            return 1;
        }
        for (const TCase& c : cases) {
            std::vector<double> times;
            for (int r = 0; r < Repeats; ++r) {
                state.Base.SelNode = 0;
                state.Base.SelDevice = static_cast<u8>(c.Device);
                const auto start = Clock::now();
                StartStopClick(session.Job(), true, c.View);
                mainThread.RunUntil([&] { return !state.JobRunning; }, std::chrono::seconds(30));
                if (ui.Status != "Завершено успешно") {
                    std::fprintf(stderr, "%s: %s\n", c.Name, ui.Status.c_str());
                    return 1;
                }
                times.push_back(
                    std::chrono::duration<double, std::milli>(ui.RenderedAt - start).count());
            }
            std::sort(times.begin(), times.end());
            const double measured = times[times.size() / 2];
            const double ideal = IdealMs(c.Registers, 32, BaudRates[baudIndex]);
            std::printf("%-18s %8u %8.1fms %8.1fms %7.2f\n", c.Name, BaudRates[baudIndex], measured,
                        ideal, measured / ideal);
        }
        session.Disconnect(connectionUi, [&] { mainThread.RunPending(); });
    }

    // Cyclic polling of a ВИРС-Д2 at 9600 bit/s: Timer3 played by this loop.
    TProgramState state;
    test::TTestNode node;
    node.ComPort = 9;
    node.BaudIndex = 3;
    node.Retries = 3;
    node.ReplyTimeoutMs = 1000;
    node.Devices = {{DeviceVirsD2, 4}};
    state.Base = test::MakeStation({node});
    state.Base.SelNode = 0;
    state.Base.SelDevice = 0;
    TBenchUi ui(state);
    TQuietConnectionUi connectionUi;
    TMainThreadQueue mainThread;
    TLinkSession session(state, mainThread, ui, folder.Path);
    if (!session.Connect(0, connectionUi).Connected)
        return 1;
    const double cpuBefore = CpuSeconds();
    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(cyclicSeconds);
    ui.Cyclic = true;
    CyclicClick(session.Job(), true);
    auto nextTick = Clock::now() + std::chrono::milliseconds(ui.IntervalMs);
    while (Clock::now() < end) {
        mainThread.RunUntil([&] { return Clock::now() >= nextTick; },
                            std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::min(nextTick, end) - Clock::now()));
        if (Clock::now() >= nextTick) {
            CyclicTick(session.Job());
            nextTick += std::chrono::milliseconds(ui.IntervalMs);
        }
    }
    ui.Cyclic = false;
    CyclicClick(session.Job(), false);
    mainThread.RunUntil([&] { return !state.JobRunning; }, std::chrono::seconds(10));
    const double cpu = CpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    session.Disconnect(connectionUi, [&] { mainThread.RunPending(); });
    std::printf(
        "\ncyclic polling, ВИРС-Д2 current at 9600 bit/s, Timer3 %d ms: %d jobs in %.1f s\n",
        ui.IntervalMs, ui.Renders, wall);
    std::printf("CPU of this process: %.3f s (%.3f %%), scaled to ten minutes: %.2f s\n", cpu,
                100.0 * cpu / wall, cpu * 600.0 / wall);
    return 0;
}
