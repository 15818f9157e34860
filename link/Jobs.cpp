#include "link/Jobs.h"

#include <algorithm>

#include "link/ExchangeWorker.h"

namespace virs {

namespace {

constexpr std::int64_t MsPerHour = 3'600'000;

TDevice* JobDeviceRecord(TProgramState& state) {
    StationBase& base = state.Base;
    if (state.JobNode >= base.NodeCount() || state.JobDevice >= base.DeviceCount(state.JobNode))
        return nullptr;
    return &base.Devices[state.JobNode][state.JobDevice];
}

// The buttons after a job that did not start: as at the end of a job.
void RestoreAfterNoJob(TJobContext& job, const std::string& status) {
    TProgramState& s = job.State;
    job.Ui.SetStartButton(false, StartButtonIdleImage);
    const bool cyclicDown = job.Ui.CyclicDown();
    const bool cyclicEnabled = CyclicEnabledAfterJob(s, cyclicDown);
    job.Ui.SetCyclicEnabled(cyclicEnabled);
    job.Ui.SetStartEnabled(cyclicEnabled && !cyclicDown);
    job.Ui.SetStatus(status);
    if (job.Log.IsOpen())
        job.Log.Close();
}

} // namespace

int DeviceBusyImage(TDeviceType type) {
    switch (type) {
    case DeviceVirsSh:
        return 12;
    case DeviceVirsD:
    case DeviceVirsDK:
        return 10;
    case DeviceVirsD2:
        return 14;
    default:
        return -1;
    }
}

int DeviceIdleImage(TDeviceType type) {
    switch (type) {
    case DeviceVirsSh:
        return 11;
    case DeviceVirsD:
    case DeviceVirsDK:
        return 9;
    case DeviceVirsD2:
        return 13;
    default:
        return -1;
    }
}

std::uint16_t ShDailyAddress(std::int64_t deviceDay) {
    const std::int64_t slot = ((deviceDay % 1461) + 1461) % 1461;
    return static_cast<std::uint16_t>(slot == 1460 ? 1000 : 1001 + slot);
}

TFirstRequest FirstRequest(TDeviceType type, std::uint8_t view, const TArchiveJobRange& range,
                           DeviceWorkArea& buffer) {
    TFirstRequest r;
    auto read = [&](std::uint16_t start, std::uint16_t count, std::uint8_t* data) {
        r.Valid = true;
        r.FunctionCode = FunctionReadRegisters;
        r.StartRegister = start;
        r.RegisterCount = count;
        r.Data = data;
    };
    auto header = [&](std::uint16_t index) {
        r.Valid = true;
        r.FunctionCode = FunctionReadRecordHeader;
        r.StartRegister = index;
        r.RegisterCount = 1;
        r.Data = nullptr;
    };
    const TArchiveKind kind = ArchiveKindOf(type, view);
    // Day numbers counted from the devices' day 0 (2000-01-01); `mod` of a
    // signed 64-bit division, the start register keeping the low 16 bits.
    const std::int64_t endDays = range.EndDay - DeviceEpochDay;
    const std::int64_t startDays = range.StartDay - DeviceEpochDay;
    switch (type) {
    case DeviceVirsSh:
        if (view == 0) {
            read(0, 22, buffer.ShCurrentBlock.Bytes);
        } else if (kind == TArchiveKind::Daily) {
            read(ShDailyAddress(endDays), 5, buffer.ShArchiveRecord.Bytes);
        } else if (kind == TArchiveKind::Hourly) {
            // The hour of the end, taken from the exact milliseconds of the day.
            const std::int64_t hour = range.EndMs / MsPerHour;
            read(static_cast<std::uint16_t>(endDays % 280 * 24 + hour + 2461), 5,
                 buffer.ShArchiveRecord.Bytes);
        }
        break;
    case DeviceVirsD:
    case DeviceVirsDK:
        if (view == 0)
            read(0, 64, buffer.DCurrentBlock.Bytes);
        else if (kind != TArchiveKind::None)
            read(56, 8, buffer.DCurrentBlock.Bytes + TDCurrentBlock::ScaleCodes);
        else if (view == 4)
            read(400, 340, buffer.DSettingsBlock.Bytes);
        break;
    case DeviceVirsD2:
        if (view == 0) {
            read(64, 93, buffer.D2CurrentBlock().data());
        } else if (kind == TArchiveKind::Daily) {
            header(static_cast<std::uint16_t>(static_cast<std::uint16_t>(startDays) & 511));
        } else if (kind == TArchiveKind::Hourly) {
            header(static_cast<std::uint16_t>((static_cast<std::uint16_t>(startDays) & 63) * 24 +
                                              512));
        } else if (view == 3) {
            read(156, 130, buffer.D2SettingsBlock().data());
        }
        break;
    default:
        break;
    }
    return r;
}

TStartOutcome StartJob(TJobContext& job) {
    TProgramState& s = job.State;
    if (job.Worker == nullptr) {
        RestoreAfterNoJob(job, "");
        return TStartOutcome::NoLink;
    }
    if (s.JobRunning || !job.Worker->IsParked())
        return TStartOutcome::Busy;

    // The log holds the frames of this job only.
    if (job.Log.IsOpen())
        job.Log.Close();
    if (!job.Log.Create(job.LogPath)) {
        RestoreAfterNoJob(job, LogCreateFailedText);
        return TStartOutcome::LogFailed;
    }

    TDevice* device = JobDeviceRecord(s);
    const TDeviceType type = device ? device->DeviceType : TDeviceType{DeviceOff};
    if (device == nullptr || type < DeviceVirsSh || type > DeviceVirsD2) {
        RestoreAfterNoJob(job, "");
        return TStartOutcome::NotReadable;
    }
    job.Ui.SetDeviceImage(s.JobNode, s.JobDevice, DeviceBusyImage(type));

    const TArchiveKind kind = ArchiveKindOf(type, s.JobView);
    TArchiveJobRange range;
    if (kind != TArchiveKind::None) {
        const TDateTime now = job.Now();
        PrepareArchiveDialog(s.ArchiveDialog, type, kind, DayOf(now));
        if (!job.Ui.RunArchiveDialog(s.ArchiveDialog)) {
            job.Ui.SetDeviceImage(s.JobNode, s.JobDevice, DeviceIdleImage(type));
            RestoreAfterNoJob(job, "");
            return TStartOutcome::Cancelled;
        }
        range = ArchiveJobRange(type, kind, s.ArchiveDialog.FirstDay, s.ArchiveDialog.LastDay,
                                job.Now());
        s.JobStartDate = range.StartDate;
        s.JobEndDate = range.EndDate;
        s.JobRecordsTotal = range.RecordsTotal;
        s.JobRecordsDone = 0;
        if (job.ArchiveCheck) {
            const std::string refusal = job.ArchiveCheck(job);
            if (!refusal.empty()) {
                job.Ui.SetDeviceImage(s.JobNode, s.JobDevice, DeviceIdleImage(type));
                RestoreAfterNoJob(job, refusal);
                return TStartOutcome::Refused;
            }
        }
    }

    // Registers that fail to arrive read as 0 in a settings listing.
    if ((type == DeviceVirsD || type == DeviceVirsDK) && s.JobView == 4)
        ClearDSettingsBlock(s.JobBuffer);

    const TFirstRequest first = FirstRequest(type, s.JobView, range, s.JobBuffer);
    if (!first.Valid) { // a tab the type does not have
        job.Ui.SetDeviceImage(s.JobNode, s.JobDevice, DeviceIdleImage(type));
        RestoreAfterNoJob(job, "");
        return TStartOutcome::NotReadable;
    }

    TModbusExchange& x = s.Exchange;
    s.JobStep = 0;
    x.FunctionCode = first.FunctionCode;
    x.SlaveAddress = device->NetAddress;
    x.StartRegister = first.StartRegister;
    x.RegisterCount = first.RegisterCount;
    x.RetryCount = s.Base.Nodes[s.JobNode].Retries;
    if (first.FunctionCode != FunctionReadRecordHeader)
        x.DataCursor = first.Data;
    x.AbortRequested = false;
    x.JobFinished = false;
    x.ResultCode = ResultSuccess;
    s.JobRunning = true;

    job.Worker->Wake();
    job.Ui.SetLampTimer(true);
    return TStartOutcome::Started;
}

void StartStopClick(TJobContext& job, bool down, int tabIndex) {
    TProgramState& s = job.State;
    if (down) {
        job.Ui.SetCyclicEnabled(false);
        job.Ui.SetStartButton(true, StartButtonBusyImage);
        job.Ui.SetStatus(RequestText);
        job.Ui.ProcessMessages();
        s.JobNode = s.Base.SelNode;
        s.JobDevice = s.Base.SelDevice;
        s.JobView = static_cast<u8>(std::clamp(tabIndex, 0, 255));
        StartJob(job);
        return;
    }
    s.Exchange.AbortRequested = true;
    if (job.Worker)
        job.Worker->InterruptJob(); // a read without a total time-out ends now too
    job.Ui.SetStartButton(false, StartButtonIdleImage);
    if (s.JobRunning) {
        // The completion handler enables it again when the job has ended.
        job.Ui.SetStartEnabled(false);
    } else {
        // Released after the job had already ended: nobody else would enable it.
        const bool cyclicDown = job.Ui.CyclicDown();
        const bool cyclicEnabled = CyclicEnabledAfterJob(s, cyclicDown);
        job.Ui.SetCyclicEnabled(cyclicEnabled);
        job.Ui.SetStartEnabled(cyclicEnabled && !cyclicDown);
    }
}

int CyclicInterval(const TNode& node) {
    return static_cast<int>(EffectiveReplyTimeoutMs(node)) * node.Retries + 1000;
}

void CyclicClick(TJobContext& job, bool down) {
    TProgramState& s = job.State;
    job.Ui.SetStartEnabled(false);
    if (down) {
        job.Ui.SetStatus(CyclicRequestText);
        job.Ui.ProcessMessages();
        s.JobNode = s.Base.SelNode;
        s.JobDevice = s.Base.SelDevice;
        s.JobView = 0;
        StartJob(job);
        if (s.JobNode < s.Base.NodeCount())
            job.Ui.SetCyclicTimer(true, CyclicInterval(s.Base.Nodes[s.JobNode]));
        return;
    }
    const bool parked = job.Worker == nullptr || job.Worker->IsParked();
    job.Ui.SetCyclicEnabled(parked);
    job.Ui.SetStartEnabled(parked);
    s.Exchange.AbortRequested = true;
    if (job.Worker)
        job.Worker->InterruptJob();
    job.Ui.SetCyclicTimer(false, 0);
    job.Ui.SetStatus(UserStopText);
    job.Ui.ProcessMessages();
}

bool CyclicTick(TJobContext& job) {
    if (job.State.JobRunning || (job.Worker != nullptr && !job.Worker->IsParked()))
        return false;
    job.Ui.SetStatus(CyclicRequestText);
    job.Ui.ProcessMessages();
    return StartJob(job) == TStartOutcome::Started;
}

bool CyclicEnabledAfterJob(const TProgramState& state, bool cyclicDown) {
    const StationBase& base = state.Base;
    const int node = base.SelNode;
    const int device = base.SelDevice;
    if (device == NoDevice || node >= base.NodeCount() || device >= base.DeviceCount(node))
        return false;
    const TDeviceType type = base.Devices[node][device].DeviceType;
    if (cyclicDown)
        return node == state.JobNode && device == state.JobDevice && type != DeviceOff;
    return state.LinkOpen && node == state.LinkNode && type != DeviceOff;
}

} // namespace virs
