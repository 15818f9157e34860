// exchange-bench: N function-3 exchanges of 32 registers through the exchange
// thread against a slave process on a pseudo-terminal. Prints the mean time
// per exchange less the 50 ms interval time-out that ends every answer (the
// program's own overhead), the CPU time and context switches per exchange, and
// the timing accuracy of the port's read time-outs; the same run once more with
// the traffic monitor's frame queue attached (emptied and turned into its text
// columns every 100 ms, as the window does), and a libmodbus master reading
// the same registers from the same slave on the same pseudo-terminal. The
// program alone and with the monitor run in four alternating turns of N / 4.
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
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <modbus.h>

#include "link/ExchangeWorker.h"
#include "link/FrameDecoding.h"
#include "link/FrameMonitor.h"
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

std::unique_ptr<TSerialPort> OpenProgramSide(const std::string& path, TPortTimeouts timeouts) {
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

struct TFigures {
    double WallMs = 0;   // per exchange
    double UserMs = 0;   // per exchange
    double SystemMs = 0; // per exchange
    double Switches = 0; // per exchange
    int Failures = 0;
    double CpuMs() const { return UserMs + SystemMs; }
};

TFigures PerExchange(const TCpu& start, const TCpu& end, double wallMs, int count, int failures) {
    TFigures f;
    f.WallMs = wallMs / count;
    f.UserMs = (end.User - start.User) * 1000 / count;
    f.SystemMs = (end.System - start.System) * 1000 / count;
    f.Switches = static_cast<double>(end.Switches - start.Switches) / count;
    f.Failures = failures;
    return f;
}

// One job sequence of warm-up + N exchanges through the exchange thread, as an
// archive walk runs: the completion handler leaves each next request in the
// block and parks the worker after the last one. The protocol log is written
// as in every job. With `monitor` the traffic monitor's queue is attached and
// a thread empties it every 100 ms and builds each frame's columns.
TFigures RunOurs(const std::string& path, int count, bool monitor) {
    auto port = OpenProgramSide(path, {IntervalMs, 0, 1000});
    std::filesystem::path logPath =
        std::filesystem::temp_directory_path() / ("exchange-bench-" + std::to_string(getpid()));
    TProtocolLog log;
    if (!log.Create(logPath)) {
        std::perror("protocol log");
        std::exit(1);
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

    TFrameQueue queue;
    std::mutex drainMutex;
    std::condition_variable drainStop;
    bool stopDrain = false;
    std::size_t framesShown = 0;
    std::thread drainer;
    if (monitor)
        drainer = std::thread([&] {
            std::vector<TFrameEvent> frames;
            std::unique_lock lock(drainMutex);
            for (;;) {
                const bool last = drainStop.wait_for(lock, std::chrono::milliseconds(100),
                                                     [&] { return stopDrain; });
                frames.clear();
                queue.Drain(frames);
                for (const TFrameEvent& frame : frames)
                    framesShown += FrameLine(FrameColumns(frame)).empty() ? 0 : 1;
                if (last)
                    return;
            }
        });
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
        if (monitor)
            worker.SetObserver(&queue);
        fillRequest(0);
        worker.Wake();
        mainThread.RunUntil([&] { return finished; }, std::chrono::hours(1));
    }
    const double wallMs = Ms(Clock::now() - wallStart);
    TCpu cpuEnd = CpuNow();
    if (monitor) {
        {
            std::lock_guard lock(drainMutex);
            stopDrain = true;
        }
        drainStop.notify_all();
        drainer.join();
        // Two frames per exchange, warm-up included, none dropped.
        const std::size_t expected = 2u * static_cast<std::size_t>(warmUp + count);
        if (framesShown != expected || queue.Dropped() != 0) {
            std::fprintf(stderr, "monitor: %zu frames shown of %zu, %llu dropped\n", framesShown,
                         expected, static_cast<unsigned long long>(queue.Dropped()));
            ++failures;
        }
    }
    log.Close();
    port->Close();
    std::error_code ec;
    std::filesystem::remove(logPath, ec);
    return PerExchange(cpuStart, cpuEnd, wallMs, count, failures);
}

// A libmodbus master reading the same 32 registers from the same slave: it
// finds the end of an answer from its length, so it waits for no gap.
TFigures RunLibmodbus(const std::string& path, int count) {
    modbus_t* ctx = modbus_new_rtu(path.c_str(), 115200, 'N', 8, 1);
    if (!ctx || modbus_set_slave(ctx, 1) != 0 || modbus_connect(ctx) != 0) {
        std::fprintf(stderr, "libmodbus on %s: %s\n", path.c_str(), modbus_strerror(errno));
        std::exit(1);
    }
    modbus_set_response_timeout(ctx, 1, 0);
    const int warmUp = 5;
    int failures = 0;
    std::uint16_t registers[32];
    TCpu cpuStart;
    Clock::time_point wallStart;
    for (int i = 0; i < warmUp + count; ++i) {
        if (i == warmUp) {
            cpuStart = CpuNow();
            wallStart = Clock::now();
        }
        if (modbus_read_registers(ctx, i, 32, registers) != 32 || registers[31] != i + 31)
            ++failures;
    }
    const double wallMs = Ms(Clock::now() - wallStart);
    TCpu cpuEnd = CpuNow();
    modbus_close(ctx);
    modbus_free(ctx);
    return PerExchange(cpuStart, cpuEnd, wallMs, count, failures);
}

void Print(const char* what, const TFigures& f, double gapMs) {
    std::printf("%-34s %8.4f %8.4f %8.4f %9.1f %10.3f %7d\n", what, f.CpuMs(), f.UserMs, f.SystemMs,
                f.Switches, f.WallMs - gapMs, f.Failures);
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

    // The program alone and with the monitor take turns, so that the load of
    // the machine weighs on both alike; the figures are the means of the turns.
    const int turns = 4;
    const int perTurn = std::max(1, count / turns);
    TFigures plain, watched;
    auto add = [](TFigures& sum, const TFigures& turn) {
        sum.WallMs += turn.WallMs / turns;
        sum.UserMs += turn.UserMs / turns;
        sum.SystemMs += turn.SystemMs / turns;
        sum.Switches += turn.Switches / turns;
        sum.Failures += turn.Failures;
    };
    for (int turn = 0; turn < turns; ++turn) {
        add(plain, RunOurs(pty.SlavePath, perTurn, false));
        add(watched, RunOurs(pty.SlavePath, perTurn, true));
    }
    const TFigures reference = RunLibmodbus(pty.SlavePath, count);
    count = perTurn * turns;

    std::printf("exchanges: %d of 32 registers per master, same slave, same pseudo-terminal\n",
                count);
    std::printf("%-34s %8s %8s %8s %9s %10s %7s\n", "per exchange", "CPU ms", "user", "system",
                "switches", "overhead", "failed");
    Print("this program", plain, IntervalMs);
    Print("this program, monitor attached", watched, IntervalMs);
    Print("libmodbus master", reference, 0);
    std::printf("overhead: mean time per exchange, less the %u ms interval time-out that "
                "ends every answer of this program (target <= 1 ms)\n",
                IntervalMs);
    std::printf("CPU time per exchange: %.4f ms (target <= 0.1 ms); libmodbus %.4f ms\n",
                plain.CpuMs(), reference.CpuMs());
    std::printf("monitor attached: overhead %+.3f ms, CPU %+.4f ms per exchange "
                "(target: overhead change < 0.1 ms)\n",
                watched.WallMs - plain.WallMs, watched.CpuMs() - plain.CpuMs());
    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);
    ::close(pty.Master);
    return plain.Failures + watched.Failures + reference.Failures == 0 ? 0 : 1;
}
