#pragma once
// The status bar of the main window: panel 0 the link clock, panel 1 the two
// activity lamps (transmit, receive) drawn by the program, panel 2 the status
// text. The view tab strip is laid over its top edge by the window: the bar
// keeps a row of that height free above the panels, so the panels, and with
// them the whole status text, are never covered by the tabs.

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

    void SetStatusText(const QString& text) { StatusTextPanel->setText(text); }
    QString StatusText() const { return StatusTextPanel->text(); }
    // Where panel 2 shows its text (the status bar's coordinates) and in what font.
    QRect StatusTextRect() const;
    QFont StatusTextFont() const { return StatusTextPanel->font(); }
    void SetClockText(const QString& text) { ClockPanel->setText(text); }
    QString ClockText() const { return ClockPanel->text(); }
    void SetLamps(bool transmit, bool receive) { Lamps->SetLit(transmit, receive); }
    bool TransmitLit() const { return Lamps->TransmitLit(); }
    bool ReceiveLit() const { return Lamps->ReceiveLit(); }
    // Left edge of the status text panel, in the status bar's coordinates.
    int TextPanelLeft() const;
    // Keeps a row of `height` pixels free at the top for the tab strip.
    void ReserveTabRow(int height);
    int TabRowHeight() const { return TabRow; }

private:
    QLabel* ClockPanel;      // panel 0
    TActivityLamps* Lamps;   // panel 1
    QLabel* StatusTextPanel; // panel 2
    int TabRow = 0;
};

} // namespace virs
