#include "window/MemberFindBar.hpp"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPalette>

#include "rows/MemberSearch.hpp"
#include "window/DisplayText.hpp"
#include "window/MemberListModel.hpp"

MemberFindBar::MemberFindBar(QAbstractItemView& list, const MemberListModel& rows, QWidget* parent)
    : QLineEdit(parent), list_(list), rows_(rows) {
    setObjectName(QStringLiteral("edFind"));
    setPlaceholderText(QStringLiteral("find a member"));
    // The placeholder is gone once something is typed; a reader keeps hearing what the field is.
    setAccessibleName(QStringLiteral("Find a member"));
    setClearButtonEnabled(false);
    hide();
    connect(this, &QLineEdit::textEdited, this, [this] { FindFirst(); });
    connect(&rows_, &QAbstractItemModel::modelReset, this, [this] {
        index_.InvalidateFrom(rows_.FirstRowOfLastReset());
        KeepIndexing();
    });
    const auto fromRow = [this](const QModelIndex&, int first) {
        index_.InvalidateFrom(first);
        KeepIndexing();
    };
    connect(&rows_, &QAbstractItemModel::rowsInserted, this, fromRow);
    connect(&rows_, &QAbstractItemModel::rowsRemoved, this, fromRow);
    connect(&rows_, &QAbstractItemModel::layoutChanged, this, [this] {
        index_.Invalidate();
        KeepIndexing();
    });
    connect(&rows_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& first, const QModelIndex& last) {
                index_.MarkChanged(first.row(), last.row());
                KeepIndexing();
            });
    indexing_.setSingleShot(true);
    indexing_.setInterval(0);
    connect(&indexing_, &QTimer::timeout, this, [this] {
        // A waiting search is taken up once, when the index is whole: each retry would search
        // all of it again.
        if (index_.Extend(rows_.Rows(), kRowsPerIndexSlice) && waiting_) {
            FindFrom(waiting_->from, waiting_->step);
        }
        KeepIndexing();
    });
}

// The list gives up the field's height while it is shown, so a found row is never under it.
void MemberFindBar::Open() {
    used_ = true;
    KeepIndexing();
    if (isHidden()) {
        listPlace_ = list_.geometry();
        const int height = sizeHint().height();
        list_.setGeometry(listPlace_.adjusted(0, 0, 0, -height));
        setGeometry(listPlace_.left(), listPlace_.bottom() + 1 - height, listPlace_.width(), height);
        show();
        raise();
    }
    setFocus(Qt::ShortcutFocusReason);
    selectAll();
}

void MemberFindBar::Close() {
    waiting_.reset();
    if (isHidden()) {
        return;
    }
    hide();
    list_.setGeometry(listPlace_);
    list_.setFocus(Qt::OtherFocusReason);
    const QModelIndex current = list_.currentIndex();
    if (current.isValid()) {
        list_.scrollTo(current);
    }
}

void MemberFindBar::Next() {
    FindFrom(CurrentRow() + 1, +1);
}

void MemberFindBar::Previous() {
    const int current = CurrentRow();
    FindFrom(current < 0 ? -1 : current - 1, -1);
}

void MemberFindBar::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (event->modifiers() & Qt::ShiftModifier) {
                Previous();
            } else {
                Next();
            }
            return;
        case Qt::Key_Escape:
            Close();
            return;
        default:
            QLineEdit::keyPressEvent(event);
    }
}

bool MemberFindBar::Indexed() const {
    return index_.Covers(rows_.Rows());
}

void MemberFindBar::FindFirst() {
    if (text().isEmpty()) {
        waiting_.reset();
        ShowNoMatch(false);
        return;
    }
    FindFrom(0, +1);
}

void MemberFindBar::FindFrom(int from, int step) {
    waiting_.reset();
    const MemberSearch search(DisplayToBytes(text()));
    if (search.Empty()) {
        return;
    }
    std::optional<int> row = index_.FindFrom(rows_.Rows(), search, from, step);
    if (!row) {
        // One slice now answers at once in all but the longest lists.
        index_.Extend(rows_.Rows(), kRowsPerIndexSlice);
        row = index_.FindFrom(rows_.Rows(), search, from, step);
    }
    if (!row) {
        waiting_ = Walk{from, step};
        KeepIndexing();
        return;
    }
    ShowNoMatch(*row < 0);
    if (*row >= 0) {
        ShowFound(*row);
    }
}

void MemberFindBar::ShowFound(int row) {
    const QModelIndex found = rows_.index(row, 0);
    list_.selectionModel()->setCurrentIndex(found,
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list_.scrollTo(found);
}

int MemberFindBar::CurrentRow() const {
    const QModelIndex current = list_.currentIndex();
    return current.isValid() ? current.row() : -1;
}

void MemberFindBar::KeepIndexing() {
    if (used_ && !index_.Covers(rows_.Rows()) && !indexing_.isActive()) {
        indexing_.start();
    }
}

void MemberFindBar::ShowNoMatch(bool noMatch) {
    noMatch_ = noMatch;
    QPalette look = palette();
    look.setColor(QPalette::Base, noMatch ? kNoMatchColor : QPalette().color(QPalette::Base));
    setPalette(look);
}
