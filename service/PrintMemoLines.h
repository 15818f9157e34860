#pragma once
// Printing the text pane: one printed line per line of text, in a fixed-pitch
// font at a size that keeps the widest line on the paper, new pages as they
// fill. The same routine prints on the default printer and into a PDF file.

#include <filesystem>
#include <string>
#include <vector>

class QPrinter;

namespace virs {

inline constexpr const char* PrintErrorText = "Ошибка печати";

// The page set-up chosen for a text: portrait at 10 pt while the widest line
// fits, smaller down to 7 pt, and below that landscape at the size that fits
// (a ВИРС-Д2 archive line of 257 characters prints landscape at about 5 pt on A4).
struct TPrintLayout {
    bool Landscape = false;
    double PointSize = 10;
    int LinesPerPage = 0;
};

// Prints `lines` (UTF-8) on `printer`, choosing orientation and font size. The
// device is opened and closed also for an empty list (nothing is written then)
// and closed after an error. False on an output error.
bool PrintMemoLines(QPrinter& printer, const std::vector<std::string>& lines,
                    TPrintLayout* layout = nullptr);

// The same into a PDF file; needs a QGuiApplication (the offscreen platform
// will do).
bool PrintMemoLinesToPdf(const std::filesystem::path& file, const std::vector<std::string>& lines,
                         TPrintLayout* layout = nullptr);

} // namespace virs
