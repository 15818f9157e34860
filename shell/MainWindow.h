#pragma once
// TForm1, the main window: station tree, property panel, text pane with its
// view tabs, tool bar and status bar. It owns the process-wide state, loads
// base.dat at start and saves it on close, keeps the tree in the order of the
// model and decides which commands the current selection allows.
//
// The window composes owners that keep their widgets to themselves: the tool
// bar (TMainToolBar), the station tree (TStationTree), the property panel
// (TPropertyPanel), the status bar (TMainStatusBar) and the link's controls
// (TLinkControls: buttons, clock, lamps). The member functions are spread over
// four files along their seams:
// MainWindow.cpp (layout, start-up, selection, tabs, close),
// MainWindowCommands.cpp (tool bar and menu commands, drag and drop),
// MainWindowPanels.cpp (the node and device property panels) and
// MainWindowLink.cpp (what the link and the jobs use, clock and lamps).

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

#include <QMainWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTabBar>
#include <QTimer>

#include "jobs/ProgramState.h"
#include "model/StationLock.h"
#include "shell/LinkClock.h"
#include "shell/LinkController.h"
#include "shell/LinkControls.h"
#include "shell/MainStatusBar.h"
#include "shell/MainToolBar.h"
#include "shell/PortList.h"
#include "shell/PropertyList.h"
#include "shell/PropertyPanel.h"
#include "shell/StationTree.h"
#include "views/DeviceView.h"
#include "views/ViewLocale.h"

class QLabel;
class QTextBrowser;

namespace virs {

class TForm2;
class TForm3;
class TForm6;
class THelpWindow;
class TTrafficMonitor;

// The dialogs of other parts of the program, reached from the tool bar.
struct TShellServices {
    std::function<void(QWidget* owner)> ModemSetup; // настройка удалённого модема
    std::function<void(QWidget* owner)> AdapterAddresses; // сетевые адреса адаптеру
    std::function<void(QWidget* owner)> FirmwareUpdate; // обновление прошивки
    std::function<void()> SaveView;                     // сохранить как
    std::function<void()> PrintView;                    // печать
};

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // Creates the window on the station base of `folder` (base.dat, base.bak and
    // the other files of the program live there).
    explicit TForm1(std::filesystem::path folder = ".", QWidget* parent = nullptr);
    ~TForm1() override;

    TProgramState& State() { return ProgramState; }
    const std::filesystem::path& Folder() const { return BaseFolder; }

    // ---- seams for the link, the jobs and the tests ----
    void SetLinkController(TLinkController* controller);
    void SetServices(TShellServices services);
    // Counters the exchange thread raises by the bytes it sends and receives.
    void SetActivityCounters(std::atomic<std::int32_t>* transmit,
                             std::atomic<std::int32_t>* receive);
    // Where messages go (a message box unless replaced, e.g. by a test).
    std::function<void(QMessageBox::Icon, const QString&)> MessageSink;
    // Where the port lists of the connection dialog come from.
    TPortSource PortSource;
    // Renders the archive tabs (bound by the archive part of the program).
    TArchiveViewRenderer ArchiveView;

    // ---- what the connection, the jobs and the completion handler use ----
    void RenderDeviceView(int tabIndex); // redraws the text pane for the selected device
    void SetStatusText(const QString& text);
    void StartLinkClock(); // reset to 00:00:00 and run
    void StopLinkClock();  // stop and clear panel 0
    void SetLampTimer(bool on);
    void SetNodeImage(int node, int image);
    void SetDeviceImage(int node, int device, int image);
    // Enables "циклический опрос" and "старт/стоп" for the current selection.
    void UpdatePollButtons();
    // After every press of the connect button: the structural commands and
    // dragging follow whether a link is open.
    void ApplyLinkState();
    // The utilities menu and dragging, by whether a link is open.
    void ApplyMenuState();
    // The link has settled (idle or open) after a connect or a close: the
    // commands follow it, and a close that waited for it goes on.
    void LinkSettled();
    // SIGTERM, SIGHUP, Ctrl+C: the window closes as through its close button,
    // after a connect in progress has been cancelled, and the program ends
    // even when the link cannot be closed (saying why on the error output).
    void RequestTermination();
    // Nothing changes the station's structure while a link is open or is
    // being made or closed.
    bool StationEditable() const;
    void RefreshPanels();

    // ---- components, under their form names; each owns its own widgets ----
    TMainToolBar* ToolBar1;
    TStationTree* TreeView1;
    TPropertyPanel* Panel1; // the node and device panels
    QPlainTextEdit* Memo1;
    QTabBar* TabSet1;
    TMainStatusBar* StatusBar1;
    TPropertyList* ValueListEditor1() const { return Panel1->NodeList(); }
    TPropertyList* ValueListEditor2() const { return Panel1->DeviceList(); }
    // The link's buttons, the clock (Timer1) and the lamps (Timer2).
    TLinkControls& Links() { return *LinkControls; }
    // The view tab selected now (the view code of a job).
    int CurrentTab() const;
    // Every click of the connect button first stops dragging in the tree;
    // ApplyLinkState sets it again from the link.
    void SuspendTreeDrag();
    // "Обмен", the traffic monitor: docked, hidden until chosen in the ⚙ menu.
    TTrafficMonitor* Monitor = nullptr;

    // ---- handlers ----
    void BuildStationTree();
    void TreeView1Change(QTreeWidgetItem* item);
    void ToolButton5Click();  // новый узел
    void ToolButton6Click();  // новый прибор
    void ToolButton20Click(); // клонировать прибор
    void ToolButton7Click();  // удалить
    void ToolButton18Click(bool down);
    void ToolButton8Click(); // добавить параметр
    void ToolButton9Click(); // убрать параметр
    void ToolButton14Click(bool down);
    void ToolButton16Click(bool down);
    void ToolButton13Click(bool down);
    void ToolButton3Click();
    void ToolButton2Click();
    void ToolButton12Click(); // справка
    void FontItemClick();
    void TabSet1Change(int index);
    void Timer1Timer(); // the link clock's second
    void Timer2Timer(); // the lamps' tick
    // Drops `dragged` on `target`: moves the tree item and the model. False when
    // the move is refused.
    bool MoveItem(QTreeWidgetItem* dragged, QTreeWidgetItem* target);
    // The close sequence; false when the window must stay open.
    bool CloseQuery();

    void FillNodePanel();
    void FillDevicePanel();
    // Lists the used parameter slots as rows and sets the add/remove buttons.
    void AddParamRows(TPropertyList* list, const TParamSlot* params, int count);
    void ValueListEditor1StringsChange(int row);
    void ValueListEditor2StringsChange(int row);
    void ValueListEditor1EditButtonClick(int row);
    void ValueListEditor2EditButtonClick(int row);
    // The device panel's note on a shared network number; with `announce` the
    // status text says so too.
    void ShowNetAddressClash(bool announce);

    // The dialogs, created on first use and kept.
    TForm2* Form2();
    TForm3* Form3();
    TForm6* Form6();
    THelpWindow* HelpWindow();
    // The manual at `page`, over `front` (the window or dialog the operator
    // pressed F1 in; a modal dialog keeps the manual usable above it).
    void ShowHelpPage(const QString& page, QWidget* front);

    bool DetailMode() const;
    int SelNode() const { return ProgramState.Base.SelNode; }
    int SelDevice() const { return ProgramState.Base.SelDevice; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BuildLayout();
    void ConnectHandlers();
    void ShowMessage(QMessageBox::Icon icon, const QString& text);
    void SetTitle();
    void PlaceTabStrip();
    void RebuildTabs(TDeviceType type);
    void ShowDeviceControls(TDeviceType type);
    void ShowNodeControls(bool on);
    void EmptyTreeState();
    bool JobActive() const;
    TDevice* CurrentDevice();
    void SyncNodeText();
    void SyncDeviceText();
    void RunUtility(const std::function<void(QWidget*)>& utility);

    TProgramState ProgramState;
    std::filesystem::path BaseFolder;
    std::string LoadMessage;
    // The station lock; without it (another program writes the station) the
    // window shows the station read-only: no connection, nothing saved.
    TStationLock StationLock;
    bool ReadOnly = false;
    bool ClosePending = false; // a close waits for the link to settle
    bool Terminating = false;  // the close comes from a signal
    TViewLocale ViewLocale;
    TLinkController* Controller = nullptr;
    TShellServices Services;
    QSplitter* MainSplitter; // tree | property panel | text pane
    QWidget* TextArea;       // the text pane's column
    TLinkControls* LinkControls;
    bool PanelFilling = false;
    bool TabsMoved = false; // the strip sits 10 pixels left of the pane after the first move
    bool StartShown = false;
    QTreeWidgetItem* LastSelected = nullptr;

    TForm2* ParamEditor = nullptr;
    TForm3* ConnectionDialog = nullptr;
    TForm6* DeleteDialog = nullptr;
    THelpWindow* Help = nullptr;
};

// The view locale of the toolkit's system locale (decimal separator, short date,
// long time).
TViewLocale ViewLocaleFromSystem();

} // namespace virs
