#pragma once
// Jobs: one request sequence for one device of the connected node. StartJob
// turns the device, the view tab and (for archives) the chosen dates into the
// first request of the exchange block and wakes the exchange thread; the
// completion handler does everything after the first exchange. The start/stop
// button, the cyclic-polling button and the polling timer are plain functions
// here over the program state; what they change on the window goes out as one
// TJobControls value at a time.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "jobs/ArchiveRange.h"
#include "jobs/JobControls.h"
#include "jobs/ProgramState.h"
#include "link/ProtocolLog.h"
#include "model/DateTime.h"

namespace virs {

class ExchangeWorker;

inline constexpr const char* RequestText = "Запрос...";
inline constexpr const char* CyclicRequestText = "Повторяющиеся запросы...";
inline constexpr const char* UserStopText = "Прервано пользователем";
// Shown instead of a result when the protocol log cannot be created.
inline constexpr const char* LogCreateFailedText = "Не удалось создать файл ModBus_protocol.txt";

// What jobs need of the window (or of a test). Called on the main thread only.
class TJobUi {
public:
    virtual ~TJobUi() = default;
    // Applies a change of the job controls (buttons, tree picture, lamps,
    // polling timer, status text): the one place a job reaches the window.
    virtual void Apply(const TJobControls& change) = 0;
    // ToolButton13 ("циклический опрос") pressed.
    virtual bool CyclicDown() const = 0;
    // Shows TForm7 prepared as `dialog` says; the window writes the chosen
    // dates and value mode back. True when closed with OK.
    virtual bool RunArchiveDialog(TArchiveRangeDialog& dialog) = 0;
    // Redraws the text pane (RenderDeviceView of the window's current tab).
    virtual void Render() = 0;
    // Lets the window paint the status text before a blocking step.
    virtual void ProcessMessages() {}
};

// Everything a job touches beside the program state.
// Ui is null for a job run without a window (virs-cli): then nothing is shown,
// polling is off, an archive dialog counts as cancelled, and LastEnd tells how
// the job ended.
struct TJobContext {
    TProgramState& State;
    TJobUi* Ui;
    TProtocolLog& Log;
    std::filesystem::path LogPath;    // ModBus_protocol.txt in the program's folder
    ExchangeWorker* Worker = nullptr; // the connected node's exchange thread
    TClock Now = SystemNow;
    // Asked before the first request of an archive job, with the range in the
    // job fields: "" lets the job start, any other text refuses it (shown as
    // the status text).
    std::function<std::string(TJobContext&)> ArchiveCheck;
    // How the last job ended (or why the last start began no job).
    std::optional<TJobEnd> LastEnd;
};

// The job's ways to the window; nothing happens without one.
void ApplyControls(TJobContext& job, const TJobControls& change);
void ShowStatus(TJobContext& job, const std::string& text); // status bar panel 2
void RenderView(TJobContext& job);
bool CyclicDown(const TJobContext& job);

// The first request of a job, as StartJob fills the exchange block.
// Address of the ВИРС-Ш daily record of a device day (days since 2000-01-01).
// The daily area holds 1461 records at 1000..2460: day slot s = day mod 1461 is
// at 1001 + s, and the last slot, 1460, at 1000, so that the area stays clear of
// the hourly one that begins at 2461 and walking down from 1001 wraps through
// 1000 to 2460.
std::uint16_t ShDailyAddress(std::int64_t deviceDay);

struct TFirstRequest {
    bool Valid = false;
    std::uint8_t FunctionCode = FunctionReadRegisters;
    std::uint16_t StartRegister = 0;
    std::uint16_t RegisterCount = 0;
    // Byte offset of the data in the job buffer (function 3); unused for 67.
    std::uint8_t* Data = nullptr;
};
// The first request of view `view` of a device of `type`, with the archive
// range already in the job fields; `buffer` is where the data go.
TFirstRequest FirstRequest(TDeviceType type, std::uint8_t view, const TArchiveJobRange& range,
                           DeviceWorkArea& buffer);

enum class TStartOutcome {
    Started,
    NotReadable, // the device type is not read (0, 1, 2 or unknown)
    Cancelled,   // the archive dialog was not closed with OK
    LogFailed,   // the protocol log could not be created
    NoLink,      // no exchange thread (no node connected)
    Busy,        // the previous job has not ended yet
    Refused,     // the archive check refused the range or the file
};

// Starts the job described by JobNode, JobDevice and JobView. Only while the
// exchange thread is parked.
TStartOutcome StartJob(TJobContext& job);

// ToolButton16Click: pressed starts one job for the selected view, released
// asks the running job to stop.
void StartStopClick(TJobContext& job, bool down, int tabIndex);
// ToolButton13Click: pressed starts cyclic polling of the selected device's
// current values, released ends it.
void CyclicClick(TJobContext& job, bool down);
// Timer3Timer: one cyclic tick. While the previous job still runs the tick
// starts nothing (a job of a slow line must not be overtaken by the next).
// Returns true when a job was started.
bool CyclicTick(TJobContext& job);
// The interval of Timer3 for cyclic polling of `node`.
int CyclicInterval(const TNode& node);

} // namespace virs
