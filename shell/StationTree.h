#pragma once
// The station tree (TreeView1): one top-level item per node, one child per
// device, in model order. An item's place in the tree is its model index, so no
// index is stored in the items. Drag and drop is decided here; the move itself
// is carried out by the window, which owns the model.

#include <QTreeWidget>

#include "model/Records.h"

namespace virs {

class TStationTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit TStationTree(QWidget* parent = nullptr);

    // Model indices of an item (device = NoDevice for a node); false for null.
    static bool Locate(const QTreeWidgetItem* item, int& node, int& device);
    static bool IsNode(const QTreeWidgetItem* item) { return item && !item->parent(); }
    QTreeWidgetItem* Item(int node, int device = NoDevice) const;
    // Item at a flat tree position (nodes and devices in display order).
    QTreeWidgetItem* ItemAtPosition(int position) const;

    // The item of a new node at index `node`, or of a new device at index
    // `device` of `node` (its node expanded when `expand`); not selected.
    QTreeWidgetItem* InsertItem(int node, int device, const QString& text, int image,
                                bool expand = false);
    // Moves the item of node `fromNode` (from = NoDevice) to index `to`, or
    // device `from` of `fromNode` to index `to` of `toNode` (that node
    // expanded), in one update and without selection signals; the moved item
    // becomes the current one.
    QTreeWidgetItem* MoveItemTo(int fromNode, int from, int toNode, int to);

    static void SetImage(QTreeWidgetItem* item, int index);
    static int Image(const QTreeWidgetItem* item);

    // A device may be dropped on any item; a node only on another node.
    static bool AcceptsDrop(const QTreeWidgetItem* dragged, const QTreeWidgetItem* target);

    // Automatic dragging on (no link open) or off (manual: no drag starts).
    void SetAutoDrag(bool on);

    // The item being dragged and the highlighted drop target of a drag in progress.
    QTreeWidgetItem* DropTarget() const { return Target; }

signals:
    // The operator dropped `dragged` on `target`, and the drop is acceptable.
    void DropRequested(QTreeWidgetItem* dragged, QTreeWidgetItem* target);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

private:
    void SetTarget(QTreeWidgetItem* target);

    QTreeWidgetItem* Dragged = nullptr;
    QTreeWidgetItem* Target = nullptr;
};

} // namespace virs
