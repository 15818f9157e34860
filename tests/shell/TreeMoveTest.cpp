// Drag and drop in the station tree: which drops are taken, and where the moved
// item lands in the tree and in the model.

#include "shell/ShellImages.h"
#include "shell/ShellTexts.h"
#include "tests/shell/ShellTestSupport.h"

using namespace virs;
using namespace virs::test;

namespace {

const std::vector<TNodeSpec> Station = {
    {"У1", LinkDirect, {{"а", DeviceVirsD}, {"б", DeviceVirsSh}, {"в", DeviceVirsD2}}},
    {"У2", LinkDialUp, {{"г", DeviceVirsD}}},
    {"У3", LinkGsm, {}},
};

struct TPlace {
    int Node;
    int Device;
};

} // namespace

Q_DECLARE_METATYPE(TPlace)

class TreeMoveTest : public QObject {
    Q_OBJECT
private slots:
    void drop_data() {
        QTest::addColumn<TPlace>("dragged");
        QTest::addColumn<TPlace>("target");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<TPlace>("selected");
        const int N = NoDevice;
        const QStringList unchanged = {"У1", "  а", "  б", "  в", "У2", "  г", "У3"};
        QTest::newRow("node onto a device: refused")
            << TPlace{1, N} << TPlace{0, 1} << false << unchanged << TPlace{1, N};
        QTest::newRow("device onto itself: nothing")
            << TPlace{0, 1} << TPlace{0, 1} << false << unchanged << TPlace{0, 1};
        QTest::newRow("device onto its own node: first")
            << TPlace{0, 2} << TPlace{0, N} << true
            << QStringList{"У1", "  в", "  а", "  б", "У2", "  г", "У3"} << TPlace{0, 0};
        QTest::newRow("device down: after the target")
            << TPlace{0, 0} << TPlace{0, 1} << true
            << QStringList{"У1", "  б", "  а", "  в", "У2", "  г", "У3"} << TPlace{0, 1};
        QTest::newRow("device up: before the target")
            << TPlace{0, 2} << TPlace{0, 1} << true
            << QStringList{"У1", "  а", "  в", "  б", "У2", "  г", "У3"} << TPlace{0, 1};
        QTest::newRow("device to another node's device: before it")
            << TPlace{0, 1} << TPlace{1, 0} << true
            << QStringList{"У1", "  а", "  в", "У2", "  б", "  г", "У3"} << TPlace{1, 0};
        QTest::newRow("device onto an empty node")
            << TPlace{1, 0} << TPlace{2, N} << true
            << QStringList{"У1", "  а", "  б", "  в", "У2", "У3", "  г"} << TPlace{2, 0};
        QTest::newRow("node down: after the target")
            << TPlace{0, N} << TPlace{1, N} << true
            << QStringList{"У2", "  г", "У1", "  а", "  б", "  в", "У3"} << TPlace{1, N};
        QTest::newRow("node up: before the target")
            << TPlace{2, N} << TPlace{1, N} << true
            << QStringList{"У1", "  а", "  б", "  в", "У3", "У2", "  г"} << TPlace{1, N};
    }
    void drop() {
        QFETCH(TPlace, dragged);
        QFETCH(TPlace, target);
        QFETCH(bool, taken);
        QFETCH(QStringList, after);
        QFETCH(TPlace, selected);
        TWindowFixture f;
        f.Open(Station);
        TForm1& w = *f.Window;
        f.Select(dragged.Node, dragged.Device);
        QTreeWidgetItem* item = w.TreeView1->Item(dragged.Node, dragged.Device);
        QTreeWidgetItem* over = w.TreeView1->Item(target.Node, target.Device);
        QCOMPARE(TStationTree::AcceptsDrop(item, over), taken);
        QCOMPARE(w.MoveItem(item, over), taken);
        QCOMPARE(f.TreeTexts(), after);
        QCOMPARE(f.ModelTexts(), after);
        QCOMPARE(w.SelNode(), selected.Node);
        QCOMPARE(w.SelDevice(), selected.Device);
        QCOMPARE(w.TreeView1->currentItem(), w.TreeView1->Item(selected.Node, selected.Device));
        // Device counts and images travel with the records.
        for (int n = 0; n < w.State().Base.NodeCount(); ++n) {
            QCOMPARE(int(w.State().Base.Nodes[n].DeviceCount), w.TreeView1->Item(n)->childCount());
            for (int d = 0; d < w.State().Base.DeviceCount(n); ++d)
                QCOMPARE(TStationTree::Image(w.TreeView1->Item(n, d)),
                         DeviceImage(w.State().Base.Devices[n][d].DeviceType));
        }
        QVERIFY(w.windowTitle().contains(
            QString::fromStdString(w.State().Base.Nodes[w.SelNode()].NameSlot.Value.Get())));
    }

    void refusedWhileLinkedOrPolling() {
        TWindowFixture f;
        f.Open(Station);
        TForm1& w = *f.Window;
        TFakeLink link(w.State());
        w.SetLinkController(&link);
        w.State().LinkOpen = true;
        w.State().LinkNode = 1;
        const QStringList before = f.ModelTexts();
        QVERIFY(!w.MoveItem(w.TreeView1->Item(1), w.TreeView1->Item(0)));
        QCOMPARE(f.Messages.value(0), QString(texts::RefuseMoveLinkNode));
        // Moving another node keeps the connected one connected.
        QVERIFY(w.MoveItem(w.TreeView1->Item(2), w.TreeView1->Item(0)));
        QCOMPARE(w.State().LinkNode, u8(2));
        QCOMPARE(QString::fromStdString(w.State().Base.Nodes[2].NameSlot.Value.Get()),
                 QString("У2"));
        link.Running = true;
        QVERIFY(!w.MoveItem(w.TreeView1->Item(1, 0), w.TreeView1->Item(1, 2)));
        QCOMPARE(f.Messages.value(1), QString(texts::RefuseWhilePolling));
        QCOMPARE(f.TreeTexts(), f.ModelTexts());
    }

    void indexAfterMove_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("expected");
        QTest::newRow("the moved one") << 2 << 2 << 5 << 5;
        QTest::newRow("between, moving down") << 3 << 2 << 5 << 2;
        QTest::newRow("between, moving up") << 3 << 5 << 2 << 4;
        QTest::newRow("the target, moving up") << 2 << 5 << 2 << 3;
        QTest::newRow("outside") << 7 << 2 << 5 << 7;
        QTest::newRow("before") << 0 << 5 << 2 << 0;
    }
    void indexAfterMove() {
        QFETCH(int, index);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, expected);
        QCOMPARE(IndexAfterMove(index, from, to), expected);
    }
};

QTEST_MAIN(TreeMoveTest)
#include "TreeMoveTest.moc"
