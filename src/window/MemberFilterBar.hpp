#pragma once

#include <QRect>
#include <QWidget>

#include "session/MemberFilter.hpp"

class QAbstractItemView;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The bar that narrows the member list: a text held by the login, protocols or user bots,
// online or offline, and one protocol the member has. While a filter is on it says how many
// of all the members are shown, and selects every shown row on request. Its close button, and
// Escape while it has the focus, hide it and clear the filter, so the list is whole again.
class MemberFilterBar final : public QWidget {
    Q_OBJECT

public:
    MemberFilterBar(QAbstractItemView& list, QWidget* parent);

    void Open();
    void Close();
    MemberFilter Filter() const;
    void ShowCounts(int shown, int total);

signals:
    void FilterChanged(const MemberFilter& filter);
    void SelectAllShown();
    // The bar was hidden, its filter emptied.
    void Closed();

private:
    QAbstractItemView& list_;
    QLineEdit* text_ = nullptr;
    QComboBox* presence_ = nullptr;
    QLineEdit* protocol_ = nullptr;
    QLabel* shown_ = nullptr;
    QPushButton* selectShown_ = nullptr;
    QRect listPlace_;
};
