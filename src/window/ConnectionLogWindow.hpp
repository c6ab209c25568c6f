#pragma once

#include <QWidget>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;
class QKeyEvent;
class QShowEvent;
class ConnectionLog;
struct ConnectionLogEntry;

// A window beside the main one that shows the connection log as it grows. It never takes
// the focus from the window the administrator works in.
class ConnectionLogWindow final : public QWidget {
    Q_OBJECT

public:
    // log must outlive the window's use of it; the window listens to it until destroyed.
    ConnectionLogWindow(ConnectionLog& log, QWidget* parent);
    ~ConnectionLogWindow() override;

protected:
    // The passwords are hidden again whenever the window opens.
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Append(const ConnectionLogEntry& entry);
    void ShowEntries();
    void ClearClick();

    ConnectionLog& log_;
    QPlainTextEdit* text_ = nullptr;
    QCheckBox* cbShowLines_ = nullptr;
    QCheckBox* cbShowPasswords_ = nullptr;
    QPushButton* btClear_ = nullptr;
    QPushButton* btClose_ = nullptr;
};
