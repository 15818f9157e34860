#include "shell/ParamEditor.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QVBoxLayout>

#include "model/TextCodec.h"
#include "shell/ShellTexts.h"

namespace virs {

namespace {

constexpr int ValueCapacity = 255;

// The value as the base stores it (line breaks CR LF) and as the memo shows it.
QString MemoText(const std::string& stored) {
    return QString::fromStdString(stored).replace("\r\n", "\n").replace('\r', '\n');
}
std::string StoredText(const QString& memo) {
    QString text = memo;
    return text.replace('\n', "\r\n").toStdString();
}
int StoredLength(const QString& memo) {
    return static_cast<int>(memo.size() + memo.count('\n'));
}

} // namespace

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
    using namespace texts;
    setObjectName("Form2");
    setWindowTitle(ParamEditorCaption);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    Edit1 = new QLineEdit(this);
    Edit1->setMaxLength(20);
    Edit2 = new QLineEdit(this);
    Edit2->setMaxLength(20);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setTabChangesFocus(true);
    Label2 = new QLabel(this);
    Label2->setObjectName("Label2");
    BitBtn1 = new QPushButton("OK", this);
    BitBtn1->setDefault(false);
    BitBtn1->setAutoDefault(false);
    BitBtn2 = new QPushButton("Отмена", this);
    BitBtn2->setAutoDefault(false);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(ParamLabel, this), 0, 0);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(new QLabel(ParamCaption, this), 1, 0);
    grid->addWidget(Edit2, 1, 1);
    grid->addWidget(new QLabel(ParamValue, this), 2, 0, Qt::AlignTop);
    grid->addWidget(Memo1, 2, 1);
    auto* counter = new QHBoxLayout;
    counter->addWidget(new QLabel(ParamCharsLeft, this));
    counter->addWidget(Label2);
    counter->addStretch(1);
    grid->addLayout(counter, 3, 1);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(BitBtn1, QDialogButtonBox::AcceptRole);
    buttons->addButton(BitBtn2, QDialogButtonBox::RejectRole);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    resize(380, 260);
    setFixedSize(sizeHint().expandedTo(QSize(380, 260)));

    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Edit1, &QLineEdit::textEdited, this, [this](const QString& text) {
        const QString upper = text.toUpper();
        if (upper != text) {
            const int cursor = Edit1->cursorPosition();
            Edit1->setText(upper);
            Edit1->setCursorPosition(cursor);
        }
    });
    connect(Memo1, &QPlainTextEdit::textChanged, this, &TForm2::Memo1Change);
}

void TForm2::Memo1Change() {
    if (Trimming)
        return;
    QString text = Memo1->toPlainText();
    if (StoredLength(text) > ValueCapacity) {
        // Keep what fits; the text typed last is what goes.
        while (!text.isEmpty() && StoredLength(text) > ValueCapacity)
            text.chop(1);
        Trimming = true;
        Memo1->setPlainText(text);
        Memo1->moveCursor(QTextCursor::End);
        Trimming = false;
    }
    Label2->setText(QString::number(CharsLeft()));
}

int TForm2::CharsLeft() const {
    return ValueCapacity - StoredLength(Memo1->toPlainText());
}

void TForm2::Fill(const TParamSlot& slot) {
    Edit1->setText(QString::fromStdString(slot.Label.Get()));
    Edit2->setText(QString::fromStdString(slot.Caption.Get()));
    Memo1->setPlainText(MemoText(slot.Value.Get()));
    Memo1Change();
    Edit1->setEnabled(slot.LabelEditable == 1);
}

void TForm2::Store(TParamSlot& slot) const {
    slot.Label.Set(Edit1->text().left(20).toStdString());
    slot.Caption.Set(Edit2->text().left(20).toStdString());
    slot.Value.Set(StoredText(Memo1->toPlainText()));
}

bool TForm2::EditSlot(TParamSlot& slot) {
    Fill(slot);
    (Edit1->isEnabled() ? static_cast<QWidget*>(Edit1) : Edit2)->setFocus();
    if (exec() != QDialog::Accepted)
        return false;
    Store(slot);
    return true;
}

} // namespace virs
