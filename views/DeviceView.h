#pragma once
// The text pane of the main window: one routine rebuilds the whole text of the
// selected device for the chosen view tab. It is a function of the device record
// and the work area; it keeps no state. The caller puts the lines into the pane
// (one bulk update) when the result says so.

#include <functional>
#include <string>
#include <vector>

#include "acquisition/WorkArea.h"
#include "model/Records.h"
#include "views/ViewLocale.h"

namespace virs {

using TViewLines = std::vector<std::string>; // UTF-8, one entry per line of the pane

// The archive tabs (daily, hourly and, for ВИРС-Д / ВИРС-ДК, monthly) read the
// device's archive workbook; the window binds this to its workbook and status
// bar. It appends the lines of the archive view for `tabIndex` to `lines` (the
// pane is already empty). Left empty, archive tabs show an empty pane.
using TArchiveViewRenderer = std::function<void(const TDevice& device, int tabIndex,
                                                const TViewLocale& locale, TViewLines& lines)>;

struct TDeviceViewText {
    // False for a tab index outside 0..4 (no tab selected): the pane keeps the
    // text it has and nothing else below applies.
    bool Replaced = false;
    TViewLines Lines;
    // The settings listing of ВИРС-Д / ВИРС-ДК ends by clearing status bar
    // panel 2; the caller does that when this is set.
    bool ClearStatusText = false;
};

// Renders view `tabIndex` of `device`. The current view (index 0) of a ВИРС-Ш,
// ВИРС-Д, ВИРС-ДК or ВИРС-Д2 first loads the device's stored image into the work
// area (LoadDeviceImage); the settings views read the work area as it stands.
TDeviceViewText RenderDeviceView(int tabIndex, const TDevice& device, DeviceWorkArea& workArea,
                                 const TViewLocale& locale,
                                 const TArchiveViewRenderer& archiveView = {});

// The identification lines alone (name, "прибор: ", "сетевой номер: ").
TViewLines DeviceIdentificationLines(const TDevice& device);

} // namespace virs
