// The main window: enabling rules, view tabs, new/clone/delete, close and save.

#include <unistd.h>

#include <csignal>

#include <QCheckBox>
#include <QPushButton>
#include <QSignalSpy>

#include "shell/DeleteDialog.h"
#include "shell/ShellImages.h"
#include "shell/ShellTexts.h"
#include "shell/TermSignal.h"
#include "tests/shell/ShellTestSupport.h"

using namespace virs;
using namespace virs::test;

Q_DECLARE_METATYPE(virs::TDeviceType)

namespace {

// The enabled state of every tool bar button, as a string of 0/1 in the order
// 5 6 20 7 18 8 9 14 16 13 3 2 1 12.
QString Enabled(const TForm1& w) {
    const TMainToolBar* t = w.ToolBar1;
    QString flags;
    for (const QToolButton* b :
         {t->ToolButton5, t->ToolButton6, t->ToolButton20, t->ToolButton7, t->ToolButton18,
          t->ToolButton8, t->ToolButton9, t->ToolButton14, t->ToolButton16, t->ToolButton13,
          t->ToolButton3, t->ToolButton2, t->ToolButton1, t->ToolButton12})
        flags += b->isEnabled() ? '1' : '0';
    return flags;
}

const std::vector<TNodeSpec> Station = {
    {"Котельная",
     LinkDirect,
     {{"выкл", DeviceOff},
      {"Toplin", DeviceToplin},
      {"КРЭН", DeviceKren},
      {"Ш", DeviceVirsSh},
      {"Д", DeviceVirsD},
      {"ДК", DeviceVirsDK},
      {"Д2", DeviceVirsD2}}},
    {"Насосная", LinkDialUp, {{"второй Д", DeviceVirsD}}},
    {"Водозабор", LinkGsm, {}},
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void emptyBase() {
        TWindowFixture f;
        f.Open();
        TForm1& w = *f.Window;
        //                 5 6 20 7 18 8 9 14 16 13 3 2 1 12
        QCOMPARE(Enabled(w), QString("10000000001111"));
        QCOMPARE(w.windowTitle(), QString(texts::MainTitle));
        QVERIFY(!w.Panel1->NodeRowsShown());

        w.ToolButton5Click(); // needs no selection on an empty tree
        QCOMPARE(w.State().Base.NodeCount(), 1);
        QCOMPARE(w.TreeView1->topLevelItem(0)->text(0), QString("новый узел"));
        QCOMPARE(TStationTree::Image(w.TreeView1->topLevelItem(0)), int(TreeDirectNode));
        QCOMPARE(w.TreeView1->currentItem(), w.TreeView1->topLevelItem(0));
        QVERIFY(!!w.Panel1->NodeRowsShown());
        // A node selected, no link controller: no connect.
        QCOMPARE(Enabled(w), QString("11011000000011"));
        QCOMPARE(w.windowTitle(), QString(texts::MainTitle) + " - новый узел");
    }

    void treeImages() {
        TWindowFixture f;
        f.Open(Station);
        const QList<int> nodes = {TreeDirectNode, TreeDialUpNode, TreeGsmNode};
        for (int n = 0; n < 3; ++n)
            QCOMPARE(TStationTree::Image(f.Window->TreeView1->Item(n)), nodes[n]);
        const QList<int> devices = {TreeDeviceOff, TreeVirsD, TreeKren,  TreeVirsSh,
                                    TreeVirsD,     TreeVirsD, TreeVirsD2};
        for (int d = 0; d < 7; ++d)
            QCOMPARE(TStationTree::Image(f.Window->TreeView1->Item(0, d)), devices[d]);
        QVERIFY(!f.Window->TreeView1->Item(0)->isExpanded());
    }

    void deviceRules_data() {
        QTest::addColumn<int>("device");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<int>("tabs");
        QTest::newRow("прибор отключен") << 0 << false << 0;
        QTest::newRow("Toplin") << 1 << true << 0;
        QTest::newRow("КРЭН") << 2 << true << 0;
        QTest::newRow("ВИРС-Ш") << 3 << true << 3;
        QTest::newRow("ВИРС-Д") << 4 << true << 5;
        QTest::newRow("ВИРС-ДК") << 5 << true << 5;
        QTest::newRow("ВИРС-Д2") << 6 << true << 4;
    }
    void deviceRules() {
        QFETCH(int, device);
        QFETCH(bool, shown);
        QFETCH(int, tabs);
        TWindowFixture f;
        f.Open(Station);
        TForm1& w = *f.Window;
        f.Select(0, device);
        const QString print = shown ? "11" : "00";
        //                 5 6 20 7 18 8 9 14 16 13 3 2 1 12
        QCOMPARE(Enabled(w), "0111100000" + print + "11");
        QCOMPARE(w.Memo1->isVisible(), shown);
        QCOMPARE(w.TabSet1->isVisible(), shown);
        QCOMPARE(w.TabSet1->count(), tabs);
        QCOMPARE(w.TabSet1->currentIndex(), tabs ? 0 : -1);
        QCOMPARE(w.SelNode(), 0);
        QCOMPARE(w.SelDevice(), device);
        QVERIFY(
            w.windowTitle().endsWith(" - Котельная [" + w.TreeView1->currentItem()->text(0) + "]"));
        if (device == DeviceToplin || device == DeviceKren)
            QVERIFY(w.Memo1->toPlainText().contains(texts::LegacyTypeNote));

        // Back on a node: no text pane, no tabs, no print, save or clone.
        f.Select(1);
        QCOMPARE(Enabled(w), QString("11011000000011"));
        QVERIFY(!w.Memo1->isVisible());
        QVERIFY(!w.TabSet1->isVisible());
    }

    void pollButtonsFollowTheLink() {
        TWindowFixture f;
        f.Open(Station);
        TForm1& w = *f.Window;
        TFakeLink link(w.State());
        w.SetLinkController(&link);
        QVERIFY(!w.ToolBar1->N2->isEnabled()); // no utility in this build yet
        int utilityRuns = 0;
        TShellServices services;
        services.ModemSetup = [&utilityRuns](QWidget*) { ++utilityRuns; };
        services.AdapterAddresses = [&utilityRuns](QWidget*) { ++utilityRuns; };
        services.FirmwareUpdate = [&utilityRuns](QWidget*) { ++utilityRuns; };
        w.SetServices(services);
        QVERIFY(w.ToolBar1->N2->isEnabled());
        w.ToolBar1->N3->trigger();
        QCOMPARE(utilityRuns, 1);
        f.Select(0);
        QVERIFY(w.ToolBar1->ToolButton14->isEnabled());
        w.ToolBar1->ToolButton14->setChecked(true);
        w.ToolButton14Click(true);
        QVERIFY(w.State().LinkOpen);
        // Structural commands wait while a link is open.
        QVERIFY(!w.ToolBar1->ToolButton5->isEnabled());
        QVERIFY(!w.ToolBar1->ToolButton7->isEnabled());
        QVERIFY(!w.TreeView1->dragEnabled());
        // The utilities that take a serial line wait, the firmware loader too.
        QVERIFY(!w.ToolBar1->N2->isEnabled());
        QVERIFY(!w.ToolBar1->N3->isEnabled());
        QVERIFY(!w.ToolBar1->N11->isEnabled());

        f.Select(0, DeviceVirsD);
        QVERIFY(w.ToolBar1->ToolButton16->isEnabled());
        QVERIFY(w.ToolBar1->ToolButton13->isEnabled());
        QVERIFY(!w.ToolBar1->ToolButton20->isEnabled());
        f.Select(0, DeviceOff);
        QVERIFY(!w.ToolBar1->ToolButton16->isEnabled());
        f.Select(1, 0); // a device of a node that is not connected
        QVERIFY(!w.ToolBar1->ToolButton16->isEnabled());
        QVERIFY(!w.ToolBar1->ToolButton13->isEnabled());
        f.Select(1); // another node: no connect while a link is open
        QVERIFY(!w.ToolBar1->ToolButton14->isEnabled());
        f.Select(0);
        QVERIFY(w.ToolBar1->ToolButton14->isEnabled());
        link.Parked = false; // a request in progress
        f.Select(0, DeviceVirsSh);
        QVERIFY(!w.ToolBar1->ToolButton16->isEnabled());

        w.ToolBar1->ToolButton14->setChecked(false);
        w.ToolButton14Click(false);
        QVERIFY(!w.State().LinkOpen);
        QVERIFY(w.ToolBar1->ToolButton5->isEnabled());
        QVERIFY(w.ToolBar1->N2->isEnabled());
        QVERIFY(w.TreeView1->dragEnabled());
    }

    void tabRestoration_data() {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("second");
        QTest::addColumn<int>("expected");
        QTest::newRow("Д tab 4 → Ш: last tab") << 4 << 4 << 3 << 2;
        QTest::newRow("Д tab 4 → Д2: last tab") << 4 << 4 << 6 << 3;
        QTest::newRow("Д2 tab 3 → Д: same index") << 6 << 3 << 4 << 3;
        QTest::newRow("Ш tab 1 → Д2: same index") << 3 << 1 << 6 << 1;
        QTest::newRow("Д tab 2 → Toplin → Д: from 0") << 4 << 2 << 1 << -1;
    }
    void tabRestoration() {
        QFETCH(int, first);
        QFETCH(int, tab);
        QFETCH(int, second);
        QFETCH(int, expected);
        TWindowFixture f;
        f.Open(Station);
        TForm1& w = *f.Window;
        QList<int> rendered;
        w.ArchiveView = [&rendered](const TDevice&, int index, const TViewLocale&, TViewLines&) {
            rendered << index;
        };
        f.Select(0, first);
        w.TabSet1->setCurrentIndex(tab);
        f.Select(0, second);
        QCOMPARE(w.TabSet1->currentIndex(), expected);
        if (expected < 0) { // no tabs: the next device with tabs starts at 0
            f.Select(0, DeviceVirsD);
            QCOMPARE(w.TabSet1->currentIndex(), 0);
        } else if (expected >= 1 && expected <= 2) {
            QCOMPARE(rendered.last(), expected); // the restored archive tab was rendered
        }
    }

    void newDevicePlacement() {
        TWindowFixture f;
        f.Open(Station);
        TForm1& w = *f.Window;
        f.Select(1, 0);
        w.ToolButton6Click(); // after the selected device
        QCOMPARE(w.TreeView1->Item(1)->childCount(), 2);
        QCOMPARE(w.TreeView1->currentItem(), w.TreeView1->Item(1, 1));
        QCOMPARE(w.State().Base.Devices[1][1].NetAddress, u8(2));
        f.Select(2);
        w.ToolButton6Click(); // appended to the node, which opens
        QVERIFY(w.TreeView1->Item(2)->isExpanded());
        QCOMPARE(w.TreeView1->currentItem(), w.TreeView1->Item(2, 0));
        QCOMPARE(w.TreeView1->currentItem()->text(0), QString("новый прибор"));
        QCOMPARE(TStationTree::Image(w.TreeView1->currentItem()), int(TreeDeviceOff));
        f.Select(0, 1);
        w.ToolButton5Click(); // a device selected: no new node
        QCOMPARE(w.State().Base.NodeCount(), 3);
        f.Select(0);
        w.ToolButton5Click(); // right after the selected node
        QCOMPARE(f.TreeTexts(), f.ModelTexts());
        QCOMPARE(w.TreeView1->topLevelItem(1)->text(0), QString("новый узел"));
        QCOMPARE(w.SelNode(), 1);
    }

    void clonePlacement() {
        TWindowFixture f;
        f.Open({{"Узел", LinkDirect, {{"Ввод 1", DeviceVirsD}, {"Ввод 2", DeviceVirsD2}}}});
        TForm1& w = *f.Window;
        f.Select(0, 0);
        w.State().Base.Devices[0][0].NetAddress = 17;
        w.ToolButton20Click();
        QCOMPARE(f.TreeTexts(), QStringList({"Узел", "  Ввод 1", "  Ввод 1", "  Ввод 2"}));
        QCOMPARE(f.ModelTexts(), f.TreeTexts());
        QCOMPARE(w.TreeView1->currentItem(), w.TreeView1->Item(0, 1));
        QCOMPARE(w.SelDevice(), 1);
        QCOMPARE(w.State().Base.Devices[0][1].NetAddress, u8(17));
        QCOMPARE(TStationTree::Image(w.TreeView1->Item(0, 1)), int(TreeVirsD));
        f.Select(0, 2);
        w.ToolButton20Click(); // the last device: appended
        QCOMPARE(w.TreeView1->Item(0)->childCount(), 4);
        QCOMPARE(w.TreeView1->currentItem(), w.TreeView1->Item(0, 3));
        QCOMPARE(TStationTree::Image(w.TreeView1->Item(0, 3)), int(TreeVirsD2));
    }

    void deleteConfirmation() {
        TWindowFixture f;
        f.Open(
            {{"Узел", LinkDirect, {{"А", DeviceVirsD}, {"Б", DeviceVirsD}, {"В", DeviceVirsD}}}});
        TForm1& w = *f.Window;
        f.Select(0, 0);
        // Cancel with the box ticked: nothing goes, but the next time nobody asks.
        bool asked = false;
        WhenModal([&asked](QWidget* dialog) {
            asked = true;
            auto* form = qobject_cast<TForm6*>(dialog);
            QVERIFY(form);
            QCOMPARE(form->windowTitle(), QString("Удаление"));
            form->CheckBox1->setChecked(true);
            form->BitBtn2->click();
        });
        w.ToolButton7Click();
        QVERIFY(asked);
        QCOMPARE(w.State().Base.DeviceCount(0), 3);
        QVERIFY(w.State().DeleteNoAsk);
        w.ToolButton7Click(); // no dialog: it would block here
        QCOMPARE(f.ModelTexts(), QStringList({"Узел", "  Б", "  В"}));
        QCOMPARE(f.TreeTexts(), f.ModelTexts());
        // The neighbour is selected, and the selection handler ran for it.
        QVERIFY(w.TreeView1->currentItem());
        int node = 0, device = 0;
        TStationTree::Locate(w.TreeView1->currentItem(), node, device);
        QCOMPARE(w.SelNode(), node);
        QCOMPARE(w.SelDevice(), device);
    }

    void deleteOkKeepsAsking() {
        TWindowFixture f;
        f.Open({{"Узел", LinkDirect, {{"А", DeviceVirsD}}}, {"Другой", LinkGsm, {}}});
        TForm1& w = *f.Window;
        f.Select(0);
        WhenModal([](QWidget* dialog) { qobject_cast<TForm6*>(dialog)->BitBtn1->click(); });
        w.ToolButton7Click();
        QVERIFY(!w.State().DeleteNoAsk);
        QCOMPARE(f.ModelTexts(), QStringList({"Другой"}));
        QCOMPARE(f.TreeTexts(), f.ModelTexts());
        // The last node goes: the tree is empty and so are the commands.
        f.Select(0);
        WhenModal([](QWidget* dialog) { qobject_cast<TForm6*>(dialog)->BitBtn1->click(); });
        w.ToolButton7Click();
        QCOMPARE(w.State().Base.NodeCount(), 0);
        QCOMPARE(Enabled(w).left(10), QString("1000000000"));
        QVERIFY(!w.Panel1->NodeRowsShown());
        QCOMPARE(w.windowTitle(), QString(texts::MainTitle));
    }

    void deleteRefusedForLinkAndJob() {
        TWindowFixture f;
        f.Open(Station);
        TForm1& w = *f.Window;
        TFakeLink link(w.State());
        w.SetLinkController(&link);
        w.State().DeleteNoAsk = true;
        w.State().LinkOpen = true;
        w.State().LinkNode = 1;
        f.Select(1);
        w.ToolButton7Click();
        QCOMPARE(w.State().Base.NodeCount(), 3);
        QCOMPARE(f.Messages.value(0), QString(texts::RefuseDeleteLinkNode));
        // Another node may go; the connected one keeps its identity.
        f.Select(0);
        w.ToolButton7Click();
        QCOMPARE(w.State().Base.NodeCount(), 2);
        QCOMPARE(w.State().LinkNode, u8(0));
        QCOMPARE(QString::fromStdString(w.State().Base.Nodes[0].NameSlot.Value.Get()),
                 QString("Насосная"));
        // While a job runs nothing is deleted.
        link.Running = true;
        link.Node = 0;
        f.Select(0, 0);
        w.ToolButton7Click();
        QCOMPARE(w.State().Base.DeviceCount(0), 1);
        QCOMPARE(f.Messages.value(1), QString(texts::RefuseWhilePolling));
    }

    void saveOnClose() {
        TWindowFixture f;
        f.Open(Station);
        TForm1& w = *f.Window;
        f.Select(2);
        w.ToolButton6Click();
        QVERIFY(w.close());
        StationBase saved;
        TStationFileGuard guard;
        LoadStationBase(saved, guard, f.Dir.path().toStdString());
        QCOMPARE(saved.NodeCount(), 3);
        QCOMPARE(saved.DeviceCount(2), 1);
    }

    void closeRefusedWhileTheLinkStays() {
        TWindowFixture f;
        f.Open(Station);
        TForm1& w = *f.Window;
        TFakeLink link(w.State());
        w.SetLinkController(&link);
        f.Select(0);
        w.ToolBar1->ToolButton14->setChecked(true);
        w.ToolButton14Click(true);
        link.CanClose = false;
        QFile::remove(f.Dir.filePath("base.dat"));
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        QVERIFY(QFile::exists(f.Dir.filePath("base.dat"))); // saved before the refusal
        QCOMPARE(link.ConnectClicks, 2);
        link.CanClose = true;
        QVERIFY(w.close());
        QVERIFY(!w.State().LinkOpen);
    }

    void terminationSignalClosesAndSaves() {
        TWindowFixture f;
        f.Open({{"Узел", LinkDirect, {}}});
        TForm1& w = *f.Window;
        f.Select(0);
        w.ToolButton6Click();
        TTerminationWatch watch;
        QVERIFY(watch.Active());
        QObject::connect(&watch, &TTerminationWatch::TerminationRequested, &w, [&w] { w.close(); });
        QFile::remove(f.Dir.filePath("base.dat"));
        std::raise(SIGTERM);
        QTRY_VERIFY(!w.isVisible());
        StationBase saved;
        TStationFileGuard guard;
        LoadStationBase(saved, guard, f.Dir.path().toStdString());
        QCOMPARE(saved.DeviceCount(0), 1);
    }

    void loadMessageShown() {
        TWindowFixture f;
        QVERIFY(f.Dir.isValid());
        QFile damaged(f.Dir.filePath("base.dat"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray("\0\x01\0\0", 4)); // one node announced, three bytes of it
        damaged.close();
        f.Open();
        QTRY_COMPARE(f.Messages.size(), 1);
        QVERIFY(!f.Messages[0].contains('\r'));
        QCOMPARE(f.Window->State().Base.NodeCount(), 1);
    }

    // Another live program (here the one that started the test) holds the
    // station: the window says so, offers no connection and saves nothing.
    void stationInUseOpensReadOnly() {
        TWindowFixture f;
        QVERIFY(f.Dir.isValid());
        const QByteArray owner = QByteArray::number(static_cast<qlonglong>(getppid())) + "\n";
        QFile lock(f.Dir.filePath("base.lock"));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(owner);
        lock.close();
        f.Open(Station);
        TForm1& w = *f.Window;
        QTRY_COMPARE(f.Messages.size(), 1);
        QVERIFY(f.Messages[0].contains(QString::fromUtf8("занята другой программой")));
        QVERIFY(f.Messages[0].contains(QString::fromUtf8("только для чтения")));
        TFakeLink link(w.State());
        w.SetLinkController(&link);
        f.Select(0, 4);
        QVERIFY(!w.ToolBar1->ToolButton14->isEnabled());
        f.Select(2);
        w.ToolButton6Click(); // a new device, shown but not saved
        QVERIFY(w.close());
        StationBase saved;
        TStationFileGuard guard;
        LoadStationBase(saved, guard, f.Dir.path().toStdString());
        QCOMPARE(saved.DeviceCount(2), 0);
        QVERIFY(lock.open(QIODevice::ReadOnly));
        QCOMPARE(lock.readAll(), owner); // still the other program's
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
