#pragma once

#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTimer>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "MemberStore.hpp"
#include "RequestHandler.hpp"
#include "ServerOptions.hpp"
#include "Session.hpp"
#include "SessionDirectory.hpp"

// The demo server: accepts connections, keeps the accounts and who is connected, and tells every
// administrator about each change. Single-threaded; everything runs from the event loop.
class DemoServer final : public QObject, private SessionOwner, private SessionDirectory {
    Q_OBJECT

public:
    explicit DemoServer(const ServerOptions& options, QObject* parent = nullptr);

    // False with the reason in error when the address cannot be bound.
    bool Listen(QString& error);
    QString ListeningText() const;

private:
    void AcceptConnections();
    void SimulateChurn();
    void SendMemberList(Session& session);
    void ReportPresence(std::string_view code, const Account& account, SessionId except);
    // True when the line asked for a burst of reports (and they were sent).
    bool SendBurst(Session& session, const std::string& line);
    Session* Find(SessionId id) const;
    void HandleRequest(Session& session, const std::string& line);

    void SessionLoggedIn(Session& session) override;
    void SessionRequest(Session& session, const std::string& line) override;
    void SessionEnded(Session& session, bool reportLogout) override;

    void SendLine(SessionId to, const std::string& line) override;
    void SendToAdministrators(const std::string& line) override;
    std::vector<SessionId> LoggedInSessions() const override;
    std::vector<SessionId> SessionsOf(std::string_view login) const override;
    void CloseWithoutReport(SessionId session) override;

    ServerOptions options_;
    SessionConfig sessionConfig_;
    MemberStore store_;
    RequestHandler requests_;
    // A QSslServer under TLS, which hands a connection on once its handshake is done.
    std::unique_ptr<QTcpServer> listener_;
    // Open connections by id; the sessions themselves belong to this object as Qt children.
    std::map<SessionId, Session*> sessions_;
    SessionId nextId_ = 1;
    QTimer churn_;
    std::mt19937 churnDraw_;
};
