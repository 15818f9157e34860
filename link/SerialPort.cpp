#include "link/SerialPort.h"

#include <chrono>
#include <thread>

#include "link/PortNames.h"

namespace virs {

void ISerialPort::Sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

TPortOpenResult OpenComPort(unsigned comNumber) {
    std::filesystem::path path = ComPortPath(comNumber);
    if (path.empty())
        return {nullptr, "COM" + std::to_string(comNumber) + ": номер порта вне диапазона 1-255"};
    return OpenSerialPort(path);
}

} // namespace virs
