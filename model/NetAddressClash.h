#pragma once
// Devices of one node share one line: two of them with the same network number
// would both answer every request sent to that number. A move to another node
// or a clone can bring such a pair about; the window warns, it does not refuse.

#include <vector>

#include "model/StationBase.h"

namespace virs {

// One network number used by more than one read device of a node.
struct TNetAddressClash {
    u8 NetAddress = 0;
    std::vector<int> Devices; // device indices, in tree order (two or more)
};

// Every clash of `node`, in order of the first device of each. Devices of type
// "прибор отключен" are never asked and take no part. Empty for a node that
// does not exist.
std::vector<TNetAddressClash> NetAddressClashes(const StationBase& base, int node);

// The other read devices of `node` that share `device`'s network number (empty
// when there are none, or when the device itself is never read).
std::vector<int> DevicesSharingNetAddress(const StationBase& base, int node, int device);

} // namespace virs
