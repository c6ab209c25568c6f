#pragma once

#include <QDialog>
#include <optional>

#include "session/BulkCommand.hpp"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Chooses the edit of many accounts: add or remove one protocol, or add or remove one user bot.
// Every other field of each account stays as the server listed it.
class BulkEditDialog final : public QDialog {
    Q_OBJECT

public:
    BulkEditDialog(int selected, QWidget* parent);

    // The chosen edit once accepted; the name as typed, blanks at its ends dropped.
    BulkEdit Edit() const;

    // "add protocol chat", for the confirmation.
    static QString Words(const BulkEdit& edit);

    // Asks; nothing when the administrator cancels.
    static std::optional<BulkEdit> Ask(int selected, QWidget* parent);

private:
    void CheckName();

    QComboBox* change_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLabel* problem_ = nullptr;
    QPushButton* go_ = nullptr;
};
