#include "shell/DeleteDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

#include "shell/ShellTexts.h"

namespace virs {

TForm6::TForm6(QWidget* parent) : QDialog(parent) {
    using namespace texts;
    setObjectName("Form6");
    setWindowTitle(DeleteCaption);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    auto* question = new QLabel(DeleteQuestion, this);
    CheckBox1 = new QCheckBox(DeleteNoAskBox, this);
    BitBtn1 = new QPushButton("OK", this);
    BitBtn2 = new QPushButton("Отмена", this);
    BitBtn1->setDefault(true);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(BitBtn1, QDialogButtonBox::AcceptRole);
    buttons->addButton(BitBtn2, QDialogButtonBox::RejectRole);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(question, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(CheckBox1);
    layout->addWidget(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(320, 0)));
}

} // namespace virs
