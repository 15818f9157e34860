#include "service/ServicePort.h"

#include <cctype>

namespace virs {

std::string PortNameOfItem(const std::string& itemText) {
    const std::size_t blank = itemText.find(' ');
    return blank == std::string::npos ? itemText : itemText.substr(0, blank);
}

TPortOpenResult OpenServicePort(const std::string& portName) {
    // "COM" and a number 1..255 goes through the alias folder and the device
    // mapping; everything else is a path.
    if (portName.size() > 3 && portName.size() <= 6 && portName.compare(0, 3, "COM") == 0) {
        unsigned n = 0;
        bool digits = true;
        for (std::size_t i = 3; i < portName.size(); ++i) {
            if (!std::isdigit(static_cast<unsigned char>(portName[i]))) {
                digits = false;
                break;
            }
            n = n * 10 + static_cast<unsigned>(portName[i] - '0');
        }
        if (digits && n >= 1 && n <= 255)
            return OpenComPort(n);
    }
    return OpenSerialPort(portName);
}

} // namespace virs
