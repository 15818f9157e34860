#include "service/TForm9.h"

#include <QComboBox>
#include <QDate>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace virs {

class TDialogFirmwareUi : public TFirmwareUi {
public:
    explicit TDialogFirmwareUi(TForm9& form) : Form(form) {}
    bool Confirm(const TServiceMessage& question) override {
        return Form.Hooks.QuestionSink ? Form.Hooks.QuestionSink(question)
                                       : AskServiceQuestionBox(&Form, question);
    }
    void ShowMessage(const TServiceMessage& message) override {
        if (Form.Hooks.MessageSink)
            Form.Hooks.MessageSink(message);
        else
            ShowServiceMessageBox(&Form, message);
    }
    void BlockDone(int, std::uint8_t answer) override {
        Form.ProgressBar1->setValue(answer);
        LetTheWindowBreathe();
    }
    void ResetProgress() override { Form.ProgressBar1->setValue(0); }
    bool CancelRequested() override { return Form.CancelPressed; }

private:
    TForm9& Form;
};

TForm9::TForm9(QWidget* parent) : QDialog(parent) {
    setObjectName("Form9");
    setWindowTitle(FirmwareCaption);
    Button1 = new QPushButton("Загрузить из файла", this);
    Button1->setObjectName("Button1");
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setReadOnly(true);
    Edit1->setToolTip("Выбранный файл");
    Label3 = new QLabel(this);
    Label3->setObjectName("Label3");
    Label4 = new QLabel(this);
    Label4->setObjectName("Label4");
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName("ComboBox1");
    Button2 = new QPushButton("Начать прошивку", this);
    Button2->setObjectName("Button2");
    Button2->setToolTip("Запуск перепрограммирования прибора");
    Button2->setEnabled(false);
    CancelButton = new QPushButton("Отмена", this);
    CancelButton->setObjectName("CancelButton");
    CancelButton->setEnabled(false);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setRange(0, FirmwareBlocks - 1);
    ProgressBar1->setValue(0);
    BitBtn1 = new QPushButton("Закрыть", this);
    BitBtn1->setObjectName("BitBtn1");

    auto* layout = new QGridLayout(this);
    layout->addWidget(Button1, 0, 0);
    layout->addWidget(Edit1, 0, 1, 1, 2);
    layout->addWidget(new QLabel("Версия прошивки:", this), 1, 0);
    layout->addWidget(Label3, 1, 1);
    layout->addWidget(new QLabel("Дата создания:", this), 2, 0);
    layout->addWidget(Label4, 2, 1);
    layout->addWidget(new QLabel("COM-порт", this), 3, 0);
    layout->addWidget(ComboBox1, 4, 0, 1, 3);
    layout->addWidget(ProgressBar1, 5, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button2);
    buttons->addWidget(CancelButton);
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    layout->addLayout(buttons, 6, 0, 1, 3);
    resize(420, 240);

    OpenDialog1 = [](QWidget* owner) {
        // One description and one pattern, as the program's filter string has them.
        return QFileDialog::getOpenFileName(owner, QString(), QString(),
                                            "файл прошивки ВИРСД (*.vrs)", nullptr,
                                            QFileDialog::HideNameFilterDetails);
    };
    connect(Button1, &QPushButton::clicked, this, &TForm9::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm9::Button2Click);
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelPressed = true; });
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
}

void TForm9::Button1Click() {
    const QString file = OpenDialog1 ? OpenDialog1(this) : QString();
    if (file.isEmpty())
        return;
    const TFirmwareLoad load = LoadFirmwareFile(file.toStdString(), Image);
    if (!load.Ok) {
        // The image and what the labels say of it stay as they were.
        TDialogFirmwareUi(*this).ShowMessage(FirmwareFileMessage(file.toStdString(), load.Error));
        return;
    }
    Edit1->setText(file);
    Label3->setText(QString::fromStdString(FirmwareVersionText(Image)));
    Label4->setText(QString::fromStdString(FirmwareDateText(Image)));
    Button2->setEnabled(true);
}

void TForm9::Button2Click() {
    const QDate today = QDate::currentDate();
    TDialogFirmwareUi ui(*this);
    CancelPressed = false;
    for (QPushButton* b : {Button1, Button2, BitBtn1})
        b->setEnabled(false);
    CancelButton->setEnabled(true);
    Busy = true;
    RunFirmwareUpdate(PortNameOfItem(ComboBox1->currentText().toStdString()), Hooks.OpenPort, Image,
                      TDate{today.year(), today.month(), today.day()}, ui);
    Busy = false;
    CancelButton->setEnabled(false);
    for (QPushButton* b : {Button1, Button2, BitBtn1})
        b->setEnabled(true);
}

void TForm9::reject() {
    if (!Busy)
        QDialog::reject();
}

} // namespace virs
