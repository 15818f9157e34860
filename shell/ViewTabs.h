#pragma once
// The view tabs of a device type and the tab chosen when the list is rebuilt.

#include <QStringList>

#include "model/Records.h"

namespace virs {

// Tab captions for a device type; empty for types without views (0, 1, 2).
QStringList ViewTabsFor(TDeviceType type);

// The tab selected after the list is rebuilt: the remembered index when the new
// list is long enough, the last tab when it is not, 0 when none was selected.
// -1 when the new list is empty.
int RestoredTabIndex(int remembered, int tabCount);

} // namespace virs
