#include "shell/MainStatusBar.h"

#include <algorithm>

#include <QFrame>
#include <QPainter>

#include "shell/ShellImages.h"

namespace virs {

TActivityLamps::TActivityLamps(QWidget* parent) : QWidget(parent) {
    setObjectName("StatusLamps");
    setFixedWidth(40);
    setMinimumHeight(20);
}

void TActivityLamps::SetLit(bool transmit, bool receive) {
    if (transmit == Transmit && receive == Receive)
        return;
    Transmit = transmit;
    Receive = receive;
    update();
}

void TActivityLamps::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(2, 2, LampPixmap(Transmit));
    painter.drawPixmap(18, 2, LampPixmap(Receive));
}

TMainStatusBar::TMainStatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName("StatusBar1");
    setSizeGripEnabled(true);
    ClockPanel = new QLabel(this);
    ClockPanel->setObjectName("StatusClock");
    ClockPanel->setFixedWidth(55);
    ClockPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ClockPanel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Lamps = new TActivityLamps(this);
    StatusTextPanel = new QLabel(this);
    StatusTextPanel->setObjectName("StatusText");
    StatusTextPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusTextPanel->setMinimumWidth(40);
    addWidget(ClockPanel);
    addWidget(Lamps);
    addWidget(StatusTextPanel, 1);
}

void TMainStatusBar::ReserveTabRow(int height) {
    TabRow = height;
    setContentsMargins(0, height, 0, 0);
    const int panels = std::max({ClockPanel->sizeHint().height(), Lamps->sizeHint().height(),
                                 StatusTextPanel->sizeHint().height()});
    setFixedHeight(height + panels + 4);
}

QRect TMainStatusBar::StatusTextRect() const {
    const QRect inner = StatusTextPanel->contentsRect();
    return {StatusTextPanel->mapTo(this, inner.topLeft()), inner.size()};
}

int TMainStatusBar::TextPanelLeft() const {
    return StatusTextPanel->geometry().left();
}

} // namespace virs
