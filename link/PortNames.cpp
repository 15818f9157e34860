#include "link/PortNames.h"

#include <cstdlib>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace virs {

std::filesystem::path PortAliasFolder() {
    if (const char* dir = std::getenv("VIRS_PORTS_DIR"); dir && *dir)
        return dir;
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run)
        return std::filesystem::path(run) / "virs-ports";
#ifdef _WIN32
    return {};
#else
    return std::filesystem::path("/tmp") / ("virs-ports-" + std::to_string(getuid()));
#endif
}

std::filesystem::path ComPortPath(unsigned n) {
    if (n < 1 || n > 255)
        return {};
#ifdef _WIN32
    return "\\\\.\\COM" + std::to_string(n);
#else
    std::error_code ec;
    std::filesystem::path alias = PortAliasFolder() / ("COM" + std::to_string(n));
    if (std::filesystem::exists(std::filesystem::symlink_status(alias, ec)))
        return alias;
    if (n <= 32)
        return "/dev/ttyS" + std::to_string(n - 1);
    if (n <= 64)
        return "/dev/ttyUSB" + std::to_string(n - 33);
    if (n <= 96)
        return "/dev/ttyACM" + std::to_string(n - 65);
    return alias;
#endif
}

} // namespace virs
