#include "window/MemberListView.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>

#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <QStyledItemDelegate>

#include "window/MemberListAccessible.hpp"

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

int ClampToInt(int64_t value) {
    return static_cast<int>(
        std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}  // namespace

MemberListView::MemberListView(QWidget* parent)
    : QAbstractItemView(parent),
      header_(new QHeaderView(Qt::Horizontal, this)),
      rowHeight_(style()->pixelMetric(QStyle::PM_HeaderDefaultSectionSizeVertical, nullptr, this)) {
    // Qt gives a table to readers only for its own views; this one's is made when one asks.
    static const bool tableForReaders = (QAccessible::installFactory(&MemberListAccessible::Create), true);
    Q_UNUSED(tableForReaders);
    setItemDelegate(new CellsWithoutFocus(this));
    setTabKeyNavigation(false);
    setVerticalScrollMode(ScrollPerItem);
    setHorizontalScrollMode(ScrollPerPixel);
    header_->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(header_, &QHeaderView::sectionResized, viewport(), qOverload<>(&QWidget::update));
    connect(header_, &QHeaderView::geometriesChanged, this, &MemberListView::updateGeometries);
}

// The rows' places are known as soon as the rows change, so that scrolling to a row or asking
// which row is at a point right after a change sees the new rows, not the old ones.
void MemberListView::setModel(QAbstractItemModel* model) {
    QAbstractItemView::setModel(model);
    header_->setModel(model);
    if (model == nullptr) {
        return;
    }
    const auto placeRows = [this] {
        FitRowHeight();
        updateGeometries();
        viewport()->update();
    };
    connect(model, &QAbstractItemModel::modelReset, this, placeRows);
    connect(model, &QAbstractItemModel::rowsInserted, this, placeRows);
    connect(model, &QAbstractItemModel::rowsRemoved, this, placeRows);
}

int MemberListView::RowCount() const {
    return model() == nullptr ? 0 : model()->rowCount(rootIndex());
}

int MemberListView::TopRow() const {
    return verticalScrollBar()->value();
}

// The row at a height in the viewport, above or below it too, or -1 where there is none.
int MemberListView::RowAt(int y) const {
    const int64_t fromFirstRow = static_cast<int64_t>(TopRow()) * rowHeight_ + y;
    if (fromFirstRow < 0) {
        return -1;
    }
    const int64_t row = fromFirstRow / rowHeight_;
    return row < RowCount() ? static_cast<int>(row) : -1;
}

int MemberListView::LastTopRowFor(int rows) const {
    const QSize withoutBars = maximumViewportSize();
    int height = viewport()->height();
    if (withoutBars.width() >= header_->length() &&
        withoutBars.height() >= static_cast<int64_t>(rows) * rowHeight_) {
        height = withoutBars.height();
    }
    return std::max(0, rows - RowsInSight(height));
}

int MemberListView::RowsThatFit() const {
    return RowsInSight(maximumViewportSize().height());
}

// The rows that fit whole into a height, at least one.
int MemberListView::RowsInSight(int viewportHeight) const {
    return std::max(1, viewportHeight / rowHeight_);
}

QRect MemberListView::RowRect(int row) const {
    const int64_t top = static_cast<int64_t>(row - TopRow()) * rowHeight_;
    return {-header_->offset(), ClampToInt(top), header_->length(), rowHeight_};
}

// Every row is as high as the first: they all show one line and an image of one size.
void MemberListView::FitRowHeight() {
    if (RowCount() == 0) {
        return;
    }
    const int height = sizeHintForRow(0);
    if (height > 0) {
        rowHeight_ = height;
    }
}

QModelIndex MemberListView::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
    const QModelIndex current = currentIndex();
    const int rows = RowCount();
    if (!current.isValid()) {
        // Wherever the key meant to go, the first row is where a list starts.
        return rows > 0 ? model()->index(0, 0, rootIndex()) : QModelIndex();
    }
    const int row = current.row();
    const int column = current.column();
    const auto rowAtColumn = [&](int to) { return model()->index(to, column, rootIndex()); };
    switch (action) {
        case MoveUp:
            return row > 0 ? rowAtColumn(row - 1) : current;
        case MoveDown:
            return row + 1 < rows ? rowAtColumn(row + 1) : current;
        case MoveHome:
            return rowAtColumn(0);
        case MoveEnd:
            return rowAtColumn(rows - 1);
        case MovePageDown:
        case MovePageUp: {
            // A page is the viewport's height from the current row's top, and stops at the ends.
            const int top = visualRect(current).top();
            const int below = RowAt(top + (action == MovePageDown ? 1 : -1) * viewport()->height());
            return rowAtColumn(below >= 0 ? below : (action == MovePageDown ? rows - 1 : 0));
        }
        case MoveLeft:
        case MoveRight:
        case MoveNext:
        case MovePrevious:
            // Columns are not places to go to; the row stays.
            return current;
    }
    return current;
}

// Keys typed in quick succession make one prefix, searched for from the current row on and
// around; a new prefix, or one key repeated, starts below the current row, so that repeating a
// key walks the rows it begins.
void MemberListView::keyboardSearch(const QString& search) {
    if (RowCount() == 0) {
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
    QModelIndex start = currentIndex().isValid() ? currentIndex() : model()->index(0, 0, rootIndex());
    if (skipRow || sameKey) {
        start =
            model()->index(start.row() + 1 < RowCount() ? start.row() + 1 : 0, start.column(), rootIndex());
    }
    const QString prefix = sameKey ? QString(typed_.front()) : typed_;
    const QModelIndexList found =
        model()->match(start, Qt::DisplayRole, prefix, 1, Qt::MatchStartsWith | Qt::MatchWrap);
    if (!found.isEmpty()) {
        setCurrentIndex(found.front());
    }
}

QRect MemberListView::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != model()) {
        return {};
    }
    const QRect row = RowRect(index.row());
    return {header_->sectionViewportPosition(index.column()), row.top(), header_->sectionSize(index.column()),
            row.height()};
}

QModelIndex MemberListView::indexAt(const QPoint& point) const {
    const int row = RowAt(point.y());
    const int column = header_->logicalIndexAt(point.x());
    return row >= 0 && column >= 0 ? model()->index(row, column, rootIndex()) : QModelIndex();
}

void MemberListView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid() || index.model() != model()) {
        return;
    }
    const int viewportHeight = viewport()->height();
    const int top = visualRect(index).top();
    if (hint == EnsureVisible) {
        if (top < 0 || rowHeight_ > viewportHeight) {
            hint = PositionAtTop;
        } else if (top + rowHeight_ > viewportHeight) {
            hint = PositionAtBottom;
        } else {
            ScrollColumnIntoSight(index.column());
            return;
        }
    }
    // The row goes to the top, or as many whole rows above it as fit over it or over half the
    // viewport.
    int rowsAbove = 0;
    if (hint == PositionAtBottom || hint == PositionAtCenter) {
        const int height = hint == PositionAtCenter ? viewportHeight / 2 : viewportHeight;
        rowsAbove = std::max(0, height / rowHeight_ - 1);
    }
    verticalScrollBar()->setValue(std::max(0, index.row() - rowsAbove));
    ScrollColumnIntoSight(index.column());
}

void MemberListView::ScrollColumnIntoSight(int column) {
    const int position = header_->sectionPosition(column);
    const int width = header_->sectionSize(column);
    const int viewportWidth = viewport()->width();
    if (position - header_->offset() < 0 || width > viewportWidth) {
        horizontalScrollBar()->setValue(position);
    } else if (position - header_->offset() + width > viewportWidth) {
        horizontalScrollBar()->setValue(position - viewportWidth + width);
    }
}

int MemberListView::horizontalOffset() const {
    return header_->offset();
}

int MemberListView::verticalOffset() const {
    return ClampToInt(static_cast<int64_t>(TopRow()) * rowHeight_);
}

bool MemberListView::isIndexHidden(const QModelIndex&) const {
    return false;
}

// Whole rows, from the one at the rectangle's top to the one at its bottom, when both are rows.
void MemberListView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    const QRect area = rect.normalized();
    const QModelIndex first = indexAt(area.topLeft());
    const QModelIndex last = indexAt(area.bottomRight());
    if (selectionModel() == nullptr || !first.isValid() || !last.isValid()) {
        return;
    }
    const int lastColumn = model()->columnCount(rootIndex()) - 1;
    const QItemSelection rows(model()->index(first.row(), 0, rootIndex()),
                              model()->index(last.row(), lastColumn, rootIndex()));
    selectionModel()->select(rows, command);
}

QRegion MemberListView::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion region;
    const int firstInSight = TopRow();
    const int lastInSight = firstInSight + viewport()->height() / rowHeight_ + 1;
    for (const QItemSelectionRange& range : selection) {
        if (!range.isValid() || range.bottom() < firstInSight || range.top() > lastInSight) {
            continue;
        }
        const QRect top =
            visualRect(model()->index(std::max(range.top(), firstInSight), range.left(), rootIndex()));
        const QRect bottom =
            visualRect(model()->index(std::min(range.bottom(), lastInSight), range.right(), rootIndex()));
        region += top.united(bottom);
    }
    return region;
}

// A selected row is one band: its images are drawn on the selection's colour too.
void MemberListView::initViewItemOption(QStyleOptionViewItem* option) const {
    QAbstractItemView::initViewItemOption(option);
    option->showDecorationSelected = true;
}

void MemberListView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const int rows = RowCount();
    const int columns = header_->count();
    if (rows == 0 || columns == 0) {
        return;
    }
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QRect dirty = event->rect();
    const int firstRow = dirty.top() < 0 ? TopRow() : RowAt(dirty.top());
    if (firstRow < 0) {
        DrawRowFocus(painter);
        return;
    }
    const int bottomRow = RowAt(dirty.bottom());
    const int lastRow = bottomRow >= 0 ? bottomRow : rows - 1;
    const int firstColumn = std::max(0, header_->visualIndexAt(dirty.left()));
    const int rightColumn = header_->visualIndexAt(dirty.right());
    const int lastColumn = rightColumn >= 0 ? rightColumn : columns - 1;
    for (int row = firstRow; row <= lastRow; ++row) {
        const QRect band = RowRect(row);
        if (band.top() > dirty.bottom()) {
            break;
        }
        for (int visual = firstColumn; visual <= lastColumn; ++visual) {
            const int column = header_->logicalIndex(visual);
            if (header_->isSectionHidden(column)) {
                continue;
            }
            option.rect = QRect(header_->sectionViewportPosition(column), band.top(),
                                header_->sectionSize(column), band.height());
            DrawCell(painter, option, model()->index(row, column, rootIndex()));
        }
    }
    DrawRowFocus(painter);
}

void MemberListView::DrawCell(QPainter& painter, QStyleOptionViewItem option,
                              const QModelIndex& index) const {
    if (selectionModel() != nullptr && selectionModel()->isSelected(index)) {
        option.state |= QStyle::State_Selected;
    }
    if ((option.state & QStyle::State_Enabled) != 0) {
        const bool enabled = (model()->flags(index) & Qt::ItemIsEnabled) != 0;
        if (!enabled) {
            option.state &= ~QStyle::State_Enabled;
        }
        option.palette.setCurrentColorGroup(enabled ? QPalette::Normal : QPalette::Disabled);
    }
    if (index == currentIndex() && (hasFocus() || viewport()->hasFocus())) {
        option.state |= QStyle::State_HasFocus;
    }
    style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &option, &painter, this);
    itemDelegateForIndex(index)->paint(&painter, option, index);
}

void MemberListView::DrawRowFocus(QPainter& painter) const {
    const QModelIndex current = currentIndex();
    if (!hasFocus() || !current.isValid()) {
        return;
    }
    const QRect band = RowRect(current.row());
    if (!viewport()->rect().intersects(band)) {
        return;
    }
    QStyleOptionFocusRect focus;
    focus.initFrom(viewport());
    focus.state |= QStyle::State_KeyboardFocusChange;
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Normal : QPalette::Disabled;
    focus.backgroundColor = palette().color(
        group, selectionModel()->isSelected(current) ? QPalette::Highlight : QPalette::Window);
    focus.rect = band;
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
}

// The scroll bars count rows downwards and pixels across; the header follows across.
void MemberListView::scrollContentsBy(int dx, int dy) {
    if (dx != 0) {
        const int before = header_->offset();
        header_->setOffset(horizontalScrollBar()->value());
        dx = before - header_->offset();
    }
    QAbstractItemView::scrollContentsBy(dx, ClampToInt(static_cast<int64_t>(dy) * rowHeight_));
}

void MemberListView::updateGeometries() {
    // Placing the header moves the viewport, which lays the view out again.
    if (placing_) {
        return;
    }
    placing_ = true;
    PlaceHeader();
    SetScrollRanges();
    placing_ = false;
    QAbstractItemView::updateGeometries();
}

void MemberListView::PlaceHeader() {
    int height = 0;
    if (!header_->isHidden()) {
        height = std::min(std::max(header_->minimumHeight(), header_->sizeHint().height()),
                          header_->maximumHeight());
    }
    setViewportMargins(0, height, 0, 0);
    const QRect place = viewport()->geometry();
    header_->setGeometry(place.left(), place.top() - height, place.width(), height);
}

// Scrolled to the end, the list begins with a whole row and leaves the room below its last one.
void MemberListView::SetScrollRanges() {
    QSize size = viewport()->size();
    const QSize withoutBars = maximumViewportSize();
    const int64_t rowsHeight = static_cast<int64_t>(RowCount()) * rowHeight_;
    if (withoutBars.width() >= header_->length() && withoutBars.height() >= rowsHeight) {
        size = withoutBars;
    }
    const int rowsInSight = RowsInSight(size.height());
    verticalScrollBar()->setRange(0, LastTopRowFor(RowCount()));
    verticalScrollBar()->setPageStep(rowsInSight);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setRange(0, std::max(0, header_->length() - size.width()));
    horizontalScrollBar()->setPageStep(size.width());
    horizontalScrollBar()->setSingleStep(std::max(2, size.width() / (header_->count() + 1)));
}

// Qt's own views tell a reader of the current and selected cells; a view of its own must do it
// itself. The focus belongs to the row, and a reader hears it on the row's login cell.
void MemberListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QAbstractItemView::currentChanged(current, previous);
    if (current.row() != previous.row()) {
        TellReaderOfFocus();
    }
}

void MemberListView::focusInEvent(QFocusEvent* event) {
    QAbstractItemView::focusInEvent(event);
    TellReaderOfFocus();
}

void MemberListView::TellReaderOfFocus() {
    const QModelIndex current = currentIndex();
    if (!QAccessible::isActive() || !hasFocus() || !current.isValid()) {
        return;
    }
    QAccessibleEvent event(this, QAccessible::Focus);
    event.setChild(MemberListAccessible::ChildIndexOf(current.row(), 0, header_->count()));
    QAccessible::updateAccessibility(&event);
}

// One row now alone selected is told as that row's selection; anything larger as a change
// somewhere in the list, which a reader asks about, rather than one event for each row.
void MemberListView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QAbstractItemView::selectionChanged(selected, deselected);
    if (!QAccessible::isActive() || model() == nullptr) {
        return;
    }
    const QItemSelection now = selectionModel()->selection();
    const bool oneRow = now.size() == 1 && now.front().top() == now.front().bottom() && !selected.isEmpty();
    if (oneRow) {
        QAccessibleEvent event(this, QAccessible::Selection);
        event.setChild(MemberListAccessible::ChildIndexOf(now.front().top(), 0, header_->count()));
        QAccessible::updateAccessibility(&event);
        return;
    }
    QAccessibleEvent event(this, QAccessible::SelectionWithin);
    QAccessible::updateAccessibility(&event);
}
