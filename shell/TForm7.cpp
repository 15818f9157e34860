#include "shell/TForm7.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace virs {

QDate DateOfDay(std::int64_t day) {
    const TDate d = DecodeDate(day);
    return QDate(d.Year, d.Month, d.Day);
}

std::int64_t DayOfDate(const QDate& date) {
    return EncodeDate(date.year(), date.month(), date.day());
}

TForm7::TForm7(QWidget* parent) : QDialog(parent) {
    setWindowTitle(ArchiveDialogCaption);
    setModal(true);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    QFont bold = font();
    bold.setBold(true);
    Label1 = new QLabel(ArchiveStartLabel, this);
    Label2 = new QLabel(ArchiveEndLabel, this);
    Label1->setFont(bold);
    Label2->setFont(bold);
    MonthCalendar1 = new QCalendarWidget(this);
    MonthCalendar2 = new QCalendarWidget(this);
    for (QCalendarWidget* c : {MonthCalendar1, MonthCalendar2}) {
        c->setGridVisible(true);
        c->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
        c->setMinimumDate(DateOfDay(DeviceEpochDay));
    }
    RadioButton1 = new QRadioButton(ArchiveAveragesText, this);
    RadioButton2 = new QRadioButton(ArchiveIntegratorsText, this);
    RadioButton1->setChecked(true);
    BitBtn1 = new QPushButton("OK", this);
    BitBtn2 = new QPushButton("Отмена", this);
    BitBtn1->setDefault(true);

    auto* grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0, Qt::AlignHCenter);
    grid->addWidget(Label2, 0, 1, Qt::AlignHCenter);
    grid->addWidget(MonthCalendar1, 1, 0);
    grid->addWidget(MonthCalendar2, 1, 1);
    auto* radios = new QHBoxLayout;
    radios->addWidget(RadioButton1);
    radios->addWidget(RadioButton2);
    radios->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(radios);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm7::Load(const TArchiveRangeDialog& dialog) {
    for (QCalendarWidget* c : {MonthCalendar1, MonthCalendar2})
        c->setMaximumDate(DateOfDay(dialog.MaxDay));
    MonthCalendar1->setSelectedDate(DateOfDay(dialog.FirstDay));
    MonthCalendar2->setSelectedDate(DateOfDay(dialog.LastDay));
    RadioButton1->setVisible(dialog.RadioVisible);
    RadioButton2->setVisible(dialog.RadioVisible);
    RadioButton2->setChecked(dialog.Integrators);
    RadioButton1->setChecked(!dialog.Integrators);
}

void TForm7::Store(TArchiveRangeDialog& dialog) const {
    dialog.FirstDay = DayOfDate(MonthCalendar1->selectedDate());
    dialog.LastDay = DayOfDate(MonthCalendar2->selectedDate());
    dialog.Integrators = RadioButton2->isChecked();
}

void TForm7::BitBtn1Click() {
    if (ArchiveRangeAcceptable(DayOfDate(MonthCalendar1->selectedDate()),
                               DayOfDate(MonthCalendar2->selectedDate()))) {
        accept();
        return;
    }
    if (RefusalSink) {
        RefusalSink(ArchiveRangeRefusal);
        return;
    }
    QMessageBox box(QMessageBox::Critical, ArchiveRangeRefusalCaption, ArchiveRangeRefusal,
                    QMessageBox::Ok, this);
    box.exec();
}

bool TForm7::Run(TArchiveRangeDialog& dialog) {
    Load(dialog);
    if (parentWidget()) // centred on the main window
        move(parentWidget()->geometry().center() - rect().center());
    const bool ok = exec() == QDialog::Accepted;
    // The dialog is kept for the run: it remembers what was chosen even when cancelled.
    Store(dialog);
    return ok;
}

} // namespace virs
