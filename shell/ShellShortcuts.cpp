#include "shell/ShellShortcuts.h"

#include <QApplication>
#include <QKeyEvent>
#include <QShortcut>

#include "shell/HelpWindow.h"
#include "shell/MainWindow.h"

namespace virs {

namespace {

struct THelpPage {
    const char* ClassName;
    const char* Page;
};

// Window and dialog classes of the program and the manual's pages about them.
constexpr THelpPage HelpPages[] = {
    {"virs::TForm1", "window.html"},
    {"virs::TForm2", "dialogs.html#param"},
    {"virs::TForm3", "dialogs.html#conn"},
    {"virs::TForm6", "dialogs.html#delete"},
    {"virs::TForm7", "jobs.html#archive"},
    {"virs::TForm4", "utilities.html#modem"},
    {"virs::TForm8", "utilities.html#adapter"},
    {"virs::TForm9", "utilities.html#firmware"},
    {"QFontDialog", "dialogs.html#font"},
};

// Presses a tool button from the keyboard when the button itself could be pressed.
void Press(QToolButton* button) {
    if (button->isEnabled() && button->isVisible())
        button->click();
}

} // namespace

QString HelpPageFor(const QWidget* front) {
    if (front)
        for (const THelpPage& page : HelpPages)
            if (front->inherits(page.ClassName))
                return page.Page;
    return "index.html";
}

TShellShortcuts::TShellShortcuts(TForm1& window) : QObject(&window), Window(window) {
    TMainToolBar* bar = window.ToolBar1;
    auto bind = [&window](const QKeySequence& keys, QWidget* scope, Qt::ShortcutContext context,
                          QToolButton* button) {
        auto* shortcut = new QShortcut(keys, scope);
        shortcut->setContext(context);
        QObject::connect(shortcut, &QShortcut::activated, &window, [button] { Press(button); });
    };
    bind(Qt::Key_F5, &window, Qt::WindowShortcut, bar->ToolButton16);
    bind(QKeySequence(Qt::CTRL | Qt::Key_S), &window, Qt::WindowShortcut, bar->ToolButton3);
    bind(QKeySequence(Qt::CTRL | Qt::Key_P), &window, Qt::WindowShortcut, bar->ToolButton2);
    qApp->installEventFilter(this);
}

TShellShortcuts::~TShellShortcuts() {
    qApp->removeEventFilter(this);
}

bool TShellShortcuts::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() != Qt::NoModifier)
        return false;
    // Del belongs to the tree (the item view would take the key for itself);
    // in the panels and the text it edits text.
    if (key->key() == Qt::Key_Delete && watched == Window.TreeView1) {
        Press(Window.ToolBar1->ToolButton7);
        return true;
    }
    if (key->key() != Qt::Key_F1)
        return false;
    QWidget* front = QApplication::activeModalWidget();
    if (!front)
        front = static_cast<QWidget*>(watched)->window();
    if (front->inherits("virs::THelpWindow"))
        return false;
    Window.ShowHelpPage(HelpPageFor(front), front);
    return true;
}

} // namespace virs
