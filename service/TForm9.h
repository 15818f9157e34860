#pragma once
// TForm9, "Обновление прошивки ВИРС-Д": loads an image file, shows its version
// and date, and programs the meter through its loader, block by block, with a
// progress bar and a button that stops between blocks.

#include <functional>

#include <QDialog>

#include "service/FirmwareUpdate.h"
#include "service/ServiceDialogSupport.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace virs {

class TForm9 : public QDialog {
    Q_OBJECT
public:
    explicit TForm9(QWidget* parent = nullptr);

    TServiceDialogHooks Hooks;
    // The file chosen in OpenDialog1; empty when it was cancelled. A test puts
    // its own choice here.
    std::function<QString(QWidget* parent)> OpenDialog1;

    QPushButton* Button1;      // Загрузить из файла
    QLineEdit* Edit1;          // the chosen file
    QLabel* Label3;            // version
    QLabel* Label4;            // date
    QComboBox* ComboBox1;      // COM-порт
    QPushButton* Button2;      // Начать прошивку
    QPushButton* CancelButton; // Отмена: stops the transfer between blocks
    QProgressBar* ProgressBar1;
    QPushButton* BitBtn1; // close

    void Button1Click();
    void Button2Click();

    // The image of the run; kept while the dialog lives.
    const TFirmwareImage& FirmwareImage() const { return Image; }

public:
    // Escape and the window's close button wait while the utility runs.
    void reject() override;

private:
    bool Busy = false;
    friend class TDialogFirmwareUi;
    TFirmwareImage Image{};
    bool CancelPressed = false;
};

} // namespace virs
