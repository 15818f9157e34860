// poll: cyclic polling of one device's current values, as the window's
// polling button does (CyclicClick, then one job per tick of the polling
// timer), without an operator: for a number of jobs or seconds, or until Ctrl+C
// or SIGTERM. The interval is the polling timer's (reply time-out × retries +
// 1000 ms) unless --interval gives another (0: each job as soon as the last has
// ended). At the end it prints how many jobs ended with each result code and
// the process's figures (resident memory, threads, open descriptors) before
// the link, between jobs and after the link, so that a long run shows whether
// anything is left behind. The last data image read is stored into base.dat.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "acquisition/DeviceViews.h"
#include "cli/CliLink.h"
#include "cli/CliOptions.h"
#include "cli/CliStation.h"
#include "cli/Commands.h"
#include "jobs/LinkSession.h"
#include "model/StationBase.h"
#include "model/StationLock.h"

namespace virs::cli {
namespace {

const char* const PollUsage =
    "Использование: virs-cli poll --dir ПАПКА --node N --device K [--port COMn|ПУТЬ] "
    "[--interval МС] [--timeout МС] [--retries N] [--jobs N] [--duration СЕК] [--report СЕК] "
    "[--job-limit СЕК] [--dial-timeout СЕК]\n";

// What the process holds at one moment; -1 where the system does not tell.
struct TProcessFigures {
    long RssKb = -1;
    long Threads = -1;
    long Descriptors = -1;
};

TProcessFigures ProcessFigures() {
    TProcessFigures f;
#ifdef __linux__
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            f.RssKb = std::stol(line.substr(6));
        else if (line.rfind("Threads:", 0) == 0)
            f.Threads = std::stol(line.substr(8));
    }
    std::error_code error;
    long count = 0;
    for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end;
         it.increment(error))
        ++count;
    // The listing's own descriptor is not the program's.
    if (!error)
        f.Descriptors = count - 1;
#endif
    return f;
}

void PrintFigures(const char* when, const TProcessFigures& f, long seconds, long jobs) {
    std::printf("замер %s: с=%ld заданий=%ld RSS=%ld КБ потоков=%ld дескрипторов=%ld\n", when,
                seconds, jobs, f.RssKb, f.Threads, f.Descriptors);
    std::fflush(stdout);
}

} // namespace

int CmdPoll(const Args& args) {
    std::string dir, port;
    int node = -1, device = -1, dialTimeout = DefaultDialTimeoutSeconds;
    int interval = -1, timeout = -1, retries = -1, jobsWanted = 0, duration = 0, report = 0,
        jobLimit = 60;
    const bool parsed =
        ParseOptionPairs(args, PollUsage, [&](const std::string& name, const std::string& value) {
            if (name == "--dir")
                dir = value;
            else if (name == "--node")
                return ParseNumber(value, 0, MaxNodes - 1, node);
            else if (name == "--device")
                return ParseNumber(value, 0, MaxDevicesPerNode - 1, device);
            else if (name == "--port" && !value.empty())
                port = value;
            else if (name == "--interval")
                return ParseNumber(value, 0, 3600000, interval);
            else if (name == "--timeout")
                return ParseNumber(value, 1, 65535, timeout);
            else if (name == "--retries")
                return ParseNumber(value, 1, 255, retries);
            else if (name == "--jobs")
                return ParseNumber(value, 1, 99999, jobsWanted);
            else if (name == "--duration")
                return ParseNumber(value, 1, 99999, duration);
            else if (name == "--report")
                return ParseNumber(value, 1, 99999, report);
            else if (name == "--job-limit")
                return ParseNumber(value, 1, 3600, jobLimit);
            else if (name == "--dial-timeout")
                return ParseNumber(value, 1, MaxDialTimeoutSeconds, dialTimeout);
            else
                return false;
            return true;
        });
    if (!parsed)
        return 2;
    if (dir.empty() || node < 0 || device < 0) {
        std::fprintf(stderr, "%s", PollUsage);
        return 2;
    }

    const std::filesystem::path folder(dir);
    TStationLock lock;
    TProgramState state;
    if (const int failed = OpenStationToWrite(dir, node, device, lock, state))
        return failed;
    StationBase& base = state.Base;
    if (ViewTabCountOf(base.Devices[node][device].DeviceType) == 0) {
        std::fprintf(stderr, "virs-cli: прибор этого типа не опрашивается\n");
        return 1;
    }

    const TProcessFigures beforeLink = ProcessFigures();
    // --port, --timeout and --retries hold for this run only; base.dat keeps
    // the node's own.
    TNode& record = base.Nodes[node];
    const TNode stored = record;
    if (timeout > 0)
        record.ReplyTimeoutMs = static_cast<u16>(timeout);
    if (retries > 0)
        record.Retries = static_cast<u8>(retries);
    const auto pause = std::chrono::milliseconds(interval >= 0 ? interval : CyclicInterval(record));

    TCliConnectionUi connectionUi(dialTimeout);
    TMainThreadQueue mainThread;
    TLinkSession session(state, mainThread, folder);
    std::string openFailure;
    UsePortOption(port, record, session, openFailure);

    const TStopSignals stopSignals(true);
    if (!ConnectForRun(state, session, node, device, connectionUi, openFailure))
        return 1;

    using Clock = std::chrono::steady_clock;
    const Clock::time_point started = Clock::now();
    const auto elapsed = [&] {
        return static_cast<long>(
            std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started).count());
    };
    const auto due = [&] {
        return TStopSignals::Pressed() ||
               (duration > 0 && Clock::now() - started >= std::chrono::seconds(duration));
    };
    std::map<int, long> byResult; // result code → jobs; -1: no job started
    long jobs = 0;
    bool hung = false;
    Clock::time_point nextReport = started;

    // Pressed: the first job at once; then one job per tick while polling is on.
    bool first = true;
    while (!due() && (jobsWanted == 0 || jobs < jobsWanted)) {
        bool startedJob = false;
        if (first) {
            CyclicClick(session.Job(), true);
            startedJob = state.JobRunning;
            first = false;
        } else {
            startedJob = CyclicTick(session.Job());
        }
        if (!startedJob) {
            ++byResult[-1];
            ++jobs;
            break; // a start refused now is refused every time
        }
        const Clock::time_point limit = Clock::now() + std::chrono::seconds(jobLimit);
        while (state.JobRunning && Clock::now() < limit && !TStopSignals::Pressed())
            mainThread.RunUntil([&] { return !state.JobRunning; }, std::chrono::milliseconds(100));
        if (state.JobRunning) {
            if (!TStopSignals::Pressed()) {
                hung = true;
                std::fprintf(stderr, "virs-cli: задание не завершилось за %d с\n", jobLimit);
            }
            break; // the release below stops it
        }
        ++jobs;
        const std::optional<TJobEnd>& end = session.LastJobEnd();
        ++byResult[end && end->Ran ? end->ResultCode : -1];
        // Between jobs the worker is parked and the protocol log closed: the
        // figures of one moment compare with those of another.
        if (report > 0 && Clock::now() >= nextReport) {
            PrintFigures("на связи", ProcessFigures(), elapsed(), jobs);
            nextReport = Clock::now() + std::chrono::seconds(report);
        }
        if (pause.count() > 0) {
            const Clock::time_point tick = Clock::now() + pause;
            while (Clock::now() < tick && !due())
                mainThread.RunUntil(
                    [] { return false; },
                    std::min<std::chrono::milliseconds>(
                        std::chrono::duration_cast<std::chrono::milliseconds>(tick - Clock::now()),
                        std::chrono::milliseconds(100)));
        }
    }

    // Released: a running job is stopped and waited for; it counts with the
    // result it ended with ("Прервано пользователем" as a rule).
    const bool stopping = state.JobRunning;
    CyclicClick(session.Job(), false);
    if (state.JobRunning &&
        !mainThread.RunUntil([&] { return !state.JobRunning; }, std::chrono::seconds(jobLimit))) {
        hung = true;
        std::fprintf(stderr, "virs-cli: задание не остановилось за %d с\n", jobLimit);
    } else if (stopping) {
        ++jobs;
        const std::optional<TJobEnd>& end = session.LastJobEnd();
        ++byResult[end && end->Ran ? end->ResultCode : -1];
    }
    if (report > 0 && !hung)
        PrintFigures("на связи", ProcessFigures(), elapsed(), jobs);

    const TDisconnectOutcome closed =
        session.Disconnect(connectionUi, [&] { mainThread.RunPending(); });
    connectionUi.SetStatus(closed.Status);

    record.ComPort = stored.ComPort;
    record.ReplyTimeoutMs = stored.ReplyTimeoutMs;
    record.Retries = stored.Retries;
    const TSaveReport saved = SaveStationBase(base, state.BaseFile, folder);
    if (!saved.Ok)
        std::fprintf(stderr, "virs-cli: %s\n", saved.Message.c_str());

    std::printf("заданий: %ld за %ld с\n", jobs, elapsed());
    for (const auto& [code, count] : byResult) {
        if (code < 0)
            std::printf("  не начато: %ld\n", count);
        else
            std::printf("  %s (%d): %ld\n", ExchangeResultMessage(static_cast<u8>(code)).c_str(),
                        code, count);
    }
    if (report > 0) {
        PrintFigures("до связи", beforeLink, 0, 0);
        PrintFigures("после связи", ProcessFigures(), elapsed(), jobs);
    }
    const bool printed = std::fflush(stdout) == 0;
    return !hung && closed.Closed && saved.Ok && printed && !TStopSignals::Pressed() ? 0 : 1;
}

} // namespace virs::cli
