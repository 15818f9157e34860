#pragma once
// Turns SIGTERM, SIGHUP and SIGINT (logout, shutdown, Ctrl+C) into a Qt signal
// on the main thread, so the program closes as through the window's close
// button and base.dat is saved. The signal handler only writes one byte into a
// pipe; a socket notifier reads it in the event loop.

#include <QObject>
#include <QSocketNotifier>

namespace virs {

class TTerminationWatch : public QObject {
    Q_OBJECT
public:
    explicit TTerminationWatch(QObject* parent = nullptr);
    ~TTerminationWatch() override;
    bool Active() const { return Notifier != nullptr; }

signals:
    void TerminationRequested(int signalNumber);

private:
    QSocketNotifier* Notifier = nullptr;
};

} // namespace virs
