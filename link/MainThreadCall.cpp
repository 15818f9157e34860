#include "link/MainThreadCall.h"

namespace virs {

void TMainThreadQueue::CallAndWait(std::function<void()> call) {
    std::unique_lock lock(Mutex);
    bool done = false;
    Calls.push_back({std::move(call), &done});
    // Notified without the lock held, so the main thread does not wake only
    // to block on it.
    lock.unlock();
    Queued.notify_all();
    lock.lock();
    Finished.wait(lock, [&] { return done; });
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
        TCall& Call;
        std::condition_variable& Finished;
        ~TRelease() {
            Lock.lock();
            *Call.Done = true;
            Lock.unlock();
            Finished.notify_all();
            Lock.lock();
        }
    } release{lock, c, Finished};
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
