#pragma once
// What the exchange thread tells a watcher about the frames it moves: every
// request it sends and every answer it reads, with the time, the request the
// frame belongs to and, for an answer, the attempt's result. The thread hands
// each frame over without waiting for anybody: TFrameQueue is a bounded ring
// that the watcher (the window's traffic monitor) empties on its own clock; a
// frame that finds the ring full is counted as dropped, never waited for.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/ModbusFrame.h"

namespace virs {

enum class TFrameDirection : std::uint8_t { Out, In };

// The request a frame belongs to, as the exchange built it.
struct TFrameRequest {
    std::uint8_t Slave = 0;
    std::uint8_t Function = 0;
    std::uint16_t Start = 0; // function 67: the archive record index
    std::uint16_t Count = 0;
    std::uint16_t ExpectedLength = 0; // of the answer
};

struct TFrameEvent {
    std::int64_t TimeMs = 0; // system clock, milliseconds since 1970-01-01 UTC
    TFrameDirection Direction = TFrameDirection::Out;
    std::uint8_t Attempt = 1; // 1 for the first attempt of the request
    // An answer: the attempt's result (ResultTimeout when nothing came).
    TExchangeResult Result = ResultSuccess;
    TFrameRequest Request;
    std::uint16_t Length = 0; // bytes as sent or as read, before any clean-up
    std::uint8_t Bytes[ModbusFrameSize] = {};
};

// Told of every frame by the exchange thread, on that thread: must return at
// once and never block.
class TExchangeObserver {
public:
    virtual ~TExchangeObserver() = default;
    virtual void OnFrame(const TFrameEvent& frame) noexcept = 0;
};

// A ring of frames filled by one exchange thread at a time and emptied by one
// other thread, without a lock: each side moves only its own position.
class TFrameQueue final : public TExchangeObserver {
public:
    explicit TFrameQueue(std::size_t capacity = 4096);

    void OnFrame(const TFrameEvent& frame) noexcept override;
    // The consumer: appends the frames waiting (oldest first) to `out` and
    // returns how many.
    std::size_t Drain(std::vector<TFrameEvent>& out);
    // Frames that found the ring full since it was made.
    std::uint64_t Dropped() const { return DroppedCount.load(std::memory_order_relaxed); }
    std::size_t Capacity() const { return Ring.size(); }

private:
    std::vector<TFrameEvent> Ring;
    std::atomic<std::uint64_t> Head{0}; // next to take (consumer)
    std::atomic<std::uint64_t> Tail{0}; // next to fill (producer)
    std::atomic<std::uint64_t> DroppedCount{0};
};

} // namespace virs
