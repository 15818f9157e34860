#include "link/MainThreadCall.h"

namespace virs {

void TMainThreadQueue::CallAndWait(std::function<void()> call) {
    bool done = false;
    {
        std::lock_guard lock(Mutex);
        Calls.push_back({std::move(call), &done});
    }
    // Notified without the lock held, so the main thread does not wake only
    // to block on it.
    Queued.notify_all();
    for (;;) {
        std::uint32_t seen = 0;
        {
            std::lock_guard lock(Mutex);
            if (done)
                return;
            seen = Finished.load();
        }
        Finished.wait(seen); // returns at once when a call has finished since
    }
}

bool TMainThreadQueue::RunOne(std::unique_lock<std::mutex>& lock) {
    if (Calls.empty())
        return false;
    TCall c = std::move(Calls.front());
    Calls.pop_front();
    lock.unlock();
    // The caller is released even when the call throws, and the exception
    // goes on to the main thread's own handling.
    struct TRelease {
        std::unique_lock<std::mutex>& Lock;
        bool* Done;
        std::atomic<std::uint32_t>& Finished;
        ~TRelease() {
            Lock.lock();
            *Done = true;
            Finished.fetch_add(1);
            Lock.unlock();
            Finished.notify_all();
            Lock.lock();
        }
    } release{lock, c.Done, Finished};
    c.Call();
    return true;
}

bool TMainThreadQueue::RunUntil(const std::function<bool()>& done,
                                std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(Mutex);
    for (;;) {
        while (RunOne(lock)) {
        }
        lock.unlock();
        bool finished = done();
        lock.lock();
        if (finished)
            return true;
        if (!Queued.wait_until(lock, deadline, [&] { return !Calls.empty(); }))
            return false;
    }
}

void TMainThreadQueue::RunPending() {
    std::unique_lock lock(Mutex);
    while (RunOne(lock)) {
    }
}

} // namespace virs
