// The connection settings dialog, the parameter editor and the port list.

#include <QtTest>

#include "shell/ConnectionDialog.h"
#include "shell/ParamEditor.h"
#include "shell/PortList.h"

using namespace virs;

namespace {

std::vector<TSerialPortInfo> Ports(std::initializer_list<unsigned> numbers) {
    std::vector<TSerialPortInfo> ports;
    for (unsigned n : numbers)
        ports.push_back({n, "/dev/ttyS" + std::to_string(n - 1)});
    return ports;
}

TPortSource Source(std::initializer_list<unsigned> numbers) {
    const std::vector<TSerialPortInfo> ports = Ports(numbers);
    return [ports] { return ports; };
}

} // namespace

class DialogTest : public QObject {
    Q_OBJECT
private slots:
    void listComPorts_data() {
        QTest::addColumn<QList<unsigned>>("present");
        QTest::addColumn<unsigned>("wanted");
        QTest::addColumn<QString>("selected");
        QTest::newRow("wanted present") << QList<unsigned>{1, 3} << 3u << "COM3 /dev/ttyS2";
        QTest::newRow("wanted first") << QList<unsigned>{1, 3} << 1u << "COM1 /dev/ttyS0";
        QTest::newRow("256: the first") << QList<unsigned>{4, 3} << 256u << "COM4 /dev/ttyS3";
        QTest::newRow("absent: none") << QList<unsigned>{1, 3} << 2u << "";
        QTest::newRow("no port chosen: none") << QList<unsigned>{1} << 0u << "";
        QTest::newRow("no ports") << QList<unsigned>{} << 256u << "";
    }
    void listComPorts() {
        QFETCH(QList<unsigned>, present);
        QFETCH(unsigned, wanted);
        QFETCH(QString, selected);
        std::vector<TSerialPortInfo> ports;
        for (unsigned n : present)
            ports.push_back({n, "/dev/ttyS" + std::to_string(n - 1)});
        QComboBox combo;
        combo.addItem("старый");
        ListComPorts(&combo, wanted, [ports] { return ports; });
        QCOMPARE(combo.count(), int(present.size()));
        QCOMPARE(combo.currentText(), selected);
    }

    void portNumberOfItem_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<unsigned>("number");
        QTest::newRow("COM7") << "COM7 /dev/ttyUSB0 (ftdi_sio)" << true << 7u;
        QTest::newRow("COM12 without description") << "COM12 " << true << 12u;
        QTest::newRow("not a number") << "COMx /dev" << false << 0u;
        QTest::newRow("empty") << "" << false << 0u;
    }
    void portNumberOfItem() {
        QFETCH(QString, item);
        QFETCH(bool, ok);
        QFETCH(unsigned, number);
        unsigned got = 0;
        QCOMPARE(PortNumberOfItem(item, got), ok);
        QCOMPARE(got, number);
    }

    // Older files may hold a reply time-out of 0; it is read with the new-node
    // default, and the dialog shows that value.
    void connectionStoredZeroTimeout() {
        TNode node = NewNodeRecord();
        node.ReplyTimeoutMs = 0;
        TForm3 dialog;
        dialog.PortSource = Source({1, 3});
        dialog.Fill(node, false);
        QCOMPARE(dialog.Edit5->text(), QString("3000"));
    }

    void connectionFill_data() {
        QTest::addColumn<int>("link");
        QTest::addColumn<bool>("modemFields");
        QTest::addColumn<bool>("radios");
        QTest::newRow("direct") << 0 << false << false;
        QTest::newRow("dial-up") << 1 << true << true;
        QTest::newRow("GSM") << 2 << true << false;
    }
    void connectionFill() {
        QFETCH(int, link);
        QFETCH(bool, modemFields);
        QFETCH(bool, radios);
        TNode node = NewNodeRecord();
        node.LinkType = static_cast<TLinkType>(link);
        node.DialMode = 1;
        node.Phone.Set("84951234567");
        node.ComPort = 3;
        TForm3 dialog;
        dialog.PortSource = Source({1, 3});
        dialog.Fill(node, false);
        QCOMPARE(dialog.ComboBox1->currentIndex(), link);
        QCOMPARE(dialog.Edit1->isEnabled(), modemFields);
        QCOMPARE(dialog.Label3->isEnabled(), modemFields);
        QCOMPARE(dialog.Label8->isEnabled(), modemFields);
        QCOMPARE(dialog.RadioButton1->isEnabled(), radios);
        QCOMPARE(dialog.Edit1->text(), QString("84951234567")); // shown even when disabled
        QCOMPARE(dialog.RadioButton2->isChecked(), link != 0);
        QCOMPARE(dialog.ComboBox2->currentText(), QString("COM3 /dev/ttyS2"));
        QCOMPARE(dialog.ComboBox3->currentText(), QString("9600"));
        QCOMPARE(dialog.Edit2->text(), QString("AT&FE0V1"));
        QCOMPARE(dialog.Edit3->text(), QString("3"));
        QCOMPARE(dialog.Edit5->text(), QString("3000"));
        QVERIFY(dialog.BitBtn1->isEnabled());
        // Choosing the link type while open: radio buttons for dial-up only.
        for (int other = 0; other < 3; ++other) {
            dialog.ComboBox1->setCurrentIndex(other);
            emit dialog.ComboBox1->activated(other);
            QCOMPARE(dialog.Edit2->isEnabled(), other != 0);
            QCOMPARE(dialog.RadioButton2->isEnabled(), other == 1);
        }
    }

    void twoStopBitsForceNoParity() {
        TNode node = NewNodeRecord();
        node.ParityIndex = 2;
        TForm3 dialog;
        dialog.PortSource = Source({1});
        dialog.Fill(node, false);
        QVERIFY(dialog.ComboBox5->isEnabled());
        QCOMPARE(dialog.ComboBox5->currentText(), QString("чёт"));
        dialog.ComboBox4->setCurrentIndex(1);
        emit dialog.ComboBox4->activated(1);
        QCOMPARE(dialog.ComboBox5->currentText(), QString("нет"));
        QVERIFY(!dialog.ComboBox5->isEnabled());
        dialog.ComboBox4->setCurrentIndex(0);
        emit dialog.ComboBox4->activated(0);
        QVERIFY(dialog.ComboBox5->isEnabled());
        // A stored pair of two stop bits opens with the parity list locked.
        node.StopBitsIndex = 1;
        node.ParityIndex = 0;
        dialog.Fill(node, false);
        QVERIFY(!dialog.ComboBox5->isEnabled());
    }

    void connectedNodeIsReadOnly() {
        TNode node = NewNodeRecord();
        TForm3 dialog;
        dialog.PortSource = Source({1});
        dialog.Fill(node, true);
        QVERIFY(!dialog.BitBtn1->isEnabled());
        QVERIFY(dialog.BitBtn2->isEnabled());
    }

    void validation_data() {
        QTest::addColumn<QList<unsigned>>("present");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("retries");
        QTest::addColumn<QString>("timeout");
        QTest::addColumn<QString>("message");
        QTest::newRow("valid") << QList<unsigned>{2} << 2 << "5"
                               << "1500"
                               << "";
        QTest::newRow("no port chosen") << QList<unsigned>{2} << 0 << "5"
                                        << "1500"
                                        << "'' is not a valid integer value";
        QTest::newRow("no ports at all") << QList<unsigned>{} << 0 << "5"
                                         << "1500"
                                         << "'' is not a valid integer value";
        QTest::newRow("attempts not a number") << QList<unsigned>{2} << 2 << "три"
                                               << "1500"
                                               << "'три' is not a valid integer value";
        QTest::newRow("time-out not a number") << QList<unsigned>{2} << 2 << "5"
                                               << "1,5"
                                               << "'1,5' is not a valid integer value";
        QTest::newRow("attempts 256") << QList<unsigned>{2} << 2 << "256"
                                      << "1500"
                                      << "Число попыток запросов должно быть от 1 до 255.";
        QTest::newRow("attempts 0") << QList<unsigned>{2} << 2 << "0"
                                    << "1500"
                                    << "Число попыток запросов должно быть от 1 до 255.";
        QTest::newRow("time-out 70000") << QList<unsigned>{2} << 2 << "5"
                                        << "70000"
                                        << "Тайм-аут ожидания ответа должен быть от 1 до 65535 мс.";
    }
    void validation() {
        QFETCH(QList<unsigned>, present);
        QFETCH(int, port);
        QFETCH(QString, retries);
        QFETCH(QString, timeout);
        QFETCH(QString, message);
        std::vector<TSerialPortInfo> ports;
        for (unsigned n : present)
            ports.push_back({n, "/dev/ttyS" + std::to_string(n - 1)});
        TNode node = NewNodeRecord();
        node.ComPort = static_cast<u16>(port);
        const TNode before = node;
        TForm3 dialog;
        dialog.PortSource = [ports] { return ports; };
        QStringList shown;
        dialog.ShowError = [&shown](const QString& text) { shown << text; };
        dialog.Fill(node, false);
        dialog.ComboBox1->setCurrentIndex(LinkGsm);
        dialog.Edit1->setText("89001112233");
        dialog.Edit3->setText(retries);
        dialog.Edit5->setText(timeout);
        dialog.BitBtn1->click();
        if (message.isEmpty()) {
            QVERIFY(shown.isEmpty());
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            dialog.Store(node);
            QCOMPARE(node.LinkType, TLinkType(LinkGsm));
            QCOMPARE(node.Retries, u8(5));
            QCOMPARE(node.ReplyTimeoutMs, u16(1500));
            QCOMPARE(node.Phone.Get(), std::string("89001112233"));
        } else {
            QCOMPARE(shown, QStringList{message});
            QVERIFY(dialog.result() != QDialog::Accepted);
            QCOMPARE(std::memcmp(&node, &before, sizeof node), 0); // nothing stored
        }
    }

    void parameterEditorCounter() {
        TForm2 editor;
        TParamSlot slot = NewParamSlot();
        slot.Value.Set("abc");
        editor.Fill(slot);
        QCOMPARE(editor.Label2->text(), QString("252"));
        QVERIFY(editor.Edit1->isEnabled()); // a user parameter's label may change
        editor.Memo1->setPlainText("ab\ncd");
        QCOMPARE(editor.Label2->text(), QString("249")); // the line break takes two
        editor.Memo1->setPlainText(QString(300, QChar(u'я')));
        QCOMPARE(editor.Memo1->toPlainText().size(), 255);
        QCOMPARE(editor.Label2->text(), QString("0"));
        // Labels are upper case as typed; caption and label hold 20 characters.
        editor.Edit1->clear();
        QTest::keyClicks(editor.Edit1, "flow_rate");
        QCOMPARE(editor.Edit1->text(), QString("FLOW_RATE"));
        editor.Edit2->setText(QString(25, QChar('x')));
        editor.Store(slot);
        QCOMPARE(slot.Label.Get(), std::string("FLOW_RATE"));
        QCOMPARE(slot.Caption.Get().size(), std::size_t(20));
        QCOMPARE(slot.Value.Get(), QString(255, QChar(u'я')).toStdString());

        TParamSlot name = NewParamSlot();
        name.LabelEditable = 0;
        editor.Fill(name);
        QVERIFY(!editor.Edit1->isEnabled());
        QVERIFY(editor.Edit2->isEnabled());
    }
};

QTEST_MAIN(DialogTest)
#include "DialogTest.moc"
