// The traffic monitor "Обмен" of the main window, offscreen: hidden until
// chosen in the ⚙ menu; a read of a ВИРС-Д against the simulator lists its
// frames in order with their decoding, the same bytes as the protocol log;
// copy, clear and the UTF-8 file; the list keeps the last 10 000 frames.

#include <QClipboard>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTableView>
#include <QtTest>

#include "model/AtomicFile.h"
#include "model/TextCodec.h"
#include "shell/TrafficMonitor.h"
#include "shell/WindowLink.h"
#include "tests/cli/SimHarness.h"
#include "tests/shell/ShellTestSupport.h"

namespace virs::test {
namespace {

std::string Scenario() {
    return R"({"seed": 5, "now": "2024-03-15T10:00:00",
      "sites": [{"name": "A", "devices": [{"type": "ВИРС-Д", "address": 2}]}],
      "lines": [{"com": 6, "kind": "direct", "site": "A"}]})";
}

// The bytes of each protocol log line ("OUT: 0x02 0x03 ... (8 байт)") as the
// monitor writes them ("02 03 ...").
QStringList LogFrames(const std::filesystem::path& log) {
    std::string raw;
    if (!ReadWholeFile(log, raw))
        return {};
    QStringList frames;
    const QString text = QString::fromStdString(Cp1251ToUtf8(raw));
    for (const QString& line : text.split("\r\n", Qt::SkipEmptyParts)) {
        QStringList bytes;
        for (const QRegularExpressionMatch& m :
             QRegularExpression("0x([0-9A-F]{2})").globalMatch(line))
            bytes << m.captured(1);
        frames << bytes.join(' ');
    }
    return frames;
}

} // namespace

class TrafficMonitorTest : public QObject {
    Q_OBJECT
private slots:
    void readIsListedFrameByFrame() {
        TTempFolder folder;
        const std::filesystem::path ports = folder.Path / "ports";
        std::filesystem::create_directories(ports);
        setenv("VIRS_PORTS_DIR", ports.c_str(), 1);
        WriteText(folder.Path / "scenario.json", Scenario());
        TSimProcess sim(folder.Path / "scenario.json");
        QVERIFY2(sim.Ready, sim.Banner.c_str());
        TTestNode node;
        node.ComPort = 6;
        node.Retries = 2;
        node.ReplyTimeoutMs = 500;
        node.Devices = {{DeviceVirsD, 2}};
        SaveStation(MakeStation({node}), folder.Path);

        auto window = std::make_unique<TForm1>(folder.Path);
        auto link = std::make_unique<TWindowLink>(*window);
        window->SetLinkController(link.get());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        TTrafficMonitor* monitor = window->Monitor;

        // Hidden by default; the ⚙ menu shows it.
        QVERIFY(!monitor->isVisible());
        QAction* item = nullptr;
        for (QAction* a : window->ToolBar1->PopupMenu1->actions())
            if (a->text() == QString("обмен"))
                item = a;
        QVERIFY(item);
        QVERIFY(item->isCheckable() && !item->isChecked());
        item->trigger();
        QVERIFY(monitor->isVisible());
        QCOMPARE(monitor->windowTitle(), QString("Обмен"));
        QCOMPARE(window->dockWidgetArea(monitor), Qt::BottomDockWidgetArea);

        // Connect, read the current values of the ВИРС-Д (64 registers in two
        // frames of 32 on a direct line).
        window->TreeView1->setCurrentItem(window->TreeView1->Item(0));
        window->ToolBar1->ToolButton14->click();
        QVERIFY(window->State().LinkOpen);
        window->TreeView1->setCurrentItem(window->TreeView1->Item(0, 0));
        window->TabSet1->setCurrentIndex(0);
        QTRY_VERIFY(window->ToolBar1->ToolButton16->isEnabled());
        window->ToolBar1->ToolButton16->click();
        QTRY_VERIFY_WITH_TIMEOUT(!window->State().JobRunning, 20000);
        QCOMPARE(window->StatusBar1->StatusText(), QString("Завершено успешно"));

        TFrameTableModel& model = monitor->Model();
        QTRY_COMPARE(model.rowCount(), 4); // the 100 ms timer has emptied the queue

        // Worked out by hand: slave 2, function 3, registers 0 and 32, 32 of
        // each; the CRC of 02 03 00 00 00 20 is 44 21, of 02 03 00 20 00 20 is 45 EB.
        const struct {
            const char* Direction;
            const char* Bytes; // the whole frame, or the head of a 69-byte answer
            const char* Registers;
            const char* Result;
        } expected[] = {
            {"запрос", "02 03 00 00 00 20 44 21", "0-31", ""},
            {"ответ", "02 03 40 ", "0-31", "Завершено успешно"},
            {"запрос", "02 03 00 20 00 20 45 EB", "32-63", ""},
            {"ответ", "02 03 40 ", "32-63", "Завершено успешно"},
        };
        const QRegularExpression time("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$");
        QString previous;
        for (int row = 0; row < 4; ++row) {
            const TFrameColumns& f = model.Row(row);
            const QString bytes = QString::fromStdString(f.Bytes);
            QCOMPARE(QString::fromStdString(f.Direction), QString(expected[row].Direction));
            if (row % 2 == 0) {
                QCOMPARE(bytes, QString(expected[row].Bytes));
            } else {
                QVERIFY2(bytes.startsWith(expected[row].Bytes), qPrintable(bytes));
                QCOMPARE(bytes.size(), 69 * 3 - 1); // 2 * 32 + 5 bytes
            }
            QCOMPARE(QString::fromStdString(f.Address), QString("2"));
            QCOMPARE(QString::fromStdString(f.Function), QString("3 чтение регистров"));
            QCOMPARE(QString::fromStdString(f.Registers), QString(expected[row].Registers));
            QCOMPARE(QString::fromStdString(f.Count), QString("32"));
            QCOMPARE(QString::fromStdString(f.Result), QString(expected[row].Result));
            const QString at = QString::fromStdString(f.Time);
            QVERIFY2(time.match(at).hasMatch(), qPrintable(at));
            QVERIFY(previous <= at); // in order (the read does not span midnight here)
            previous = at;
            // The table shows the same texts.
            QCOMPARE(model.data(model.index(row, 2), Qt::DisplayRole).toString(), bytes);
        }
        // Frame for frame the bytes of the protocol log.
        QStringList listed;
        for (int row = 0; row < 4; ++row)
            listed << QString::fromStdString(model.Row(row).Bytes);
        QCOMPARE(LogFrames(folder.Path / "ModBus_protocol.txt"), listed);

        // Copy: the selected frame under the column titles.
        monitor->View()->selectRow(1);
        monitor->CopyToClipboard();
        const QStringList copied =
            QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(copied.size(), 2);
        QCOMPARE(copied[0], QString("Время\tНаправление\tБайты\tАдрес\tФункция\tРегистры\t"
                                    "Кол-во\tРезультат"));
        QVERIFY(copied[1].endsWith("\tответ\t" + listed[1] +
                                   "\t2\t3 чтение регистров\t0-31\t32\tЗавершено успешно"));

        // Saved: UTF-8 text, the titles and one line per frame.
        const std::filesystem::path saved = folder.Path / "обмен.txt";
        std::string error;
        QVERIFY2(monitor->SaveTo(saved, &error), error.c_str());
        std::string bytes;
        QVERIFY(ReadWholeFile(saved, bytes));
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8(QByteArray::fromStdString(bytes));
        QVERIFY(!utf8.hasError());
        // "ответ" in UTF-8, not in the Windows-1251 of the program's other files.
        QVERIFY(bytes.find("\xD0\xBE\xD1\x82\xD0\xB2\xD0\xB5\xD1\x82") != std::string::npos);
        QVERIFY(bytes.find("\xEE\xF2\xE2\xE5\xF2") == std::string::npos);
        const QStringList lines = text.split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], copied[0]);
        QCOMPARE(lines[2], copied[1]);

        // Cleared: the list is empty and the next job starts a new one.
        monitor->Clear();
        QCOMPARE(model.rowCount(), 0);
        QTRY_VERIFY(window->ToolBar1->ToolButton16->isEnabled());
        window->ToolBar1->ToolButton16->click();
        QTRY_VERIFY_WITH_TIMEOUT(!window->State().JobRunning, 20000);
        QTRY_COMPARE(model.rowCount(), 4);

        window->ToolBar1->ToolButton14->setChecked(false);
        window->ToolButton14Click(false);
        QVERIFY(!window->State().LinkOpen);
        link.reset();
        window.reset();
    }

    void keepsTheLastTenThousandFrames() {
        TFrameTableModel model;
        auto frames = [](int from, int to) {
            std::deque<TFrameColumns> rows;
            for (int i = from; i < to; ++i) {
                TFrameColumns c;
                c.Count = std::to_string(i);
                rows.push_back(c);
            }
            return rows;
        };
        model.Append(frames(0, 9990));
        QCOMPARE(model.rowCount(), 9990);
        model.Append(frames(9990, 10015)); // 15 too many: the oldest go
        QCOMPARE(model.rowCount(), 10000);
        QCOMPARE(model.Row(0).Count, std::string("15"));
        QCOMPARE(model.Row(9999).Count, std::string("10014"));
        model.Append(frames(20000, 30500)); // more than the list holds at once
        QCOMPARE(model.rowCount(), 10000);
        QCOMPARE(model.Row(0).Count, std::string("20500"));
        QCOMPARE(model.Row(9999).Count, std::string("30499"));
        model.Clear();
        QCOMPARE(model.rowCount(), 0);
    }
};

} // namespace virs::test

QTEST_MAIN(virs::test::TrafficMonitorTest)
#include "TrafficMonitorTest.moc"
