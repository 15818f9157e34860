// The node and device property panels: rows, edits and what follows them.

#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "shell/ConnectionDialog.h"
#include "shell/ParamEditor.h"
#include "shell/ShellImages.h"
#include "tests/shell/ShellTestSupport.h"

using namespace virs;
using namespace virs::test;

namespace {

const std::vector<TNodeSpec> Station = {
    {"Котельная", LinkDirect, {{"Ввод 1", DeviceVirsD}, {"Ввод 2", DeviceOff}}},
};

QStringList Keys(const TPropertyList* list) {
    QStringList keys;
    for (int row = 1; row <= list->DataRowCount(); ++row)
        keys << list->Key(row);
    return keys;
}

} // namespace

class PanelTest : public QObject {
    Q_OBJECT
private:
    void OpenDetail(TWindowFixture& f, int device) {
        f.Open(Station);
        f.Select(0, device);
        f.Window->ToolBar1->ToolButton18->setChecked(true);
        f.Window->ToolButton18Click(true);
    }

private slots:
    void rows() {
        TWindowFixture f;
        OpenDetail(f, 0);
        TForm1& w = *f.Window;
        QVERIFY(w.Panel1->isVisible());
        QCOMPARE(Keys(w.ValueListEditor1()),
                 QStringList({"Имя", "Тип соединения", "Кол-во приборов"}));
        QCOMPARE(w.ValueListEditor1()->Value(2), QString("прямое RS232/RS485"));
        QCOMPARE(w.ValueListEditor1()->Value(3), QString("2"));
        QVERIFY(w.ValueListEditor1()->Props(2).ReadOnly);
        QCOMPARE(Keys(w.ValueListEditor2()),
                 QStringList({"Имя", "Тип", "Сетевой номер", "Шаблон отчёта"}));
        QCOMPARE(w.ValueListEditor2()->Value(2), QString("ВИРС-Д"));
        QCOMPARE(w.ValueListEditor2()->Props(2).PickList,
                 QStringList({"прибор отключен", "ВИРС-Ш", "ВИРС-Д", "ВИРС-ДК", "ВИРС-Д2"}));
        QCOMPARE(w.ValueListEditor2()->Props(1).MaxLength, 255);
        QCOMPARE(w.ValueListEditor2()->Props(1).Style, TEditStyle::Ellipsis);
        // Detail mode off: the panel goes, and with it the parameter buttons.
        w.ToolBar1->ToolButton18->setChecked(false);
        w.ToolButton18Click(false);
        QVERIFY(!w.Panel1->isVisible());
        QVERIFY(!w.ToolBar1->ToolButton8->isEnabled());
    }

    void namesFollowIntoTreeAndTitle() {
        TWindowFixture f;
        OpenDetail(f, 1);
        TForm1& w = *f.Window;
        w.ValueListEditor2()->EnterValue(1, "Обратка");
        QCOMPARE(QString::fromStdString(w.State().Base.Devices[0][1].NameSlot.Value.Get()),
                 QString("Обратка"));
        QCOMPARE(w.TreeView1->Item(0, 1)->text(0), QString("Обратка"));
        QVERIFY(w.windowTitle().endsWith(" - Котельная [Обратка]"));
        w.ValueListEditor1()->EnterValue(1, "ЦТП-3");
        QCOMPARE(w.TreeView1->Item(0)->text(0), QString("ЦТП-3"));
        QVERIFY(w.windowTitle().endsWith(" - ЦТП-3 [Обратка]"));
        // A name is cut to what the base holds.
        w.ValueListEditor1()->EnterValue(1, QString(300, QChar(u'ж')));
        QCOMPARE(w.State().Base.Nodes[0].NameSlot.Value.Get().size(), std::size_t(255 * 2));
    }

    void typeSwitchRerenders() {
        TWindowFixture f;
        OpenDetail(f, 0);
        TForm1& w = *f.Window;
        QList<int> rendered;
        w.ArchiveView = [&rendered](const TDevice&, int tab, const TViewLocale&,
                                    TViewLines& lines) {
            rendered << tab;
            lines.push_back("архив " + std::to_string(tab));
        };
        w.TabSet1->setCurrentIndex(4); // параметры
        w.ValueListEditor2()->EnterValue(2, "ВИРС-Ш");
        QCOMPARE(w.State().Base.Devices[0][0].DeviceType, TDeviceType(DeviceVirsSh));
        QCOMPARE(w.TabSet1->count(), 3);
        QCOMPARE(w.TabSet1->currentIndex(), 2);
        QCOMPARE(rendered, QList<int>({2}));
        QCOMPARE(w.Memo1->toPlainText(), QString("архив 2"));
        QCOMPARE(TStationTree::Image(w.TreeView1->Item(0, 0)), int(TreeVirsSh));
        // Switched off: no pane, no tabs, no print.
        w.ValueListEditor2()->EnterValue(2, "прибор отключен");
        QCOMPARE(TStationTree::Image(w.TreeView1->Item(0, 0)), int(TreeDeviceOff));
        QVERIFY(!w.Memo1->isVisible());
        QVERIFY(!w.TabSet1->isVisible());
        QVERIFY(!w.ToolBar1->ToolButton2->isEnabled());
        // And back on: the strip comes back with its tab.
        w.ValueListEditor2()->EnterValue(2, "ВИРС-Д2");
        QVERIFY(w.Memo1->isVisible());
        QCOMPARE(w.TabSet1->count(), 4);
        QCOMPARE(w.TabSet1->currentIndex(), 2);
        QCOMPARE(TStationTree::Image(w.TreeView1->Item(0, 0)), int(TreeVirsD2));
    }

    void netAddress_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a number") << "17" << 17 << "17";
        QTest::newRow("the highest slave address") << "247" << 247 << "247";
        QTest::newRow("300: out of range, kept") << "300" << 1 << "1";
        QTest::newRow("248: an adapter address") << "248" << 248 << "248";
        QTest::newRow("255: the highest address") << "255" << 255 << "255";
        QTest::newRow("256: out of range, kept") << "256" << 1 << "1";
        QTest::newRow("0: the broadcast address, kept") << "0" << 1 << "1";
        QTest::newRow("letters: kept") << "abc" << 1 << "1";
        QTest::newRow("emptied while typing: kept") << "" << 1 << "";
    }
    void netAddress() {
        QFETCH(QString, typed);
        QFETCH(int, stored);
        QFETCH(QString, shown);
        TWindowFixture f;
        OpenDetail(f, 0);
        TForm1& w = *f.Window;
        QCOMPARE(w.ValueListEditor2()->Value(3), QString("1"));
        w.ValueListEditor2()->EnterValue(3, typed);
        QCOMPARE(int(w.State().Base.Devices[0][0].NetAddress), stored);
        QCOMPARE(w.ValueListEditor2()->Value(3), shown);
    }

    // Typed key by key into the row's editor, as the operator does: its
    // validator lets through what the panel stores and nothing above 255.
    void netAddressTyped_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("250") << "250" << 250 << "250";
        QTest::newRow("255") << "255" << 255 << "255";
        QTest::newRow("256 stops at 25") << "256" << 25 << "25";
        QTest::newRow("letters are not taken") << "x7" << 7 << "7";
    }
    void netAddressTyped() {
        QFETCH(QString, keys);
        QFETCH(int, stored);
        QFETCH(QString, shown);
        TWindowFixture f;
        OpenDetail(f, 0);
        TForm1& w = *f.Window;
        TPropertyList* list = w.ValueListEditor2();
        list->SetCurrentRow(3);
        QWidget* cell = list->indexWidget(list->model()->index(2, 1));
        QVERIFY(cell);
        auto* edit = cell->findChild<QLineEdit*>();
        QVERIFY(edit);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, keys);
        QCOMPARE(edit->text(), shown);
        QCOMPARE(int(w.State().Base.Devices[0][0].NetAddress), stored);
    }

    void addAndRemoveParameters() {
        TWindowFixture f;
        OpenDetail(f, 0);
        TForm1& w = *f.Window;
        f.Select(0); // the node
        QVERIFY(w.ToolBar1->ToolButton8->isEnabled());
        QVERIFY(!w.ToolBar1->ToolButton9->isEnabled());
        for (int i = 0; i < NodeParamSlots; ++i)
            w.ToolButton8Click();
        QCOMPARE(w.ValueListEditor1()->DataRowCount(), 3 + NodeParamSlots);
        QVERIFY(!w.ToolBar1->ToolButton8->isEnabled());
        QVERIFY(w.ToolBar1->ToolButton9->isEnabled());
        // Edit the second parameter, then remove it: its slot is reused next.
        w.ValueListEditor1()->EnterValue(5, "второй");
        QCOMPARE(QString::fromStdString(w.State().Base.Nodes[0].Params[1].Value.Get()),
                 QString("второй"));
        w.ValueListEditor1()->SetCurrentRow(5);
        w.ToolButton9Click();
        QCOMPARE(w.ValueListEditor1()->DataRowCount(), 3 + NodeParamSlots - 1);
        QVERIFY(!w.State().Base.Nodes[0].Params[1].Used);
        QVERIFY(w.ToolBar1->ToolButton8->isEnabled());
        // A row above the parameters removes nothing.
        w.ValueListEditor1()->SetCurrentRow(2);
        w.ToolButton9Click();
        QCOMPARE(w.ValueListEditor1()->DataRowCount(), 3 + NodeParamSlots - 1);
        w.ToolButton8Click();
        QVERIFY(w.State().Base.Nodes[0].Params[1].Used);
        QCOMPARE(w.ValueListEditor1()->Key(5), QString("новый параметр"));

        // The device's parameters start at row 5.
        f.Select(0, 0);
        w.ToolButton8Click();
        QCOMPARE(w.ValueListEditor2()->Key(5), QString("новый параметр"));
        QCOMPARE(w.ValueListEditor2()->Value(5), QString("новое содержание"));
        w.ValueListEditor2()->SetCurrentRow(5);
        w.ToolButton9Click();
        QCOMPARE(w.ValueListEditor2()->DataRowCount(), 4);
    }

    void connectionDialogFromTheRowButton() {
        TWindowFixture f;
        OpenDetail(f, 0);
        TForm1& w = *f.Window;
        w.PortSource = [] { return std::vector<TSerialPortInfo>{{4, "/dev/ttyUSB0"}}; };
        f.Select(0);
        WhenModal([](QWidget* dialog) {
            auto* form = qobject_cast<TForm3*>(dialog);
            QVERIFY(form);
            QVERIFY(form->BitBtn1->isEnabled());
            form->ComboBox2->setCurrentIndex(0);
            form->ComboBox1->setCurrentIndex(LinkGsm);
            form->BitBtn1->click();
        });
        w.ValueListEditor1()->PressButton(2);
        const TNode& node = w.State().Base.Nodes[0];
        QCOMPARE(node.LinkType, TLinkType(LinkGsm));
        QCOMPARE(node.ComPort, u16(4));
        QCOMPARE(TStationTree::Image(w.TreeView1->Item(0)), int(TreeGsmNode));
        QCOMPARE(w.ValueListEditor1()->Value(2), QString("GSM модем"));

        // The connected node's settings are shown, not changed.
        w.State().LinkOpen = true;
        w.State().LinkNode = 0;
        bool okEnabled = true;
        WhenModal([&okEnabled](QWidget* dialog) {
            auto* form = qobject_cast<TForm3*>(dialog);
            okEnabled = form->BitBtn1->isEnabled();
            form->ComboBox1->setCurrentIndex(LinkDirect);
            form->BitBtn2->click();
        });
        w.ValueListEditor1()->PressButton(2);
        QVERIFY(!okEnabled);
        QCOMPARE(w.State().Base.Nodes[0].LinkType, TLinkType(LinkGsm));
    }

    void reportTemplateKeepsTheFileName() {
        TWindowFixture f;
        OpenDetail(f, 0);
        TForm1& w = *f.Window;
        const QString file = f.Dir.filePath("отчёт.frf");
        QFile touch(file);
        QVERIFY(touch.open(QIODevice::WriteOnly));
        touch.close();
        WhenModal([file](QWidget* dialog) {
            auto* chooser = qobject_cast<QFileDialog*>(dialog);
            QVERIFY(chooser);
            QCOMPARE(chooser->windowTitle(), QString("Файл шаблона отчёта"));
            chooser->selectFile(file);
            static_cast<QDialog*>(chooser)->accept(); // QFileDialog::accept()
        });
        w.ValueListEditor2()->PressButton(4);
        QCOMPARE(QString::fromStdString(w.State().Base.Devices[0][0].ReportTemplate.Get()),
                 QString("отчёт.frf"));
        QCOMPARE(w.ValueListEditor2()->Value(4), QString("отчёт.frf"));
    }

    // Typing at the end of a row whose value has line breaks: the breaks stay in
    // the base, only the typed character is added.
    void typingKeepsLineBreaks_data() {
        QTest::addColumn<bool>("onDevice");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("node parameter") << false << 4 << "ул. Ленина, 5\r\nподвал"
                                        << "ул. Ленина, 5\r\nподвал!";
        QTest::newRow("device parameter") << true << 5 << "первая\r\nвторая\r\nтретья"
                                          << "первая\r\nвторая\r\nтретья!";
        QTest::newRow("device name") << true << 1 << "Ввод\r\nтепла"
                                     << "Ввод\r\nтепла!";
        QTest::newRow("a bare line feed stays one") << true << 5 << "а\nб"
                                                    << "а\nб!";
        QTest::newRow("one line") << false << 4 << "без переносов"
                                  << "без переносов!";
    }
    void typingKeepsLineBreaks() {
        QFETCH(bool, onDevice);
        QFETCH(int, row);
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        TWindowFixture f;
        OpenDetail(f, 0);
        TForm1& w = *f.Window;
        if (!onDevice)
            f.Select(0);
        StationBase& base = w.State().Base;
        TParamSlot* slot = nullptr;
        if (row == 1) {
            slot = &base.Devices[0][0].NameSlot;
        } else {
            w.ToolButton8Click();
            int count = 0;
            slot = &base.ParamSlots(0, onDevice ? 0 : NoDevice, &count)[0];
            QVERIFY(slot->Used);
        }
        slot->Value.Set(stored.toStdString());
        w.RefreshPanels();
        TPropertyList* list = onDevice ? w.ValueListEditor2() : w.ValueListEditor1();
        list->SetCurrentRow(row);
        QLineEdit* edit = nullptr;
        for (QLineEdit* e : list->findChildren<QLineEdit*>())
            if (e->isVisible())
                edit = e;
        QVERIFY(edit);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClick(edit, '!');
        QCOMPARE(QString::fromStdString(slot->Value.Get()), expected);
        // Filled again, the row shows the same text as before the refill.
        const QString shown = list->Value(row);
        w.RefreshPanels();
        QCOMPARE(list->Value(row), shown);
        QVERIFY(!shown.contains('\r') && !shown.contains('\n'));
    }

    void parameterEditorFromTheRowButton() {
        TWindowFixture f;
        OpenDetail(f, 0);
        TForm1& w = *f.Window;
        WhenModal([](QWidget* dialog) {
            auto* editor = qobject_cast<TForm2*>(dialog);
            QVERIFY(editor);
            QVERIFY(!editor->Edit1->isEnabled()); // the name's label is fixed
            editor->Edit2->setText("Название");
            editor->Memo1->setPlainText("Ввод\nтепла");
            editor->BitBtn1->click();
        });
        w.ValueListEditor2()->PressButton(1);
        QCOMPARE(w.ValueListEditor2()->Key(1), QString("Название"));
        QCOMPARE(QString::fromStdString(w.State().Base.Devices[0][0].NameSlot.Value.Get()),
                 QString("Ввод\r\nтепла"));
        QCOMPARE(w.TreeView1->Item(0, 0)->text(0), QString("Ввод\r\nтепла"));
        // Cancel stores nothing.
        WhenModal([](QWidget* dialog) {
            auto* editor = qobject_cast<TForm2*>(dialog);
            editor->Edit2->setText("другое");
            editor->BitBtn2->click();
        });
        w.ValueListEditor2()->PressButton(1);
        QCOMPARE(w.ValueListEditor2()->Key(1), QString("Название"));
    }
};

QTEST_MAIN(PanelTest)
#include "PanelTest.moc"
