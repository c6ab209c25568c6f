#pragma once

#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class BulkOperation;

// Asks before a command on several members: how many take part, the first of them, who is
// skipped and why. A delete, and any command on more than ten members, goes on only once the
// count is typed, so that a hasty Enter cannot start it.
class BulkConfirmDialog final : public QDialog {
    Q_OBJECT

public:
    BulkConfirmDialog(const BulkOperation& bulk, QWidget* parent);

    static bool NeedsTypedCount(const BulkOperation& bulk);
    // What the administrator typed as the reason, for the journal; empty when nothing.
    std::string Reason() const;

private:
    void CheckTyped();

    int count_;
    QLineEdit* typed_ = nullptr;
    QLineEdit* reason_ = nullptr;
    QPushButton* go_ = nullptr;
};
