#pragma once

#include <QAccessible>
#include <QPointer>

class MemberListView;

// One cell of the member list for a screen reader: its text is read from the model each time it
// is asked, so a member rewritten in place is heard as it is now. Its place is moved by the
// table when rows come or go before it. The focus belongs to the whole row, as the view draws
// it, and a reader hears it on the row's login cell.
class MemberCellAccessible final : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    MemberCellAccessible(MemberListView* view, int row, int column);

    void MoveTo(int row) { row_ = row; }

    bool isValid() const override;
    QObject* object() const override;
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QString text(QAccessible::Text type) const override;
    void setText(QAccessible::Text type, const QString& text) override;
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    bool isSelected() const override;
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    QList<QAccessibleInterface*> rowHeaderCells() const override;
    int columnIndex() const override;
    int rowIndex() const override;
    int columnExtent() const override;
    int rowExtent() const override;
    QAccessibleInterface* table() const override;

private:
    QPointer<MemberListView> view_;
    int row_;
    int column_;
};

// The header of one column, which names what the column's cells hold.
class MemberHeaderAccessible final : public QAccessibleInterface {
public:
    MemberHeaderAccessible(MemberListView* view, int column);

    bool isValid() const override;
    QObject* object() const override;
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QString text(QAccessible::Text type) const override;
    void setText(QAccessible::Text type, const QString& text) override;
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;

    int Column() const { return column_; }

private:
    QPointer<MemberListView> view_;
    int column_;
};
