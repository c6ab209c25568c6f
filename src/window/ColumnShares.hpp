#pragma once

#include <QObject>
#include <vector>

class QAbstractItemView;
class QHeaderView;
class QWidget;

// The list's columns share its width: equally, exactly as the header's stretch mode shares it,
// until the administrator drags a column's edge; from then on in the proportions the drag left.
// Either way a wider window gives every column more room.
class ColumnShares final : public QObject {
    Q_OBJECT

public:
    ColumnShares(QAbstractItemView& view, QHeaderView& header);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Fit();
    void Dragged();

    QWidget& viewport_;
    QHeaderView& header_;
    std::vector<double> shares_;  // empty while the columns share equally
    bool fitting_ = false;
};
