#pragma once
// The keyboard of the main window: F1 opens the manual at the page of the
// window or dialog in front, Del deletes the selected tree item (with the
// usual confirmation), F5 presses the start/stop button, Ctrl+S saves and
// Ctrl+P prints the view. Each key acts exactly as its tool button does, and
// only while that button is enabled; the buttons' hints name the keys.

#include <QObject>
#include <QString>

class QWidget;

namespace virs {

class TForm1;

// The page of the manual (a file of the help folder, with an anchor) that
// describes `front`, a window or dialog of the program; the contents for
// anything else.
QString HelpPageFor(const QWidget* front);

class TShellShortcuts : public QObject {
    Q_OBJECT
public:
    explicit TShellShortcuts(TForm1& window);
    ~TShellShortcuts() override;

protected:
    // F1 anywhere in the program, including its modal dialogs.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TForm1& Window;
};

} // namespace virs
