#pragma once
// Workbooks of every kind the archive export writes, for the tests that hand
// them to independent readers.

#include <string>
#include <vector>

#include "workbook/Workbook.h"

namespace virs::test {

struct TSampleBook {
    std::string Name; // file name stem
    TWorkbook Book;   // contents as written
};

// An archive-like sheet: title rows, header row and `rows` data rows using all
// eight archive formats raised by `formatBase` (0 or 16), Cyrillic texts included.
void FillArchiveSheet(TWorkbook& book, std::size_t sheet, std::uint16_t formatBase,
                      std::uint32_t rows);

// The kinds: an empty workbook, a small one (record stream under 4 096 bytes),
// a large one with all three sheets, one written with FormatBase 16, and one that
// was read back and had one sheet rewritten.
std::vector<TSampleBook> MakeSampleBooks(const std::string& dir);

} // namespace virs::test
