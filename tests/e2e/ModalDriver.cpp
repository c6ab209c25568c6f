#include "ModalDriver.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <utility>

ModalDriver::ModalDriver() {
    poll_.setInterval(10);
    QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(); });
}

void ModalDriver::OnNextModal(std::function<void(QWidget*)> action) {
    action_ = std::move(action);
    handled_ = false;
    handledName_.clear();
    poll_.start();
}

void ModalDriver::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) {
        return;
    }
    poll_.stop();
    handledName_ = modal->objectName();
    handled_ = true;
    std::exchange(action_, nullptr)(modal);
}

void ModalDriver::ClickMessageBoxButton(QWidget* box, QMessageBox::StandardButton button) {
    auto* messageBox = qobject_cast<QMessageBox*>(box);
    if (messageBox == nullptr || messageBox->button(button) == nullptr) {
        QFAIL("expected a message box with that button");
        return;
    }
    messageBox->button(button)->click();
}

void ModalDriver::SetField(QWidget* dialog, const char* name, const QString& text) {
    auto* field = dialog->findChild<QLineEdit*>(QLatin1String(name));
    QVERIFY2(field != nullptr, name);
    field->setText(text);
}

QString ModalDriver::Field(QWidget* dialog, const char* name) {
    auto* field = dialog->findChild<QLineEdit*>(QLatin1String(name));
    return field != nullptr ? field->text() : QString();
}

void ModalDriver::FillAdminConnection(QWidget* dialog, const QString& port) {
    SetField(dialog, "edHost", QStringLiteral("127.0.0.1"));
    SetField(dialog, "edPort", port);
    SetField(dialog, "edLogin", QStringLiteral("admin"));
    SetField(dialog, "edPassword", QStringLiteral("admin"));
}

void ModalDriver::ClickButton(QWidget* dialog, const char* name) {
    auto* button = dialog->findChild<QAbstractButton*>(QLatin1String(name));
    QVERIFY2(button != nullptr, name);
    button->click();
}
