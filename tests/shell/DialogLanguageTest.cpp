// The toolkit's dialogs in Russian, and the text pane's font dialog: OK without
// a change keeps the font, only fixed-pitch faces are offered.

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QListView>
#include <QPushButton>
#include <QtTest>

#include "shell/QtTranslations.h"
#include "shell/TForm7.h"
#include "tests/shell/ShellTestSupport.h"

using namespace virs;
using namespace virs::test;

namespace {

QFontDialog* FontDialogOf(QWidget* modal) {
    return qobject_cast<QFontDialog*>(modal);
}

// The font dialog's list of families (its first list view).
QStringList ListedFamilies(QFontDialog* dialog) {
    QStringList families;
    const QList<QListView*> lists = dialog->findChildren<QListView*>();
    if (lists.isEmpty())
        return families;
    const QAbstractItemModel* model = lists.first()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        families << model->index(row, 0).data().toString();
    return families;
}

} // namespace

class DialogLanguageTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // Loaded as the program's start-up loads them.
        QVERIFY2(!InstallQtTranslations(*qApp).isEmpty(),
                 "qtbase_ru.qm not found (package qt6-translations-l10n)");
    }

    // Texts as the toolkit's Russian translation file holds them.
    void standardDialogsSpeakRussian() {
        QMessageBox box(QMessageBox::Question, "Вопрос", "Удалить?",
                        QMessageBox::Yes | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QString("Отмена"));
        QCOMPARE(box.button(QMessageBox::Yes)->text(), QString("&Да"));

        QFontDialog fonts;
        fonts.setOption(QFontDialog::DontUseNativeDialog);
        QCOMPARE(fonts.windowTitle(), QString("Выбор шрифта"));
        QStringList labels;
        for (const QLabel* label : fonts.findChildren<QLabel*>())
            labels << label->text();
        QVERIFY2(labels.contains("&Шрифт"), qPrintable(labels.join('|')));
        QVERIFY2(labels.contains("&Размер"), qPrintable(labels.join('|')));
    }

    void archiveDialogButtonsAreRussian() {
        TForm7 dialog;
        QCOMPARE(dialog.BitBtn1->text(), QString("OK"));
        QCOMPARE(dialog.BitBtn2->text(), QString("Отмена"));
    }

    void missingTranslationFileLeavesTheProgramRunning() {
        QTemporaryDir empty;
        QVERIFY(InstallQtTranslations(*qApp, {empty.path(), QString()}).isEmpty());
        // The translation installed before still answers.
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Отмена"));
    }

    // What the operator does in the dialog, and the font the pane has after it.
    void fontDialog_data() {
        QTest::addColumn<int>("sizeStep"); // points added to the size in the dialog
        QTest::addColumn<bool>("accept");
        QTest::addColumn<bool>("changed");
        QTest::newRow("OK without a change") << 0 << true << false;
        QTest::newRow("Cancel without a change") << 0 << false << false;
        QTest::newRow("Cancel after a change") << 4 << false << false;
        QTest::newRow("OK after a larger size") << 4 << true << true;
    }
    void fontDialog() {
        QFETCH(int, sizeStep);
        QFETCH(bool, accept);
        QFETCH(bool, changed);
        TWindowFixture f;
        f.Open({{"Котельная", LinkDirect, {{"Ввод", DeviceVirsD}}}});
        f.Select(0, 0);
        TForm1& w = *f.Window;
        const QFont before = w.Memo1->font();
        const QFontInfo beforeFace(before);
        bool seen = false;
        WhenModal([&](QWidget* modal) {
            QFontDialog* dialog = FontDialogOf(modal);
            if (!dialog) {
                modal->close();
                return;
            }
            seen = true;
            if (sizeStep) {
                QFont bigger = dialog->currentFont();
                bigger.setPointSize(QFontInfo(bigger).pointSize() + sizeStep);
                dialog->setCurrentFont(bigger);
            }
            auto* buttons = dialog->findChild<QDialogButtonBox*>();
            QVERIFY(buttons);
            buttons->button(accept ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
        });
        w.FontItemClick();
        QVERIFY(seen);
        const QFont after = w.Memo1->font();
        const QFontInfo afterFace(after);
        QVERIFY(!afterFace.italic());
        QVERIFY(afterFace.fixedPitch());
        if (!changed) {
            QCOMPARE(after, before); // exactly the font it had, not a look-alike
            QCOMPARE(after.toString(), before.toString());
        } else {
            QCOMPARE(afterFace.family(), beforeFace.family());
            QCOMPARE(afterFace.pointSize(), beforeFace.pointSize() + sizeStep);
            QCOMPARE(afterFace.weight(), beforeFace.weight());
        }
    }

    void fontDialogOffersFixedPitchFacesOnly() {
        TWindowFixture f;
        f.Open({{"Котельная", LinkDirect, {{"Ввод", DeviceVirsD}}}});
        f.Select(0, 0);
        QStringList families;
        WhenModal([&](QWidget* modal) {
            if (QFontDialog* dialog = FontDialogOf(modal))
                families = ListedFamilies(dialog);
            modal->close();
        });
        f.Window->FontItemClick();
        QVERIFY(!families.isEmpty());
        // fonts-dejavu-core comes with the program's packages.
        QVERIFY2(families.contains("DejaVu Sans Mono"), qPrintable(families.join('|')));
        QVERIFY2(!families.contains("DejaVu Sans"), qPrintable(families.join('|')));
        for (const QString& family : families)
            QVERIFY2(QFontDatabase::isFixedPitch(family), qPrintable(family));
    }
};

QTEST_MAIN(DialogLanguageTest)
#include "DialogLanguageTest.moc"
