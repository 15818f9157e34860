#pragma once
// What a device's archive workbook already holds, for collect's "--since last":
// the moment of the last data row of a sheet and the number of data rows.

#include <cstdint>
#include <filesystem>

#include "acquisition/DeviceViews.h"
#include "model/DateTime.h"
#include "model/StationBase.h"
#include "workbook/Workbook.h"

namespace virs::cli {

// The moment of the last data row of the device's sheet of `kind`, or -1 when
// the workbook or the sheet holds none; `madeDay` the day the sheet was made
// (its "создан:" row), or -1.
TDateTime LastRowMoment(const std::filesystem::path& folder, const TDevice& device,
                        TArchiveKind kind, std::int64_t& madeDay);

// Data rows now in the job's sheet (rows whose first cell is a date).
int SheetRows(const TWorkbook& xls, TDeviceType type, TArchiveKind kind);

} // namespace virs::cli
