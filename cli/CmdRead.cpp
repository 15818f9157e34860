// read: reads one device of a station database over its node's link, as the
// main window does with the connect and start buttons: the same connection
// dialogue, StartJob and completion handler; the data image is stored into
// base.dat as the window stores it when it closes, and the rendered view is
// printed. The link is ended as the window's disconnect ends it (escape and
// hang-up on modem links), also after a failed or stopped job.
//
// Nobody sits at the connect and start buttons here: Ctrl+C or SIGTERM
// releases whichever is down (the call is abandoned with "ATH0", a running job
// is stopped, the link hung up and base.dat saved), and a call the modem never
// answers is abandoned after --dial-timeout seconds. Either way the exit
// status is 1.

#include <chrono>
#include <cstdio>
#include <filesystem>
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
#include "model/TextCodec.h"
#include "views/DeviceView.h"

namespace virs::cli {
namespace {

const char* const ReadUsage =
    "Использование: virs-cli read --dir ПАПКА --node N --device K --view current|settings "
    "[--port COMn|ПУТЬ] [--dial-timeout СЕК]\n"
    "  --dial-timeout СЕК  сколько ждать ответа модема на вызов (1..3600, по умолчанию 120)\n";

int Fail(const std::string& status) {
    std::fprintf(stderr, "%s\n", OneLine(status).c_str());
    return 1;
}

} // namespace

int CmdRead(const Args& args) {
    std::string dir, view, port;
    int node = -1, device = -1, dialTimeout = DefaultDialTimeoutSeconds;
    const bool parsed =
        ParseOptionPairs(args, ReadUsage, [&](const std::string& name, const std::string& value) {
            if (name == "--dir")
                dir = value;
            else if (name == "--node")
                return ParseNumber(value, 0, MaxNodes - 1, node);
            else if (name == "--device")
                return ParseNumber(value, 0, MaxDevicesPerNode - 1, device);
            else if (name == "--view" && (value == "current" || value == "settings"))
                view = value;
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
    if (dir.empty() || node < 0 || device < 0 || view.empty()) {
        std::fprintf(stderr, "%s", ReadUsage);
        return 2;
    }

    const std::filesystem::path folder(dir);
    TStationLock lock;
    TProgramState state;
    if (const int failed = OpenStationToWrite(dir, node, device, lock, state))
        return failed;
    StationBase& base = state.Base;
    const TDeviceType type = base.Devices[node][device].DeviceType;
    if (ViewTabCountOf(type) == 0)
        return Fail("virs-cli: прибор этого типа не опрашивается");
    int tab = CurrentValuesView;
    if (view == "settings") {
        const std::optional<TViewKind> settings = ViewOfJob(type, TJobKind::Settings);
        if (!settings)
            return Fail("virs-cli: у прибора ВИРС-Ш нет вида параметров");
        tab = *settings;
    }

    // --port overrides the node's port for this run only.
    TNode& record = base.Nodes[node];
    const u16 storedPort = record.ComPort;
    TCliConnectionUi connectionUi(dialTimeout);
    TMainThreadQueue mainThread;
    TLinkSession session(state, mainThread, folder);
    // The port that could not be opened and why, named as the user gave it.
    std::string openFailure;
    UsePortOption(port, record, session, openFailure);

    // From here on Ctrl+C and SIGTERM release the buttons instead of ending
    // the process with the line up.
    const TStopSignals stopSignals(true);
    if (!ConnectForRun(state, session, node, device, connectionUi, openFailure))
        return 1;

    // A stop that came while the link was being made: no job is started.
    if (!TStopSignals::Pressed())
        StartStopClick(session.Job(), true, tab);
    // The start button is released by a stop signal. A job that never ends
    // would be a fault of the exchange; the wait is bounded all the same, and
    // a stop asked for when it runs out.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(10);
    bool stopSent = false;
    while (state.JobRunning && std::chrono::steady_clock::now() < limit) {
        mainThread.RunUntil([&] { return !state.JobRunning || TStopSignals::Pressed(); },
                            std::chrono::milliseconds(100));
        if (TStopSignals::Pressed() && !stopSent && state.JobRunning) {
            StartStopClick(session.Job(), false, tab);
            stopSent = true;
        }
    }
    if (state.JobRunning) {
        StartStopClick(session.Job(), false, tab);
        mainThread.RunUntil([&] { return !state.JobRunning; }, std::chrono::minutes(1));
    }
    const std::optional<TJobEnd>& end = session.LastJobEnd();
    const std::string jobStatus = end && end->Controls.Status ? *end->Controls.Status : "";
    const bool succeeded = !state.JobRunning && end && end->Ran &&
                           end->ResultCode == ResultSuccess &&
                           jobStatus == ExchangeResultMessage(ResultSuccess);

    const TDisconnectOutcome closed =
        session.Disconnect(connectionUi, [&] { mainThread.RunPending(); });
    connectionUi.SetStatus(closed.Status);

    record.ComPort = storedPort;
    const TSaveReport saved = SaveStationBase(base, state.BaseFile, folder);
    if (!saved.Ok)
        std::fprintf(stderr, "virs-cli: %s\n", saved.Message.c_str());
    if (!succeeded)
        return Fail(jobStatus.empty() && TStopSignals::Pressed() ? UserStopText : jobStatus);

    const TDeviceViewText text =
        RenderDeviceView(tab, base.Devices[node][device], state.WorkArea, RussianViewLocale());
    for (const std::string& line : text.Lines)
        std::printf("%s\n", line.c_str());
    return std::fflush(stdout) == 0 && saved.Ok ? 0 : 1;
}

} // namespace virs::cli
