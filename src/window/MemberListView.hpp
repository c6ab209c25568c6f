#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTableView>

// The member list's view: a flat table that looks and answers the keyboard as a list of rows
// does (whole rows selected and focused, Home and End go to the first and last row, typing
// finds a row by the start of its login), and that hears of one row in or out without laying
// out the others again.
class MemberListView final : public QTableView {
    Q_OBJECT

public:
    explicit MemberListView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model) override;
    void keyboardSearch(const QString& search) override;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;

private:
    void FitRowHeight();
    void DrawRowFocus();
    void KeepTopRowWhole();

    QString typed_;
    QElapsedTimer sinceTyped_;
};
