#pragma once
// The completion handler: runs on the main thread after every exchange while
// the exchange thread waits. It stores what a finished current-values or
// settings job read, hands archive jobs to their walk, and ends the job:
// worker parked, log closed, and a TJobEnd value for the window: result
// text, tree picture, buttons, lamps.
//
// It never pumps the event loop: it returns at once, so the window (and its
// stop button) stays live between exchanges, and a stop is honoured at the
// next completion.

#include <optional>
#include <string>

#include "jobs/ArchiveSequencer.h"
#include "jobs/Jobs.h"

namespace virs {

// Shown when an archive job ends after its first exchange because no archive
// walk is attached.
inline constexpr const char* ArchiveWalkMissingText =
    "Получен первый ответ архива; чтение архива не выполнено";

// One call after one exchange. `archive` may be null. Returns how the job
// ended when this call ended it (also kept in job.LastEnd).
std::optional<TJobEnd> CompletionHandler(TJobContext& job, TArchiveSequencer* archive);

// The end-of-job sequence; also used when a job is cut off by closing the
// link (then with the result the caller has put in the exchange block). The
// window is given the end's controls in one change.
TJobEnd EndJob(TJobContext& job, TArchiveSequencer* archive);
// The same without showing anything: the caller adjusts the value and applies
// it (ApplyControls) itself.
TJobEnd FinishJob(TJobContext& job, TArchiveSequencer* archive);

} // namespace virs
