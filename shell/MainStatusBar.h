#pragma once
// The status bar of the main window: panel 0 the link clock, panel 1 the two
// activity lamps (transmit, receive) drawn by the program, panel 2 the status
// text. The view tab strip is laid over it by the window.

#include <QLabel>
#include <QStatusBar>

namespace virs {

class TActivityLamps : public QWidget {
    Q_OBJECT
public:
    explicit TActivityLamps(QWidget* parent = nullptr);
    void SetLit(bool transmit, bool receive);
    bool TransmitLit() const { return Transmit; }
    bool ReceiveLit() const { return Receive; }
    QSize sizeHint() const override { return {40, 20}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool Transmit = false;
    bool Receive = false;
};

class TMainStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TMainStatusBar(QWidget* parent = nullptr);

    QLabel* ClockPanel;      // panel 0
    TActivityLamps* Lamps;   // panel 1
    QLabel* StatusTextPanel; // panel 2

    void SetStatusText(const QString& text) { StatusTextPanel->setText(text); }
    QString StatusText() const { return StatusTextPanel->text(); }
    // Left edge of the status text panel, in the status bar's coordinates.
    int TextPanelLeft() const;
};

} // namespace virs
