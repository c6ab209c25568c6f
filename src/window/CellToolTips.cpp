#include "window/CellToolTips.hpp"

#include <QAbstractItemDelegate>
#include <QAbstractItemView>
#include <QHelpEvent>
#include <QStyleOptionViewItem>
#include <QToolTip>

CellToolTips::CellToolTips(QAbstractItemView& view)
    : QObject(&view), view_(view), viewport_(view.viewport()) {
    setObjectName(QStringLiteral("CellToolTips"));
    viewport_->installEventFilter(this);
}

bool CellToolTips::CellIsCut(const QModelIndex& index) const {
    if (!index.isValid() || view_.itemDelegateForIndex(index) == nullptr) {
        return false;
    }
    QStyleOptionViewItem option;
    option.initFrom(view_.viewport());
    option.font = view_.font();
    option.decorationSize = view_.iconSize();
    option.rect = view_.visualRect(index);
    return view_.itemDelegateForIndex(index)->sizeHint(option, index).width() > option.rect.width();
}

bool CellToolTips::eventFilter(QObject* watched, QEvent* event) {
    // The viewport's last events arrive while the view is being destroyed: the view is not
    // asked anything before the event is known to be a tooltip's.
    if (event->type() != QEvent::ToolTip || watched != viewport_) {
        return QObject::eventFilter(watched, event);
    }
    auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = view_.indexAt(help->pos());
    if (CellIsCut(index)) {
        QToolTip::showText(help->globalPos(), index.data().toString(), view_.viewport(),
                           view_.visualRect(index));
    } else {
        QToolTip::hideText();
        event->ignore();
    }
    return true;
}
