#include "shell/ViewTabs.h"

#include "shell/ShellTexts.h"

namespace virs {

QStringList ViewTabsFor(TDeviceType type) {
    using namespace texts;
    switch (type) {
    case DeviceVirsSh:
        return {TabCurrent, TabDaily, TabHourly};
    case DeviceVirsD:
    case DeviceVirsDK:
        return {TabCurrent, TabDaily, TabHourly, TabMonthly, TabParameters};
    case DeviceVirsD2:
        return {TabCurrent, TabDaily, TabHourly, TabParameters};
    default:
        return {};
    }
}

int RestoredTabIndex(int remembered, int tabCount) {
    if (tabCount <= 0)
        return -1;
    if (remembered < 0)
        return 0;
    return remembered < tabCount ? remembered : tabCount - 1;
}

} // namespace virs
