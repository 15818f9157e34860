#pragma once
// The exchange thread of a connected node: a Modbus RTU master that performs
// one job of the shared block per wake-up, then calls the completion handler on
// the main thread and waits for it. The handler either parks the worker (it
// then waits for the next Wake) or leaves a follow-on job in the block, which
// the worker performs at once.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "link/FrameMonitor.h"
#include "link/MainThreadCall.h"
#include "link/ModbusExchange.h"
#include "link/ProtocolLog.h"
#include "link/SerialPort.h"

namespace virs {

class ExchangeWorker;

// Runs on the main thread after every job, while the worker waits.
using TCompletionHandler = std::function<void(ExchangeWorker&)>;

class ExchangeWorker {
public:
    // The thread starts at once, parked. Everything passed in must outlive the
    // worker; the port is used by the worker only while a job runs.
    ExchangeWorker(TModbusExchange& exchange, TSerialPort& port, TProtocolLog& log,
                   TMainThreadCall& mainThread, TCompletionHandler completionHandler);
    // Terminates and joins. Must not run inside the completion call.
    ~ExchangeWorker();
    ExchangeWorker(const ExchangeWorker&) = delete;
    ExchangeWorker& operator=(const ExchangeWorker&) = delete;

    // Main thread: start the job now in the block (the worker must be parked).
    void Wake();
    // Completion handler: park the worker once the handler returns.
    void Park();
    // True while the worker waits for a Wake (set by Park at once).
    bool IsParked() const;
    // Tells the thread to end without waiting for it: a parked worker leaves at
    // once, a running one cuts its read short and ends without calling the
    // handler (the link is being closed; there is nobody to report to). Safe to
    // call from inside the completion call.
    void Terminate();
    // Main thread, after the job's stop flag has been set: cuts a read or write
    // of the running job short, whatever its time-outs, so the job ends at once.
    // An interrupt after Wake but before the thread has taken the job up holds
    // for that job: its reads do not begin.
    void InterruptJob();
    // Waits until the thread has ended (after Terminate).
    void Join();
    // Any thread: the watcher told of every frame from the next attempt on
    // (nullptr: none). It must outlive the worker or be removed first.
    void SetObserver(TExchangeObserver* observer) { Observer.store(observer); }

private:
    void Body();
    // Performs the job in the block; false when terminated in the middle.
    bool RunJob();
    // One chunk's attempts; returns the chunk's result.
    TExchangeResult RunChunk(const std::uint8_t* request, std::size_t length,
                             std::size_t expectedLength, std::uint8_t* answer,
                             std::size_t& answerOffset, std::size_t& answerLength);
    bool Terminated() const;

    TModbusExchange& Exchange;
    TSerialPort& Port;
    TProtocolLog& Log;
    TMainThreadCall& MainThread;
    TCompletionHandler CompletionHandler;
    std::atomic<TExchangeObserver*> Observer{nullptr};

    mutable std::mutex Mutex;
    std::condition_variable WakeUp;
    bool Parked = true;
    bool InJob = false;
    bool PortCancelled = false; // a cancel was sent during the job: cleared at its end
    // InterruptJob was called for the job of the last Wake (set even before the
    // thread has taken the job up).
    std::atomic<bool> Interrupted{false};
    bool TerminateRequested = false;
    std::thread Thread;
};

} // namespace virs
