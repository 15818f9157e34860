#pragma once
// "Обмен": the dockable traffic monitor of the main window. Lists every frame
// the exchange thread sends and receives, as it goes: time with milliseconds,
// direction, the bytes in hex, the decoded address, function, registers and
// count, and the attempt's result. Keeps the last 10 000 frames; they can be
// cleared, copied and saved as UTF-8 text.
//
// The exchange thread never waits for the window: it drops each frame into
// the monitor's queue (TFrameQueue), and a 100 ms timer here empties it.

#include <deque>
#include <filesystem>
#include <functional>
#include <string>

#include <QAbstractTableModel>
#include <QDockWidget>
#include <QTimer>

#include "link/FrameDecoding.h"
#include "link/FrameMonitor.h"

class QLabel;
class QPushButton;
class QTableView;

namespace virs {

// The listed frames, oldest first, at most Limit of them.
class TFrameTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int Limit = 10000;
    static constexpr int ColumnCount = 8;

    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Appends the frames, dropping the oldest beyond Limit.
    void Append(std::deque<TFrameColumns>&& frames);
    void Clear();
    const TFrameColumns& Row(int row) const { return Rows[static_cast<std::size_t>(row)]; }
    // Column `column` of a row, UTF-8.
    static const std::string& Cell(const TFrameColumns& frame, int column);

private:
    std::deque<TFrameColumns> Rows;
};

class TTrafficMonitor final : public QDockWidget {
    Q_OBJECT
public:
    explicit TTrafficMonitor(QWidget* parent = nullptr);

    // What the exchange thread reports to (see TLinkSession::SetFrameObserver).
    TFrameQueue& Queue() { return FrameQueue; }
    TFrameTableModel& Model() { return *Frames; }
    QTableView* View() const { return Table; }

    // Takes the frames waiting in the queue into the list now (the timer does
    // it every 100 ms).
    void DrainQueue();
    void Clear();
    // The selected rows (every row when none is selected) as text: the column
    // titles, then one line per frame, columns separated by tabs.
    QString SelectedText() const;
    QString AllText() const;
    void CopyToClipboard();
    // Writes every listed frame as UTF-8 text; false with the reason on failure.
    bool SaveTo(const std::filesystem::path& path, std::string* error = nullptr) const;
    // Asks for a file name and saves; failures go to ErrorSink.
    void SaveAs();

    // Where a failed save is reported (a message box unless replaced).
    std::function<void(const QString&)> ErrorSink;

private:
    QString Text(const std::vector<int>& rows) const;
    void UpdateCount();

    TFrameQueue FrameQueue;
    TFrameTableModel* Frames;
    QTableView* Table;
    QLabel* CountLabel;
    QPushButton* ClearButton;
    QPushButton* CopyButton;
    QPushButton* SaveButton;
    QTimer* DrainTimer;
    std::uint64_t DroppedShown = 0;
};

} // namespace virs
