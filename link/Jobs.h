#pragma once
// Jobs: one request sequence for one device of the connected node. StartJob
// turns the device, the view tab and (for archives) the chosen dates into the
// first request of the exchange block and wakes the exchange thread; the
// completion handler does everything after the first exchange. The start/stop
// button, the cyclic-polling button and the polling timer are plain functions
// here over the program state and a narrow interface to the window.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "acquisition/ProgramState.h"
#include "link/ArchiveRange.h"
#include "link/ProtocolLog.h"
#include "model/DateTime.h"

namespace virs {

class ExchangeWorker;

// Picture indices of the main window's image list used by jobs.
inline constexpr int StartButtonIdleImage = 21;
inline constexpr int StartButtonBusyImage = 22;
int DeviceBusyImage(TDeviceType type); // 12 ВИРС-Ш, 10 ВИРС-Д/ДК, 14 ВИРС-Д2; -1 otherwise
int DeviceIdleImage(TDeviceType type); // 11, 9, 13; -1 otherwise

inline constexpr const char* RequestText = "Запрос...";
inline constexpr const char* CyclicRequestText = "Повторяющиеся запросы...";
inline constexpr const char* UserStopText = "Прервано пользователем";
// Shown instead of a result when the protocol log cannot be created.
inline constexpr const char* LogCreateFailedText = "Не удалось создать файл ModBus_protocol.txt";

// What jobs need of the window (or of the command-line companion, or a test).
// Called on the main thread only.
class TJobUi {
public:
    virtual ~TJobUi() = default;
    virtual void SetStatus(const std::string& text) = 0; // status bar panel 2
    // Image and selected image of a device's tree item.
    virtual void SetDeviceImage(int node, int device, int image) = 0;
    // ToolButton16 ("старт/стоп"): pressed state and picture; enabled state.
    virtual void SetStartButton(bool down, int image) = 0;
    virtual void SetStartEnabled(bool enabled) = 0;
    // ToolButton13 ("циклический опрос").
    virtual bool CyclicDown() const = 0;
    virtual void SetCyclicEnabled(bool enabled) = 0;
    // Timer2 and the activity lamps: on while a job runs; off returns both
    // lamps to rest.
    virtual void SetLampTimer(bool on) = 0;
    // Timer3, the clock of cyclic polling.
    virtual void SetCyclicTimer(bool on, int intervalMs) = 0;
    // Shows TForm7 prepared as `dialog` says; the window writes the chosen
    // dates and value mode back. True when closed with OK.
    virtual bool RunArchiveDialog(TArchiveRangeDialog& dialog) = 0;
    // Redraws the text pane (RenderDeviceView of the window's current tab).
    virtual void Render() = 0;
    // Lets the window paint the status text before a blocking step.
    virtual void ProcessMessages() {}
};

// Everything a job touches beside the program state.
struct TJobContext {
    TProgramState& State;
    TJobUi& Ui;
    TProtocolLog& Log;
    std::filesystem::path LogPath;    // ModBus_protocol.txt in the program's folder
    ExchangeWorker* Worker = nullptr; // the connected node's exchange thread
    TClock Now = SystemNow;
    // Asked before the first request of an archive job, with the range in the
    // job fields: "" lets the job start, any other text refuses it (shown as
    // the status text).
    std::function<std::string(TJobContext&)> ArchiveCheck;
};

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

// The enabled state of ToolButton13 after a job has ended: with polling on,
// only for the job's own device while it is selected; otherwise for any device
// of the connected node whose type is not 0.
bool CyclicEnabledAfterJob(const TProgramState& state, bool cyclicDown);

} // namespace virs
