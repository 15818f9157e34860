#include "jobs/LinkSession.h"

#include <chrono>
#include <future>

namespace virs {

namespace {

// A hang-up nobody watches.
class TQuietConnectionUi final : public TConnectionUi {
public:
    void SetStatus(const std::string&) override {}
    void ShowMessage(TMessageIcon, const std::string&) override {}
    bool ButtonDown() override { return false; }
};

} // namespace

TLinkSession::TLinkSession(TProgramState& state, TMainThreadCall& mainThread, TJobUi& ui,
                           std::filesystem::path folder, TClock now)
    : State(state),
      MainThread(mainThread), JobContext{state,   &ui,
                                         Log,     std::move(folder) / ProtocolLogFileName,
                                         nullptr, std::move(now),
                                         {},      std::nullopt} {}

TLinkSession::TLinkSession(TProgramState& state, TMainThreadCall& mainThread,
                           std::filesystem::path folder, TClock now)
    : State(state),
      MainThread(mainThread), JobContext{state,   nullptr,
                                         Log,     std::move(folder) / ProtocolLogFileName,
                                         nullptr, std::move(now),
                                         {},      std::nullopt} {}

TLinkSession::~TLinkSession() {
    EndWorker();
    if (Port)
        Port->Close();
}

void TLinkSession::CreateWorker() {
    WorkerThread = std::make_unique<ExchangeWorker>(
        State.Exchange, *Port, Log, MainThread,
        [this](ExchangeWorker&) { CompletionHandler(JobContext, Archive); });
    JobContext.Worker = WorkerThread.get();
    WorkerThread->SetObserver(FrameObserver);
}

void TLinkSession::SetFrameObserver(TExchangeObserver* observer) {
    FrameObserver = observer;
    if (WorkerThread)
        WorkerThread->SetObserver(observer);
}

void TLinkSession::EndWorker() {
    if (WorkerThread) {
        WorkerThread->Terminate();
        WorkerThread->Join();
        WorkerThread.reset();
    }
    JobContext.Worker = nullptr;
}

bool TLinkSession::BeginConnect(int node) {
    if (State.LinkPhase != TLinkPhase::Idle || State.LinkOpen || node < 0 ||
        node >= State.Base.NodeCount())
        return false;
    LinkRecord = State.Base.Nodes[node];
    LinkKey = NodeKeyOf(State, node);
    State.LinkNode = static_cast<u8>(node);
    State.LinkPhase = TLinkPhase::Connecting;
    return true;
}

TConnectOutcome TLinkSession::RunConnect(TConnectionUi& ui) {
    return ConnectNode(LinkRecord, State.LineSettings, ui, PortOpener);
}

void TLinkSession::FinishConnect(TConnectOutcome& outcome) {
    if (State.LinkPhase != TLinkPhase::Connecting)
        return;
    const int node = NodeWithKey(State, LinkKey);
    if (outcome.Connected && node < 0) {
        // The station changed under the dialogue (the window refuses every
        // edit while connecting; this guards whatever else edits it): the
        // link is not attached to another node.
        TQuietConnectionUi quiet;
        DisconnectNode(LinkRecord, *outcome.Port, quiet);
        outcome.Port.reset();
        outcome.Connected = false;
        outcome.Status = NodeGoneText;
    }
    if (!outcome.Connected) {
        State.LinkPhase = TLinkPhase::Idle;
        return;
    }
    State.LinkNode = static_cast<u8>(node);
    EndWorker();
    Port = std::move(outcome.Port);
    State.Exchange.MaxRegistersPerRequest = outcome.MaxRegistersPerRequest;
    CreateWorker();
    State.LinkOpen = true;
    State.LinkPhase = TLinkPhase::Open;
}

void TLinkSession::Reattach() {
    if (!Port || !State.LinkOpen || State.LinkNode >= State.Base.NodeCount())
        return;
    EndWorker();
    ApplyModbusTimeouts(*Port, State.Base.Nodes[State.LinkNode]);
    CreateWorker();
}

bool TLinkSession::BeginDisconnect() {
    if (State.LinkPhase != TLinkPhase::Open || !State.LinkOpen)
        return false;
    State.LinkPhase = TLinkPhase::Closing;
    State.Exchange.AbortRequested = true;
    if (WorkerThread)
        WorkerThread->Terminate();
    return true;
}

void TLinkSession::WaitWorkerEnded(const std::function<void()>& pump) {
    if (!WorkerThread)
        return;
    if (!pump) {
        WorkerThread->Join();
        return;
    }
    // A completion may be queued for the main thread, which is this one.
    std::future<void> joined =
        std::async(std::launch::async, [worker = WorkerThread.get()] { worker->Join(); });
    while (joined.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
        pump();
    pump();
}

TDisconnectOutcome TLinkSession::RunDisconnect(TConnectionUi& ui) {
    if (!Port)
        return {true, NodeClosedText};
    return DisconnectNode(LinkRecord, *Port, ui);
}

void TLinkSession::FinishDisconnect(const TDisconnectOutcome& outcome) {
    EndWorker();
    if (State.JobRunning) {
        // Cut off by the closing before its completion could run.
        State.Exchange.AbortRequested = true;
        EndJob(JobContext, Archive);
    }
    if (outcome.Closed) {
        Port.reset();
        State.LinkOpen = false;
        State.LinkPhase = TLinkPhase::Idle;
    } else if (State.LinkPhase == TLinkPhase::Closing) {
        State.LinkPhase = TLinkPhase::Open;
    }
}

TConnectOutcome TLinkSession::Connect(int node, TConnectionUi& ui) {
    if (!BeginConnect(node)) {
        TConnectOutcome refused;
        refused.Status = ConnectFailedText;
        return refused;
    }
    TConnectOutcome outcome = RunConnect(ui);
    FinishConnect(outcome);
    return outcome;
}

TDisconnectOutcome TLinkSession::Disconnect(TConnectionUi& ui, const std::function<void()>& pump) {
    if (!BeginDisconnect())
        return {!State.LinkOpen, State.LinkOpen ? NodeCloseFailedText : NodeClosedText};
    WaitWorkerEnded(pump);
    TDisconnectOutcome outcome = RunDisconnect(ui);
    FinishDisconnect(outcome);
    return outcome;
}

} // namespace virs
