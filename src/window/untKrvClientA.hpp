#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "link/ClientSocket.hpp"
#include "link/Clock.hpp"
#include "link/LinkEvent.hpp"
#include "link/TkvClient.hpp"
#include "members/TkvCLDataCollection.hpp"
#include "protocol/ServerReports.hpp"

class QAction;
class QButtonGroup;
class QCheckBox;
class QCloseEvent;
class QLabel;
class QMenu;
class QMessageBox;
class QPoint;
class QTimer;
class QToolButton;
class MemberListView;
class MemberListModel;
class CaptionKeysAhead;
class MemberFindBar;
class ConnectionLog;
class ConnectionLogWindow;
class TfrmkrvClientAAbout;

// The program's main window: owns the server link and the member list, shows the members and
// the connection state, and offers the administration commands in the list's popup menu.
class TfrmKrvClientA : public QMainWindow {
    Q_OBJECT

public:
    // socket: the link's socket, which the program's entry assembles; settingsPath: the settings
    // file (default: the program's path with ".ini"); clock: the link's clock. The last two are
    // seams for tests.
    explicit TfrmKrvClientA(std::unique_ptr<ClientSocket> socket, const QString& settingsPath = {},
                            const Clock& clock = SteadyClock::Instance(), QWidget* parent = nullptr);
    ~TfrmKrvClientA() override;

    TkvClient& Link() { return *link_; }
    TkvCLDataCollection& Members() { return *members_; }
    int32_t OnlineCount() const { return onlineCount_; }
    int32_t MemberCount() const { return members_->Count(); }
    int32_t TimerPeriod() const { return timerPeriod_; }
    const QString& IniFileName() const { return iniFileName_; }

    // Link events and server reports.
    void ClientEvent(const LinkEvent& event);
    void ApplyClientEvent(const LinkEvent& event);

    void RefreshMembers();
    void RefreshMember(const std::string& login);

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
    void FormCreate(std::unique_ptr<ClientSocket> socket, const QString& settingsPath, const Clock& clock);
    void FormClose();
    void CreateControls();
    void CreateMemberList(QWidget* client);
    void CreateStatusBar();
    void CreateMenus();
    void CreateMemberCommands();
    void CreateAboutBox();
    // The find field, the connection log and the keys for the commands.
    void CreateExtras();
    void CreateFindBar();
    void CreateConnectionLogEntry();
    void CreateListKeys();
    void PopupAtCurrentRow();
    void mnuConnectionLogClick();
    void RecordLinkEvent(const LinkEvent& event);

    void btConnectClick();
    void btDisconnectClick();
    void cbAutoReconnectClick();
    void Timer1Timer();
    void ScheduleTimer();
    void WakeTimer();
    void mnuExitClick();
    void mnuHelpAboutClick();
    void puMembersPopup(const QPoint& position);

    // Administration commands of the member list's popup menu.
    void mnuAddClientClick();
    void mnuEditClientClick();
    void mnuDeleteClientClick();
    void mnuExpelClientClick();
    void mnuRequestClientLogoffClick();
    void mnuRequestAllLogoffExclClick();
    void mnuRequestAllLogoffIncClick();
    void mnuRequestClientReconnectClick();
    void mnuRequestAllReconnecteExcClick();
    void mnuRequestAllReconnectInclClick();

    using AskBox = bool (*)(QWidget* parent, const QString& text);
    std::optional<std::string> AskAboutOnlineMember(AskBox ask, const QString& question);
    bool AskAboutEveryone(AskBox ask, const QString& question, bool othersOnly);

    void ShowRowsChange(const RowsEffect& effect);
    void ObeyConnectionControl(const ConnectionEffect& effect);
    void ObeyServerReconnect(const ServerReconnectOrder& order);
    void ShowConnectionState(const std::string& state);
    void ShowCounters();
    std::string TopRowCaption() const;
    void RestoreTopRow(const std::string& caption);
    void FindTopRowsPlaceAhead();
    void ClearMembers();
    void InsertMemberRow(const std::string& login);
    void RemoveMemberRow(const std::string& caption);
    void ForgetSelectionAsARebuildDoes();
    bool RowInSight(int row) const;
    std::string ReconnectArguments() const;

    QString iniFileName_;
    std::unique_ptr<TkvClient> link_;
    std::unique_ptr<TkvCLDataCollection> members_;
    std::unique_ptr<ServerReports> reports_;
    std::unique_ptr<CaptionKeysAhead> captionsAhead_;
    int32_t onlineCount_ = 0;
    int32_t timerPeriod_ = 10;

    // Controls, owned by the window through Qt's parent ownership.
    QCheckBox* cbAutoReconnect_ = nullptr;
    QToolButton* btConnect_ = nullptr;
    QToolButton* btDisconnect_ = nullptr;
    QButtonGroup* connectGroup_ = nullptr;
    MemberListView* ListView1_ = nullptr;
    MemberListModel* model_ = nullptr;
    QLabel* onlinePanel_ = nullptr;       // status panel 0
    QLabel* memberCountPanel_ = nullptr;  // status panel 1
    QLabel* connectionPanel_ = nullptr;   // status panel 2
    QTimer* Timer1_ = nullptr;
    QTimer* topRowAhead_ = nullptr;
    QMenu* puMembers_ = nullptr;
    QPointer<QMessageBox> failureBox_;
    int32_t failuresShown_ = 0;

    // Where and as whom the link connected before a server's reconnection order redirected it;
    // unset until the first order, cleared when the administrator connects by the dialog.
    struct StoredConnection {
        std::string host;
        int32_t port = 0;
        std::string login;
        std::string password;
    };
    std::optional<StoredConnection> beforeRedirect_;
    TfrmkrvClientAAbout* about_ = nullptr;
    MemberFindBar* findBar_ = nullptr;
    std::unique_ptr<ConnectionLog> log_;
    // Goes before the log it listens to; parented to the window only to stay above it.
    std::unique_ptr<ConnectionLogWindow> logWindow_;
};
