#include "service/TForm4.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "service/ModemSetup.h"

namespace virs {

namespace {

class TDialogModemUi : public TModemSetupUi {
public:
    explicit TDialogModemUi(TForm4& form) : Form(form) {}
    void SetLabel(const std::string& text) override {
        Form.Label1->setText(QString::fromStdString(text));
        Form.Label1->repaint();
        LetTheWindowBreathe();
    }
    void ShowMessage(const TServiceMessage& message) override {
        if (Form.Hooks.MessageSink)
            Form.Hooks.MessageSink(message);
        else
            ShowServiceMessageBox(&Form, message);
    }

private:
    TForm4& Form;
};

} // namespace

TForm4::TForm4(TLineSettings& lineSettings, QWidget* parent)
    : QDialog(parent), LineSettings(lineSettings) {
    setObjectName("Form4");
    setWindowTitle(ModemSetupCaption);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox2 = new QComboBox(this);
    ComboBox2->setObjectName("ComboBox2");
    ComboBox2->addItems({ModemPresetDefault, ModemPresetRx100});
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Button2 = new QPushButton("Применить", this);
    Button2->setObjectName("Button2");
    BitBtn1 = new QPushButton("Закрыть", this);
    BitBtn1->setObjectName("BitBtn1");

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* portBox = new QVBoxLayout;
    portBox->addWidget(new QLabel("COM-порт", this));
    portBox->addWidget(ComboBox1);
    top->addLayout(portBox);
    auto* presetBox = new QVBoxLayout;
    presetBox->addWidget(new QLabel(" ", this));
    presetBox->addWidget(ComboBox2);
    top->addLayout(presetBox);
    layout->addLayout(top);
    layout->addWidget(new QLabel("последовательность инициализации модема:", this));
    layout->addWidget(Memo1);
    layout->addWidget(Label1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button2);
    buttons->addWidget(BitBtn1);
    layout->addLayout(buttons);
    resize(380, 330);

    ComboBox2Change(0);
    connect(ComboBox2, &QComboBox::currentIndexChanged, this, &TForm4::ComboBox2Change);
    connect(Button2, &QPushButton::clicked, this, &TForm4::Button2Click);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
}

void TForm4::ComboBox2Change(int index) {
    QStringList lines;
    for (const std::string& line : ModemPreset(index))
        lines << QString::fromStdString(line);
    Memo1->setPlainText(lines.join('\n'));
}

void TForm4::Button2Click() {
    std::vector<std::string> commands;
    for (const QString& line : Memo1->toPlainText().split('\n'))
        commands.push_back(line.toStdString());
    TDialogModemUi ui(*this);
    // The run lets the window paint; nothing else may start or close meanwhile.
    Button2->setEnabled(false);
    BitBtn1->setEnabled(false);
    Busy = true;
    RunModemSetup(PortNameOfItem(ComboBox1->currentText().toStdString()), Hooks.OpenPort,
                  LineSettings, commands, ui);
    Busy = false;
    Button2->setEnabled(true);
    BitBtn1->setEnabled(true);
}

void TForm4::reject() {
    if (!Busy)
        QDialog::reject();
}

} // namespace virs
