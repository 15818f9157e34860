#pragma once
// TForm7, "чтение архива": the archive range dialog. Two calendars (start and
// end), the value mode (averages or integrators) and OK / Cancel. The rules
// (which dates it offers, what it accepts) are those of jobs/ArchiveRange.h;
// this is their window.

#include <functional>

#include <QCalendarWidget>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include "jobs/ArchiveRange.h"

namespace virs {

// The texts of the archive range dialog.
inline constexpr const char* ArchiveDialogCaption = "чтение архива";
inline constexpr const char* ArchiveStartLabel = "Начало";
inline constexpr const char* ArchiveEndLabel = "Конец";
inline constexpr const char* ArchiveAveragesText = "Средние значения";
inline constexpr const char* ArchiveIntegratorsText = "Интеграторы";
inline constexpr const char* ArchiveRangeRefusalCaption = "Внимание";

class TForm7 : public QDialog {
    Q_OBJECT
public:
    explicit TForm7(QWidget* parent = nullptr);

    // Shows the dialog prepared as `dialog` says, modally; writes the chosen
    // dates and value mode back. True when closed with OK.
    bool Run(TArchiveRangeDialog& dialog);
    // Puts the state into the controls (without showing the dialog).
    void Load(const TArchiveRangeDialog& dialog);
    // Reads the controls back.
    void Store(TArchiveRangeDialog& dialog) const;

    // BitBtn1Click: accepts when the end is not before the start; otherwise
    // the refusal message and the dialog stays open.
    void BitBtn1Click();

    // Where the refusal goes (a message box unless replaced, e.g. by a test).
    std::function<void(const QString& text)> RefusalSink;

    QLabel* Label1;
    QLabel* Label2;
    QCalendarWidget* MonthCalendar1;
    QCalendarWidget* MonthCalendar2;
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
};

// Day numbers (days since 1899-12-30) and calendar dates.
QDate DateOfDay(std::int64_t day);
std::int64_t DayOfDate(const QDate& date);

} // namespace virs
