#include "shell/HelpWindow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "shell/ShellImages.h"
#include "shell/ShellTexts.h"

namespace virs {

THelpWindow::THelpWindow(QWidget* parent) : QDialog(parent) {
    EnsureShellResources();
    setObjectName("HelpWindow");
    setWindowTitle(texts::HelpWindowTitle);
    setWindowFlags(Qt::Window | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint);
    setModal(false);
    Browser = new QTextBrowser(this);
    Browser->setOpenExternalLinks(true);
    Browser->setSearchPaths({":/shell/help"});
    auto* back = new QPushButton("Назад", this);
    auto* home = new QPushButton("Содержание", this);
    auto* close = new QPushButton("Закрыть", this);
    back->setEnabled(false);
    connect(Browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(back, &QPushButton::clicked, Browser, &QTextBrowser::backward);
    connect(home, &QPushButton::clicked, this, &THelpWindow::ShowHome);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(home);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(Browser, 1);
    resize(760, 560);
}

void THelpWindow::ShowHome() {
    ShowPage("index.html");
}

void THelpWindow::ShowPage(const QString& page) {
    Browser->setSource(QUrl("qrc:/shell/help/" + page));
    show();
    raise();
    activateWindow();
}

} // namespace virs
