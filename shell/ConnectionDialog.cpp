#include "shell/ConnectionDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QMessageBox>
#include <QVBoxLayout>

#include "shell/ShellTexts.h"

namespace virs {

namespace {

// A whole decimal number as the operator typed it (blanks around allowed).
bool ParseDecimal(const QString& text, long long& value) {
    bool ok = false;
    value = text.trimmed().toLongLong(&ok, 10);
    return ok;
}

QString NotAnIntegerText(const QString& text) {
    return QString(texts::NotAnInteger).arg(text);
}

} // namespace

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
    using namespace texts;
    setObjectName("Form3");
    setWindowTitle(ConnectionDialogCaption);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    ComboBox2 = new QComboBox(this);
    ComboBox2->setMinimumWidth(220);
    ComboBox3 = new QComboBox(this);
    for (std::uint32_t rate : BaudRates)
        ComboBox3->addItem(QString::number(rate));
    ComboBox4 = new QComboBox(this);
    ComboBox4->addItems({StopBits1, StopBits2});
    ComboBox5 = new QComboBox(this);
    ComboBox5->addItems({ParityNone, ParityOdd, ParityEven});
    ComboBox1 = new QComboBox(this);
    for (int code = 0; code < LinkTypeCount; ++code)
        ComboBox1->addItem(LinkTypeName(static_cast<TLinkType>(code)));
    RadioButton1 = new QRadioButton(ConnTone, this);
    RadioButton2 = new QRadioButton(ConnPulse, this);
    Label8 = new QLabel(ConnDialMode, this);
    Label3 = new QLabel(ConnPhone, this);
    Label4 = new QLabel(ConnModemInit, this);
    Edit1 = new QLineEdit(this);
    Edit1->setMaxLength(20);
    Edit2 = new QLineEdit(this);
    Edit2->setMaxLength(50);
    Button1 = new QPushButton(ConnReset, this);
    Button1->setAutoDefault(false);
    Edit3 = new QLineEdit(this);
    Edit5 = new QLineEdit(this);
    Edit3->setMaximumWidth(90);
    Edit5->setMaximumWidth(90);
    BitBtn1 = new QPushButton("OK", this);
    BitBtn2 = new QPushButton("Отмена", this);
    BitBtn1->setDefault(true);

    auto* line = new QGroupBox(this);
    auto* lineGrid = new QGridLayout(line);
    lineGrid->addWidget(new QLabel(ConnPort, this), 0, 0);
    lineGrid->addWidget(ComboBox2, 0, 1);
    lineGrid->addWidget(new QLabel(ConnBaud, this), 1, 0);
    lineGrid->addWidget(ComboBox3, 1, 1);
    lineGrid->addWidget(new QLabel(ConnStopBits, this), 2, 0);
    lineGrid->addWidget(ComboBox4, 2, 1);
    lineGrid->addWidget(new QLabel(ConnParity, this), 3, 0);
    lineGrid->addWidget(ComboBox5, 3, 1);
    lineGrid->addWidget(new QLabel(ConnLinkType, this), 4, 0);
    lineGrid->addWidget(ComboBox1, 4, 1);

    auto* modem = new QGroupBox(this);
    auto* modemGrid = new QGridLayout(modem);
    modemGrid->addWidget(Label8, 0, 0, 1, 2);
    auto* radios = new QHBoxLayout;
    radios->addWidget(RadioButton1);
    radios->addWidget(RadioButton2);
    radios->addStretch(1);
    modemGrid->addLayout(radios, 1, 0, 1, 2);
    modemGrid->addWidget(Label3, 2, 0, 1, 2);
    modemGrid->addWidget(Edit1, 3, 0, 1, 2);
    modemGrid->addWidget(Label4, 4, 0, 1, 2);
    modemGrid->addWidget(Edit2, 5, 0);
    modemGrid->addWidget(Button1, 5, 1);

    auto* exchange = new QGridLayout;
    exchange->addWidget(new QLabel(ConnRetries, this), 0, 0);
    exchange->addWidget(Edit3, 0, 1);
    exchange->addWidget(new QLabel(ConnTimeout, this), 1, 0);
    exchange->addWidget(Edit5, 1, 1);
    exchange->setColumnStretch(2, 1);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(BitBtn1, QDialogButtonBox::AcceptRole);
    buttons->addButton(BitBtn2, QDialogButtonBox::RejectRole);

    auto* columns = new QHBoxLayout;
    columns->addWidget(line);
    columns->addWidget(modem);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addLayout(exchange);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());

    connect(ComboBox1, &QComboBox::activated, this, [this](int) { ComboBox1Change(); });
    connect(ComboBox4, &QComboBox::activated, this, [this](int) { ComboBox4Change(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Edit2->setText(DefaultModemInit); });
    connect(Edit2, &QLineEdit::textEdited, this, [this](const QString& text) {
        const QString upper = text.toUpper();
        if (upper != text) {
            const int cursor = Edit2->cursorPosition();
            Edit2->setText(upper);
            Edit2->setCursorPosition(cursor);
        }
    });
    connect(BitBtn1, &QPushButton::clicked, this, &TForm3::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm3::Fill(const TNode& node, bool connected) {
    BitBtn1->setEnabled(!connected);
    ComboBox1->setCurrentIndex(node.LinkType < LinkTypeCount ? node.LinkType : -1);
    const bool modem = node.LinkType == LinkDialUp || node.LinkType == LinkGsm;
    for (QWidget* w : std::initializer_list<QWidget*>{Label8, Label3, Label4, Edit1, Edit2})
        w->setEnabled(modem);
    RadioButton1->setEnabled(node.LinkType == LinkDialUp);
    RadioButton2->setEnabled(node.LinkType == LinkDialUp);
    if (modem) {
        RadioButton1->setChecked(node.DialMode == 0);
        RadioButton2->setChecked(node.DialMode != 0);
    } else {
        RadioButton1->setChecked(true);
    }
    Edit1->setText(QString::fromStdString(node.Phone.Get()));
    Edit2->setText(QString::fromStdString(node.ModemInit.Get()));
    ListComPorts(ComboBox2, node.ComPort, PortSource);
    ComboBox3->setCurrentIndex(node.BaudIndex < 8 ? node.BaudIndex : -1);
    ComboBox4->setCurrentIndex(node.StopBitsIndex < 2 ? node.StopBitsIndex : -1);
    ComboBox5->setCurrentIndex(node.ParityIndex < 3 ? node.ParityIndex : -1);
    ComboBox5->setEnabled(ComboBox4->currentIndex() == 0);
    Edit3->setText(QString::number(node.Retries));
    Edit5->setText(
        QString::number(EffectiveReplyTimeoutMs(node))); // a stored 0 reads as the default
}

void TForm3::ComboBox1Change() {
    const int type = ComboBox1->currentIndex();
    const bool modem = type == LinkDialUp || type == LinkGsm;
    for (QWidget* w : std::initializer_list<QWidget*>{Label8, Label3, Label4, Edit1, Edit2})
        w->setEnabled(modem);
    RadioButton1->setEnabled(type == LinkDialUp);
    RadioButton2->setEnabled(type == LinkDialUp);
}

void TForm3::ComboBox4Change() {
    if (ComboBox4->currentIndex() == 1) {
        ComboBox5->setCurrentIndex(0);
        ComboBox5->setEnabled(false);
    } else {
        ComboBox5->setEnabled(true);
    }
}

std::optional<QString> TForm3::Validate() const {
    unsigned port = 0;
    if (ComboBox2->currentIndex() < 0)
        return NotAnIntegerText(QString());
    if (!PortNumberOfItem(ComboBox2->currentText(), port))
        return NotAnIntegerText(ComboBox2->currentText().mid(3).section(' ', 0, 0));
    long long retries = 0;
    if (!ParseDecimal(Edit3->text(), retries))
        return NotAnIntegerText(Edit3->text());
    if (retries < 1 || retries > 255)
        return QString(texts::RetriesRange);
    long long timeout = 0;
    if (!ParseDecimal(Edit5->text(), timeout))
        return NotAnIntegerText(Edit5->text());
    if (timeout < 1 || timeout > 65535)
        return QString(texts::TimeoutRange);
    return std::nullopt;
}

void TForm3::Store(TNode& node) const {
    node.LinkType =
        static_cast<TLinkType>(ComboBox1->currentIndex() < 0 ? 0 : ComboBox1->currentIndex());
    unsigned port = 0;
    if (PortNumberOfItem(ComboBox2->currentText(), port))
        node.ComPort = static_cast<u16>(port);
    node.BaudIndex = static_cast<u8>(std::max(0, ComboBox3->currentIndex()));
    node.ParityIndex = static_cast<u8>(std::max(0, ComboBox5->currentIndex()));
    node.StopBitsIndex = static_cast<u8>(std::max(0, ComboBox4->currentIndex()));
    node.DialMode = RadioButton1->isChecked() ? 0 : 1;
    node.Phone.Set(Edit1->text().left(20).toStdString());
    node.ModemInit.Set(Edit2->text().left(50).toStdString());
    long long value = 0;
    if (ParseDecimal(Edit3->text(), value))
        node.Retries = static_cast<u8>(value);
    if (ParseDecimal(Edit5->text(), value))
        node.ReplyTimeoutMs = static_cast<u16>(value);
}

void TForm3::BitBtn1Click() {
    if (const std::optional<QString> error = Validate()) {
        // Nothing is stored; the dialog stays open so the field can be put right.
        if (ShowError)
            ShowError(*error);
        else
            QMessageBox::critical(this, windowTitle(), *error);
        return;
    }
    accept();
}

bool TForm3::EditNode(TNode& node, bool connected) {
    Fill(node, connected);
    if (exec() != QDialog::Accepted || connected)
        return false;
    Store(node);
    return true;
}

} // namespace virs
