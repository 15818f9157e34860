// The link clock and the activity lamps of the status bar.

#include "shell/LinkClock.h"
#include "tests/shell/ShellTestSupport.h"

using namespace virs;
using namespace virs::test;

class StatusBarTest : public QObject {
    Q_OBJECT
private slots:
    void clockTick_data() {
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("m");
        QTest::addColumn<int>("s");
        QTest::addColumn<QString>("after");
        QTest::newRow("a second") << 0 << 0 << 0 << "00:00:01";
        QTest::newRow("into minutes") << 0 << 0 << 59 << "00:01:00";
        QTest::newRow("into hours") << 9 << 59 << 59 << "10:00:00";
        QTest::newRow("wraps after 23:59:59") << 23 << 59 << 59 << "00:00:00";
    }
    void clockTick() {
        QFETCH(int, h);
        QFETCH(int, m);
        QFETCH(int, s);
        QFETCH(QString, after);
        TLinkClock clock{h, m, s};
        clock.Tick();
        QCOMPARE(QString::fromStdString(clock.Text()), after);
    }

    void clockPanel() {
        TWindowFixture f;
        f.Open();
        TForm1& w = *f.Window;
        w.StartLinkClock();
        QCOMPARE(w.StatusBar1->ClockPanel->text(), QString("00:00:00"));
        QVERIFY(w.Timer1->isActive());
        w.LinkClock = {23, 59, 59};
        w.Timer1Timer();
        QCOMPARE(w.StatusBar1->ClockPanel->text(), QString("00:00:00"));
        w.Timer1Timer();
        QCOMPARE(w.StatusBar1->ClockPanel->text(), QString("00:00:01"));
        w.StopLinkClock();
        QVERIFY(!w.Timer1->isActive());
        QVERIFY(w.StatusBar1->ClockPanel->text().isEmpty());
    }

    void lamps() {
        TWindowFixture f;
        f.Open();
        TForm1& w = *f.Window;
        std::atomic<std::int32_t> transmit{25}, receive{8};
        w.SetActivityCounters(&transmit, &receive);
        // A counter lights its lamp for as many ticks as it has tens left.
        const QList<QPair<bool, bool>> expected = {
            {true, true}, {true, false}, {true, false}, {false, false}};
        for (const auto& [tx, rx] : expected) {
            w.Timer2Timer();
            QCOMPARE(w.StatusBar1->Lamps->TransmitLit(), tx);
            QCOMPARE(w.StatusBar1->Lamps->ReceiveLit(), rx);
        }
        receive = 100;
        w.Timer2Timer();
        QVERIFY(w.StatusBar1->Lamps->ReceiveLit());
        w.SetLampTimer(false); // the job ended: both dark
        QVERIFY(!w.StatusBar1->Lamps->ReceiveLit());
        w.SetActivityCounters(nullptr, nullptr);
    }

    void tabStripFollowsThePane() {
        TWindowFixture f;
        f.Open({{"Узел", LinkDirect, {{"Ввод", DeviceVirsD}}}});
        TForm1& w = *f.Window;
        f.Select(0, 0);
        auto paneLeft = [&w] {
            return w.StatusBar1->mapFrom(&w, w.TextArea->mapTo(&w, QPoint(0, 0))).x();
        };
        QCOMPARE(w.TabSet1->parentWidget(), static_cast<QWidget*>(w.StatusBar1));
        QCOMPARE(w.TabSet1->y(), 0);
        w.ToolBar1->ToolButton18->setChecked(true);
        w.ToolButton18Click(true);
        QTRY_COMPARE(w.TabSet1->x(), paneLeft() - 10);
        QVERIFY(paneLeft() > 177 + 245); // tree and panel to the left of the pane
        w.ToolBar1->ToolButton18->setChecked(false);
        w.ToolButton18Click(false);
        QTRY_COMPARE(w.TabSet1->x(), paneLeft() - 10);
    }

    void statusText() {
        TWindowFixture f;
        f.Open();
        f.Window->SetStatusText("Завершено успешно");
        QCOMPARE(f.Window->StatusBar1->StatusText(), QString("Завершено успешно"));
    }
};

QTEST_MAIN(StatusBarTest)
#include "StatusBarTest.moc"
