#include "window/MemberListView.hpp"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <QStyledItemDelegate>

namespace {

// The focus belongs to the whole row, which the view draws itself, and not to one cell.
class CellsWithoutFocus final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem cell(option);
        cell.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, cell, index);
    }
};

}  // namespace

MemberListView::MemberListView(QWidget* parent) : QTableView(parent) {
    setItemDelegate(new CellsWithoutFocus(this));
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);
    setVerticalScrollMode(ScrollPerItem);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

// The rows' places are known as soon as the rows change, so that scrolling to a row or asking
// which row is at a point right after a change sees the new rows, not the old layout.
void MemberListView::setModel(QAbstractItemModel* model) {
    QTableView::setModel(model);
    if (model == nullptr) {
        return;
    }
    const auto placeRows = [this] {
        FitRowHeight();
        updateGeometries();
    };
    connect(model, &QAbstractItemModel::modelReset, this, placeRows);
    connect(model, &QAbstractItemModel::rowsInserted, this, placeRows);
    connect(model, &QAbstractItemModel::rowsRemoved, this, placeRows);
}

// Every row is as high as the first: they all show one line and an image of one size.
void MemberListView::FitRowHeight() {
    if (model()->rowCount() == 0) {
        return;
    }
    const int height = sizeHintForRow(0);
    if (height > 0 && height != verticalHeader()->defaultSectionSize()) {
        verticalHeader()->setDefaultSectionSize(height);
    }
}

QModelIndex MemberListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex current = currentIndex();
    const int rows = model() == nullptr ? 0 : model()->rowCount();
    if (!current.isValid()) {
        // Wherever the key meant to go, the first row is where a list starts.
        return rows > 0 ? model()->index(0, 0) : QModelIndex();
    }
    const int column = current.column();
    switch (action) {
        case MoveHome:
            return rows > 0 ? model()->index(0, column) : QModelIndex();
        case MoveEnd:
            return rows > 0 ? model()->index(rows - 1, column) : QModelIndex();
        case MovePageDown:
        case MovePageUp: {
            // A page is the viewport's height from the current row's top, and stops at the ends.
            const int top = visualRect(current).top();
            const int below = rowAt(top + (action == MovePageDown ? 1 : -1) * viewport()->height());
            const int row = below >= 0 ? below : (action == MovePageDown ? rows - 1 : 0);
            return model()->index(row, column);
        }
        case MoveLeft:
        case MoveRight:
        case MoveNext:
        case MovePrevious:
            // Columns are not places to go to; the row stays.
            return current;
        default:
            return QTableView::moveCursor(action, modifiers);
    }
}

// Keys typed in quick succession make one prefix, searched for from the current row on and
// around; a new prefix, or one key repeated, starts below the current row, so that repeating a
// key walks the rows it begins.
void MemberListView::keyboardSearch(const QString& search) {
    if (model() == nullptr || model()->rowCount() == 0) {
        return;
    }
    const bool continued = !search.isEmpty() && sinceTyped_.isValid() &&
                           sinceTyped_.elapsed() <= QApplication::keyboardInputInterval();
    sinceTyped_.start();
    bool skipRow = false;
    if (continued) {
        typed_ += search;
    } else {
        typed_ = search;
        skipRow = currentIndex().isValid();
    }
    const bool sameKey = typed_.size() > 1 && typed_.count(typed_.back()) == typed_.size();
    QModelIndex start = currentIndex().isValid() ? currentIndex() : model()->index(0, 0);
    if (skipRow || sameKey) {
        start = model()->index(start.row() + 1 < model()->rowCount() ? start.row() + 1 : 0, start.column());
    }
    const QString prefix = sameKey ? QString(typed_.front()) : typed_;
    const QModelIndexList found =
        model()->match(start, Qt::DisplayRole, prefix, 1, Qt::MatchStartsWith | Qt::MatchWrap);
    if (!found.isEmpty()) {
        setCurrentIndex(found.front());
    }
}

void MemberListView::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    KeepTopRowWhole();
}

void MemberListView::updateGeometries() {
    QTableView::updateGeometries();
    KeepTopRowWhole();
}

// Scrolled to the end, a list still begins with a whole row and leaves the room below its last
// one, where a table would push its last row to the bottom edge and cut the top one.
void MemberListView::KeepTopRowWhole() {
    const QScrollBar* bar = verticalScrollBar();
    if (bar->maximum() <= 0 || bar->value() != bar->maximum()) {
        return;
    }
    const int offset = verticalHeader()->sectionPosition(bar->value());
    if (verticalHeader()->offset() != offset) {
        verticalHeader()->setOffset(offset);
        viewport()->update();
    }
}

void MemberListView::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    DrawRowFocus();
}

void MemberListView::DrawRowFocus() {
    const QModelIndex current = currentIndex();
    if (!hasFocus() || !current.isValid()) {
        return;
    }
    const QRect cell = visualRect(current);
    if (!cell.isValid() || !viewport()->rect().intersects(cell)) {
        return;
    }
    QStyleOptionFocusRect focus;
    focus.initFrom(viewport());
    focus.state |= QStyle::State_KeyboardFocusChange;
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Normal : QPalette::Disabled;
    focus.backgroundColor = palette().color(
        group, selectionModel()->isSelected(current) ? QPalette::Highlight : QPalette::Window);
    const QHeaderView* header = horizontalHeader();
    focus.rect = QRect(-header->offset(), cell.y(), header->length(), cell.height());
    QPainter painter(viewport());
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
}
