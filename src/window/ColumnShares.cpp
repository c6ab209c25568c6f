#include "window/ColumnShares.hpp"

#include <QAbstractItemView>
#include <QEvent>
#include <QHeaderView>
#include <algorithm>

ColumnShares::ColumnShares(QAbstractItemView& view, QHeaderView& header)
    : QObject(&view), viewport_(*view.viewport()), header_(header) {
    header_.setSectionResizeMode(QHeaderView::Interactive);
    header_.setStretchLastSection(false);
    viewport_.installEventFilter(this);
    connect(&header_, &QHeaderView::sectionResized, this, [this] { Dragged(); });
    connect(&header_, &QHeaderView::sectionCountChanged, this, [this] { Fit(); });
    Fit();
}

bool ColumnShares::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &viewport_ && event->type() == QEvent::Resize) {
        Fit();
    }
    return QObject::eventFilter(watched, event);
}

// Equal shares leave the pixels that do not divide evenly to the first columns, one each, as the
// stretch mode did.
void ColumnShares::Fit() {
    const int count = header_.count();
    const int width = viewport_.width();
    if (count == 0 || width <= 0) {
        return;
    }
    fitting_ = true;
    int given = 0;
    for (int column = 0; column < count; ++column) {
        int size = 0;
        if (shares_.size() == static_cast<size_t>(count)) {
            size = column + 1 == count ? width - given : static_cast<int>(shares_[column] * width + 0.5);
        } else {
            size = width / count + (column < width % count ? 1 : 0);
        }
        size = std::max(size, header_.minimumSectionSize());
        header_.resizeSection(column, size);
        given += size;
    }
    fitting_ = false;
}

void ColumnShares::Dragged() {
    if (fitting_) {
        return;
    }
    const int width = viewport_.width();
    if (width <= 0) {
        return;
    }
    shares_.assign(static_cast<size_t>(header_.count()), 0.0);
    for (int column = 0; column < header_.count(); ++column) {
        shares_[static_cast<size_t>(column)] = static_cast<double>(header_.sectionSize(column)) / width;
    }
}
