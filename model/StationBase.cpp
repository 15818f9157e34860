#include "model/StationBase.h"

#include <algorithm>
#include <utility>

namespace virs {

const char* ModelStatusText(TModelStatus status) {
    switch (status) {
    case TModelStatus::Ok:
        return "";
    case TModelStatus::TooManyNodes:
        return "В базе уже 255 узлов — больше добавить нельзя.";
    case TModelStatus::TooManyDevices:
        return "В узле уже 255 приборов — больше добавить нельзя.";
    case TModelStatus::TooManyTreeItems:
        return "В дереве уже 256 элементов (узлов и приборов) — больше добавить нельзя.";
    case TModelStatus::NoFreeParamSlot:
        return "Все поля для параметров заняты.";
    case TModelStatus::BadIndex:
        return "Нет такого узла или прибора.";
    }
    return "";
}

const TDevice* StationBase::Device(int node, int device) const {
    if (node < 0 || node >= NodeCount() || device < 0 || device == NoDevice ||
        device >= DeviceCount(node))
        return nullptr;
    return &Devices[node][device];
}

TDevice* StationBase::Device(int node, int device) {
    return const_cast<TDevice*>(std::as_const(*this).Device(node, device));
}

int StationBase::TotalDevices() const {
    int n = 0;
    for (const auto& devices : Devices)
        n += static_cast<int>(devices.size());
    return n;
}

int StationBase::TreeItemCount() const {
    return NodeCount() + TotalDevices();
}

int StationBase::TreePosition(int node, int device) const {
    int position = 0;
    for (int j = 0; j < node && j < NodeCount(); ++j)
        position += Nodes[j].DeviceCount + 1;
    if (device != NoDevice)
        position += device + 1;
    return position;
}

bool StationBase::ItemAt(int position, int& node, int& device) const {
    int start = 0;
    for (int k = 0; k < NodeCount(); ++k) {
        int count = DeviceCount(k);
        if (position == start) {
            node = k;
            device = NoDevice;
            return true;
        }
        if (position <= start + count) {
            node = k;
            device = position - start - 1;
            return true;
        }
        start += count + 1;
    }
    return false;
}

u8 StationBase::LowestFreeNetAddress(int node) const {
    const auto& devices = Devices[node];
    for (int j = 1; j <= 255; ++j) {
        bool taken = std::any_of(devices.begin(), devices.end(),
                                 [j](const TDevice& d) { return d.NetAddress == j; });
        // The new, zero-filled device holds number 0, so it never takes j >= 1.
        if (!taken)
            return static_cast<u8>(j);
    }
    return 0; // every number 1..255 taken: only possible with 255 devices, which is refused
}

TModelStatus StationBase::InsertNode(int p) {
    if (NodeCount() >= MaxNodes)
        return TModelStatus::TooManyNodes;
    if (TreeItemCount() >= MaxTreeItems)
        return TModelStatus::TooManyTreeItems;
    if (p < 0 || p > NodeCount())
        return TModelStatus::BadIndex;
    Nodes.insert(Nodes.begin() + p, NewNodeRecord());
    Devices.insert(Devices.begin() + p, std::vector<TDevice>{});
    SelNode = static_cast<u8>(p);
    SelDevice = NoDevice;
    return TModelStatus::Ok;
}

TModelStatus StationBase::DeleteNode(int p) {
    if (p < 0 || p >= NodeCount())
        return TModelStatus::BadIndex;
    Nodes.erase(Nodes.begin() + p);
    Devices.erase(Devices.begin() + p);
    return TModelStatus::Ok;
}

TModelStatus StationBase::InsertDevice(int q) {
    const int k = SelNode;
    if (k >= NodeCount())
        return TModelStatus::BadIndex;
    if (DeviceCount(k) >= MaxDevicesPerNode)
        return TModelStatus::TooManyDevices;
    if (TreeItemCount() >= MaxTreeItems)
        return TModelStatus::TooManyTreeItems;
    if (q < 0 || q > DeviceCount(k))
        return TModelStatus::BadIndex;
    TDevice device = NewDeviceRecord();
    device.NetAddress = LowestFreeNetAddress(k);
    Devices[k].insert(Devices[k].begin() + q, device);
    Nodes[k].DeviceCount = static_cast<u8>(Devices[k].size());
    SelDevice = static_cast<u8>(q);
    return TModelStatus::Ok;
}

TModelStatus StationBase::DeleteDevice(int node, int q) {
    if (node < 0 || node >= NodeCount() || q < 0 || q >= DeviceCount(node))
        return TModelStatus::BadIndex;
    Devices[node].erase(Devices[node].begin() + q);
    Nodes[node].DeviceCount = static_cast<u8>(Devices[node].size());
    return TModelStatus::Ok;
}

TModelStatus StationBase::CloneDevice() {
    const int k = SelNode;
    const int q = SelDevice;
    if (k >= NodeCount() || q == NoDevice || q >= DeviceCount(k))
        return TModelStatus::BadIndex;
    if (DeviceCount(k) >= MaxDevicesPerNode)
        return TModelStatus::TooManyDevices;
    if (TreeItemCount() >= MaxTreeItems)
        return TModelStatus::TooManyTreeItems;
    const TDevice copy = Devices[k][q];
    Devices[k].insert(Devices[k].begin() + q + 1, copy);
    Nodes[k].DeviceCount = static_cast<u8>(Devices[k].size());
    SelDevice = static_cast<u8>(q + 1);
    return TModelStatus::Ok;
}

TModelStatus StationBase::MoveNode(int from, int to) {
    if (from < 0 || from >= NodeCount() || to < 0 || to >= NodeCount())
        return TModelStatus::BadIndex;
    if (from != to) {
        TNode node = Nodes[from];
        std::vector<TDevice> devices = std::move(Devices[from]);
        Nodes.erase(Nodes.begin() + from);
        Devices.erase(Devices.begin() + from);
        Nodes.insert(Nodes.begin() + to, node);
        Devices.insert(Devices.begin() + to, std::move(devices));
    }
    SelNode = static_cast<u8>(to);
    SelDevice = NoDevice;
    return TModelStatus::Ok;
}

TModelStatus StationBase::MoveDevice(int fromNode, int from, int toNode, int to) {
    if (fromNode < 0 || fromNode >= NodeCount() || toNode < 0 || toNode >= NodeCount() ||
        from < 0 || from >= DeviceCount(fromNode))
        return TModelStatus::BadIndex;
    if (fromNode == toNode) {
        if (to < 0 || to >= DeviceCount(toNode))
            return TModelStatus::BadIndex;
        if (from != to) {
            TDevice device = Devices[fromNode][from];
            Devices[fromNode].erase(Devices[fromNode].begin() + from);
            Devices[toNode].insert(Devices[toNode].begin() + to, device);
        }
    } else {
        if (to < 0 || to > DeviceCount(toNode))
            return TModelStatus::BadIndex;
        if (DeviceCount(toNode) >= MaxDevicesPerNode)
            return TModelStatus::TooManyDevices;
        TDevice device = Devices[fromNode][from];
        Devices[fromNode].erase(Devices[fromNode].begin() + from);
        Nodes[fromNode].DeviceCount = static_cast<u8>(Devices[fromNode].size());
        Devices[toNode].insert(Devices[toNode].begin() + to, device);
        Nodes[toNode].DeviceCount = static_cast<u8>(Devices[toNode].size());
    }
    SelNode = static_cast<u8>(toNode);
    SelDevice = static_cast<u8>(to);
    return TModelStatus::Ok;
}

TParamSlot* StationBase::ParamSlots(int node, int device, int* count) {
    if (node < 0 || node >= NodeCount())
        return nullptr;
    if (device == NoDevice) {
        *count = NodeParamSlots;
        return Nodes[node].Params;
    }
    if (device < 0 || device >= DeviceCount(node))
        return nullptr;
    *count = DeviceParamSlots;
    return Devices[node][device].Params;
}

TModelStatus StationBase::AddParam(int* slot) {
    int count = 0;
    TParamSlot* slots = ParamSlots(SelNode, SelDevice, &count);
    if (!slots)
        return TModelStatus::BadIndex;
    for (int i = 0; i < count; ++i) {
        if (slots[i].Used != 0)
            continue;
        // The texts are assigned as short strings, so bytes behind them stay.
        const TParamSlot fresh = NewParamSlot();
        slots[i].Label.SetRaw(fresh.Label.Raw());
        slots[i].Caption.SetRaw(fresh.Caption.Raw());
        slots[i].Value.SetRaw(fresh.Value.Raw());
        slots[i].LabelEditable = 1;
        slots[i].Used = 1;
        if (slot)
            *slot = i;
        return TModelStatus::Ok;
    }
    return TModelStatus::NoFreeParamSlot;
}

TModelStatus StationBase::RemoveParam(int slot) {
    int count = 0;
    TParamSlot* slots = ParamSlots(SelNode, SelDevice, &count);
    if (!slots || slot < 0 || slot >= count)
        return TModelStatus::BadIndex;
    slots[slot].Used = 0;
    return TModelStatus::Ok;
}

} // namespace virs
