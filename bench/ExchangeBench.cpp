// exchange-bench: N function-3 exchanges of 32 registers through the exchange
// thread against a slave process on a pseudo-terminal. Prints the mean time
// per exchange less the 50 ms interval time-out that ends every answer (the
// program's own overhead), the CPU time per exchange, and the timing accuracy
// of the port's read time-outs.
//
//   exchange-bench [N]      (N = 200 by default)

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "link/ExchangeWorker.h"
#include "link/ModbusExchange.h"
#include "link/SerialPort.h"

namespace {

using namespace virs;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t IntervalMs = 50;

struct TPtyPair {
    int Master = -1;
    std::string SlavePath;
};

TPtyPair OpenPty() {
    TPtyPair p;
    p.Master = posix_openpt(O_RDWR | O_NOCTTY);
    char name[128] = {};
    if (p.Master < 0 || grantpt(p.Master) != 0 || unlockpt(p.Master) != 0 ||
        ptsname_r(p.Master, name, sizeof name) != 0) {
        std::perror("pseudo-terminal");
        std::exit(1);
    }
    p.SlavePath = name;
    return p;
}

// The slave device: answers every function-3 request at once with register
// value = register number. Runs in its own process so that its CPU time is not
// counted as the program's.
[[noreturn]] void ServeReads(int master) {
    std::vector<std::uint8_t> frame;
    for (;;) {
        std::uint8_t buffer[512];
        ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EIO) { // the program side is not open yet
                ::usleep(1000);
                continue;
            }
            _exit(0);
        }
        frame.insert(frame.end(), buffer, buffer + n);
        while (frame.size() >= 8) {
            std::uint8_t address = frame[0];
            unsigned start = frame[2] << 8 | frame[3], count = frame[4] << 8 | frame[5];
            frame.erase(frame.begin(), frame.begin() + 8);
            std::vector<std::uint8_t> answer{address, 3, static_cast<std::uint8_t>(2 * count)};
            for (unsigned i = 0; i < count; ++i) {
                answer.push_back(static_cast<std::uint8_t>((start + i) >> 8));
                answer.push_back(static_cast<std::uint8_t>(start + i));
            }
            std::uint16_t crc = ModbusCrc(answer.data(), answer.size());
            answer.push_back(static_cast<std::uint8_t>(crc));
            answer.push_back(static_cast<std::uint8_t>(crc >> 8));
            if (::write(master, answer.data(), answer.size()) < 0)
                _exit(1);
        }
    }
}

struct TCpu {
    double User = 0;   // s
    double System = 0; // s
    long Switches = 0; // voluntary and involuntary context switches
};

TCpu CpuNow() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return {static_cast<double>(u.ru_utime.tv_sec) + static_cast<double>(u.ru_utime.tv_usec) / 1e6,
            static_cast<double>(u.ru_stime.tv_sec) + static_cast<double>(u.ru_stime.tv_usec) / 1e6,
            u.ru_nvcsw + u.ru_nivcsw};
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

std::unique_ptr<ISerialPort> OpenProgramSide(const std::string& path, TPortTimeouts timeouts) {
    TPortOpenResult r = OpenSerialPort(path);
    if (!r.Port) {
        std::fprintf(stderr, "open %s: %s\n", path.c_str(), r.Error.c_str());
        std::exit(1);
    }
    TLineSettings line;
    r.Port->GetLineSettings(line);
    line.BaudRate = 115200;
    r.Port->SetLineSettings(line);
    r.Port->SetTimeouts(timeouts);
    return std::move(r.Port);
}

// How late the port's time-outs fire: a read with nothing coming (total
// time-out), and a read ended by the gap after a burst (interval time-out).
void MeasurePortTiming() {
    TPtyPair pty = OpenPty();
    auto port = OpenProgramSide(pty.SlavePath, {IntervalMs, 0, 100});
    const int rounds = 20;
    std::vector<double> totalLate, intervalLate;
    std::uint8_t buffer[256];
    for (int i = 0; i < rounds; ++i) {
        auto start = Clock::now();
        port->Read(buffer, sizeof buffer);
        totalLate.push_back(Ms(Clock::now() - start) - 100);
    }
    port->SetTimeouts({IntervalMs, 0, 1000});
    for (int i = 0; i < rounds; ++i) {
        const std::uint8_t burst[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        auto sent = Clock::now();
        if (::write(pty.Master, burst, sizeof burst) != sizeof burst)
            std::exit(1);
        port->Read(buffer, sizeof buffer);
        intervalLate.push_back(Ms(Clock::now() - sent) - IntervalMs);
    }
    auto report = [](const char* what, std::vector<double>& v) {
        std::sort(v.begin(), v.end());
        double mean = 0;
        for (double x : v)
            mean += x;
        mean /= static_cast<double>(v.size());
        std::printf("%s: mean %+.3f ms, max %+.3f ms late (%zu reads)\n", what, mean, v.back(),
                    v.size());
    };
    report("total time-out 100 ms, nothing comes", totalLate);
    report("interval time-out 50 ms after a burst", intervalLate);
    port->Close();
    ::close(pty.Master);
}

} // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? std::atoi(argv[1]) : 200;
    if (count <= 0) {
        std::fprintf(stderr, "usage: exchange-bench [N]\n");
        return 2;
    }

    MeasurePortTiming();

    TPtyPair pty = OpenPty();
    pid_t child = fork();
    if (child == 0)
        ServeReads(pty.Master);
    auto port = OpenProgramSide(pty.SlavePath, {IntervalMs, 0, 1000});

    std::filesystem::path logPath =
        std::filesystem::temp_directory_path() / ("exchange-bench-" + std::to_string(getpid()));
    // One job sequence of warm-up + N exchanges, as an archive walk runs: the
    // completion handler leaves each next request in the block and parks the
    // worker after the last one. The protocol log is written as in every job.
    TProtocolLog log;
    if (!log.Create(logPath)) {
        std::perror("protocol log");
        return 1;
    }
    TModbusExchange x;
    std::vector<std::uint8_t> data(64);
    TMainThreadQueue mainThread;
    const int warmUp = 5;
    int completions = 0;
    int failures = 0;
    bool finished = false;
    TCpu cpuStart;
    Clock::time_point wallStart;
    auto fillRequest = [&](int i) {
        x.SlaveAddress = 1;
        x.FunctionCode = FunctionReadRegisters;
        x.StartRegister = static_cast<std::uint16_t>(i);
        x.RegisterCount = 32;
        x.MaxRegistersPerRequest = 32;
        x.RetryCount = 3;
        x.DataCursor = data.data();
    };
    {
        ExchangeWorker worker(x, *port, log, mainThread, [&](ExchangeWorker& w) {
            ++completions;
            if (x.ResultCode != ResultSuccess)
                ++failures;
            if (completions == warmUp) {
                cpuStart = CpuNow();
                wallStart = Clock::now();
            }
            if (completions == warmUp + count) {
                w.Park();
                finished = true;
                return;
            }
            fillRequest(completions);
        });
        fillRequest(0);
        worker.Wake();
        mainThread.RunUntil([&] { return finished; }, std::chrono::hours(1));
    }
    double wallMs = Ms(Clock::now() - wallStart);
    TCpu cpuEnd = CpuNow();
    double userMs = (cpuEnd.User - cpuStart.User) * 1000;
    double systemMs = (cpuEnd.System - cpuStart.System) * 1000;
    log.Close();

    std::printf("exchanges: %d of 32 registers, %d failed\n", count, failures);
    std::printf("mean time per exchange: %.3f ms\n", wallMs / count);
    std::printf("overhead per exchange (mean minus %u ms interval time-out): %.3f ms "
                "(target <= 1 ms)\n",
                IntervalMs, wallMs / count - IntervalMs);
    std::printf("CPU time per exchange: %.4f ms (user %.4f, system %.4f; target <= 0.1 ms)\n",
                (userMs + systemMs) / count, userMs / count, systemMs / count);
    std::printf("context switches per exchange: %.1f\n",
                static_cast<double>(cpuEnd.Switches - cpuStart.Switches) / count);
    port->Close();
    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);
    ::close(pty.Master);
    std::error_code ec;
    std::filesystem::remove(logPath, ec);
    return failures == 0 ? 0 : 1;
}
