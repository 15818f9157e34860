// The link clock and the activity lamps of the status bar.

#include "link/ModbusExchange.h"
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
        QCOMPARE(w.StatusBar1->ClockText(), QString("00:00:00"));
        QVERIFY(w.Links().ClockRunning());
        w.Links().SetClock({23, 59, 59});
        w.Timer1Timer();
        QCOMPARE(w.StatusBar1->ClockText(), QString("00:00:00"));
        w.Timer1Timer();
        QCOMPARE(w.StatusBar1->ClockText(), QString("00:00:01"));
        w.StopLinkClock();
        QVERIFY(!w.Links().ClockRunning());
        QVERIFY(w.StatusBar1->ClockText().isEmpty());
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
            QCOMPARE(w.StatusBar1->TransmitLit(), tx);
            QCOMPARE(w.StatusBar1->ReceiveLit(), rx);
        }
        receive = 100;
        w.Timer2Timer();
        QVERIFY(w.StatusBar1->ReceiveLit());
        w.SetLampTimer(false); // the job ended: both dark
        QVERIFY(!w.StatusBar1->ReceiveLit());
        w.SetActivityCounters(nullptr, nullptr);
    }

    void tabStripFollowsThePane() {
        TWindowFixture f;
        f.Open({{"Узел", LinkDirect, {{"Ввод", DeviceVirsD}}}});
        TForm1& w = *f.Window;
        f.Select(0, 0);
        auto paneLeft = [&w] {
            return w.StatusBar1->mapFrom(&w, w.Memo1->mapTo(&w, QPoint(0, 0))).x();
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

    // The status text pane lies inside the window, below the tab strip, and is
    // wide enough for the longest status text, whatever the layout shows.
    void statusTextReadableInFull_data() {
        QTest::addColumn<bool>("detail");
        QTest::addColumn<int>("device");
        QTest::newRow("ВИРС-Д, five tabs") << false << 0;
        QTest::newRow("ВИРС-Д, five tabs, detail mode") << true << 0;
        QTest::newRow("ВИРС-Ш, three tabs, detail mode") << true << 1;
    }
    void statusTextReadableInFull() {
        QFETCH(bool, detail);
        QFETCH(int, device);
        TWindowFixture f;
        f.Open({{"Узел", LinkDirect, {{"Ввод", DeviceVirsD}, {"Ш", DeviceVirsSh}}}});
        TForm1& w = *f.Window;
        f.Select(0, device);
        if (detail) {
            w.ToolBar1->ToolButton18->setChecked(true);
            w.ToolButton18Click(true);
        }
        // The longest texts panel 2 shows: the exchange outcomes and the progress.
        QStringList texts = {"Поиск модема...98%", "Не удалось открыть порт COM255",
                             "Выполнено...100%", "Повторяющиеся запросы..."};
        for (const char* text : ExchangeResultText)
            texts << QString::fromUtf8(text);
        QString longest;
        for (const QString& text : texts)
            if (text.size() > longest.size())
                longest = text;
        QCOMPARE(longest.size(), 96); // "Невосстанавливаемая ошибка ... действие"
        w.SetStatusText(longest);
        QTest::qWait(50);
        QVERIFY(w.TabSet1->isVisible());
        const QRect inBar = w.StatusBar1->StatusTextRect();
        const QRect paneRect(w.StatusBar1->mapTo(&w, inBar.topLeft()), inBar.size());
        const QRect tabsRect(w.TabSet1->mapTo(&w, QPoint(0, 0)), w.TabSet1->size());
        QVERIFY2(w.rect().contains(paneRect), qPrintable(QString("%1,%2 %3x%4")
                                                             .arg(paneRect.x())
                                                             .arg(paneRect.y())
                                                             .arg(paneRect.width())
                                                             .arg(paneRect.height())));
        QVERIFY(!paneRect.intersects(tabsRect));
        QVERIFY2(QFontMetrics(w.StatusBar1->StatusTextFont()).horizontalAdvance(longest) <=
                     paneRect.width(),
                 qPrintable(QString::number(paneRect.width())));
        // The strip stays at the status bar's top edge, under the text pane.
        QCOMPARE(w.TabSet1->y(), 0);
        QVERIFY(tabsRect.bottom() < paneRect.top());
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
