#pragma once

#include <QDialog>

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

private:
    void CheckTyped();

    int count_;
    QLineEdit* typed_ = nullptr;
    QPushButton* go_ = nullptr;
};
