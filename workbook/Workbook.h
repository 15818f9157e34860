#pragma once
// The archive workbook: one object holding the sheets "days", "hours" and
// "months" with their cells and the list of cell formats, written as an Excel 5
// file and read back from one. Texts are UTF-8 here and Windows-1251 in the file.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/CellFormat.h"

namespace virs {

enum class TCellKind : std::uint8_t { Text, Number };

struct TCell {
    TCellKind Kind = TCellKind::Text;
    std::string Text; // UTF-8, for a text cell
    double Number = 0;
    std::uint16_t Format = 0; // index in the workbook's format list
    bool operator==(const TCell&) const = default;
};

// Cells of a sheet keyed by row and column, so that iteration runs in row, then
// column order.
using TCellKey = std::uint32_t;
inline constexpr TCellKey CellKey(std::uint32_t row, std::uint32_t col) {
    return row << 8 | col;
}
inline constexpr std::uint32_t KeyRow(TCellKey key) {
    return key >> 8;
}
inline constexpr std::uint32_t KeyColumn(TCellKey key) {
    return key & 0xFF;
}

struct TSheet {
    std::string Name; // UTF-8
    std::map<TCellKey, TCell> Cells;
    bool operator==(const TSheet&) const = default;
};

// Limits of the file format.
inline constexpr std::uint32_t MaxColumns = 256;      // every .xls version
inline constexpr std::uint32_t MaxRowsExcel5 = 16384; // what an Excel 5 sheet holds
inline constexpr std::uint32_t MaxRowsRead = 65536;   // what a later .xls may hold
inline constexpr std::size_t MaxTextBytes = 255;      // Excel 5 cell text, in Windows-1251
inline constexpr std::size_t MaxSheetNameBytes = 31;
// The largest file Read takes: far beyond any archive export (a year of hours
// is about 2 MB), small enough that a stray huge file is refused before it is
// read into memory.
inline constexpr std::uint64_t MaxWorkbookFileBytes = 64u << 20;

// Sheet names and indexes of the archive workbook.
inline constexpr std::size_t SheetDays = 0;
inline constexpr std::size_t SheetHours = 1;
inline constexpr std::size_t SheetMonths = 2;
inline constexpr const char* StandardSheetNames[3] = {"days", "hours", "months"};

// The contents of a workbook, without a file name: what the file codec turns
// into bytes and back.
struct TWorkbookData {
    std::vector<TSheet> Sheets;
    std::vector<TCellFormat> Formats;
    bool operator==(const TWorkbookData&) const = default;
};

// The outcome of a write or read: Ok, or the reason in words (Russian, for the
// user) otherwise.
struct TWorkbookResult {
    bool Ok = true;
    std::string Error;
    static TWorkbookResult Failure(std::string text) { return {false, std::move(text)}; }
};

// A workbook with the three empty standard sheets and the standard formats.
TWorkbookData NewWorkbookData();

// The whole .xls file (an OLE2 compound file with the BIFF5 "Book" stream) for
// `data`. Fails without touching `file` when the contents do not fit the format.
TWorkbookResult EncodeWorkbookFile(const TWorkbookData& data, std::string& file);

// Reads a whole .xls file (BIFF5/BIFF7 "Book" or BIFF8 "Workbook" stream; a bare
// BIFF stream is accepted too). On failure `data` is left as it was.
TWorkbookResult DecodeWorkbookFile(std::string_view file, TWorkbookData& data);

class TWorkbook {
public:
    TWorkbook();

    void SetFileName(std::string name) { FileName_ = std::move(name); }
    const std::string& FileName() const { return FileName_; }

    // Removes every cell of one sheet; the sheet and its name stay.
    void ClearSheet(std::size_t sheet);

    // Puts a cell, replacing what was there. False (and nothing stored) for a
    // sheet, column, row or format index that does not exist.
    bool PutText(std::size_t sheet, std::uint32_t col, std::uint32_t row, std::string_view text,
                 std::uint16_t format);
    bool PutNumber(std::size_t sheet, std::uint32_t col, std::uint32_t row, double value,
                   std::uint16_t format);

    // Writes the whole workbook to FileName(). The file is replaced in one step:
    // a failed write leaves the previous file as it was.
    TWorkbookResult Write() const;

    // Reads the whole workbook from `path` and makes it the file name. On failure
    // the workbook keeps what it held.
    TWorkbookResult Read(const std::string& path);

    // A cell as text: a text cell's text, a number in its shortest exact form,
    // "" for an empty cell.
    std::string GetText(std::size_t sheet, std::uint32_t col, std::uint32_t row) const;
    // A cell as a number: 0 for an empty cell or a text cell.
    double GetNumber(std::size_t sheet, std::uint32_t col, std::uint32_t row) const;
    // The cell, or null when it is empty.
    const TCell* FindCell(std::size_t sheet, std::uint32_t col, std::uint32_t row) const;

    std::size_t SheetCount() const { return Data_.Sheets.size(); }
    const TSheet& Sheet(std::size_t index) const { return Data_.Sheets.at(index); }
    std::size_t FormatCount() const { return Data_.Formats.size(); }
    const TCellFormat& Format(std::size_t index) const { return Data_.Formats.at(index); }
    const TWorkbookData& Data() const { return Data_; }

private:
    bool Put(std::size_t sheet, std::uint32_t col, std::uint32_t row, TCell cell);

    std::string FileName_;
    TWorkbookData Data_;
};

// The shortest decimal form with a point that reads back to the same double.
std::string ShortestNumberText(double value);

} // namespace virs
