#include "shell/ServiceWiring.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrinter>

#include "service/PrintMemoLines.h"
#include "service/TForm4.h"
#include "service/TForm8.h"
#include "service/TForm9.h"
#include "shell/PortList.h"
#include "views/ViewSave.h"

namespace virs {

namespace {

// The program's filter string ("description|pattern|…") as Qt's name filters.
QStringList QtNameFilters(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + " (" + parts[i + 1] + ")";
    return filters;
}

bool RunSaveDialog(QWidget* owner, QString& name, int& filter) {
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Only the descriptions show, as the program's filter string has them.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const QStringList filters = QtNameFilters(SaveDialogFilter);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(filter - 1));
    if (!name.isEmpty())
        dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    name = dialog.selectedFiles().first();
    filter = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    if (filter < 1)
        filter = SaveFilterText;
    return true;
}

std::filesystem::path PathOf(const QString& name) {
#ifdef _WIN32
    return std::filesystem::path(name.toStdWString());
#else
    return std::filesystem::path(name.toStdString());
#endif
}

QString NameOf(const std::filesystem::path& path) {
#ifdef _WIN32
    return QString::fromStdWString(path.wstring());
#else
    return QString::fromStdString(path.string());
#endif
}

} // namespace

TServiceWiring::TServiceWiring(TForm1& window) : QObject(&window), Window(window) {
    SaveDialog1 = RunSaveDialog;
    MakePrinter = [] { return std::make_unique<QPrinter>(QPrinter::HighResolution); };
    ShowDialog = [](QDialog* dialog) { dialog->exec(); };
}

TShellServices TServiceWiring::Services() {
    TShellServices s;
    s.ModemSetup = [this](QWidget* owner) { OpenModemSetup(owner); };
    s.AdapterAddresses = [this](QWidget* owner) { OpenAdapterAddresses(owner); };
    s.FirmwareUpdate = [this](QWidget* owner) { OpenFirmwareUpdate(owner); };
    s.SaveView = [this] { SaveView(); };
    s.PrintView = [this] { PrintView(); };
    return s;
}

std::vector<std::string> TServiceWiring::MemoLines() const {
    std::vector<std::string> lines;
    QString text = Window.Memo1->toPlainText();
    if (text.isEmpty())
        return lines;
    // A final line break ends the last line; it does not start another.
    if (text.endsWith('\n'))
        text.chop(1);
    for (const QString& line : text.split('\n'))
        lines.push_back(line.toStdString());
    return lines;
}

void TServiceWiring::Tell(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace('\r', '\n');
    if (Window.MessageSink) {
        Window.MessageSink(QMessageBox::Critical, shown);
        return;
    }
    QMessageBox box(QMessageBox::Critical, "Ошибка", shown, QMessageBox::Ok, &Window);
    box.exec();
}

void TServiceWiring::SaveView() {
    QString name = LastSaveName;
    int filter = SaveFilterText;
    if (!SaveDialog1 || !SaveDialog1(&Window, name, filter))
        return;
    const std::filesystem::path target = SaveNameForFilter(PathOf(name), filter);
    LastSaveName = NameOf(target);
    TSaveOutcome outcome;
    if (filter == SaveFilterWorkbook) {
        // The device's archive workbook, whatever view the pane shows.
        const StationBase& base = Window.State().Base;
        std::string archive;
        if (base.SelNode < base.NodeCount() && base.SelDevice != NoDevice &&
            base.SelDevice < base.DeviceCount(base.SelNode))
            archive = base.Devices[base.SelNode][base.SelDevice].ArchiveFile.Get();
        outcome = CopyArchiveWorkbook(Window.Folder(), archive, target);
    } else {
        outcome = SaveViewText(target, MemoLines());
    }
    if (!outcome.Ok)
        Tell(outcome.Message);
}

void TServiceWiring::PrintView() {
    std::unique_ptr<QPrinter> printer = MakePrinter ? MakePrinter() : nullptr;
    if (!printer || !PrintMemoLines(*printer, MemoLines()))
        Tell(PrintErrorText);
}

void TServiceWiring::OpenModemSetup(QWidget* owner) {
    if (!Form4)
        Form4 = new TForm4(Window.State().LineSettings, owner);
    Form4->Hooks = DialogHooks;
    ListComPorts(Form4->ComboBox1, 256, Window.PortSource);
    ShowDialog(Form4);
}

void TServiceWiring::OpenAdapterAddresses(QWidget* owner) {
    if (!Form8)
        Form8 = new TForm8(Window.State().LineSettings, owner);
    Form8->Hooks = DialogHooks;
    ListComPorts(Form8->ComboBox1, 256, Window.PortSource);
    ShowDialog(Form8);
}

void TServiceWiring::OpenFirmwareUpdate(QWidget* owner) {
    if (!Form9)
        Form9 = new TForm9(owner);
    Form9->Hooks = DialogHooks;
    ListComPorts(Form9->ComboBox1, 256, Window.PortSource);
    ShowDialog(Form9);
}

} // namespace virs
