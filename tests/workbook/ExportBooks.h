#pragma once
// Workbooks written by the archive export itself, one per device family and
// archive kind, a reused workbook among them, for the independent readers.

#include <string>
#include <vector>

#include "tests/workbook/SampleBooks.h"

namespace virs::test {

std::vector<TSampleBook> MakeExportBooks(const std::string& dir);

} // namespace virs::test
