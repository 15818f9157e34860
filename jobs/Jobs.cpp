#include "jobs/Jobs.h"

#include <algorithm>

#include "acquisition/DeviceViews.h"

#include "link/ExchangeWorker.h"

namespace virs {

namespace {

constexpr std::int64_t MsPerHour = 3'600'000;

// The buttons after a job that did not start: as at the end of a job; the
// device's idle picture again when StartJob had shown the busy one.
void RestoreAfterNoJob(TJobContext& job, const std::string& status,
                       std::optional<TDevicePicture> picture = std::nullopt) {
    TJobEnd end;
    end.Ran = false;
    end.ResultCode = job.State.Exchange.ResultCode;
    end.Controls.SetButtons(ButtonsAfterJob(job.State, CyclicDown(job)));
    end.Controls.Status = status;
    end.Controls.Picture = picture;
    ApplyControls(job, end.Controls);
    job.LastEnd = std::move(end);
    if (job.Log.IsOpen())
        job.Log.Close();
}

TDevicePicture PictureOf(const TProgramState& s, TDeviceType type, bool busy) {
    return {s.JobNode, s.JobDevice, type, busy};
}

} // namespace

void ApplyControls(TJobContext& job, const TJobControls& change) {
    if (job.Ui != nullptr)
        job.Ui->Apply(change);
}

void ShowStatus(TJobContext& job, const std::string& text) {
    TJobControls change;
    change.Status = text;
    ApplyControls(job, change);
}

void RenderView(TJobContext& job) {
    if (job.Ui != nullptr)
        job.Ui->Render();
}

bool CyclicDown(const TJobContext& job) {
    return job.Ui != nullptr && job.Ui->CyclicDown();
}

namespace {
void ProcessMessages(TJobContext& job) {
    if (job.Ui != nullptr)
        job.Ui->ProcessMessages();
}
} // namespace

std::uint16_t ShDailyAddress(std::int64_t deviceDay) {
    const std::int64_t slot = ((deviceDay % 1461) + 1461) % 1461;
    return static_cast<std::uint16_t>(slot == 1460 ? 1000 : 1001 + slot);
}

TFirstRequest FirstRequest(TDeviceType type, std::uint8_t view, const TArchiveJobRange& range,
                           DeviceWorkArea& buffer) {
    TFirstRequest r;
    const TViewEntry entry = DeviceViewEntry(type, view);
    if (entry.Job == TJobKind::None)
        return r;
    // Day numbers counted from the devices' day 0 (2000-01-01); `mod` of a
    // signed 64-bit division, the start register keeping the low 16 bits.
    const std::int64_t endDays = range.EndDay - DeviceEpochDay;
    const std::int64_t startDays = range.StartDay - DeviceEpochDay;
    std::uint16_t start = entry.FirstRegister;
    switch (entry.Rule) {
    case TRegisterRule::Fixed:
        break;
    case TRegisterRule::ShDailySlot:
        start = ShDailyAddress(endDays);
        break;
    case TRegisterRule::ShHourlySlot:
        // The hour of the end, taken from the exact milliseconds of the day.
        start = static_cast<std::uint16_t>(endDays % 280 * 24 + range.EndMs / MsPerHour + 2461);
        break;
    case TRegisterRule::D2DailyIndex:
        start = static_cast<std::uint16_t>(static_cast<std::uint16_t>(startDays) & 511);
        break;
    case TRegisterRule::D2HourlyIndex:
        start = static_cast<std::uint16_t>((static_cast<std::uint16_t>(startDays) & 63) * 24 + 512);
        break;
    }
    r.Valid = true;
    r.FunctionCode = entry.Function;
    r.StartRegister = start;
    r.RegisterCount = entry.RegisterCount;
    const std::span<std::uint8_t> block = BlockBytes(buffer, entry.Block);
    r.Data = block.empty() ? nullptr : block.data();
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

    TDevice* device = s.Base.Device(s.JobNode, s.JobDevice);
    const TDeviceType type = device ? device->DeviceType : TDeviceType{DeviceOff};
    if (device == nullptr || ViewTabCountOf(type) == 0) { // a type that is not read
        RestoreAfterNoJob(job, "");
        return TStartOutcome::NotReadable;
    }
    TJobControls busy;
    busy.Picture = PictureOf(s, type, true);
    ApplyControls(job, busy);

    const TArchiveKind kind = ArchiveKindOf(type, s.JobView);
    TArchiveJobRange range;
    if (kind != TArchiveKind::None) {
        const TDateTime now = job.Now();
        PrepareArchiveDialog(s.ArchiveDialog, type, kind, DayOf(now));
        if (job.Ui == nullptr || !job.Ui->RunArchiveDialog(s.ArchiveDialog)) {
            RestoreAfterNoJob(job, "", PictureOf(s, type, false));
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
                RestoreAfterNoJob(job, refusal, PictureOf(s, type, false));
                return TStartOutcome::Refused;
            }
        }
    }

    // Registers that fail to arrive read as 0 in a settings listing.
    const TViewEntry entry = DeviceViewEntry(type, s.JobView);
    if (entry.ClearBlockFirst) {
        const std::span<std::uint8_t> block = BlockBytes(s.JobBuffer, entry.Block);
        std::fill(block.begin(), block.end(), std::uint8_t{0});
    }

    const TFirstRequest first = FirstRequest(type, s.JobView, range, s.JobBuffer);
    if (!first.Valid) { // a tab the type does not have
        RestoreAfterNoJob(job, "", PictureOf(s, type, false));
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
    TJobControls lamps;
    lamps.Lamps = true;
    ApplyControls(job, lamps);
    return TStartOutcome::Started;
}

void StartStopClick(TJobContext& job, bool down, int tabIndex) {
    TProgramState& s = job.State;
    TJobControls change;
    if (down) {
        change.CyclicEnabled = false;
        change.StartDown = true;
        change.Status = RequestText;
        ApplyControls(job, change);
        ProcessMessages(job);
        s.JobNode = s.Base.SelNode;
        s.JobDevice = s.Base.SelDevice;
        s.JobView = static_cast<u8>(std::clamp(tabIndex, 0, 255));
        StartJob(job);
        return;
    }
    s.Exchange.AbortRequested = true;
    if (job.Worker)
        job.Worker->InterruptJob(); // a read without a total time-out ends now too
    if (s.JobRunning) {
        // The completion handler enables it again when the job has ended.
        change.StartDown = false;
        change.StartEnabled = false;
    } else {
        // Released after the job had already ended: nobody else would enable it.
        change.SetButtons(ButtonsAfterJob(s, CyclicDown(job)));
    }
    ApplyControls(job, change);
}

int CyclicInterval(const TNode& node) {
    return static_cast<int>(EffectiveReplyTimeoutMs(node)) * node.Retries + 1000;
}

void CyclicClick(TJobContext& job, bool down) {
    TProgramState& s = job.State;
    TJobControls change;
    change.StartEnabled = false;
    if (down) {
        change.Status = CyclicRequestText;
        ApplyControls(job, change);
        ProcessMessages(job);
        s.JobNode = s.Base.SelNode;
        s.JobDevice = s.Base.SelDevice;
        s.JobView = CurrentValuesView;
        StartJob(job);
        if (s.JobNode < s.Base.NodeCount()) {
            TJobControls timer;
            timer.CyclicTimerInterval = CyclicInterval(s.Base.Nodes[s.JobNode]);
            ApplyControls(job, timer);
        }
        return;
    }
    const bool parked = job.Worker == nullptr || job.Worker->IsParked();
    s.Exchange.AbortRequested = true;
    if (job.Worker)
        job.Worker->InterruptJob();
    change.CyclicEnabled = parked;
    change.StartEnabled = parked;
    change.CyclicTimerInterval = 0;
    change.Status = UserStopText;
    ApplyControls(job, change);
    ProcessMessages(job);
}

bool CyclicTick(TJobContext& job) {
    if (job.State.JobRunning || (job.Worker != nullptr && !job.Worker->IsParked()))
        return false;
    ShowStatus(job, CyclicRequestText);
    ProcessMessages(job);
    return StartJob(job) == TStartOutcome::Started;
}

} // namespace virs
