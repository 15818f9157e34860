#include "jobs/ArchiveWalk.h"

#include <algorithm>

#include "acquisition/RegisterImage.h"

namespace virs {

namespace {

TDevice* JobDevice(TProgramState& s) {
    if (s.JobNode >= s.Base.NodeCount() || s.JobDevice >= s.Base.DeviceCount(s.JobNode))
        return nullptr;
    return &s.Base.Devices[s.JobNode][s.JobDevice];
}

void NextRead(TModbusExchange& x, std::uint16_t start, std::uint16_t count, std::uint8_t* data) {
    x.FunctionCode = FunctionReadRegisters;
    x.StartRegister = start;
    x.RegisterCount = count;
    x.DataCursor = data;
}

void NextSelectorWrite(TProgramState& s) {
    TModbusExchange& x = s.Exchange;
    x.FunctionCode = FunctionWriteRegisters;
    x.StartRegister = 0;
    x.RegisterCount = 3;
    x.DataCursor = s.JobBuffer.ArchiveSelector.Bytes;
}

} // namespace

TArchiveHead ArchiveHeadOf(const TProgramState& s, const TDevice& device, TDateTime now) {
    TArchiveHead h;
    h.Type = device.DeviceType;
    h.Kind = ArchiveKindOf(device.DeviceType, s.JobView);
    h.Integrators = s.ArchiveDialog.Integrators;
    h.FirstDay = s.ArchiveDialog.FirstDay;
    h.LastDay = s.ArchiveDialog.LastDay;
    h.Now = now;
    if (s.JobNode < s.Base.NodeCount())
        h.NodeName = s.Base.Nodes[s.JobNode].NameSlot.Value.Get();
    h.DeviceName = device.NameSlot.Value.Get();
    h.NetAddress = device.NetAddress;
    const TImageReader image(device.DataImage);
    if (device.DeviceType == DeviceVirsSh)
        h.SerialNumber = image.U16(TShCurrentBlock::SerialNumber);
    else if (device.DeviceType == DeviceVirsD2)
        h.SerialNumber = image.U16(TD2CurrentBlock::SerialNumber);
    h.RecordsForDays = [type = h.Type, kind = h.Kind, first = h.FirstDay, now](int days) {
        return ArchiveJobRange(type, kind, first, first + days, now).RecordsTotal;
    };
    return h;
}

std::string TArchiveWalk::Check(TJobContext& job) {
    TProgramState& s = job.State;
    const TDevice* device = JobDevice(s);
    if (device == nullptr || ArchiveKindOf(device->DeviceType, s.JobView) == TArchiveKind::None)
        return "";
    return Sink.Check(*device, ArchiveHeadOf(s, *device, job.Now()), s.JobRecordsTotal);
}

void TArchiveWalk::Open(TJobContext& job, TDevice& device) {
    TProgramState& s = job.State;
    Row = Sink.Open(device, ArchiveHeadOf(s, device, job.Now()));
    SavedAtFinish = false;
}

void TArchiveWalk::Progress(TJobContext& job) {
    TProgramState& s = job.State;
    s.JobRecordsDone += 1;
    std::int64_t percent = 0;
    if (s.JobRecordsTotal > 0)
        percent = static_cast<std::int64_t>(s.JobRecordsDone) * 100 / s.JobRecordsTotal;
    percent = std::clamp<std::int64_t>(percent, 0, 100);
    ShowStatus(job, ArchiveProgressPrefix + std::to_string(percent) + "%");
    if (job.Ui != nullptr)
        job.Ui->ProcessMessages();
}

void TArchiveWalk::Save(TJobContext& job) {
    const std::string error = Sink.Save();
    if (!error.empty() && ShowError)
        ShowError(ArchiveSaveFailedText);
    RenderView(job);
}

void TArchiveWalk::Finish(TJobContext& job) {
    Save(job);
    SavedAtFinish = true;
    job.State.Exchange.JobFinished = true;
}

void TArchiveWalk::SaveOnEarlyEnd(TJobContext& job) {
    if (!SavedAtFinish)
        Save(job);
}

void TArchiveWalk::Step(TJobContext& job) {
    TProgramState& s = job.State;
    TDevice* device = JobDevice(s);
    if (device == nullptr) {
        s.Exchange.JobFinished = true;
        return;
    }
    const TArchiveKind kind = ArchiveKindOf(device->DeviceType, s.JobView);
    switch (device->DeviceType) {
    case DeviceVirsSh:
        StepSh(job, *device, kind == TArchiveKind::Hourly);
        break;
    case DeviceVirsD:
    case DeviceVirsDK:
        StepD(job, *device, kind);
        break;
    case DeviceVirsD2:
        StepD2(job, *device, kind == TArchiveKind::Hourly);
        break;
    default:
        s.Exchange.JobFinished = true;
        break;
    }
}

// ---- ВИРС-Ш: backwards from the newest record ----

void TArchiveWalk::StepSh(TJobContext& job, TDevice& device, bool hourly) {
    TProgramState& s = job.State;
    TModbusExchange& x = s.Exchange;
    const TArchiveMs start = ArchiveMsOf(s.JobStartDate);
    const TArchiveMs step = hourly ? ArchiveMsPerHour : ArchiveMsPerDay;
    const bool first = s.JobStep == 0;
    if (first) {
        Open(job, device);
        RecordMs = ArchiveMsOf(s.JobEndDate) - (hourly ? ArchiveMsPerHour : 0);
    }
    const TShArchiveRow row = DecodeShRecord(s.JobBuffer.ShArchiveRecord, hourly);
    if (row.Valid)
        Sink.AddShRow(Row++, ArchiveDateOf(RecordMs), row);

    const bool done = hourly ? !first && RecordMs - ArchiveMsPerHour <= start : RecordMs == start;
    if (done) {
        Finish(job);
        return;
    }
    s.JobStep = 1;
    NextRead(x, ShPreviousAddress(x.StartRegister, hourly), 5, s.JobBuffer.ShArchiveRecord.Bytes);
    RecordMs -= step;
    // The first step of a daily walk shows no progress.
    if (!first || hourly)
        Progress(job);
}

// ---- ВИРС-Д / ВИРС-ДК: forwards, a selector write before every record ----

void TArchiveWalk::StepD(TJobContext& job, TDevice& device, TArchiveKind kind) {
    TProgramState& s = job.State;
    TModbusExchange& x = s.Exchange;
    const bool integrators = s.ArchiveDialog.Integrators;
    switch (s.JobStep) {
    case 0:
        Open(job, device);
        ClearArchiveTotals(s.WorkArea.ArchiveTotals);
        RecordMs = ArchiveMsOf(s.JobStartDate);
        FillArchiveSelector(s.JobBuffer.ArchiveSelector, RecordMs, kind, integrators);
        s.JobStep = 1;
        NextSelectorWrite(s);
        return;
    case 1:
        s.JobStep = 2;
        NextRead(x, TDArchiveRecord::FirstRegister, 26, s.JobBuffer.DArchiveRecord.Bytes);
        return;
    default:
        break;
    }
    const TDArchiveRow row =
        DecodeDRecord(s.JobBuffer.DArchiveRecord, s.JobBuffer.DCurrentBlock, kind,
                      device.DeviceType == DeviceVirsDK, ArchiveDayOf(RecordMs));
    Sink.AddDRow(Row++, ArchiveDateOf(RecordMs), row);
    AddToArchiveTotals(s.WorkArea.ArchiveTotals, row);

    const TArchiveMs end = ArchiveMsOf(s.JobEndDate);
    const bool done =
        kind == TArchiveKind::Hourly ? RecordMs + ArchiveMsPerHour >= end : RecordMs >= end;
    if (done) {
        if (!integrators)
            Sink.AddDTotals(Row++,
                            ArchiveTotalsRow(s.WorkArea.ArchiveTotals, s.JobBuffer.DCurrentBlock));
        Finish(job);
        return;
    }
    if (kind == TArchiveKind::Hourly) {
        RecordMs += ArchiveMsPerHour;
    } else if (kind == TArchiveKind::Daily) {
        RecordMs += ArchiveMsPerDay;
    } else {
        const TDate d = DecodeDate(ArchiveDayOf(RecordMs));
        const int year = d.Month == 12 ? d.Year + 1 : d.Year;
        const int month = d.Month == 12 ? 1 : d.Month + 1;
        RecordMs = EncodeDate(year, month, 1) * ArchiveMsPerDay;
    }
    FillArchiveSelector(s.JobBuffer.ArchiveSelector, RecordMs, kind, integrators);
    s.JobStep = 1;
    NextSelectorWrite(s);
    Progress(job);
}

// ---- ВИРС-Д2: forwards, a header (function 67) before every record ----

void TArchiveWalk::StepD2(TJobContext& job, TDevice& device, bool hourly) {
    TProgramState& s = job.State;
    switch (s.JobStep) {
    case 0:
        Open(job, device);
        RecordMs = ArchiveMsOf(s.JobStartDate);
        s.WorkArea.HavePreviousRecord = false; // every job begins without one
        D2Examine(job, hourly);
        return;
    case 2:
        D2Examine(job, hourly);
        return;
    default:
        break;
    }
    TD2ArchiveRow row;
    if (DecodeD2Record(s.JobBuffer.D2ArchiveRecord, s.ArchiveDialog.Integrators,
                       s.WorkArea.PreviousRecord, s.WorkArea.HavePreviousRecord, row))
        Sink.AddD2Row(Row++, ArchiveDateOf(RecordMs), row);
    D2Advance(job, hourly);
}

void TArchiveWalk::D2Examine(TJobContext& job, bool hourly) {
    TProgramState& s = job.State;
    // The day of an exact moment needs no nudge in the hourly walk.
    if (D2HeaderMatches(s.Exchange.RecordHeader, ArchiveDayOf(RecordMs))) {
        s.JobStep = 3;
        NextRead(s.Exchange, 0, 64, s.JobBuffer.D2ArchiveRecord.Bytes);
        return;
    }
    s.WorkArea.HavePreviousRecord = false;
    D2Advance(job, hourly);
}

void TArchiveWalk::D2Advance(TJobContext& job, bool hourly) {
    TProgramState& s = job.State;
    TModbusExchange& x = s.Exchange;
    const TArchiveMs end = ArchiveMsOf(s.JobEndDate);
    TArchiveMs next = 0;
    if (hourly) {
        next = RecordMs + ArchiveMsPerHour;
        if (next + ArchiveMsPerHour / 4 >= end) {
            Finish(job);
            return;
        }
    } else {
        if (RecordMs == end) {
            Finish(job);
            return;
        }
        next = RecordMs + ArchiveMsPerDay;
    }
    RecordMs = next;
    s.JobStep = 2;
    x.FunctionCode = FunctionReadRecordHeader;
    x.StartRegister = hourly ? D2HourlyIndex(ArchiveDayOf(next), ArchiveHourOf(next))
                             : D2DailyIndex(ArchiveDayOf(next));
    x.RegisterCount = 1;
    Progress(job);
}

} // namespace virs
