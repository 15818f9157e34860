#include "service/ServiceDialogSupport.h"

#include <QCoreApplication>

namespace virs {

namespace {

QString BoxText(const std::string& text) {
    QString s = QString::fromStdString(text);
    return s.replace('\r', '\n');
}

QMessageBox::Icon BoxIcon(TServiceIcon icon) {
    switch (icon) {
    case TServiceIcon::Error:
        return QMessageBox::Critical;
    case TServiceIcon::Question:
        return QMessageBox::Question;
    case TServiceIcon::Information:
        break;
    }
    return QMessageBox::Information;
}

} // namespace

void ShowServiceMessageBox(QWidget* parent, const TServiceMessage& message) {
    QMessageBox box(BoxIcon(message.Icon), QString::fromStdString(message.Caption),
                    BoxText(message.Text), QMessageBox::Ok, parent);
    box.exec();
}

bool AskServiceQuestionBox(QWidget* parent, const TServiceMessage& question) {
    QMessageBox box(BoxIcon(question.Icon), QString::fromStdString(question.Caption),
                    BoxText(question.Text), QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void LetTheWindowBreathe() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace virs
