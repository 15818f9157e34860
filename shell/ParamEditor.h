#pragma once
// TForm2, the parameter editor: label, caption and value of one parameter slot.

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "model/Records.h"

namespace virs {

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    // Fills the fields from a slot, shows the editor modally and stores the
    // fields back on OK. Returns true on OK.
    bool EditSlot(TParamSlot& slot);

    void Fill(const TParamSlot& slot);
    void Store(TParamSlot& slot) const;
    // Characters still free in the value: 255 minus its length, where a line
    // break counts as the two characters it takes in the base.
    int CharsLeft() const;

    QLineEdit* Edit1;      // Метка
    QLineEdit* Edit2;      // Свойство
    QPlainTextEdit* Memo1; // Значение
    QLabel* Label2;        // the count after "Осталось символов:"
    QPushButton* BitBtn1;  // OK
    QPushButton* BitBtn2;  // Cancel

private:
    void Memo1Change();
    bool Trimming = false;
};

} // namespace virs
