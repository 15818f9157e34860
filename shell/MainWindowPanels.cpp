// TForm1: the node and device property panels, their row buttons and their
// change handlers.

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

#include "shell/ConnectionDialog.h"
#include "shell/MainWindow.h"
#include "shell/ParamEditor.h"
#include "shell/ShellImages.h"
#include "shell/ShellTexts.h"

namespace virs {

namespace {

constexpr int NodeFirstParamRow = 4;
constexpr int DeviceFirstParamRow = 5;
constexpr int NetAddressRow = 3;
// Network numbers a device can answer at. 0 is the broadcast address, on which
// no device answers; a ВИРС-Ш behind the network adapter may answer at 248..255,
// as the adapter takes the pair N, N + 1 for N up to 254.
constexpr int FirstNetAddress = 1;
constexpr int LastNetAddress = 255;

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// A panel row is one line: a line break of a name or parameter value shows as
// this mark, which no stored text can hold (it has no Windows-1251 code), and
// turns back into the value's own line break when the row is typed in.
constexpr char16_t LineBreakMark = u'\u21B5'; // ↵

// The line break a stored value uses (CR LF, as the parameter editor writes it,
// unless the value already breaks its lines otherwise).
QString LineBreakOf(const QString& value) {
    const qsizetype at = value.indexOf(QRegularExpression("[\r\n]"));
    if (at < 0)
        return "\r\n";
    if (value[at] == '\r')
        return value.mid(at + 1, 1) == "\n" ? "\r\n" : "\r";
    return "\n";
}

QString RowText(const std::string& value) {
    QString text = Text(value);
    text.replace("\r\n", QChar(LineBreakMark))
        .replace('\r', QChar(LineBreakMark))
        .replace('\n', QChar(LineBreakMark));
    return text;
}

// What a typed row stores, given the value it replaces.
std::string StoredText(const QString& typed, const std::string& previous) {
    QString text = typed;
    text.replace(QChar(LineBreakMark), LineBreakOf(Text(previous)));
    return text.toStdString();
}

TRowProps ButtonRow(bool readOnly, int maxLength = 255) {
    TRowProps props;
    props.Style = TEditStyle::Ellipsis;
    props.ReadOnly = readOnly;
    props.MaxLength = maxLength;
    return props;
}

// The used parameter slot shown in panel row `row` (rows from `firstRow` list the
// used slots in slot order); -1 when the row shows none.
int SlotOfRow(const TParamSlot* params, int count, int row, int firstRow) {
    int listed = firstRow;
    for (int slot = 0; slot < count; ++slot) {
        if (!params[slot].Used)
            continue;
        if (listed++ == row)
            return slot;
    }
    return -1;
}

} // namespace

TForm2* TForm1::Form2() {
    if (!ParamEditor)
        ParamEditor = new TForm2(this);
    return ParamEditor;
}

TForm3* TForm1::Form3() {
    if (!ConnectionDialog)
        ConnectionDialog = new TForm3(this);
    ConnectionDialog->PortSource = PortSource;
    return ConnectionDialog;
}

void TForm1::FillNodePanel() {
    const StationBase& base = ProgramState.Base;
    if (base.SelNode >= base.NodeCount())
        return;
    const TNode& node = base.Nodes[base.SelNode];
    TPropertyList* list = ValueListEditor1();
    PanelFilling = true;
    list->BeginUpdate();
    list->Clear();
    list->AddRow(Text(node.NameSlot.Caption.Get()), RowText(node.NameSlot.Value.Get()),
                 ButtonRow(false));
    list->AddRow(texts::RowLinkType, LinkTypeName(node.LinkType), ButtonRow(true, 0));
    TRowProps readOnly;
    readOnly.ReadOnly = true;
    list->AddRow(texts::RowDeviceCount, QString::number(node.DeviceCount), readOnly);
    AddParamRows(list, node.Params, NodeParamSlots);
    PanelFilling = false;
    list->EndUpdate();
}

void TForm1::FillDevicePanel() {
    const TDevice* device = CurrentDevice();
    if (!device)
        return;
    TPropertyList* list = ValueListEditor2();
    PanelFilling = true;
    list->BeginUpdate();
    list->Clear();
    list->AddRow(Text(device->NameSlot.Caption.Get()), RowText(device->NameSlot.Value.Get()),
                 ButtonRow(false));
    TRowProps pick;
    pick.Style = TEditStyle::PickList;
    pick.ReadOnly = true;
    for (TDeviceType code : {DeviceOff, DeviceVirsSh, DeviceVirsD, DeviceVirsDK, DeviceVirsD2})
        pick.PickList << DeviceTypeName(code);
    list->AddRow(texts::RowDeviceType, DeviceTypeName(device->DeviceType), pick);
    TRowProps number;
    number.Minimum = FirstNetAddress;
    number.Maximum = LastNetAddress;
    list->AddRow(texts::RowNetAddress, QString::number(device->NetAddress), number);
    list->AddRow(texts::RowReportTemplate, Text(device->ReportTemplate.Get()), ButtonRow(true));
    AddParamRows(list, device->Params, DeviceParamSlots);
    ShowNetAddressClash(false);
    PanelFilling = false;
    list->EndUpdate();
}

void TForm1::AddParamRows(TPropertyList* list, const TParamSlot* params, int count) {
    int used = 0;
    for (int k = 0; k < count; ++k) {
        if (!params[k].Used)
            continue;
        list->AddRow(Text(params[k].Caption.Get()), RowText(params[k].Value.Get()),
                     ButtonRow(false));
        ++used;
    }
    ToolBar1->ToolButton8->setEnabled(DetailMode() && used < count);
    ToolBar1->ToolButton9->setEnabled(DetailMode() && used > 0);
}

void TForm1::SyncNodeText() {
    const StationBase& base = ProgramState.Base;
    if (QTreeWidgetItem* item = TreeView1->Item(base.SelNode))
        item->setText(0, Text(base.Nodes[base.SelNode].NameSlot.Value.Get()));
}

void TForm1::SyncDeviceText() {
    if (const TDevice* device = CurrentDevice())
        if (QTreeWidgetItem* item = TreeView1->Item(SelNode(), SelDevice()))
            item->setText(0, Text(device->NameSlot.Value.Get()));
}

void TForm1::ValueListEditor1StringsChange(int row) {
    StationBase& base = ProgramState.Base;
    if (PanelFilling || base.SelNode >= base.NodeCount())
        return;
    TNode& node = base.Nodes[base.SelNode];
    const QString value = ValueListEditor1()->Value(row);
    if (row == 1) {
        node.NameSlot.Value.Set(StoredText(value, node.NameSlot.Value.Get()));
    } else if (row >= NodeFirstParamRow) {
        const int slot = SlotOfRow(node.Params, NodeParamSlots, row, NodeFirstParamRow);
        if (slot >= 0)
            node.Params[slot].Value.Set(StoredText(value, node.Params[slot].Value.Get()));
    }
    SyncNodeText();
    SetTitle();
}

void TForm1::ValueListEditor2StringsChange(int row) {
    TDevice* device = CurrentDevice();
    if (PanelFilling || !device)
        return;
    // The record of a device that is being read belongs to its job.
    const TMainToolBar* t = ToolBar1;
    if (Controller && SelNode() == Controller->JobNode() &&
        SelDevice() == Controller->JobDevice() &&
        (t->ToolButton16->isChecked() || t->ToolButton13->isChecked()))
        return;
    const QString value = ValueListEditor2()->Value(row);
    const u8 oldAddress = device->NetAddress;
    const TDeviceType oldType = device->DeviceType;
    switch (row) {
    case 1:
        device->NameSlot.Value.Set(StoredText(value, device->NameSlot.Value.Get()));
        break;
    case 2:
        for (int code = 0; code < DeviceTypeCount; ++code) {
            if (value == DeviceTypeName(static_cast<TDeviceType>(code)) &&
                code != device->DeviceType) {
                device->DeviceType = static_cast<TDeviceType>(code);
                if (code != DeviceOff)
                    RebuildTabs(device->DeviceType);
                break;
            }
        }
        break;
    case NetAddressRow: {
        bool ok = false;
        const int number = value.trimmed().toInt(&ok, 10);
        if (ok && number >= FirstNetAddress && number <= LastNetAddress)
            device->NetAddress = static_cast<u8>(number);
        else if (!value.trimmed().isEmpty())
            ValueListEditor2()->RestoreValue(row, QString::number(device->NetAddress));
        break;
    }
    default:
        if (row >= DeviceFirstParamRow) {
            const int slot = SlotOfRow(device->Params, DeviceParamSlots, row, DeviceFirstParamRow);
            if (slot >= 0)
                device->Params[slot].Value.Set(StoredText(value, device->Params[slot].Value.Get()));
        }
        break;
    }
    SyncDeviceText();
    SetTitle();
    TStationTree::SetImage(TreeView1->Item(SelNode(), SelDevice()),
                           DeviceImage(device->DeviceType));
    ShowDeviceControls(device->DeviceType);
    UpdatePollButtons();
    const bool numberingChanged = device->NetAddress != oldAddress || device->DeviceType != oldType;
    ShowNetAddressClash(numberingChanged);
}

void TForm1::ValueListEditor1EditButtonClick(int row) {
    StationBase& base = ProgramState.Base;
    if (base.SelNode >= base.NodeCount())
        return;
    TNode& node = base.Nodes[base.SelNode];
    if (row == 1) {
        if (!Form2()->EditSlot(node.NameSlot))
            return;
    } else if (row == 2) {
        // The settings of the connected node, or of any node while a
        // connection is being made or closed, can be looked at but not changed.
        const bool locked = (ProgramState.LinkOpen && base.SelNode == ProgramState.LinkNode) ||
                            ProgramState.LinkPhase == TLinkPhase::Connecting ||
                            ProgramState.LinkPhase == TLinkPhase::Closing;
        if (!Form3()->EditNode(node, locked))
            return;
        SetNodeImage(base.SelNode, NodeImage(node.LinkType));
    } else if (row >= NodeFirstParamRow) {
        const int slot = SlotOfRow(node.Params, NodeParamSlots, row, NodeFirstParamRow);
        if (slot < 0 || !Form2()->EditSlot(node.Params[slot]))
            return;
    } else {
        return;
    }
    FillNodePanel();
    ValueListEditor1()->SetCurrentRow(row);
    SyncNodeText();
    SetTitle();
}

void TForm1::ValueListEditor2EditButtonClick(int row) {
    TDevice* device = CurrentDevice();
    if (!device)
        return;
    if (row == 1) {
        if (!Form2()->EditSlot(device->NameSlot))
            return;
    } else if (row == 4) {
        const QString folder = QCoreApplication::applicationDirPath();
        const QString start = folder + '/' + Text(device->ReportTemplate.Get());
        const QString chosen = QFileDialog::getOpenFileName(this, texts::TemplateDialogTitle, start,
                                                            texts::TemplateDialogFilter);
        if (chosen.isEmpty())
            return;
        device->ReportTemplate.Set(QFileInfo(chosen).fileName().left(255).toStdString());
    } else if (row >= DeviceFirstParamRow) {
        const int slot = SlotOfRow(device->Params, DeviceParamSlots, row, DeviceFirstParamRow);
        if (slot < 0 || !Form2()->EditSlot(device->Params[slot]))
            return;
    } else {
        return;
    }
    FillDevicePanel();
    ValueListEditor2()->SetCurrentRow(row);
    SyncDeviceText();
    SetTitle();
}

} // namespace virs
