#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <QTcpServer>
#include <QTest>

#include "LoopbackServer.hpp"
#include "link/TkvClient.hpp"
#include "net/QtClientSocket.hpp"
#include "support/ManualClock.hpp"

namespace {

constexpr int kPatience = 10000;

// The real link on the real socket; time for the link's schedules comes from a manual clock,
// the bytes from a peer on the loopback interface.
class LinkOverTcp {
public:
    LinkOverTcp() {
        auto owned = std::make_unique<QtClientSocket>(
            [this](const std::string& message) { reports.push_back(message); });
        socket = owned.get();
        link = std::make_unique<TkvClient>([this](const LinkEvent& event) { delivered.push_back(event); },
                                           std::move(owned), clock);
        link->SetLogin("admin");
        link->SetPassword("secret");
    }

    // Ticks the link, then tells whether the event has been delivered by now.
    bool Saw(LinkEventKind kind, const std::string& text = {}) {
        link->Tick();
        for (const LinkEvent& event : delivered) {
            if (event.kind == kind && (text.empty() || event.text == text)) {
                return true;
            }
        }
        return false;
    }

    QString Names() const {
        QStringList names;
        for (const LinkEvent& event : delivered) {
            names << QString::fromUtf8(NameOf(event.kind));
        }
        return names.join(' ');
    }

    bool LogInAt(LoopbackServer& server) {
        link->Connect("127.0.0.1", server.Port());
        if (!QTest::qWaitFor([&] { return server.Peer() != nullptr; }, kPatience)) {
            return false;
        }
        server.Peer()->write("send login:\r\nsend password:\r\nprotocols: administrator :)\r\n");
        return QTest::qWaitFor([&] { return Saw(LinkEventKind::Login); }, kPatience);
    }

    ManualClock clock;
    std::vector<LinkEvent> delivered;
    std::vector<std::string> reports;
    QtClientSocket* socket = nullptr;
    std::unique_ptr<TkvClient> link;
};

}  // namespace

class TkvClientOverTcpTest : public QObject {
    Q_OBJECT

private slots:
    void handshakeAnswersEndInACarriageReturnOnly() {
        LoopbackServer server;
        LinkOverTcp client;
        QVERIFY(client.link->Connect("127.0.0.1", server.Port()));
        QTRY_VERIFY_WITH_TIMEOUT(server.Peer() != nullptr && client.Saw(LinkEventKind::Connect), kPatience);

        server.Peer()->write("send login:\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(server.Received(), QByteArray("admin\r"), kPatience);
        server.Peer()->write("send password:\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(server.Received(), QByteArray("admin\rsecret\r"), kPatience);
        server.Peer()->write("protocols: administrator, chat :)\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(client.Saw(LinkEventKind::Login), kPatience);

        QCOMPARE(client.Names(), "Lookup Connecting Connect Read Write Read Write Read Login");
        QCOMPARE(client.delivered[4].text, std::string("admin"));
        QCOMPARE(client.delivered[6].text, std::string("secret"));
        QVERIFY(client.link->HasGrantedProtocol("administrator"));
        QCOMPARE(server.Received(), QByteArray("admin\rsecret\r"));
    }

    void reportLineCutInTwoByAPauseArrivesAsOneLine() {
        LoopbackServer server;
        LinkOverTcp client;
        QVERIFY(client.LogInAt(server));
        auto* tcp = client.socket->findChild<QTcpSocket*>();
        QVERIFY(tcp != nullptr);
        int chunks = 0;
        QObject::connect(tcp, &QIODevice::readyRead, [&chunks] { ++chunks; });

        server.Peer()->write("ARLM_bob:secret;chat;");
        QTRY_COMPARE_WITH_TIMEOUT(chunks, 1, kPatience);
        QVERIFY(!client.Saw(LinkEventKind::Read, "ARLM_bob:secret;chat;"));
        server.Peer()->write("mybot\r\n");

        QTRY_VERIFY_WITH_TIMEOUT(client.Saw(LinkEventKind::Read, "ARLM_bob:secret;chat;mybot"), kPatience);
        QCOMPARE(client.delivered.back().state, LineState::LoggedIn);
    }

    void peerClosingIsADisconnectAfterItsLastLine() {
        LoopbackServer server;
        LinkOverTcp client;
        QVERIFY(client.LogInAt(server));
        client.delivered.clear();

        server.Peer()->write("ARQ_bob");
        server.Peer()->disconnectFromHost();

        QTRY_VERIFY_WITH_TIMEOUT(client.Saw(LinkEventKind::Disconnect), kPatience);
        QCOMPARE(client.Names(), "Read Disconnect");
        QCOMPARE(client.delivered.front().text, std::string("ARQ_bob"));
        QVERIFY(!client.link->Connected());
        QVERIFY(!client.link->LoggedIn());
        QVERIFY(client.reports.empty());
    }

    void refusedConnectionIsRetriedOnSchedule() {
        const quint16 port = LoopbackServer::ClosedPort();
        LinkOverTcp client;
        client.link->SetAutoReconnect(true);
        client.link->SetReconnectDelay(5);

        client.link->Connect("127.0.0.1", port);
        QTRY_VERIFY_WITH_TIMEOUT(client.Saw(LinkEventKind::Error), kPatience);
        QCOMPARE(client.Names(), "Lookup Connecting Disconnect Error");
        QCOMPARE(client.link->LastErrorCode(), 10061);
        QCOMPARE(client.delivered.back().text,
                 "ConnectError - Windows socket error: " + client.socket->ErrorMessage(10061) + " (10061)");

        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, port));
        const auto wait = client.link->Reconnect().NextAttempt() - client.clock.Now();
        QVERIFY(wait > std::chrono::seconds(0));
        client.clock.Advance(std::chrono::duration_cast<std::chrono::milliseconds>(wait));
        client.link->Tick();
        QVERIFY(!client.socket->Active());
        QCOMPARE(client.Names(), "Lookup Connecting Disconnect Error");

        client.clock.Advance(std::chrono::milliseconds(1));
        QTRY_VERIFY_WITH_TIMEOUT(client.Saw(LinkEventKind::Connect), kPatience);
        QCOMPARE(client.Names(), "Lookup Connecting Disconnect Error Lookup Connecting Connect");
        QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), kPatience);
    }

    void failedLookupIsADisconnectAndOneReport() {
        LinkOverTcp client;
        client.link->Connect("bad..host", 4000);
        QTRY_COMPARE_WITH_TIMEOUT(client.reports.size(), size_t(1), kPatience);
        QTRY_VERIFY_WITH_TIMEOUT(client.Saw(LinkEventKind::Disconnect), kPatience);

        QCOMPARE(client.Names(), "Lookup Disconnect");
        QCOMPARE(client.reports.front(), "Windows socket error: " + client.socket->ErrorMessage(11001) +
                                             " (11001), on API 'ASync Lookup'");
        QVERIFY(client.link->LastErrorText().empty());
    }
};

QTEST_GUILESS_MAIN(TkvClientOverTcpTest)
#include "TkvClientOverTcpTest.moc"
