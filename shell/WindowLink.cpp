#include "shell/WindowLink.h"

#include <cstdio>
#include <thread>

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QSignalBlocker>

#include "shell/ShellImages.h"
#include "shell/TrafficMonitor.h"

namespace virs {

void TQtMainThreadCall::CallAndWait(std::function<void()> call) {
    QMetaObject::invokeMethod(Receiver, std::move(call), Qt::BlockingQueuedConnection);
}

// The connection dialogue's view of the window, used from the dialogue's
// thread: texts are queued to the window in order, a message box blocks the
// dialogue until it is closed, the button's state is read from a flag.
class TWindowLink::TBridge final : public TConnectionUi {
public:
    TBridge(TForm1& window, std::atomic<bool>& buttonDown) : Window(window), Down(buttonDown) {}
    void SetStatus(const std::string& text) override {
        const QString t = QString::fromStdString(text);
        QMetaObject::invokeMethod(
            &Window, [this, t] { Window.SetStatusText(t); }, Qt::QueuedConnection);
    }
    void ShowMessage(TMessageIcon icon, const std::string& text) override {
        const QString t = QString::fromStdString(text);
        QMetaObject::invokeMethod(
            &Window, [this, icon, t] { Show(icon, t); }, Qt::BlockingQueuedConnection);
    }
    bool ButtonDown() override { return Down.load(); }

    // No one is at the screen (the program was told to end): messages go to
    // the standard error output, and a message box still open is closed.
    void SetUnattended() {
        Unattended = true;
        if (OpenBox)
            OpenBox->reject();
    }

    // On the main thread: a message box with the caption of the connection.
    void Show(TMessageIcon icon, QString text) {
        text.replace('\r', '\n');
        if (Unattended) {
            std::fprintf(stderr, "%s: %s\n", ConnectionCaption, text.toUtf8().constData());
            return;
        }
        const QMessageBox::Icon i = icon == TMessageIcon::Information ? QMessageBox::Information
                                    : icon == TMessageIcon::Warning   ? QMessageBox::Warning
                                                                      : QMessageBox::Critical;
        if (Window.MessageSink) {
            Window.MessageSink(i, text);
            return;
        }
        QMessageBox box(i, ConnectionCaption, text, QMessageBox::Ok, &Window);
        OpenBox = &box;
        box.exec();
        OpenBox = nullptr;
    }

private:
    TForm1& Window;
    std::atomic<bool>& Down;
    bool Unattended = false;
    QMessageBox* OpenBox = nullptr;
};

TWindowLink::TWindowLink(TForm1& window)
    : Window(window), State(window.State()), MainThread(&window),
      Bridge(std::make_unique<TBridge>(window, ButtonDown)) {
    TJobUi& jobUi = *this;
    LinkSession = std::make_unique<TLinkSession>(State, MainThread, jobUi, window.Folder());
    Archive = std::make_unique<TWindowArchive>(window, *LinkSession);
    Timer3 = new QTimer(this);
    connect(Timer3, &QTimer::timeout, this, [this] { Timer3Timer(); });
    window.SetActivityCounters(&State.Exchange.TxActivity, &State.Exchange.RxActivity);
    LinkSession->SetFrameObserver(&window.Monitor->Queue());
}

TWindowLink::~TWindowLink() {
    Timer3->stop();
    // The program is going away: the exchange thread ends and the port closes
    // without a hang-up (an orderly close is the connect button's release).
    Archive.reset();
    LinkSession.reset();
    Window.SetActivityCounters(nullptr, nullptr);
}

TForm7* TWindowLink::Form7() {
    if (!ArchiveDialog)
        ArchiveDialog = new TForm7(&Window);
    return ArchiveDialog;
}

void TWindowLink::RunOffMainThread(const std::function<void()>& work) {
    TaskRunning = true;
    std::atomic<bool> done{false};
    std::thread task([&] {
        work();
        done = true;
        // Wakes the wait below; this object outlives the thread.
        QMetaObject::invokeMethod(
            this, [] {}, Qt::QueuedConnection);
    });
    // Not a nested QEventLoop::exec(): an application quit ends every running
    // event loop at once, and a join then would wait for a dialogue that
    // waits for this thread to show its message. Events are processed until
    // the dialogue has ended, whatever happens meanwhile.
    QEventLoop loop;
    while (!done)
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    task.join();
    TaskRunning = false;
}

void TWindowLink::CancelForClose(bool unattended) {
    if (unattended)
        Bridge->SetUnattended();
    // A connect in progress ends as if the button had been released: the
    // search stops, a call being dialled is hung up ("ATH0"), and a link that
    // came up meanwhile is closed again with escape and hang-up.
    ButtonDown = false;
}

void TWindowLink::Settled() {
    Window.LinkSettled();
}

void TWindowLink::SetConnectButton(bool down, int image) {
    Window.Links().SetConnectButton(down, image);
}

void TWindowLink::ConnectClick(bool down) {
    // No dragging in the tree while a link is being made or closed; the
    // window sets it again from the link state after the click.
    Window.SuspendTreeDrag();
    if (TaskRunning) {
        // During a dialogue the button only changes its state; the search and
        // the call watch it.
        ButtonDown = down;
        return;
    }
    if (down) {
        if (State.LinkOpen) {
            // The hang-up or the close failed last time and the port is still
            // open: the link is taken up again as it is.
            LinkSession->Reattach();
            SetConnectButton(true, ConnectButtonConnectedImage);
            Window.SetStatusText(ConnectedText);
            return;
        }
        Connect();
    } else if (State.LinkOpen) {
        Disconnect();
    }
}

void TWindowLink::Connect() {
    if (!LinkSession->BeginConnect(State.Base.SelNode)) {
        SetConnectButton(false, ConnectButtonIdleImage);
        return;
    }
    // The station stands still from here until the link has settled.
    Window.ApplyLinkState();
    ButtonDown = true;
    TConnectOutcome outcome;
    RunOffMainThread([&] { outcome = LinkSession->RunConnect(*Bridge); });
    // An alias that was not trusted is named after the outcome, once per folder.
    const std::string notice = State.PortAliasNotices.FirstTime(outcome.PortAliasNotice);
    if (!notice.empty())
        outcome.Status += ". " + notice;
    LinkSession->FinishConnect(outcome);
    if (!outcome.Connected) {
        SetConnectButton(false, ConnectButtonIdleImage);
        Window.SetStatusText(QString::fromStdString(outcome.Status));
        Settled();
        return;
    }
    // The node the connection took at the press (LinkNode): the station was
    // not edited meanwhile.
    const int node = State.LinkNode;
    SetConnectButton(true, ConnectButtonConnectedImage);
    Window.SetNodeImage(node, outcome.NodeImage);
    Window.StartLinkClock();
    if (!outcome.ConnectedMessage.empty() && ButtonDown)
        Bridge->Show(TMessageIcon::Information, QString::fromStdString(outcome.ConnectedMessage));
    Window.SetStatusText(QString::fromStdString(outcome.Status));
    if (!ButtonDown) {
        // Released while the modem was being set up, or the window is
        // closing: the link goes down again.
        SetConnectButton(false, ConnectButtonConnectedImage);
        Disconnect();
        return;
    }
    Settled();
}

void TWindowLink::Disconnect() {
    // Cyclic polling ends with the link.
    if (Window.Links().CyclicDown()) {
        Window.Links().ReleaseCyclic();
        Timer3->stop();
    }
    if (!LinkSession->BeginDisconnect())
        return;
    Window.ApplyLinkState();
    TDisconnectOutcome outcome;
    RunOffMainThread([&] {
        LinkSession->WaitWorkerEnded();
        outcome = LinkSession->RunDisconnect(*Bridge);
    });
    const int node = State.LinkNode;
    LinkSession->FinishDisconnect(outcome);
    if (outcome.Closed) {
        SetConnectButton(false, ConnectButtonIdleImage);
        if (node < State.Base.NodeCount())
            Window.SetNodeImage(node, NodeIdleImage(State.Base.Nodes[node].LinkType));
        Window.StopLinkClock();
    } else {
        SetConnectButton(false, ConnectButtonConnectedImage);
    }
    Window.SetStatusText(QString::fromStdString(outcome.Status));
    Window.UpdatePollButtons();
    Settled();
}

void TWindowLink::StartStopClick(bool down) {
    virs::StartStopClick(LinkSession->Job(), down, Window.CurrentTab());
}

void TWindowLink::CyclicClick(bool down) {
    virs::CyclicClick(LinkSession->Job(), down);
}

void TWindowLink::Timer3Timer() {
    CyclicTick(LinkSession->Job());
}

bool TWindowLink::WorkerParked() const {
    return LinkSession->WorkerParked();
}
int TWindowLink::JobNode() const {
    return State.JobNode;
}
int TWindowLink::JobDevice() const {
    return State.JobDevice;
}
bool TWindowLink::JobRunning() const {
    return State.JobRunning;
}

// ---- what jobs do to the window

// Every change a job makes to the window comes through here.
void TWindowLink::Apply(const TJobControls& change) {
    if (change.Picture) {
        const TDevicePicture& p = *change.Picture;
        Window.SetDeviceImage(p.Node, p.Device, DeviceImage(p.Type, p.Busy));
    }
    Window.Links().Apply(change);
    if (change.Status)
        Window.SetStatusText(QString::fromStdString(*change.Status));
    if (change.CyclicTimerInterval) {
        if (*change.CyclicTimerInterval > 0)
            Timer3->start(*change.CyclicTimerInterval);
        else
            Timer3->stop();
    }
}
bool TWindowLink::CyclicDown() const {
    return Window.Links().CyclicDown();
}
bool TWindowLink::RunArchiveDialog(TArchiveRangeDialog& dialog) {
    return Form7()->Run(dialog);
}
void TWindowLink::Render() {
    Window.RenderDeviceView(Window.CurrentTab());
}
void TWindowLink::ProcessMessages() {
    // Paints the status text; user input waits for the job to be set up.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace virs
