#pragma once
// The OLE2 compound file that holds a workbook's record stream, through libgsf.

#include <string>
#include <string_view>

#include "workbook/Workbook.h"

namespace virs {

// A compound file with one stream "Book" holding `stream`.
TWorkbookResult PackBookStream(std::string_view stream, std::string& file);

// The workbook stream of a compound file: "Workbook" (Excel 97 and later) when
// present, otherwise "Book". A file that is itself a bare record stream (it
// starts with a BOF record) is returned as it is.
TWorkbookResult ExtractWorkbookStream(std::string_view file, std::string& stream);

} // namespace virs
