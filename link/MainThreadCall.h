#pragma once
// The synchronous call from the exchange thread into the main thread. The
// window realises it with its toolkit's blocking queued call; programs without
// an event loop (the command-line companion, tests) use TMainThreadQueue.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace virs {

class TMainThreadCall {
public:
    virtual ~TMainThreadCall() = default;
    // Runs `call` on the main thread and returns when it has returned.
    virtual void CallAndWait(std::function<void()> call) = 0;
};

// Calls queued by other threads and run by the main thread when it asks for them.
class TMainThreadQueue final : public TMainThreadCall {
public:
    void CallAndWait(std::function<void()> call) override;

    // Main thread: runs queued calls until `done` holds (checked after each
    // call and before waiting) or `timeout` passes. Returns `done()`.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Main thread: runs the calls queued now without waiting for more.
    void RunPending();

private:
    struct TCall {
        std::function<void()> Call;
        bool* Done;
    };
    bool RunOne(std::unique_lock<std::mutex>& lock);

    std::mutex Mutex;
    std::condition_variable Queued;
    std::condition_variable Finished;
    std::deque<TCall> Calls;
};

} // namespace virs
