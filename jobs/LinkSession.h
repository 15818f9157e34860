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
#include "jobs/StationEdits.h"
#include "link/ExchangeWorker.h"
#include "link/MainThreadCall.h"
#include "link/NodeConnection.h"
#include "link/ProtocolLog.h"

namespace virs {

inline constexpr const char* NodeGoneText = "Узел удалён во время соединения, соединение разорвано";

class TLinkSession {
public:
    // `folder` is where ModBus_protocol.txt is written.
    TLinkSession(TProgramState& state, TMainThreadCall& mainThread, TJobUi& ui,
                 std::filesystem::path folder, TClock now = SystemNow);
    // Jobs without a window (virs-cli): LastJobEnd tells how each ended.
    TLinkSession(TProgramState& state, TMainThreadCall& mainThread, std::filesystem::path folder,
                 TClock now = SystemNow);
    // Ends the exchange thread and closes the port without a hang-up (the
    // program is going away; an orderly close is Disconnect).
    ~TLinkSession();
    TLinkSession(const TLinkSession&) = delete;
    TLinkSession& operator=(const TLinkSession&) = delete;

    TPortOpener PortOpener = OpenComPort;
    TArchiveSequencer* Archive = nullptr; // the archive walk, when attached

    // ---- connection: idle → connecting → open → closing ----
    // The phase lives in the program state (LinkPhase) so that the station
    // edits can refuse what would pull the node away from the connection.
    TLinkPhase Phase() const { return State.LinkPhase; }
    // Main thread, idle → connecting: the connection takes `node` (LinkNode)
    // and a copy of its record. False when not idle or the node does not exist.
    bool BeginConnect(int node);
    // The dialogue for the node taken by BeginConnect; any thread, while the
    // main thread leaves the link alone.
    TConnectOutcome RunConnect(TConnectionUi& ui);
    // Main thread, connecting → open when the outcome is connected (port kept,
    // exchange thread created parked, LinkOpen, chunk size), else → idle.
    // LinkNode is found again by the node's identity; a node that is gone
    // meanwhile gets no link: the modem is hung up, the port closed, and the
    // outcome is a failure with NodeGoneText.
    void FinishConnect(TConnectOutcome& outcome);
    // Main thread: the link stayed open after a failed hang-up or close; makes
    // it usable again (Modbus time-outs, a new parked exchange thread).
    void Reattach();
    // Main thread, open → closing: asks a running job to stop and tells the
    // exchange thread to end. False when the link is not open.
    bool BeginDisconnect();
    // Waits until the exchange thread has ended. `pump` runs queued main-thread
    // calls when this waits on the main thread itself (programs without an
    // event loop); the window waits on another thread and passes nothing.
    void WaitWorkerEnded(const std::function<void()>& pump = {});
    // The escape, hang-up and close, by the link type the node was connected
    // with; any thread, after WaitWorkerEnded.
    TDisconnectOutcome RunDisconnect(TConnectionUi& ui);
    // Main thread, closing → idle (closed: LinkOpen false, the port released)
    // or back to open (the port stays open); ends a job the closing cut off.
    // The images and texts are the caller's.
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
    TMainThreadCall& MainThread;
    TProtocolLog Log;
    TJobContext JobContext;
    // The node record as it was when the connection took it: the dialogue and
    // the hang-up go by it, whatever is edited meanwhile.
    TNode LinkRecord{};
    u32 LinkKey = 0; // the identity of the node the connection took
    TExchangeObserver* FrameObserver = nullptr;
    std::unique_ptr<TSerialPort> Port;
    std::unique_ptr<ExchangeWorker> WorkerThread; // uses Port: declared after it
};

} // namespace virs
