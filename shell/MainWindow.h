#pragma once
// TForm1, the main window: station tree, property panel, text pane with its
// view tabs, tool bar and status bar. It owns the process-wide state, loads
// base.dat at start and saves it on close, keeps the tree in the order of the
// model and decides which commands the current selection allows.
//
// The member functions are spread over three files along their seams:
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
#include "shell/MainStatusBar.h"
#include "shell/MainToolBar.h"
#include "shell/PortList.h"
#include "shell/PropertyList.h"
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
    void RefreshPanels();

    // ---- components, under their form names ----
    TMainToolBar* ToolBar1;
    TStationTree* TreeView1;
    QWidget* Panel1;
    QLabel* NodeCaption; // "Узел"
    TPropertyList* ValueListEditor1;
    QSplitter* PanelSplitter;
    QWidget* DeviceBox;    // caption "Прибор" and the device panel
    QLabel* DeviceCaption; // "Прибор"
    TPropertyList* ValueListEditor2;
    QSplitter* MainSplitter;
    QWidget* TextArea;
    QPlainTextEdit* Memo1;
    QTabBar* TabSet1;
    TMainStatusBar* StatusBar1;
    QTimer* Timer1; // link clock, 1 s
    QTimer* Timer2; // activity lamps, 100 ms
    TLinkClock LinkClock;
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
    void Timer1Timer();
    void Timer2Timer();
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

    // The dialogs, created on first use and kept.
    TForm2* Form2();
    TForm3* Form3();
    TForm6* Form6();
    THelpWindow* HelpWindow();

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
    TViewLocale ViewLocale;
    TLinkController* Controller = nullptr;
    TShellServices Services;
    std::atomic<std::int32_t> OwnTransmit{0}, OwnReceive{0};
    std::atomic<std::int32_t>* TxActivity = &OwnTransmit;
    std::atomic<std::int32_t>* RxActivity = &OwnReceive;
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
