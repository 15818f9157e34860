// Save, print and the three utility dialogs from the main window, offscreen,
// pressing the real buttons: the save filter and extension cases, printing
// into a PDF read back by pdftotext, the menus, the dialogs' port lists and
// presets, and each utility against the simulator.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <ctime>

#include "service/TForm4.h"
#include "service/TForm8.h"
#include "service/TForm9.h"
#include "shell/ServiceWiring.h"
#include "tests/cli/SimHarness.h"
#include "tests/shell/ShellTestSupport.h"

namespace virs::test {
namespace {

QString Shell(const QString& command) {
    QProcess p;
    p.start("sh", {"-c", command});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// A window on one node with a ВИРС-Д, its services wired, messages collected.
struct TServiceWindow : TWindowFixture {
    TServiceWiring* Wiring = nullptr;
    QStringList Shown; // utility dialogs shown (object names)
    std::vector<TServiceMessage> DialogMessages;

    void OpenWired() {
        Open({{"узел", LinkDirect, {{"расходомер", DeviceVirsD}}}});
        Wiring = new TServiceWiring(*Window);
        Wiring->ShowDialog = [this](QDialog* d) { Shown << d->objectName(); };
        Wiring->DialogHooks.MessageSink = [this](const TServiceMessage& m) {
            DialogMessages.push_back(m);
        };
        Wiring->DialogHooks.QuestionSink = [this](const TServiceMessage& m) {
            DialogMessages.push_back(m);
            return true;
        };
        Window->SetServices(Wiring->Services());
    }
    QString Path(const QString& name) const { return Dir.filePath(name); }
};

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ServiceWindowTest : public QObject {
    Q_OBJECT
private slots:
    void saveByFilter_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("filter");
        QTest::addColumn<QString>("archive"); // the device's ArchiveFile
        QTest::addColumn<QString>("saved");   // the file expected, empty: none
        QTest::addColumn<QString>("message"); // start of the message, empty: none
        QTest::newRow("text typed .xls") << "report.xls" << 1 << ""
                                         << "report.txt"
                                         << "";
        QTest::newRow("text no extension") << "report" << 1 << ""
                                           << "report.txt"
                                           << "";
        QTest::newRow("workbook from the current view") << "copy.txt" << 2 << "book.xls"
                                                        << "copy.xls"
                                                        << "";
        QTest::newRow("workbook not read yet") << "copy" << 2 << ""
                                               << ""
                                               << "У прибора ещё нет архива";
        QTest::newRow("workbook missing") << "copy" << 2 << "gone.xls"
                                          << ""
                                          << "Не удалось прочитать архив прибора gone.xls";
        QTest::newRow("text folder missing") << "no/such/report" << 1 << ""
                                             << ""
                                             << "Не удалось сохранить файл";
    }
    void saveByFilter() {
        QFETCH(QString, typed);
        QFETCH(int, filter);
        QFETCH(QString, archive);
        QFETCH(QString, saved);
        QFETCH(QString, message);
        TServiceWindow f;
        f.OpenWired();
        TForm1& w = *f.Window;
        f.Select(0, 0);
        QFile book(f.Path("book.xls"));
        QVERIFY(book.open(QIODevice::WriteOnly));
        book.write(QByteArray("\xD0\xCF\x11\xE0 workbook bytes", 19));
        book.close();
        w.State().Base.Devices[0][0].ArchiveFile.Set(archive.toStdString());
        w.Memo1->setPlainText("Дата\nстрока 2\n");
        QString asked;
        f.Wiring->SaveDialog1 = [&](QWidget*, QString& name, int& chosen) {
            asked = name;
            name = f.Path(typed);
            chosen = filter;
            return true;
        };
        QVERIFY(w.ToolBar1->ToolButton3->isEnabled());
        w.ToolBar1->ToolButton3->click();
        if (message.isEmpty()) {
            QCOMPARE(f.Messages, QStringList());
            const QByteArray bytes = FileBytes(f.Path(saved));
            if (filter == 1)
                QCOMPARE(bytes, QByteArray("\xC4\xE0\xF2\xE0\r\n\xF1\xF2\xF0\xEE\xEA\xE0 2\r\n"));
            else
                QCOMPARE(bytes, FileBytes(f.Path("book.xls")));
            // The dialog offers the name it saved under the next time.
            w.ToolBar1->ToolButton3->click();
            QCOMPARE(asked, f.Path(saved));
        } else {
            QCOMPARE(f.Messages.size(), 1);
            QVERIFY2(f.Messages[0].startsWith(message), qPrintable(f.Messages[0]));
        }
        QCOMPARE(QDir(f.Dir.path()).entryList({"*.tmp"}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    void saveCancelled() {
        TServiceWindow f;
        f.OpenWired();
        f.Wiring->SaveDialog1 = [](QWidget*, QString&, int&) { return false; };
        f.Window->ToolBar1->ToolButton3->click();
        QCOMPARE(f.Messages, QStringList());
        QCOMPARE(QDir(f.Dir.path()).entryList({"*.txt", "*.xls"}), QStringList());
    }

    void printIntoPdf_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("printed");
        QTest::newRow("empty pane") << "" << QStringList();
        QTest::newRow("three lines")
            << "первая\nвторая\nтретья" << QStringList{"первая", "вторая", "третья"};
    }
    void printIntoPdf() {
        QFETCH(QString, text);
        QFETCH(QStringList, printed);
        if (Shell("command -v pdftotext").isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        TServiceWindow f;
        f.OpenWired();
        const QString pdf = f.Path("printed.pdf");
        f.Wiring->MakePrinter = [pdf] {
            auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            return printer;
        };
        f.Select(0, 0);
        f.Window->Memo1->setPlainText(text);
        QVERIFY(f.Window->ToolBar1->ToolButton2->isEnabled());
        f.Window->ToolBar1->ToolButton2->click();
        QCOMPARE(f.Messages, QStringList());
        QVERIFY(QFile::exists(pdf));
        QStringList lines = Shell("pdftotext '" + pdf + "' -").split('\n', Qt::SkipEmptyParts);
        lines.removeAll("\f");
        QCOMPARE(lines, printed);
    }

    void printError() {
        TServiceWindow f;
        f.OpenWired();
        const QString pdf = f.Path("no/such/folder/printed.pdf");
        f.Wiring->MakePrinter = [pdf] {
            auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdf);
            return printer;
        };
        f.Select(0, 0);
        f.Window->Memo1->setPlainText("строка");
        f.Window->ToolBar1->ToolButton2->click();
        QCOMPARE(f.Messages, QStringList{"Ошибка печати"});
    }

    void menusOpenTheDialogsWithFreshPortLists() {
        TServiceWindow f;
        f.OpenWired();
        TForm1& w = *f.Window;
        std::vector<TSerialPortInfo> ports = {{3, "/dev/ttyS2"}, {7, "/dev/ttyUSB0"}};
        w.PortSource = [&ports] { return ports; };
        TMainToolBar* t = w.ToolBar1;
        QVERIFY(t->N2->isEnabled() && t->N3->isEnabled() && t->N11->isEnabled());
        t->N2->trigger();
        t->N3->trigger();
        t->N11->trigger();
        QCOMPARE(f.Shown, (QStringList{"Form4", "Form8", "Form9"}));
        QComboBox* combos[] = {f.Wiring->Form4->ComboBox1, f.Wiring->Form8->ComboBox1,
                               f.Wiring->Form9->ComboBox1};
        for (QComboBox* c : combos) {
            QCOMPARE(c->count(), 2);
            QCOMPARE(c->currentText(), QString("COM3 /dev/ttyS2"));
            c->setCurrentIndex(1);
        }
        // Opened again: the same dialogs, the list read anew, the first port selected.
        ports = {{9, "/dev/ttyACM0"}};
        TForm4* form4 = f.Wiring->Form4;
        t->N2->trigger();
        t->N3->trigger();
        t->N11->trigger();
        QCOMPARE(f.Wiring->Form4, form4);
        for (QComboBox* c : combos)
            QCOMPARE(c->currentText(), QString("COM9 /dev/ttyACM0"));

        // While a node is connected none of the three can be opened.
        TFakeLink link(w.State());
        w.SetLinkController(&link);
        f.Select(0);
        t->ToolButton14->setChecked(true);
        w.ToolButton14Click(true);
        QVERIFY(w.State().LinkOpen);
        QVERIFY(!t->N2->isEnabled() && !t->N3->isEnabled() && !t->N11->isEnabled());
        t->ToolButton14->setChecked(false);
        w.ToolButton14Click(false);
        QVERIFY(t->N2->isEnabled() && t->N3->isEnabled() && t->N11->isEnabled());
    }

    void modemPresetsAndSpinLimits() {
        TLineSettings line;
        TForm4 form4(line);
        const QString defaults = "AT&F\nAT&S1\nATS0=1\nAT&D0\nAT+IPR=9600\nATE0\nAT&W";
        QCOMPARE(form4.ComboBox2->currentText(), QString("по-умолчанию"));
        QCOMPARE(form4.Memo1->toPlainText(), defaults);
        form4.ComboBox2->setCurrentIndex(1);
        QCOMPARE(form4.Memo1->toPlainText(), QString("AT&FE0V1;&K0"));
        form4.Memo1->setPlainText("ATZ");
        form4.ComboBox2->setCurrentIndex(0);
        QCOMPARE(form4.Memo1->toPlainText(), defaults);
        // An emptied list sends nothing and says so.
        form4.Memo1->setPlainText("");
        form4.Button2->click();
        QCOMPARE(form4.Label1->text(), QString("Список команд пуст, модему ничего не отправлено"));

        TForm8 form8(line);
        QCOMPARE(form8.SpinEdit1->value(), 1);
        QCOMPARE(form8.Label1->text(), QString("2"));
        form8.SpinEdit1->setValue(253);
        form8.SpinEdit1->stepUp();
        QCOMPARE(form8.Label1->text(), QString("255"));
        form8.SpinEdit1->stepUp();
        QCOMPARE(form8.SpinEdit1->value(), 254);
        QCOMPARE(form8.Label1->text(), QString("255"));
        QTest::keyClicks(form8.SpinEdit1, "7");
        QCOMPARE(form8.SpinEdit1->value(), 254);
    }

    // The three utilities against the simulator: a modem at 4800 bit/s on
    // COM51, an adapter (ВИРС-Ш) and a firmware loader on COM52.
    void utilitiesAgainstTheSimulator() {
        TTempFolder folder;
        const std::filesystem::path ports = folder.Path / "ports";
        std::filesystem::create_directories(ports);
        setenv("VIRS_PORTS_DIR", ports.c_str(), 1);
        const std::filesystem::path received = folder.Path / "received.vrs";
        WriteText(
            folder.Path / "scenario.json",
            R"({"pacing": false, "sites": [{"name": "A", "devices": [{"type": "ВИРС-Ш", "address": 1}]}],
          "lines": [{"com": 51, "kind": "modem", "modem": {"type": "dialup", "baud": 4800}},
                    {"com": 52, "kind": "direct", "site": "A",
                     "bootloader": {"image_file": ")" +
                received.string() + R"("}}]})");
        TSimProcess sim(folder.Path / "scenario.json");
        QVERIFY2(sim.Ready, sim.Banner.c_str());

        TServiceWindow f;
        f.OpenWired();
        TForm1& w = *f.Window;
        w.PortSource = [] { return std::vector<TSerialPortInfo>{{51, "modem"}, {52, "direct"}}; };

        // Remote modem set-up with the default preset.
        w.ToolBar1->N2->trigger();
        TForm4& form4 = *f.Wiring->Form4;
        QCOMPARE(form4.ComboBox1->currentText(), QString("COM51 modem"));
        form4.Button2->click();
        QCOMPARE(form4.Label1->text(), QString("Завершено успешно"));
        QCOMPARE(f.DialogMessages.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(f.DialogMessages[0].Text), QString("Завершено успешно"));
        // The run's record was left at the speed the modem moved to.
        QCOMPARE(w.State().LineSettings.BaudRate, 9600u);
        f.DialogMessages.clear();

        // Adapter addresses 254 and 255.
        w.ToolBar1->N3->trigger();
        TForm8& form8 = *f.Wiring->Form8;
        form8.ComboBox1->setCurrentIndex(1);
        form8.SpinEdit1->setValue(254);
        form8.Button2->click();
        QCOMPARE(f.DialogMessages.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(f.DialogMessages[0].Text),
                 QString("Устройству назначен новый адрес"));
        QCOMPARE(QString::fromStdString(f.DialogMessages[0].Caption), QString("Успешно"));
        f.DialogMessages.clear();
        // The broadcast reaches the adapter whatever its address: back to 1 and 2.
        form8.SpinEdit1->setValue(1);
        form8.Button2->click();
        QCOMPARE(QString::fromStdString(f.DialogMessages.at(0).Text),
                 QString("Устройству назначен новый адрес"));
        f.DialogMessages.clear();

        // Firmware: a 40 000-byte file of version 1.5 dated 07.03.09.
        QByteArray file(40000, '\0');
        for (int i = 0; i < file.size(); ++i)
            file[i] = static_cast<char>((i * 13 + 1) % 256);
        file[32762] = 5;
        file[32763] = 1;
        file[32764] = 9;
        file[32765] = 3;
        file[32766] = 7;
        const QString image = QString::fromStdString((folder.Path / "image.vrs").string());
        QFile out(image);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(file);
        out.close();
        w.ToolBar1->N11->trigger();
        TForm9& form9 = *f.Wiring->Form9;
        QVERIFY(!form9.Button2->isEnabled());
        form9.ComboBox1->setCurrentIndex(1);
        QString chosen = image;
        form9.OpenDialog1 = [&chosen](QWidget*) { return chosen; };
        form9.Button1->click();
        QCOMPARE(form9.Edit1->text(), image);
        QCOMPARE(form9.Label3->text(), QString("1.5"));
        QCOMPARE(form9.Label4->text(), QString("07.03.09"));
        QVERIFY(form9.Button2->isEnabled());
        QList<int> progress;
        connect(form9.ProgressBar1, &QProgressBar::valueChanged,
                [&progress](int v) { progress << v; });
        form9.Button2->click();
        QStringList texts;
        for (const TServiceMessage& m : f.DialogMessages)
            texts << QString::fromStdString(m.Text);
        QCOMPARE(texts.size(), 3);
        QCOMPARE(texts[0], QString("Вы действительно хотите начать прошивку?"));
        QVERIFY(texts[1].startsWith("Сейчас программа прибора будет перепрошита.\r"));
        QCOMPARE(texts[2], QString("Программирование завершено"));
        QCOMPARE(progress.size(), 128);
        QCOMPARE(progress.front(), 1);
        QCOMPARE(progress.back(), 0);
        QCOMPARE(form9.ProgressBar1->value(), 0);

        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        QByteArray expected = file.left(32768);
        expected[32766] = static_cast<char>(local.tm_mday);
        expected[32765] = static_cast<char>(local.tm_mon + 1);
        expected[32764] = static_cast<char>(local.tm_year % 100);
        QCOMPARE(FileBytes(QString::fromStdString(received.string())), expected);

        // A 1 000-byte file keeps the tail of the image in memory, with its
        // version and now the date of the last programming.
        const QString small = QString::fromStdString((folder.Path / "small.vrs").string());
        QFile smallOut(small);
        QVERIFY(smallOut.open(QIODevice::WriteOnly));
        smallOut.write(QByteArray(1000, '\x11'));
        smallOut.close();
        chosen = small;
        form9.Button1->click();
        QCOMPARE(form9.Label3->text(), QString("1.5"));
        QCOMPARE(form9.Label4->text(), QDate::currentDate().toString("dd.MM.yy"));
        QCOMPARE(form9.FirmwareImage()[0], std::uint8_t{0x11});
        QCOMPARE(form9.FirmwareImage()[1000], static_cast<std::uint8_t>(file[1000]));

        // A file that cannot be read: told, and the image and labels stay.
        f.DialogMessages.clear();
        chosen = QString::fromStdString((folder.Path / "missing.vrs").string());
        const TFirmwareImage before = form9.FirmwareImage();
        form9.Button1->click();
        QCOMPARE(f.DialogMessages.size(), std::size_t{1});
        QVERIFY(QString::fromStdString(f.DialogMessages[0].Text)
                    .startsWith("Не удалось прочитать файл прошивки"));
        QVERIFY(form9.FirmwareImage() == before);
        QCOMPARE(form9.Edit1->text(), small);

        // "Отмена" pressed while block 21 is being shown stops before block 22.
        f.DialogMessages.clear();
        int closed = 0;
        connect(&form9, &QDialog::finished, [&closed] { ++closed; });
        connect(form9.ProgressBar1, &QProgressBar::valueChanged, &form9, [&form9](int v) {
            if (v == 10)
                form9.reject(); // Escape during the transfer: the dialog stays
            if (v == 20)
                form9.CancelButton->click();
        });
        QVERIFY(!form9.CancelButton->isEnabled());
        form9.Button2->click();
        QCOMPARE(QString::fromStdString(f.DialogMessages.back().Text),
                 QString("Программирование прервано оператором после блока 21 из 128.\r"
                         "Программа прибора не обновлена, повторите прошивку."));
        QVERIFY(form9.Button2->isEnabled());
        QVERIFY(!form9.CancelButton->isEnabled());
        QCOMPARE(closed, 0);
        form9.reject();
        QCOMPARE(closed, 1);
    }
};

} // namespace
} // namespace virs::test

QTEST_MAIN(virs::test::ServiceWindowTest)
#include "ServiceWindowTest.moc"
