#include "cli/CollectSheet.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "views/ArchiveExport.h"
#include "views/ArchiveFileName.h"

namespace virs::cli {

// The moment of the last data row of the device's sheet of `kind`, or -1 when
// the workbook or the sheet holds none; `madeDay` the day the sheet was made
// (its "создан:" row), or -1.
TDateTime LastRowMoment(const std::filesystem::path& folder, const TDevice& device,
                        TArchiveKind kind, std::int64_t& madeDay) {
    madeDay = -1;
    const std::string name = device.ArchiveFile.Get();
    if (name.empty())
        return -1;
    TWorkbook xls;
    if (!xls.Read(ArchivePath(folder, name).string()).Ok)
        return -1;
    const std::size_t sheet = ArchiveSheetOf(kind);
    if (sheet >= xls.SheetCount())
        return -1;
    int d = 0, m = 0, y = 0;
    if (std::sscanf(xls.GetText(sheet, 0, 1).c_str(), "создан: %d.%d.%d", &d, &m, &y) == 3 &&
        IsValidDate(y, m, d))
        madeDay = EncodeDate(y, m, d);
    const std::uint32_t first = ArchiveFirstDataRow(device.DeviceType);
    TDateTime last = -1;
    for (const auto& [key, cell] : xls.Sheet(sheet).Cells)
        if (KeyColumn(key) == 0 && KeyRow(key) >= first && cell.Kind == TCellKind::Number &&
            cell.Number > 0)
            last = std::max(last, cell.Number);
    return last;
}

int SheetRows(const TWorkbook& xls, TDeviceType type, TArchiveKind kind) {
    const std::size_t sheet = ArchiveSheetOf(kind);
    if (sheet >= xls.SheetCount())
        return 0;
    int rows = 0;
    for (const auto& [key, cell] : xls.Sheet(sheet).Cells)
        rows += KeyColumn(key) == 0 && KeyRow(key) >= ArchiveFirstDataRow(type) &&
                cell.Kind == TCellKind::Number;
    return rows;
}

} // namespace virs::cli
