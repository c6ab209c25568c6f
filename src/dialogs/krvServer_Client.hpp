#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The client account dialog: login, password, protocols and user bots of one account. The
// add, edit and delete commands fill it, set each field's look and read it back after "accept".
class TfrmServer_Client : public QDialog {
    Q_OBJECT

public:
    explicit TfrmServer_Client(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLabel* lbText = nullptr;
    QLineEdit* edLogin = nullptr;
    QLineEdit* edPassword = nullptr;
    QLineEdit* edProtocols = nullptr;
    QLineEdit* edUserBots = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

private:
    void Button1Click();
    void Button2Click();
};
