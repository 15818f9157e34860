#include "shell/StationTree.h"

#include <QSignalBlocker>

#include <QDrag>
#include <QDragMoveEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>

#include <array>

#include "shell/ShellImages.h"

namespace virs {

namespace {
constexpr int ImageRole = Qt::UserRole + 1;
constexpr const char* DragMime = "application/x-virs-tree-item";

// Draws each item's picture from its image index. The fifteen pictures are
// rendered once each, when first drawn, and shared by every item that shows
// them, instead of rendering the picture anew for every item of the tree.
class TTreeImageDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        bool ok = false;
        const int image = index.data(ImageRole).toInt(&ok);
        if (!ok || image < 0 || image >= TreeImageCount)
            return;
        QIcon& icon = Icons[static_cast<std::size_t>(image)];
        if (icon.isNull())
            icon = TreeIcon(image);
        option->icon = icon;
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->decorationSize = icon.actualSize(option->decorationSize);
    }

private:
    mutable std::array<QIcon, TreeImageCount> Icons;
};

} // namespace

TStationTree::TStationTree(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    header()->hide();
    setIconSize(QSize(24, 24));
    setItemDelegate(new TTreeImageDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDropIndicatorShown(false);
    setAutoScroll(true);
    SetAutoDrag(true);
    // The selection stays visible when the tree loses the focus.
    QPalette colours = palette();
    colours.setColor(QPalette::Inactive, QPalette::Highlight,
                     colours.color(QPalette::Active, QPalette::Highlight));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(colours);
}

bool TStationTree::Locate(const QTreeWidgetItem* item, int& node, int& device) {
    if (!item)
        return false;
    if (const QTreeWidgetItem* parent = item->parent()) {
        node = parent->treeWidget()->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(parent));
        device = parent->indexOfChild(const_cast<QTreeWidgetItem*>(item));
    } else {
        node = item->treeWidget()->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item));
        device = NoDevice;
    }
    return node >= 0 && (device >= 0);
}

QTreeWidgetItem* TStationTree::Item(int node, int device) const {
    QTreeWidgetItem* nodeItem = topLevelItem(node);
    if (!nodeItem || device == NoDevice)
        return nodeItem;
    return nodeItem->child(device);
}

QTreeWidgetItem* TStationTree::InsertItem(int node, int device, const QString& text, int image,
                                          bool expand) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, text);
    SetImage(item, image);
    if (device == NoDevice) {
        insertTopLevelItem(node, item);
    } else if (QTreeWidgetItem* nodeItem = Item(node)) {
        nodeItem->insertChild(device, item);
        if (expand)
            nodeItem->setExpanded(true);
    } else {
        delete item;
        return nullptr;
    }
    return item;
}

QTreeWidgetItem* TStationTree::MoveItemTo(int fromNode, int from, int toNode, int to) {
    const QSignalBlocker quiet(this);
    setUpdatesEnabled(false);
    QTreeWidgetItem* moved = nullptr;
    if (from != NoDevice) {
        moved = Item(fromNode)->takeChild(from);
        QTreeWidgetItem* newParent = Item(toNode);
        newParent->insertChild(to, moved);
        newParent->setExpanded(true);
    } else {
        const bool expanded = Item(fromNode)->isExpanded();
        moved = takeTopLevelItem(fromNode);
        insertTopLevelItem(to, moved);
        moved->setExpanded(expanded);
    }
    setCurrentItem(moved);
    setUpdatesEnabled(true);
    return moved;
}

QTreeWidgetItem* TStationTree::ItemAtPosition(int position) const {
    for (int n = 0; n < topLevelItemCount() && position >= 0; ++n) {
        QTreeWidgetItem* nodeItem = topLevelItem(n);
        if (position == 0)
            return nodeItem;
        if (position <= nodeItem->childCount())
            return nodeItem->child(position - 1);
        position -= nodeItem->childCount() + 1;
    }
    return nullptr;
}

void TStationTree::SetImage(QTreeWidgetItem* item, int index) {
    if (!item)
        return;
    item->setData(0, ImageRole, index); // the tree's delegate draws the picture
}

int TStationTree::Image(const QTreeWidgetItem* item) {
    return item ? item->data(0, ImageRole).toInt() : -1;
}

bool TStationTree::AcceptsDrop(const QTreeWidgetItem* dragged, const QTreeWidgetItem* target) {
    if (!dragged || !target || dragged == target)
        return false;
    if (!IsNode(dragged))
        return true;
    return IsNode(target);
}

void TStationTree::SetAutoDrag(bool on) {
    setDragEnabled(on);
    setAcceptDrops(on);
    viewport()->setAcceptDrops(on);
    setDragDropMode(on ? QAbstractItemView::InternalMove : QAbstractItemView::NoDragDrop);
}

void TStationTree::startDrag(Qt::DropActions) {
    Dragged = currentItem();
    if (!Dragged)
        return;
    auto* drag = new QDrag(this);
    auto* mime = new QMimeData;
    mime->setData(DragMime, QByteArray());
    drag->setMimeData(mime);
    drag->setPixmap(Dragged->icon(0).pixmap(24, 24));
    // The move is made by the drop handler; whatever exec() reports, the tree
    // itself removes nothing.
    drag->exec(Qt::MoveAction);
    SetTarget(nullptr);
    Dragged = nullptr;
}

void TStationTree::dragEnterEvent(QDragEnterEvent* event) {
    if (event->source() == this && event->mimeData()->hasFormat(DragMime))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TStationTree::dragMoveEvent(QDragMoveEvent* event) {
    // The base class scrolls near the edges; whether the drop is taken is
    // decided here, after it.
    QTreeWidget::dragMoveEvent(event);
    QTreeWidgetItem* over = itemAt(event->position().toPoint());
    if (event->source() == this && AcceptsDrop(Dragged, over)) {
        SetTarget(over);
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        SetTarget(nullptr);
        event->ignore();
    }
}

void TStationTree::dragLeaveEvent(QDragLeaveEvent* event) {
    // Leaving the tree abandons the drop: nothing moves when the item is let go
    // outside it.
    SetTarget(nullptr);
    QTreeWidget::dragLeaveEvent(event);
}

void TStationTree::dropEvent(QDropEvent* event) {
    QTreeWidgetItem* over = itemAt(event->position().toPoint());
    QTreeWidgetItem* dragged = Dragged;
    SetTarget(nullptr);
    if (event->source() != this || !AcceptsDrop(dragged, over)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction); // startDrag() removes nothing itself
    event->accept();
    emit DropRequested(dragged, over);
}

void TStationTree::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    if (Target && itemFromIndex(index) == Target) {
        QColor mark = palette().color(QPalette::Highlight);
        mark.setAlpha(90);
        painter->fillRect(option.rect, mark);
    }
    QTreeWidget::drawRow(painter, option, index);
}

void TStationTree::SetTarget(QTreeWidgetItem* target) {
    if (Target == target)
        return;
    Target = target;
    viewport()->update();
}

} // namespace virs
