#pragma once

#include <optional>

#include <QColor>
#include <QLineEdit>
#include <QTimer>

#include "rows/MemberSearchIndex.hpp"

class QKeyEvent;
class QAbstractItemView;
class MemberListModel;

// The find field over the bottom of the member list: typing selects the first member whose
// login, protocols or user bots hold the text; Enter and "next" go on, "previous" goes back,
// both wrapping; Escape hides the field and leaves the selection for the popup's commands.
class MemberFindBar final : public QLineEdit {
    Q_OBJECT

public:
    static inline const QColor kNoMatchColor{255, 170, 170};
    // Rows folded into the search index per idle slice: a few milliseconds, so typing and
    // the list never wait on it.
    static constexpr int kRowsPerIndexSlice = 20000;

    MemberFindBar(QAbstractItemView& list, const MemberListModel& rows, QWidget* parent);

    void Open();
    void Close();
    void Next();
    void Previous();
    bool NoMatch() const { return noMatch_; }
    // Whether the search index holds every row, so that a search is one pass over it.
    bool Indexed() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FindFirst();
    // Looks from `from` by `step`; selects what it finds, or shows that nothing matches. A
    // search the index cannot answer yet is taken up again once the index is whole.
    void FindFrom(int from, int step);
    void ShowFound(int row);
    int CurrentRow() const;
    void ShowNoMatch(bool noMatch);
    // Once the field has been used, the search index is kept whole in idle slices.
    void KeepIndexing();

    QAbstractItemView& list_;
    const MemberListModel& rows_;
    MemberSearchIndex index_;
    QTimer indexing_;
    bool used_ = false;
    struct Walk {
        int from;
        int step;
    };
    std::optional<Walk> waiting_;
    QRect listPlace_;
    bool noMatch_ = false;
};
