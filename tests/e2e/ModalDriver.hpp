#pragma once

#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <functional>

class QWidget;

// Acts on the next modal dialog or message box while the code under test sits in its exec():
// arm it, then trigger the command that opens the box.
class ModalDriver {
public:
    ModalDriver();

    void OnNextModal(std::function<void(QWidget*)> action);
    // True once the armed action ran; the objectName of the box it ran on.
    bool Handled() const { return handled_; }
    const QString& HandledName() const { return handledName_; }

    static void ClickMessageBoxButton(QWidget* box, QMessageBox::StandardButton button);
    static void SetField(QWidget* dialog, const char* name, const QString& text);
    static QString Field(QWidget* dialog, const char* name);
    static void ClickButton(QWidget* dialog, const char* name);
    // The connection dialog's fields for the demo server's administrator on 127.0.0.1.
    static void FillAdminConnection(QWidget* dialog, const QString& port);

private:
    void Poll();

    QTimer poll_;
    std::function<void(QWidget*)> action_;
    bool handled_ = false;
    QString handledName_;
};
