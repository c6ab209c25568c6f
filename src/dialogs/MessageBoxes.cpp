#include "dialogs/MessageBoxes.hpp"

#include <QGuiApplication>
#include <QMessageBox>

namespace {

bool AskOkCancel(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    // The texts carry logins from the server, which must read as they are, not as markup.
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

}  // namespace

void ShowPlainMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    parent);
    box.exec();
}

bool AskConfirmation(QWidget* parent, const QString& text) {
    return AskOkCancel(parent, QMessageBox::Question, "Confirm", text);
}

bool AskWarning(QWidget* parent, const QString& text) {
    return AskOkCancel(parent, QMessageBox::Warning, "Warning", text);
}
