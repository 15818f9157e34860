#pragma once
// TForm6, the delete confirmation with its "do not ask again" box, whose state
// stays from one use to the next.

#include <QCheckBox>
#include <QDialog>
#include <QPushButton>

namespace virs {

class TForm6 : public QDialog {
    Q_OBJECT
public:
    explicit TForm6(QWidget* parent = nullptr);
    QCheckBox* CheckBox1;
    QPushButton* BitBtn1; // OK
    QPushButton* BitBtn2; // Cancel
};

} // namespace virs
