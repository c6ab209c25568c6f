#include "window/MemberListAccessible.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QItemSelectionModel>

#include "window/MemberCellAccessible.hpp"
#include "window/MemberListView.hpp"

namespace {

long long CellKey(int row, int column) {
    return (static_cast<long long>(row) << 8) | column;
}

int RowOfKey(long long key) {
    return static_cast<int>(key >> 8);
}

int ColumnOfKey(long long key) {
    return static_cast<int>(key & 0xFF);
}

}  // namespace

MemberListAccessible::MemberListAccessible(MemberListView* view)
    : QAccessibleWidget(view, QAccessible::Table) {}

MemberListAccessible::~MemberListAccessible() {
    LetCellsGo();
    for (const auto& [column, id] : headerCells_) {
        QAccessible::deleteAccessibleInterface(id);
    }
}

QAccessibleInterface* MemberListAccessible::Create(const QString& className, QObject* object) {
    auto* view = qobject_cast<MemberListView*>(object);
    if (view == nullptr || className != QLatin1String(MemberListView::staticMetaObject.className())) {
        return nullptr;
    }
    return new MemberListAccessible(view);
}

int MemberListAccessible::ChildIndexOf(int row, int column, int columns) {
    const int64_t index = (static_cast<int64_t>(row) + 1) * columns + column;
    return index > std::numeric_limits<int>::max() ? -1 : static_cast<int>(index);
}

MemberListView* MemberListAccessible::View() const {
    return static_cast<MemberListView*>(object());
}

bool MemberListAccessible::isValid() const {
    return QAccessibleWidget::isValid() && View()->model() != nullptr;
}

void* MemberListAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableInterface) {
        return static_cast<QAccessibleTableInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

int MemberListAccessible::childCount() const {
    if (!isValid()) {
        return 0;
    }
    const int columns = columnCount();
    const int last = ChildIndexOf(rowCount() - 1, columns - 1, columns);
    return last < 0 ? std::numeric_limits<int>::max() : last + 1;
}

QAccessibleInterface* MemberListAccessible::child(int index) const {
    const int columns = columnCount();
    if (!isValid() || index < 0 || columns == 0) {
        return nullptr;
    }
    if (index < columns) {
        return HeaderCell(index);
    }
    return cellAt(index / columns - 1, index % columns);
}

int MemberListAccessible::indexOfChild(const QAccessibleInterface* child) const {
    if (const auto* header = dynamic_cast<const MemberHeaderAccessible*>(child)) {
        return header->isValid() ? header->Column() : -1;
    }
    auto* cell = child == nullptr ? nullptr : const_cast<QAccessibleInterface*>(child)->tableCellInterface();
    if (cell == nullptr || child->parent() != this || !child->isValid()) {
        return -1;
    }
    return ChildIndexOf(cell->rowIndex(), cell->columnIndex(), columnCount());
}

QAccessibleInterface* MemberListAccessible::childAt(int x, int y) const {
    if (!isValid()) {
        return nullptr;
    }
    const QPoint global(x, y);
    const QHeaderView* header = View()->ColumnHeader();
    const QPoint inHeader = header->mapFromGlobal(global);
    if (header->isVisible() && header->rect().contains(inHeader)) {
        const int column = header->logicalIndexAt(inHeader.x());
        return column >= 0 ? HeaderCell(column) : nullptr;
    }
    const QPoint inViewport = View()->viewport()->mapFromGlobal(global);
    if (!View()->viewport()->rect().contains(inViewport)) {
        return nullptr;
    }
    const QModelIndex index = View()->indexAt(inViewport);
    return index.isValid() ? cellAt(index.row(), index.column()) : nullptr;
}

QAccessible::State MemberListAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    const auto mode = View()->selectionMode();
    state.multiSelectable =
        mode == QAbstractItemView::ExtendedSelection || mode == QAbstractItemView::MultiSelection;
    state.extSelectable = mode == QAbstractItemView::ExtendedSelection;
    return state;
}

QAccessibleInterface* MemberListAccessible::caption() const {
    return nullptr;
}

QAccessibleInterface* MemberListAccessible::summary() const {
    return nullptr;
}

QAccessibleInterface* MemberListAccessible::cellAt(int row, int column) const {
    if (!isValid() || row < 0 || column < 0 || row >= rowCount() || column >= columnCount()) {
        return nullptr;
    }
    const long long key = CellKey(row, column);
    const auto known = cells_.find(key);
    if (known != cells_.end()) {
        return QAccessible::accessibleInterface(known->second);
    }
    auto* cell = new MemberCellAccessible(View(), row, column);  // owned by Qt's registry
    cells_.emplace(key, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

QAccessibleInterface* MemberListAccessible::HeaderCell(int column) const {
    if (!isValid() || column < 0 || column >= columnCount()) {
        return nullptr;
    }
    const auto known = headerCells_.find(column);
    if (known != headerCells_.end()) {
        return QAccessible::accessibleInterface(known->second);
    }
    auto* header = new MemberHeaderAccessible(View(), column);  // owned by Qt's registry
    headerCells_.emplace(column, QAccessible::registerAccessibleInterface(header));
    return header;
}

int MemberListAccessible::selectedCellCount() const {
    return selectedRowCount() * columnCount();
}

QList<QAccessibleInterface*> MemberListAccessible::selectedCells() const {
    QList<QAccessibleInterface*> cells;
    const int columns = columnCount();
    for (const int row : selectedRows()) {
        for (int column = 0; column < columns; ++column) {
            cells.append(cellAt(row, column));
        }
    }
    return cells;
}

QString MemberListAccessible::columnDescription(int column) const {
    return isValid() ? View()->model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString()
                     : QString();
}

QString MemberListAccessible::rowDescription(int) const {
    return {};
}

int MemberListAccessible::selectedColumnCount() const {
    return 0;
}

int MemberListAccessible::selectedRowCount() const {
    return static_cast<int>(selectedRows().size());
}

int MemberListAccessible::columnCount() const {
    return isValid() ? View()->model()->columnCount(View()->rootIndex()) : 0;
}

int MemberListAccessible::rowCount() const {
    return isValid() ? View()->model()->rowCount(View()->rootIndex()) : 0;
}

QList<int> MemberListAccessible::selectedColumns() const {
    return {};
}

// Rows are selected whole; the selection's ranges give them without a walk over every row.
QList<int> MemberListAccessible::selectedRows() const {
    const QItemSelectionModel* selection = isValid() ? View()->selectionModel() : nullptr;
    if (selection == nullptr) {
        return {};
    }
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selection->selection()) {
        if (range.isValid() && range.parent() == View()->rootIndex()) {
            for (int row = range.top(); row <= range.bottom(); ++row) {
                rows.push_back(row);
            }
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return QList<int>(rows.begin(), rows.end());
}

bool MemberListAccessible::isColumnSelected(int) const {
    return false;
}

bool MemberListAccessible::isRowSelected(int row) const {
    const QItemSelectionModel* selection = isValid() ? View()->selectionModel() : nullptr;
    return selection != nullptr && row >= 0 && row < rowCount() &&
           selection->isSelected(View()->model()->index(row, 0, View()->rootIndex()));
}

bool MemberListAccessible::selectRow(int row) {
    QItemSelectionModel* selection = isValid() ? View()->selectionModel() : nullptr;
    if (selection == nullptr || row < 0 || row >= rowCount() ||
        View()->selectionMode() == QAbstractItemView::NoSelection) {
        return false;
    }
    const bool single = View()->selectionMode() == QAbstractItemView::SingleSelection;
    const QModelIndex index = View()->model()->index(row, 0, View()->rootIndex());
    selection->select(index, (single ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Select) |
                                 QItemSelectionModel::Rows);
    return true;
}

bool MemberListAccessible::selectColumn(int) {
    return false;
}

bool MemberListAccessible::unselectRow(int row) {
    QItemSelectionModel* selection = isValid() ? View()->selectionModel() : nullptr;
    if (selection == nullptr || row < 0 || row >= rowCount()) {
        return false;
    }
    selection->select(View()->model()->index(row, 0, View()->rootIndex()),
                      QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    return true;
}

bool MemberListAccessible::unselectColumn(int) {
    return false;
}

void MemberListAccessible::modelChange(QAccessibleTableModelChangeEvent* event) {
    switch (event->modelChangeType()) {
        case QAccessibleTableModelChangeEvent::ModelReset:
        case QAccessibleTableModelChangeEvent::ColumnsInserted:
        case QAccessibleTableModelChangeEvent::ColumnsRemoved:
            LetCellsGo();
            break;
        case QAccessibleTableModelChangeEvent::RowsInserted:
            MoveCellsFrom(event->firstRow(), event->lastRow() - event->firstRow() + 1);
            break;
        case QAccessibleTableModelChangeEvent::RowsRemoved:
            MoveCellsFrom(event->firstRow(), -(event->lastRow() - event->firstRow() + 1));
            break;
        case QAccessibleTableModelChangeEvent::DataChanged:
            // Cells read their text when asked.
            break;
    }
}

// The registry deletes the cells; a reader that still holds one hears that it is gone.
void MemberListAccessible::LetCellsGo() {
    const auto cells = std::move(cells_);
    cells_.clear();
    for (const auto& [key, id] : cells) {
        QAccessible::deleteAccessibleInterface(id);
    }
}

// Rows inserted at firstRow (by > 0) push the cells from there down; rows removed from firstRow
// (by < 0) take their cells with them and pull the cells below up.
void MemberListAccessible::MoveCellsFrom(int firstRow, int by) {
    std::unordered_map<long long, QAccessible::Id> kept;
    kept.reserve(cells_.size());
    for (const auto& [key, id] : cells_) {
        const int row = RowOfKey(key);
        if (row < firstRow) {
            kept.emplace(key, id);
        } else if (by < 0 && row < firstRow - by) {
            QAccessible::deleteAccessibleInterface(id);
        } else {
            auto* cell = static_cast<MemberCellAccessible*>(QAccessible::accessibleInterface(id));
            if (cell == nullptr) {
                continue;
            }
            cell->MoveTo(row + by);
            kept.emplace(CellKey(row + by, ColumnOfKey(key)), id);
        }
    }
    cells_ = std::move(kept);
}
