#include "dialogs/AskpassDialog.hpp"

#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

QString AskForSsh(const QString& prompt, QWidget* parent) {
    // ssh's host-key question ends with "(yes/no/[fingerprint])?".
    if (prompt.contains(QLatin1String("(yes/no"))) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("SSH"), prompt,
                        QMessageBox::Yes | QMessageBox::No, parent);
        box.setObjectName(QStringLiteral("dlgAskpassConfirm"));
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? QStringLiteral("yes") : QStringLiteral("no");
    }
    QInputDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("dlgAskpass"));
    dialog.setWindowTitle(QStringLiteral("SSH"));
    dialog.setLabelText(prompt);
    dialog.setTextEchoMode(QLineEdit::Password);
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.textValue();
}
