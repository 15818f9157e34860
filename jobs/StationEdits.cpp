#include "jobs/StationEdits.h"

namespace virs {

namespace {

TEditOutcome FromModel(TModelStatus status) {
    TEditOutcome r;
    r.Done = status == TModelStatus::Ok;
    if (!r.Done)
        r.Refusal = ModelStatusText(status);
    return r;
}

TEditOutcome Refused(const char* text) {
    return {false, text};
}

// The station stands still while the connection is being made or closed.
bool LinkBusy(const TProgramState& s) {
    return s.LinkPhase == TLinkPhase::Connecting || s.LinkPhase == TLinkPhase::Closing;
}

// The connection holds a node from the press of the button to the end of its close.
bool HoldsNode(const TProgramState& s) {
    return s.LinkOpen || s.LinkPhase != TLinkPhase::Idle;
}

// A node index after a node was inserted at p (+1) or deleted at p (-1).
void ShiftNode(u8& index, int p, int by) {
    if ((by > 0 && p <= index) || (by < 0 && p < index))
        index = static_cast<u8>(index + by);
}

// Identities for nodes the edits here have not seen yet (the loaded base);
// a node count that shrank without them drops the tail.
void SyncNodeKeys(TProgramState& s) {
    const auto count = static_cast<std::size_t>(s.Base.NodeCount());
    while (s.NodeKeys.size() < count)
        s.NodeKeys.push_back(s.NextNodeKey++);
    s.NodeKeys.resize(count);
}

} // namespace

u32 NodeKeyOf(TProgramState& s, int node) {
    SyncNodeKeys(s);
    return node >= 0 && node < s.Base.NodeCount() ? s.NodeKeys[node] : 0;
}

int NodeWithKey(TProgramState& s, u32 key) {
    SyncNodeKeys(s);
    for (std::size_t k = 0; key != 0 && k < s.NodeKeys.size(); ++k)
        if (s.NodeKeys[k] == key)
            return static_cast<int>(k);
    return -1;
}

int IndexAfterMove(int index, int from, int to) {
    if (index == from)
        return to;
    if (from < to && index > from && index <= to)
        return index - 1;
    if (to < from && index >= to && index < from)
        return index + 1;
    return index;
}

TEditOutcome InsertNodeAt(TProgramState& s, int p) {
    if (LinkBusy(s))
        return Refused(RefuseWhileLinkBusy);
    SyncNodeKeys(s);
    const TEditOutcome r = FromModel(s.Base.InsertNode(p));
    if (r.Done) {
        s.NodeKeys.insert(s.NodeKeys.begin() + p, s.NextNodeKey++);
        if (HoldsNode(s))
            ShiftNode(s.LinkNode, p, +1);
        ShiftNode(s.JobNode, p, +1);
    }
    return r;
}

TEditOutcome InsertDeviceAt(TProgramState& s, int node, int q) {
    if (LinkBusy(s))
        return Refused(RefuseWhileLinkBusy);
    s.Base.SelNode = static_cast<u8>(node);
    const TEditOutcome r = FromModel(s.Base.InsertDevice(q));
    if (r.Done && node == s.JobNode && q <= s.JobDevice)
        ++s.JobDevice;
    return r;
}

TEditOutcome CloneDeviceAt(TProgramState& s, int node, int device) {
    if (LinkBusy(s))
        return Refused(RefuseWhileLinkBusy);
    s.Base.SelNode = static_cast<u8>(node);
    s.Base.SelDevice = static_cast<u8>(device);
    const TEditOutcome r = FromModel(s.Base.CloneDevice());
    if (r.Done && node == s.JobNode && device + 1 <= s.JobDevice)
        ++s.JobDevice;
    return r;
}

TEditOutcome DeleteItem(TProgramState& s, int node, int device, bool jobActive) {
    if (LinkBusy(s))
        return Refused(RefuseWhileLinkBusy);
    if (jobActive || s.JobRunning)
        return Refused(RefuseWhilePolling);
    const bool isNode = device == NoDevice;
    if (isNode && HoldsNode(s) && node == s.LinkNode)
        return Refused(RefuseDeleteLinkNode);
    SyncNodeKeys(s);
    const TEditOutcome r =
        FromModel(isNode ? s.Base.DeleteNode(node) : s.Base.DeleteDevice(node, device));
    if (!r.Done)
        return r;
    if (isNode) {
        s.NodeKeys.erase(s.NodeKeys.begin() + node);
        if (HoldsNode(s))
            ShiftNode(s.LinkNode, node, -1);
        ShiftNode(s.JobNode, node, -1);
    } else if (node == s.JobNode && device < s.JobDevice) {
        --s.JobDevice;
    }
    return r;
}

TEditOutcome MoveItem(TProgramState& s, int fromNode, int from, int toNode, int toIndex,
                      bool jobActive) {
    if (LinkBusy(s))
        return Refused(RefuseWhileLinkBusy);
    if (jobActive || s.JobRunning)
        return Refused(RefuseWhilePolling);
    const bool deviceMove = from != NoDevice;
    if (!deviceMove && HoldsNode(s) && fromNode == s.LinkNode)
        return Refused(RefuseMoveLinkNode);
    SyncNodeKeys(s);
    const TEditOutcome r = FromModel(deviceMove ? s.Base.MoveDevice(fromNode, from, toNode, toIndex)
                                                : s.Base.MoveNode(fromNode, toIndex));
    if (!r.Done)
        return r;
    if (!deviceMove) {
        const u32 key = s.NodeKeys[fromNode];
        s.NodeKeys.erase(s.NodeKeys.begin() + fromNode);
        s.NodeKeys.insert(s.NodeKeys.begin() + toIndex, key);
        if (HoldsNode(s))
            s.LinkNode = static_cast<u8>(IndexAfterMove(s.LinkNode, fromNode, toIndex));
        s.JobNode = static_cast<u8>(IndexAfterMove(s.JobNode, fromNode, toIndex));
    } else if (fromNode == toNode && fromNode == s.JobNode) {
        s.JobDevice = static_cast<u8>(IndexAfterMove(s.JobDevice, from, toIndex));
    } else if (fromNode == s.JobNode && from == s.JobDevice) {
        s.JobNode = static_cast<u8>(toNode);
        s.JobDevice = static_cast<u8>(toIndex);
    } else if (fromNode == s.JobNode && from < s.JobDevice) {
        --s.JobDevice;
    } else if (toNode == s.JobNode && toIndex <= s.JobDevice) {
        ++s.JobDevice;
    }
    return r;
}

} // namespace virs
