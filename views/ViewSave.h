#pragma once
// Saving what the text pane shows: the lines as a Windows-1251 text file with
// CR LF after every line, or a copy of the device's archive workbook. Both
// replace the target in one step (a unique temporary file created beside it,
// flushed, then renamed over it), so a failed save never leaves half a file.
// Failures come back as the Russian message the operator is shown.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace virs {

// The save dialog's filter: 1 text file, 2 Excel workbook.
inline constexpr const char* SaveDialogFilter = "текстовый файл|*.txt|файл Microsoft Excel|*.xls";
inline constexpr int SaveFilterText = 1, SaveFilterWorkbook = 2;

// The chosen name with its extension replaced by the filter's (".txt" for 1,
// ".xls" for 2), or the extension added when there is none.
std::filesystem::path SaveNameForFilter(const std::filesystem::path& chosen, int filter);

// The file image of the lines: Windows-1251, each line followed by CR LF.
std::string ViewTextFileBytes(const std::vector<std::string>& lines);

struct TSaveOutcome {
    bool Ok = false;
    std::string Message; // for the operator when !Ok
};

TSaveOutcome SaveViewText(const std::filesystem::path& target,
                          const std::vector<std::string>& lines);

// Copies the archive workbook `archiveFile` (the device's ArchiveFile, UTF-8,
// relative names taken from `folder`) to `target`.
TSaveOutcome CopyArchiveWorkbook(const std::filesystem::path& folder,
                                 const std::string& archiveFile,
                                 const std::filesystem::path& target);

} // namespace virs
