// virs-link-shots: opens the main window on the station base of the current
// folder (writing a demonstration base there first when it has none), walks
// through its states and dialogs and saves a PNG picture of each into the
// folder given as the argument. Used by scripts/screenshots.sh, which has the
// demo meters read through the simulator first; with --live the program also
// connects the first node through the simulator's line and pictures a read, an
// archive job while it runs, its date dialog and a meter that does not answer.

#include <QApplication>
#include <QCalendarWidget>
#include <QDir>
#include <QElapsedTimer>
#include <QFontDialog>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>

#include <functional>

#include "service/TForm4.h"
#include "service/TForm8.h"
#include "service/TForm9.h"
#include "shell/ConnectionDialog.h"
#include "shell/DeleteDialog.h"
#include "shell/HelpWindow.h"
#include "shell/MainWindow.h"
#include "shell/ParamEditor.h"
#include "shell/QtTranslations.h"
#include "shell/ServiceWiring.h"
#include "shell/TextFontDialog.h"
#include "shell/WhenModal.h"
#include "shell/WindowLink.h"

namespace {

using namespace virs;

void Settle() {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QApplication::sendPostedEvents();
    }
}

bool Save(QWidget* widget, const QDir& out, const QString& name) {
    Settle();
    const bool ok = widget->grab().save(out.filePath(name + ".png"));
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(out.filePath(name + ".png")));
    return ok;
}

// Lets the window work until `done` holds or `ms` have passed.
bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

// A small station to show: three nodes, one per link type, and devices of
// every type the program reads.
void WriteDemoBase() {
    StationBase base;
    struct TDev {
        const char* Name;
        TDeviceType Type;
    };
    struct TNodeDef {
        const char* Name;
        TLinkType Link;
        std::vector<TDev> Devices;
    };
    const std::vector<TNodeDef> nodes = {
        {"Котельная №1",
         LinkDirect,
         {{"Ввод теплосети", DeviceVirsD}, {"Подпитка", DeviceVirsSh}, {"ГВС", DeviceVirsD2}}},
        {"Насосная станция",
         LinkDialUp,
         {{"Напорный коллектор", DeviceVirsDK}, {"Резерв", DeviceOff}}},
        {"Водозабор", LinkGsm, {{"Скважина 2", DeviceVirsD2}}},
    };
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        base.InsertNode(static_cast<int>(n));
        base.Nodes[n].NameSlot.Value.Set(nodes[n].Name);
        base.Nodes[n].LinkType = nodes[n].Link;
        base.Nodes[n].ComPort = static_cast<u16>(n + 1);
        if (nodes[n].Link != LinkDirect)
            base.Nodes[n].Phone.Set("84951234567");
        for (std::size_t d = 0; d < nodes[n].Devices.size(); ++d) {
            base.SelNode = static_cast<u8>(n);
            base.InsertDevice(static_cast<int>(d));
            base.Devices[n][d].NameSlot.Value.Set(nodes[n].Devices[d].Name);
            base.Devices[n][d].DeviceType = nodes[n].Devices[d].Type;
        }
    }
    base.SelNode = 0;
    base.SelDevice = NoDevice;
    int slot = 0;
    base.AddParam(&slot);
    base.Nodes[0].Params[slot].Caption.Set("Адрес");
    base.Nodes[0].Params[slot].Value.Set("ул. Заводская, 12");
    TStationFileGuard guard;
    SaveStationBase(base, guard, ".");
}

// The first node's line through the simulator: connect, read, an archive job
// pictured while it runs and after, and a meter that does not answer.
void LiveShots(TForm1& window, TWindowLink& link, QStringList& messages,
               const std::function<void(QWidget*, const QString&)>& save, int& failures) {
    TMainToolBar* t = window.ToolBar1;
    QTreeWidget* tree = window.TreeView1;
    auto fail = [&](const char* what) {
        std::printf("FAILED %s (status: %s)\n", what, qPrintable(window.StatusBar1->StatusText()));
        ++failures;
    };
    auto jobEnded = [&] { return !window.State().JobRunning && !t->ToolButton16->isChecked(); };

    tree->setCurrentItem(window.TreeView1->Item(0));
    t->ToolButton14->click();
    if (!WaitFor([&] { return window.State().LinkOpen && !link.Busy(); }, 20000)) {
        fail("connect");
        return;
    }
    WaitFor([] { return false; }, 2300); // the link clock shows a few seconds
    save(&window, "20-node-connected");

    // Current values of the ВИРС-Д, read now.
    tree->setCurrentItem(window.TreeView1->Item(0, 1));
    window.TabSet1->setCurrentIndex(0);
    if (!WaitFor([&] { return t->ToolButton16->isEnabled(); }, 5000))
        fail("start enabled");
    t->ToolButton16->click();
    if (!WaitFor(jobEnded, 20000))
        fail("current values read");
    save(&window, "21-current-values-read-now");

    // Daily archive of the last 60 days: the date dialog, the job while it
    // runs, and the archive view after it.
    window.TabSet1->setCurrentIndex(1);
    WhenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<TForm7*>(modal);
        if (!dialog) {
            modal->close();
            return;
        }
        dialog->MonthCalendar1->setSelectedDate(
            dialog->MonthCalendar2->selectedDate().addDays(-60));
        save(dialog, "22-archive-date-dialog");
        dialog->BitBtn1->click();
    });
    t->ToolButton16->click();
    if (!WaitFor([&] { return window.StatusBar1->StatusText().startsWith("Выполнено"); }, 20000))
        fail("archive progress");
    else
        save(&window, "23-archive-job-running");
    if (!WaitFor(jobEnded, 120000))
        fail("archive job");
    save(&window, "24-daily-archive-read");

    // A meter that does not answer: the ВИРС-ДК given a network number no
    // meter of the line has (as after a typing slip), read, and put back.
    window.ToolBar1->ToolButton18->setChecked(true);
    window.ToolButton18Click(true);
    tree->setCurrentItem(window.TreeView1->Item(0, 2));
    window.TabSet1->setCurrentIndex(0);
    const QString number = window.ValueListEditor2()->Value(3);
    window.ValueListEditor2()->EnterValue(3, "17");
    window.ValueListEditor2()->SetCurrentRow(3);
    if (!WaitFor([&] { return t->ToolButton16->isEnabled(); }, 5000))
        fail("start enabled");
    t->ToolButton16->click();
    if (!WaitFor(jobEnded, 60000))
        fail("silent meter");
    save(&window, "25-meter-does-not-answer");
    window.ValueListEditor2()->EnterValue(3, number);

    // Two meters on one number after a clone: said, and marked in the panel.
    tree->setCurrentItem(window.TreeView1->Item(0, 0));
    t->ToolButton14->setChecked(false);
    window.ToolButton14Click(false);
    WaitFor([&] { return !window.State().LinkOpen && !link.Busy(); }, 20000);
    window.ToolButton20Click();
    save(&window, "26-shared-network-number");
    window.ToolButton7Click(); // the clone goes again (no confirmation: see main)
    window.ToolBar1->ToolButton18->setChecked(false);
    window.ToolButton18Click(false);

    // The dial-up node: the modem dialogue ends in the message the operator
    // confirms (pictured by the message sink), then a read over the modem line.
    tree->setCurrentItem(window.TreeView1->Item(1));
    t->ToolButton14->click();
    if (!WaitFor([&] { return window.State().LinkOpen && !link.Busy(); }, 40000)) {
        fail("dial-up connect");
        return;
    }
    tree->setCurrentItem(window.TreeView1->Item(1, 3));
    window.TabSet1->setCurrentIndex(0);
    if (WaitFor([&] { return t->ToolButton16->isEnabled(); }, 5000)) {
        t->ToolButton16->click();
        if (!WaitFor(jobEnded, 30000))
            fail("read over the modem");
    }
    save(&window, "27-dialup-node-read");
    t->ToolButton14->setChecked(false);
    window.ToolButton14Click(false);
    WaitFor([&] { return !window.State().LinkOpen && !link.Busy(); }, 20000);
    std::printf("messages: %s\n", qPrintable(messages.join(" | ")));
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    InstallQtTranslations(app);
    QStringList args = QApplication::arguments();
    const bool live = args.removeAll("--live") > 0;
    const QDir out(args.size() > 1 ? args[1] : QDir::currentPath());
    if (!QFileInfo::exists("base.dat"))
        WriteDemoBase();

    int failures = 0;
    auto save = [&](QWidget* w, const QString& name) { failures += Save(w, out, name) ? 0 : 1; };

    TForm1 window(".");
    QStringList messages;
    int boxes = 0;
    // Messages are pictured as the operator sees them, without waiting for a click.
    window.MessageSink = [&](QMessageBox::Icon icon, const QString& text) {
        std::printf("message: %s\n", qPrintable(text));
        messages << text;
        QMessageBox box(icon, "Соединение с узлом", text, QMessageBox::Ok, &window);
        box.show();
        save(&box, QString("3%1-message").arg(boxes++));
        box.hide();
    };
    TWindowLink link(window);
    window.SetLinkController(&link);
    window.State().DeleteNoAsk = true;
    window.show();
    Settle();
    save(&window, "01-main-empty-selection");

    QTreeWidget* tree = window.TreeView1;
    tree->expandAll();
    tree->setCurrentItem(window.TreeView1->Item(0));
    save(&window, "02-main-tree-node");

    // The ВИРС-Д of the first node: current values and its parameters.
    tree->setCurrentItem(window.TreeView1->Item(0, 1));
    window.TabSet1->setCurrentIndex(0);
    save(&window, "03-device-current-values");
    window.TabSet1->setCurrentIndex(window.TabSet1->count() - 1);
    save(&window, "04-device-parameters-tab");

    window.ToolBar1->ToolButton18->setChecked(true);
    window.ToolButton18Click(true);
    tree->setCurrentItem(window.TreeView1->Item(0, 2));
    window.ValueListEditor2()->SetCurrentRow(2); // the type's pick list
    save(&window, "05-detail-mode-both-panels");
    tree->setCurrentItem(window.TreeView1->Item(1));
    window.ValueListEditor1()->SetCurrentRow(2); // the link type's button
    save(&window, "06-detail-mode-node");
    window.ToolBar1->ToolButton18->setChecked(false);
    window.ToolButton18Click(false);

    window.ToolBar1->PopupMenu1->popup(window.ToolBar1->ToolButton1->mapToGlobal(
        QPoint(0, window.ToolBar1->ToolButton1->height())));
    save(window.ToolBar1->PopupMenu1, "07-utilities-menu");
    window.ToolBar1->PopupMenu1->hide();

    // The dialogs, shown without blocking so they can be pictured.
    TForm2* editor = window.Form2();
    editor->Fill(window.State().Base.Nodes[0].NameSlot);
    editor->show();
    save(editor, "08-parameter-editor");
    editor->hide();

    TForm3* connection = window.Form3();
    connection->Fill(window.State().Base.Nodes[1], false);
    connection->show();
    save(connection, "09-connection-settings-dialup");
    connection->Fill(window.State().Base.Nodes[0], false);
    save(connection, "10-connection-settings-direct");
    connection->hide();

    TForm6* confirm = window.Form6();
    confirm->show();
    save(confirm, "11-delete-confirmation");
    confirm->hide();

    QFontDialog fonts(&window);
    fonts.setWindowTitle("шрифт");
    fonts.setOptions(QFontDialog::MonospacedFonts | QFontDialog::DontUseNativeDialog);
    fonts.setCurrentFont(ResolvedFace(window.Memo1->font()));
    fonts.show();
    save(&fonts, "12-font-dialog");
    fonts.hide();

    THelpWindow* help = window.HelpWindow();
    help->ShowHome();
    save(help, "13-help-contents");
    help->Browser->setSource(QUrl("qrc:/shell/help/tree.html"));
    save(help, "14-help-tree");
    help->close();

    // The utility dialogs as the menu opens them, shown without blocking.
    auto* services = new TServiceWiring(window);
    services->ShowDialog = [](QDialog* dialog) { dialog->show(); };
    const std::pair<void (TServiceWiring::*)(QWidget*), const char*> utilities[] = {
        {&TServiceWiring::OpenModemSetup, "15-remote-modem-setup"},
        {&TServiceWiring::OpenAdapterAddresses, "16-adapter-addresses"},
        {&TServiceWiring::OpenFirmwareUpdate, "17-firmware-update"},
    };
    for (const auto& [open, name] : utilities) {
        (services->*open)(&window);
        for (QDialog* dialog :
             {static_cast<QDialog*>(services->Form4), static_cast<QDialog*>(services->Form8),
              static_cast<QDialog*>(services->Form9)})
            if (dialog && dialog->isVisible()) {
                save(dialog, name);
                dialog->hide();
            }
    }

    if (live)
        LiveShots(window, link, messages, save, failures);

    window.close();
    return failures == 0 ? 0 : 1;
}
