#pragma once
// The completion handler: runs on the main thread after every exchange while
// the exchange thread waits. It stores what a finished current-values or
// settings job read, hands archive jobs to their walk, and ends the job:
// worker parked, result text, tree image, buttons, lamps, log closed.
//
// It never pumps the event loop: it returns at once, so the window (and its
// stop button) stays live between exchanges, and a stop is honoured at the
// next completion.

#include <string>

#include "link/Jobs.h"

namespace virs {

// The archive walk of an archive job, record by record.
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

// Shown when an archive job ends after its first exchange because no archive
// walk is attached.
inline constexpr const char* ArchiveWalkMissingText =
    "Получен первый ответ архива; чтение архива не выполнено";

// One call after one exchange. `archive` may be null.
void CompletionHandler(TJobContext& job, TArchiveSequencer* archive);

// The end-of-job sequence; also used when a job is cut off by closing the
// link (then with the result the caller has put in the exchange block).
void EndJob(TJobContext& job, TArchiveSequencer* archive);

} // namespace virs
