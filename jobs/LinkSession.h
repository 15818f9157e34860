#pragma once
// The link of the connected node as one object: the open port, the exchange
// thread, the protocol log, and the job and completion handler wired to them.
// The window, virs-cli and the tests all go through it.
//
// Connecting and disconnecting are split in two halves: the dialogue with the
// port (RunConnect / RunDisconnect) may run on a thread of its own so that the
// window stays responsive; entering and leaving the connected state (exchange
// thread, LinkOpen, LinkNode) happens on the main thread.
//
// Closing the link while a job runs: the job is asked to stop and the exchange
// thread is told to end at once (a read in progress is cut short); a completion
// already on its way still runs and ends the job with "Прервано пользователем",
// otherwise the job is ended that way when the thread has gone. Only then is
// the modem hung up and the port closed. A parked thread is simply told to end.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "jobs/CompletionHandler.h"
#include "jobs/Jobs.h"
#include "jobs/ProgramState.h"
#include "link/ExchangeWorker.h"
#include "link/MainThreadCall.h"
#include "link/NodeConnection.h"
#include "link/ProtocolLog.h"

namespace virs {

class TLinkSession {
public:
    // `folder` is where ModBus_protocol.txt is written.
    TLinkSession(TProgramState& state, IMainThreadCall& mainThread, TJobUi& ui,
                 std::filesystem::path folder, TClock now = SystemNow);
    // Jobs without a window (virs-cli): LastJobEnd tells how each ended.
    TLinkSession(TProgramState& state, IMainThreadCall& mainThread, std::filesystem::path folder,
                 TClock now = SystemNow);
    // Ends the exchange thread and closes the port without a hang-up (the
    // program is going away; an orderly close is Disconnect).
    ~TLinkSession();
    TLinkSession(const TLinkSession&) = delete;
    TLinkSession& operator=(const TLinkSession&) = delete;

    TPortOpener PortOpener = OpenComPort;
    TArchiveSequencer* Archive = nullptr; // the archive walk, when attached

    // ---- connection ----
    // The dialogue; any thread, while the main thread leaves the link alone.
    TConnectOutcome RunConnect(const TNode& node, TConnectionUi& ui);
    // Main thread, after a successful RunConnect: port kept, exchange thread
    // created parked, LinkOpen, LinkNode, chunk size.
    void EnterConnected(TConnectOutcome& outcome, int node);
    // Main thread: the link stayed open after a failed hang-up or close; makes
    // it usable again (Modbus time-outs, a new parked exchange thread).
    void Reattach();
    // Main thread: asks a running job to stop and tells the exchange thread to end.
    void BeginDisconnect();
    // Waits until the exchange thread has ended. `pump` runs queued main-thread
    // calls when this waits on the main thread itself (programs without an
    // event loop); the window waits on another thread and passes nothing.
    void WaitWorkerEnded(const std::function<void()>& pump = {});
    // The escape, hang-up and close; any thread, after WaitWorkerEnded.
    TDisconnectOutcome RunDisconnect(TConnectionUi& ui);
    // Main thread: ends a job the closing cut off; on success LinkOpen false
    // and the port released. The images and texts are the caller's.
    void FinishDisconnect(const TDisconnectOutcome& outcome);

    // Both halves at once, for a caller on the main thread without an event loop.
    TConnectOutcome Connect(int node, TConnectionUi& ui);
    TDisconnectOutcome Disconnect(TConnectionUi& ui, const std::function<void()>& pump = {});

    // ---- jobs ----
    TJobContext& Job() { return JobContext; }
    const std::optional<TJobEnd>& LastJobEnd() const { return JobContext.LastEnd; }
    ExchangeWorker* Worker() { return WorkerThread.get(); }
    bool WorkerParked() const { return !WorkerThread || WorkerThread->IsParked(); }
    bool HasPort() const { return static_cast<bool>(Port); }
    // The watcher told of every frame of every exchange thread of this
    // session (the traffic monitor); nullptr for none. It must outlive the
    // session or be removed first.
    void SetFrameObserver(TExchangeObserver* observer);

private:
    void CreateWorker();
    void EndWorker();

    TProgramState& State;
    IMainThreadCall& MainThread;
    TProtocolLog Log;
    TJobContext JobContext;
    TExchangeObserver* FrameObserver = nullptr;
    std::unique_ptr<ISerialPort> Port;
    std::unique_ptr<ExchangeWorker> WorkerThread; // uses Port: declared after it
};

} // namespace virs
