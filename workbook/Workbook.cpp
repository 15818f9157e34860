#include "workbook/Workbook.h"

#include <charconv>
#include <cmath>

#include "model/AtomicFile.h"
#include "workbook/BiffCodec.h"
#include "workbook/CompoundFile.h"

namespace virs {

TWorkbookData NewWorkbookData() {
    TWorkbookData data;
    for (const char* name : StandardSheetNames)
        data.Sheets.push_back(TSheet{name, {}});
    data.Formats = StandardFormats();
    return data;
}

TWorkbookResult EncodeWorkbookFile(const TWorkbookData& data, std::string& file) {
    std::string stream;
    if (TWorkbookResult r = EncodeBiff5Stream(data, stream); !r.Ok)
        return r;
    return PackBookStream(stream, file);
}

TWorkbookResult DecodeWorkbookFile(std::string_view file, TWorkbookData& data) {
    std::string stream;
    if (TWorkbookResult r = ExtractWorkbookStream(file, stream); !r.Ok)
        return r;
    return DecodeBiffStream(stream, data);
}

std::string ShortestNumberText(double value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc())
        return "0";
    return std::string(buffer, end);
}

TWorkbook::TWorkbook() : Data_(NewWorkbookData()) {}

void TWorkbook::ClearSheet(std::size_t sheet) {
    if (sheet < Data_.Sheets.size())
        Data_.Sheets[sheet].Cells.clear();
}

bool TWorkbook::Put(std::size_t sheet, std::uint32_t col, std::uint32_t row, TCell cell) {
    if (sheet >= Data_.Sheets.size() || col >= MaxColumns || row >= MaxRowsRead ||
        cell.Format >= Data_.Formats.size())
        return false;
    Data_.Sheets[sheet].Cells[CellKey(row, col)] = std::move(cell);
    return true;
}

bool TWorkbook::PutText(std::size_t sheet, std::uint32_t col, std::uint32_t row,
                        std::string_view text, std::uint16_t format) {
    TCell cell;
    cell.Kind = TCellKind::Text;
    cell.Text = text;
    cell.Format = format;
    return Put(sheet, col, row, std::move(cell));
}

bool TWorkbook::PutNumber(std::size_t sheet, std::uint32_t col, std::uint32_t row, double value,
                          std::uint16_t format) {
    TCell cell;
    cell.Kind = TCellKind::Number;
    cell.Number = value;
    cell.Format = format;
    return Put(sheet, col, row, std::move(cell));
}

TWorkbookResult TWorkbook::Write() const {
    if (FileName_.empty())
        return TWorkbookResult::Failure("не задано имя файла книги");
    std::string file;
    if (TWorkbookResult r = EncodeWorkbookFile(Data_, file); !r.Ok)
        return r;
    std::string error;
    if (!WriteFileAtomically(FileName_, file, &error))
        return TWorkbookResult::Failure("не удалось записать файл \"" + FileName_ + "\": " + error);
    return {};
}

TWorkbookResult TWorkbook::Read(const std::string& path) {
    std::string file, error;
    if (!ReadWholeFile(path, file, &error, MaxWorkbookFileBytes))
        return TWorkbookResult::Failure("не удалось прочитать файл \"" + path + "\": " + error);
    if (TWorkbookResult r = DecodeWorkbookFile(file, Data_); !r.Ok)
        return TWorkbookResult::Failure("\"" + path + "\": " + r.Error);
    FileName_ = path;
    return {};
}

const TCell* TWorkbook::FindCell(std::size_t sheet, std::uint32_t col, std::uint32_t row) const {
    if (sheet >= Data_.Sheets.size() || col >= MaxColumns || row >= MaxRowsRead)
        return nullptr;
    const auto& cells = Data_.Sheets[sheet].Cells;
    auto it = cells.find(CellKey(row, col));
    return it == cells.end() ? nullptr : &it->second;
}

std::string TWorkbook::GetText(std::size_t sheet, std::uint32_t col, std::uint32_t row) const {
    const TCell* cell = FindCell(sheet, col, row);
    if (!cell)
        return {};
    return cell->Kind == TCellKind::Text ? cell->Text : ShortestNumberText(cell->Number);
}

double TWorkbook::GetNumber(std::size_t sheet, std::uint32_t col, std::uint32_t row) const {
    const TCell* cell = FindCell(sheet, col, row);
    return cell && cell->Kind == TCellKind::Number ? cell->Number : 0;
}

} // namespace virs
