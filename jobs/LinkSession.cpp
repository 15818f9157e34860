#include "jobs/LinkSession.h"

#include <chrono>
#include <future>

namespace virs {

TLinkSession::TLinkSession(TProgramState& state, IMainThreadCall& mainThread, TJobUi& ui,
                           std::filesystem::path folder, TClock now)
    : State(state),
      MainThread(mainThread), JobContext{state,   &ui,
                                         Log,     std::move(folder) / ProtocolLogFileName,
                                         nullptr, std::move(now),
                                         {},      std::nullopt} {}

TLinkSession::TLinkSession(TProgramState& state, IMainThreadCall& mainThread,
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

TConnectOutcome TLinkSession::RunConnect(const TNode& node, TConnectionUi& ui) {
    return ConnectNode(node, State.LineSettings, ui, PortOpener);
}

void TLinkSession::EnterConnected(TConnectOutcome& outcome, int node) {
    EndWorker();
    Port = std::move(outcome.Port);
    State.Exchange.MaxRegistersPerRequest = outcome.MaxRegistersPerRequest;
    CreateWorker();
    State.LinkOpen = true;
    State.LinkNode = static_cast<u8>(node);
}

void TLinkSession::Reattach() {
    if (!Port || !State.LinkOpen || State.LinkNode >= State.Base.NodeCount())
        return;
    EndWorker();
    ApplyModbusTimeouts(*Port, State.Base.Nodes[State.LinkNode]);
    CreateWorker();
}

void TLinkSession::BeginDisconnect() {
    State.Exchange.AbortRequested = true;
    if (WorkerThread)
        WorkerThread->Terminate();
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
    const TNode node = State.Base.Nodes[State.LinkNode];
    return DisconnectNode(node, *Port, ui);
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
    }
}

TConnectOutcome TLinkSession::Connect(int node, TConnectionUi& ui) {
    const TNode record = State.Base.Nodes[node];
    TConnectOutcome outcome = RunConnect(record, ui);
    if (outcome.Connected)
        EnterConnected(outcome, node);
    return outcome;
}

TDisconnectOutcome TLinkSession::Disconnect(TConnectionUi& ui, const std::function<void()>& pump) {
    BeginDisconnect();
    WaitWorkerEnded(pump);
    TDisconnectOutcome outcome = RunDisconnect(ui);
    FinishDisconnect(outcome);
    return outcome;
}

} // namespace virs
