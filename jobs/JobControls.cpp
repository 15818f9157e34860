#include "jobs/JobControls.h"

namespace virs {

bool CyclicEnabledAfterJob(const TProgramState& state, bool cyclicDown) {
    const StationBase& base = state.Base;
    const int node = base.SelNode;
    const int device = base.SelDevice;
    const TDevice* selected = base.Device(node, device);
    if (selected == nullptr)
        return false;
    if (cyclicDown)
        return node == state.JobNode && device == state.JobDevice &&
               selected->DeviceType != DeviceOff;
    return state.LinkOpen && node == state.LinkNode && selected->DeviceType != DeviceOff;
}

TJobButtons ButtonsAfterJob(const TProgramState& state, bool cyclicDown) {
    TJobButtons b;
    b.StartDown = false;
    b.CyclicEnabled = CyclicEnabledAfterJob(state, cyclicDown);
    b.StartEnabled = b.CyclicEnabled && !cyclicDown;
    return b;
}

TJobButtons PollButtons(const TProgramState& state, const TButtonFacts& facts) {
    TJobButtons b;
    b.StartDown = facts.StartDown;
    const StationBase& base = state.Base;
    const TDevice* device = base.Device(base.SelNode, base.SelDevice);
    if (!state.LinkOpen || !facts.HaveLink || device == nullptr)
        return b;
    const bool ownJob = base.SelNode == state.JobNode && base.SelDevice == state.JobDevice;
    if (facts.CyclicDown)
        b.CyclicEnabled = ownJob && device->DeviceType != DeviceOff;
    else
        b.CyclicEnabled =
            base.SelNode == state.LinkNode && device->DeviceType != DeviceOff && facts.WorkerParked;
    b.StartEnabled = (b.CyclicEnabled && !facts.CyclicDown) || (facts.StartDown && ownJob);
    return b;
}

} // namespace virs
