#include "shell/WindowLink.h"

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

    // On the main thread: a message box with the caption of the connection.
    void Show(TMessageIcon icon, QString text) {
        text.replace('\r', '\n');
        const QMessageBox::Icon i = icon == TMessageIcon::Information ? QMessageBox::Information
                                    : icon == TMessageIcon::Warning   ? QMessageBox::Warning
                                                                      : QMessageBox::Critical;
        if (Window.MessageSink) {
            Window.MessageSink(i, text);
            return;
        }
        QMessageBox box(i, ConnectionCaption, text, QMessageBox::Ok, &Window);
        box.exec();
    }

private:
    TForm1& Window;
    std::atomic<bool>& Down;
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
    QEventLoop loop;
    std::thread task([&] {
        work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    task.join();
    TaskRunning = false;
}

void TWindowLink::SetConnectButton(bool down, int image) {
    const QSignalBlocker block(Window.ToolBar1->ToolButton14);
    Window.ToolBar1->ToolButton14->setChecked(down);
    TMainToolBar::SetImage(Window.ToolBar1->ToolButton14, image);
}

void TWindowLink::ConnectClick(bool down) {
    // No dragging in the tree while a link is being made or closed; the
    // window sets it again from the link state after the click.
    Window.TreeView1->SetAutoDrag(false);
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
    const int node = State.Base.SelNode;
    if (node >= State.Base.NodeCount()) {
        SetConnectButton(false, ConnectButtonIdleImage);
        return;
    }
    const TNode record = State.Base.Nodes[node];
    ButtonDown = true;
    TConnectOutcome outcome;
    RunOffMainThread([&] { outcome = LinkSession->RunConnect(record, *Bridge); });
    // An alias that was not trusted is named after the outcome, once per folder.
    const std::string notice = State.PortAliasNotices.FirstTime(outcome.PortAliasNotice);
    if (!notice.empty())
        outcome.Status += ". " + notice;
    if (!outcome.Connected) {
        SetConnectButton(false, ConnectButtonIdleImage);
        Window.SetStatusText(QString::fromStdString(outcome.Status));
        return;
    }
    LinkSession->EnterConnected(outcome, node);
    SetConnectButton(true, ConnectButtonConnectedImage);
    Window.SetNodeImage(node, outcome.NodeImage);
    Window.StartLinkClock();
    if (!outcome.ConnectedMessage.empty())
        Bridge->Show(TMessageIcon::Information, QString::fromStdString(outcome.ConnectedMessage));
    Window.SetStatusText(QString::fromStdString(outcome.Status));
    if (!ButtonDown) {
        // Released while the modem was being set up: the link goes down again.
        SetConnectButton(false, ConnectButtonConnectedImage);
        Disconnect();
    }
}

void TWindowLink::Disconnect() {
    // Cyclic polling ends with the link.
    if (Window.ToolBar1->ToolButton13->isChecked()) {
        const QSignalBlocker block(Window.ToolBar1->ToolButton13);
        Window.ToolBar1->ToolButton13->setChecked(false);
        Timer3->stop();
    }
    LinkSession->BeginDisconnect();
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
}

void TWindowLink::StartStopClick(bool down) {
    virs::StartStopClick(LinkSession->Job(), down, Window.TabSet1->currentIndex());
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
    TMainToolBar* bar = Window.ToolBar1;
    if (change.Picture) {
        const TDevicePicture& p = *change.Picture;
        Window.SetDeviceImage(p.Node, p.Device, DeviceImage(p.Type, p.Busy));
    }
    if (change.StartDown) {
        const QSignalBlocker block(bar->ToolButton16);
        bar->ToolButton16->setChecked(*change.StartDown);
        TMainToolBar::SetImage(bar->ToolButton16, *change.StartDown ? ToolStop : ToolStart);
    }
    if (change.CyclicEnabled)
        bar->ToolButton13->setEnabled(*change.CyclicEnabled);
    if (change.StartEnabled)
        bar->ToolButton16->setEnabled(*change.StartEnabled);
    if (change.Status)
        Window.SetStatusText(QString::fromStdString(*change.Status));
    if (change.Lamps)
        Window.SetLampTimer(*change.Lamps);
    if (change.CyclicTimerInterval) {
        if (*change.CyclicTimerInterval > 0)
            Timer3->start(*change.CyclicTimerInterval);
        else
            Timer3->stop();
    }
}
bool TWindowLink::CyclicDown() const {
    return Window.ToolBar1->ToolButton13->isChecked();
}
bool TWindowLink::RunArchiveDialog(TArchiveRangeDialog& dialog) {
    return Form7()->Run(dialog);
}
void TWindowLink::Render() {
    Window.RenderDeviceView(Window.TabSet1->currentIndex());
}
void TWindowLink::ProcessMessages() {
    // Paints the status text; user input waits for the job to be set up.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace virs
