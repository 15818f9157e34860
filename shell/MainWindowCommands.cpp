// TForm1: the commands of the tool bar and its menu, and drag and drop.

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include "jobs/StationEdits.h"
#include "shell/DeleteDialog.h"
#include "shell/HelpWindow.h"
#include "shell/MainWindow.h"
#include "shell/ShellImages.h"
#include "shell/ShellTexts.h"
#include "shell/TextFontDialog.h"

namespace virs {

namespace {

QString ModelText(TModelStatus status) {
    return QString::fromUtf8(ModelStatusText(status));
}

} // namespace

TForm6* TForm1::Form6() {
    if (!DeleteDialog)
        DeleteDialog = new TForm6(this);
    return DeleteDialog;
}

THelpWindow* TForm1::HelpWindow() {
    if (!Help)
        Help = new THelpWindow(this);
    return Help;
}

void TForm1::ToolButton5Click() {
    StationBase& base = ProgramState.Base;
    QTreeWidgetItem* current = TreeView1->currentItem();
    int p = 0;
    if (TreeView1->topLevelItemCount() > 0) {
        if (!TStationTree::IsNode(current))
            return;
        p = TreeView1->indexOfTopLevelItem(current) + 1;
    }
    const TEditOutcome edit = InsertNodeAt(ProgramState, p);
    if (!edit.Done) {
        ShowMessage(QMessageBox::Warning, QString::fromStdString(edit.Refusal));
        return;
    }
    if (TreeView1->topLevelItemCount() == 0) {
        ShowNodeControls(true);
        ToolBar1->ToolButton6->setEnabled(true);
        ToolBar1->ToolButton7->setEnabled(true);
        ToolBar1->ToolButton18->setEnabled(true);
    }
    TreeView1->setCurrentItem(TreeView1->InsertItem(
        p, NoDevice, QString::fromStdString(base.Nodes[p].NameSlot.Value.Get()),
        NodeImage(base.Nodes[p].LinkType)));
}

void TForm1::ToolButton6Click() {
    StationBase& base = ProgramState.Base;
    QTreeWidgetItem* current = TreeView1->currentItem();
    int node = 0, device = NoDevice;
    if (!TStationTree::Locate(current, node, device))
        return;
    const int q = device == NoDevice ? base.DeviceCount(node) : device + 1;
    const TEditOutcome edit = InsertDeviceAt(ProgramState, node, q);
    if (!edit.Done) {
        ShowMessage(QMessageBox::Warning, QString::fromStdString(edit.Refusal));
        return;
    }
    const TDevice& record = base.Devices[node][q];
    TreeView1->setCurrentItem(
        TreeView1->InsertItem(node, q, QString::fromStdString(record.NameSlot.Value.Get()),
                              DeviceImage(record.DeviceType), device == NoDevice));
}

void TForm1::ToolButton20Click() {
    StationBase& base = ProgramState.Base;
    int node = 0, device = NoDevice;
    if (!TStationTree::Locate(TreeView1->currentItem(), node, device) || device == NoDevice)
        return;
    const TEditOutcome edit = CloneDeviceAt(ProgramState, node, device);
    if (!edit.Done) {
        ShowMessage(QMessageBox::Warning, QString::fromStdString(edit.Refusal));
        return;
    }
    const TDevice& clone = base.Devices[node][device + 1];
    TreeView1->setCurrentItem(
        TreeView1->InsertItem(node, device + 1, QString::fromStdString(clone.NameSlot.Value.Get()),
                              DeviceImage(clone.DeviceType)));
    ShowNetAddressClash(true); // the clone answers at its original's number
}

void TForm1::ToolButton7Click() {
    if (!ProgramState.DeleteNoAsk) {
        TForm6* confirm = Form6();
        const int answer = confirm->exec();
        ProgramState.DeleteNoAsk = confirm->CheckBox1->isChecked();
        if (answer != QDialog::Accepted)
            return;
    }
    QTreeWidgetItem* item = TreeView1->currentItem();
    int node = 0, device = NoDevice;
    if (!TStationTree::Locate(item, node, device))
        return;
    StationBase& base = ProgramState.Base;
    const TEditOutcome edit = DeleteItem(ProgramState, node, device, JobActive());
    if (!edit.Done) {
        ShowMessage(QMessageBox::Warning, QString::fromStdString(edit.Refusal));
        return;
    }
    if (LastSelected == item)
        LastSelected = nullptr;
    {
        // The tree picks the neighbour while the item is still in place, so the
        // selection handler runs once it is gone and the indices are final.
        const QSignalBlocker quiet(TreeView1);
        delete item;
    }
    TreeView1Change(TreeView1->currentItem());
    if (TreeView1->topLevelItemCount() == 0) {
        base.SelNode = 0;
        base.SelDevice = NoDevice;
        EmptyTreeState();
        if (ToolBar1->ToolButton18->isChecked()) {
            ToolBar1->ToolButton18->setChecked(false);
            ToolButton18Click(false);
        }
        Memo1->clear();
        Memo1->show();
        ToolBar1->ToolButton5->setEnabled(!ProgramState.LinkOpen);
        SetTitle();
    } else if (DetailMode()) {
        RefreshPanels();
    }
}

void TForm1::ToolButton18Click(bool down) {
    TabsMoved = true;
    // The splitter lays the panel out on its next round; the strip follows then.
    QTimer::singleShot(0, this, &TForm1::PlaceTabStrip);
    if (down) {
        Panel1->show();
        QList<int> sizes = MainSplitter->sizes();
        if (sizes.size() == 3 && sizes[1] < Panel1->minimumWidth()) {
            const int take = Panel1->minimumWidth() - sizes[1];
            sizes[1] += take;
            sizes[2] = std::max(150, sizes[2] - take);
            MainSplitter->setSizes(sizes);
        }
        PlaceTabStrip();
        FillNodePanel();
        if (ProgramState.Base.SelDevice != NoDevice)
            FillDevicePanel();
        return;
    }
    Panel1->hide();
    ToolBar1->ToolButton8->setEnabled(false);
    ToolBar1->ToolButton9->setEnabled(false);
    PlaceTabStrip();
}

void TForm1::ToolButton8Click() {
    StationBase& base = ProgramState.Base;
    if (base.SelNode >= base.NodeCount())
        return;
    const TModelStatus status = base.AddParam();
    if (status == TModelStatus::NoFreeParamSlot)
        return; // nothing happens when every slot is used
    if (status != TModelStatus::Ok) {
        ShowMessage(QMessageBox::Warning, ModelText(status));
        return;
    }
    if (base.SelDevice == NoDevice)
        FillNodePanel();
    else
        FillDevicePanel();
}

void TForm1::ToolButton9Click() {
    StationBase& base = ProgramState.Base;
    if (base.SelNode >= base.NodeCount())
        return;
    const bool onDevice = base.SelDevice != NoDevice;
    TPropertyList* panel = onDevice ? ValueListEditor2() : ValueListEditor1();
    const int firstParamRow = onDevice ? 5 : 4;
    const int row = panel->CurrentRow();
    if (row < firstParamRow)
        return;
    int count = 0;
    TParamSlot* params = base.ParamSlots(base.SelNode, base.SelDevice, &count);
    int listed = firstParamRow;
    for (int slot = 0; params && slot < count; ++slot) {
        if (!params[slot].Used)
            continue;
        if (listed++ == row) {
            base.RemoveParam(slot);
            break;
        }
    }
    if (onDevice)
        FillDevicePanel();
    else
        FillNodePanel();
}

void TForm1::ToolButton3Click() {
    if (Services.SaveView)
        Services.SaveView();
}

void TForm1::ToolButton2Click() {
    if (Services.PrintView)
        Services.PrintView();
}

void TForm1::RunUtility(const std::function<void(QWidget*)>& utility) {
    if (utility)
        utility(this);
}

void TForm1::FontItemClick() {
    Memo1->setFont(ChooseTextFont(Memo1->font(), this, texts::MenuFont));
}

// HelpFile.chm of the program's folder when this system has a viewer for it,
// otherwise the manual that comes with the program.
void TForm1::ToolButton12Click() {
    const QString chm = QString::fromStdString((BaseFolder / texts::HelpFileName).string());
    if (QFileInfo::exists(chm)) {
#ifdef Q_OS_WIN
        if (QDesktopServices::openUrl(QUrl::fromLocalFile(chm)))
            return;
#else
        for (const char* viewer : {"xchm", "kchmviewer"}) {
            const QString program = QStandardPaths::findExecutable(viewer);
            if (!program.isEmpty() && QProcess::startDetached(program, {chm}))
                return;
        }
#endif
    }
    THelpWindow* help = HelpWindow();
    help->ShowHome();
}

void TForm1::ShowHelpPage(const QString& page, QWidget* front) {
    if (!front || front == this || !front->isModal()) {
        HelpWindow()->ShowPage(page);
        return;
    }
    // Above a modal dialog only the dialog's own children can be used: the
    // manual opens as one, and goes with the dialog (message boxes and the
    // font dialog live only while they are shown).
    auto* help = front->findChild<THelpWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (!help)
        help = new THelpWindow(front);
    help->ShowPage(page);
}

// ---------------------------------------------------------------- drag and drop

bool TForm1::MoveItem(QTreeWidgetItem* dragged, QTreeWidgetItem* target) {
    if (!TStationTree::AcceptsDrop(dragged, target))
        return false;
    int fromNode = 0, from = NoDevice, toNode = 0, to = NoDevice;
    if (!TStationTree::Locate(dragged, fromNode, from) || !TStationTree::Locate(target, toNode, to))
        return false;
    const bool deviceMove = from != NoDevice;

    // The drop target's index is the moved item's new index in every case: a
    // device over a device goes after it moving down, before it moving up or
    // coming from another node; over a node it becomes the first device.
    const int toIndex = deviceMove ? (to == NoDevice ? 0 : to) : toNode;
    const TEditOutcome edit =
        virs::MoveItem(ProgramState, fromNode, from, toNode, toIndex, JobActive());
    if (!edit.Done) {
        ShowMessage(QMessageBox::Warning, QString::fromStdString(edit.Refusal));
        return false;
    }

    LastSelected = TreeView1->MoveItemTo(fromNode, from, toNode, toIndex);
    // The moved item is still the selected one; its node may have changed, so
    // the title and the panels follow it.
    SetTitle();
    RefreshPanels();
    if (deviceMove)
        ShowNetAddressClash(true);
    return true;
}

} // namespace virs
