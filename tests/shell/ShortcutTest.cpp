// The keyboard of the main window: each key reaches the command of its tool
// button, and only while the button could be pressed; F1 opens the manual at
// the page of the window or dialog in front.

#include <QMessageBox>
#include <QTextBrowser>

#include "shell/ConnectionDialog.h"
#include "shell/DeleteDialog.h"
#include "shell/HelpWindow.h"
#include "shell/ParamEditor.h"
#include "shell/ShellImages.h"
#include "shell/ShellShortcuts.h"
#include "shell/TForm7.h"
#include "tests/shell/ShellTestSupport.h"

using namespace virs;
using namespace virs::test;

namespace {

const std::vector<TNodeSpec> Station = {
    {"Котельная", LinkDirect, {{"Ввод 1", DeviceVirsD}, {"Ввод 2", DeviceOff}}},
    {"Школа", LinkDirect, {{"Ввод", DeviceVirsSh}}},
};

// The fake link, counting the presses of the start/stop button.
class TCountingLink : public TFakeLink {
public:
    using TFakeLink::TFakeLink;
    void StartStopClick(bool down) override { Presses << down; }
    QList<bool> Presses;
};

THelpWindow* OpenHelp(QWidget* owner) {
    for (THelpWindow* help : owner->findChildren<THelpWindow*>())
        if (help->isVisible())
            return help;
    return nullptr;
}

} // namespace

class ShortcutTest : public QObject {
    Q_OBJECT
private slots:
    void startStopSaveAndPrint() {
        TWindowFixture f;
        f.Open(Station);
        TForm1& w = *f.Window;
        TCountingLink link(w.State());
        int saves = 0, prints = 0;
        TShellServices services;
        services.SaveView = [&] { ++saves; };
        services.PrintView = [&] { ++prints; };
        w.SetServices(services);
        w.SetLinkController(&link);
        // Without a link F5 does nothing: the start button is disabled.
        f.Select(0, 0);
        QVERIFY(!w.ToolBar1->ToolButton16->isEnabled());
        QTest::keyClick(w.TreeView1, Qt::Key_F5);
        QVERIFY(link.Presses.isEmpty());
        // Connected (by the fake): F5 starts, F5 again stops.
        f.Select(0);
        w.ToolBar1->ToolButton14->setChecked(true);
        w.ToolButton14Click(true);
        f.Select(0, 0);
        QVERIFY(w.ToolBar1->ToolButton16->isEnabled());
        QTest::keyClick(w.TreeView1, Qt::Key_F5);
        QTest::keyClick(w.Memo1, Qt::Key_F5);
        QCOMPARE(link.Presses, QList<bool>({true, false}));
        // Save and print, from the tree and from the text pane.
        QTest::keyClick(w.TreeView1, Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(w.Memo1, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(saves, 1);
        QCOMPARE(prints, 1);
        // A device that is never read: save and print are disabled, so are the keys.
        f.Select(0, 1);
        QVERIFY(!w.ToolBar1->ToolButton3->isEnabled());
        QTest::keyClick(w.TreeView1, Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(w.TreeView1, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(saves, 1);
        QCOMPARE(prints, 1);
        w.SetLinkController(nullptr);
    }

    void deleteAsksFirst() {
        TWindowFixture f;
        f.Open(Station);
        TForm1& w = *f.Window;
        f.Select(1, 0);
        w.TreeView1->setFocus();
        // Cancelled: nothing goes.
        WhenModal([](QWidget* modal) { qobject_cast<TForm6*>(modal)->BitBtn2->click(); });
        QTest::keyClick(w.TreeView1, Qt::Key_Delete);
        QCOMPARE(f.ModelTexts(),
                 QStringList({"Котельная", "  Ввод 1", "  Ввод 2", "Школа", "  Ввод"}));
        // Confirmed: the selected device goes, from the model and the tree.
        WhenModal([](QWidget* modal) { qobject_cast<TForm6*>(modal)->BitBtn1->click(); });
        QTest::keyClick(w.TreeView1, Qt::Key_Delete);
        const QStringList left = {"Котельная", "  Ввод 1", "  Ввод 2", "Школа"};
        QCOMPARE(f.ModelTexts(), left);
        QCOMPARE(f.TreeTexts(), left);
        // Del in a panel's text edits the text, it deletes no tree item.
        w.ToolBar1->ToolButton18->setChecked(true);
        w.ToolButton18Click(true);
        f.Select(0);
        QTest::keyClick(w.ValueListEditor1(), Qt::Key_Delete);
        QCOMPARE(f.ModelTexts(), left);
    }

    void helpAtThePageInFront_data() {
        QTest::addColumn<bool>("inDialog");
        QTest::addColumn<QString>("page");
        QTest::newRow("main window") << false << "window.html";
        QTest::newRow("delete confirmation") << true << "dialogs.html#delete";
    }
    void helpAtThePageInFront() {
        QFETCH(bool, inDialog);
        QFETCH(QString, page);
        TWindowFixture f;
        f.Open(Station);
        TForm1& w = *f.Window;
        f.Select(0, 0);
        QUrl shown;
        bool usable = false;
        auto pressF1 = [&](QWidget* front) {
            QTest::keyClick(front, Qt::Key_F1);
            THelpWindow* help = OpenHelp(front);
            QVERIFY(help);
            shown = help->Browser->source();
            // Not blocked by the dialog in front: the manual is the dialog's own.
            usable = !inDialog || help->parentWidget() == front;
        };
        if (inDialog) {
            WhenModal([&](QWidget* modal) {
                pressF1(modal);
                qobject_cast<TForm6*>(modal)->BitBtn2->click();
            });
            w.ToolButton7Click();
        } else {
            pressF1(w.TreeView1->window());
        }
        QCOMPARE(shown, QUrl("qrc:/shell/help/" + page));
        QVERIFY(usable);
    }

    // F1 in a message box that lives only while it is shown: the manual over it
    // goes with it, and F1 in the window afterwards still opens the manual.
    void helpOverADialogThatGoesAway() {
        TWindowFixture f;
        f.Open(Station);
        TForm1& w = *f.Window;
        bool shownOverBox = false;
        {
            QMessageBox box(QMessageBox::Information, "Соединение с узлом", "Узел закрыт",
                            QMessageBox::Ok, &w);
            WhenModal([&](QWidget* modal) {
                QTest::keyClick(modal, Qt::Key_F1);
                shownOverBox = OpenHelp(modal) != nullptr;
                static_cast<QDialog*>(modal)->accept();
            });
            box.exec();
        }
        QVERIFY(shownOverBox);
        QTest::keyClick(w.TreeView1, Qt::Key_F1);
        THelpWindow* help = OpenHelp(&w);
        QVERIFY(help);
        QCOMPARE(help->Browser->source(), QUrl("qrc:/shell/help/window.html"));
    }

    // Each dialog of the window has its page, and the page has the anchor.
    void pagesOfTheDialogs_data() {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("page");
        QTest::newRow("TForm2") << "TForm2"
                                << "dialogs.html#param";
        QTest::newRow("TForm3") << "TForm3"
                                << "dialogs.html#conn";
        QTest::newRow("TForm6") << "TForm6"
                                << "dialogs.html#delete";
        QTest::newRow("TForm7") << "TForm7"
                                << "jobs.html#archive";
        QTest::newRow("anything else") << "QWidget"
                                       << "index.html";
    }
    void pagesOfTheDialogs() {
        QFETCH(QString, dialog);
        QFETCH(QString, page);
        std::unique_ptr<QWidget> front;
        if (dialog == "TForm2")
            front = std::make_unique<TForm2>();
        else if (dialog == "TForm3")
            front = std::make_unique<TForm3>();
        else if (dialog == "TForm6")
            front = std::make_unique<TForm6>();
        else if (dialog == "TForm7")
            front = std::make_unique<TForm7>();
        else
            front = std::make_unique<QWidget>();
        QCOMPARE(HelpPageFor(front.get()), page);
        EnsureShellResources();
        QFile file(":/shell/help/" + page.section('#', 0, 0));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        if (page.contains('#'))
            QVERIFY(html.contains("<a name=\"" + page.section('#', 1) + "\">"));
    }

    void hintsNameTheirKeys() {
        TWindowFixture f;
        f.Open();
        const TMainToolBar* t = f.Window->ToolBar1;
        QCOMPARE(t->ToolButton16->toolTip(), QString("старт/стоп (F5)"));
        QCOMPARE(t->ToolButton7->toolTip(), QString("удалить (Del)"));
        QCOMPARE(t->ToolButton3->toolTip(), QString("сохранить как (Ctrl+S)"));
        QCOMPARE(t->ToolButton2->toolTip(), QString("печать (Ctrl+P)"));
        QCOMPARE(t->ToolButton12->toolTip(), QString("Справка (F1)"));
    }
};

QTEST_MAIN(ShortcutTest)
#include "ShortcutTest.moc"
