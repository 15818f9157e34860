#pragma once
// Serial port numbers. The station database keeps a COM number; on Linux the
// number is mapped to a device node:
//   1. the alias folder (below) holds symlinks named COM1 … COM255 to any device
//      (the simulator registers its pseudo-terminal there);
//   2. otherwise COM1–COM32 are /dev/ttyS0–ttyS31, COM33–COM64 /dev/ttyUSB0–ttyUSB31,
//      COM65–COM96 /dev/ttyACM0–ttyACM31.
// The alias folder is $VIRS_PORTS_DIR when set, else $XDG_RUNTIME_DIR/virs-ports,
// else /tmp/virs-ports-<uid>.
//
// An alias decides where the meter line goes, so it is taken only from a folder
// that no one else can change: the folder must be a real directory (not a
// symlink) owned by the user and not writable by group or others, and the
// alias link itself must be owned by the user. An alias that fails the rule is
// ignored, the number maps as if there were no alias, and the lookup says why.

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace virs {

std::filesystem::path PortAliasFolder();

// Owner ids as the system counts them (uid_t on Linux).
using TUserId = unsigned;
// The effective user id of this process (0 on Windows, where no alias folder exists).
TUserId CurrentUserId();

// Why the alias folder cannot be trusted for `owner`, as a phrase for the
// operator ("это символическая ссылка, а не папка"); empty when it can be
// trusted or does not exist (no aliases then).
std::string AliasFolderDistrust(const std::filesystem::path& folder, TUserId owner);

// An alias ignored by a lookup: the folder and the text for the operator
// (Russian, with the folder's path). Empty Text: nothing was ignored.
struct TPortAliasNotice {
    std::filesystem::path Folder;
    std::string Text;
};

struct TComPortLookup {
    std::filesystem::path Path; // device path; empty when out of range or no device is left
    TPortAliasNotice Notice;
};
// COMn (n = 1..255) with the alias rule checked for `owner`.
TComPortLookup LookUpComPort(unsigned n, TUserId owner);
inline TComPortLookup LookUpComPort(unsigned n) {
    return LookUpComPort(n, CurrentUserId());
}
// Device path for COMn (n = 1..255); empty when n is out of range.
std::filesystem::path ComPortPath(unsigned n);

// The notices the operator has been given in this run: one per folder.
class TPortAliasNotices {
public:
    // The notice's text the first time its folder comes up; empty after that
    // and for an empty notice.
    std::string FirstTime(const TPortAliasNotice& notice);

private:
    std::set<std::filesystem::path> Told;
};

} // namespace virs

namespace virs {

// One serial port present on the system, for the port pick list ("COMn description").
struct TSerialPortInfo {
    unsigned Number = 0;     // n of COMn
    std::string Description; // on Linux the device path and, where sysfs has it, the driver/product
};
// Ports present now, in ascending number order (aliases included when the
// alias rule above trusts them).
std::vector<TSerialPortInfo> EnumerateSerialPorts();

} // namespace virs
