#pragma once
// render --pdf: the view printed into a PDF file through the window's printing
// routine, without a display. Only builds with the windows (VIRS_GUI=ON).

#include <filesystem>
#include <string>
#include <vector>

namespace virs::cli {

// True when this build can print (it was built with Qt).
bool PdfPrintingAvailable();
// Prints `lines` into `file`; false (with a message on standard error) on failure.
bool PrintLinesToPdf(const std::filesystem::path& file, const std::vector<std::string>& lines);

} // namespace virs::cli
