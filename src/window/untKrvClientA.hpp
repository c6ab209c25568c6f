#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QSize>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "link/ClientSocket.hpp"
#include "link/Clock.hpp"
#include "session/ServerSession.hpp"
#include "session/SessionListener.hpp"

class QCheckBox;
class QCloseEvent;
class QLabel;
class QMessageBox;
class QTimer;
class QToolButton;
class ConnectionLog;
class ConnectionLogWindow;
class MemberCommands;
class MemberListPane;
class TfrmkrvClientAAbout;

// The program's main window: drives one session with the server, shows its members and the
// connection state, and offers the administration commands in the list's popup menu.
class TfrmKrvClientA : public QMainWindow, private SessionListener {
    Q_OBJECT

public:
    // socket: the link's socket, which the program's entry assembles; settingsPath: the settings
    // file (default: the program's path with ".ini"); clock: the link's clock. The last two are
    // seams for tests.
    explicit TfrmKrvClientA(std::unique_ptr<ClientSocket> socket, const QString& settingsPath = {},
                            const Clock& clock = SteadyClock::Instance(), QWidget* parent = nullptr);
    ~TfrmKrvClientA() override;

    const ServerSession& Session() const { return *session_; }
    ServerSession& Session() { return *session_; }
    int32_t OnlineCount() const;
    int32_t MemberCount() const { return session_->Members().Count(); }
    int32_t TimerPeriod() const { return timerPeriod_; }
    const QString& IniFileName() const { return iniFileName_; }

    // The connection's state after a link event, in the status bar and the grouped buttons.
    void ShowLinkState(LinkEventKind kind);

    // Settings file.
    void LoadSettings();
    void SaveSettings();

    // Connect flow; true when the dialog's data was applied and an attempt started.
    bool RunConnectDialog();

    // The socket's failures that no link event carries (a failed name lookup), in a box over
    // the window. The box runs no loop of its own and there is never more than one: failures
    // while it is open are counted in its text.
    void ReportSocketFailure(const std::string& message);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate(const QString& settingsPath);
    void FormClose();
    void CreateControls();
    void CreateStatusBar();
    void CreateMenus();

    void btConnectClick();
    void btDisconnectClick();
    void cbAutoReconnectClick();
    void Timer1Timer();
    void ScheduleTimer();
    void WakeTimer();
    void mnuExitClick();
    void mnuHelpAboutClick();
    void mnuConnectionLogClick();

    // What the session tells the window.
    void EventArrived(const LinkEvent& event, const ConnectionEffect& control) override;
    void MembersClearing() override;
    void MembersChanged(const RowsEffect& effect, const ServerLineView* report) override;
    void StateChanged(LinkEventKind kind) override { ShowLinkState(kind); }

    // The size the window opens at unless the settings file keeps another; also its smallest.
    QSize DesignedSize() const;
    void RecordLinkEvent(const LinkEvent& event, const ConnectionEffect& control);
    void ShowConnectionState(const std::string& state);
    void ShowCounters();
    void ShowOnlineCount();

    QString iniFileName_;
    std::unique_ptr<ServerSession> session_;
    int32_t timerPeriod_ = 10;
    std::unique_ptr<ConnectionLog> log_;

    // Controls, owned by the window through Qt's parent ownership.
    QCheckBox* cbAutoReconnect_ = nullptr;
    QToolButton* btConnect_ = nullptr;
    QToolButton* btDisconnect_ = nullptr;
    MemberListPane* list_ = nullptr;
    MemberCommands* commands_ = nullptr;
    QLabel* onlinePanel_ = nullptr;       // status panel 0
    QLabel* memberCountPanel_ = nullptr;  // status panel 1
    QLabel* connectionPanel_ = nullptr;   // status panel 2
    QTimer* Timer1_ = nullptr;
    QPointer<QMessageBox> failureBox_;
    int32_t failuresShown_ = 0;
    TfrmkrvClientAAbout* about_ = nullptr;
    // Goes before the log it listens to; parented to the window only to stay above it.
    std::unique_ptr<ConnectionLogWindow> logWindow_;
};
