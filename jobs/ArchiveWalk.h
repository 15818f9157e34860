#pragma once
// The archive walk: what every successful completion of an archive job does
// with JobStep, which row it writes and which request follows. The rows go to
// an archive sink (the workbook export of the views layer); the walk itself is
// a plain class over the program state, testable without a line.

#include <cstdint>
#include <functional>
#include <string>

#include "acquisition/ArchiveSink.h"
#include "jobs/ArchiveSequencer.h"
#include "jobs/Jobs.h"

namespace virs {

// The head of the job's device as the state holds it now.
TArchiveHead ArchiveHeadOf(const TProgramState& state, const TDevice& device, TDateTime now);

class TArchiveWalk final : public TArchiveSequencer {
public:
    explicit TArchiveWalk(TArchiveSink& sink) : Sink(sink) {}

    // Shown in a message box (error icon, OK) when the workbook cannot be written.
    std::function<void(const std::string& text)> ShowError;

    // Before StartJob's first request of an archive job: "" or the refusal.
    std::string Check(TJobContext& job);

    void Step(TJobContext& job) override;
    void SaveOnEarlyEnd(TJobContext& job) override;

    // The walk's own state (beside JobStep and the job dates of the state).
    TArchiveMs RecordDate() const { return RecordMs; }
    std::uint16_t SheetRow() const { return Row; }

private:
    void StepSh(TJobContext& job, TDevice& device, bool hourly);
    void StepD(TJobContext& job, TDevice& device, TArchiveKind kind);
    void StepD2(TJobContext& job, TDevice& device, bool hourly);
    void D2Examine(TJobContext& job, bool hourly);
    void D2Advance(TJobContext& job, bool hourly);
    void Open(TJobContext& job, TDevice& device);
    void Progress(TJobContext& job);
    void Finish(TJobContext& job);
    void Save(TJobContext& job);

    TArchiveSink& Sink;
    TArchiveMs RecordMs = 0;
    std::uint16_t Row = 0;
    // The walk's own finish has written the workbook: the end-of-job save has
    // nothing to add (and a failed write is reported once).
    bool SavedAtFinish = false;
};

} // namespace virs
