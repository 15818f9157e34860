#pragma once
// TForm4, "настройка удалённого модема": a port, a preset or an edited list of
// AT commands, and the set-up run with its progress line.

#include <QDialog>

#include "link/SerialPort.h"
#include "service/ServiceDialogSupport.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace virs {

class TForm4 : public QDialog {
    Q_OBJECT
public:
    // `lineSettings` is the run's line-settings record, shared with the node connection.
    TForm4(TLineSettings& lineSettings, QWidget* parent = nullptr);

    TServiceDialogHooks Hooks;

    QComboBox* ComboBox1; // COM-порт
    QComboBox* ComboBox2; // preset
    QPlainTextEdit* Memo1;
    QLabel* Label1;
    QPushButton* Button2; // Применить
    QPushButton* BitBtn1; // close

    void ComboBox2Change(int index);
    void Button2Click();

public:
    // Escape and the window's close button wait while the utility runs.
    void reject() override;

private:
    bool Busy = false;
    TLineSettings& LineSettings;
};

} // namespace virs
