// ports: the serial ports present on this machine, as the port pick lists of
// the window show them ("COMn  description").

#include <cstdio>

#include "cli/Commands.h"
#include "link/PortNames.h"

namespace virs::cli {

int CmdPorts(const Args& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "Использование: virs-cli ports\n");
        return 2;
    }
    for (const TSerialPortInfo& port : EnumerateSerialPorts())
        std::printf("COM%u  %s\n", port.Number, port.Description.c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace virs::cli
