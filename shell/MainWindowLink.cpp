// TForm1: what the link, the jobs and the completion handler reach the window
// through, the status bar's clock and lamps, and the link buttons.

#include <QTimer>

#include "shell/MainWindow.h"
#include "shell/ShellImages.h"
#include "shell/ShellTexts.h"

namespace virs {

void TForm1::SetLinkController(TLinkController* controller) {
    Controller = controller;
    TreeView1Change(TreeView1->currentItem());
}

void TForm1::SetServices(TShellServices services) {
    Services = std::move(services);
    ApplyMenuState();
}

void TForm1::SetActivityCounters(std::atomic<std::int32_t>* transmit,
                                 std::atomic<std::int32_t>* receive) {
    LinkControls->SetActivityCounters(transmit, receive);
}

void TForm1::ShowMessage(QMessageBox::Icon icon, const QString& message) {
    // The model's texts break their lines with a carriage return.
    QString text = message;
    text.replace("\r\n", "\n").replace('\r', '\n');
    if (MessageSink) {
        MessageSink(icon, text);
        return;
    }
    QMessageBox box(icon, texts::ModelRefusalCaption, text, QMessageBox::Ok, this);
    box.exec();
}

void TForm1::SetStatusText(const QString& text) {
    StatusBar1->SetStatusText(text);
}

void TForm1::StartLinkClock() {
    LinkControls->StartClock();
}

void TForm1::StopLinkClock() {
    LinkControls->StopClock();
}

void TForm1::Timer1Timer() {
    LinkControls->ClockTick();
}

void TForm1::SetLampTimer(bool on) {
    LinkControls->SetLampTimer(on);
}

void TForm1::Timer2Timer() {
    LinkControls->LampTick();
}

void TForm1::SetNodeImage(int node, int image) {
    TStationTree::SetImage(TreeView1->Item(node), image);
}

void TForm1::SetDeviceImage(int node, int device, int image) {
    TStationTree::SetImage(TreeView1->Item(node, device), image);
}

void TForm1::SuspendTreeDrag() {
    TreeView1->SetAutoDrag(false);
}

bool TForm1::StationEditable() const {
    return !ProgramState.LinkOpen && ProgramState.LinkPhase == TLinkPhase::Idle;
}

void TForm1::ApplyLinkState() {
    const bool free = StationEditable();
    TMainToolBar* t = ToolBar1;
    t->ToolButton5->setEnabled(free);
    t->ToolButton6->setEnabled(free);
    t->ToolButton7->setEnabled(free);
    if (!free)
        t->ToolButton20->setEnabled(false);
    ApplyMenuState();
}

void TForm1::LinkSettled() {
    ApplyLinkState();
    if (!ClosePending)
        return;
    if (ProgramState.LinkOpen && !Terminating) {
        // The close the window waited for failed; the operator has been told
        // why, and the window stays open.
        ClosePending = false;
        return;
    }
    QTimer::singleShot(0, this, [this] { close(); });
}

void TForm1::RequestTermination() {
    Terminating = true;
    close();
}

void TForm1::ApplyMenuState() {
    const bool free = StationEditable();
    TMainToolBar* t = ToolBar1;
    // The utilities take a serial port of their own and wait while a node is
    // connected, so none can take over the node's port; a utility this build
    // does not have stays greyed.
    t->N2->setEnabled(free && bool(Services.ModemSetup));
    t->N3->setEnabled(free && bool(Services.AdapterAddresses));
    t->N11->setEnabled(free && bool(Services.FirmwareUpdate));
    TreeView1->SetAutoDrag(free);
}

void TForm1::RefreshPanels() {
    if (!DetailMode())
        return;
    FillNodePanel();
    if (ProgramState.Base.SelDevice != NoDevice)
        FillDevicePanel();
}

bool TForm1::DetailMode() const {
    return ToolBar1->ToolButton18->isChecked();
}

bool TForm1::JobActive() const {
    return Controller && (Controller->JobRunning() || ToolBar1->ToolButton13->isChecked());
}

// ---------------------------------------------------------------- link buttons

void TForm1::ToolButton14Click(bool down) {
    if (Controller)
        Controller->ConnectClick(down);
    else
        ToolBar1->ToolButton14->setChecked(false);
    ApplyLinkState();
}

void TForm1::ToolButton16Click(bool down) {
    if (Controller)
        Controller->StartStopClick(down);
    else
        ToolBar1->ToolButton16->setChecked(false);
}

void TForm1::ToolButton13Click(bool down) {
    if (Controller)
        Controller->CyclicClick(down);
    else
        ToolBar1->ToolButton13->setChecked(false);
}

} // namespace virs
