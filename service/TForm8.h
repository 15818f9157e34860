#pragma once
// TForm8, "назначение сетевых адресов адаптеру ВИРСШ": a port and the first new
// address N (the adapter takes N and N + 1).

#include <QDialog>

#include "link/SerialPort.h"
#include "service/ServiceDialogSupport.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace virs {

class TForm8 : public QDialog {
    Q_OBJECT
public:
    TForm8(TLineSettings& lineSettings, QWidget* parent = nullptr);

    TServiceDialogHooks Hooks;

    QComboBox* ComboBox1; // COM-порт
    QSpinBox* SpinEdit1;  // новые адреса: N, 1..254
    QLabel* Label1;       // N + 1
    QPushButton* Button2; // Применить
    QPushButton* BitBtn2; // close

    void SpinEdit1Change(int value);
    void Button2Click();

public:
    // Escape and the window's close button wait while the utility runs.
    void reject() override;

private:
    bool Busy = false;
    TLineSettings& LineSettings;
};

} // namespace virs
