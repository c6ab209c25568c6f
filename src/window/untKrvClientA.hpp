#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/ClientSocket.hpp"
#include "link/Clock.hpp"
#include "session/ServerSession.hpp"
#include "session/SessionListener.hpp"
#include "settings/PasswordPlace.hpp"
#include "settings/SavedServers.hpp"
#include "settings/ServerReach.hpp"
#include "settings/StoredSettings.hpp"

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
class JournalWindow;
class PasswordKeyring;
class ServersMenu;
class SessionJournal;
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
    // The journal the window writes; nullptr once closed.
    SessionJournal* Journal() { return journal_.get(); }

    // The connection's state after a link event, in the status bar and the grouped buttons.
    void ShowLinkState(LinkEventKind kind);

    // Settings file.
    void LoadSettings();
    void SaveSettings();

    // Connect flow; true when the dialog's data was applied and an attempt started.
    bool RunConnectDialog();

    // The desktop's keyring, which the program's entry hands over; without one the password is
    // kept in the settings file as always. A password the file holds is moved there.
    void UseKeyring(std::unique_ptr<PasswordKeyring> keyring);
    KeyringState KeyringStatus() const { return keyringState_; }
    const ConnectionLog& Log() const { return *log_; }
    // The connection in use as the settings file keeps it (no password).
    StoredSettings ConnectionInUse() const;
    // A saved server, or a recent connection, becomes the connection in use.
    void MakeConnectionInUse(const SavedServer& server);
    const PasswordPolicy& Policy() const { return policy_; }
    void SetRememberPassword(bool remember);
    // The connect button's road: where the keyring keeps the password it is asked first, and the
    // dialog opens from its answer, so that nothing waits for it.
    void StartConnect();

    // How the connection in use reaches its server; TLS is switched from the Servers menu, and
    // a certificate accepted for it is kept here and with the saved server in use.
    const ServerReach& Reach() const { return reach_; }
    void SetReach(const ServerReach& reach);
    void SetTlsOn(bool on);
    // "[USER@]HOST[:PORT]" of the SSH host to tunnel through; empty: plain TCP.
    void SetSshTarget(const std::string& target);
    void ForgetAcceptedCertificates();

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
    void mnuJournalClick();
    void StartJournal(const StoredSettings& stored);
    // The journal names the server by its saved name, where it is a saved server.
    void NameServerInJournal(const std::string& login, const std::string& host, int32_t port);
    void JournalTimer();

    // What the session tells the window.
    void EventArrived(const LinkEvent& event, const ConnectionEffect& control) override;
    void MembersClearing() override;
    void MembersChanged(const RowsEffect& effect, const ServerLineView* report) override;
    void ReportsDelivered() override;
    void StateChanged(LinkEventKind kind) override;
    void NotAdministrator() override;
    void ConnectionOrdered(const ConnectionEffect& order) override;
    void RequestSent(const SentRequest& request) override;
    void RequestSettled(const SettledRequest& request) override;

    // The size the window opens at unless the settings file keeps another; also its smallest.
    QSize DesignedSize() const;
    void RecordLinkEvent(const LinkEvent& event, const ConnectionEffect& control);
    void ShowConnectionState(const std::string& state);
    void ShowCounters();
    void ShowOnlineCount();

    void ShowLinkProtection(const LinkEvent& event);
    void AskToAcceptCertificate(const PeerCertificate& certificate);
    void AcceptCertificate(const PeerCertificate& certificate);
    void StoreWithServersInUse(const ServerReach& reach);

    void MovePasswordToKeyring(const std::string& password);
    void ReadPasswordFromKeyring(std::function<void()> then);
    void KeepPasswordInKeyring(const std::string& password);
    void KeyringFailed(const std::string& what, const std::string& error);
    // Whether the keyring is where the password belongs, whatever the last call to it said.
    bool KeyringWanted() const;
    void ConnectFromDialog();
    PasswordPlace CurrentPasswordPlace() const { return ChoosePasswordPlace(policy_, keyringState_); }

    QString iniFileName_;
    PasswordPolicy policy_;
    std::unique_ptr<PasswordKeyring> keyring_;
    KeyringState keyringState_ = KeyringState::Absent;
    // A password the file held that could not be moved to the keyring stays there until it is.
    std::string passwordLeftInFile_;
    ServersMenu* servers_ = nullptr;
    // The connections accepted since the last save, oldest first, for the file's recent list.
    std::vector<RecentConnection> recentToKeep_;
    bool connectStarting_ = false;
    std::unique_ptr<ServerSession> session_;
    // The session's socket, which the session owns; asked how the link is protected.
    ClientSocket* socket_ = nullptr;
    ServerReach reach_;
    int32_t timerPeriod_ = 10;
    std::unique_ptr<ConnectionLog> log_;
    std::unique_ptr<SessionJournal> journal_;

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
    QTimer* journalTimer_ = nullptr;  // the member counts, and what the journal says of itself
    QPointer<QMessageBox> failureBox_;
    int32_t failuresShown_ = 0;
    TfrmkrvClientAAbout* about_ = nullptr;
    // Goes before the log it listens to; parented to the window only to stay above it.
    std::unique_ptr<ConnectionLogWindow> logWindow_;
    JournalWindow* journalWindow_ = nullptr;
};
