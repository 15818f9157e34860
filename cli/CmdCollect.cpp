// collect: the unattended readout of a whole station. Every chosen node is
// connected as the window connects it, every polled device read as the start
// button reads it (current values, settings, one archive kind), the link ended
// as the disconnect button ends it, and the next node taken. A failure is
// recorded and the run goes on; a summary table (and JSON) closes the run.
//
// Nodes on different ports may run at the same time (--parallel): each port
// has its own program state, link session and exchange thread, and its nodes
// are read one after the other. What a node stored is merged into the one
// station of the run and base.dat written under a lock, node by node.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliLink.h"
#include "cli/CliOptions.h"
#include "cli/CollectSheet.h"
#include "cli/CollectSummary.h"
#include "cli/Commands.h"
#include "jobs/ArchiveRange.h"
#include "jobs/ArchiveWalk.h"
#include "jobs/LinkSession.h"
#include "model/StationBase.h"
#include "model/StationLock.h"
#include "views/ArchiveExport.h"
#include "views/ArchiveFileName.h"

namespace virs::cli {
namespace {

const char* const CollectUsage =
    "Использование: virs-cli collect --dir ПАПКА [--nodes all|N[,M...]] "
    "[--what current,settings,archives] [--kind daily|hourly|monthly] "
    "[--since last|ГГГГ-ММ-ДД] [--to ГГГГ-ММ-ДД] [--parallel K] [--summary ФАЙЛ.json] "
    "[--now ГГГГ-ММ-ДДTЧЧ:ММ:СС] [--dial-timeout СЕК]\n";

std::string DayText(std::int64_t day) {
    const TDate d = DecodeDate(day);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.Year, d.Month, d.Day);
    return text;
}

struct TCollectOptions {
    std::filesystem::path Folder;
    std::vector<int> Nodes; // empty: all
    bool Current = true, Settings = true, Archives = true;
    TArchiveKind Kind = TArchiveKind::Daily;
    bool SinceLast = true;
    std::int64_t SinceDay = 0;
    std::int64_t ToDay = -1; // -1: the latest day the date dialog allows
    int Parallel = 1;
    int DialTimeout = DefaultDialTimeoutSeconds;
    std::string Summary;
    TClock Clock = SystemNow;
};

// What all the ports' threads share: the station written to base.dat, the
// summary and standard error.
class TCollectRun {
public:
    TCollectRun(const TCollectOptions& options, StationBase base, TStationFileGuard guard)
        : Options(options), Station(std::move(base)), Guard(std::move(guard)) {}

    void Progress(const std::string& line) {
        const std::lock_guard<std::mutex> lock(Mutex);
        std::fprintf(stderr, "%s\n", OneLine(line).c_str());
        std::fflush(stderr);
    }
    void Record(TCollectEntry entry) {
        const std::lock_guard<std::mutex> lock(Mutex);
        Entries.push_back(std::move(entry));
    }
    // The devices of `node` as `from` holds them go into the station, and
    // base.dat is written: nothing another port's nodes stored is touched.
    void Store(int node, const StationBase& from) {
        const std::lock_guard<std::mutex> lock(Mutex);
        Station.Devices[static_cast<std::size_t>(node)] =
            from.Devices[static_cast<std::size_t>(node)];
        const TSaveReport saved = SaveStationBase(Station, Guard, Options.Folder);
        if (!saved.Ok || !saved.Message.empty())
            std::fprintf(stderr, "virs-cli: %s\n", saved.Message.c_str());
        if (!saved.Ok)
            SaveFailed = true;
    }
    StationBase Snapshot() {
        const std::lock_guard<std::mutex> lock(Mutex);
        return Station;
    }

    const TCollectOptions& Options;
    std::vector<TCollectEntry> Entries;
    bool SaveFailed = false;

private:
    std::mutex Mutex;
    StationBase Station;
    TStationFileGuard Guard;
};

class TCollectConnectionUi final : public TConnectionUi {
public:
    TCollectConnectionUi(TCollectRun& run, std::string prefix, int dialTimeout)
        : Run(run), Prefix(std::move(prefix)), Dial(dialTimeout) {}
    void SetStatus(const std::string& text) override {
        Dial.Status(text);
        if (!text.empty())
            Run.Progress(Prefix + text);
    }
    void ShowMessage(TMessageIcon, const std::string& text) override {
        Message = text;
        Run.Progress(Prefix + "[" + ConnectionCaption + "] " + text);
    }
    // Ctrl+C releases the connect button: the search or the call is
    // cancelled; so does a call the modem has not answered in --dial-timeout.
    bool ButtonDown() override { return !TStopSignals::Pressed() && !Dial.Expired(); }
    std::string Message;
    TDialClock Dial;

private:
    TCollectRun& Run;
    std::string Prefix;
};

// Panel 2 as progress lines; the range dialog answers with the run's dates.
class TCollectJobUi final : public TJobUi {
public:
    TCollectJobUi(TCollectRun& run) : Run(run) {}
    // Only the status text shows; buttons, pictures and lamps have no place here.
    void Apply(const TJobControls& change) override {
        if (!change.Status)
            return;
        const std::string& text = *change.Status;
        Status = text;
        if (text.rfind(ArchiveProgressPrefix, 0) == 0) {
            if (text == LastProgress)
                return; // one line per percent
            LastProgress = text;
        }
        Run.Progress(Prefix + text);
    }
    bool CyclicDown() const override { return false; }
    bool RunArchiveDialog(TArchiveRangeDialog& dialog) override {
        dialog.FirstDay = FirstDay;
        dialog.LastDay = LastDay;
        dialog.Integrators = false;
        return true;
    }
    void Render() override {}

    std::string Prefix, Status, LastProgress;
    std::int64_t FirstDay = 0, LastDay = 0;

private:
    TCollectRun& Run;
};

// How many days (months for the monthly archive) back each type keeps an
// archive: the first day a range may usefully start when the sheet is empty.
int KeptDepth(TDeviceType type, TArchiveKind kind) {
    switch (type) {
    case DeviceVirsSh:
        return kind == TArchiveKind::Hourly ? 280 : 1461;
    case DeviceVirsD2:
        return kind == TArchiveKind::Hourly ? 64 : 512;
    default: // ВИРС-Д, ВИРС-ДК
        return kind == TArchiveKind::Hourly ? 62 : kind == TArchiveKind::Monthly ? 60 : 730;
    }
}

std::int64_t AddMonths(std::int64_t day, int months) {
    const TDate d = DecodeDate(FirstOfMonth(day));
    int index = d.Year * 12 + (d.Month - 1) + months;
    return EncodeDate(index / 12, index % 12 + 1, 1);
}

struct TRange {
    std::int64_t First = 0, Last = 0;
    bool Empty = false;
};

// The range of the run for one device: from --since (or the day after the last
// row), up to --to or the dialog's latest day, cut to what one sheet holds.
TRange RangeFor(const TCollectOptions& o, const std::filesystem::path& folder,
                const TDevice& device, std::int64_t today) {
    TArchiveRangeDialog rules;
    PrepareArchiveDialog(rules, device.DeviceType, o.Kind, today);
    TRange r;
    r.Last = o.ToDay >= 0 ? std::min(o.ToDay, rules.MaxDay) : rules.MaxDay;
    const bool monthly = o.Kind == TArchiveKind::Monthly;
    const int depth = KeptDepth(device.DeviceType, o.Kind);
    const std::int64_t oldest = monthly ? AddMonths(r.Last, -(depth - 1)) : r.Last - depth + 1;
    if (o.SinceLast) {
        std::int64_t madeDay = -1;
        const TDateTime moment = LastRowMoment(folder, device, o.Kind, madeDay);
        const std::int64_t last = moment < 0 ? -1 : DayOf(moment);
        // An hourly sheet whose last row lies on (or after) the day it was made
        // was read up to the hour of that run: the run goes on with that day,
        // so its later hours are not lost.
        const bool dayOpen = o.Kind == TArchiveKind::Hourly && last >= 0 && last >= madeDay;
        r.First = last < 0 ? oldest : monthly ? AddMonths(last, 1) : dayOpen ? last : last + 1;
        r.First = std::max(r.First, oldest);
    } else {
        r.First = o.SinceDay;
    }
    // One sheet: the head rows, the data rows and a totals row.
    const std::int64_t perDay = o.Kind == TArchiveKind::Hourly ? 24 : 1;
    const std::int64_t room =
        (static_cast<std::int64_t>(MaxRowsExcel5) - ArchiveFirstDataRow(device.DeviceType) - 2) /
        perDay;
    if (!monthly && r.Last - r.First + 1 > room)
        r.First = r.Last - room + 1;
    r.Empty = r.First > r.Last;
    return r;
}

std::string NodeLogName(int node) {
    return "ModBus_protocol_node" + std::to_string(node) + ".txt";
}

void AppendFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in)
        return;
    std::ofstream out(to, std::ios::binary | std::ios::app);
    out << in.rdbuf();
}

// One node: connect, every device, hang up. Runs on the port's own thread,
// which is the main thread of this node's link session.
void CollectNode(TCollectRun& run, TProgramState& state, int node) {
    const TCollectOptions& o = run.Options;
    StationBase& base = state.Base;
    const std::string nodeName = base.Nodes[static_cast<std::size_t>(node)].NameSlot.Value.Get();
    const std::string prefix = "узел " + std::to_string(node) + " «" + nodeName + "»: ";
    auto entry = [&](int device, const std::string& what) {
        TCollectEntry e;
        e.Node = node;
        e.NodeName = nodeName;
        e.Device = device;
        if (device >= 0)
            e.DeviceName =
                base.Devices[static_cast<std::size_t>(node)][static_cast<std::size_t>(device)]
                    .NameSlot.Value.Get();
        e.What = what;
        return e;
    };
    const auto nodeStart = std::chrono::steady_clock::now();
    auto secondsSince = [](std::chrono::steady_clock::time_point t) {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
    };
    if (TStopSignals::Pressed()) {
        TCollectEntry e = entry(-1, "соединение");
        e.Outcome = UserStopText;
        run.Record(e);
        return;
    }

    TCollectConnectionUi connectionUi(run, prefix, o.DialTimeout);
    TCollectJobUi jobUi(run);
    TMainThreadQueue mainThread;
    TLinkSession session(state, mainThread, jobUi, o.Folder, o.Clock);
    // Each job's log is added to the node's own log; ModBus_protocol.txt stays the window's.
    const std::filesystem::path nodeLog = o.Folder / NodeLogName(node);
    const std::filesystem::path jobLog = o.Folder / (NodeLogName(node) + ".job");
    session.Job().LogPath = jobLog;
    std::ofstream(nodeLog, std::ios::binary | std::ios::trunc).close();

    run.Progress(prefix + "соединение...");
    base.SelNode = static_cast<u8>(node);
    base.SelDevice = 255;
    const TConnectOutcome connected = session.Connect(node, connectionUi);
    if (!connected.Connected) {
        TCollectEntry e = entry(-1, "соединение");
        e.Outcome = OneLine(!connectionUi.Message.empty() ? connectionUi.Message
                            : connectionUi.Dial.TimedOut()
                                ? DialTimedOutText(connected.Status, connectionUi.Dial.Seconds())
                                : connected.Status);
        e.Seconds = secondsSince(nodeStart);
        run.Record(e);
        return;
    }
    connectionUi.SetStatus(connected.Status);

    const int devices = base.DeviceCount(node);
    for (int d = 0; d < devices && !TStopSignals::Pressed(); ++d) {
        TDevice& device = base.Devices[static_cast<std::size_t>(node)][static_cast<std::size_t>(d)];
        const TDeviceType type = device.DeviceType;
        if (type < DeviceVirsSh || type > DeviceVirsD2)
            continue;
        base.SelDevice = static_cast<u8>(d);
        std::vector<std::pair<std::string, int>> jobs;
        if (o.Current)
            jobs.emplace_back("текущие", 0);
        if (o.Settings && type != DeviceVirsSh)
            jobs.emplace_back("параметры", type == DeviceVirsD2 ? 3 : 4);
        const int archiveTab = o.Kind == TArchiveKind::Daily    ? 1
                               : o.Kind == TArchiveKind::Hourly ? 2
                                                                : 3;
        if (o.Archives && ArchiveKindOf(type, static_cast<u8>(archiveTab)) == o.Kind)
            jobs.emplace_back("архив", archiveTab);

        for (const auto& [what, tab] : jobs) {
            if (TStopSignals::Pressed())
                break;
            TCollectEntry e = entry(d, what);
            const auto start = std::chrono::steady_clock::now();
            jobUi.Prefix =
                prefix + "прибор " + std::to_string(d) + " «" + e.DeviceName + "», " + what + ": ";
            jobUi.Status.clear();
            jobUi.LastProgress.clear();

            const bool archive = tab == archiveTab && what == "архив";
            TWorkbook xls;
            TWorkbookArchiveSink sink(xls, o.Folder, RussianViewLocale());
            TArchiveWalk walk(sink);
            if (archive) {
                const TRange range = RangeFor(o, o.Folder, device, DayOf(o.Clock()));
                if (range.Empty) {
                    e.Ok = true;
                    e.Outcome = "новых дней нет";
                    run.Progress(jobUi.Prefix + e.Outcome);
                    run.Record(e);
                    continue;
                }
                jobUi.FirstDay = range.First;
                jobUi.LastDay = range.Last;
                run.Progress(jobUi.Prefix + "с " + DayText(range.First) + " по " +
                             DayText(range.Last));
                walk.ShowError = [&](const std::string& text) {
                    run.Progress(jobUi.Prefix + "[Ошибка] " + text);
                };
                session.Archive = &walk;
                session.Job().ArchiveCheck = [&walk](TJobContext& job) { return walk.Check(job); };
            }

            StartStopClick(session.Job(), true, tab);
            bool stopSent = false;
            while (state.JobRunning) {
                mainThread.RunUntil([&] { return !state.JobRunning || TStopSignals::Pressed(); },
                                    std::chrono::milliseconds(100));
                if (TStopSignals::Pressed() && !stopSent && state.JobRunning) {
                    StartStopClick(session.Job(), false, tab);
                    stopSent = true;
                }
            }
            e.Ok = state.Exchange.ResultCode == ResultSuccess &&
                   jobUi.Status == ExchangeResultMessage(ResultSuccess);
            e.Outcome = OneLine(jobUi.Status);
            if (archive) {
                e.Rows = SheetRows(xls, type, o.Kind);
                session.Archive = nullptr;
                session.Job().ArchiveCheck = {};
            }
            e.Seconds = secondsSince(start);
            if (e.Outcome.rfind(ArchiveProgressPrefix, 0) == 0 || e.Outcome.empty())
                e.Outcome = e.Ok ? ExchangeResultMessage(ResultSuccess) : "не завершено";
            run.Progress(jobUi.Prefix + "итог: " + e.Outcome);
            run.Record(e);
            AppendFile(jobLog, nodeLog);
        }
    }

    const TDisconnectOutcome closed =
        session.Disconnect(connectionUi, [&] { mainThread.RunPending(); });
    connectionUi.SetStatus(closed.Status);
    if (!closed.Closed) {
        TCollectEntry e = entry(-1, "отключение");
        e.Outcome = OneLine(closed.Status);
        run.Record(e);
    }
    std::error_code ignored;
    std::filesystem::remove(jobLog, ignored);
    run.Store(node, base);
}

bool ParseNodes(const std::string& text, std::vector<int>& nodes) {
    if (text == "all") {
        nodes.clear();
        return true;
    }
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        int n = 0;
        if (!ParseNumber(item, 0, MaxNodes - 1, n))
            return false;
        nodes.push_back(n);
    }
    return !nodes.empty();
}

bool ParseWhat(const std::string& text, TCollectOptions& o) {
    o.Current = o.Settings = o.Archives = false;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        if (item == "current")
            o.Current = true;
        else if (item == "settings")
            o.Settings = true;
        else if (item == "archives")
            o.Archives = true;
        else
            return false;
    }
    return o.Current || o.Settings || o.Archives;
}

} // namespace

int CmdCollect(const Args& args) {
    TCollectOptions o;
    std::string dir, nowText, sinceText = "last", toText;
    const bool parsed = ParseOptionPairs(
        args, CollectUsage, [&](const std::string& name, const std::string& value) {
            if (name == "--dir" && !value.empty())
                dir = value;
            else if (name == "--nodes")
                return ParseNodes(value, o.Nodes);
            else if (name == "--what")
                return ParseWhat(value, o);
            else if (name == "--kind" && value == "daily")
                o.Kind = TArchiveKind::Daily;
            else if (name == "--kind" && value == "hourly")
                o.Kind = TArchiveKind::Hourly;
            else if (name == "--kind" && value == "monthly")
                o.Kind = TArchiveKind::Monthly;
            else if (name == "--since")
                sinceText = value;
            else if (name == "--to")
                toText = value;
            else if (name == "--parallel")
                return ParseNumber(value, 1, 64, o.Parallel);
            else if (name == "--dial-timeout")
                return ParseNumber(value, 1, MaxDialTimeoutSeconds, o.DialTimeout);
            else if (name == "--summary" && !value.empty())
                o.Summary = value;
            else if (name == "--now")
                nowText = value;
            else
                return false;
            return true;
        });
    if (!parsed)
        return 2;
    if (dir.empty()) {
        std::fprintf(stderr, "%s", CollectUsage);
        return 2;
    }
    o.Folder = dir;
    if (sinceText != "last") {
        o.SinceLast = false;
        if (!ParseDay(sinceText, o.SinceDay)) {
            std::fprintf(stderr, "virs-cli: --since: last или ГГГГ-ММ-ДД\n");
            return 2;
        }
    }
    if (!toText.empty() && !ParseDay(toText, o.ToDay)) {
        std::fprintf(stderr, "virs-cli: --to: дата в виде ГГГГ-ММ-ДД\n");
        return 2;
    }
    if (!nowText.empty()) {
        TDateTime now = 0;
        if (!ParseMoment(nowText, now)) {
            std::fprintf(stderr, "virs-cli: --now должно быть в виде ГГГГ-ММ-ДДTЧЧ:ММ:СС\n");
            return 2;
        }
        o.Clock = [now] { return now; };
    }
    if (!o.SinceLast && o.ToDay >= 0 && o.ToDay < o.SinceDay) {
        std::fprintf(stderr, "virs-cli: %s\n", ArchiveRangeRefusal);
        return 2;
    }

    std::error_code folderError;
    if (!std::filesystem::is_directory(o.Folder, folderError)) {
        std::fprintf(stderr, "virs-cli: папки %s нет\n", dir.c_str());
        return 2;
    }
    // One writer of the station at a time.
    TStationLock lock;
    const TStationLockResult locked = lock.Acquire(o.Folder);
    if (!locked.Acquired) {
        std::fprintf(stderr, "virs-cli: %s\n", locked.Message.c_str());
        return 1;
    }

    StationBase base;
    TStationFileGuard guard;
    const TLoadReport load = LoadStationBase(base, guard, o.Folder);
    if (load.Outcome != TLoadOutcome::Loaded) {
        std::fprintf(stderr, "virs-cli: %s/base.dat не прочитан%s%s\n", dir.c_str(),
                     load.Message.empty() ? "" : ": ", load.Message.c_str());
        return 2;
    }
    std::vector<int> nodes = o.Nodes;
    if (nodes.empty())
        for (int n = 0; n < base.NodeCount(); ++n)
            nodes.push_back(n);
    for (int n : nodes)
        if (n >= base.NodeCount()) {
            std::fprintf(stderr, "virs-cli: узла %d в базе нет\n", n);
            return 2;
        }

    // Nodes that share a port are read one after the other, in the order given.
    // So are nodes of the same name or with a workbook name in common: their
    // devices would otherwise choose archive file names at the same moment.
    std::vector<std::vector<int>> groups;
    std::map<std::string, std::size_t> groupOf; // "port:N", "name:…", "file:…"
    std::set<int> seen;
    for (int n : nodes) {
        if (!seen.insert(n).second)
            continue;
        const auto node = static_cast<std::size_t>(n);
        std::vector<std::string> keys = {"port:" + std::to_string(base.Nodes[node].ComPort),
                                         "name:" + base.Nodes[node].NameSlot.Value.Get()};
        for (const TDevice& device : base.Devices[node])
            if (!device.ArchiveFile.Get().empty())
                keys.push_back("file:" + device.ArchiveFile.Get());
        std::set<std::size_t> joined;
        for (const std::string& key : keys)
            if (const auto found = groupOf.find(key); found != groupOf.end())
                joined.insert(found->second);
        std::size_t g = joined.empty() ? groups.size() : *joined.begin();
        if (joined.empty())
            groups.emplace_back();
        for (auto other = joined.rbegin(); other != joined.rend() && *other != g; ++other) {
            // Two groups met through this node: the later one joins the first.
            groups[g].insert(groups[g].end(), groups[*other].begin(), groups[*other].end());
            groups[*other].clear();
            for (auto& [key, index] : groupOf)
                if (index == *other)
                    index = g;
        }
        groups[g].push_back(n);
        for (const std::string& key : keys)
            groupOf[key] = g;
    }
    std::erase_if(groups, [](const std::vector<int>& g) { return g.empty(); });

    TCollectRun run(o, base, std::move(guard));
    const TStopSignals stopSignals(true);
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t g = next++; g < groups.size(); g = next++) {
            auto state = std::make_unique<TProgramState>();
            state->Base = run.Snapshot();
            for (int n : groups[g])
                CollectNode(run, *state, n);
        }
    };
    const int threads = std::min<int>(o.Parallel, static_cast<int>(groups.size()));
    std::vector<std::thread> pool;
    for (int t = 0; t < std::max(threads, 1); ++t)
        pool.emplace_back(worker);
    for (std::thread& t : pool)
        t.join();

    // The table in the order of the nodes and devices, whatever ran first.
    std::vector<TCollectEntry> entries = run.Entries;
    std::stable_sort(entries.begin(), entries.end(),
                     [](const TCollectEntry& a, const TCollectEntry& b) {
                         return a.Node != b.Node ? a.Node < b.Node : a.Device < b.Device;
                     });
    bool allOk = !run.SaveFailed && !TStopSignals::Pressed();
    for (const TCollectEntry& e : entries)
        allOk = allOk && e.Ok;
    PrintSummary(entries);
    std::fflush(stdout);
    if (!o.Summary.empty() && !WriteSummary(o.Summary, entries, allOk)) {
        std::fprintf(stderr, "virs-cli: не удалось записать %s\n", o.Summary.c_str());
        allOk = false;
    }
    return allOk ? 0 : 1;
}

} // namespace virs::cli
