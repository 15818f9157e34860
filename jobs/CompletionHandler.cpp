#include "jobs/CompletionHandler.h"

#include <algorithm>
#include <utility>

#include "acquisition/DeviceViews.h"

#include "link/ExchangeWorker.h"

namespace virs {

namespace {

// A finished single-request job: its block goes from the job buffer into the
// work area (and the entry's bytes into the device's stored image), then the
// view is redrawn.
void CompleteSingleRequest(TJobContext& job, TDevice& device) {
    TProgramState& s = job.State;
    const TViewEntry entry = DeviceViewEntry(device.DeviceType, s.JobView);
    const std::span<const std::uint8_t> read = BlockBytes(std::as_const(s.JobBuffer), entry.Block);
    const std::span<std::uint8_t> area = BlockBytes(s.WorkArea, entry.Block);
    std::copy(read.begin(), read.end(), area.begin());
    StoreViewImage(device, s.WorkArea, s.JobView, job.Now());
    s.Exchange.JobFinished = true;
    RenderView(job);
}

} // namespace

std::optional<TJobEnd> CompletionHandler(TJobContext& job, TArchiveSequencer* archive) {
    TProgramState& s = job.State;
    TModbusExchange& x = s.Exchange;
    TDevice* device = s.Base.Device(s.JobNode, s.JobDevice);
    bool archiveCutShort = false;
    if (x.ResultCode == ResultSuccess && device != nullptr) {
        if (!IsArchiveJob(ViewJobKind(device->DeviceType, s.JobView))) {
            // Single-request jobs complete on their first call.
            if (s.JobStep == 0)
                CompleteSingleRequest(job, *device);
        } else if (archive != nullptr) {
            archive->Step(job);
        } else {
            x.JobFinished = true;
            archiveCutShort = true;
        }
    } else if (device == nullptr) {
        x.JobFinished = true; // the device has gone: nothing to store
    }

    if (!(x.AbortRequested || x.JobFinished || x.ResultCode != ResultSuccess))
        return std::nullopt;
    TJobEnd end = FinishJob(job, archive);
    if (archiveCutShort && x.ResultCode == ResultSuccess)
        end.Controls.Status = ArchiveWalkMissingText;
    ApplyControls(job, end.Controls);
    job.LastEnd = end;
    return end;
}

TJobEnd FinishJob(TJobContext& job, TArchiveSequencer* archive) {
    TProgramState& s = job.State;
    TModbusExchange& x = s.Exchange;
    if (job.Worker != nullptr)
        job.Worker->Park();
    if (x.AbortRequested)
        x.ResultCode = ResultUserStop;

    TDevice* device = s.Base.Device(s.JobNode, s.JobDevice);
    const TDeviceType type = device ? device->DeviceType : TDeviceType{DeviceOff};
    if (archive != nullptr &&
        (type == DeviceVirsSh || type == DeviceVirsD || type == DeviceVirsDK) &&
        IsArchiveJob(ViewJobKind(type, s.JobView)) && (s.JobStep == 1 || s.JobStep == 2))
        archive->SaveOnEarlyEnd(job);

    TJobEnd end;
    end.ResultCode = x.ResultCode;
    if (device != nullptr)
        end.Controls.Picture = TDevicePicture{s.JobNode, s.JobDevice, type, false};
    end.Controls.SetButtons(ButtonsAfterJob(s, CyclicDown(job)));
    end.Controls.Status = ExchangeResultMessage(x.ResultCode);
    end.Controls.Lamps = false;
    job.Log.Close();
    s.JobRunning = false;
    return end;
}

TJobEnd EndJob(TJobContext& job, TArchiveSequencer* archive) {
    TJobEnd end = FinishJob(job, archive);
    ApplyControls(job, end.Controls);
    job.LastEnd = end;
    return end;
}

} // namespace virs
