#pragma once

#include <QObject>
#include <QString>
#include <optional>
#include <string>

class QMenu;
class QPoint;
class QWidget;
class MemberListPane;
class ServerSession;
struct RequestResult;

// The administration commands of the member list: its popup menu and keys, the boxes and the
// account dialog they ask with, and the requests they hand to the session, whose rules decide
// what is sent.
class MemberCommands final : public QObject {
    Q_OBJECT

public:
    // window: the parent of every box and dialog; list: where the commands find the selected member.
    MemberCommands(QWidget& window, ServerSession& session, MemberListPane& list);

private:
    void CreatePopup();
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
};
