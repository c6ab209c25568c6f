#pragma once

#include <QColor>
#include <QLineEdit>

#include "window/MemberSearchIndex.hpp"

class QKeyEvent;
class QTreeView;
class MemberListModel;

// The find field over the bottom of the member list: typing selects the first member whose
// login, protocols or user bots hold the text; Enter and "next" go on, "previous" goes back,
// both wrapping; Escape hides the field and leaves the selection for the popup's commands.
class MemberFindBar final : public QLineEdit {
    Q_OBJECT

public:
    static inline const QColor kNoMatchColor{255, 170, 170};

    MemberFindBar(QTreeView& list, const MemberListModel& rows, QWidget* parent);

    void Open();
    void Close();
    void Next();
    void Previous();
    bool NoMatch() const { return noMatch_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FindFirst();
    // Looks from `from` by `step`; selects what it finds, or shows that nothing matches.
    void FindFrom(int from, int step);
    int CurrentRow() const;
    void ShowNoMatch(bool noMatch);

    QTreeView& list_;
    const MemberListModel& rows_;
    MemberSearchIndex index_;
    QRect listPlace_;
    bool noMatch_ = false;
};
