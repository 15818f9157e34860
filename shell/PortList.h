#pragma once
// ListComPorts: fills a combo box with the serial ports present on the machine,
// one item "COMn description" per port, and selects the wanted port.

#include <functional>
#include <vector>

#include <QComboBox>

#include "link/PortNames.h"

namespace virs {

// Where the port list comes from; the port layer's enumeration unless a test
// puts its own list behind it.
using TPortSource = std::function<std::vector<TSerialPortInfo>()>;

// Selects the item of `wanted`; with wanted >= 256 the first item. With no
// matching port (and wanted below 256) nothing is selected.
void ListComPorts(QComboBox* combo, unsigned wanted, const TPortSource& source = {});

// The port number of an item text: from its 4th character up to the first
// blank, as a decimal number. False when that is not a number.
bool PortNumberOfItem(const QString& itemText, unsigned& number);

} // namespace virs
