#include "shell/PropertyList.h"

#include <algorithm>

#include <QBrush>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QToolButton>

#include "shell/ShellTexts.h"

namespace virs {

namespace {

// Editor of a text row: a line edit, with the ellipsis button for button rows.
class TRowEditor : public QWidget {
public:
    TRowEditor(const TRowProps& props, QWidget* parent) : QWidget(parent) {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        Edit = new QLineEdit(this);
        Edit->setFrame(false);
        Edit->setReadOnly(props.ReadOnly);
        if (props.MaxLength > 0)
            Edit->setMaxLength(props.MaxLength);
        if (props.Maximum >= props.Minimum)
            Edit->setValidator(new QIntValidator(props.Minimum, props.Maximum, Edit));
        layout->addWidget(Edit, 1);
        if (props.Style == TEditStyle::Ellipsis) {
            Button = new QToolButton(this);
            Button->setText("…");
            Button->setFocusPolicy(Qt::NoFocus);
            Button->setAutoRaise(false);
            layout->addWidget(Button);
        }
        setFocusProxy(Edit);
    }
    QLineEdit* Edit = nullptr;
    QToolButton* Button = nullptr;
};

} // namespace

class TPropertyDelegate : public QStyledItemDelegate {
public:
    explicit TPropertyDelegate(TPropertyList* list) : QStyledItemDelegate(list), List(list) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        const int row = index.row() + 1;
        const TRowProps& props = List->Props(row);
        if (props.Style == TEditStyle::PickList) {
            auto* combo = new QComboBox(parent);
            combo->addItems(props.PickList);
            combo->setCurrentIndex(combo->findText(List->Value(row)));
            connect(combo, &QComboBox::activated, List,
                    [this, combo, row](int) { List->EnterValue(row, combo->currentText()); });
            return combo;
        }
        auto* editor = new TRowEditor(props, parent);
        editor->Edit->setText(List->Value(row));
        connect(editor->Edit, &QLineEdit::textEdited, List,
                [this, row](const QString& text) { List->EnterValue(row, text); });
        if (editor->Button)
            connect(editor->Button, &QToolButton::clicked, List,
                    [this, row] { List->PressButton(row); });
        return editor;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        const QString value = index.data().toString();
        if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            combo->setCurrentIndex(combo->findText(value));
        } else if (auto* row = dynamic_cast<TRowEditor*>(editor)) {
            if (row->Edit->text() != value)
                row->Edit->setText(value);
        }
    }
    // Values reach the list as they are typed; nothing is left to commit.
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {}

private:
    TPropertyList* List;
};

TPropertyList::TPropertyList(QWidget* parent) : QTableWidget(0, 2, parent) {
    setHorizontalHeaderLabels({texts::ColumnKey, texts::ColumnValue});
    horizontalHeader()->setSectionResizeMode(0, QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->resizeSection(0, 110);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegateForColumn(1, new TPropertyDelegate(this));
    setWordWrap(false);
    connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int, int previous, int) {
        if (row != previous || EditorRow != row)
            OpenRowEditor(row);
    });
}

void TPropertyList::BeginUpdate() {
    if (UpdateDepth++ == 0)
        setUpdatesEnabled(false);
}

void TPropertyList::EndUpdate() {
    if (UpdateDepth > 0 && --UpdateDepth == 0) {
        // The key column fits its longest key, leaving the value at least half.
        resizeColumnToContents(0);
        horizontalHeader()->resizeSection(0, std::clamp(horizontalHeader()->sectionSize(0), 80,
                                                        std::max(80, viewport()->width() / 2)));
        setUpdatesEnabled(true);
    }
}

void TPropertyList::Clear() {
    CloseRowEditor();
    Rows.clear();
    setRowCount(0);
}

int TPropertyList::AddRow(const QString& key, const QString& value, const TRowProps& props) {
    const int tableRow = rowCount();
    Rows.push_back(props);
    insertRow(tableRow);
    auto* keyItem = new QTableWidgetItem(key);
    keyItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    setItem(tableRow, 0, keyItem);
    auto* valueItem = new QTableWidgetItem(value);
    valueItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    setItem(tableRow, 1, valueItem);
    return tableRow + 1;
}

QString TPropertyList::Key(int row) const {
    const QTableWidgetItem* cell = item(row - 1, 0);
    return cell ? cell->text() : QString();
}

QString TPropertyList::Value(int row) const {
    const QTableWidgetItem* cell = item(row - 1, 1);
    return cell ? cell->text() : QString();
}

const TRowProps& TPropertyList::Props(int row) const {
    static const TRowProps None;
    return row >= 1 && row <= static_cast<int>(Rows.size()) ? Rows[row - 1] : None;
}

int TPropertyList::CurrentRow() const {
    return currentRow() >= 0 ? currentRow() + 1 : 0;
}

void TPropertyList::SetCurrentRow(int row) {
    setCurrentCell(row - 1, 1);
}

void TPropertyList::EnterValue(int row, const QString& value) {
    QTableWidgetItem* cell = item(row - 1, 1);
    if (!cell)
        return;
    const TRowProps& props = Props(row);
    const QString stored = props.MaxLength > 0 ? value.left(props.MaxLength) : value;
    if (cell->text() == stored)
        return;
    cell->setText(stored);
    emit StringsChanged(row);
}

void TPropertyList::PressButton(int row) {
    if (Props(row).Style == TEditStyle::Ellipsis && row >= 1 && row <= DataRowCount())
        emit EditButtonClicked(row);
}

void TPropertyList::RestoreValue(int row, const QString& value) {
    QTableWidgetItem* cell = item(row - 1, 1);
    if (!cell)
        return;
    cell->setText(value);
    if (EditorRow == row - 1)
        if (QWidget* editor = indexWidget(model()->index(row - 1, 1)))
            itemDelegateForColumn(1)->setEditorData(editor, model()->index(row - 1, 1));
}

void TPropertyList::OpenRowEditor(int tableRow) {
    CloseRowEditor();
    if (tableRow < 0 || tableRow >= rowCount())
        return;
    openPersistentEditor(item(tableRow, 1));
    EditorRow = tableRow;
}

void TPropertyList::CloseRowEditor() {
    if (EditorRow >= 0 && EditorRow < rowCount())
        closePersistentEditor(item(EditorRow, 1));
    EditorRow = -1;
}

void TPropertyList::MarkValue(int row, const QString& warning) {
    QTableWidgetItem* cell = item(row - 1, 1);
    if (!cell)
        return;
    cell->setToolTip(warning);
    cell->setData(Qt::BackgroundRole,
                  warning.isEmpty() ? QVariant() : QVariant(QBrush(QColor(255, 214, 153))));
}

bool TPropertyList::ValueMarked(int row) const {
    const QTableWidgetItem* cell = item(row - 1, 1);
    return cell && cell->data(Qt::BackgroundRole).isValid();
}

} // namespace virs
