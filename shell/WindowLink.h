#pragma once
// The link of the main window: connect, start/stop and cyclic polling behind
// the window's buttons. The connection dialogue runs on a thread of its own
// while the window keeps processing its events (so it repaints and the connect
// button can be released to cancel); the completion handler runs on the main
// thread through a blocking queued call, between events, so the stop button
// stays live throughout a job.
//
// The phases of the connection are the link session's (idle, connecting,
// open, closing). While the dialogue runs, the main thread waits by processing
// events until the dialogue's thread has ended, whatever else happens: an
// application quit does not cut that wait short, so the dialogue's calls into
// the window are always served. A window close during a connect or a close is
// deferred: the connect is cancelled (the call hung up) or the close awaited,
// and the window closes once the link has settled.

#include <atomic>
#include <functional>
#include <memory>

#include <QObject>
#include <QTimer>

#include "jobs/LinkSession.h"
#include "shell/LinkController.h"
#include "shell/MainWindow.h"
#include "shell/TForm7.h"
#include "shell/WindowArchive.h"

namespace virs {

// The exchange thread's synchronous call into the window's thread.
class TQtMainThreadCall final : public TMainThreadCall {
public:
    explicit TQtMainThreadCall(QObject* receiver) : Receiver(receiver) {}
    void CallAndWait(std::function<void()> call) override;

private:
    QObject* Receiver;
};

class TWindowLink final : public QObject, public TLinkController, private TJobUi {
    Q_OBJECT
public:
    explicit TWindowLink(TForm1& window);
    ~TWindowLink() override;

    void ConnectClick(bool down) override;
    void StartStopClick(bool down) override;
    void CyclicClick(bool down) override;
    bool WorkerParked() const override;
    int JobNode() const override;
    int JobDevice() const override;
    bool JobRunning() const override;
    bool LinkBusy() const override { return TaskRunning; }
    void CancelForClose(bool unattended) override;

    void Timer3Timer();
    QTimer* Timer3;  // cyclic polling
    TForm7* Form7(); // created on first use and kept

    TLinkSession& Session() { return *LinkSession; }
    // A connect or disconnect dialogue is in progress.
    bool Busy() const { return TaskRunning; }

private:
    // TJobUi
    void Apply(const TJobControls& change) override;
    bool CyclicDown() const override;
    bool RunArchiveDialog(TArchiveRangeDialog& dialog) override;
    void Render() override;
    void ProcessMessages() override;

    void Connect();
    void Disconnect();
    // Tells the window the link has settled (idle or open).
    void Settled();
    // Runs `work` on another thread while the window's events are processed.
    void RunOffMainThread(const std::function<void()>& work);
    void SetConnectButton(bool down, int image);

    class TBridge;
    TForm1& Window;
    TProgramState& State;
    TQtMainThreadCall MainThread;
    std::unique_ptr<TBridge> Bridge;
    std::unique_ptr<TLinkSession> LinkSession;
    std::unique_ptr<TWindowArchive> Archive; // the workbook, the archive walk and tabs
    TForm7* ArchiveDialog = nullptr;
    std::atomic<bool> ButtonDown{false};
    bool TaskRunning = false;
};

} // namespace virs
