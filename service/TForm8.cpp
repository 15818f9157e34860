#include "service/TForm8.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "service/AdapterAddress.h"

namespace virs {

TForm8::TForm8(TLineSettings& lineSettings, QWidget* parent)
    : QDialog(parent), LineSettings(lineSettings) {
    setObjectName("Form8");
    setWindowTitle(AdapterCaption);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName("ComboBox1");
    SpinEdit1 = new QSpinBox(this);
    SpinEdit1->setObjectName("SpinEdit1");
    SpinEdit1->setRange(AdapterAddressMin, AdapterAddressMax);
    SpinEdit1->setValue(1);
    // Changed with the spin buttons and keys only; no typing.
    SpinEdit1->findChild<QLineEdit*>()->setReadOnly(true);
    Label1 = new QLabel("2", this);
    Label1->setObjectName("Label1");
    Button2 = new QPushButton("Применить", this);
    Button2->setObjectName("Button2");
    BitBtn2 = new QPushButton("Закрыть", this);
    BitBtn2->setObjectName("BitBtn2");

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel("COM-порт", this), 0, 0);
    layout->addWidget(ComboBox1, 1, 0, 1, 2);
    layout->addWidget(new QLabel("новые адреса:", this), 2, 0);
    layout->addWidget(SpinEdit1, 3, 0);
    layout->addWidget(Label1, 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button2);
    buttons->addWidget(BitBtn2);
    layout->addLayout(buttons, 4, 0, 1, 2);

    connect(SpinEdit1, &QSpinBox::valueChanged, this, &TForm8::SpinEdit1Change);
    connect(Button2, &QPushButton::clicked, this, &TForm8::Button2Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::accept);
}

void TForm8::SpinEdit1Change(int value) {
    Label1->setText(QString::number(value + 1));
}

void TForm8::Button2Click() {
    Button2->setEnabled(false);
    BitBtn2->setEnabled(false);
    Busy = true;
    const TAdapterResult result =
        RunAdapterAssignment(PortNameOfItem(ComboBox1->currentText().toStdString()), Hooks.OpenPort,
                             LineSettings, static_cast<std::uint8_t>(SpinEdit1->value()));
    Busy = false;
    Button2->setEnabled(true);
    BitBtn2->setEnabled(true);
    const TServiceMessage message = AdapterMessage(result);
    if (Hooks.MessageSink)
        Hooks.MessageSink(message);
    else
        ShowServiceMessageBox(this, message);
}

void TForm8::reject() {
    if (!Busy)
        QDialog::reject();
}

} // namespace virs
