#include "link/FrameMonitor.h"

#include <algorithm>

namespace virs {

TFrameQueue::TFrameQueue(std::size_t capacity) : Ring(capacity == 0 ? 1 : capacity) {}

void TFrameQueue::OnFrame(const TFrameEvent& frame) noexcept {
    const std::uint64_t tail = Tail.load(std::memory_order_relaxed);
    const std::uint64_t head = Head.load(std::memory_order_acquire);
    if (tail - head >= Ring.size()) {
        DroppedCount.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    // Only the bytes of the frame are copied, not the whole buffer.
    TFrameEvent& slot = Ring[tail % Ring.size()];
    slot.TimeMs = frame.TimeMs;
    slot.Direction = frame.Direction;
    slot.Attempt = frame.Attempt;
    slot.Result = frame.Result;
    slot.Request = frame.Request;
    slot.Length = frame.Length <= ModbusFrameSize ? frame.Length : ModbusFrameSize;
    std::copy_n(frame.Bytes, slot.Length, slot.Bytes);
    Tail.store(tail + 1, std::memory_order_release);
}

std::size_t TFrameQueue::Drain(std::vector<TFrameEvent>& out) {
    const std::uint64_t head = Head.load(std::memory_order_relaxed);
    const std::uint64_t tail = Tail.load(std::memory_order_acquire);
    for (std::uint64_t i = head; i < tail; ++i)
        out.push_back(Ring[i % Ring.size()]);
    Head.store(tail, std::memory_order_release);
    return static_cast<std::size_t>(tail - head);
}

} // namespace virs
