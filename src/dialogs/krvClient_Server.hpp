#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The server connection dialog: the link's host, port, login, password and reconnect schedule.
// It holds no logic beyond its two buttons; the main window fills it, shows it and reads it.
class TfrmKrvClient_Server : public QDialog {
    Q_OBJECT

public:
    explicit TfrmKrvClient_Server(QWidget* parent = nullptr);

    QLabel* lbHead = nullptr;
    QLabel* lbText = nullptr;
    QLineEdit* edHost = nullptr;
    QLineEdit* edPort = nullptr;
    QLineEdit* edLogin = nullptr;
    QLineEdit* edPassword = nullptr;
    QLineEdit* edDelay = nullptr;
    QLineEdit* edAttempts = nullptr;
    QLineEdit* edPause = nullptr;
    QLineEdit* edCycles = nullptr;
    QCheckBox* cbAutoReconnectOn = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

private:
    void Button1Click();
    void Button2Click();
};
