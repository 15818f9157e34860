#include "model/NetAddressClash.h"

#include <array>

namespace virs {

std::vector<TNetAddressClash> NetAddressClashes(const StationBase& base, int node) {
    std::vector<TNetAddressClash> clashes;
    if (node < 0 || node >= base.NodeCount())
        return clashes;
    // Devices per network number, in tree order; numbers in order of first use.
    std::array<std::vector<int>, 256> byAddress;
    std::vector<u8> firstSeen;
    const std::vector<TDevice>& devices = base.Devices[node];
    for (int d = 0; d < static_cast<int>(devices.size()); ++d) {
        if (devices[d].DeviceType == DeviceOff)
            continue;
        std::vector<int>& users = byAddress[devices[d].NetAddress];
        if (users.empty())
            firstSeen.push_back(devices[d].NetAddress);
        users.push_back(d);
    }
    for (u8 address : firstSeen)
        if (byAddress[address].size() > 1)
            clashes.push_back({address, std::move(byAddress[address])});
    return clashes;
}

std::vector<int> DevicesSharingNetAddress(const StationBase& base, int node, int device) {
    std::vector<int> others;
    const TDevice* own = base.Device(node, device);
    if (!own || own->DeviceType == DeviceOff)
        return others;
    const std::vector<TDevice>& devices = base.Devices[node];
    for (int d = 0; d < static_cast<int>(devices.size()); ++d)
        if (d != device && devices[d].DeviceType != DeviceOff &&
            devices[d].NetAddress == own->NetAddress)
            others.push_back(d);
    return others;
}

} // namespace virs
