#include "window/BulkConfirmDialog.hpp"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "session/BulkOperation.hpp"
#include "window/BulkEditDialog.hpp"
#include "window/DisplayText.hpp"

namespace {

constexpr size_t kLoginsShown = 5;
constexpr size_t kCountFreeLimit = 10;

QString Logins(const std::vector<std::string>& logins) {
    QStringList shown;
    for (size_t at = 0; at < logins.size() && at < kLoginsShown; ++at) {
        shown << ShortForDisplay(logins[at]);
    }
    QString text = shown.join(QStringLiteral(", "));
    if (logins.size() > kLoginsShown) {
        text += QStringLiteral(" and %1 more").arg(logins.size() - kLoginsShown);
    }
    return text;
}

}  // namespace

bool BulkConfirmDialog::NeedsTypedCount(const BulkOperation& bulk) {
    return bulk.Command().action == BulkAction::Delete || bulk.Targets().size() > kCountFreeLimit;
}

BulkConfirmDialog::BulkConfirmDialog(const BulkOperation& bulk, QWidget* parent)
    : QDialog(parent), count_(static_cast<int>(bulk.Targets().size())) {
    setObjectName(QStringLiteral("dlgBulkConfirm"));
    const QString verb = QString::fromLatin1(BulkActionWord(bulk.Command().action));
    setWindowTitle(QStringLiteral("Confirm: %1 %2 members").arg(verb).arg(count_));
    setMinimumWidth(420);
    auto* layout = new QVBoxLayout(this);
    auto* targets = new QLabel(
        QStringLiteral("About to %1 %2 members: %3.").arg(verb).arg(count_).arg(Logins(bulk.Targets())),
        this);
    targets->setObjectName(QStringLiteral("lbBulkTargets"));
    targets->setWordWrap(true);
    layout->addWidget(targets);
    if (bulk.Command().action == BulkAction::Edit) {
        auto* change =
            new QLabel(QStringLiteral("Change: ") + BulkEditDialog::Words(bulk.Command().edit), this);
        change->setObjectName(QStringLiteral("lbBulkChange"));
        layout->addWidget(change);
    }
    const auto& skipped = bulk.List(BulkOutcome::Skipped);
    if (!skipped.empty()) {
        QStringList lines;
        for (size_t at = 0; at < skipped.size() && at < kLoginsShown; ++at) {
            lines << QStringLiteral("%1: %2").arg(ShortForDisplay(skipped[at].login),
                                                  BytesToDisplay(skipped[at].reason));
        }
        if (skipped.size() > kLoginsShown) {
            lines << QStringLiteral("and %1 more").arg(skipped.size() - kLoginsShown);
        }
        auto* skips =
            new QLabel(QStringLiteral("Skipped (%1):\n").arg(skipped.size()) + lines.join('\n'), this);
        skips->setObjectName(QStringLiteral("lbBulkSkipped"));
        skips->setWordWrap(true);
        layout->addWidget(skips);
    }
    auto* buttons = new QDialogButtonBox(this);
    go_ = buttons->addButton(QStringLiteral("&%1 %2").arg(verb).arg(count_), QDialogButtonBox::AcceptRole);
    go_->setObjectName(QStringLiteral("btnBulkGo"));
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("btnBulkCancel"));
    cancel->setDefault(true);
    if (NeedsTypedCount(bulk)) {
        auto* ask = new QLabel(QStringLiteral("Type %1 to go on:").arg(count_), this);
        typed_ = new QLineEdit(this);
        typed_->setObjectName(QStringLiteral("edBulkCount"));
        typed_->setAccessibleName(ask->text());
        ask->setBuddy(typed_);
        layout->addWidget(ask);
        layout->addWidget(typed_);
        connect(typed_, &QLineEdit::textChanged, this, &BulkConfirmDialog::CheckTyped);
        typed_->setFocus();
    }
    auto* why = new QLabel(QStringLiteral("&Reason (optional, kept in the journal):"), this);
    reason_ = new QLineEdit(this);
    reason_->setObjectName(QStringLiteral("edBulkReason"));
    reason_->setAccessibleName(QStringLiteral("Reason, kept in the journal"));
    why->setBuddy(reason_);
    layout->addWidget(why);
    layout->addWidget(reason_);
    go_->setEnabled(typed_ == nullptr && count_ > 0);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

std::string BulkConfirmDialog::Reason() const {
    return reason_->text().trimmed().toStdString();
}

void BulkConfirmDialog::CheckTyped() {
    go_->setEnabled(count_ > 0 && typed_->text().trimmed() == QString::number(count_));
}
