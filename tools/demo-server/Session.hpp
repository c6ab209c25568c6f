#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "LineBuffer.hpp"
#include "LoginDialogue.hpp"
#include "MemberStore.hpp"
#include "PacedWriter.hpp"
#include "SessionDirectory.hpp"

class QTcpSocket;
class Session;

// What a connection tells the server about itself.
class SessionOwner {
public:
    virtual void SessionLoggedIn(Session& session) = 0;
    virtual void SessionRequest(Session& session, const std::string& line) = 0;
    // Called once, when the connection ends for whatever reason, before the object goes.
    virtual void SessionEnded(Session& session, bool reportLogout) = 0;

protected:
    ~SessionOwner() = default;
};

struct SessionConfig {
    bool verbose = false;
    bool splitWrites = false;
    int dropAfterLines = 0;
    uint32_t seed = 1;
};

// One client connection: line framing with a bound, the login dialogue, and writing lines. It
// deletes itself (through its parent's event loop) once the connection is over.
class Session final : public QObject {
    Q_OBJECT

public:
    Session(SessionId id, QTcpSocket* socket, const MemberStore& store, SessionOwner& owner,
            const SessionConfig& config, QObject* parent);

    SessionId Id() const { return id_; }
    bool LoggedIn() const { return loggedIn_; }
    bool Closed() const { return closed_; }
    bool Administrator() const { return administrator_; }
    void SetAdministrator(bool administrator) { administrator_ = administrator; }
    // The account's login as stored, once logged in.
    const std::string& Login() const { return dialogue_.Login(); }
    std::string PeerText() const;

    void SendLine(const std::string& line);
    // The same as SendLine for each, in order.
    void SendLines(const std::vector<std::string>& lines);
    void Close(bool reportLogout = true);

    void Log(const QString& text) const;

private:
    void ReadLines();
    void HandleLine(const std::string& line);
    void AnswerDialogue(const std::string& line);
    void Write(const std::string& line, bool splittable);
    void SocketGone();

    SessionId id_;
    QTcpSocket* socket_;
    SessionOwner& owner_;
    SessionConfig config_;
    LineBuffer input_;
    LoginDialogue dialogue_;
    PacedWriter* writer_;
    bool loggedIn_ = false;
    bool administrator_ = false;
    bool closed_ = false;
    int reportLines_ = 0;
};
