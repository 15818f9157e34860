// archive: reads one archive of one device over its node's link, as the main
// window does with the archive tab, the start button and the range dialog: the
// same connection dialogue, StartJob, completion handler and archive walk. The
// workbook is written in DIR, its name stored in DIR/base.dat, and the archive
// view of the saved workbook printed. Ctrl+C is the stop button.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "cli/CliLink.h"
#include "cli/CliOptions.h"
#include "cli/CliStation.h"
#include "cli/Commands.h"
#include "jobs/ArchiveWalk.h"
#include "jobs/LinkSession.h"
#include "model/StationBase.h"
#include "model/StationLock.h"
#include "views/ArchiveExport.h"
#include "views/ArchiveView.h"

namespace virs::cli {
namespace {

const char* const ArchiveUsage =
    "Использование: virs-cli archive --dir ПАПКА --node N --device K "
    "--kind daily|hourly|monthly --from ГГГГ-ММ-ДД --to ГГГГ-ММ-ДД "
    "[--mode averages|integrators] [--port COMn|ПУТЬ] [--now ГГГГ-ММ-ДДTЧЧ:ММ:СС] "
    "[--dial-timeout СЕК]\n";

// Panel 2 as lines on stderr; the range dialog answers with the dates given.
class TCliArchiveUi final : public TJobUi {
public:
    // Only the status text shows; buttons, pictures and lamps have no place here.
    void Apply(const TJobControls& change) override {
        if (!change.Status)
            return;
        Status = *change.Status;
        std::fprintf(stderr, "%s\n", OneLine(Status).c_str());
    }
    bool CyclicDown() const override { return false; }
    bool RunArchiveDialog(TArchiveRangeDialog& dialog) override {
        dialog.FirstDay = FirstDay;
        dialog.LastDay = LastDay;
        dialog.Integrators = Integrators;
        return true;
    }
    // The window redraws the archive tab, which says "Читаю архив..." meanwhile.
    void Render() override {
        if (OnRender)
            OnRender();
    }
    std::function<void()> OnRender;
    std::string Status;
    std::int64_t FirstDay = 0, LastDay = 0;
    bool Integrators = false;
};

std::string DayText(std::int64_t day) {
    const TDate d = DecodeDate(day);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.Year, d.Month, d.Day);
    return text;
}

} // namespace

int CmdArchive(const Args& args) {
    std::string dir, kindText, mode = "averages", port, fromText, toText, nowText;
    int node = -1, device = -1, dialTimeout = DefaultDialTimeoutSeconds;
    const bool parsed = ParseOptionPairs(
        args, ArchiveUsage, [&](const std::string& name, const std::string& value) {
            if (name == "--dir")
                dir = value;
            else if (name == "--node")
                return ParseNumber(value, 0, MaxNodes - 1, node);
            else if (name == "--device")
                return ParseNumber(value, 0, MaxDevicesPerNode - 1, device);
            else if (name == "--kind" &&
                     (value == "daily" || value == "hourly" || value == "monthly"))
                kindText = value;
            else if (name == "--mode" && (value == "averages" || value == "integrators"))
                mode = value;
            else if (name == "--from")
                fromText = value;
            else if (name == "--to")
                toText = value;
            else if (name == "--now")
                nowText = value;
            else if (name == "--port" && !value.empty())
                port = value;
            else if (name == "--dial-timeout")
                return ParseNumber(value, 1, MaxDialTimeoutSeconds, dialTimeout);
            else
                return false;
            return true;
        });
    if (!parsed)
        return 2;
    if (dir.empty() || node < 0 || device < 0 || kindText.empty() || fromText.empty() ||
        toText.empty()) {
        std::fprintf(stderr, "%s", ArchiveUsage);
        return 2;
    }
    std::int64_t firstDay = 0, lastDay = 0;
    if (!ParseDay(fromText, firstDay) || !ParseDay(toText, lastDay)) {
        std::fprintf(stderr, "virs-cli: дата должна быть в виде ГГГГ-ММ-ДД\n");
        return 2;
    }
    TDateTime now = 0;
    if (!nowText.empty() && !ParseMoment(nowText, now)) {
        std::fprintf(stderr, "virs-cli: --now должно быть в виде ГГГГ-ММ-ДДTЧЧ:ММ:СС\n");
        return 2;
    }
    const bool fixedNow = !nowText.empty();
    TClock clock = fixedNow ? TClock([now] { return now; }) : TClock(SystemNow);

    const std::filesystem::path folder(dir);
    TStationLock lock;
    TProgramState state;
    if (const int failed = OpenStationToWrite(dir, node, device, lock, state))
        return failed;
    StationBase& base = state.Base;
    const TDeviceType type = base.Devices[node][device].DeviceType;
    const int tab = kindText == "daily" ? 1 : kindText == "hourly" ? 2 : 3;
    const TArchiveKind kind = ArchiveKindOf(type, static_cast<u8>(tab));
    if (kind == TArchiveKind::None) {
        std::fprintf(stderr, "virs-cli: у прибора этого типа нет такого архива\n");
        return 2;
    }

    // The range dialog's rules: the latest selectable date, and the end not
    // before the start.
    TArchiveRangeDialog rules;
    PrepareArchiveDialog(rules, type, kind, DayOf(clock()));
    if (firstDay > rules.MaxDay || lastDay > rules.MaxDay) {
        std::fprintf(stderr, "virs-cli: диалог не позволяет выбрать дату после %s\n",
                     DayText(rules.MaxDay).c_str());
        return 2;
    }
    if (!ArchiveRangeAcceptable(firstDay, lastDay)) {
        std::fprintf(stderr, "virs-cli: %s\n", ArchiveRangeRefusal);
        return 2;
    }

    TNode& record = base.Nodes[node];
    const u16 storedPort = record.ComPort;
    TCliConnectionUi connectionUi(dialTimeout);
    TCliArchiveUi jobUi;
    jobUi.FirstDay = firstDay;
    jobUi.LastDay = lastDay;
    jobUi.Integrators = mode == "integrators";
    TMainThreadQueue mainThread;
    TLinkSession session(state, mainThread, jobUi, folder, clock);
    // The port that could not be opened and why, named as the user gave it.
    std::string openFailure;
    UsePortOption(port, record, session, openFailure);

    // The archive walk and its workbook, attached as the window attaches them.
    TWorkbook xls;
    TWorkbookArchiveSink sink(xls, folder, RussianViewLocale());
    TArchiveWalk walk(sink);
    walk.ShowError = [](const std::string& text) {
        std::fprintf(stderr, "[Ошибка] %s\n", OneLine(text).c_str());
    };
    session.Archive = &walk;
    session.Job().ArchiveCheck = [&walk](TJobContext& job) { return walk.Check(job); };
    TWorkbook viewBook; // the tab reads its own copy: a failed write keeps its rows
    jobUi.OnRender = [&] {
        TViewLines ignored;
        RenderArchiveView(viewBook, folder, base.Devices[node][device], tab, RussianViewLocale(),
                          ignored, [&](const std::string& text) {
                              TJobControls status;
                              status.Status = text;
                              jobUi.Apply(status);
                          });
    };

    const TStopSignals stopSignals;
    if (!ConnectForRun(state, session, node, device, connectionUi, openFailure))
        return 1;

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
    const bool succeeded = state.Exchange.ResultCode == ResultSuccess &&
                           jobUi.Status == ExchangeResultMessage(ResultSuccess);

    const TDisconnectOutcome closed =
        session.Disconnect(connectionUi, [&] { mainThread.RunPending(); });
    connectionUi.SetStatus(closed.Status);

    record.ComPort = storedPort;
    const TSaveReport saved = SaveStationBase(base, state.BaseFile, folder);
    if (!saved.Ok)
        std::fprintf(stderr, "virs-cli: %s\n", saved.Message.c_str());

    // The view of the saved workbook, as render --view prints it.
    TViewLines lines;
    RenderArchiveView(viewBook, folder, base.Devices[node][device], tab, RussianViewLocale(),
                      lines);
    for (const std::string& line : lines)
        std::printf("%s\n", line.c_str());
    const bool printed = std::fflush(stdout) == 0;
    return succeeded && saved.Ok && printed ? 0 : 1;
}

} // namespace virs::cli
