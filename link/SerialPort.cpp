#include "link/SerialPort.h"

#include <chrono>
#include <thread>

#include "link/PortNames.h"

namespace virs {

void TSerialPort::Sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

TPortOpenResult OpenComPort(unsigned comNumber) {
    const std::string name = "COM" + std::to_string(comNumber);
    if (comNumber < 1 || comNumber > 255)
        return {nullptr, name + ": номер порта вне диапазона 1-255"};
    TComPortLookup lookup = LookUpComPort(comNumber);
    TPortOpenResult r = lookup.Path.empty() ? TPortOpenResult{nullptr, name + ": устройства нет"}
                                            : OpenSerialPort(lookup.Path);
    r.AliasNotice = std::move(lookup.Notice);
    return r;
}

} // namespace virs
