#include "shell/ViewTabs.h"

#include "acquisition/DeviceViews.h"

namespace virs {

QStringList ViewTabsFor(TDeviceType type) {
    QStringList tabs;
    for (int view = 0; view < ViewTabCountOf(type); ++view)
        tabs << QString::fromUtf8(DeviceViewEntry(type, view).Caption);
    return tabs;
}

int RestoredTabIndex(int remembered, int tabCount) {
    if (tabCount <= 0)
        return -1;
    if (remembered < 0)
        return 0;
    return remembered < tabCount ? remembered : tabCount - 1;
}

} // namespace virs
