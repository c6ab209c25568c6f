#include "window/BulkEditDialog.hpp"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The choices in the order the combo lists them.
enum Change { AddProtocol, RemoveProtocol, AddUserBot, RemoveUserBot };

}  // namespace

BulkEditDialog::BulkEditDialog(int selected, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("dlgBulkEdit"));
    setWindowTitle(QStringLiteral("Edit %1 members").arg(selected));
    setMinimumWidth(360);
    auto* layout = new QVBoxLayout(this);
    auto* about = new QLabel(QStringLiteral("Change every selected account by one name; every other "
                                            "field of each account stays as it is."),
                             this);
    about->setObjectName(QStringLiteral("lbBulkEdit"));
    about->setWordWrap(true);
    layout->addWidget(about);
    auto* form = new QFormLayout;
    change_ = new QComboBox(this);
    change_->setObjectName(QStringLiteral("cbBulkEditChange"));
    change_->addItems({QStringLiteral("add protocol"), QStringLiteral("remove protocol"),
                       QStringLiteral("add user bot"), QStringLiteral("remove user bot")});
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("edBulkEditName"));
    auto* changeLabel = new QLabel(QStringLiteral("&Change:"), this);
    changeLabel->setBuddy(change_);
    auto* nameLabel = new QLabel(QStringLiteral("&Name:"), this);
    nameLabel->setBuddy(name_);
    change_->setAccessibleName(QStringLiteral("Change"));
    name_->setAccessibleName(QStringLiteral("Protocol or user bot"));
    form->addRow(changeLabel, change_);
    form->addRow(nameLabel, name_);
    layout->addLayout(form);
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("lbBulkEditProblem"));
    layout->addWidget(problem_);
    auto* buttons = new QDialogButtonBox(this);
    go_ = buttons->addButton(QStringLiteral("&Next…"), QDialogButtonBox::AcceptRole);
    go_->setObjectName(QStringLiteral("btnBulkEditNext"));
    go_->setDefault(true);
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("btnBulkEditCancel"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(name_, &QLineEdit::textChanged, this, &BulkEditDialog::CheckName);
    CheckName();
    name_->setFocus();
}

// A protocol or user bot list is separated by blanks and commas, so a name holding one would
// be two names.
void BulkEditDialog::CheckName() {
    const QString name = name_->text().trimmed();
    const bool several =
        name.contains(QLatin1Char(' ')) || name.contains(QLatin1Char(',')) || name.contains(QLatin1Char(';'));
    problem_->setText(several ? QStringLiteral("One name only: no blank, comma or semicolon.") : QString());
    problem_->setVisible(several);
    go_->setEnabled(!name.isEmpty() && !several);
}

BulkEdit BulkEditDialog::Edit() const {
    const std::string name = name_->text().trimmed().toStdString();
    BulkEdit edit;
    switch (change_->currentIndex()) {
        case AddProtocol:
            edit.addProtocol = name;
            break;
        case RemoveProtocol:
            edit.removeProtocol = name;
            break;
        case AddUserBot:
            edit.addUserBot = name;
            break;
        default:
            edit.removeUserBot = name;
            break;
    }
    return edit;
}

QString BulkEditDialog::Words(const BulkEdit& edit) {
    QStringList words;
    const auto add = [&words](const std::optional<std::string>& name, const char* change) {
        if (name) {
            words << QStringLiteral("%1 %2").arg(QLatin1String(change), QString::fromStdString(*name));
        }
    };
    add(edit.addProtocol, "add protocol");
    add(edit.removeProtocol, "remove protocol");
    add(edit.addUserBot, "add user bot");
    add(edit.removeUserBot, "remove user bot");
    return words.join(QStringLiteral(", "));
}

std::optional<BulkEdit> BulkEditDialog::Ask(int selected, QWidget* parent) {
    BulkEditDialog dialog(selected, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Edit();
}
