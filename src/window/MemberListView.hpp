#pragma once

#include <QAbstractItemView>
#include <QElapsedTimer>
#include <QString>

class QHeaderView;

// The member list's view: rows of one height under a header of columns, that look and answer
// the keyboard as a list of rows does (whole rows selected and focused, Home and End go to the
// first and last row, typing finds a row by the start of its login). It keeps nothing for each
// row, so one row in or out costs it the same with ten rows as with a million; a table or tree
// view keeps a header section or an item for every row and walks them all at each change.
class MemberListView final : public QAbstractItemView {
    Q_OBJECT

public:
    explicit MemberListView(QWidget* parent = nullptr);

    QHeaderView* ColumnHeader() const { return header_; }

    void setModel(QAbstractItemModel* model) override;
    void keyboardSearch(const QString& search) override;
    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    // The top row the list can be scrolled to with this many rows, as the view now stands.
    int LastTopRowFor(int rows) const;
    // The most whole rows the list shows at once, with no scroll bar taking room.
    int RowsThatFit() const;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void initViewItemOption(QStyleOptionViewItem* option) const override;
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    int RowCount() const;
    int TopRow() const;
    int RowAt(int y) const;
    int RowsInSight(int viewportHeight) const;
    QRect RowRect(int row) const;
    void ScrollColumnIntoSight(int column);
    void PlaceHeader();
    void SetScrollRanges();
    void FitRowHeight();
    void DrawCell(QPainter& painter, QStyleOptionViewItem option, const QModelIndex& index) const;
    void DrawRowFocus(QPainter& painter) const;
    void TellReaderOfFocus();

    QHeaderView* header_;  // owned by the view
    int rowHeight_;
    bool placing_ = false;
    QString typed_;
    QElapsedTimer sinceTyped_;
};
