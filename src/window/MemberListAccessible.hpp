#pragma once

#include <QAccessibleWidget>
#include <QList>
#include <QString>
#include <unordered_map>

class MemberListView;

// The member list as a screen reader sees it: a table of the model's rows and columns under
// one header row. Its cells are made only when a reader asks for them and kept by place; a
// row coming or going moves the kept cells after it, and a rebuild lets all of them go, so that
// a cell a reader holds names its member or is reported gone, never a stale one.
//
// Children are numbered as Qt numbers them in its own tables: the header cells first, then the
// cells row by row.
class MemberListAccessible final : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit MemberListAccessible(MemberListView* view);
    ~MemberListAccessible() override;

    // The factory handed to QAccessible::installFactory; it answers for MemberListView only.
    static QAccessibleInterface* Create(const QString& className, QObject* object);

    // The child number of a cell, as Focus and Selection events carry it.
    static int ChildIndexOf(int row, int column, int columns);

    bool isValid() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessible::State state() const override;

    QAccessibleInterface* caption() const override;
    QAccessibleInterface* summary() const override;
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int row) const override;
    int selectedColumnCount() const override;
    int selectedRowCount() const override;
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override;
    QList<int> selectedRows() const override;
    bool isColumnSelected(int column) const override;
    bool isRowSelected(int row) const override;
    bool selectRow(int row) override;
    bool selectColumn(int column) override;
    bool unselectRow(int row) override;
    bool unselectColumn(int column) override;
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

    // The header cell of a column, made when first asked for.
    QAccessibleInterface* HeaderCell(int column) const;

private:
    MemberListView* View() const;
    void LetCellsGo();
    void MoveCellsFrom(int firstRow, int by);

    // Cells by (row << 8 | column); the registry owns them and hands them out by id.
    mutable std::unordered_map<long long, QAccessible::Id> cells_;
    mutable std::unordered_map<int, QAccessible::Id> headerCells_;
};
