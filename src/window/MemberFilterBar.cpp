#include "window/MemberFilterBar.hpp"

#include <QAbstractItemView>
#include <QBoxLayout>
#include <QComboBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>

#include "window/Shortcuts.hpp"

MemberFilterBar::MemberFilterBar(QAbstractItemView& list, QWidget* parent) : QWidget(parent), list_(list) {
    setObjectName(QStringLiteral("pnFilter"));
    setAutoFillBackground(true);
    // Two lines, so that the text keeps its room in a window as narrow as the first layout's.
    auto* lines = new QVBoxLayout(this);
    lines->setContentsMargins(0, 0, 2, 0);
    lines->setSpacing(2);
    auto* layout = new QHBoxLayout;
    layout->setSpacing(2);
    auto* counts = new QHBoxLayout;
    lines->addLayout(layout);
    lines->addLayout(counts);
    text_ = new QLineEdit(this);
    text_->setObjectName(QStringLiteral("edFilter"));
    text_->setPlaceholderText(QStringLiteral("filter"));
    text_->setAccessibleName(QStringLiteral("Show members holding"));
    presence_ = new QComboBox(this);
    presence_->setObjectName(QStringLiteral("cbFilterPresence"));
    presence_->setAccessibleName(QStringLiteral("Show members"));
    presence_->addItems({QStringLiteral("all"), QStringLiteral("online"), QStringLiteral("offline")});
    protocol_ = new QLineEdit(this);
    protocol_->setObjectName(QStringLiteral("edFilterProtocol"));
    protocol_->setPlaceholderText(QStringLiteral("protocol"));
    protocol_->setAccessibleName(QStringLiteral("Show members with protocol"));
    protocol_->setMaximumWidth(80);
    shown_ = new QLabel(this);
    shown_->setObjectName(QStringLiteral("lbFilterShown"));
    selectShown_ = new QPushButton(QStringLiteral("select all shown"), this);
    selectShown_->setObjectName(QStringLiteral("btSelectAllShown"));
    layout->addWidget(text_, 1);
    layout->addWidget(presence_);
    layout->addWidget(protocol_);
    auto* close = new QPushButton(QStringLiteral("close"), this);
    close->setObjectName(QStringLiteral("btFilterClose"));
    close->setAccessibleName(QStringLiteral("Close the filter and show every member"));
    close->setToolTip(QStringLiteral("Close the filter and show every member (Esc)"));
    layout->addWidget(close);
    counts->addWidget(shown_, 1);
    counts->addWidget(selectShown_);
    selectShown_->setEnabled(false);
    hide();
    const auto changed = [this] { emit FilterChanged(Filter()); };
    connect(text_, &QLineEdit::textChanged, this, changed);
    connect(protocol_, &QLineEdit::textChanged, this, changed);
    connect(presence_, &QComboBox::currentIndexChanged, this, changed);
    connect(selectShown_, &QPushButton::clicked, this, &MemberFilterBar::SelectAllShown);
    connect(close, &QPushButton::clicked, this, &MemberFilterBar::Close);
    connect(AddShortcut(this, "scFilterClose", QKeySequence(Qt::Key_Escape), Qt::WidgetWithChildrenShortcut),
            &QShortcut::activated, this, &MemberFilterBar::Close);
}

// Like the find field, the bar takes the list's bottom while it is shown.
void MemberFilterBar::Open() {
    if (isHidden()) {
        listPlace_ = list_.geometry();
        const int height = sizeHint().height();
        list_.setGeometry(listPlace_.adjusted(0, 0, 0, -height));
        setGeometry(listPlace_.left(), listPlace_.bottom() + 1 - height, listPlace_.width(), height);
        show();
        raise();
    }
    text_->setFocus(Qt::ShortcutFocusReason);
    text_->selectAll();
}

// Every part emptied at once, so the list is made whole in one change rather than three.
void MemberFilterBar::Close() {
    if (isHidden()) {
        return;
    }
    const bool wasOn = !Filter().Empty();
    {
        const QSignalBlocker textQuiet(text_);
        const QSignalBlocker presenceQuiet(presence_);
        const QSignalBlocker protocolQuiet(protocol_);
        text_->clear();
        presence_->setCurrentIndex(0);
        protocol_->clear();
    }
    hide();
    list_.setGeometry(listPlace_);
    list_.setFocus(Qt::OtherFocusReason);
    if (wasOn) {
        emit FilterChanged(Filter());
    }
    emit Closed();
    const QModelIndex current = list_.currentIndex();
    if (current.isValid()) {
        list_.scrollTo(current);
    }
}

MemberFilter MemberFilterBar::Filter() const {
    MemberFilter filter;
    filter.text = text_->text().toStdString();
    filter.protocol = protocol_->text().trimmed().toStdString();
    filter.presence = presence_->currentIndex() == 1   ? MemberFilter::Presence::Online
                      : presence_->currentIndex() == 2 ? MemberFilter::Presence::Offline
                                                       : MemberFilter::Presence::Any;
    return filter;
}

void MemberFilterBar::ShowCounts(int shown, int total) {
    const bool on = !Filter().Empty();
    selectShown_->setEnabled(on);
    shown_->setText(on ? QStringLiteral("%1 of %2 shown").arg(shown).arg(total) : QString());
}
