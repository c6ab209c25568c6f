#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "session/BulkCommand.hpp"

class QMenu;
class QPoint;
class QWidget;
class MemberListPane;
class BulkRun;
class ServerSession;
class SessionJournal;
struct RequestResult;
struct SettledRequest;

// The administration commands of the member list: its popup menu and keys, the boxes and the
// account dialog they ask with, and the requests they hand to the session, whose rules decide
// what is sent.
class MemberCommands final : public QObject {
    Q_OBJECT

public:
    // window: the parent of every box and dialog; list: where the commands find the selected member.
    MemberCommands(QWidget& window, ServerSession& session, MemberListPane& list);

    // Where a command on several members tells the journal what its requests belong to.
    void JournalWith(std::function<SessionJournal*()> journal) { journal_ = std::move(journal); }
    // A command on several members sends from the window's tick and follows what is settled.
    void AfterTick();
    void Settled(const SettledRequest& request);

private:
    void CreatePopup();
    void CreatePopupForMany();
    void RunOnSelected(const BulkCommand& command);
    void EditSelected();
    // Says so when it is: one command on many members at a time.
    bool BulkStillRunning();
    void CreateListKeys();
    void Popup(const QPoint& position);
    void PopupAtCurrentRow();

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
    bool ShowRefusal(const RequestResult& result);

    QWidget& window_;
    ServerSession& session_;
    MemberListPane& list_;
    QMenu* puMembers_ = nullptr;
    // Offered instead when several rows are selected.
    QMenu* puMembersMany_ = nullptr;
    std::function<SessionJournal*()> journal_ = [] { return static_cast<SessionJournal*>(nullptr); };
    QPointer<BulkRun> bulk_;
};
