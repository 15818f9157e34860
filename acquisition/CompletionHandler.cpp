#include "acquisition/CompletionHandler.h"

#include <algorithm>

#include "link/ExchangeWorker.h"

namespace virs {

namespace {

TDevice* JobDeviceRecord(TProgramState& state) {
    StationBase& base = state.Base;
    if (state.JobNode >= base.NodeCount() || state.JobDevice >= base.DeviceCount(state.JobNode))
        return nullptr;
    return &base.Devices[state.JobNode][state.JobDevice];
}

template <std::size_t N> void CopyBlock(std::uint8_t (&to)[N], const std::uint8_t (&from)[N]) {
    std::copy_n(from, N, to);
}

// A finished single-request job: its block goes from the job buffer into the
// work area (and into the device's stored image), then the view is redrawn.
void CompleteSingleRequest(TJobContext& job, TDevice& device) {
    TProgramState& s = job.State;
    DeviceWorkArea& area = s.WorkArea;
    const DeviceWorkArea& read = s.JobBuffer;
    const TDeviceType type = device.DeviceType;
    const bool settings = IsSettingsView(type, s.JobView);
    if (s.JobView == 0) {
        switch (type) {
        case DeviceVirsSh:
            CopyBlock(area.ShCurrentBlock.Bytes, read.ShCurrentBlock.Bytes);
            break;
        case DeviceVirsD:
        case DeviceVirsDK:
            CopyBlock(area.DCurrentBlock.Bytes, read.DCurrentBlock.Bytes);
            break;
        default:
            std::copy_n(read.D2Image.Bytes + TD2Image::CurrentOffset, TD2Image::CurrentSize,
                        area.D2Image.Bytes + TD2Image::CurrentOffset);
            break;
        }
        StoreCurrentImage(device, area, job.Now());
    } else if (settings && type == DeviceVirsD2) {
        std::copy_n(read.D2Image.Bytes + TD2Image::SettingsOffset, TD2Image::SettingsSize,
                    area.D2Image.Bytes + TD2Image::SettingsOffset);
        StoreD2SettingsImage(device, area);
    } else if (settings) {
        CopyBlock(area.DSettingsBlock.Bytes, read.DSettingsBlock.Bytes);
    }
    s.Exchange.JobFinished = true;
    job.Ui.Render();
}

} // namespace

void CompletionHandler(TJobContext& job, TArchiveSequencer* archive) {
    TProgramState& s = job.State;
    TModbusExchange& x = s.Exchange;
    TDevice* device = JobDeviceRecord(s);
    bool archiveCutShort = false;
    if (x.ResultCode == ResultSuccess && device != nullptr) {
        const TArchiveKind kind = ArchiveKindOf(device->DeviceType, s.JobView);
        if (kind == TArchiveKind::None) {
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

    if (x.AbortRequested || x.JobFinished || x.ResultCode != ResultSuccess) {
        EndJob(job, archive);
        if (archiveCutShort && x.ResultCode == ResultSuccess)
            job.Ui.SetStatus(ArchiveWalkMissingText);
    }
}

void EndJob(TJobContext& job, TArchiveSequencer* archive) {
    TProgramState& s = job.State;
    TModbusExchange& x = s.Exchange;
    if (job.Worker != nullptr)
        job.Worker->Park();
    if (x.AbortRequested)
        x.ResultCode = ResultUserStop;

    TDevice* device = JobDeviceRecord(s);
    const TDeviceType type = device ? device->DeviceType : TDeviceType{DeviceOff};
    if (archive != nullptr &&
        (type == DeviceVirsSh || type == DeviceVirsD || type == DeviceVirsDK) &&
        ArchiveKindOf(type, s.JobView) != TArchiveKind::None && (s.JobStep == 1 || s.JobStep == 2))
        archive->SaveOnEarlyEnd(job);

    if (device != nullptr)
        job.Ui.SetDeviceImage(s.JobNode, s.JobDevice, DeviceIdleImage(type));
    job.Ui.SetStartButton(false, StartButtonIdleImage);
    const bool cyclicDown = job.Ui.CyclicDown();
    const bool cyclicEnabled = CyclicEnabledAfterJob(s, cyclicDown);
    job.Ui.SetCyclicEnabled(cyclicEnabled);
    job.Ui.SetStartEnabled(cyclicEnabled && !cyclicDown);
    job.Ui.SetStatus(ExchangeResultMessage(x.ResultCode));
    job.Ui.SetLampTimer(false);
    job.Log.Close();
    s.JobRunning = false;
}

} // namespace virs
