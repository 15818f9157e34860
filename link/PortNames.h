#pragma once
// Serial port numbers. The station database keeps a COM number; on Linux the
// number is mapped to a device node:
//   1. the alias folder (below) holds symlinks named COM1 … COM255 to any device
//      (the simulator registers its pseudo-terminal there);
//   2. otherwise COM1–COM32 are /dev/ttyS0–ttyS31, COM33–COM64 /dev/ttyUSB0–ttyUSB31,
//      COM65–COM96 /dev/ttyACM0–ttyACM31.
// The alias folder is $VIRS_PORTS_DIR when set, else $XDG_RUNTIME_DIR/virs-ports,
// else /tmp/virs-ports-<uid>.

#include <filesystem>
#include <string>
#include <vector>

namespace virs {

std::filesystem::path PortAliasFolder();
// Device path for COMn (n = 1..255); empty when n is out of range.
std::filesystem::path ComPortPath(unsigned n);

} // namespace virs

namespace virs {

// One serial port present on the system, for the port pick list ("COMn description").
struct TSerialPortInfo {
    unsigned Number = 0;     // n of COMn
    std::string Description; // on Linux the device path and, where sysfs has it, the driver/product
};
// Ports present now, in ascending number order (aliases included).
std::vector<TSerialPortInfo> EnumerateSerialPorts();

} // namespace virs
