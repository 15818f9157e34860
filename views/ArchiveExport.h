#pragma once
// The archive export: the rows of an archive walk written into the archive
// workbook (one sheet per archive kind), with the title rows, legends and
// column headers, and the workbook written to the device's archive file.

#include <filesystem>
#include <string>

#include "acquisition/ArchiveSink.h"
#include "views/ViewLocale.h"
#include "workbook/Workbook.h"

namespace virs {

// First data row of a sheet, by device type.
std::uint16_t ArchiveFirstDataRow(TDeviceType type);
// The sheet of an archive kind.
std::size_t ArchiveSheetOf(TArchiveKind kind);

// The refusal of an archive that needs more rows than a sheet holds, naming
// the longest range (in days from the chosen first day) that fits.
std::string ArchiveTooLongMessage(int maxDays);

class TWorkbookArchiveSink final : public TArchiveSink {
public:
    // `folder` is the working folder: bare file names live there.
    TWorkbookArchiveSink(TWorkbook& workbook, std::filesystem::path folder, TViewLocale locale)
        : Xls(workbook), Folder(std::move(folder)), Locale(std::move(locale)) {}

    std::string Check(const TDevice& device, const TArchiveHead& head,
                      std::int32_t recordsTotal) override;
    std::uint16_t Open(TDevice& device, const TArchiveHead& head) override;
    void AddShRow(std::uint16_t row, TDateTime date, const TShArchiveRow& values) override;
    void AddDRow(std::uint16_t row, TDateTime date, const TDArchiveRow& values) override;
    void AddDTotals(std::uint16_t row, const TDArchiveRow& values) override;
    void AddD2Row(std::uint16_t row, TDateTime date, const TD2ArchiveRow& values) override;
    std::string Save() override;

    std::uint8_t FormatBase() const { return Base; }

private:
    void Text(std::uint32_t col, std::uint32_t row, std::string_view text, int format);
    void Number(std::uint32_t col, std::uint32_t row, double value, int format);
    void WriteHead(const TArchiveHead& head);

    TWorkbook& Xls;
    std::filesystem::path Folder;
    TViewLocale Locale;
    TDeviceType Type = DeviceOff;
    TArchiveKind Kind = TArchiveKind::None;
    std::size_t SheetIndex = SheetDays;
    std::uint8_t Base = 0;
};

} // namespace virs
