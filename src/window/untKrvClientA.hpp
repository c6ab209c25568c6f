#pragma once

#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>

#include "link/ClientSocket.hpp"
#include "link/Clock.hpp"
#include "link/TkvClient.hpp"
#include "members/TkvCLDataCollection.hpp"

class QAction;
class QButtonGroup;
class QCheckBox;
class QCloseEvent;
class QLabel;
class QMenu;
class QPoint;
class QTimer;
class QToolButton;
class QTreeView;
class MemberListModel;
class TfrmkrvClientAAbout;

// The program's main window: owns the server link and the member list, shows the members and
// the connection state, and offers the administration commands in the list's popup menu.
class TfrmKrvClientA : public QMainWindow {
    Q_OBJECT

public:
    // socket: the link's socket (default: a TCP socket); settingsPath: the settings file
    // (default: the program's path with ".ini"); clock: the link's clock. All are seams for tests.
    explicit TfrmKrvClientA(std::unique_ptr<ClientSocket> socket = nullptr, const QString& settingsPath = {},
                            const Clock& clock = SteadyClock::Instance(), QWidget* parent = nullptr);
    ~TfrmKrvClientA() override;

    TkvClient& Link() { return *link_; }
    TkvCLDataCollection& Members() { return *members_; }
    int32_t OnlineCount() const { return onlineCount_; }
    int32_t MemberCount() const { return members_->Count(); }
    int32_t TimerPeriod() const { return timerPeriod_; }
    const QString& IniFileName() const { return iniFileName_; }

    // Link events and server reports.
    void ClientEvent(uint8_t kind, const std::string& name, const std::string& text);
    void ApplyClientEvent(uint8_t kind, const std::string& name, const std::string& text);

    void RefreshMembers();
    void RefreshMember(const std::string& login);

    // Settings file.
    void LoadSettings();
    void SaveSettings();

    // Connect flow; true when the dialog's data was applied and an attempt started.
    bool RunConnectDialog();

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
    std::unique_ptr<ClientSocket> CreateTcpSocket();

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

    void ObeyServerReconnect(const std::string& payload);
    void DispatchReport(const std::string& code, const std::string& subject, const std::string& payload);
    void ApplyMemberReport(const std::string& payload, bool rebuildAlways);
    void ShowConnectionState(const std::string& state);
    void ShowCounters();
    std::string TopRowCaption() const;
    void RestoreTopRow(const std::string& caption);
    std::string SelectedLogin() const;
    std::string ReconnectArguments() const;

    QString iniFileName_;
    std::unique_ptr<TkvClient> link_;
    std::unique_ptr<TkvCLDataCollection> members_;
    int32_t onlineCount_ = 0;
    int32_t timerPeriod_ = 10;

    // Controls, owned by the window through Qt's parent ownership.
    QCheckBox* cbAutoReconnect_ = nullptr;
    QToolButton* btConnect_ = nullptr;
    QToolButton* btDisconnect_ = nullptr;
    QButtonGroup* connectGroup_ = nullptr;
    QTreeView* ListView1_ = nullptr;
    MemberListModel* model_ = nullptr;
    QLabel* onlinePanel_ = nullptr;       // status panel 0
    QLabel* memberCountPanel_ = nullptr;  // status panel 1
    QLabel* connectionPanel_ = nullptr;   // status panel 2
    QTimer* Timer1_ = nullptr;
    QMenu* puMembers_ = nullptr;
    TfrmkrvClientAAbout* about_ = nullptr;
};
