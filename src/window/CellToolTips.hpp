#pragma once

#include <QObject>

class QAbstractItemView;
class QEvent;
class QWidget;
class QModelIndex;

// Shows a cell's whole text as its tooltip when the column is too narrow for it, and none
// when the text fits. Installed on the view's viewport; owned by the view.
class CellToolTips final : public QObject {
    Q_OBJECT

public:
    explicit CellToolTips(QAbstractItemView& view);

    // True when the cell at this index shows less than its whole text.
    bool CellIsCut(const QModelIndex& index) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractItemView& view_;
    QWidget* viewport_;
};
