#pragma once
// The program's own user manual, shown when no compiled help viewer is at hand.

#include <QDialog>

class QTextBrowser;

namespace virs {

class THelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit THelpWindow(QWidget* parent = nullptr);
    void ShowHome();
    // Shows `page` of the manual ("file.html" or "file.html#anchor").
    void ShowPage(const QString& page);
    QTextBrowser* Browser;
};

} // namespace virs
