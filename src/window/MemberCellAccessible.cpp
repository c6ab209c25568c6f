#include "window/MemberCellAccessible.hpp"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QItemSelectionModel>

#include "window/MemberListAccessible.hpp"
#include "window/MemberListView.hpp"

namespace {

// The column whose cell carries the row's focus: the login, which names the row.
constexpr int kFocusColumn = 0;

QAccessibleInterface* TableOf(MemberListView* view) {
    return view == nullptr ? nullptr : QAccessible::queryAccessibleInterface(view);
}

QWindow* WindowOf(const MemberListView* view) {
    return view == nullptr ? nullptr : view->window()->windowHandle();
}

bool InRange(const MemberListView* view, int row, int column) {
    const QAbstractItemModel* model = view == nullptr ? nullptr : view->model();
    return model != nullptr && row >= 0 && column >= 0 && row < model->rowCount(view->rootIndex()) &&
           column < model->columnCount(view->rootIndex());
}

}  // namespace

MemberCellAccessible::MemberCellAccessible(MemberListView* view, int row, int column)
    : view_(view), row_(row), column_(column) {}

bool MemberCellAccessible::isValid() const {
    return InRange(view_, row_, column_);
}

QObject* MemberCellAccessible::object() const {
    return nullptr;
}

QWindow* MemberCellAccessible::window() const {
    return WindowOf(view_);
}

QAccessibleInterface* MemberCellAccessible::parent() const {
    return TableOf(view_);
}

QAccessibleInterface* MemberCellAccessible::child(int) const {
    return nullptr;
}

int MemberCellAccessible::childCount() const {
    return 0;
}

int MemberCellAccessible::indexOfChild(const QAccessibleInterface*) const {
    return -1;
}

QAccessibleInterface* MemberCellAccessible::childAt(int, int) const {
    return nullptr;
}

// The model may say more to a reader than the eye reads (the online mark as a word).
QString MemberCellAccessible::text(QAccessible::Text type) const {
    if (!isValid()) {
        return {};
    }
    const QModelIndex index = view_->model()->index(row_, column_, view_->rootIndex());
    switch (type) {
        case QAccessible::Name: {
            const QVariant spoken = index.data(Qt::AccessibleTextRole);
            return spoken.isValid() ? spoken.toString() : index.data(Qt::DisplayRole).toString();
        }
        case QAccessible::Description:
            return index.data(Qt::AccessibleDescriptionRole).toString();
        default:
            return {};
    }
}

void MemberCellAccessible::setText(QAccessible::Text, const QString&) {}

QRect MemberCellAccessible::rect() const {
    if (!isValid()) {
        return {};
    }
    const QRect place = view_->visualRect(view_->model()->index(row_, column_, view_->rootIndex()));
    return {view_->viewport()->mapToGlobal(place.topLeft()), place.size()};
}

QAccessible::Role MemberCellAccessible::role() const {
    return QAccessible::Cell;
}

QAccessible::State MemberCellAccessible::state() const {
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    state.selectable = view_->selectionMode() != QAbstractItemView::NoSelection;
    state.multiSelectable = view_->selectionMode() == QAbstractItemView::ExtendedSelection ||
                            view_->selectionMode() == QAbstractItemView::MultiSelection;
    state.selected = isSelected();
    state.focusable = column_ == kFocusColumn;
    state.focused = column_ == kFocusColumn && view_->hasFocus() && view_->currentIndex().row() == row_;
    state.active = state.focused;
    const QRect place = view_->visualRect(view_->model()->index(row_, column_, view_->rootIndex()));
    if (!view_->viewport()->rect().intersects(place) || !view_->isVisible()) {
        state.offscreen = true;
        state.invisible = true;
    }
    return state;
}

void* MemberCellAccessible::interface_cast(QAccessible::InterfaceType type) {
    return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this)
                                                   : nullptr;
}

bool MemberCellAccessible::isSelected() const {
    const QItemSelectionModel* selection = view_ == nullptr ? nullptr : view_->selectionModel();
    return isValid() && selection != nullptr &&
           selection->isSelected(view_->model()->index(row_, column_, view_->rootIndex()));
}

QList<QAccessibleInterface*> MemberCellAccessible::columnHeaderCells() const {
    QAccessibleInterface* table = TableOf(view_);
    auto* list = table == nullptr ? nullptr : dynamic_cast<MemberListAccessible*>(table);
    QAccessibleInterface* header = list == nullptr ? nullptr : list->HeaderCell(column_);
    return header == nullptr ? QList<QAccessibleInterface*>{} : QList<QAccessibleInterface*>{header};
}

QList<QAccessibleInterface*> MemberCellAccessible::rowHeaderCells() const {
    return {};
}

int MemberCellAccessible::columnIndex() const {
    return column_;
}

int MemberCellAccessible::rowIndex() const {
    return row_;
}

int MemberCellAccessible::columnExtent() const {
    return 1;
}

int MemberCellAccessible::rowExtent() const {
    return 1;
}

QAccessibleInterface* MemberCellAccessible::table() const {
    return TableOf(view_);
}

MemberHeaderAccessible::MemberHeaderAccessible(MemberListView* view, int column)
    : view_(view), column_(column) {}

bool MemberHeaderAccessible::isValid() const {
    return view_ != nullptr && view_->model() != nullptr && column_ >= 0 &&
           column_ < view_->model()->columnCount(view_->rootIndex());
}

QObject* MemberHeaderAccessible::object() const {
    return nullptr;
}

QWindow* MemberHeaderAccessible::window() const {
    return WindowOf(view_);
}

QAccessibleInterface* MemberHeaderAccessible::parent() const {
    return TableOf(view_);
}

QAccessibleInterface* MemberHeaderAccessible::child(int) const {
    return nullptr;
}

int MemberHeaderAccessible::childCount() const {
    return 0;
}

int MemberHeaderAccessible::indexOfChild(const QAccessibleInterface*) const {
    return -1;
}

QAccessibleInterface* MemberHeaderAccessible::childAt(int, int) const {
    return nullptr;
}

QString MemberHeaderAccessible::text(QAccessible::Text type) const {
    if (type != QAccessible::Name || !isValid()) {
        return {};
    }
    return view_->model()->headerData(column_, Qt::Horizontal, Qt::DisplayRole).toString();
}

void MemberHeaderAccessible::setText(QAccessible::Text, const QString&) {}

QRect MemberHeaderAccessible::rect() const {
    if (!isValid()) {
        return {};
    }
    const QHeaderView* header = view_->ColumnHeader();
    const QPoint topLeft(header->sectionViewportPosition(column_), 0);
    return {header->viewport()->mapToGlobal(topLeft), QSize(header->sectionSize(column_), header->height())};
}

QAccessible::Role MemberHeaderAccessible::role() const {
    return QAccessible::ColumnHeader;
}

QAccessible::State MemberHeaderAccessible::state() const {
    QAccessible::State state;
    state.invalid = !isValid();
    state.invisible = !state.invalid && view_->ColumnHeader()->isSectionHidden(column_);
    return state;
}
