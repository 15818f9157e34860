// Devices of one node with one network number: the window carries out the
// clone or the move and says so in the status text and the device panel. And
// the window's start: base.bak is written once the window is up, or by the
// first save at the latest.

#include <QFile>
#include <QLabel>
#include <QtTest>

#include "tests/shell/ShellTestSupport.h"

using namespace virs;
using namespace virs::test;

namespace {

// New devices get the lowest free network number of their node: here the
// devices of each node are numbered 1, 2, ...
const std::vector<TNodeSpec> Station = {
    {"Котельная", LinkDirect, {{"Ввод", DeviceVirsD}, {"Подпитка", DeviceVirsSh}}},
    {"Насосная", LinkDialUp, {{"Коллектор", DeviceVirsDK}, {"Резерв", DeviceOff}}},
};

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

} // namespace

class NetAddressWindowTest : public QObject {
    Q_OBJECT
private slots:
    void cloneIsAnnouncedAndMarked() {
        TWindowFixture f;
        f.Open(Station);
        TForm1& w = *f.Window;
        w.ToolBar1->ToolButton18->setChecked(true);
        w.ToolButton18Click(true);
        f.Select(0, 0);
        QVERIFY(!w.Panel1->NetAddressNoteShown());
        QVERIFY(!w.ValueListEditor2()->ValueMarked(3));

        w.ToolButton20Click();
        QCOMPARE(w.State().Base.DeviceCount(0), 3); // the clone is made all the same
        QCOMPARE(w.SelDevice(), 1);
        QCOMPARE(w.StatusBar1->StatusText(),
                 QString("Внимание: в узле «Котельная» у приборов «Ввод» и «Ввод» одинаковый "
                         "сетевой номер 1 — они ответят на линии одновременно."));
        QVERIFY(w.Panel1->NetAddressNoteShown());
        QCOMPARE(w.Panel1->NetAddressNote(),
                 QString("Сетевой номер 1 есть и у прибора «Ввод» этого узла: на запрос "
                         "ответят одновременно несколько приборов."));
        QVERIFY(w.ValueListEditor2()->ValueMarked(3));

        // The original shows the same note.
        f.Select(0, 0);
        QVERIFY(w.Panel1->NetAddressNoteShown());
        QVERIFY(w.ValueListEditor2()->ValueMarked(3));

        // A number of its own takes the note away.
        f.Select(0, 1);
        w.ValueListEditor2()->EnterValue(3, "7");
        QCOMPARE(w.State().Base.Devices[0][1].NetAddress, 7);
        QVERIFY(!w.Panel1->NetAddressNoteShown());
        QVERIFY(!w.ValueListEditor2()->ValueMarked(3));
        f.Select(0, 0);
        QVERIFY(!w.Panel1->NetAddressNoteShown());

        // Typing the number of another device makes a new pair, and says so.
        f.Select(0, 1);
        w.ValueListEditor2()->EnterValue(3, "2");
        QCOMPARE(w.StatusBar1->StatusText(),
                 QString("Внимание: в узле «Котельная» у приборов «Ввод» и «Подпитка» "
                         "одинаковый сетевой номер 2 — они ответят на линии одновременно."));
        QCOMPARE(w.Panel1->NetAddressNote(),
                 QString("Сетевой номер 2 есть и у прибора «Подпитка» этого узла: на запрос "
                         "ответят одновременно несколько приборов."));
    }

    // A device dropped on the other node; what the status text says after it.
    void moveToAnotherNode_data() {
        QTest::addColumn<int>("fromNode");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("toNode");
        QTest::addColumn<QString>("status");
        QTest::newRow("number 1 joins number 1")
            << 0 << 0 << 1
            << "Внимание: в узле «Насосная» у приборов «Ввод» и «Коллектор» одинаковый сетевой "
               "номер 1 — они ответят на линии одновременно.";
        QTest::newRow("number 2 beside 1 and a switched-off 2") << 0 << 1 << 1 << "";
        QTest::newRow("switched-off device joins number 2") << 1 << 1 << 0 << "";
    }
    void moveToAnotherNode() {
        QFETCH(int, fromNode);
        QFETCH(int, from);
        QFETCH(int, toNode);
        QFETCH(QString, status);
        TWindowFixture f;
        f.Open(Station);
        TForm1& w = *f.Window;
        w.TreeView1->expandAll();
        QVERIFY(w.MoveItem(w.TreeView1->Item(fromNode, from), w.TreeView1->Item(toNode)));
        QCOMPARE(w.SelNode(), toNode);
        QCOMPARE(w.SelDevice(), 0);
        QCOMPARE(w.StatusBar1->StatusText(), status);
    }

    void backupIsWrittenOnceTheWindowIsUp() {
        QTemporaryDir dir;
        WriteBase(dir.path(), Station);
        const QByteArray original = FileBytes(dir.filePath("base.dat"));
        TForm1 window(dir.path().toStdString());
        window.MessageSink = [](QMessageBox::Icon, const QString&) {};
        QVERIFY(!QFile::exists(dir.filePath("base.bak"))); // not on the way to the window
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(QFile::exists(dir.filePath("base.bak")));
        QCOMPARE(FileBytes(dir.filePath("base.bak")), original);
        QVERIFY(window.close());
    }

    void backupExistsBeforeTheFirstSave() {
        QTemporaryDir dir;
        WriteBase(dir.path(), Station);
        const QByteArray original = FileBytes(dir.filePath("base.dat"));
        {
            TForm1 window(dir.path().toStdString());
            window.MessageSink = [](QMessageBox::Icon, const QString&) {};
            window.State().Base.Nodes[0].NameSlot.Value.Set("Котельная №2");
            QVERIFY(window.CloseQuery()); // saves, never having been shown
        }
        QCOMPARE(FileBytes(dir.filePath("base.bak")), original);
        QVERIFY(FileBytes(dir.filePath("base.dat")) != original);
    }
};

QTEST_MAIN(NetAddressWindowTest)
#include "NetAddressWindowTest.moc"
