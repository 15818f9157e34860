#pragma once
// A two-column property list (key, value) with a title row and an edit style
// per row: plain text, text with an ellipsis button that opens an editor, or a
// pick list. The value cell of the current row carries its editor all the time,
// so the operator types in place or presses the row's button directly.
// Data rows are numbered from 1; row 0 is the title row.

#include <QStringList>
#include <QTableWidget>

namespace virs {

enum class TEditStyle { Simple, Ellipsis, PickList };

struct TRowProps {
    TEditStyle Style = TEditStyle::Simple;
    bool ReadOnly = false; // text cannot be typed (a button or pick list still works)
    int MaxLength = 0;     // characters, 0 = no limit
    QStringList PickList;
    int Minimum = 0, Maximum = -1; // a whole-number range when Maximum >= Minimum
};

class TPropertyList : public QTableWidget {
    Q_OBJECT
public:
    explicit TPropertyList(QWidget* parent = nullptr);

    // Update bracket: rows change without painting in between.
    void BeginUpdate();
    void EndUpdate();

    void Clear();
    int AddRow(const QString& key, const QString& value, const TRowProps& props);
    int DataRowCount() const { return rowCount(); }
    QString Key(int row) const;
    QString Value(int row) const;
    const TRowProps& Props(int row) const;

    // The operator's current row (0 when none).
    int CurrentRow() const;
    void SetCurrentRow(int row);

    // The operator's actions, also used by tests: a value typed or picked, a row
    // button pressed. Both report through the signals below.
    void EnterValue(int row, const QString& value);
    void PressButton(int row);

    // Puts a value back without reporting it (after a refused edit).
    void RestoreValue(int row, const QString& value);
    // Marks a row's value as a warning (tinted, `warning` as its tooltip); an
    // empty warning takes the mark away. The mark goes with the row's cell.
    void MarkValue(int row, const QString& warning);
    bool ValueMarked(int row) const;

signals:
    void StringsChanged(int row);
    void EditButtonClicked(int row);

private:
    void OpenRowEditor(int tableRow);
    void CloseRowEditor();

    std::vector<TRowProps> Rows;
    int EditorRow = -1;
    int UpdateDepth = 0;

    friend class TPropertyDelegate;
};

} // namespace virs
