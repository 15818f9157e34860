#pragma once
// The archive tabs of the text pane: the device's archive workbook read back
// and shown as a fixed-width table (daily, hourly and, for ВИРС-Д / ВИРС-ДК,
// monthly). The view keeps nothing: it reads the file on every rendering.

#include <filesystem>
#include <functional>
#include <string>

#include "views/DeviceView.h"
#include "workbook/Workbook.h"

namespace virs {

inline constexpr const char* ArchiveReadingText = "Читаю архив...";

// Status bar panel 2: set to "Читаю архив..." (with a repaint) while the file
// is read, and cleared afterwards.
using TArchiveStatus = std::function<void(const std::string& text)>;

// Appends the archive view `tabIndex` (1 daily, 2 hourly, 3 monthly) of `device`
// to `lines`, reading the workbook named by its ArchiveFile (a bare name is in
// `folder`) into `workbook`. Without an existing file nothing is added and the
// status is left alone.
void RenderArchiveView(TWorkbook& workbook, const std::filesystem::path& folder,
                       const TDevice& device, int tabIndex, const TViewLocale& locale,
                       TViewLines& lines, const TArchiveStatus& status = {});

// The same from a workbook already in memory (no file, no status).
void ArchiveViewLines(const TWorkbook& workbook, TDeviceType type, int tabIndex,
                      const TViewLocale& locale, TViewLines& lines);

} // namespace virs
