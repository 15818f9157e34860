#include "shell/LinkControls.h"

#include <QSignalBlocker>
#include <QTimer>

#include "shell/MainStatusBar.h"
#include "shell/MainToolBar.h"
#include "shell/ShellImages.h"

namespace virs {

TLinkControls::TLinkControls(TMainToolBar& toolBar, TMainStatusBar& statusBar, QObject* parent)
    : QObject(parent), ToolBar(toolBar), StatusBar(statusBar) {
    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    Timer2 = new QTimer(this);
    Timer2->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TLinkControls::ClockTick);
    connect(Timer2, &QTimer::timeout, this, &TLinkControls::LampTick);
}

void TLinkControls::StartClock() {
    Clock.Reset();
    StatusBar.SetClockText(QString::fromStdString(Clock.Text()));
    Timer1->start();
}

void TLinkControls::StopClock() {
    Timer1->stop();
    StatusBar.SetClockText(QString());
}

void TLinkControls::ClockTick() {
    Clock.Tick();
    StatusBar.SetClockText(QString::fromStdString(Clock.Text()));
}

bool TLinkControls::ClockRunning() const {
    return Timer1->isActive();
}

void TLinkControls::SetActivityCounters(std::atomic<std::int32_t>* transmit,
                                        std::atomic<std::int32_t>* receive) {
    TxActivity = transmit ? transmit : &OwnTransmit;
    RxActivity = receive ? receive : &OwnReceive;
}

void TLinkControls::SetLampTimer(bool on) {
    if (on) {
        Timer2->start();
        return;
    }
    Timer2->stop();
    StatusBar.SetLamps(false, false);
}

// Each lamp stays lit while its counter lasts; a frame of n bytes keeps it lit
// for about n × 10 ms.
void TLinkControls::LampTick() {
    auto lamp = [](std::atomic<std::int32_t>& counter) {
        if (counter.load() <= 0)
            return false;
        counter.fetch_sub(10);
        return true;
    };
    const bool transmit = lamp(*TxActivity);
    const bool receive = lamp(*RxActivity);
    StatusBar.SetLamps(transmit, receive);
}

void TLinkControls::SetConnectButton(bool down, int image) {
    const QSignalBlocker block(ToolBar.ToolButton14);
    ToolBar.ToolButton14->setChecked(down);
    TMainToolBar::SetImage(ToolBar.ToolButton14, image);
}

bool TLinkControls::CyclicDown() const {
    return ToolBar.ToolButton13->isChecked();
}

bool TLinkControls::StartDown() const {
    return ToolBar.ToolButton16->isChecked();
}

void TLinkControls::ReleaseCyclic() {
    const QSignalBlocker block(ToolBar.ToolButton13);
    ToolBar.ToolButton13->setChecked(false);
}

void TLinkControls::Apply(const TJobControls& change) {
    if (change.StartDown) {
        const QSignalBlocker block(ToolBar.ToolButton16);
        ToolBar.ToolButton16->setChecked(*change.StartDown);
        TMainToolBar::SetImage(ToolBar.ToolButton16, *change.StartDown ? ToolStop : ToolStart);
    }
    if (change.CyclicEnabled)
        ToolBar.ToolButton13->setEnabled(*change.CyclicEnabled);
    if (change.StartEnabled)
        ToolBar.ToolButton16->setEnabled(*change.StartEnabled);
    if (change.Lamps)
        SetLampTimer(*change.Lamps);
}

} // namespace virs
