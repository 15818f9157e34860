#include "shell/MainWindow.h"

#include <cstdio>

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QLocale>
#include <QScreen>
#include <QVBoxLayout>

#include "acquisition/DeviceViews.h"
#include "jobs/JobControls.h"
#include "shell/ConnectionDialog.h"
#include "shell/DeleteDialog.h"
#include "shell/HelpWindow.h"
#include "shell/ParamEditor.h"
#include "shell/ShellImages.h"
#include "shell/ShellShortcuts.h"
#include "shell/ShellTexts.h"
#include "shell/TrafficMonitor.h"
#include "shell/ViewTabs.h"

namespace virs {

namespace {
constexpr int BackupDelayMs = 200;
}

TViewLocale ViewLocaleFromSystem() {
    const QLocale system = QLocale::system();
    TViewLocale locale;
    locale.DecimalSeparator = system.decimalPoint().toStdString();
    locale.ShortDateFormat = system.dateFormat(QLocale::ShortFormat).toStdString();
    locale.LongTimeFormat = system.timeFormat(QLocale::LongFormat).toStdString();
    return locale;
}

TForm1::TForm1(std::filesystem::path folder, QWidget* parent)
    : QMainWindow(parent), BaseFolder(std::move(folder)), ViewLocale(ViewLocaleFromSystem()) {
    setObjectName("Form1");
    BuildLayout();
    ConnectHandlers();
    ApplyMenuState();

    // Start-up: the base, the tree, the node controls, the tab strip. The
    // copy to base.bak waits until the window's first picture is up (and is
    // written before any save in any case).
    const TLoadReport report = LoadStationBase(ProgramState.Base, ProgramState.BaseFile, BaseFolder,
                                               TBackupTiming::Deferred);
    LoadMessage = report.Message;
    const TStationLockResult lock = StationLock.Acquire(BaseFolder);
    if (!lock.Acquired) {
        // The program that holds the station made its own backup at its start.
        ReadOnly = true;
        ProgramState.BaseFile.BackupPending = false;
        std::string().swap(ProgramState.BaseFile.PendingBackup);
        LoadMessage = lock.Message + (LoadMessage.empty() ? "" : "\n\n" + LoadMessage);
    }
    BuildStationTree();
    EmptyTreeState();
    if (ProgramState.Base.NodeCount() > 0) {
        ShowNodeControls(true);
        ToolBar1->ToolButton6->setEnabled(true);
        ToolBar1->ToolButton7->setEnabled(true);
        ToolBar1->ToolButton18->setEnabled(true);
    }
    setWindowTitle(texts::MainTitle);
}

TForm1::~TForm1() = default;

void TForm1::BuildLayout() {
    ToolBar1 = new TMainToolBar(this);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    TreeView1 = new TStationTree(this);
    TreeView1->setObjectName("TreeView1");
    TreeView1->setMinimumWidth(177);

    Panel1 = new TPropertyPanel(this);

    TextArea = new QWidget(this);
    TextArea->setMinimumWidth(150);
    auto* textLayout = new QVBoxLayout(TextArea);
    textLayout->setContentsMargins(0, 0, 0, 0);
    Memo1 = new QPlainTextEdit(TextArea);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setWordWrapMode(QTextOption::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QFont fixed;
    fixed.setFamilies({"Courier New", "Liberation Mono", "DejaVu Sans Mono"});
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setFixedPitch(true);
    fixed.setPointSize(10);
    Memo1->setFont(fixed);
    textLayout->addWidget(Memo1);

    MainSplitter = new QSplitter(Qt::Horizontal, this);
    MainSplitter->setObjectName("MainSplitter");
    MainSplitter->setChildrenCollapsible(false);
    MainSplitter->setOpaqueResize(true);
    MainSplitter->addWidget(TreeView1);
    MainSplitter->addWidget(Panel1);
    MainSplitter->addWidget(TextArea);
    MainSplitter->setStretchFactor(0, 0);
    MainSplitter->setStretchFactor(1, 0);
    MainSplitter->setStretchFactor(2, 1);
    setCentralWidget(MainSplitter);
    Panel1->hide();

    StatusBar1 = new TMainStatusBar(this);
    setStatusBar(StatusBar1);
    TabSet1 = new QTabBar(StatusBar1);
    TabSet1->setObjectName("TabSet1");
    TabSet1->setShape(QTabBar::RoundedSouth);
    TabSet1->setDrawBase(false);
    TabSet1->setExpanding(false);
    TabSet1->setFocusPolicy(Qt::NoFocus);
    TabSet1->addTab(device_view_table::CurrentCaption); // sizes the strip; emptied below
    // Two rows: the tabs on top at the text pane's left edge, below them the
    // clock, the lamps and the status text over the whole width.
    StatusBar1->ReserveTabRow(TabSet1->sizeHint().height());
    while (TabSet1->count() > 0)
        TabSet1->removeTab(0);

    LinkControls = new TLinkControls(*ToolBar1, *StatusBar1, this);

    Monitor = new TTrafficMonitor(this);
    addDockWidget(Qt::BottomDockWidgetArea, Monitor);
    Monitor->hide();
    ToolBar1->PopupMenu1->addAction(Monitor->toggleViewAction());

    setMinimumSize(640, 420);
    resize(909, 387 + ToolBar1->sizeHint().height() + StatusBar1->minimumHeight());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    MainSplitter->setSizes({200, 245, 909 - 200});
}

void TForm1::ConnectHandlers() {
    TMainToolBar* t = ToolBar1;
    connect(TreeView1, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { TreeView1Change(item); });
    connect(
        TreeView1, &TStationTree::DropRequested, this,
        [this](QTreeWidgetItem* dragged, QTreeWidgetItem* target) { MoveItem(dragged, target); });
    connect(t->ToolButton5, &QToolButton::clicked, this, &TForm1::ToolButton5Click);
    connect(t->ToolButton6, &QToolButton::clicked, this, &TForm1::ToolButton6Click);
    connect(t->ToolButton20, &QToolButton::clicked, this, &TForm1::ToolButton20Click);
    connect(t->ToolButton7, &QToolButton::clicked, this, &TForm1::ToolButton7Click);
    connect(t->ToolButton18, &QToolButton::clicked, this, &TForm1::ToolButton18Click);
    connect(t->ToolButton8, &QToolButton::clicked, this, &TForm1::ToolButton8Click);
    connect(t->ToolButton9, &QToolButton::clicked, this, &TForm1::ToolButton9Click);
    connect(t->ToolButton14, &QToolButton::clicked, this, &TForm1::ToolButton14Click);
    connect(t->ToolButton16, &QToolButton::clicked, this, &TForm1::ToolButton16Click);
    connect(t->ToolButton13, &QToolButton::clicked, this, &TForm1::ToolButton13Click);
    connect(t->ToolButton3, &QToolButton::clicked, this, &TForm1::ToolButton3Click);
    connect(t->ToolButton2, &QToolButton::clicked, this, &TForm1::ToolButton2Click);
    connect(t->ToolButton12, &QToolButton::clicked, this, &TForm1::ToolButton12Click);
    connect(t->N2, &QAction::triggered, this, [this] { RunUtility(Services.ModemSetup); });
    connect(t->N3, &QAction::triggered, this, [this] { RunUtility(Services.AdapterAddresses); });
    connect(t->N11, &QAction::triggered, this, [this] { RunUtility(Services.FirmwareUpdate); });
    connect(t->N6, &QAction::triggered, this, &TForm1::FontItemClick);
    connect(TabSet1, &QTabBar::currentChanged, this, &TForm1::TabSet1Change);
    new TShellShortcuts(*this);
    connect(MainSplitter, &QSplitter::splitterMoved, this, [this] {
        TabsMoved = true;
        PlaceTabStrip();
    });
    connect(ValueListEditor1(), &TPropertyList::StringsChanged, this,
            &TForm1::ValueListEditor1StringsChange);
    connect(ValueListEditor2(), &TPropertyList::StringsChanged, this,
            &TForm1::ValueListEditor2StringsChange);
    connect(ValueListEditor1(), &TPropertyList::EditButtonClicked, this,
            &TForm1::ValueListEditor1EditButtonClick);
    connect(ValueListEditor2(), &TPropertyList::EditButtonClicked, this,
            &TForm1::ValueListEditor2EditButtonClick);
}

// The state at start, and again whenever the tree becomes empty.
void TForm1::EmptyTreeState() {
    TMainToolBar* t = ToolBar1;
    for (QToolButton* b :
         {t->ToolButton6, t->ToolButton20, t->ToolButton7, t->ToolButton18, t->ToolButton8,
          t->ToolButton9, t->ToolButton14, t->ToolButton16, t->ToolButton13})
        b->setEnabled(false);
    ShowNodeControls(false);
    Panel1->ShowDeviceRows(false);
    TabSet1->setEnabled(false);
    TabSet1->hide();
}

void TForm1::ShowNodeControls(bool on) {
    Panel1->ShowNodeRows(on);
}

void TForm1::BuildStationTree() {
    const StationBase& base = ProgramState.Base;
    TreeView1->setUpdatesEnabled(false);
    const QSignalBlocker quiet(TreeView1);
    TreeView1->clear();
    for (int n = 0; n < base.NodeCount(); ++n) {
        const TNode& node = base.Nodes[n];
        auto* nodeItem = new QTreeWidgetItem(TreeView1);
        nodeItem->setText(0, QString::fromStdString(node.NameSlot.Value.Get()));
        TStationTree::SetImage(nodeItem, NodeImage(node.LinkType));
        for (const TDevice& device : base.Devices[n]) {
            auto* deviceItem = new QTreeWidgetItem(nodeItem);
            deviceItem->setText(0, QString::fromStdString(device.NameSlot.Value.Get()));
            TStationTree::SetImage(deviceItem, DeviceImage(device.DeviceType));
        }
    }
    TreeView1->collapseAll();
    TreeView1->setUpdatesEnabled(true);
}

// ---------------------------------------------------------------- selection

void TForm1::TreeView1Change(QTreeWidgetItem* item) {
    int node = 0, device = NoDevice;
    if (!TStationTree::Locate(item, node, device))
        return;
    LastSelected = item;
    StationBase& base = ProgramState.Base;
    TMainToolBar* t = ToolBar1;
    const bool linkOpen = ProgramState.LinkOpen;
    base.SelNode = static_cast<u8>(node);
    if (device == NoDevice) {
        Panel1->ShowDeviceRows(false);
        base.SelDevice = NoDevice;
        if (DetailMode())
            FillNodePanel();
        t->ToolButton5->setEnabled(StationEditable());
        t->ToolButton13->setEnabled(false);
        t->ToolButton16->setEnabled(false);
        t->ToolButton14->setEnabled(Controller && !ReadOnly &&
                                    (!linkOpen || node == ProgramState.LinkNode));
        t->ToolButton2->setEnabled(false);
        t->ToolButton3->setEnabled(false);
        t->ToolButton20->setEnabled(false);
        TabSet1->setEnabled(false);
        TabSet1->hide();
        Memo1->hide();
        SetTitle();
        return;
    }
    base.SelDevice = static_cast<u8>(device);
    Memo1->show();
    Panel1->ShowDeviceRows(true);
    if (DetailMode()) {
        FillNodePanel();
        FillDevicePanel();
    }
    const TDeviceType type = base.Devices[node][device].DeviceType;
    t->ToolButton5->setEnabled(false);
    t->ToolButton14->setEnabled(false);
    t->ToolButton20->setEnabled(StationEditable());
    ShowDeviceControls(type);
    if (type != DeviceOff)
        RebuildTabs(type);
    UpdatePollButtons();
    SetTitle();
}

// Print, save, the text pane and the tab strip follow whether the device is read.
void TForm1::ShowDeviceControls(TDeviceType type) {
    const bool shown = type != DeviceOff;
    ToolBar1->ToolButton2->setEnabled(shown);
    ToolBar1->ToolButton3->setEnabled(shown);
    Memo1->setVisible(shown);
    Memo1->setEnabled(shown);
    TabSet1->setVisible(shown);
    TabSet1->setEnabled(shown);
    if (shown)
        PlaceTabStrip();
}

void TForm1::RebuildTabs(TDeviceType type) {
    const int remembered = TabSet1->currentIndex();
    const QStringList tabs = ViewTabsFor(type);
    {
        const QSignalBlocker quiet(TabSet1);
        while (TabSet1->count() > 0)
            TabSet1->removeTab(0);
        for (const QString& tab : tabs)
            TabSet1->addTab(tab);
        TabSet1->setCurrentIndex(-1);
    }
    const int index = RestoredTabIndex(remembered, static_cast<int>(tabs.size()));
    {
        const QSignalBlocker quiet(TabSet1);
        TabSet1->setCurrentIndex(index);
    }
    PlaceTabStrip();
    TabSet1Change(index);
}

int TForm1::CurrentTab() const {
    return TabSet1->currentIndex();
}

void TForm1::TabSet1Change(int index) {
    if (ProgramState.Base.SelDevice == NoDevice)
        return;
    RenderDeviceView(index);
}

void TForm1::RenderDeviceView(int tabIndex) {
    const TDevice* device = CurrentDevice();
    if (!device)
        return;
    TViewLines lines;
    if (device->DeviceType == DeviceToplin || device->DeviceType == DeviceKren) {
        // Kept from older bases and never read: say so instead of an empty pane.
        lines = DeviceIdentificationLines(*device);
        lines.push_back("");
        lines.push_back(texts::LegacyTypeNote);
    } else {
        TDeviceViewText view = virs::RenderDeviceView(tabIndex, *device, ProgramState.WorkArea,
                                                      ViewLocale, ArchiveView);
        if (!view.Replaced)
            return;
        lines = std::move(view.Lines);
        if (view.ClearStatusText)
            SetStatusText(QString());
    }
    QString text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i)
            text += '\n';
        text += QString::fromStdString(lines[i]);
    }
    Memo1->setPlainText(text);
}

TDevice* TForm1::CurrentDevice() {
    StationBase& base = ProgramState.Base;
    return base.Device(base.SelNode, base.SelDevice);
}

void TForm1::UpdatePollButtons() {
    TMainToolBar* t = ToolBar1;
    TButtonFacts facts;
    facts.HaveLink = Controller != nullptr;
    facts.WorkerParked = Controller == nullptr || Controller->WorkerParked();
    facts.CyclicDown = t->ToolButton13->isChecked();
    facts.StartDown = t->ToolButton16->isChecked();
    const TJobButtons buttons = PollButtons(ProgramState, facts);
    t->ToolButton13->setEnabled(buttons.CyclicEnabled);
    t->ToolButton16->setEnabled(buttons.StartEnabled);
}

void TForm1::SetTitle() {
    const StationBase& base = ProgramState.Base;
    if (base.SelNode >= base.NodeCount()) {
        setWindowTitle(texts::MainTitle);
        return;
    }
    QString title = QString(texts::MainTitle) + texts::TitleSeparator +
                    QString::fromStdString(base.Nodes[base.SelNode].NameSlot.Value.Get());
    if (const TDevice* device = base.Device(base.SelNode, base.SelDevice))
        title += " [" + QString::fromStdString(device->NameSlot.Value.Get()) + "]";
    setWindowTitle(title);
}

// The tab strip sits in the status bar at its top edge, its left edge under the
// text pane's (10 pixels further left once the layout has moved).
void TForm1::PlaceTabStrip() {
    const QPoint paneLeft = TextArea->mapTo(this, QPoint(0, 0));
    const int x = std::max(0, StatusBar1->mapFrom(this, paneLeft).x() - (TabsMoved ? 10 : 0));
    const QSize hint = TabSet1->sizeHint();
    TabSet1->setGeometry(x, 0, std::min(hint.width(), std::max(0, StatusBar1->width() - x)),
                         std::min(hint.height(), StatusBar1->TabRowHeight()));
    TabSet1->raise();
}

// ---------------------------------------------------------------- window events

bool TForm1::CloseQuery() {
    if (Controller && Controller->LinkBusy()) {
        // A connect or a close is under way: the connect is cancelled (its
        // call hung up), a close is awaited, and the window closes when the
        // link has settled (LinkSettled).
        ClosePending = true;
        Controller->CancelForClose(Terminating);
        return false;
    }
    ClosePending = false;
    const TSaveReport saved =
        ReadOnly ? TSaveReport{}
                 : SaveStationBase(ProgramState.Base, ProgramState.BaseFile, BaseFolder);
    if (!saved.Message.empty() && !Terminating)
        ShowMessage(saved.Ok ? QMessageBox::Warning : QMessageBox::Critical,
                    QString::fromStdString(saved.Message));
    else if (!saved.Message.empty())
        std::fprintf(stderr, "%s\n", saved.Message.c_str());
    if (ProgramState.LinkOpen) {
        if (Terminating && Controller)
            Controller->CancelForClose(true);
        ToolBar1->ToolButton14->setChecked(false);
        ToolButton14Click(false);
        if (ProgramState.LinkOpen) {
            if (!Terminating)
                return false;
            // The session ends all the same; the call may still be up.
            std::fprintf(stderr, "%s: %s\n", texts::MainTitle,
                         StatusBar1->StatusText().toUtf8().constData());
        }
    }
    return true;
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (CloseQuery()) {
        if (Help)
            Help->close();
        event->accept();
        if (Terminating)
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    } else {
        event->ignore();
    }
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (StartShown)
        TabsMoved = true;
    PlaceTabStrip();
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    PlaceTabStrip();
    if (StartShown)
        return;
    StartShown = true;
    ApplyMenuState();
    // base.bak a moment after the first picture (the paint follows the show
    // through the event queue); a save before then writes it first anyway.
    QTimer::singleShot(BackupDelayMs, this, [this] {
        std::string failure;
        if (!WritePendingBackup(ProgramState.BaseFile, BaseFolder, &failure))
            ShowMessage(QMessageBox::Warning, QString::fromStdString(failure));
    });
    if (!LoadMessage.empty()) {
        const QString text = QString::fromStdString(LoadMessage);
        LoadMessage.clear();
        QTimer::singleShot(0, this, [this, text] { ShowMessage(QMessageBox::Warning, text); });
    }
}

void TForm1::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        TreeView1->setFocus(Qt::ActiveWindowFocusReason);
}

} // namespace virs
