#include "link/ExchangeWorker.h"

#include <algorithm>
#include <chrono>

#include "link/ModbusFrame.h"

namespace virs {

namespace {

// The largest chunk whose frames fit the 256-byte buffers and the protocol's
// byte-count field: a function-16 request of 2n + 9 bytes, a function-3
// answer of 2n + 5.
constexpr std::uint16_t MaxWriteChunk = 123;
constexpr std::uint16_t MaxReadChunk = 125;

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Tells the watcher of one frame; the request's own bytes name its start and count.
void Report(TExchangeObserver& observer, TFrameEvent& frame, const std::uint8_t* request,
            std::size_t expectedLength, const std::uint8_t* bytes, std::size_t length) {
    frame.Request.Slave = request[0];
    frame.Request.Function = request[1];
    frame.Request.Start = static_cast<std::uint16_t>(request[2] << 8 | request[3]);
    frame.Request.Count = static_cast<std::uint16_t>(request[4] << 8 | request[5]);
    frame.Request.ExpectedLength = static_cast<std::uint16_t>(expectedLength);
    frame.Length = static_cast<std::uint16_t>(std::min(length, ModbusFrameSize));
    std::copy_n(bytes, frame.Length, frame.Bytes);
    observer.OnFrame(frame);
}

} // namespace

ExchangeWorker::ExchangeWorker(TModbusExchange& exchange, TSerialPort& port, TProtocolLog& log,
                               TMainThreadCall& mainThread, TCompletionHandler completionHandler)
    : Exchange(exchange), Port(port), Log(log), MainThread(mainThread),
      CompletionHandler(std::move(completionHandler)), Thread([this] { Body(); }) {}

ExchangeWorker::~ExchangeWorker() {
    Terminate();
    Join();
}

void ExchangeWorker::Wake() {
    {
        std::lock_guard lock(Mutex);
        Parked = false;
        Interrupted = false; // a new job: an earlier interrupt is not its own
    }
    WakeUp.notify_all();
}

void ExchangeWorker::Park() {
    std::lock_guard lock(Mutex);
    Parked = true;
}

bool ExchangeWorker::IsParked() const {
    std::lock_guard lock(Mutex);
    return Parked;
}

void ExchangeWorker::Terminate() {
    std::lock_guard lock(Mutex);
    TerminateRequested = true;
    WakeUp.notify_all();
    // Only a job in progress can be blocked in the port; a parked worker
    // leaves the port alone, so the link can still hang up its modem.
    if (InJob) {
        Port.CancelIo();
        PortCancelled = true;
    }
}

void ExchangeWorker::InterruptJob() {
    // Set before the cancel is sent: a write that takes the cancel is followed
    // by a test of this flag before the read.
    Interrupted = true;
    std::lock_guard lock(Mutex);
    if (InJob) {
        Port.CancelIo();
        PortCancelled = true;
    }
}

void ExchangeWorker::Join() {
    if (Thread.joinable() && Thread.get_id() != std::this_thread::get_id())
        Thread.join();
}

bool ExchangeWorker::Terminated() const {
    std::lock_guard lock(Mutex);
    return TerminateRequested;
}

void ExchangeWorker::Body() {
    for (;;) {
        {
            std::unique_lock lock(Mutex);
            WakeUp.wait(lock, [this] { return !Parked || TerminateRequested; });
            if (TerminateRequested)
                return;
            InJob = true;
        }
        bool completed = RunJob();
        {
            std::lock_guard lock(Mutex);
            InJob = false;
            // A cancel that came after the job's last port call must not end
            // the next user's first one (the hang-up, the next job).
            if (PortCancelled) {
                Port.ClearCancel();
                PortCancelled = false;
            }
            if (!completed || TerminateRequested)
                return;
        }
        MainThread.CallAndWait([this] {
            if (CompletionHandler)
                CompletionHandler(*this);
            else
                Park(); // nobody to decide: one job per wake
        });
        // Parked by the handler: wait for the next Wake; otherwise the block
        // holds a follow-on job, performed at once by the loop above.
    }
}

bool ExchangeWorker::RunJob() {
    TModbusExchange& x = Exchange;
    if (x.RetryCount == 0 || x.MaxRegistersPerRequest == 0) {
        x.ResultCode = ResultNoRetriesOrChunk;
        return true;
    }
    x.ResultCode = ResultSuccess;
    const std::uint8_t function = x.FunctionCode;
    std::uint16_t remaining = x.RegisterCount;
    std::uint16_t next = x.StartRegister;
    if (remaining == 0)
        return true;
    if (x.DataCursor == nullptr &&
        (function == FunctionReadRegisters || function == FunctionWriteRegisters)) {
        x.ResultCode = ResultNoRetriesOrChunk; // no buffer for the data: nothing can be sent
        return true;
    }
    const std::uint16_t chunkLimit =
        std::min<std::uint16_t>(x.MaxRegistersPerRequest,
                                function == FunctionWriteRegisters ? MaxWriteChunk : MaxReadChunk);

    std::uint8_t answer[ModbusFrameSize];
    while (remaining > 0) {
        const std::uint16_t chunk = std::min(chunkLimit, remaining);
        remaining = static_cast<std::uint16_t>(remaining - chunk);
        const TModbusRequest request =
            BuildModbusRequest(x.SlaveAddress, function, next, chunk, x.DataCursor);
        next = static_cast<std::uint16_t>(next + chunk);
        // Advanced before sending, so every attempt resends the same data.
        if (function == FunctionWriteRegisters)
            x.DataCursor += 2u * chunk;

        std::size_t offset = 0;
        std::size_t length = 0;
        TExchangeResult result = RunChunk(request.Bytes, request.Length,
                                          request.ExpectedAnswerLength, answer, offset, length);
        if (Terminated())
            return false;
        x.ResultCode = result;
        if (result != ResultSuccess)
            break; // the chunks before stay stored (read) or written (write)
        if (function == FunctionReadRegisters) {
            SwapCopyWords(answer + offset + 3, x.DataCursor, 2u * chunk);
            x.DataCursor += 2u * chunk;
        } else if (function == FunctionReadRecordHeader) {
            std::copy_n(answer + offset + 2, 3, x.RecordHeader);
        }
    }
    return true;
}

TExchangeResult ExchangeWorker::RunChunk(const std::uint8_t* request, std::size_t length,
                                         std::size_t expectedLength, std::uint8_t* answer,
                                         std::size_t& answerOffset, std::size_t& answerLength) {
    TModbusExchange& x = Exchange;
    TExchangeResult result = ResultTimeout;
    TFrameEvent frame;
    for (unsigned attempt = 0; attempt < x.RetryCount; ++attempt) {
        TExchangeObserver* observer = Observer.load();
        frame.Attempt = static_cast<std::uint8_t>(std::min(attempt + 1, 255u));
        x.TxActivity = static_cast<std::int32_t>(length);
        Port.Purge(PurgeTxClear | PurgeRxClear);
        if (observer)
            frame.TimeMs = NowMs();
        // The read follows at once; its time-out still counts from when the
        // request has left the line.
        TPortIo written = Port.Send(request, length);
        if (observer) {
            frame.Direction = TFrameDirection::Out;
            frame.Result = ResultSuccess;
            Report(*observer, frame, request, expectedLength, request, written.Count);
        }
        Log.WriteLine("OUT: " + HexDump(request, written.Count));
        // An interrupt that came before the job began, or while the request
        // was handed over (the write then took the cancel), keeps the read
        // from beginning: with no total time-out it would wait for ever. One
        // that comes after this test cancels the read itself.
        TPortIo read;
        if (!Interrupted.load())
            read = Port.Read(answer, ModbusFrameSize);
        if (observer)
            frame.TimeMs = NowMs();
        Log.WriteLine("IN:  " + HexDump(answer, read.Count));
        // Both lines of the attempt reach the file in one write, before the
        // next frame goes out; the log can be watched during a long job.
        Log.Flush();
        if (Terminated())
            return result;

        answerLength = read.Count;
        answerOffset = CleanModbusAnswer(answer, answerLength, expectedLength);
        if (answerLength > 0)
            x.RxActivity = static_cast<std::int32_t>(answerLength);
        result = ValidateModbusAnswer(answer + answerOffset, answerLength, x.SlaveAddress,
                                      expectedLength);
        if (observer) {
            frame.Direction = TFrameDirection::In;
            frame.Result = result;
            Report(*observer, frame, request, expectedLength, answer, read.Count);
        }
        if (result == ResultSuccess || x.AbortRequested)
            break;
    }
    return result;
}

} // namespace virs
