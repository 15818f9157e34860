// The main window against the simulator, offscreen, through its real buttons:
// connect, start, cyclic polling and disconnect on a direct line, the dial-up
// and GSM dialogues with their message boxes, a time-out, and the archive
// dialog's rules.

#include <QtTest>

#include <sys/stat.h>

#include <cstring>

#include "shell/ShellImages.h"
#include "shell/WindowLink.h"
#include "tests/cli/SimHarness.h"
#include "tests/shell/ShellTestSupport.h"

namespace virs::test {
namespace {

std::string DirectScenario() {
    return R"({"seed": 11, "now": "2024-03-15T10:00:00",
      "sites": [{"name": "A", "devices": [
        {"type": "ВИРС-Ш", "address": 1, "serial": 1111},
        {"type": "ВИРС-Д", "address": 2},
        {"type": "ВИРС-ДК", "address": 3},
        {"type": "ВИРС-Д2", "address": 4, "serial": 4444}]}],
      "lines": [{"com": 6, "kind": "direct", "site": "A"}]})";
}

std::string ModemScenario(const std::string& modem) {
    return R"({"seed": 3, "now": "2024-03-15T10:00:00",
      "sites": [{"name": "A", "devices": [{"type": "ВИРС-Д2", "address": 4, "serial": 4444}]}],
      "lines": [{"com": 6, "kind": "modem", "modem": {"echo": false, )" +
           modem + R"(, "phone_book": [
        {"number": "100", "outcome": "connect", "site": "A", "delay_ms": 300},
        {"number": "200", "outcome": "busy", "delay_ms": 300},
        {"number": "300", "outcome": "no_carrier", "delay_ms": 300},
        {"number": "400", "outcome": "voice", "delay_ms": 300},
        {"number": "900", "outcome": "connect", "site": "A", "delay_ms": 60000}]}}]})";
}

// A window with its link on a station in a temporary folder, the simulator on COM6.
struct TLinkedWindow {
    TTempFolder Folder;
    std::unique_ptr<TSimProcess> Sim;
    std::unique_ptr<TForm1> Window;
    std::unique_ptr<TWindowLink> Link;
    QStringList Messages;

    void Open(const std::string& scenario, const std::vector<TTestNode>& nodes,
              const std::vector<std::string>& simOptions = {}) {
        const std::filesystem::path ports = Folder.Path / "ports";
        std::filesystem::create_directories(ports);
        setenv("VIRS_PORTS_DIR", ports.c_str(), 1);
        WriteText(Folder.Path / "scenario.json", scenario);
        Sim = std::make_unique<TSimProcess>(Folder.Path / "scenario.json", simOptions);
        QVERIFY2(Sim->Ready, Sim->Banner.c_str());
        SaveStation(MakeStation(nodes), Folder.Path);
        Window = std::make_unique<TForm1>(Folder.Path);
        Window->MessageSink = [this](QMessageBox::Icon, const QString& text) { Messages << text; };
        Link = std::make_unique<TWindowLink>(*Window);
        Window->SetLinkController(Link.get());
        Window->show();
        QVERIFY(QTest::qWaitForWindowExposed(Window.get()));
    }
    ~TLinkedWindow() {
        if (Window && Window->State().LinkOpen) {
            Window->ToolBar1->ToolButton14->setChecked(false);
            Window->ToolButton14Click(false);
        }
        Link.reset();
        Window.reset();
    }
    void Select(int node, int device = NoDevice) {
        Window->TreeView1->setCurrentItem(Window->TreeView1->Item(node, device));
    }
    QString Status() const { return Window->StatusBar1->StatusText(); }
    TProgramState& State() { return Window->State(); }
    int Image(int node, int device = NoDevice) {
        return TStationTree::Image(Window->TreeView1->Item(node, device));
    }
    // Connect, read one view, and return the text pane.
    void Connect() {
        Select(0);
        QVERIFY(Window->ToolBar1->ToolButton14->isEnabled());
        Window->ToolBar1->ToolButton14->click();
    }
    void ReadView(int device, int tab) {
        Select(0, device);
        Window->TabSet1->setCurrentIndex(tab);
        QTRY_VERIFY(Window->ToolBar1->ToolButton16->isEnabled());
        Window->ToolBar1->ToolButton16->click();
        QVERIFY(Window->ToolBar1->ToolButton16->isChecked() || !State().JobRunning);
        QTRY_VERIFY_WITH_TIMEOUT(!State().JobRunning, 20000);
    }
};

TTestNode DirectNode() {
    TTestNode n;
    n.ComPort = 6;
    n.Retries = 1;
    n.ReplyTimeoutMs = 300;
    n.Devices = {{DeviceVirsSh, 1}, {DeviceVirsD, 2}, {DeviceVirsDK, 3}, {DeviceVirsD2, 4}};
    return n;
}

} // namespace

class LinkWindowTest : public QObject {
    Q_OBJECT
private slots:
    void directLinkReadsEveryType() {
        TLinkedWindow w;
        w.Open(DirectScenario(), {DirectNode()});
        w.Connect();
        QVERIFY(w.State().LinkOpen);
        QCOMPARE(w.Status(), QString("Соединение с узлом установлено"));
        QCOMPARE(w.Image(0), 5);
        QVERIFY(w.Messages.isEmpty()); // a direct link shows no message box

        const struct {
            int Device, Tab, IdleImage;
            const char* Text;
        } cases[] = {{0, 0, 11, "серийный номер прибора: 1111"},
                     {1, 0, 9, "накопленный объем V1, реверс"},
                     {2, 0, 9, "объёмный расход F4"},
                     {3, 0, 13, "Серийный номер прибора: 4444"},
                     {1, 4, 9, "ОБЩИЕ ПАРАМЕТРЫ"},
                     {3, 3, 13, "ПАРАМЕТРЫ ДАТЧИКОВ ДАВЛЕНИЯ"}};
        for (const auto& c : cases) {
            w.ReadView(c.Device, c.Tab);
            QCOMPARE(w.Status(), QString("Завершено успешно"));
            QVERIFY2(w.Window->Memo1->toPlainText().contains(QString::fromUtf8(c.Text)),
                     qPrintable(w.Window->Memo1->toPlainText()));
            QCOMPARE(w.Image(0, c.Device), c.IdleImage);
            QVERIFY(!w.Window->ToolBar1->ToolButton16->isChecked());
            QVERIFY(w.Window->ToolBar1->ToolButton16->isEnabled());
        }
        QVERIFY(w.State().Base.Devices[0][0].DataReadAt > 0);

        w.Select(0);                               // the connect button belongs to the node's row
        w.Window->ToolBar1->ToolButton14->click(); // released
        QVERIFY(!w.State().LinkOpen);
        QCOMPARE(w.Status(), QString("Узел закрыт"));
        QCOMPARE(w.Image(0), 4);
    }

    void timeoutLeavesTheStoredImageUntouched() {
        TLinkedWindow w;
        w.Open(DirectScenario(), {DirectNode()}, {"--fault", "device=2,kind=silence"});
        const TDevice before = w.State().Base.Devices[0][1];
        w.Connect();
        w.ReadView(1, 0);
        QCOMPARE(w.Status(), QString("Превышен тайм-аут ожидания ответа"));
        const TDevice& after = w.State().Base.Devices[0][1];
        QCOMPARE(after.DataReadAt, before.DataReadAt);
        QVERIFY(std::memcmp(after.DataImage, before.DataImage, DataImageSize) == 0);
        QCOMPARE(w.Image(0, 1), 9);
    }

    void cyclicPollingAndItsStop() {
        TLinkedWindow w;
        w.Open(DirectScenario(), {DirectNode()});
        w.Connect();
        w.Select(0, 3);
        QTRY_VERIFY(w.Window->ToolBar1->ToolButton13->isEnabled());
        int renders = 0;
        QObject::connect(w.Window->Memo1, &QPlainTextEdit::textChanged, [&] { ++renders; });
        w.Window->ToolBar1->ToolButton13->click();
        QVERIFY(w.Link->Timer3->isActive());
        QCOMPARE(w.Link->Timer3->interval(), 300 * 1 + 1000);
        QVERIFY(!w.Window->ToolBar1->ToolButton16->isEnabled());
        // The first job and two ticks of Timer3.
        QTRY_VERIFY_WITH_TIMEOUT(renders >= 3, 15000);
        w.Window->ToolBar1->ToolButton13->click(); // released
        QVERIFY(!w.Link->Timer3->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(!w.State().JobRunning, 5000);
        QCOMPARE(w.Status(), QString("Прервано пользователем"));
        const int after = renders;
        QTest::qWait(2000);
        QCOMPARE(renders, after); // nothing more starts
        QVERIFY(w.Window->ToolBar1->ToolButton16->isEnabled());
    }

    void modemDialogues_data() {
        QTest::addColumn<QString>("modem");
        QTest::addColumn<int>("link");
        QTest::addColumn<QString>("phone");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("status");
        const QString gsmId = "модем: SIMCOM_Ltd SIMCOM_SIM900";
        QTest::newRow("dial-up CONNECT")
            << R"("type": "dialup")" << int(LinkDialUp) << "100" << true
            << QStringList{"Соединение с узлом установлено\nCOM6"}
            << "Соединение с узлом установлено";
        QTest::newRow("dial-up BUSY")
            << R"("type": "dialup")" << int(LinkDialUp) << "200" << false
            << QStringList{"Абонент занят.\nCOM6"} << "Ошибка соединения с узлом";
        QTest::newRow("dial-up NO CARRIER")
            << R"("type": "dialup")" << int(LinkDialUp) << "300" << false
            << QStringList{"Нет соединения.\nCOM6"} << "Ошибка соединения с узлом";
        QTest::newRow("dial-up voice")
            << R"("type": "dialup")" << int(LinkDialUp) << "400" << false
            << QStringList{"Соединение в голосовом режиме!", "Соединение прервано\nCOM6"}
            << "Ошибка соединения с узлом";
        QTest::newRow("found only by the search")
            << R"("type": "dialup", "baud": 1200)" << int(LinkDialUp) << "100" << true
            << QStringList{"Соединение с узлом установлено\nCOM6"}
            << "Соединение с узлом установлено";
        QTest::newRow("GSM without SIM")
            << R"("type": "gsm", "pin": "NO SIM")" << int(LinkGsm) << "100" << false
            << QStringList{"SIM-карта отсутствует.\n" + gsmId} << "Ошибка соединения с узлом";
        QTest::newRow("GSM roaming")
            << R"("type": "gsm", "registration": 5)" << int(LinkGsm) << "100" << true
            << QStringList{"Соединение с узлом установлено\n" + gsmId +
                           "\nоператор: \"MTS RUS\", роуминг"}
            << "Соединение с узлом установлено";
    }

    void modemDialogues() {
        QFETCH(QString, modem);
        QFETCH(int, link);
        QFETCH(QString, phone);
        QFETCH(bool, connected);
        QFETCH(QStringList, messages);
        QFETCH(QString, status);
        TLinkedWindow w;
        TTestNode node;
        node.LinkType = static_cast<TLinkType>(link);
        node.ComPort = 6;
        node.Phone = phone.toStdString();
        node.ReplyTimeoutMs = 2000;
        node.Devices = {{DeviceVirsD2, 4}};
        w.Open(ModemScenario(modem.toStdString()), {node});
        w.Connect();
        QCOMPARE(w.State().LinkOpen, connected);
        QCOMPARE(w.Messages, messages);
        QCOMPARE(w.Status(), status);
        QCOMPARE(w.Window->ToolBar1->ToolButton14->isChecked(), connected);
        if (!connected)
            return;
        QCOMPARE(w.Image(0), 1);
        w.ReadView(0, 0);
        QCOMPARE(w.Status(), QString("Завершено успешно"));
        QVERIFY(w.Window->Memo1->toPlainText().contains("Серийный номер прибора: 4444"));
        w.Messages.clear();
        w.Select(0);
        w.Window->ToolBar1->ToolButton14->click(); // released: escape and hang-up
        QVERIFY(!w.State().LinkOpen);
        QCOMPARE(w.Messages, QStringList{"Соединение прервано"});
        QCOMPARE(w.Status(), QString("Узел закрыт"));
        QCOMPARE(w.Image(0), link == LinkDialUp ? 2 : 0);
    }

    void releasingTheButtonDuringTheCallHangsUp() {
        TLinkedWindow w;
        TTestNode node;
        node.LinkType = LinkDialUp;
        node.ComPort = 6;
        node.Phone = "900"; // answers after a minute
        node.Devices = {{DeviceVirsD2, 4}};
        w.Open(ModemScenario(R"("type": "dialup")"), {node});
        QElapsedTimer clock;
        clock.start();
        QTimer::singleShot(2500, w.Window.get(), [&] {
            QCOMPARE(w.Status(), QString("Набор номера...Вызов..."));
            w.Window->ToolBar1->ToolButton14->click();
        });
        w.Connect();
        QVERIFY(clock.elapsed() < 10000);
        QVERIFY(!w.State().LinkOpen);
        QCOMPARE(w.Status(), QString("Вызов прерван"));
        QVERIFY(w.Messages.isEmpty());
        QVERIFY(!w.Window->ToolBar1->ToolButton14->isChecked());
    }

    void archiveJobGoesThroughTheDateDialog() {
        TLinkedWindow w;
        w.Open(DirectScenario(), {DirectNode()});
        w.Connect();
        // Cancelled: no job, the buttons and the picture as before.
        WhenModal([](QWidget* modal) {
            auto* dialog = qobject_cast<TForm7*>(modal);
            QVERIFY(dialog);
            QVERIFY(!dialog->RadioButton1->isHidden()); // shown for a ВИРС-Д2
            dialog->BitBtn2->click();
        });
        w.ReadView(3, 1);
        QCOMPARE(w.Status(), QString());
        QCOMPARE(w.Image(0, 3), 13);
        QVERIFY(!w.Window->ToolBar1->ToolButton16->isChecked());
        QVERIFY(w.Window->ToolBar1->ToolButton16->isEnabled());
        // Accepted: the archive is walked and written to the device's workbook.
        WhenModal([](QWidget* modal) { qobject_cast<TForm7*>(modal)->BitBtn1->click(); });
        w.ReadView(3, 2);
        QCOMPARE(w.Status(), QString("Завершено успешно"));
        QVERIFY(QFile::exists(
            QString::fromStdString((w.Folder.Path / "ModBus_protocol.txt").string())));
        // ВИРС-Ш archives hide the value mode.
        WhenModal([](QWidget* modal) {
            auto* dialog = qobject_cast<TForm7*>(modal);
            QVERIFY(dialog->RadioButton1->isHidden());
            dialog->BitBtn1->click();
        });
        w.ReadView(0, 1);
        QCOMPARE(w.Status(), QString("Завершено успешно"));
        // The daily tab shows the workbook the job wrote.
        const std::string file = w.State().Base.Devices[0][0].ArchiveFile.Get();
        QVERIFY(!file.empty());
        QVERIFY(std::filesystem::exists(w.Folder.Path / file));
        QVERIFY(w.Window->Memo1->toPlainText().startsWith("Суточный архив с "));
    }

    void theStopButtonKeepsTheArchiveRowsReadSoFar() {
        TLinkedWindow w;
        w.Open(DirectScenario(), {DirectNode()});
        w.Connect();
        // Ten days of hourly ВИРС-Д records: the stop comes long before the end.
        WhenModal([](QWidget* modal) {
            auto* dialog = qobject_cast<TForm7*>(modal);
            dialog->MonthCalendar1->setSelectedDate(
                dialog->MonthCalendar2->selectedDate().addDays(-10));
            dialog->BitBtn1->click();
        });
        QStringList progress;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            const QString status = w.Status();
            if (status.startsWith("Выполнено...") && !progress.contains(status))
                progress << status;
            if (progress.size() == 3 && w.Window->ToolBar1->ToolButton16->isChecked())
                w.Window->ToolBar1->ToolButton16->click(); // released: stop
        });
        watch.start(5);
        w.ReadView(1, 2);
        watch.stop();
        QCOMPARE(w.Status(), QString("Прервано пользователем"));
        QCOMPARE(progress.size(), 3);
        QCOMPARE(progress.first(), QString("Выполнено...0%"));
        // The rows read so far are in the workbook and on the hourly tab.
        const std::string file = w.State().Base.Devices[0][1].ArchiveFile.Get();
        QVERIFY(std::filesystem::exists(w.Folder.Path / file));
        const QStringList lines = w.Window->Memo1->toPlainText().split('\n');
        QVERIFY(lines.first().startsWith("Часовой архив средних значений с "));
        // 7 heading lines, the 5 lines of the head, the rows, the closing line.
        const int rows = static_cast<int>(lines.size()) - 7 - 5 - 1;
        QVERIFY2(rows >= 3 && rows < 240, qPrintable(QString::number(rows)));
        QCOMPARE(lines.last(), QString(137, '-'));
    }

    // An alias in a folder anyone may write to is not used; the status text
    // says why the first time, later connects show the plain outcome.
    void untrustedAliasFolderIsNamedOnce() {
        TTempFolder folder;
        const std::filesystem::path ports = folder.Path / "ports";
        std::filesystem::create_directory(ports);
        ::chmod(ports.c_str(), 0777);
        std::filesystem::create_symlink("/dev/null", ports / "COM200");
        setenv("VIRS_PORTS_DIR", ports.c_str(), 1);
        TTestNode node;
        node.ComPort = 200;
        node.Devices = {{DeviceVirsSh, 1}};
        SaveStation(MakeStation({node}), folder.Path);
        TForm1 window(folder.Path);
        TWindowLink link(window);
        window.SetLinkController(&link);
        window.TreeView1->setCurrentItem(window.TreeView1->Item(0, NoDevice));
        const QString notice = QString::fromStdString(
            "Псевдонимы портов в " + ports.string() +
            " не используются: в папку могут писать другие пользователи (права 0777); "
            "другого устройства для COM200 нет");
        window.ToolBar1->ToolButton14->click();
        QVERIFY(!window.State().LinkOpen);
        QCOMPARE(window.StatusBar1->StatusText(), "Не удалось открыть порт COM200. " + notice);
        window.ToolBar1->ToolButton14->click();
        QVERIFY(!window.State().LinkOpen);
        QCOMPARE(window.StatusBar1->StatusText(), QString("Не удалось открыть порт COM200"));
        unsetenv("VIRS_PORTS_DIR");
    }

    void archiveDialogRefusesAnEndBeforeTheStart() {
        TForm7 dialog;
        QStringList refusals;
        dialog.RefusalSink = [&](const QString& text) { refusals << text; };
        TArchiveRangeDialog state;
        const std::int64_t today = EncodeDate(2024, 3, 15);
        PrepareArchiveDialog(state, DeviceVirsD, TArchiveKind::Daily, today);
        dialog.Load(state);
        QCOMPARE(dialog.MonthCalendar1->selectedDate(), QDate(2024, 3, 15));
        QCOMPARE(dialog.MonthCalendar2->maximumDate(), QDate(2024, 3, 15));
        QVERIFY(!dialog.RadioButton1->isHidden());
        dialog.MonthCalendar1->setSelectedDate(QDate(2024, 3, 10));
        dialog.MonthCalendar2->setSelectedDate(QDate(2024, 3, 9));
        dialog.BitBtn1Click();
        QCOMPARE(refusals, QStringList{"Дата начала не может быть больше даты окончания"});
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        dialog.MonthCalendar2->setSelectedDate(QDate(2024, 3, 10)); // equal dates are accepted
        dialog.BitBtn1Click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        dialog.RadioButton2->setChecked(true);
        dialog.Store(state);
        QCOMPARE(state.FirstDay, EncodeDate(2024, 3, 10));
        QVERIFY(state.Integrators);

        PrepareArchiveDialog(state, DeviceVirsSh, TArchiveKind::Hourly, today);
        dialog.Load(state);
        QVERIFY(dialog.RadioButton1->isHidden());
        QCOMPARE(dialog.MonthCalendar1->selectedDate(), QDate(2024, 3, 15));
    }
};

} // namespace virs::test

QTEST_MAIN(virs::test::LinkWindowTest)
#include "LinkWindowTest.moc"
