#pragma once
// The link's controls in the main window: the connect button (ToolButton14),
// the start/stop button (ToolButton16), the cyclic-polling button
// (ToolButton13), the link clock (Timer1, status panel 0) and the activity
// lamps (Timer2, status panel 1). The buttons sit on the tool bar and the
// panels on the status bar; this owner is the one place that sets them for the
// link and the jobs, and keeps the timers, the clock and the lamp counters to
// itself.

#include <atomic>
#include <cstdint>

#include <QObject>

#include "jobs/JobControls.h"
#include "shell/LinkClock.h"

class QTimer;
class QToolButton;

namespace virs {

class TMainStatusBar;
class TMainToolBar;

class TLinkControls : public QObject {
    Q_OBJECT
public:
    TLinkControls(TMainToolBar& toolBar, TMainStatusBar& statusBar, QObject* parent);

    // ---- the link clock ----
    void StartClock(); // reset to 00:00:00 and run
    void StopClock();  // stop and clear panel 0
    void ClockTick();  // Timer1: one second more
    bool ClockRunning() const;
    void SetClock(const TLinkClock& clock) { Clock = clock; }

    // ---- the activity lamps ----
    // Counters the exchange thread raises by the bytes it sends and receives;
    // nullptr for counters of its own.
    void SetActivityCounters(std::atomic<std::int32_t>* transmit,
                             std::atomic<std::int32_t>* receive);
    void SetLampTimer(bool on); // off: both lamps dark
    void LampTick();            // Timer2: each lamp lit while its counter lasts

    // ---- the buttons ----
    void SetConnectButton(bool down, int image);
    bool CyclicDown() const;
    bool StartDown() const;
    // Releases the polling button without running its handler (the link ended).
    void ReleaseCyclic();
    // The buttons and the lamps of a job's change (the rest is the window's).
    void Apply(const TJobControls& change);

private:
    TMainToolBar& ToolBar;
    TMainStatusBar& StatusBar;
    QTimer* Timer1; // link clock, 1 s
    QTimer* Timer2; // activity lamps, 100 ms
    TLinkClock Clock;
    std::atomic<std::int32_t> OwnTransmit{0}, OwnReceive{0};
    std::atomic<std::int32_t>* TxActivity = &OwnTransmit;
    std::atomic<std::int32_t>* RxActivity = &OwnReceive;
};

} // namespace virs
