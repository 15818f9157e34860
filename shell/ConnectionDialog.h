#pragma once
// TForm3, the connection settings of a node: port, line settings, link type,
// dialling, attempts and reply time-out.

#include <optional>

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "model/Records.h"
#include "shell/PortList.h"

namespace virs {

class TForm3 : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);

    // Where the port list comes from (the port layer unless a test sets it).
    TPortSource PortSource;

    // Fills the dialog from a node. `connected`: this node's link is open, so its
    // settings may be looked at but not changed.
    void Fill(const TNode& node, bool connected);
    // Checks every field; the message to show when one is not acceptable.
    std::optional<QString> Validate() const;
    // Stores the fields into the node; call only after Validate() found nothing.
    void Store(TNode& node) const;
    // Fill, show modally, store on an accepted OK. True when the node changed.
    bool EditNode(TNode& node, bool connected);

    QComboBox* ComboBox2;       // COM-порт
    QComboBox* ComboBox3;       // скорость
    QComboBox* ComboBox4;       // кол-во стоп-битов
    QComboBox* ComboBox5;       // чётность
    QComboBox* ComboBox1;       // тип соединения
    QRadioButton* RadioButton1; // тональный
    QRadioButton* RadioButton2; // импульсный
    QLabel* Label8;             // режим набора номера
    QLabel* Label3;             // номер для дозвона:
    QLabel* Label4;       // строка инициализации местного модема
    QLineEdit* Edit1;     // Phone
    QLineEdit* Edit2;     // ModemInit
    QPushButton* Button1; // сброс
    QLineEdit* Edit3;     // Retries
    QLineEdit* Edit5;     // ReplyTimeoutMs
    QPushButton* BitBtn1; // OK
    QPushButton* BitBtn2; // Cancel

    // Shows a message while the dialog is open (a message box unless replaced).
    std::function<void(const QString&)> ShowError;

private:
    void ComboBox1Change();
    void ComboBox4Change();
    void BitBtn1Click();
};

} // namespace virs
