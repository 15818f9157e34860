#pragma once
// Where the rows of an archive walk go: the head of a sheet and one call per
// row. The walk (jobs/) writes through this interface; the workbook export of
// the views implements it.

#include <cstdint>
#include <functional>
#include <string>

#include "acquisition/ArchiveRecords.h"
#include "model/DateTime.h"
#include "model/Records.h"

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
    // The records of a range from FirstDay to FirstDay + days by the range
    // dialog's rules (so a refusal can name the longest range that fits).
    std::function<std::int32_t(int days)> RecordsForDays;
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

} // namespace virs
