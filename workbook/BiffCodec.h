#pragma once
// The BIFF record stream of a workbook: written as Excel 5 (BIFF5), read as
// Excel 5/95 (BIFF5/BIFF7) or Excel 97 and later (BIFF8).

#include <string>
#include <string_view>

#include "workbook/Workbook.h"

namespace virs {

// Index of the first cell XF record: XFs 0..14 are the style records a workbook
// starts with and 15 is the default cell format, so format index i is XF 16 + i.
inline constexpr std::uint16_t FirstCellXf = 16;

TWorkbookResult EncodeBiff5Stream(const TWorkbookData& data, std::string& stream);
TWorkbookResult DecodeBiffStream(std::string_view stream, TWorkbookData& data);

} // namespace virs
