#pragma once
// Answering a modal dialog from code: the command that opens the dialog runs
// the dialog's own event loop, so the answer is set up before the command and
// runs from a timer once the dialog is open. Used by the screenshot program and
// the window tests.

#include <functional>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

namespace virs {

// Runs `answer` on the next modal dialog as soon as it is open; gives up after
// 5 s without one.
inline void WhenModal(std::function<void(QWidget*)> answer) {
    auto* poll = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(poll, &QTimer::timeout, [poll, clock, answer] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && clock->elapsed() < 5000)
            return;
        poll->stop();
        poll->deleteLater();
        delete clock;
        if (modal)
            answer(modal);
    });
    poll->start(10);
}

} // namespace virs
