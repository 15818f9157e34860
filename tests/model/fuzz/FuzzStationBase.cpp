// Fuzz target: any byte string parsed as base.dat must give a consistent model
// whose image has exactly the size its counts announce, and whose texts convert.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "model/StationBase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    virs::StationBase base;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const virs::TLoadOutcome outcome = virs::ParseStationBaseImage(bytes, base);
    if (base.Nodes.size() != base.Devices.size())
        std::abort();
    for (int k = 0; k < base.NodeCount(); ++k) {
        if (base.Nodes[k].DeviceCount != base.Devices[k].size())
            std::abort();
        (void)base.Nodes[k].NameSlot.Value.Get();
        for (const virs::TDevice& d : base.Devices[k])
            (void)d.NameSlot.Value.Get();
    }
    const std::string image = virs::StationBaseImage(base);
    if (outcome == virs::TLoadOutcome::Loaded && image.substr(1) != bytes.substr(1))
        std::abort(); // a whole file must come back byte for byte
    int node = 0, device = 0;
    for (int p = 0; p < base.TreeItemCount(); ++p)
        if (!base.ItemAt(p, node, device) || base.TreePosition(node, device) != p)
            std::abort();
    return 0;
}
