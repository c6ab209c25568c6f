#pragma once

#include <QToolButton>

// A button that stays down while the state it stands for holds (connected, disconnected), set
// by the window and not by the button itself. Qt offers a screen reader only "toggle" for a
// button that can stay down, which flips it without a click and so without doing anything; a
// reader presses this one as a click does.
class StateButton final : public QToolButton {
    Q_OBJECT

public:
    explicit StateButton(QWidget* parent = nullptr);
};
