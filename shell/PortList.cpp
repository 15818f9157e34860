#include "shell/PortList.h"

namespace virs {

void ListComPorts(QComboBox* combo, unsigned wanted, const TPortSource& source) {
    combo->clear();
    const std::vector<TSerialPortInfo> ports = source ? source() : EnumerateSerialPorts();
    for (const TSerialPortInfo& port : ports) {
        combo->addItem(
            QString("COM%1 %2").arg(port.Number).arg(QString::fromStdString(port.Description)));
        if (port.Number == wanted)
            combo->setCurrentIndex(combo->count() - 1);
    }
    if (wanted >= 256 && combo->count() > 0)
        combo->setCurrentIndex(0);
    else if (combo->count() > 0 && combo->currentIndex() >= 0) {
        unsigned shown = 0;
        if (!PortNumberOfItem(combo->currentText(), shown) || shown != wanted)
            combo->setCurrentIndex(-1); // a plain combo box selects its first item on its own
    }
}

bool PortNumberOfItem(const QString& itemText, unsigned& number) {
    const QString digits = itemText.mid(3).section(' ', 0, 0);
    bool ok = false;
    const uint value = digits.toUInt(&ok, 10);
    if (!ok || value == 0 || value > 255)
        return false;
    number = value;
    return true;
}

} // namespace virs
