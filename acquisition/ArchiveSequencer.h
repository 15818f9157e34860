#pragma once
// The archive walk: what every successful completion of an archive job does
// with JobStep, which row it writes and which request follows. The rows go to
// an archive sink (the workbook export of the views layer); the walk itself is
// a plain class over the program state, testable without a line.

#include <cstdint>
#include <functional>
#include <string>

#include "acquisition/ArchiveRecords.h"
#include "acquisition/CompletionHandler.h"

namespace virs {

inline constexpr const char* ArchiveProgressPrefix = "Выполнено...";
inline constexpr const char* ArchiveSaveFailedText =
    "Не удалось сохранить файл с полученным архивом.\rВозможно, он открыт в другом приложении";

// Everything the head of a sheet needs, taken when the walk opens it.
struct TArchiveHead {
    TDeviceType Type = DeviceOff;
    TArchiveKind Kind = TArchiveKind::None;
    bool Integrators = false;
    std::int64_t FirstDay = 0; // the dates of the range dialog
    std::int64_t LastDay = 0;
    TDateTime Now = 0;
    std::string NodeName, DeviceName; // UTF-8
    unsigned NetAddress = 0;
    unsigned SerialNumber = 0; // ВИРС-Ш, ВИРС-Д2: from the stored image
};

// Where the rows of a walk go.
class TArchiveSink {
public:
    virtual ~TArchiveSink() = default;
    // Before the first request: "" when the job may start, else the reason
    // (no free file name, more rows than a sheet holds).
    virtual std::string Check(const TDevice& device, const TArchiveHead& head,
                              std::int32_t recordsTotal) = 0;
    // Names the file (and stores it in the device's ArchiveFile), clears or
    // starts the sheet and writes its head. Returns the first data row.
    virtual std::uint16_t Open(TDevice& device, const TArchiveHead& head) = 0;
    virtual void AddShRow(std::uint16_t row, TDateTime date, const TShArchiveRow& values) = 0;
    virtual void AddDRow(std::uint16_t row, TDateTime date, const TDArchiveRow& values) = 0;
    virtual void AddDTotals(std::uint16_t row, const TDArchiveRow& values) = 0;
    virtual void AddD2Row(std::uint16_t row, TDateTime date, const TD2ArchiveRow& values) = 0;
    // Writes the whole workbook: "" or the reason it failed.
    virtual std::string Save() = 0;
};

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
