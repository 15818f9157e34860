// collect-bench: four direct nodes on four simulator lines, each with one
// ВИРС-Д whose 31-day daily archive is read at 9600 bit/s with the line's
// pacing, by `virs-cli collect --parallel 4` against `--parallel 1`. Prints the
// wall time of each run, the speed-up, and the CPU time of virs-cli per
// exchange (user + system of the child process over the exchanges it made).

#include <sys/resource.h>
#include <sys/time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/cli/SimHarness.h"

using namespace virs;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int Nodes = 4;
constexpr int Days = 31;
// Per device: the scale codes, then a selector write and a record read per day.
constexpr int ExchangesPerDevice = 1 + 2 * Days;

double CpuSeconds(const rusage& u) {
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct TFigure {
    double Seconds = 0;
    double CpuMsPerExchange = 0;
    int Exit = -1;
};

TFigure Run(const std::filesystem::path& base, const std::filesystem::path& work, int parallel) {
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    const auto start = Clock::now();
    const test::TRunResult r =
        test::RunCli({"collect", "--dir", base.string(), "--what", "archives", "--kind", "daily",
                      "--since", "2024-02-14", "--to", "2024-03-15", "--now", "2024-03-15T10:00:00",
                      "--parallel", std::to_string(parallel)},
                     work);
    TFigure f;
    f.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    f.CpuMsPerExchange =
        (CpuSeconds(after) - CpuSeconds(before)) * 1000.0 / (Nodes * ExchangesPerDevice);
    f.Exit = r.Exit;
    if (r.Exit != 0)
        std::fprintf(stderr, "%s\n%s\n", r.Out.c_str(), r.Err.c_str());
    return f;
}

} // namespace

int main() {
    setenv("VIRS_BINARY_DIR", VIRS_BUILD_DIR, 1);
    test::TTempFolder folder;
    const std::filesystem::path ports = folder.Path / "ports";
    const std::filesystem::path base = folder.Path / "base";
    std::filesystem::create_directories(ports);
    std::filesystem::create_directories(base);
    setenv("VIRS_PORTS_DIR", ports.c_str(), 1);
    std::string sites, lines;
    std::vector<test::TTestNode> nodes;
    for (int n = 0; n < Nodes; ++n) {
        const std::string name = "S" + std::to_string(n);
        sites += std::string(n ? "," : "") + R"({"name": ")" + name +
                 R"(", "devices": [{"type": "ВИРС-Д", "address": 2}]})";
        lines += std::string(n ? "," : "") + R"({"com": )" + std::to_string(31 + n) +
                 R"(, "kind": "direct", "site": ")" + name + R"("})";
        test::TTestNode node;
        node.ComPort = static_cast<u16>(31 + n);
        node.Devices = {{DeviceVirsD, 2}};
        nodes.push_back(node);
    }
    test::WriteText(folder.Path / "scenario.json",
                    R"({"seed": 1, "now": "2024-03-15T10:00:00", "pacing": true, "sites": [)" +
                        sites + R"(], "lines": [)" + lines + "]}");
    test::SaveStation(test::MakeStation(nodes), base);
    test::TSimProcess sim(folder.Path / "scenario.json");
    if (!sim.Ready) {
        std::fprintf(stderr, "virs-sim не запустился: %s\n", sim.Banner.c_str());
        return 1;
    }
    std::printf("collect-bench: %d ВИРС-Д on %d direct lines, %d-day daily archive each "
                "(%d exchanges per device), 9600 bit/s, paced\n",
                Nodes, Nodes, Days, ExchangesPerDevice);
    const TFigure one = Run(base, folder.Path, 1);
    const TFigure four = Run(base, folder.Path, 4);
    std::printf("  --parallel 1: %7.2f s  (exit %d), CPU %.3f ms per exchange\n", one.Seconds,
                one.Exit, one.CpuMsPerExchange);
    std::printf("  --parallel 4: %7.2f s  (exit %d), CPU %.3f ms per exchange\n", four.Seconds,
                four.Exit, four.CpuMsPerExchange);
    std::printf("  speed-up: %.2f x (target 3.5 x)\n", one.Seconds / four.Seconds);
    return one.Exit == 0 && four.Exit == 0 ? 0 : 1;
}
