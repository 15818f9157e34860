// archive-bench: the two archive figures.
//  1. A ВИРС-Ш daily archive of 1 000 records against the simulator with line
//     pacing at 9600 bit/s, from the start button to the end of the job,
//     against the ideal time of the same exchanges (request and answer on the
//     wire, the simulator's turnaround and the 50 ms silence that ends every
//     read): ideal / measured.
//  2. A leap year of ВИРС-Д hourly rows (8 784): the export (cells and file
//     write) and the archive tab (workbook read and view render), and
//     LibreOffice and Gnumeric converting the same sheet (the one holding the
//     rows) to CSV, beside their time for an empty workbook (their start-up).
//
//   archive-bench [--runs N] [--records N] [--no-converters]

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "jobs/ArchiveWalk.h"
#include "jobs/LinkSession.h"
#include "tests/cli/SimHarness.h"
#include "views/ArchiveExport.h"
#include "views/ArchiveView.h"

using namespace virs;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int TurnaroundMs = 15; // the simulator's default
constexpr int IntervalMs = 50;   // the silence that ends a read

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// CPU time of this process, ms: on a shared, loaded machine the wall clock
// also counts other programs' turns.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

class TBenchUi final : public TJobUi {
public:
    void Apply(const TJobControls& change) override {
        if (change.Status)
            Status = *change.Status;
    }
    bool CyclicDown() const override { return false; }
    bool RunArchiveDialog(TArchiveRangeDialog& dialog) override {
        dialog.FirstDay = FirstDay;
        dialog.LastDay = LastDay;
        return true;
    }
    void Render() override {}
    std::string Status;
    std::int64_t FirstDay = 0, LastDay = 0;
};

class TQuietConnectionUi final : public TConnectionUi {
public:
    void SetStatus(const std::string&) override {}
    void ShowMessage(TMessageIcon, const std::string& text) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    bool ButtonDown() override { return true; }
};

int WalkFigure(int records) {
    test::TTempFolder folder;
    const std::filesystem::path ports = folder.Path / "ports";
    std::filesystem::create_directories(ports);
    setenv("VIRS_PORTS_DIR", ports.c_str(), 1);
    test::WriteText(folder.Path / "scenario.json",
                    R"({"seed": 1, "now": "2024-03-15T10:00:00", "pacing": true,
      "sites": [{"name": "A", "devices": [{"type": "ВИРС-Ш", "address": 1}]}],
      "lines": [{"com": 9, "kind": "direct", "site": "A"}]})");
    test::TSimProcess sim(folder.Path / "scenario.json");
    if (!sim.Ready) {
        std::fprintf(stderr, "virs-sim did not start:\n%s\n", sim.Banner.c_str());
        return 1;
    }
    TProgramState state;
    test::TTestNode node;
    node.ComPort = 9;
    node.BaudIndex = 3; // 9600
    node.Retries = 1;
    node.ReplyTimeoutMs = 1000;
    node.Devices = {{DeviceVirsSh, 1}};
    state.Base = test::MakeStation({node});
    const TDateTime now = EncodeDateTime(2024, 3, 15, 10);
    TBenchUi ui;
    ui.LastDay = DayOf(now) - 1;
    ui.FirstDay = ui.LastDay - (records - 1);
    TQuietConnectionUi connectionUi;
    TMainThreadQueue mainThread;
    TLinkSession session(state, mainThread, ui, folder.Path, [now] { return now; });
    TWorkbook xls;
    TWorkbookArchiveSink sink(xls, folder.Path, RussianViewLocale());
    TArchiveWalk walk(sink);
    session.Archive = &walk;
    session.Job().ArchiveCheck = [&walk](TJobContext& job) { return walk.Check(job); };
    if (!session.Connect(0, connectionUi).Connected) {
        std::fprintf(stderr, "no connection\n");
        return 1;
    }
    state.Base.SelNode = 0;
    state.Base.SelDevice = 0;
    const auto start = Clock::now();
    StartStopClick(session.Job(), true, 1);
    mainThread.RunUntil([&] { return !state.JobRunning; }, std::chrono::minutes(10));
    const double measured = Ms(Clock::now() - start);
    if (ui.Status != "Завершено успешно") {
        std::fprintf(stderr, "archive job: %s\n", ui.Status.c_str());
        return 1;
    }
    session.Disconnect(connectionUi, [&] { mainThread.RunPending(); });
    // One exchange per record: 8 bytes out, 5 registers back (15 bytes).
    const double byteMs = 10.0 * 1000.0 / 9600; // 8N1
    const double perExchange = 8 * byteMs + TurnaroundMs + 15 * byteMs + IntervalMs;
    const double ideal = perExchange * records;
    std::printf("ВИРС-Ш daily archive, %d records at 9600 bit/s with pacing\n", records);
    std::printf("  measured %10.1f ms   ideal %10.1f ms (%.2f ms per exchange)\n", measured, ideal,
                perExchange);
    std::printf("  ideal / measured: %.3f\n", ideal / measured);
    return 0;
}

// A leap year of ВИРС-Д hourly rows exported as the walk exports them.
void Export(TWorkbookArchiveSink& sink, TDevice& device) {
    TArchiveHead head;
    head.Type = DeviceVirsD;
    head.Kind = TArchiveKind::Hourly;
    head.FirstDay = EncodeDate(2024, 1, 1);
    head.LastDay = EncodeDate(2024, 12, 31);
    head.Now = EncodeDateTime(2025, 1, 1, 10);
    head.NodeName = "Котельная";
    head.DeviceName = "Ввод";
    head.NetAddress = 2;
    std::uint16_t row = sink.Open(device, head);
    const std::int64_t first = head.FirstDay * ArchiveMsPerDay;
    TDArchiveRow values;
    for (int i = 0; i < 8784; ++i) {
        for (int k = 0; k < 4; ++k) {
            values.Volumes[k] = 10.5 + 0.001 * ((i * 7 + k) % 1000);
            values.Times[k] = 1;
        }
        values.Absence = i % 50 ? 0 : 0.25;
        values.Events = i % 13 ? "             " : "X <          ";
        sink.AddDRow(row++, ArchiveDateOf(first + i * ArchiveMsPerHour), values);
    }
    sink.AddDTotals(row, values);
}

double TimeCommand(const std::string& command) {
    const auto t0 = Clock::now();
    if (std::system(command.c_str()) != 0)
        return -1;
    return Ms(Clock::now() - t0);
}

int WorkbookFigure(int runs, bool converters) {
    test::TTempFolder folder;
    std::vector<double> exportMs, viewMs, exportCpu, viewCpu;
    std::size_t lines = 0;
    std::filesystem::path file;
    for (int r = 0; r < runs; ++r) {
        std::filesystem::remove_all(folder.Path / "run");
        std::filesystem::create_directories(folder.Path / "run");
        TWorkbook xls;
        TWorkbookArchiveSink sink(xls, folder.Path / "run", RussianViewLocale());
        TDevice device = NewDeviceRecord();
        device.DeviceType = DeviceVirsD;
        const double c0 = CpuMs();
        const auto t0 = Clock::now();
        Export(sink, device);
        const std::string error = sink.Save();
        const auto t1 = Clock::now();
        const double c1 = CpuMs();
        if (!error.empty()) {
            std::fprintf(stderr, "export: %s\n", error.c_str());
            return 1;
        }
        TWorkbook view;
        TViewLines text;
        RenderArchiveView(view, folder.Path / "run", device, 2, RussianViewLocale(), text);
        const auto t2 = Clock::now();
        const double c2 = CpuMs();
        exportMs.push_back(Ms(t1 - t0));
        viewMs.push_back(Ms(t2 - t1));
        exportCpu.push_back(c1 - c0);
        viewCpu.push_back(c2 - c1);
        lines = text.size();
        file = folder.Path / "run" / device.ArchiveFile.Get();
    }
    std::filesystem::copy_file(file, folder.Path / "year.xls");
    std::printf("ВИРС-Д hourly archive of a leap year (8 784 rows), median of %d runs\n", runs);
    std::printf("  export (cells + write):       %8.1f ms wall, %8.1f ms CPU  (target <= 50 ms)\n",
                Median(exportMs), Median(exportCpu));
    std::printf("  tab (workbook read + render): %8.1f ms wall, %8.1f ms CPU  (target <= 100 ms), "
                "%zu lines\n",
                Median(viewMs), Median(viewCpu), lines);
    if (!converters)
        return 0;

    // An empty workbook gives each converter's start-up alone.
    TWorkbook empty;
    empty.SetFileName((folder.Path / "empty.xls").string());
    empty.PutText(SheetHours, 0, 0, "x", 0);
    if (!empty.Write().Ok)
        return 1;
    const std::string dir = folder.Path.string();
    const std::string profile = "file://" + dir + "/lo-profile";
    // Sheet 2 ("hours") is the one that holds the rows.
    auto lo = [&](const char* name) {
        return "soffice -env:UserInstallation=" + profile +
               " --headless --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,"
               "true,false,false,false,2' --outdir '" +
               dir + "/lo' '" + dir + "/" + name + "' >/dev/null 2>&1";
    };
    auto gnumeric = [&](const char* name) {
        return "ssconvert -O 'sheet=hours' '" + dir + "/" + name + "' '" + dir + "/gn-" +
               std::string(name) + ".csv' >/dev/null 2>&1";
    };
    TimeCommand(lo("empty.xls")); // LibreOffice creates its profile on the first start
    struct TConverter {
        const char* Name;
        std::function<std::string(const char*)> Command;
    } const tools[] = {{"LibreOffice", lo}, {"Gnumeric ssconvert", gnumeric}};
    for (const TConverter& t : tools) {
        std::vector<double> year, bare;
        for (int r = 0; r < std::min(runs, 3); ++r) {
            year.push_back(TimeCommand(t.Command("year.xls")));
            bare.push_back(TimeCommand(t.Command("empty.xls")));
        }
        const double y = Median(year), b = Median(bare);
        if (y < 0 || b < 0) {
            std::printf("  %s: not available\n", t.Name);
            continue;
        }
        std::printf("  %-20s hours sheet to CSV %8.1f ms, empty workbook %8.1f ms, "
                    "reading the rows %8.1f ms\n",
                    t.Name, y, b, y - b);
        std::printf("  %-20s / our tab: %.1f (whole run), %.1f (rows only)\n", t.Name,
                    y / Median(viewMs), (y - b) / Median(viewMs));
    }
    std::error_code ec;
    std::filesystem::remove_all(folder.Path / "lo-profile", ec);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 5, records = 1000;
    bool converters = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--records" && i + 1 < argc)
            records = std::clamp(std::atoi(argv[++i]), 1, 1461);
        else if (a == "--no-converters")
            converters = false;
        else {
            std::fprintf(stderr,
                         "usage: archive-bench [--runs N] [--records N] [--no-converters]\n");
            return 2;
        }
    }
    if (!std::getenv("VIRS_BINARY_DIR"))
        setenv("VIRS_BINARY_DIR", VIRS_BUILD_DIR, 1);
    if (WorkbookFigure(runs, converters) != 0)
        return 1;
    return WalkFigure(records);
}
