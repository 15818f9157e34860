#include "shell/TrafficMonitor.h"

#include <algorithm>

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include "model/AtomicFile.h"

namespace virs {

namespace {

constexpr int BytesColumn = 2;
constexpr int DrainIntervalMs = 100;

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

// ---------------------------------------------------------------- the list

int TFrameTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(Rows.size());
}

int TFrameTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

const std::string& TFrameTableModel::Cell(const TFrameColumns& frame, int column) {
    switch (column) {
    case 0:
        return frame.Time;
    case 1:
        return frame.Direction;
    case 2:
        return frame.Bytes;
    case 3:
        return frame.Address;
    case 4:
        return frame.Function;
    case 5:
        return frame.Registers;
    case 6:
        return frame.Count;
    default:
        return frame.Result;
    }
}

QVariant TFrameTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const TFrameColumns& frame = Row(index.row());
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return FromUtf8(Cell(frame, index.column()));
    if (role == Qt::TextAlignmentRole && (index.column() == 3 || index.column() == 6))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant TFrameTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    return FromUtf8(Cell(FrameColumnTitles(), section));
}

void TFrameTableModel::Append(std::deque<TFrameColumns>&& frames) {
    if (frames.empty())
        return;
    // More than the list keeps at once: only the newest count.
    while (frames.size() > static_cast<std::size_t>(Limit))
        frames.pop_front();
    const std::size_t total = Rows.size() + frames.size();
    if (total > static_cast<std::size_t>(Limit)) {
        const int drop = static_cast<int>(total - Limit);
        beginRemoveRows({}, 0, drop - 1);
        Rows.erase(Rows.begin(), Rows.begin() + drop);
        endRemoveRows();
    }
    const int first = static_cast<int>(Rows.size());
    beginInsertRows({}, first, first + static_cast<int>(frames.size()) - 1);
    for (TFrameColumns& frame : frames)
        Rows.push_back(std::move(frame));
    endInsertRows();
}

void TFrameTableModel::Clear() {
    beginResetModel();
    Rows.clear();
    endResetModel();
}

// ---------------------------------------------------------------- the panel

TTrafficMonitor::TTrafficMonitor(QWidget* parent) : QDockWidget(parent) {
    setObjectName("TrafficMonitor");
    setWindowTitle(QString::fromUtf8("Обмен"));
    toggleViewAction()->setText(QString::fromUtf8("обмен"));
    toggleViewAction()->setObjectName("TrafficMonitorItem");

    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    auto* buttons = new QHBoxLayout;
    ClearButton = new QPushButton(QString::fromUtf8("Очистить"), body);
    ClearButton->setObjectName("ClearButton");
    CopyButton = new QPushButton(QString::fromUtf8("Копировать"), body);
    CopyButton->setObjectName("CopyButton");
    CopyButton->setToolTip(QString::fromUtf8("Выделенные кадры, или все, в буфер обмена"));
    SaveButton = new QPushButton(QString::fromUtf8("Сохранить..."), body);
    SaveButton->setObjectName("SaveButton");
    CountLabel = new QLabel(body);
    CountLabel->setObjectName("CountLabel");
    buttons->addWidget(ClearButton);
    buttons->addWidget(CopyButton);
    buttons->addWidget(SaveButton);
    buttons->addStretch(1);
    buttons->addWidget(CountLabel);
    layout->addLayout(buttons);

    Frames = new TFrameTableModel(this);
    Table = new QTableView(body);
    Table->setObjectName("FrameTable");
    Table->setModel(Frames);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setWordWrap(false);
    Table->verticalHeader()->hide();
    Table->verticalHeader()->setDefaultSectionSize(Table->fontMetrics().height() + 4);
    Table->horizontalHeader()->setStretchLastSection(true);
    Table->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const int digit = Table->fontMetrics().horizontalAdvance('0');
    const int widths[TFrameTableModel::ColumnCount] = {13, 9, 48, 6, 24, 10, 7, 30};
    for (int c = 0; c < TFrameTableModel::ColumnCount; ++c)
        Table->setColumnWidth(c, widths[c] * digit);
    layout->addWidget(Table, 1);
    setWidget(body);

    connect(ClearButton, &QPushButton::clicked, this, &TTrafficMonitor::Clear);
    connect(CopyButton, &QPushButton::clicked, this, &TTrafficMonitor::CopyToClipboard);
    connect(SaveButton, &QPushButton::clicked, this, &TTrafficMonitor::SaveAs);

    DrainTimer = new QTimer(this);
    DrainTimer->setInterval(DrainIntervalMs);
    connect(DrainTimer, &QTimer::timeout, this, &TTrafficMonitor::DrainQueue);
    DrainTimer->start();
    UpdateCount();
}

void TTrafficMonitor::DrainQueue() {
    std::vector<TFrameEvent> events;
    FrameQueue.Drain(events);
    const std::uint64_t dropped = FrameQueue.Dropped();
    if (events.empty() && dropped == DroppedShown)
        return;
    std::deque<TFrameColumns> rows;
    for (const TFrameEvent& e : events)
        rows.push_back(FrameColumns(e));
    // Follow the newest frame unless the operator has scrolled up to read.
    QScrollBar* bar = Table->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    Frames->Append(std::move(rows));
    DroppedShown = dropped;
    UpdateCount();
    if (atEnd)
        Table->scrollToBottom();
}

void TTrafficMonitor::Clear() {
    DrainQueue();
    Frames->Clear();
    UpdateCount();
}

void TTrafficMonitor::UpdateCount() {
    QString text = QString::fromUtf8("кадров: %1").arg(Frames->rowCount());
    if (DroppedShown > 0)
        text += QString::fromUtf8(", пропущено: %1").arg(DroppedShown);
    CountLabel->setText(text);
}

QString TTrafficMonitor::Text(const std::vector<int>& rows) const {
    std::string text = FrameLine(FrameColumnTitles()) + "\n";
    for (int row : rows)
        text += FrameLine(Frames->Row(row)) + "\n";
    return FromUtf8(text);
}

QString TTrafficMonitor::SelectedText() const {
    std::vector<int> rows;
    for (const QModelIndex& index : Table->selectionModel()->selectedRows())
        rows.push_back(index.row());
    if (rows.empty())
        return AllText();
    std::sort(rows.begin(), rows.end());
    return Text(rows);
}

QString TTrafficMonitor::AllText() const {
    std::vector<int> rows(static_cast<std::size_t>(Frames->rowCount()));
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = static_cast<int>(i);
    return Text(rows);
}

void TTrafficMonitor::CopyToClipboard() {
    QApplication::clipboard()->setText(SelectedText());
}

bool TTrafficMonitor::SaveTo(const std::filesystem::path& path, std::string* error) const {
    // UTF-8 (the bytes of the list as they are), lines ended the Windows way
    // like the program's other text files.
    QString text = AllText();
    text.replace('\n', QString::fromLatin1("\r\n"));
    const QByteArray bytes = text.toUtf8();
    return WriteFileAtomically(path, std::string_view(bytes.constData(), bytes.size()), error);
}

void TTrafficMonitor::SaveAs() {
    DrainQueue();
    const QString name = QFileDialog::getSaveFileName(
        this, QString::fromUtf8("Сохранить обмен"), QString::fromUtf8("обмен.txt"),
        QString::fromUtf8("Текст (*.txt);;Все файлы (*)"));
    if (name.isEmpty())
        return;
    std::string error;
    if (SaveTo(std::filesystem::path(name.toStdU16String()), &error))
        return;
    const QString message = QString::fromUtf8("Не удалось сохранить обмен: ") + FromUtf8(error);
    if (ErrorSink)
        ErrorSink(message);
    else
        QMessageBox::warning(this, windowTitle(), message);
}

} // namespace virs
