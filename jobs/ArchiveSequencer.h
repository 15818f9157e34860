#pragma once
// The archive walk of an archive job, record by record: the seam between the
// completion handler and the archive reading. The walk has the job context:
// the program state (job fields, the exchange block, the work area and the job
// buffer), ShowStatus for its progress text and RenderView to redraw the pane.

namespace virs {

struct TJobContext;

class TArchiveSequencer {
public:
    virtual ~TArchiveSequencer() = default;
    // After a successful exchange of an archive job: performs the step of the
    // current JobStep (the data of the exchange are in the job buffer and, for
    // function 67, in RecordHeader), then sets up the next request in the
    // exchange block or sets JobFinished.
    virtual void Step(TJobContext& job) = 0;
    // At the end of a ВИРС-Ш, ВИРС-Д or ВИРС-ДК archive job whose walk has begun
    // (JobStep 1 or 2): writes the workbook with the rows gathered so far and
    // renders.
    virtual void SaveOnEarlyEnd(TJobContext& job) = 0;
};

} // namespace virs
