// virs-link-shots: opens the main window on the station base of the current
// folder (writing a demonstration base there first when it has none), walks
// through its states and dialogs and saves a PNG picture of each into the
// folder given as the argument. Used by scripts/screenshots.sh.

#include <QApplication>
#include <QDir>
#include <QFontDialog>
#include <QTextBrowser>
#include <QTimer>

#include "service/TForm4.h"
#include "service/TForm8.h"
#include "service/TForm9.h"
#include "shell/ConnectionDialog.h"
#include "shell/DeleteDialog.h"
#include "shell/HelpWindow.h"
#include "shell/MainWindow.h"
#include "shell/ParamEditor.h"
#include "shell/ServiceWiring.h"

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

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    if (!QFileInfo::exists("base.dat"))
        WriteDemoBase();

    int failures = 0;
    auto save = [&](QWidget* w, const QString& name) { failures += Save(w, out, name) ? 0 : 1; };

    TForm1 window(".");
    window.MessageSink = [](QMessageBox::Icon, const QString& text) {
        std::printf("message: %s\n", qPrintable(text));
    };
    window.show();
    Settle();
    save(&window, "01-main-empty-selection");

    QTreeWidget* tree = window.TreeView1;
    tree->expandAll();
    tree->setCurrentItem(window.TreeView1->Item(0));
    save(&window, "02-main-tree-node");

    tree->setCurrentItem(window.TreeView1->Item(0, 0));
    save(&window, "03-device-current-values");
    window.TabSet1->setCurrentIndex(4);
    save(&window, "04-device-parameters-tab");

    window.ToolBar1->ToolButton18->setChecked(true);
    window.ToolButton18Click(true);
    tree->setCurrentItem(window.TreeView1->Item(0, 2));
    window.ValueListEditor2()->SetCurrentRow(2); // the type's pick list
    save(&window, "05-detail-mode-both-panels");
    tree->setCurrentItem(window.TreeView1->Item(1));
    window.ValueListEditor1()->SetCurrentRow(2); // the link type's button
    save(&window, "06-detail-mode-node");

    window.ToolBar1->PopupMenu1->popup(window.ToolBar1->ToolButton1->mapToGlobal(
        QPoint(0, window.ToolBar1->ToolButton1->height())));
    save(window.ToolBar1->PopupMenu1, "07-utilities-menu");
    window.ToolBar1->PopupMenu1->hide();

    // The dialogs, shown without blocking so they can be pictured.
    TForm2* editor = window.Form2();
    editor->Fill(window.State().Base.Nodes[0].Params[0]);
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

    QFontDialog fonts(window.Memo1->font(), &window);
    fonts.setOptions(QFontDialog::MonospacedFonts | QFontDialog::DontUseNativeDialog);
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

    window.close();
    return failures == 0 ? 0 : 1;
}
