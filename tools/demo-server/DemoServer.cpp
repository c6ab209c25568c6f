#include "DemoServer.hpp"

#include <algorithm>

#include <QFile>
#include <QHostAddress>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpSocket>

#include "ReportBurst.hpp"
#include "RequestLine.hpp"
#include "SampleMembers.hpp"
#include "protocol/ProtocolCodes.hpp"
#include "protocol/ServerLine.hpp"
#include "util/untCalc1.hpp"

DemoServer::DemoServer(const ServerOptions& options, QObject* parent)
    : QObject(parent),
      options_(options),
      sessionConfig_{options.verbose, options.splitWrites, options.dropAfterLines, options.seed},
      requests_(store_, *this),
      churnDraw_(options.seed) {
    requests_.RefuseLoginsWith(options.refuseLoginsWith.toStdString());
    store_.Add(Account{options.adminLogin.toStdString(),
                       options.adminPassword.toStdString(),
                       options.adminProtocols.toStdString(),
                       {},
                       0,
                       false,
                       {}});
    for (Account& member : GenerateSampleMembers(options.members, options.seed)) {
        store_.Add(std::move(member));
    }
    listener_ =
        options.tlsCertificate.isEmpty() ? std::make_unique<QTcpServer>() : std::make_unique<QSslServer>();
    connect(listener_.get(), &QTcpServer::pendingConnectionAvailable, this, &DemoServer::AcceptConnections);
    if (options.churnPerSecond > 0) {
        connect(&churn_, &QTimer::timeout, this, &DemoServer::SimulateChurn);
        churn_.start(std::max(1, 1000 / options.churnPerSecond));
    }
}

bool DemoServer::Listen(QString& error) {
    if (!options_.tlsCertificate.isEmpty()) {
        const QList<QSslCertificate> chain = QSslCertificate::fromPath(options_.tlsCertificate);
        QFile keyFile(options_.tlsKey);
        QSslKey key;
        if (keyFile.open(QIODevice::ReadOnly)) {
            const QByteArray pem = keyFile.readAll();
            key = QSslKey(pem, QSsl::Rsa);
            if (key.isNull()) {
                key = QSslKey(pem, QSsl::Ec);
            }
        }
        if (chain.isEmpty() || key.isNull()) {
            error = QStringLiteral("cannot read the certificate %1 or its key %2")
                        .arg(options_.tlsCertificate, options_.tlsKey);
            return false;
        }
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificateChain(chain);
        configuration.setPrivateKey(key);
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
        static_cast<QSslServer&>(*listener_).setSslConfiguration(configuration);
    }
    if (!listener_->listen(QHostAddress(options_.listenAddress), options_.port)) {
        error = QStringLiteral("cannot listen on %1:%2: %3")
                    .arg(options_.listenAddress)
                    .arg(options_.port)
                    .arg(listener_->errorString());
        return false;
    }
    return true;
}

QString DemoServer::ListeningText() const {
    return QStringLiteral("listening on %1:%2").arg(options_.listenAddress).arg(listener_->serverPort());
}

void DemoServer::AcceptConnections() {
    while (QTcpSocket* socket = listener_->nextPendingConnection()) {
        const SessionId id = nextId_++;
        sessions_[id] = new Session(id, socket, store_, *this, sessionConfig_, this);
    }
}

void DemoServer::SimulateChurn() {
    std::vector<Account>& accounts = store_.Accounts();
    if (accounts.empty()) {
        return;
    }
    Account& account = accounts[churnDraw_() % accounts.size()];
    // Real connections and administrators are left to the people using them.
    if (account.connections > 0 || IsAdministrator(account)) {
        return;
    }
    account.simulatedOnline = !account.simulatedOnline;
    ReportPresence(account.simulatedOnline ? ReportCode::MemberLoggedIn : ReportCode::MemberLoggedOut,
                   account, 0);
}

// In slices, each on its way before the next is made: the client starts on a long list while
// the server is still writing the rest, rather than after the whole of it is made.
void DemoServer::SendMemberList(Session& session) {
    constexpr std::size_t kSliceLines = 16384;
    std::vector<std::string> lines;
    lines.reserve(kSliceLines);
    lines.emplace_back(ReportCode::ListStart);
    for (const Account& account : store_.Accounts()) {
        lines.push_back(JoinedLine(ReportCode::ListMember, MemberText(account)));
        if (lines.size() == kSliceLines) {
            session.SendLines(lines);
            if (session.Closed()) {
                return;
            }
            lines.clear();
        }
    }
    lines.emplace_back(ReportCode::ListComplete);
    session.SendLines(lines);
}

void DemoServer::ReportPresence(std::string_view code, const Account& account, SessionId except) {
    const std::string line = JoinedLine(code, MemberText(account));
    for (SessionId id : LoggedInSessions()) {
        Session* session = Find(id);
        if (id != except && session != nullptr && session->Administrator()) {
            session->SendLine(line);
        }
    }
}

bool DemoServer::SendBurst(Session& session, const std::string& line) {
    const RequestLine request = CutRequestLine(line);
    if (request.code != "BURST") {
        return false;
    }
    constexpr int kMostReports = 10000000;
    const int count = std::min(StrToIntDef(Trim(request.payload), 0), kMostReports);
    session.SendLines(MakeReportBurst(store_, request.subject, count));
    return true;
}

Session* DemoServer::Find(SessionId id) const {
    auto found = sessions_.find(id);
    return found == sessions_.end() ? nullptr : found->second;
}

void DemoServer::SessionLoggedIn(Session& session) {
    Account* account = store_.Find(session.Login());
    if (account == nullptr) {
        return;
    }
    ++account->connections;
    account->lastAddress = session.PeerText();
    session.SetAdministrator(IsAdministrator(*account));
    if (session.Administrator()) {
        SendMemberList(session);
    }
    // Sending may have closed the connection (a drop-after limit), which ends the account's
    // presence again; then there is nothing to announce.
    if (!session.Closed()) {
        ReportPresence(ReportCode::MemberLoggedIn, *account, session.Id());
    }
}

void DemoServer::SessionRequest(Session& session, const std::string& line) {
    if (!session.Administrator()) {
        session.Log(QStringLiteral("ignored: not an administrator"));
        return;
    }
    if (options_.burstRequests && SendBurst(session, line)) {
        return;
    }
    if (options_.delayRequestsMs > 0) {
        // Timers of one interval fire in the order they were started, so the requests keep theirs.
        QTimer::singleShot(options_.delayRequestsMs, this, [this, id = session.Id(), line] {
            if (Session* later = Find(id)) {
                HandleRequest(*later, line);
            }
        });
        return;
    }
    HandleRequest(session, line);
}

void DemoServer::HandleRequest(Session& session, const std::string& line) {
    if (!requests_.Handle(session.Id(), line)) {
        session.Log(QStringLiteral("ignored: not a request"));
    }
}

void DemoServer::SessionEnded(Session& session, bool reportLogout) {
    sessions_.erase(session.Id());
    if (!session.LoggedIn()) {
        return;
    }
    Account* account = store_.Find(session.Login());
    if (account == nullptr) {
        return;
    }
    --account->connections;
    if (reportLogout) {
        ReportPresence(ReportCode::MemberLoggedOut, *account, 0);
    }
}

void DemoServer::SendLine(SessionId to, const std::string& line) {
    if (Session* session = Find(to)) {
        session->SendLine(line);
    }
}

void DemoServer::SendToAdministrators(const std::string& line) {
    // A send may close a connection and so change the map: walk a copy of the ids.
    for (SessionId id : LoggedInSessions()) {
        Session* session = Find(id);
        if (session != nullptr && session->Administrator()) {
            session->SendLine(line);
        }
    }
}

std::vector<SessionId> DemoServer::LoggedInSessions() const {
    std::vector<SessionId> ids;
    for (const auto& [id, session] : sessions_) {
        if (session->LoggedIn()) {
            ids.push_back(id);
        }
    }
    return ids;
}

std::vector<SessionId> DemoServer::SessionsOf(std::string_view login) const {
    std::vector<SessionId> ids;
    for (const auto& [id, session] : sessions_) {
        if (session->LoggedIn() && SameTextAscii(session->Login(), login)) {
            ids.push_back(id);
        }
    }
    return ids;
}

void DemoServer::CloseWithoutReport(SessionId id) {
    if (Session* session = Find(id)) {
        session->Close(false);
    }
}
